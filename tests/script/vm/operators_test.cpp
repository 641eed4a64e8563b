#include "tests/script/vm/vm_test_util.h"

#include "script/vm/array.h"
#include "script/vm/error.h"
#include "script/vm/object.h"
#include "script/vm/operators.h"

#include <limits>

namespace zelph::test {
namespace {

class Operators : public VmTest {
protected:
    Value I(std::int64_t x) { return Value::Integer(x); }
    Value F(double x) { return Value::Float(x); }
    Value S(const char16_t* s) { return Str(s); }
    const double inf = std::numeric_limits<double>::infinity();
    const std::int64_t min = std::numeric_limits<std::int64_t>::min();
    const std::int64_t max = std::numeric_limits<std::int64_t>::max();
};

using Binary = Value (*)(Context*, const Value&, const Value&);

struct Case {
    const char* op;
    Value a, b;
    const char* expected;
};

Binary OperatorNamed(const std::string& op)
{
    if (op == "+") return OpAdd;
    if (op == "-") return OpSub;
    if (op == "*") return OpMul;
    if (op == "/") return OpDiv;
    if (op == "%") return OpMod;
    if (op == "&") return OpBitAnd;
    if (op == "|") return OpBitOr;
    if (op == "^") return OpBitXor;
    if (op == "<<") return OpShl;
    if (op == ">>") return OpShr;
    if (op == ">>>") return OpUshr;
    if (op == "<") return [](Context* c, const Value& a, const Value& b) { return OpCompare(c, a, b, Relation::kLess); };
    if (op == "<=") return [](Context* c, const Value& a, const Value& b) { return OpCompare(c, a, b, Relation::kLessEqual); };
    if (op == ">") return [](Context* c, const Value& a, const Value& b) { return OpCompare(c, a, b, Relation::kGreater); };
    if (op == ">=") return [](Context* c, const Value& a, const Value& b) { return OpCompare(c, a, b, Relation::kGreaterEqual); };
    return nullptr;
}

TEST_F(Operators, Arithmetic)
{
    const Case table[] = {
        {"+", I(max), I(1), "int:-9223372036854775808"},
        {"+", S(u"3"), I(4), "str:34"},
        {"+", Value::Null(), S(u""), "str:undefined"},
        {"+", I(1), F(0.5), "float:1.5"},
        {"+", I(1), Value::NaN(), "nan"},
        {"+", Value::Boolean(true), I(1), "int:2"},
        {"+", Value::Null(), I(1), "int:1"},
        {"+", Value(), I(1), "nan"},
        {"+", F(inf), F(-inf), "float:-nan"},  // unchecked float arithmetic stays a float
        {"-", I(min), I(1), "int:9223372036854775807"},
        {"-", S(u"0x10"), I(0), "int:16"},
        {"-", S(u"012"), I(0), "int:10"},
        {"-", S(u"1.5e1"), I(0), "float:15"},
        {"-", S(u"abc"), I(0), "nan"},
        {"-", S(u""), I(0), "int:0"},
        {"*", S(u"3"), S(u"4"), "int:12"},
        {"*", I(max), I(2), "int:-2"},
        {"*", F(inf), I(0), "nan"},
        {"*", F(-inf), F(0.0), "nan"},
        {"*", I(0), F(inf), "nan"},
        {"*", I(2), F(inf), "float:inf"},
        {"*", F(1.5), I(2), "float:3"},
        {"/", I(7), I(2), "float:3.5"},
        {"/", I(6), I(3), "float:2"},
        {"/", I(0), I(0), "nan"},
        {"/", I(1), I(0), "float:inf"},
        {"/", I(-1), I(0), "float:-inf"},
        {"/", F(inf), I(0), "float:inf"},
        {"/", F(-inf), F(0.0), "float:-inf"},
        {"/", F(inf), F(inf), "nan"},
        {"/", I(1), F(inf), "float:0"},
        {"%", I(7), I(0), "nan"},
        {"%", I(-7), I(2), "int:-1"},
        {"%", I(7), I(-2), "int:1"},
        {"%", I(min), I(-1), "int:0"},
        {"%", F(5.5), I(2), "float:1.5"},
        {"%", I(5), F(inf), "int:5"},
        {"%", F(inf), I(2), "nan"},
        {"%", F(0.0), F(3.0), "float:0"},
        {"%", F(1.0), F(0.0), "nan"},
        {"%", F(-5.5), F(2.0), "float:-1.5"},
        {"%", S(u"7"), S(u"4"), "int:3"},
    };
    for (const Case& c : table) {
        Value r = OperatorNamed(c.op)(ctx, c.a, c.b);
        EXPECT_EQ(Describe(r), c.expected) << Describe(c.a) << " " << c.op << " " << Describe(c.b);
    }
}

TEST_F(Operators, BitwiseAndShifts)
{
    const Case table[] = {
        {"&", I(12), I(10), "int:8"},
        {"|", F(12.9), S(u"3"), "int:15"},
        {"^", I(-1), I(1), "int:-2"},
        {"&", Value::NaN(), I(-1), "int:0"},
        {"<<", I(1), I(64), "int:0"},
        {"<<", I(1), I(63), "int:-9223372036854775808"},
        {"<<", I(1), I(256 + 3), "int:8"},      // the low 8 bits of the count
        {"<<", I(1), F(3.7), "int:8"},
        {">>", I(-1), I(70), "int:-1"},
        {">>", I(8), I(70), "int:0"},
        {">>", I(-16), I(2), "int:-4"},
        {">>>", I(-1), I(60), "int:15"},
        {">>>", I(5), I(0), "int:5"},
        {">>>", I(-1), I(256), "int:-1"},      // 256 counts as 0
        {">>>", I(-1), I(64), "int:0"},
        {">>>", F(-1.0), I(63), "int:1"},
    };
    for (const Case& c : table) {
        Value r = OperatorNamed(c.op)(ctx, c.a, c.b);
        EXPECT_EQ(Describe(r), c.expected) << Describe(c.a) << " " << c.op << " " << Describe(c.b);
    }
}

TEST_F(Operators, Relational)
{
    const Case table[] = {
        {">", S(u"b"), S(u"a"), "bool:true"},
        {"<", S(u"10"), S(u"9"), "bool:true"},
        {"<", S(u"10"), I(9), "bool:false"},
        {"<", S(u"ab"), S(u"abc"), "bool:true"},
        {"<", S(u"\xe9"), S(u"\x20ac"), "bool:true"},  // unsigned code units
        {"<", Value::NaN(), I(1), "undefined"},
        {">=", I(1), S(u"x"), "undefined"},
        {"<=", I(2), F(2.0), "bool:true"},
        {"<", I(-1), I(0), "bool:true"},
        {">", Value::Null(), I(-1), "bool:true"},
        {"<", Value::Boolean(false), Value::Boolean(true), "bool:true"},
    };
    for (const Case& c : table) {
        Value r = OperatorNamed(c.op)(ctx, c.a, c.b);
        EXPECT_EQ(Describe(r), c.expected) << Describe(c.a) << " " << c.op << " " << Describe(c.b);
    }
}

TEST_F(Operators, UnaryOperators)
{
    EXPECT_EQ(Describe(OpNeg(ctx, I(min))), "int:-9223372036854775808");
    EXPECT_EQ(Describe(OpNeg(ctx, I(5))), "int:-5");
    EXPECT_EQ(Describe(OpNeg(ctx, F(0.0))), "float:-0");
    EXPECT_EQ(Describe(OpNeg(ctx, S(u"3"))), "int:-3");
    EXPECT_EQ(Describe(OpNeg(ctx, Value())), "nan");
    const std::pair<Value, bool> nots[] = {
        {Value::Boolean(false), true}, {I(0), true},       {F(0.0), true},        {S(u""), true},
        {Value(), true},               {Value::Null(), true}, {Value::NaN(), true}, {I(2), false},
        {S(u"0"), false},              {Value::Object(NewObject(ctx)), false},
    };
    for (const auto& [v, expected] : nots)
        EXPECT_EQ(OpNot(v).BooleanValue(), expected) << Describe(v);
}

TEST_F(Operators, Equality)
{
    Value a1 = Global("a1") = Value::Array(NewArray(ctx));
    Value a2 = Global("a2") = Value::Array(NewArray(ctx));
    Value o1 = Global("o1") = Value::Object(NewObject(ctx));
    Value o2 = Global("o2") = Value::Object(NewObject(ctx));
    ArraySet(ctx, a1.a, I(1), 0);
    a1.a->length = 1;
    const struct {
        Value a, b;
        bool strict, loose;
    } table[] = {
        {I(1), F(1.0), true, true},
        {S(u"1"), I(1), false, true},
        {Value::Null(), Value(), false, true},
        {Value::Null(), I(0), false, false},
        {Value(), Value(), true, true},
        {a1, a2, false, true},  // any two arrays are equal under ==
        {a1, a1, true, true},
        {o1, o2, false, false},
        {o1, o1, true, true},
        {Value::NaN(), Value::NaN(), false, false},
        {Value::NaN(), I(0), false, false},
        {F(inf - inf), F(inf - inf), false, false},
        {S(u"ab"), S(u"ab"), true, true},
        {Value::Boolean(true), I(1), false, true},
        {Value::Boolean(true), S(u"1"), false, true},
        {I(9007199254740993), F(9007199254740992.0), false, false},  // exact comparison
        {S(u"9007199254740993"), F(9007199254740992.0), false, true},  // both to numbers, then floats
        {a1, I(1), false, true},    // [1] converts to "1"
        {o1, S(u"[object Object]"), false, true},
        {Value::AtomValue(2), Value::AtomValue(2), false, true},
        {Value(), I(0), false, false},
    };
    for (const auto& c : table) {
        EXPECT_EQ(StrictEquals(c.a, c.b), c.strict) << Describe(c.a) << " === " << Describe(c.b);
        EXPECT_EQ(LooseEquals(ctx, c.a, c.b), c.loose) << Describe(c.a) << " == " << Describe(c.b);
        EXPECT_EQ(LooseEquals(ctx, c.b, c.a), c.loose) << Describe(c.b) << " == " << Describe(c.a);
    }
}

// References that differ only above bit 31 are different objects.
TEST_F(Operators, IdentityUsesTheWholeReference)
{
    Value a = Value::Object(reinterpret_cast<ObjectRecord*>(0x100000010ull));
    Value b = Value::Object(reinterpret_cast<ObjectRecord*>(0x200000010ull));
    EXPECT_FALSE(StrictEquals(a, b));
    Value t1 = Value::Boolean(true), t2 = Value::Boolean(true);
    t2.bits |= 0x100000000ull;
    EXPECT_TRUE(StrictEquals(t1, t2));
}

} // namespace
} // namespace zelph::test
