// Object: the type class of plain objects.
#include "script/builtins/class_util.h"
#include "script/builtins/registry.h"
#include "script/vm/conversions.h"
#include "script/vm/object.h"

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

bool IsNothing(const Value& v)
{
    return v.tag == kUndefined || v.tag == kNull;
}

// Object() and Object(undefined or null): a new object; otherwise ToObject.
void ObjectCall(Context* ctx, NativeClass*, void*, Value* out, const Value* args)
{
    std::int64_t n = ArgCount(args);
    if (n <= 0 || (n == 1 && IsNothing(Arg(args, 0))))
        *out = Value::Object(NewObject(ctx));
    else
        *out = ToObject(ctx, Arg(args, 0));
}

// new Object(v): a new object for a missing, undefined or null v, else v itself
// (a string copied).
void ObjectConstruct(Context* ctx, NativeClass*, const Value* args, Value* out)
{
    if (ArgCount(args) <= 0 || IsNothing(Arg(args, 0)))
        *out = Value::Object(NewObject(ctx));
    else
        *out = ToObject(ctx, Arg(args, 0));
}

} // namespace

void RegisterObject(Context* ctx)
{
    NativeClass* cls = NewMethodClass(ctx, "Object", ObjectMethod);
    cls->call = ObjectCall;
    cls->construct = ObjectConstruct;
    ctx->typeClasses[kObject] = cls;
}

} // namespace zelph
