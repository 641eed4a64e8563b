// String: the type class of strings.
#include "script/builtins/class_util.h"
#include "script/builtins/registry.h"

namespace zelph {
namespace {

int StringMethod(Context* ctx, NativeClass*, void* self, Atom name, Value* out, const Value*)
{
    const Value* s = Receiver(self);
    if (name == kAtomToString) {
        *out = s ? *s : StaticString(ctx, u"[Object String]");
        return 1;
    }
    if (name == kAtomValueOf) {
        *out = s ? *s : GlobalNamed(ctx, "String");
        return 1;
    }
    return 0;
}

} // namespace

void RegisterString(Context* ctx)
{
    ctx->typeClasses[kString] = NewMethodClass(ctx, "String", StringMethod);
}

} // namespace zelph
