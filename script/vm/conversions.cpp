#include "script/vm/conversions.h"

#include "script/vm/atoms.h"
#include "script/vm/call.h"
#include "script/vm/context.h"
#include "script/vm/error.h"
#include "script/vm/native_class.h"
#include "script/vm/number_text.h"
#include "script/vm/property.h"
#include "script/vm/string_record.h"

#include <cmath>
#include <limits>

namespace zelph {
namespace {

constexpr std::u16string_view kUndefinedText = u"undefined";
constexpr std::u16string_view kObjectText = u"object";
constexpr std::u16string_view kUnknownText = u"unknown";

constexpr const char16_t* kTypeNames[] = {
    u"undefined", u"object", u"boolean", u"number", u"string", u"number", u"object",
    u"object",    u"",       u"",        u"",       u"object", u"function", u"number",
};

const Value kNoArguments[1] = {Value::Integer(0)};

// A string Value; anything else a class handed back is converted once more.
Value EnsureString(Context* ctx, const Value& v)
{
    if (v.tag == kString)
        return v;
    NativeDepthGuard depth(ctx);
    return ToString(ctx, v);
}

// The type class's toString, when it has one that handles the value.
bool TypeClassText(Context* ctx, const Value& v, Value* out)
{
    NativeClass* cls = TypeClass(ctx, v.tag);
    if (!cls || !cls->method)
        return false;
    Value self = v;
    return cls->method(ctx, cls, &self, kAtomToString, out, kNoArguments) != 0;
}

// Asks a native class for toString or valueOf with no arguments.
bool NativeAsk(Context* ctx, const Value& v, Atom name, Value* out)
{
    NativeClass* cls = v.n->cls;
    return cls->method && cls->method(ctx, cls, v.n->data, name, out, kNoArguments);
}

// A script-visible call of the method on an object; its result when it
// succeeded and is primitive.
bool PrimitiveFromMethod(Context* ctx, const Value& v, Atom name, Value* out)
{
    if (!CallMethod(ctx, v, name, nullptr) || !ctx->result.IsPrimitive())
        return false;
    *out = ctx->result;
    return true;
}

[[noreturn]] void NoPrimitive(Context* ctx)
{
    RaiseError(ctx, "Can't convert to primitive type");
}

} // namespace

bool ToBoolean(const Value& v)
{
    switch (v.tag) {
    case kBoolean: return v.BooleanValue();
    case kInteger: return v.i != 0;
    case kFloat: return v.f != 0.0;  // an IEEE NaN counts as true
    case kString: return v.s->length != 0;
    case kArray:
    case kObject:
    case kNative:
    case kFunction: return true;
    default: return false;
    }
}

Value StringToNumber(std::u16string_view text)
{
    text = text.substr(0, text.find(u'\0'));
    if (text.empty())
        return Value::Integer(0);
    IntegerScan scan = ScanInteger(text, 0);
    if (!scan.found) {
        std::optional<double> d = ParseDecimal(text);
        return d ? Value::Float(*d) : Value::NaN();
    }
    if (!scan.fits)
        return Value::Float(scan.number);
    if (scan.end < text.size()) {
        char16_t next = text[scan.end];
        if (next == u'.' || next == u'e' || next == u'E' || next == u'd' || next == u'D') {
            std::optional<double> d = ParseDecimal(text);
            return d ? Value::Float(*d) : Value::NaN();
        }
    }
    return Value::Integer(scan.integer);
}

Value ToNumber(Context* ctx, const Value& v)
{
    switch (v.tag) {
    case kNull: return Value::Integer(0);
    case kBoolean: return Value::Integer(v.BooleanValue() ? 1 : 0);
    case kInteger:
    case kFloat:
    case kNaN: return v;
    case kString: return StringToNumber(v.s->View());
    case kArray:
    case kObject:
    case kNative:
    case kFunction: return ToNumber(ctx, ToPrimitive(ctx, v, kHintNumber));
    default: return Value::NaN();
    }
}

std::int64_t TruncateToInt64(double d)
{
    if (std::isnan(d) || std::isinf(d))
        return 0;
    if (std::fabs(d) >= 9223372036854775808.0)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(d);
}

std::int64_t ToInt64(Context* ctx, const Value& v)
{
    if (v.tag == kInteger)
        return v.i;
    Value n = ToNumber(ctx, v);
    if (n.tag == kInteger)
        return n.i;
    if (n.tag == kFloat)
        return TruncateToInt64(n.f);
    return 0;
}

std::int32_t ToInt32(Context* ctx, const Value& v)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(ToInt64(ctx, v))));
}

std::u16string NumberText(const Value& v)
{
    if (v.tag == kInteger)
        return Widen(FormatInteger(v.i, 10));
    if (v.tag == kFloat)
        return Widen(FormatFloat(v.f));
    return u"NaN";
}

Value ToString(Context* ctx, const Value& v)
{
    Value out;
    switch (v.tag) {
    case kUndefined:
    case kNull:
        return StaticString(ctx, kUndefinedText);
    case kString:
        return v;
    case kBoolean:
    case kInteger:
    case kFloat:
    case kNaN:
    case kArray:
    case kFunction:
        if (TypeClassText(ctx, v, &out))
            return EnsureString(ctx, out);
        // Without the built-in classes (a bare context), the same texts.
        if (v.tag == kBoolean)
            return StaticString(ctx, v.BooleanValue() ? u"true" : u"false");
        if (v.tag == kFunction)
            return StaticString(ctx, u"[object Function]");
        if (v.tag == kArray)
            return StaticString(ctx, u"");
        return NewString(ctx, NumberText(v));
    case kObject:
        if (CallMethod(ctx, v, kAtomToString, nullptr) && ctx->result.tag == kString)
            return ctx->result;
        return StaticString(ctx, kObjectText);
    case kNative:
        if (NativeAsk(ctx, v, kAtomToString, &out))
            return EnsureString(ctx, out);
        return StaticString(ctx, kObjectText);
    case kAtom:
        return StringFromAnsi(ctx, AtomName(ctx, v.AtomNumber()));
    default:
        return StaticString(ctx, kUnknownText);
    }
}

std::u16string ToText(Context* ctx, const Value& v)
{
    return std::u16string(ToString(ctx, v).s->View());
}

Value ToPrimitive(Context* ctx, const Value& v, int hint)
{
    Value out;
    switch (v.tag) {
    case kUndefined:
    case kNull:
    case kBoolean:
    case kInteger:
    case kString:
    case kFloat:
    case kNaN:
        return v;
    case kArray:
    case kFunction:
        return ToString(ctx, v);
    case kObject:
        if (hint == kHintString) {
            if (PrimitiveFromMethod(ctx, v, kAtomToString, &out) || PrimitiveFromMethod(ctx, v, kAtomValueOf, &out))
                return out;
            NoPrimitive(ctx);
        }
        if (PrimitiveFromMethod(ctx, v, kAtomValueOf, &out))
            return out;
        return ToString(ctx, v);
    case kNative: {
        if (!v.n->cls->method)
            NoPrimitive(ctx);
        // A class that answers with another object has not given a primitive;
        // taking it would convert it again without end.
        auto ask = [&](Atom name) { return NativeAsk(ctx, v, name, &out) && out.IsPrimitive(); };
        if (hint == kHintString) {
            if (ask(kAtomToString) || ask(kAtomValueOf))
                return out;
            NoPrimitive(ctx);
        }
        if (ask(kAtomValueOf))
            return out;
        return ToString(ctx, v);
    }
    default:
        NoPrimitive(ctx);
    }
}

Value ToObject(Context* ctx, const Value& v)
{
    switch (v.tag) {
    case kBoolean:
    case kInteger:
    case kFloat:
    case kArray:
    case kObject:
    case kNative:
    case kFunction:
    case kNaN:
        return v;
    case kString:
        return NewString(ctx, v.s->View());
    default:
        RaiseError(ctx, "Can't convert to object");
    }
}

const char16_t* TypeOfName(std::int32_t tag)
{
    return tag >= 0 && tag <= kNaN ? kTypeNames[tag] : u"";
}

Value TypeOf(Context* ctx, const Value& v)
{
    return StaticString(ctx, TypeOfName(v.tag));
}

} // namespace zelph
