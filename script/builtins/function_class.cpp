// Function: the type class of function values.
#include "script/builtins/class_util.h"
#include "script/builtins/registry.h"

namespace zelph {
namespace {

int FunctionMethod(Context* ctx, NativeClass*, void* self, Atom name, Value* out, const Value*)
{
    const Value* f = Receiver(self);
    if (name == kAtomToString) {
        *out = StaticString(ctx, u"[object Function]");
        return 1;
    }
    if (name == kAtomValueOf) {
        *out = f ? *f : GlobalNamed(ctx, "Function");
        return 1;
    }
    return 0;
}

} // namespace

void RegisterFunction(Context* ctx)
{
    ctx->typeClasses[kFunction] = NewMethodClass(ctx, "Function", FunctionMethod);
}

} // namespace zelph
