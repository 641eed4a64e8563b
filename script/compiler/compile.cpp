#include "script/compiler/compile.h"

#include "script/compiler/codegen.h"
#include "script/compiler/compiler_state.h"
#include "script/compiler/diagnostics.h"
#include "script/compiler/lexer.h"
#include "script/compiler/module_writer.h"
#include "script/compiler/optimizer.h"
#include "script/compiler/parser.h"
#include "script/vm/context.h"
#include "script/vm/error.h"

namespace zelph {
namespace {

// The diagnostics replace the message buffer when they fit, else they go to the
// long-diagnostics text and the message buffer keeps what it held.
void LeaveDiagnostics(Context* ctx, const CompilerState& state)
{
    const auto& d = state.diagnostics->buffer();
    std::string text(d.begin(), d.end());
    if (text.size() + 1 < kMessageBufferSize)
        SetMessage(ctx, text);
    else
        ctx->longDiagnostics = std::move(text);
}

} // namespace

std::optional<ModuleBytes> CompileStream(Context* ctx, ScriptStream& source, std::uint32_t options)
{
    if (!RegisterKeywords(ctx))
        RaiseError(ctx, "Out of memory");
    ctx->longDiagnostics.clear();
    try {
        CompilerState state(ctx, &source, options);
        state.strictJumps = true;
        try {
            ParseProgram(state);
            // Each code unit is optimized, laid out and written while its
            // records are fresh; then they go.
            ModuleWriter writer(state);
            const std::uint32_t passes = options | kCompilePass1 | kCompilePass2 | kCompilePass3 | kCompilePass4;
            GenerateCode(state, [&](bool moreUnits) {
                Optimize(state, passes, moreUnits);
                LayOut(state);
                writer.AddUnit();
            });
            ModuleBytes module = writer.Finish();
            LeaveDiagnostics(ctx, state);
            source.Close();
            return module;
        } catch (const CompileAbort& abort) {
            if (abort.state != &state)
                throw;  // another compilation's
            LeaveDiagnostics(ctx, state);
            source.Close();
            return std::nullopt;
        }
    } catch (const std::bad_alloc&) {
        RaiseError(ctx, "Out of memory");
    }
}

std::optional<ModuleBytes> CompileString(Context* ctx, std::string_view text, std::uint32_t options)
{
    auto source = ScriptStream::OpenString(text);
    return CompileStream(ctx, *source, options);
}

std::optional<ModuleBytes> CompileFile(Context* ctx, const std::string& path, std::uint32_t options)
{
    auto source = ScriptStream::OpenFile(ctx, path);
    if (!source)
        return std::nullopt;
    return CompileStream(ctx, *source, options);
}

} // namespace zelph
