#include "script/compiler/compiler_state.h"

#include "script/compiler/diagnostics.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace zelph {

const char* CompilerState::CopyText(std::string_view text)
{
    char* copy = static_cast<char*>(arena.Allocate(text.size() + 1, 1));
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

namespace {

void Report(CompilerState& state, const char* kind, int line, const char* format, va_list args)
{
    char message[256];
    std::vsnprintf(message, sizeof message, format, args);  // cut to 255 characters
    state.diagnostics->Write("sasss", kind, line, ": ", message, "\r\n");
}

} // namespace

void ReportWarning(CompilerState& state, int line, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Report(state, "warning: line ", line, format, args);
    va_end(args);
}

void ReportError(CompilerState& state, int line, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Report(state, "error: line ", line, format, args);
    va_end(args);
    throw CompileAbort{&state};
}

} // namespace zelph
