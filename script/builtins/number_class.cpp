// Number: the type class of integers, floats and NaN.
#include "script/builtins/class_util.h"
#include "script/builtins/registry.h"
#include "script/vm/conversions.h"
#include "script/vm/number_text.h"

namespace zelph {
namespace {

// Integers in the radix of an integer-typed first argument (a float-typed one
// is ignored); floats as "%g"; NaN as "NaN".
Value NumberToString(Context* ctx, const Value& n, const Value* args)
{
    if (n.tag == kInteger) {
        std::int64_t radix = 10;
        if (ArgCount(args) > 0 && Arg(args, 0).tag == kInteger)
            radix = Arg(args, 0).i;
        int r = radix >= 2 && radix <= 36 ? static_cast<int>(radix) : 10;
        return NewString(ctx, Widen(FormatInteger(n.i, r)));
    }
    return NewString(ctx, NumberText(n));
}

int NumberMethod(Context* ctx, NativeClass*, void* self, Atom name, Value* out, const Value* args)
{
    const Value* n = Receiver(self);
    if (name == kAtomToString) {
        *out = n ? NumberToString(ctx, *n, args) : StaticString(ctx, u"[type Function]");
        return 1;
    }
    if (name == kAtomValueOf) {
        *out = n ? *n : GlobalNamed(ctx, "Number");
        return 1;
    }
    return 0;
}

} // namespace

void RegisterNumber(Context* ctx)
{
    NativeClass* cls = NewMethodClass(ctx, "Number", NumberMethod);
    ctx->typeClasses[kInteger] = ctx->typeClasses[kFloat] = ctx->typeClasses[kNaN] = cls;
}

} // namespace zelph
