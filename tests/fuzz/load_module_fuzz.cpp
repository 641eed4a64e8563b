// The module readers and the loader's checking and linking: any input either
// loads or is refused, never read or written outside its buffers. `.main` is
// not run (arbitrary code may loop for ever).
#include "script/builtins/registry.h"
#include "script/vm/context.h"
#include "script/vm/loader.h"
#include "script/vm/module.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zelph;
    std::unique_ptr<Module> m = ReadModuleFromMemory({data, size});
    if (!m)
        return 0;
    ContextPtr ctx(CreateContext(kDefaultStackSize, 0, false, StandardRegistrations()));
    LoadModule(ctx.get(), *m, LoadMode::kLinkOnly);
    // A second load takes the reload path.
    LoadModule(ctx.get(), *m, LoadMode::kLinkOnly);
    return 0;
}
