#include "tests/script/vm/vm_test_util.h"

#include "script/vm/call.h"
#include "script/vm/error.h"
#include "script/vm/native_class.h"
#include "script/vm/object.h"

#include <cstdio>
#include <string>

namespace zelph::test {
namespace {

TEST(Context, CreationInternsAndRegistersInOrder)
{
    static std::vector<std::string> order;
    order.clear();
    const Registration table[] = {
        [](Context* c) { order.push_back(std::to_string(c->atoms.Count())); },
        [](Context*) { order.push_back("second"); },
    };
    ContextPtr ctx(CreateContext(100, 7, true, table));
    ASSERT_TRUE(ctx);
    EXPECT_EQ(order, (std::vector<std::string>{"5", "second"}));
    EXPECT_EQ(ctx->userValue, 7u);
    EXPECT_EQ(ctx->options, kOptionBit0 | kOptionWarnUndefined);
    EXPECT_EQ(ctx->stackSize, 100u);
    EXPECT_EQ(ctx->sp, ctx->stack.get() + 99) << "the stack grows down from its top";
}

TEST(Context, FailingRegistrationFailsCreation)
{
    const Registration table[] = {
        [](Context* c) { NewObject(c); },
        [](Context* c) { RaiseError(c, "registration failed"); },
        [](Context*) { FAIL() << "never reached"; },
    };
    EXPECT_EQ(CreateContext(100, 0, false, table), nullptr);
}

class Errors : public VmTest {};

TEST_F(Errors, RuntimeErrorsUnwindWithTheirText)
{
    Value kept = Global("kept") = Value::Integer(1);
    EXPECT_FALSE(Protected(ctx, [&] {
        Global("kept") = Value::Integer(2);
        RaiseError(ctx, "Can't convert to object");
    }));
    EXPECT_STREQ(Message(ctx), "Runtime error: Can't convert to object");
    EXPECT_EQ(Global("kept").i, 2) << "changes before the error stay";
    (void)kept;
    // The message is cut to 1023 characters.
    std::string longText(3000, 'x');
    EXPECT_FALSE(Protected(ctx, [&] { RaiseError(ctx, "%s", longText.c_str()); }));
    EXPECT_EQ(std::string(Message(ctx)).size(), 1023u);
    EXPECT_EQ(std::string(Message(ctx)).rfind("Runtime error: xxx", 0), 0u);
    // The context goes on working.
    EXPECT_EQ(Text(Value::Integer(5)), u"5");
}

TEST_F(Errors, CallsIntoScriptsAreProtected)
{
    Value failing = Function([](Context* c, const Value*, const Value*) -> Value { RaiseError(c, "boom"); });
    Value* sp = ctx->sp;
    EXPECT_FALSE(CallValue(ctx, nullptr, failing, nullptr));
    EXPECT_STREQ(Message(ctx), "Runtime error: boom");
    EXPECT_EQ(ctx->sp, sp);

    EXPECT_FALSE(CallValue(ctx, nullptr, Value::Integer(3), nullptr));
    EXPECT_STREQ(Message(ctx), "Warning: call a undefined function");

    Value o = Global("o") = Value::Object(NewObject(ctx));
    EXPECT_FALSE(CallMethod(ctx, o, InternAtom(ctx, "hasOwnProperty"), nullptr));
    EXPECT_STREQ(Message(ctx), "Warning: unknown method \"hasOwnProperty\"");
    EXPECT_TRUE(CallMethod(ctx, o, kAtomToString, nullptr));
    EXPECT_EQ(Text(ctx->result), u"[object Object]");

    Value args[] = {Value::Integer(1), Value::Integer(16)};
    EXPECT_TRUE(CallMethod(ctx, Value::Integer(255), kAtomToString, args));
    EXPECT_EQ(Text(ctx->result), u"ff");
}

TEST_F(Errors, WarningsAreLinesOnTheTraceOutput)
{
    std::FILE* trace = std::tmpfile();
    ASSERT_TRUE(trace);
    Warn(ctx, "nobody listens");  // no trace output: discarded
    ctx->traceFile = trace;
    Warn(ctx, "Warning: call a undefined function");
    WarnFormat(ctx, "Warning: unknown method \"%s\"", "x");
    std::rewind(trace);
    char buffer[200] = {};
    std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, trace);
    EXPECT_EQ(std::string(buffer, n), "Warning: call a undefined function\r\nWarning: unknown method \"x\"\r\n");
    ctx->traceFile = nullptr;
    std::fclose(trace);
}

} // namespace
} // namespace zelph::test
