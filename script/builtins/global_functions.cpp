// The global functions: native objects whose class has only a call operation.
#include "script/builtins/class_util.h"
#include "script/builtins/registry.h"
#include "script/vm/conversions.h"

#include <cstdio>
#include <string>

namespace zelph {
namespace {

// trace(a, b, ...): the arguments' texts in the ANSI code page, nothing
// between them, then CR LF, on the trace output (when one is open).
void Trace(Context* ctx, NativeClass*, void*, Value* out, const Value* args)
{
    *out = Value();
    if (!ctx->traceFile)
        return;
    std::string line;
    for (std::int64_t i = 0; i < ArgCount(args); ++i) {
        Value text = ToString(ctx, Arg(args, i));
        line += StringToAnsi(text.s);
    }
    line += "\r\n";
    std::fwrite(line.data(), 1, line.size(), ctx->traceFile);
    std::fflush(ctx->traceFile);
}

} // namespace

void RegisterGlobalFunctions(Context* ctx)
{
    DefineGlobalFunction(ctx, "trace", Trace);
}

} // namespace zelph
