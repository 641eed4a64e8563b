// Array: the type class of arrays.
#include "script/builtins/array_join.h"
#include "script/builtins/class_util.h"
#include "script/builtins/registry.h"

namespace zelph {
namespace {

int ArrayMethod(Context* ctx, NativeClass*, void* self, Atom name, Value* out, const Value*)
{
    const Value* a = Receiver(self);
    if (name == kAtomToString) {
        *out = a ? ArrayJoin(ctx, a->a, u",") : StaticString(ctx, u"[object Array]");
        return 1;
    }
    return 0;
}

} // namespace

void RegisterArray(Context* ctx)
{
    ctx->typeClasses[kArray] = NewMethodClass(ctx, "Array", ArrayMethod);
}

} // namespace zelph
