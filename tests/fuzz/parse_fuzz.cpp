// The lexer and the parser over any bytes: a tree or one error line, never a
// crash, a read outside the source or a host stack overflow.
#include "script/builtins/registry.h"
#include "script/compiler/compiler_state.h"
#include "script/compiler/diagnostics.h"
#include "script/compiler/lexer.h"
#include "script/compiler/parser.h"
#include "script/vm/context.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zelph;
    static ContextPtr ctx = [] {
        ContextPtr c(CreateContext(kDefaultStackSize, 0, false, StandardRegistrations()));
        RegisterKeywords(c.get());
        return c;
    }();
    std::string source(reinterpret_cast<const char*>(data), size);
    auto stream = ScriptStream::OpenString(source);
    CompilerState state(ctx.get(), stream.get(), kCompileSemicolonWarnings | kCompileStrictWarnings);
    try {
        ParseProgram(state);
        DumpList(state.main.first);
        DumpList(state.functions.first);
    } catch (const CompileAbort& abort) {
        if (abort.state != &state)
            std::abort();
        // The diagnostics end with the error line (whose message may quote any
        // bytes of the source).
        const auto& d = state.diagnostics->buffer();
        std::string text(d.begin(), d.end());
        if (text.find("error: line ") == std::string::npos || text.size() < 2 ||
            text.compare(text.size() - 2, 2, "\r\n") != 0)
            std::abort();
    }
    return 0;
}
