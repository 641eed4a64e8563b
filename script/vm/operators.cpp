#include "script/vm/operators.h"

#include "script/vm/context.h"
#include "script/vm/conversions.h"
#include "script/vm/error.h"
#include "script/vm/native_class.h"
#include "script/vm/string_record.h"

#include <cmath>
#include <cstring>

namespace zelph {
namespace {

// Numeric operand preparation: anything but an integer, float or NaN goes
// through ToNumber.
Value Prepare(Context* ctx, const Value& v)
{
    if (v.tag == kInteger || v.tag == kFloat || v.tag == kNaN)
        return v;
    return ToNumber(ctx, v);
}

double AsDouble(const Value& v)
{
    return v.tag == kInteger ? static_cast<double>(v.i) : v.f;
}

bool IsZero(const Value& v)
{
    return (v.tag == kInteger && v.i == 0) || (v.tag == kFloat && v.f == 0.0);
}

bool IsInfinite(const Value& v)
{
    return v.tag == kFloat && std::isinf(v.f);
}

// The remainder with the sign of the dividend; a divisor of -1 gives 0 (the
// hardware division would trap on the smallest integer).
Value IntegerRemainder(std::int64_t a, std::int64_t b)
{
    if (b == 0)
        return Value::NaN();
    if (b == -1)
        return Value::Integer(0);
    return Value::Integer(a % b);
}

// An integer and a double are equal only when the double is exactly that integer.
bool IntegerEqualsDouble(std::int64_t i, double d)
{
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0) || d != std::trunc(d))
        return false;
    return static_cast<std::int64_t>(d) == i;
}

bool NumbersEqual(const Value& a, const Value& b)
{
    if (a.tag == kInteger && b.tag == kInteger)
        return a.i == b.i;
    if (a.tag == kFloat && b.tag == kFloat)
        return a.f == b.f;
    return a.tag == kInteger ? IntegerEqualsDouble(a.i, b.f) : IntegerEqualsDouble(b.i, a.f);
}

bool IsNumeric(const Value& v)
{
    return v.tag == kInteger || v.tag == kFloat || v.tag == kNaN;
}

bool IsSimple(const Value& v)
{
    return v.tag == kString || v.tag == kBoolean || IsNumeric(v);
}

bool IsObjectLike(const Value& v)
{
    return v.tag == kObject || v.tag == kArray || v.tag == kFunction || v.tag == kNative;
}

int ShiftCount(std::int64_t count)
{
    return static_cast<int>(static_cast<std::uint64_t>(count) & 0xFF);
}

Value ShiftLeft(std::int64_t value, int count)
{
    return Value::Integer(count >= 64 ? 0 : static_cast<std::int64_t>(static_cast<std::uint64_t>(value) << count));
}

Value ShiftRight(std::int64_t value, int count)
{
    if (count >= 64)
        return Value::Integer(value < 0 ? -1 : 0);
    return Value::Integer(value >> count);
}

} // namespace

Value AddSlow(Context* ctx, const Value& a, const Value& b)
{
    if (a.tag == kString || b.tag == kString) {
        ValueRoot left(ctx, ToString(ctx, a));
        ValueRoot right(ctx, ToString(ctx, b));
        const StringRecord* l = left.value.s;
        const StringRecord* r = right.value.s;
        std::uint64_t length = std::uint64_t(l->length) + r->length;
        if (length > kMaxStringLength)
            RaiseError(ctx, "Out of memory");
        StringRecord* s = NewStringOfLength(ctx, static_cast<std::uint32_t>(length));
        std::memcpy(s->text, l->text, std::size_t(l->length) * 2);
        std::memcpy(s->text + l->length, r->text, std::size_t(r->length) * 2);
        return Value::String(s);
    }
    Value x = Prepare(ctx, a), y = Prepare(ctx, b);
    if (x.tag == kNaN || y.tag == kNaN)
        return Value::NaN();
    if (x.tag == kInteger && y.tag == kInteger)
        return Value::Integer(WrapAdd(x.i, y.i));
    return Value::Float(AsDouble(x) + AsDouble(y));
}

Value SubSlow(Context* ctx, const Value& a, const Value& b)
{
    Value x = Prepare(ctx, a), y = Prepare(ctx, b);
    if (x.tag == kNaN || y.tag == kNaN)
        return Value::NaN();
    if (x.tag == kInteger && y.tag == kInteger)
        return Value::Integer(WrapSub(x.i, y.i));
    return Value::Float(AsDouble(x) - AsDouble(y));
}

Value MulSlow(Context* ctx, const Value& a, const Value& b)
{
    Value x = Prepare(ctx, a), y = Prepare(ctx, b);
    if (x.tag == kNaN || y.tag == kNaN)
        return Value::NaN();
    if (x.tag == kFloat) {
        if (std::isinf(x.f) && IsZero(y))
            return Value::NaN();
        return Value::Float(x.f * AsDouble(y));
    }
    if (y.tag == kInteger)
        return Value::Integer(WrapMul(x.i, y.i));
    if (x.i == 0 && std::isinf(y.f))
        return Value::NaN();
    return Value::Float(AsDouble(x) * y.f);
}

Value OpDiv(Context* ctx, const Value& a, const Value& b)
{
    Value x = Prepare(ctx, a), y = Prepare(ctx, b);
    if (x.tag == kNaN || y.tag == kNaN)
        return Value::NaN();
    double p = AsDouble(x), q = AsDouble(y);
    if (std::isinf(p) && std::isinf(q))
        return Value::NaN();
    if (std::isinf(p) && q == 0)
        return Value::Float(p);
    if (p != 0 || q != 0)
        return Value::Float(p / q);
    return Value::NaN();
}

Value OpMod(Context* ctx, const Value& a, const Value& b)
{
    if (a.tag == kInteger && b.tag == kInteger)
        return IntegerRemainder(a.i, b.i);
    Value x = Prepare(ctx, a), y = Prepare(ctx, b);
    if (x.tag == kNaN || y.tag == kNaN)
        return Value::NaN();
    if (IsInfinite(x) || IsZero(y))
        return Value::NaN();
    if (IsInfinite(y) || IsZero(x))
        return x;
    if (x.tag == kInteger && y.tag == kInteger)
        return IntegerRemainder(x.i, y.i);
    double p = AsDouble(x), q = AsDouble(y);
    return Value::Float(p - q * std::trunc(p / q));
}

Value OpNeg(Context* ctx, const Value& a)
{
    Value x = Prepare(ctx, a);
    if (x.tag == kInteger)
        return Value::Integer(WrapSub(0, x.i));
    if (x.tag == kFloat)
        return Value::Float(-x.f);
    return Value::NaN();
}

Value OpNot(const Value& a)
{
    switch (a.tag) {
    case kBoolean: return Value::Boolean(!a.BooleanValue());
    case kInteger: return Value::Boolean(a.i == 0);
    case kFloat: return Value::Boolean(a.f == 0.0);
    case kString: return Value::Boolean(a.s->length == 0);
    case kUndefined:
    case kNull:
    case kNaN: return Value::Boolean(true);
    default: return Value::Boolean(false);
    }
}

Value OpBitAnd(Context* ctx, const Value& a, const Value& b)
{
    if (a.tag == kInteger && b.tag == kInteger)
        return Value::Integer(a.i & b.i);
    std::int64_t x = ToInt64(ctx, a);
    return Value::Integer(x & ToInt64(ctx, b));
}

Value OpBitOr(Context* ctx, const Value& a, const Value& b)
{
    if (a.tag == kInteger && b.tag == kInteger)
        return Value::Integer(a.i | b.i);
    std::int64_t x = ToInt64(ctx, a);
    return Value::Integer(x | ToInt64(ctx, b));
}

Value OpBitXor(Context* ctx, const Value& a, const Value& b)
{
    if (a.tag == kInteger && b.tag == kInteger)
        return Value::Integer(a.i ^ b.i);
    std::int64_t x = ToInt64(ctx, a);
    return Value::Integer(x ^ ToInt64(ctx, b));
}

Value OpShl(Context* ctx, const Value& a, const Value& b)
{
    if (a.tag == kInteger && b.tag == kInteger)
        return ShiftLeft(a.i, ShiftCount(b.i));
    std::int64_t x = ToInt64(ctx, a);
    return ShiftLeft(x, ShiftCount(ToInt32(ctx, b)));
}

Value OpShr(Context* ctx, const Value& a, const Value& b)
{
    if (a.tag == kInteger && b.tag == kInteger)
        return ShiftRight(a.i, ShiftCount(b.i));
    std::int64_t x = ToInt64(ctx, a);
    return ShiftRight(x, ShiftCount(ToInt32(ctx, b)));
}

Value OpUshr(Context* ctx, const Value& a, const Value& b)
{
    std::int64_t x = ToInt64(ctx, a);
    int count = ShiftCount(ToInt32(ctx, b));
    if (count == 0)
        return Value::Integer(x);
    return Value::Integer(count >= 64 ? 0 : static_cast<std::int64_t>(static_cast<std::uint64_t>(x) >> count));
}

Value CompareSlow(Context* ctx, const Value& a, const Value& b, Relation r)
{
    int order;
    if (a.tag == kString && b.tag == kString) {
        order = CompareStrings(a.s, b.s);
    } else {
        Value x = Prepare(ctx, a), y = Prepare(ctx, b);
        if (x.tag == kNaN || y.tag == kNaN)
            return Value();
        if (x.tag == kInteger && y.tag == kInteger) {
            order = x.i < y.i ? -1 : (x.i > y.i ? 1 : 0);
        } else {
            double p = AsDouble(x), q = AsDouble(y);
            switch (r) {
            case Relation::kLess: return Value::Boolean(p < q);
            case Relation::kLessEqual: return Value::Boolean(p <= q);
            case Relation::kGreater: return Value::Boolean(p > q);
            case Relation::kGreaterEqual: return Value::Boolean(p >= q);
            }
            return Value();
        }
    }
    switch (r) {
    case Relation::kLess: return Value::Boolean(order < 0);
    case Relation::kLessEqual: return Value::Boolean(order <= 0);
    case Relation::kGreater: return Value::Boolean(order > 0);
    case Relation::kGreaterEqual: return Value::Boolean(order >= 0);
    }
    return Value();
}

bool StrictEquals(const Value& a, const Value& b)
{
    if (a.tag != b.tag)
        return a.IsNumber() && b.IsNumber() && NumbersEqual(a, b);
    switch (a.tag) {
    case kUndefined:
    case kNull: return true;
    case kBoolean: return a.BooleanValue() == b.BooleanValue();
    case kInteger: return a.i == b.i;
    case kFloat: return a.f == b.f;
    case kString: return CompareStrings(a.s, b.s) == 0;
    case kArray:
    case kObject:
    case kFunction: return a.p == b.p;
    case kNative: return a.n->cls == b.n->cls && a.n->data == b.n->data;
    default: return false;
    }
}

bool LooseEquals(Context* ctx, const Value& a, const Value& b)
{
    // Converting one side may run script code (and a collection): both sides
    // stay rooted.
    ValueRoot left(ctx, a), right(ctx, b);
    Value& x = left.value;
    Value& y = right.value;
    for (;;) {
        if (x.tag == y.tag) {
            switch (x.tag) {
            case kArray: return true;  // any two arrays are equal under ==
            case kAtom: return x.AtomNumber() == y.AtomNumber();
            default: return StrictEquals(x, y);
            }
        }
        bool xNothing = x.tag == kUndefined || x.tag == kNull;
        bool yNothing = y.tag == kUndefined || y.tag == kNull;
        if (xNothing || yNothing)
            return xNothing && yNothing;
        if (IsNumeric(x) && IsNumeric(y))
            return x.tag != kNaN && y.tag != kNaN && NumbersEqual(x, y);
        if (IsSimple(x) && IsSimple(y)) {
            Value p = ToNumber(ctx, x), q = ToNumber(ctx, y);
            if (p.tag == kNaN || q.tag == kNaN)
                return false;
            if (p.tag == kInteger && q.tag == kInteger)
                return p.i == q.i;
            return AsDouble(p) == AsDouble(q);
        }
        if (IsObjectLike(x) && IsSimple(y)) {
            x = ToPrimitive(ctx, x, 0);
            continue;
        }
        if (IsSimple(x) && IsObjectLike(y)) {
            y = ToPrimitive(ctx, y, 0);
            continue;
        }
        return false;
    }
}

} // namespace zelph
