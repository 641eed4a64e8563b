#include "script/vm/engine.h"

#include "script/builtins/registry.h"
#include "script/compiler/compile.h"
#include "script/compiler/compiler_state.h"
#include "script/compiler/stream.h"
#include "script/vm/error.h"
#include "script/vm/loader.h"
#include "script/vm/module.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace zelph {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The start every run operation makes: no message, an undefined result, and no
// position left over from an earlier run.
void BeginRun(Context* ctx)
{
    SetMessage(ctx, "");
    ctx->result = Value();
    ctx->savedIp = nullptr;
    ctx->fault = Value();
}

RunOutcome Load(Context* ctx, Module& module)
{
    return LoadModule(ctx, module) ? RunOutcome::kDone : RunOutcome::kFailed;
}

RunOutcome RunModuleBytes(Context* ctx, const std::vector<std::uint8_t>& bytes)
{
    std::unique_ptr<Module> module = ReadModuleFromMemory(bytes);
    return module ? Load(ctx, *module) : RunOutcome::kNotRun;
}

bool EndsWithNoCase(const std::string& path, const char* extension)
{
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.size() - dot != std::strlen(extension))
        return false;
    for (std::size_t i = 0; extension[i]; ++i) {
        char c = path[dot + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != extension[i])
            return false;
    }
    return true;
}

} // namespace

std::uint32_t CompileOptionsOf(const EngineOptions& options)
{
    const std::uint32_t f = options.flags;
    std::uint32_t compile = 0;
    if (options.userValue)
        compile |= 0x1;
    if (f & kEngineDebugInfo)
        compile |= kCompileDebugInfo;
    if (f & kEngineSemicolonWarnings)
        compile |= kCompileSemicolonWarnings;
    if (f & kEngineStrictWarnings)
        compile |= kCompileStrictWarnings;
    compile |= (f & kEngineOptimizerPasses) >> 10;  // 0x8000..0x40000 to 0x20..0x100
    return compile;
}

Engine* CreateEngine(const EngineOptions* options)
{
    std::unique_ptr<Engine> engine;
    try {
        engine = std::make_unique<Engine>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (options)
        engine->options = *options;
    const EngineOptions& o = engine->options;
    engine->ctx.reset(CreateContext(o.stackSize, o.userValue, (o.flags & kEngineOptionBit0) != 0,
                                    StandardRegistrations()));
    Context* ctx = engine->ctx.get();
    if (!ctx)
        return nullptr;
    if (o.flags & kEngineWarnUndefined)
        ctx->options |= kOptionWarnUndefined;
    else
        ctx->options &= ~kOptionWarnUndefined;
    ctx->options2 = (o.flags & kEngineOptions2) >> 2;
    ctx->hook = o.hook;
    ctx->hookData = o.hookData;
    ctx->hostWord1 = o.hostWord1;
    ctx->hostWord2 = o.hostWord2;
    if (!ProtectedRun(engine.get(), [&] { DefineEvalFunctions(engine.get()); }))
        return nullptr;
    return engine.release();
}

void DestroyEngine(Engine* engine)
{
    delete engine;
}

std::optional<std::vector<std::uint8_t>> CompileText(Engine* engine, std::string_view text)
{
    return CompileString(engine->ctx.get(), text, CompileOptionsOf(engine->options));
}

std::optional<std::vector<std::uint8_t>> CompileSourceFile(Engine* engine, const std::string& path)
{
    return CompileFile(engine->ctx.get(), path, CompileOptionsOf(engine->options));
}

RunOutcome RunText(Engine* engine, const char* text)
{
    Context* ctx = engine->ctx.get();
    BeginRun(ctx);
    auto bytes = CompileText(engine, text);
    return bytes ? RunModuleBytes(ctx, *bytes) : RunOutcome::kNotRun;
}

RunOutcome RunTextN(Engine* engine, const char* text, std::size_t length)
{
    std::string copy(text, length);
    return RunText(engine, copy.c_str());
}

RunOutcome RunSourceFile(Engine* engine, const std::string& path)
{
    Context* ctx = engine->ctx.get();
    BeginRun(ctx);
    auto bytes = CompileSourceFile(engine, path);
    return bytes ? RunModuleBytes(ctx, *bytes) : RunOutcome::kNotRun;
}

RunOutcome RunCompiledFile(Engine* engine, const std::string& path)
{
    Context* ctx = engine->ctx.get();
    BeginRun(ctx);
    std::unique_ptr<Module> module;
    if (File f{OpenFileForReading(path)})
        module = ReadModuleFromFile(f.get());
    if (!module) {
        SetMessage(ctx, "can't read the compiled module: " + path);
        return RunOutcome::kNotRun;
    }
    return Load(ctx, *module);
}

RunOutcome RunCompiledMemory(Engine* engine, const std::uint8_t* data, std::size_t length)
{
    Context* ctx = engine->ctx.get();
    BeginRun(ctx);
    std::unique_ptr<Module> module = ReadModuleFromMemory({data, length});
    if (!module) {
        SetMessage(ctx, "not a compiled module");
        return RunOutcome::kNotRun;
    }
    return Load(ctx, *module);
}

FileKind ClassifyFile(const std::string& path)
{
    if (EndsWithNoCase(path, ".zpc"))
        return FileKind::kCompiled;
    if (EndsWithNoCase(path, ".zps"))
        return FileKind::kSource;
    File f{OpenFileForReading(path)};
    if (!f)
        return FileKind::kSource;  // compiling reports that it cannot be opened
    int c = std::fgetc(f.get());
    if (c == '#') {
        do
            c = std::fgetc(f.get());
        while (c != EOF && c != '\n');
        if (c == EOF)
            return FileKind::kSource;
    } else if (c != EOF) {
        std::ungetc(c, f.get());
    }
    char magic[4];
    if (std::fread(magic, 1, 4, f.get()) == 4 && std::memcmp(magic, kModuleMagic, 4) == 0)
        return FileKind::kCompiled;
    return FileKind::kSource;
}

RunOutcome RunFile(Engine* engine, const std::string& path)
{
    return ClassifyFile(path) == FileKind::kCompiled ? RunCompiledFile(engine, path)
                                                      : RunSourceFile(engine, path);
}

bool ProtectedRun(Engine* engine, const std::function<void()>& fn)
{
    return Protected(engine->ctx.get(), fn);
}

} // namespace zelph
