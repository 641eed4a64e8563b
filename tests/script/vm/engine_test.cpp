// The embedding interface: engines, the run operations, eval and evals, calls
// from native code and the diagnostic queries.
#include "script/vm/engine.h"

#include "tests/script/vm/vm_test_util.h"

#include "script/compiler/compile.h"
#include "script/vm/call.h"
#include "script/vm/error.h"
#include "script/vm/source_position.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace zelph::test {
namespace {

namespace fs = std::filesystem;

class EngineTest : public ::testing::Test {
protected:
    EngineTest() : engine_(CreateEngine()), ctx(engine_->ctx.get())
    {
        dir_ = fs::temp_directory_path() /
               ("zelph_engine_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(dir_);
    }
    ~EngineTest() override
    {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Runs the text; the result described, or "failed: " / "not run: " and the
    // message.
    std::string Run(const char* text)
    {
        switch (RunText(engine_.get(), text)) {
        case RunOutcome::kDone: return Describe(ctx->result);
        case RunOutcome::kFailed: return std::string("failed: ") + Message(ctx);
        case RunOutcome::kNotRun: return std::string("not run: ") + Message(ctx);
        }
        return "?";
    }

    std::string WriteFile(const std::string& name, const std::string& bytes)
    {
        std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::string Compiled(const char* source)
    {
        auto bytes = CompileString(ctx, source, 0);
        EXPECT_TRUE(bytes);
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
    }

    EnginePtr engine_;
    Context* ctx;
    fs::path dir_;
};

TEST_F(EngineTest, EvalRunsTextAsTopLevelCodeOfItsOwn)
{
    EXPECT_EQ(Run("eval('1+2');"), "int:3");
    EXPECT_EQ(Run("eval(5);"), "int:5");
    EXPECT_EQ(Run("eval();"), "undefined");
    EXPECT_EQ(Run("typeof eval + typeof evals;"), "str:objectobject");
    // Functions and globals it defines stay; it does not see the caller's locals.
    EXPECT_EQ(Run("eval('function g() { return 4; } y = 2;'); g() * y;"), "int:8");
    EXPECT_EQ(Run("function f() { var local = 1; return eval('typeof local'); } f();"), "str:undefined");
}

TEST_F(EngineTest, EvalOfTextThatDoesNotCompileKeepsThePreviousResult)
{
    EXPECT_EQ(Run("a = eval('1+2'); b = eval('x = '); a + ':' + b;"), "str:3:3");
    // The run succeeded; the failed compilation's diagnostics are left.
    EXPECT_STREQ(Message(ctx), "error: line 0: syntax error: invalid expression\r\n");
    EXPECT_EQ(Run("eval('x = ');"), "undefined");
}

TEST_F(EngineTest, RunTextReportsHowTheRunWent)
{
    EXPECT_EQ(Run("x = ;"), "not run: error: line 0: syntax error: invalid expression\r\n");
    EXPECT_EQ(Run("throw 'boom';"), "failed: boom");
    EXPECT_EQ(Run("1;"), "int:1");
    EXPECT_STREQ(Message(ctx), "");
    std::string withNul("2; 3;\0 garbage", 14);
    EXPECT_EQ(RunTextN(engine_.get(), withNul.data(), withNul.size()), RunOutcome::kDone);
    EXPECT_EQ(Describe(ctx->result), "int:3");
}

TEST_F(EngineTest, RunFileDecidesBetweenSourceAndModule)
{
    const std::string module = Compiled("'compiled';");
    const struct {
        const char* name;
        std::string bytes;
        const char* result;
    } cases[] = {
        {"a.zps", "'source';", "str:source"},
        {"b.ZPC", module, "str:compiled"},
        {"c.txt", "#!/usr/bin/zelph\n" + module, "str:compiled"},
        {"d", module, "str:compiled"},
        {"e.txt", "'source' + 1;", "str:source1"},
        {"f.txt", "#", "not run"},  // a "#" line running to the end: compiled as source
        // The extension decides even against the content. As source, a module
        // ends at its first 0 byte: what is left, "ZP1b", is a name.
        {"g.zps", module, "undefined"},
        {"h.zpc", "'source';", "not run"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = WriteFile(c.name, c.bytes);
        RunOutcome outcome = RunFile(engine_.get(), path);
        std::string got = outcome == RunOutcome::kDone ? Describe(ctx->result)
                                                         : outcome == RunOutcome::kNotRun ? "not run" : "failed";
        EXPECT_EQ(got, c.result) << Message(ctx);
    }
    EXPECT_EQ(RunFile(engine_.get(), (dir_ / "missing.txt").string()), RunOutcome::kNotRun);
    EXPECT_EQ(std::string(Message(ctx)), "can't open the script file: " + (dir_ / "missing.txt").string() + "\n");
    EXPECT_EQ(RunCompiledMemory(engine_.get(), reinterpret_cast<const std::uint8_t*>("ZP1"), 3), RunOutcome::kNotRun);
}

TEST_F(EngineTest, EvalsRunsASourceFile)
{
    // Forward slashes: a backslash would start an escape in the script's string.
    std::string path = fs::path(WriteFile("lib.zps", "function twice(x) { return 2 * x; } 'loaded';")).generic_string();
    std::string script = "r = evals('" + path + "'); r + twice(21);";
    EXPECT_EQ(Run(script.c_str()), "str:loaded42");
    EXPECT_EQ(Run("evals(5);"), "undefined");
}

TEST_F(EngineTest, ModulesLoadedApartKeepTheirOwnFunctions)
{
    EXPECT_EQ(Run("f1 = function () { return 1; };"), "function");
    EXPECT_EQ(Run("f2 = function () { return 2; };"), "function");
    EXPECT_EQ(Run("f1() * 10 + f2();"), "int:12");
    // A function declared again is the one loaded last.
    EXPECT_EQ(Run("function h() { return 'first'; }"), "undefined");
    EXPECT_EQ(Run("function h() { return 'second'; }"), "undefined");
    EXPECT_EQ(Run("h();"), "str:second");
}

TEST_F(EngineTest, CallsFromNativeCode)
{
    ASSERT_EQ(Run("function add(a, b) { return a + b; } function fail() { throw 'inside'; } notAFunction = 3;"),
              "int:3");
    Value args[] = {Value::Integer(2), Value::Integer(40), Value::Integer(2)};
    EXPECT_TRUE(CallGlobal(ctx, "add", Value(), args));
    EXPECT_EQ(Describe(ctx->result), "int:42");

    ctx->result = Value();
    EXPECT_FALSE(CallGlobal(ctx, "notAFunction", Value(), nullptr));
    EXPECT_STREQ(Message(ctx), "Warning: call a undefined function");
    EXPECT_EQ(Describe(ctx->result), "undefined");

    // A failure ends only that call.
    Value* sp = ctx->sp;
    EXPECT_FALSE(CallGlobal(ctx, "fail", Value(), nullptr));
    EXPECT_STREQ(Message(ctx), "inside");
    EXPECT_EQ(ctx->sp, sp);
    EXPECT_TRUE(CallValue(ctx, nullptr, ctx->globals[InternAtom(ctx, "add")], args));
    EXPECT_EQ(Describe(ctx->result), "int:42");
}

TEST_F(EngineTest, PositionOfAFailure)
{
    EngineOptions options;
    options.flags |= kEngineDebugInfo;
    EnginePtr engine(CreateEngine(&options));
    Context* c = engine->ctx.get();
    const struct {
        const char* source;
        const char* function;
        std::uint32_t line;
    } cases[] = {
        {"function f() {\n  x = 1;\n  throw 'x';\n}\nf();", "f", 2},
        {"x = 1;\n\nthrow 'top';", ".main", 2},
        // The function is found although its global no longer names it.
        {"function g() {\n  g = 0;\n  throw 1;\n}\ng();", "g", 2},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.source);
        ASSERT_EQ(RunText(engine.get(), k.source), RunOutcome::kFailed);
        SourceLocation where = SourcePosition(c);
        EXPECT_EQ(where.file, std::optional<std::string>("string"));
        EXPECT_EQ(where.line, k.line);
        EXPECT_EQ(FunctionNameAt(c, c->savedIp), k.function);
    }
    // Without debug information there is no file.
    ASSERT_EQ(Run("function f() { throw 1; } f();"), "failed: 1");
    EXPECT_FALSE(SourcePosition(ctx).file);
    EXPECT_EQ(FunctionNameAt(ctx, ctx->savedIp), "f");
    EXPECT_EQ(FunctionNameAt(ctx, nullptr), ".main");
}

TEST_F(EngineTest, OptionsMapToTheContextAndTheCompiler)
{
    EXPECT_TRUE(ctx->options & kOptionWarnUndefined);  // on by default
    const struct {
        std::uint32_t flags;
        std::uint32_t userValue;
        std::uint32_t compile;
    } cases[] = {
        {0, 0, 0},
        {0x58200, 0, 0x20 | 0x40 | 0x100},
        {0x20, 0, 0x4},
        {0x1000 | 0x2000, 0, 0x100000 | 0x200000},
        {0x8000 | 0x10000 | 0x20000 | 0x40000, 0, 0x1E0},
        {0, 7, 0x1},
    };
    for (const auto& c : cases) {
        EngineOptions o;
        o.flags = c.flags;
        o.userValue = c.userValue;
        EXPECT_EQ(CompileOptionsOf(o), c.compile) << std::hex << c.flags;
    }
    EngineOptions o;
    o.flags = 0x2 | 0xC;
    o.stackSize = 100;
    o.hostWord1 = 5;
    EnginePtr engine(CreateEngine(&o));
    ASSERT_TRUE(engine);
    Context* c = engine->ctx.get();
    EXPECT_EQ(c->options & kOptionWarnUndefined, 0u);
    EXPECT_TRUE(c->options & kOptionBit0);
    EXPECT_EQ(c->options2, 3u);
    EXPECT_EQ(c->stackSize, 100u);
    EXPECT_EQ(c->hostWord1, 5u);
    EXPECT_EQ(c->hostWord2, 0xFFFFFFFFu);
}

TEST_F(EngineTest, ProtectedRunEndsAtARuntimeError)
{
    EXPECT_TRUE(ProtectedRun(engine_.get(), [] {}));
    EXPECT_FALSE(ProtectedRun(engine_.get(), [&] { RaiseError(ctx, "stop"); }));
    EXPECT_STREQ(Message(ctx), "Runtime error: stop");
}

TEST_F(EngineTest, TraceWritesItsArgumentsAsOneLine)
{
    std::FILE* out = std::tmpfile();
    ctx->traceFile = out;
    EXPECT_EQ(Run("trace('a', 1, 2.5, true); trace(); trace([1, 2]);"), "undefined");
    ctx->traceFile = nullptr;
    std::rewind(out);
    char buffer[64] = {};
    std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
    std::fclose(out);
    EXPECT_EQ(std::string(buffer, n), "a12.5true\r\n\r\n1,2\r\n");
}

} // namespace
} // namespace zelph::test
