// Object: the type class of plain objects.
#include "script/builtins/class_util.h"
#include "script/builtins/registry.h"

namespace zelph {
namespace {

int ObjectMethod(Context* ctx, NativeClass*, void* self, Atom name, Value* out, const Value*)
{
    const Value* o = Receiver(self);
    if (name == kAtomToString) {
        *out = StaticString(ctx, o ? u"[object Object]" : u"[type Function]");
        return 1;
    }
    if (name == kAtomToSource) {
        *out = o ? Value() : StaticString(ctx, u"new Object()");
        return 1;
    }
    if (name == kAtomValueOf) {
        *out = o ? *o : GlobalNamed(ctx, "Object");
        return 1;
    }
    return 0;
}

} // namespace

void RegisterObject(Context* ctx)
{
    ctx->typeClasses[kObject] = NewMethodClass(ctx, "Object", ObjectMethod);
}

} // namespace zelph
