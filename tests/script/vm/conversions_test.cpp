#include "tests/script/vm/vm_test_util.h"

#include "script/vm/array.h"
#include "script/vm/error.h"
#include "script/vm/native_class.h"
#include "script/vm/object.h"

#include <cmath>
#include <limits>

namespace zelph::test {
namespace {

class Conversions : public VmTest {};

const double kInf = std::numeric_limits<double>::infinity();

TEST_F(Conversions, ToBoolean)
{
    const std::pair<Value, bool> table[] = {
        {Value(), false},
        {Value::Null(), false},
        {Value::NaN(), false},
        {Value::AtomValue(3), false},
        {Value::Boolean(true), true},
        {Value::Integer(0), false},
        {Value::Integer(-1), true},
        {Value::Float(0.0), false},
        {Value::Float(-0.0), false},
        {Value::Float(0.5), true},
        {Value::Float(kInf - kInf), true},  // a float holding an IEEE NaN
        {Str(u""), false},
        {Str(u"0"), true},
        {Value::Array(NewArray(ctx)), true},
        {Value::Object(NewObject(ctx)), true},
    };
    for (const auto& [v, b] : table)
        EXPECT_EQ(ToBoolean(v), b) << Describe(v);
}

TEST_F(Conversions, StringToNumber)
{
    const std::pair<const char16_t*, const char*> table[] = {
        {u"", "int:0"},
        {u"12px", "int:12"},
        {u"010", "int:8"},
        {u"012", "int:10"},
        {u"0x1F", "int:31"},
        {u"0x10", "int:16"},
        {u"08", "int:0"},
        {u"1.5e1", "float:15"},
        {u"1.5", "float:1.5"},
        {u"0.5", "float:0.5"},
        {u"3e2", "float:300"},
        {u"3d2", "float:300"},
        {u"  -4", "int:-4"},
        {u"- 4", "int:-4"},
        {u".5", "float:0.5"},
        {u"abc", "nan"},
        {u"  ", "nan"},
        {u"Infinity", "nan"},
        {u"0x", "float:0"},
        {u"9223372036854775807", "int:9223372036854775807"},
        {u"9223372036854775808", "float:9223372036854775808"},
        {u"1e999", "float:inf"},
        {u"7\0" u"5", "int:7"},  // an embedded zero ends the text
    };
    for (const auto& [text, expected] : table) {
        std::u16string_view view(text, text[0] == u'7' ? 3 : std::char_traits<char16_t>::length(text));
        EXPECT_EQ(Describe(StringToNumber(view)), expected) << std::string(view.begin(), view.end());
    }
}

TEST_F(Conversions, ToNumberOfEveryType)
{
    Value array = Value::Array(NewArray(ctx));
    ArraySet(ctx, array.a, Value::Integer(42), 0);
    array.a->length = 1;
    Global("a") = array;
    const std::pair<Value, const char*> table[] = {
        {Value(), "nan"},
        {Value::Null(), "int:0"},
        {Value::Boolean(true), "int:1"},
        {Value::Float(2.5), "float:2.5"},
        {Value::NaN(), "nan"},
        {Value::AtomValue(1), "nan"},
        {array, "int:42"},                        // through "42"
        {Value::Object(NewObject(ctx)), "nan"},   // through "[object Object]"
    };
    for (const auto& [v, expected] : table)
        EXPECT_EQ(Describe(ToNumber(ctx, v)), expected) << Describe(v);
}

TEST_F(Conversions, ToIntegers)
{
    const struct {
        Value v;
        std::int64_t i64;
        std::int32_t i32;
    } table[] = {
        {Value::Integer(0x1'0000'0005), 0x1'0000'0005, 5},
        {Value::Integer(-1), -1, -1},
        {Value::Float(-3.9), -3, -3},
        {Value::Float(3.9), 3, 3},
        {Value::Float(kInf), 0, 0},
        {Value::Float(-kInf), 0, 0},
        {Value::Float(1e300), std::numeric_limits<std::int64_t>::min(), 0},
        {Value::Float(4294967296.0 + 7), 4294967303, 7},
        {Value::NaN(), 0, 0},
        {Value(), 0, 0},
        {Str(u"0x10"), 16, 16},
    };
    for (const auto& c : table) {
        EXPECT_EQ(ToInt64(ctx, c.v), c.i64) << Describe(c.v);
        EXPECT_EQ(ToInt32(ctx, c.v), c.i32) << Describe(c.v);
    }
}

TEST_F(Conversions, ToStringOfPrimitives)
{
    const std::pair<Value, const char16_t*> table[] = {
        {Value(), u"undefined"},
        {Value::Null(), u"undefined"},
        {Value::Boolean(false), u"false"},
        {Value::Integer(-42), u"-42"},
        {Value::Float(1.0 / 3), u"0.333333"},
        {Value::Float(123456789.5), u"1.23457e+008"},
        {Value::Float(kInf), u"1.#INF"},
        {Value::NaN(), u"NaN"},
        {Value::AtomValue(kAtomValueOf), u"valueOf"},
        {Value::Object(NewObject(ctx)), u"[object Object]"},
        {NewFunction(ctx, nullptr), u"[object Function]"},
    };
    for (const auto& [v, text] : table)
        EXPECT_EQ(Text(v), text) << Describe(v);
    Value tagged;
    tagged.tag = kFrameInfo;
    EXPECT_EQ(Text(tagged), u"unknown");
}

TEST_F(Conversions, ArraysJoinWithCommas)
{
    Value a = Global("a") = Value::Array(NewArray(ctx, 4));
    ArraySet(ctx, a.a, Value::Integer(1), 0);
    ArraySet(ctx, a.a, Value::Null(), 2);
    ArraySet(ctx, a.a, Str(u"x"), 3);
    EXPECT_EQ(Text(a), u"1,,undefined,x");

    // An array inside itself joins as "" there; nesting joins recursively.
    Value inner = Value::Array(NewArray(ctx, 2));
    ArraySet(ctx, inner.a, Value::Integer(7), 0);
    ArraySet(ctx, inner.a, a, 1);
    ArraySet(ctx, a.a, inner, 1);
    EXPECT_EQ(Text(a), u"1,7,,undefined,x");

    // A huge sparse length costs its separators only.
    Value sparse = Global("s") = Value::Array(NewArray(ctx, 1'000'000'000'000));
    ArraySet(ctx, sparse.a, Value::Integer(5), 2);
    EXPECT_FALSE(Protected(ctx, [&] { ToString(ctx, sparse); }));
    EXPECT_STREQ(Message(ctx), "Runtime error: Out of memory");
    sparse.a->length = 4;
    EXPECT_EQ(Text(sparse), u",,5,");
}

TEST_F(Conversions, DeeplyNestedArraysStopWithStackOverflow)
{
    Value outer = Global("deep") = Value::Array(NewArray(ctx, 1));
    Value at = outer;
    for (int i = 0; i < 100000; ++i) {
        Value next = Value::Array(NewArray(ctx, 1));
        ArraySet(ctx, at.a, next, 0);
        at = next;
    }
    EXPECT_FALSE(Protected(ctx, [&] { ToString(ctx, outer); }));
    EXPECT_STREQ(Message(ctx), "Runtime error: stack overflow");
}

// Script methods: toString and valueOf of objects run as protected calls.
TEST_F(Conversions, ObjectsThroughTheirMethods)
{
    auto object = [&](const char* name, Value toString, Value valueOf) {
        Value o = Global(name) = Value::Object(NewObject(ctx));
        if (toString.tag != kUndefined)
            ObjectSetOwn(ctx, o.o, kAtomToString, toString);
        if (valueOf.tag != kUndefined)
            ObjectSetOwn(ctx, o.o, kAtomValueOf, valueOf);
        return o;
    };
    // The returned Values are kept in globals: a collection may run at any call.
    int kept = 0;
    auto returns = [&](Value result) {
        Atom slot = InternAtom(ctx, "@result" + std::to_string(kept++));
        ctx->globals[slot] = result;
        return Function([slot](Context* c, const Value*, const Value*) { return c->globals[slot]; });
    };
    Value failing = Function([](Context* c, const Value*, const Value*) -> Value { RaiseError(c, "inside"); });

    Value named = object("named", returns(Str(u"N")), Value());
    Value numeric = object("numeric", returns(Value::Integer(5)), returns(Value::Integer(9)));
    Value broken = object("broken", failing, Value());
    Value notAFunction = object("plain", Value::Integer(1), Value());
    Value viaProto = Global("child") = Value::Object(NewObject(ctx));
    ObjectSetOwn(ctx, viaProto.o, kAtomProto, named);

    EXPECT_EQ(Text(named), u"N");
    EXPECT_EQ(Text(viaProto), u"N");
    EXPECT_EQ(Text(numeric), u"object");  // toString gave a non-string
    EXPECT_EQ(Text(broken), u"object");   // toString failed
    EXPECT_EQ(Text(notAFunction), u"object");

    EXPECT_EQ(Describe(ToPrimitive(ctx, numeric, kHintNumber)), "int:9");
    EXPECT_EQ(Describe(ToPrimitive(ctx, numeric, kHintString)), "int:5");
    EXPECT_EQ(Describe(ToPrimitive(ctx, named, kHintNumber)), "str:N");  // valueOf is the object
    EXPECT_EQ(Describe(ToNumber(ctx, numeric)), "int:9");

    Value noPrimitive = object("none", returns(Value::Object(NewObject(ctx))), returns(Value::Object(NewObject(ctx))));
    EXPECT_FALSE(Protected(ctx, [&] { ToPrimitive(ctx, noPrimitive, kHintString); }));
    EXPECT_STREQ(Message(ctx), "Runtime error: Can't convert to primitive type");
    EXPECT_EQ(Describe(ToPrimitive(ctx, noPrimitive, kHintNumber)), "str:object");
}

TEST_F(Conversions, NativeObjects)
{
    NativeClass* plain = NewNativeClass(ctx);
    NativeClass* answering = NewNativeClass(ctx);
    answering->method = [](Context* c, NativeClass*, void*, Atom name, Value* out, const Value*) -> int {
        if (name == kAtomValueOf) {
            *out = Value::Integer(77);
            return 1;
        }
        if (name == kAtomToString) {
            *out = StaticString(c, u"native text");
            return 1;
        }
        return 0;
    };
    Value p = Global("p") = DefineNativeValue(ctx, plain, nullptr);
    Value q = Global("q") = DefineNativeValue(ctx, answering, nullptr);
    EXPECT_EQ(Text(p), u"object");
    EXPECT_EQ(Text(q), u"native text");
    EXPECT_EQ(Describe(ToNumber(ctx, q)), "int:77");
    EXPECT_FALSE(Protected(ctx, [&] { ToPrimitive(ctx, p, kHintNumber); }));
    EXPECT_STREQ(Message(ctx), "Runtime error: Can't convert to primitive type");
}

TEST_F(Conversions, ToObjectAndTypeof)
{
    Value s = Str(u"abc");
    Value copy = ToObject(ctx, s);
    EXPECT_NE(copy.s, s.s);
    EXPECT_EQ(copy.s->View(), u"abc");
    EXPECT_FALSE(copy.s->IsStatic());
    EXPECT_EQ(Describe(ToObject(ctx, Value::Integer(3))), "int:3");
    for (Value bad : {Value(), Value::Null(), Value::AtomValue(0)}) {
        EXPECT_FALSE(Protected(ctx, [&] { ToObject(ctx, bad); })) << Describe(bad);
        EXPECT_STREQ(Message(ctx), "Runtime error: Can't convert to object");
    }

    const std::pair<Value, const char16_t*> types[] = {
        {Value(), u"undefined"},          {Value::Null(), u"object"},
        {Value::Boolean(true), u"boolean"}, {Value::Integer(1), u"number"},
        {Value::Float(1), u"number"},     {Value::NaN(), u"number"},
        {Str(u""), u"string"},            {Value::Array(NewArray(ctx)), u"object"},
        {Value::Object(NewObject(ctx)), u"object"}, {NewFunction(ctx, nullptr), u"function"},
        {Value::AtomValue(0), u""},
    };
    for (const auto& [v, name] : types) {
        Value t = TypeOf(ctx, v);
        EXPECT_EQ(t.s->View(), name) << Describe(v);
        EXPECT_TRUE(t.s->IsStatic());
    }
}

} // namespace
} // namespace zelph::test
