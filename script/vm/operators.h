// The arithmetic, bitwise, relational and equality operators on Values. Two
// integers take an inline path; everything else goes to the out-of-line rules.
// Integer arithmetic wraps around in 64 bits.
#pragma once

#include "script/vm/value.h"

namespace zelph {

inline std::int64_t WrapAdd(std::int64_t a, std::int64_t b)
{
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}
inline std::int64_t WrapSub(std::int64_t a, std::int64_t b)
{
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b));
}
inline std::int64_t WrapMul(std::int64_t a, std::int64_t b)
{
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) * static_cast<std::uint64_t>(b));
}

Value AddSlow(Context* ctx, const Value& a, const Value& b);
Value SubSlow(Context* ctx, const Value& a, const Value& b);
Value MulSlow(Context* ctx, const Value& a, const Value& b);
// The relational operators: a boolean, or undefined when NaN takes part.
enum class Relation { kLess, kLessEqual, kGreater, kGreaterEqual };
Value CompareSlow(Context* ctx, const Value& a, const Value& b, Relation r);

inline Value OpAdd(Context* ctx, const Value& a, const Value& b)
{
    if (a.tag == kInteger && b.tag == kInteger)
        return Value::Integer(WrapAdd(a.i, b.i));
    return AddSlow(ctx, a, b);
}
inline Value OpSub(Context* ctx, const Value& a, const Value& b)
{
    if (a.tag == kInteger && b.tag == kInteger)
        return Value::Integer(WrapSub(a.i, b.i));
    return SubSlow(ctx, a, b);
}
inline Value OpMul(Context* ctx, const Value& a, const Value& b)
{
    if (a.tag == kInteger && b.tag == kInteger)
        return Value::Integer(WrapMul(a.i, b.i));
    return MulSlow(ctx, a, b);
}
inline Value OpCompare(Context* ctx, const Value& a, const Value& b, Relation r)
{
    if (a.tag == kInteger && b.tag == kInteger) {
        switch (r) {
        case Relation::kLess: return Value::Boolean(a.i < b.i);
        case Relation::kLessEqual: return Value::Boolean(a.i <= b.i);
        case Relation::kGreater: return Value::Boolean(a.i > b.i);
        case Relation::kGreaterEqual: return Value::Boolean(a.i >= b.i);
        }
    }
    return CompareSlow(ctx, a, b, r);
}

Value OpDiv(Context* ctx, const Value& a, const Value& b);
Value OpMod(Context* ctx, const Value& a, const Value& b);
Value OpNeg(Context* ctx, const Value& a);
Value OpNot(const Value& a);
Value OpBitAnd(Context* ctx, const Value& a, const Value& b);
Value OpBitOr(Context* ctx, const Value& a, const Value& b);
Value OpBitXor(Context* ctx, const Value& a, const Value& b);
Value OpShl(Context* ctx, const Value& a, const Value& b);
Value OpShr(Context* ctx, const Value& a, const Value& b);
Value OpUshr(Context* ctx, const Value& a, const Value& b);

// === and ==; !== and != are their negations.
bool StrictEquals(const Value& a, const Value& b);
bool LooseEquals(Context* ctx, const Value& a, const Value& b);

} // namespace zelph
