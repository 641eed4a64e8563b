// Array: the type class of arrays.
#include "script/builtins/array_join.h"
#include "script/builtins/class_util.h"
#include "script/builtins/registry.h"
#include "script/vm/array.h"
#include "script/vm/conversions.h"
#include "script/vm/object.h"
#include "script/vm/property.h"

#include <cmath>

namespace zelph {
namespace {

Atom LengthAtom(Context* ctx)
{
    return InternAtom(ctx, "length");
}

int ArrayMethod(Context* ctx, NativeClass*, void* self, Atom name, Value* out, const Value*)
{
    const Value* a = Receiver(self);
    if (name == kAtomToString) {
        *out = a ? ArrayJoin(ctx, a->a, u",") : StaticString(ctx, u"[object Array]");
        return 1;
    }
    return 0;
}

// Array(...) and new Array(...): one integer argument is the length of an
// empty array; otherwise the arguments are the elements. A negative count
// (how array literals call) always means elements. The array gets its property
// object.
void ArrayMake(Context* ctx, NativeClass*, const Value* args, Value* out)
{
    std::int64_t n = ArgCount(args);
    ArrayRecord* a = NewArray(ctx);
    ValueRoot keep(ctx, Value::Array(a));
    if (n == 1 && Arg(args, 0).tag == kInteger) {
        a->length = Arg(args, 0).i;
    } else {
        std::int64_t count = n < 0 ? -n : n;
        for (std::int64_t i = 0; i < count; ++i)
            ArraySet(ctx, a, Arg(args, i), i);
        a->length = count;
    }
    a->props = NewPropertyObject(ctx, kArray);
    *out = Value::Array(a);
}

void ArrayCall(Context* ctx, NativeClass* cls, void*, Value* out, const Value* args)
{
    ArrayMake(ctx, cls, args, out);
}

// Removes the elements at or above a new, smaller length.
void Shorten(Context* ctx, ArrayRecord* a, std::int64_t length)
{
    for (const ArrayElement& e : ArrayElementsByIndex(a))
        if (e.index >= length)
            ArrayRemove(ctx, a, e.index);
    a->length = length;
}

// length: read on arrays (and as 1 on the class); written with an integer or a
// non-negative float.
int ArrayProperty(Context* ctx, NativeClass*, void* self, Atom name, int isSet, Value* value)
{
    if (name != LengthAtom(ctx))
        return 0;
    const Value* receiver = Receiver(self);
    if (!receiver) {
        if (isSet)
            return 0;
        *value = Value::Integer(1);
        return 1;
    }
    ArrayRecord* a = receiver->a;
    if (!isSet) {
        *value = Value::Integer(a->length);
        return 1;
    }
    std::int64_t length;
    if (value->tag == kInteger)
        length = value->i;
    else if (value->tag == kFloat && value->f >= 0)
        length = TruncateToInt64(value->f);
    else
        return 1;  // ignored
    if (length < a->length)
        Shorten(ctx, a, length);
    else
        a->length = length;
    return 1;
}

} // namespace

void RegisterArray(Context* ctx)
{
    NativeClass* cls = NewMethodClass(ctx, "Array", ArrayMethod);
    cls->call = ArrayCall;
    cls->construct = ArrayMake;
    cls->property = ArrayProperty;
    ctx->typeClasses[kArray] = cls;
}

} // namespace zelph
