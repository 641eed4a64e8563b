// Diagnostic lines of a compilation: "error: line N: message\r\n" and
// "warning: line N: ...", lines counted from 0, messages cut to 255 characters.
// An error abandons the compilation with CompileAbort, which only the compile
// driver of that compilation catches.
#pragma once

#include <string>

namespace zelph {

struct CompilerState;

struct CompileAbort {
    const CompilerState* state;  // the compilation it abandons
};

void ReportWarning(CompilerState& state, int line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
[[noreturn]] void ReportError(CompilerState& state, int line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

} // namespace zelph
