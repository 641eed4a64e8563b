// Boolean: the type class of booleans.
#include "script/builtins/class_util.h"
#include "script/builtins/registry.h"

namespace zelph {
namespace {

int BooleanMethod(Context* ctx, NativeClass*, void* self, Atom name, Value* out, const Value*)
{
    const Value* b = Receiver(self);
    if (name == kAtomToString) {
        if (!b)
            *out = StaticString(ctx, u"[type Function]");
        else
            *out = StaticString(ctx, b->BooleanValue() ? u"true" : u"false");
        return 1;
    }
    if (name == kAtomValueOf) {
        *out = b ? *b : GlobalNamed(ctx, "Boolean");
        return 1;
    }
    return 0;
}

} // namespace

void RegisterBoolean(Context* ctx)
{
    ctx->typeClasses[kBoolean] = NewMethodClass(ctx, "Boolean", BooleanMethod);
}

} // namespace zelph
