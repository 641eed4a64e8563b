// The whole compilation over any bytes: a module that reads, links and lists
// cleanly, or a failure with its error line; never a crash.
#include "script/builtins/registry.h"
#include "script/compiler/compile.h"
#include "script/compiler/compiler_state.h"
#include "script/vm/context.h"
#include "script/vm/disassembler.h"
#include "script/vm/error.h"
#include "script/vm/loader.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zelph;
    // A context of its own: linking adds the module's constants and globals.
    ContextPtr ctx(CreateContext(kDefaultStackSize, 0, false, StandardRegistrations()));
    std::string_view source(reinterpret_cast<const char*>(data), size);
    auto module = CompileString(ctx.get(), source, kCompileDebugInfo | kCompileSemicolonWarnings);
    if (!module) {
        std::string text = ctx->longDiagnostics.empty() ? Message(ctx.get()) : ctx->longDiagnostics;
        if (text.find("error: line ") == std::string::npos)
            std::abort();
        return 0;
    }
    auto read = ReadModuleFromMemory(*module);
    if (!read || !LoadModule(ctx.get(), *read, LoadMode::kLinkOnly))
        std::abort();
    // The listing marks nothing as malformed. Marks are looked for before the
    // first string or pattern shown on a line (those show source text).
    std::string listing = Disassemble(*read);
    std::size_t begin = 0;
    while (begin < listing.size()) {
        std::size_t end = listing.find('\n', begin);
        std::string_view line(listing.data() + begin, end - begin);
        line = line.substr(0, line.find_first_of("\"/"));
        for (const char* mark : {"<malformed", "<byte", "<cut off>", "<constant #", "<atom #"})
            if (line.find(mark) != std::string_view::npos)
                std::abort();
        begin = end + 1;
    }
    return 0;
}
