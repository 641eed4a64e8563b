#include "tests/script/vm/interp_test_util.h"

#include "script/vm/array.h"
#include "script/vm/native_class.h"
#include "script/vm/object.h"

namespace zelph::test {
namespace {

class Interp : public InterpTest {};

struct Program {
    const char* what;
    const char* listing;  // the body of .main
    const char* result;
};

void RunTable(Interp& t, std::initializer_list<Program> table)
{
    for (const Program& p : table)
        EXPECT_EQ(t.Result(std::string(".function .main\n") + p.listing), p.result) << p.what;
}

TEST_F(Interp, TheInitializationModule)
{
    // 56-byte header; PUSHTRUE RET; empty constants; count 1, ".main", offset 0;
    // empty debug section.
    std::vector<std::uint8_t> bytes = {'Z', 'P', '1', 'b'};
    auto le = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    const std::uint32_t sizes[4] = {2, 0, 14, 0};
    std::uint32_t offset = 56;
    for (std::uint32_t kind = 0; kind < 4; ++kind) {
        le(0x5a5a00u + (kind << 0) + (0x77u << 8) * kind);  // random upper bits
        bytes[bytes.size() - 4] = static_cast<std::uint8_t>(kind);
        le(offset);
        le(sizes[kind]);
        offset += sizes[kind];
    }
    le(0xFFFFFFFFu);
    bytes.insert(bytes.end(), {0x60, 0x33, 0, 0, 0, 1, '.', 'm', 'a', 'i', 'n', 0, 0, 0, 0, 0});
    ASSERT_EQ(bytes.size(), 72u);
    ASSERT_TRUE(RunBytes(bytes));
    EXPECT_EQ(Describe(ctx->result), "bool:true");

    std::vector<std::uint8_t> commented = {'#', '!', 'z', '\n'};
    commented.insert(commented.end(), bytes.begin(), bytes.end());
    ctx->result = Value();
    ASSERT_TRUE(RunBytes(commented));
    EXPECT_EQ(Describe(ctx->result), "bool:true");
    EXPECT_FALSE(ReadModuleFromMemory(std::vector<std::uint8_t>{'#', 'x'})) << "a comment without a line feed";
}

TEST_F(Interp, AnonymousFunctionsOfTwoModulesStaySeparate)
{
    const char* module = R"(
.function .main
    PUSHCONST atom:@F_0
    RET
.function @F_0
    PUSHINT %d
    RET
)";
    char first[200], second[200];
    std::snprintf(first, sizeof first, module, 1);
    std::snprintf(second, sizeof second, module, 2);
    ASSERT_TRUE(Run(first));
    std::string firstName = Describe(ToString(ctx, ctx->result));
    ASSERT_TRUE(Run(second));
    std::string secondName = Describe(ToString(ctx, ctx->result));
    EXPECT_EQ(firstName, "str:@F_0");
    EXPECT_EQ(secondName, "str:@F_1");
    EXPECT_EQ(ctx->anonymousFunctions, 2u);
    Value f0 = Global("@F_0"), f1 = Global("@F_1");
    ASSERT_EQ(f0.tag, kFunction);
    ASSERT_EQ(f1.tag, kFunction);
    EXPECT_NE(f0.c->code, f1.c->code);
}

TEST_F(Interp, ConstantsAndStackShuffling)
{
    RunTable(*this, {
        {"PUSHINT", "PUSHINT -7\nRET", "int:-7"},
        {"PUSH0..3", "PUSH3\nPUSH2\nADD\nPUSH1\nADD\nPUSH0\nADD\nRET", "int:6"},
        {"PUSHUNDEF", "PUSHUNDEF\nRET", "undefined"},
        {"PUSHFALSE", "PUSHFALSE\nRET", "bool:false"},
        {"PUSHNULL", "PUSHNULL\nRET", "null"},
        {"PUSHCONST string", "PUSHCONST \"h\\u00e9\"\nRET", "str:h?"},
        {"PUSHCONST float", "PUSHCONST 2.5\nRET", "float:2.5"},
        {"PUSHCONST integer", "PUSHCONST 9000000000\nRET", "int:9000000000"},
        {"PUSHCONST nan", "PUSHCONST nan\nRET", "nan"},
        {"PUSHCONST boolean", "PUSHCONST true\nRET", "bool:true"},
        {"DUP", "PUSH2\nDUP\nMUL\nRET", "int:4"},
        {"POP", "PUSH1\nPUSH2\nPOP\nRET", "int:1"},
        {"SWAP", "PUSH1\nPUSH2\nSWAP\nSUB\nRET", "int:1"},
        {"DROP", "PUSH1\nPUSH2\nPUSH3\nDROP 2\nRET", "int:1"},
        {"STOREDROP", "PUSH1\nPUSH2\nPUSH3\nSTOREDROP 2\nRET", "int:3"},
        {"STOREDROP keeps deeper values", "PUSH0\nPUSH1\nPUSH2\nPUSH3\nSTOREDROP 2\nPOP\nRET", "int:0"},
        // Read back as digits from the bottom: (x y z) gives x + 10 * (y + 10 * z).
        {"ROLL 3: (1 2 3) to (3 1 2)", "PUSH1\nPUSH2\nPUSH3\nROLL 3\nPUSHINT 10\nMUL\nADD\nPUSHINT 10\nMUL\nADD\nRET", "int:213"},
        {"ROLL -3: (1 2 3) to (2 3 1)", "PUSH1\nPUSH2\nPUSH3\nROLL -3\nPUSHINT 10\nMUL\nADD\nPUSHINT 10\nMUL\nADD\nRET", "int:132"},
        {"ROLL 1 is nothing", "PUSH1\nPUSH2\nROLL 1\nRET", "int:2"},
        {"ADD2 and INC", "PUSHINT 5\nADD2\nINC\nRET", "int:8"},
        {"NOP", "NOP\nPUSH1\nRET", "int:1"},
        {"HALT leaves the last value", "PUSHINT 42", "int:42"},
        {"HALT with nothing left", "NOP", "undefined"},
    });
}

TEST_F(Interp, OperatorsAndTypeof)
{
    RunTable(*this, {
        {"ADD strings", "PUSHCONST \"a\"\nPUSH1\nADD\nRET", "str:a1"},
        {"SUB", "PUSH1\nPUSH3\nSUB\nRET", "int:-2"},
        {"MUL float", "PUSHCONST 1.5\nPUSH2\nMUL\nRET", "float:3"},
        {"DIV", "PUSHINT 7\nPUSH2\nDIV\nRET", "float:3.5"},
        {"MOD", "PUSHINT -7\nPUSH2\nMOD\nRET", "int:-1"},
        {"NEG", "PUSH3\nNEG\nRET", "int:-3"},
        {"NOT", "PUSH0\nNOT\nRET", "bool:true"},
        {"BITAND", "PUSHINT 12\nPUSHINT 10\nBITAND\nRET", "int:8"},
        {"BITOR", "PUSHINT 12\nPUSHINT 3\nBITOR\nRET", "int:15"},
        {"BITXOR", "PUSHINT 12\nPUSHINT 10\nBITXOR\nRET", "int:6"},
        {"SHL", "PUSH1\nPUSHINT 64\nSHL\nRET", "int:0"},
        {"SHR", "PUSHINT -1\nPUSHINT 70\nSHR\nRET", "int:-1"},
        {"USHR", "PUSHINT -1\nPUSHINT 60\nUSHR\nRET", "int:15"},
        {"LT", "PUSH1\nPUSH2\nLT\nRET", "bool:true"},
        {"LE", "PUSH2\nPUSH2\nLE\nRET", "bool:true"},
        {"GT NaN", "PUSHCONST nan\nPUSH1\nGT\nRET", "undefined"},
        {"GE strings", "PUSHCONST \"b\"\nPUSHCONST \"a\"\nGE\nRET", "bool:true"},
        {"EQ", "PUSHCONST \"1\"\nPUSH1\nEQ\nRET", "bool:true"},
        {"NE", "PUSHNULL\nPUSHUNDEF\nNE\nRET", "bool:false"},
        {"STRICTEQ", "PUSH1\nPUSHCONST 1.0\nSTRICTEQ\nRET", "bool:true"},
        {"STRICTNE", "PUSHCONST \"1\"\nPUSH1\nSTRICTNE\nRET", "bool:true"},
        {"TYPEOF", "PUSHCONST nan\nPUSH1\nLT\nTYPEOF\nRET", "str:undefined"},
        {"TYPEOF null", "PUSHNULL\nTYPEOF\nRET", "str:object"},
    });
}

TEST_F(Interp, Jumps)
{
    RunTable(*this, {
        {"JMP", "JMP over\nPUSH1\nRET\nover:\nPUSH2\nRET", "int:2"},
        {"JT taken", "PUSHCONST \"x\"\nJT yes\nPUSH0\nRET\nyes:\nPUSH1\nRET", "int:1"},
        {"JT not taken", "PUSHCONST \"\"\nJT yes\nPUSH0\nRET\nyes:\nPUSH1\nRET", "int:0"},
        {"JF", "PUSHNULL\nJF yes\nPUSH0\nRET\nyes:\nPUSH1\nRET", "int:1"},
        {"JNZ low bits", "PUSHCONST 4294967296\nJNZ yes\nPUSH0\nRET\nyes:\nPUSH1\nRET", "int:0"},
        {"JZ", "PUSHFALSE\nJZ yes\nPUSH0\nRET\nyes:\nPUSH1\nRET", "int:1"},
        {"jump to the very end lands on HALT", "PUSHINT 5\nJMP end\nPUSH1\nend:", "int:5"},
        {"a loop", "PUSH0\nloop:\nINC\nDUP\nPUSHINT 10\nLT\nJT loop\nRET", "int:10"},
    });
}

TEST_F(Interp, GlobalsAndTheUndefinedWarning)
{
    EXPECT_EQ(Result(".function .main\nPUSHINT 4\nSETGLOBAL x\nGETGLOBAL x\nRET"), "int:4");
    EXPECT_EQ(TakeTrace(), "");
    EXPECT_EQ(Result(".function .main\nGETGLOBAL nothingHere\nRET"), "undefined");
    EXPECT_EQ(TakeTrace(), "Warning: using undefined variable \"nothingHere\"\r\n");
    // An assigned undefined is no longer an unset variable (but still warns).
    ASSERT_TRUE(Run(".function .main\nPUSHUNDEF\nSETGLOBAL y\nPUSH0\nRET"));
    EXPECT_EQ(UnsetGlobalAtom(Global("y")), -1);
    ctx->options &= ~kOptionWarnUndefined;
    TakeTrace();
    EXPECT_EQ(Result(".function .main\nGETGLOBAL nothingHere\nRET"), "undefined");
    EXPECT_EQ(TakeTrace(), "");
}

// f(a, b, c) adds its parameters as numbers, with undefined as NaN.
const char* kThreeParameters = R"(
.function f
    GETARG 1
    ADD2
    ENTER 5
    GETARG 2
    GETARG 3
    ADD
    GETARG 4
    ADD
    RET
)";

TEST_F(Interp, FramesWithFewerAndMoreArguments)
{
    // Calls lay out the arguments last first, then the count, then the callee.
    std::string listing = std::string(kThreeParameters) + R"(
.function .main
    PUSH3
    PUSH2
    PUSH1
    PUSH3        ; count
    GETGLOBAL f
    CALL
    STOREDROP 5
    SETGLOBAL all
    PUSH2
    PUSH1
    PUSH2        ; count: c is missing
    GETGLOBAL f
    CALL
    STOREDROP 4
    SETGLOBAL missing
    PUSHINT 40
    PUSHINT 30
    PUSHINT 20
    PUSHINT 10
    PUSHINT 4    ; count: one extra argument
    GETGLOBAL f
    CALL
    STOREDROP 6
    SETGLOBAL extra
    PUSHINT 99   ; the caller's stack is intact afterwards
)";
    ASSERT_TRUE(Run(listing)) << Message(ctx);
    EXPECT_EQ(Describe(Global("all")), "int:6");
    EXPECT_EQ(Describe(Global("missing")), "nan");
    EXPECT_EQ(Describe(Global("extra")), "int:60");
    EXPECT_EQ(Describe(ctx->result), "int:99");
}

TEST_F(Interp, ArgumentsThroughArgnAndLocals)
{
    std::string listing = R"(
.function g
    GETARG 1
    ADD2
    ENTER 2
    LOCALS 1
    PUSHINT 2
    ARGN          ; the first argument, though g declares none
    PUSHINT 3
    ARGN
    ADD
    SETLOCAL 0
    GETLOCAL 0
    GETARG 1      ; the count
    MUL
    RET
.function .main
    PUSHINT 5
    PUSHINT 4
    PUSH2
    GETGLOBAL g
    CALL
    STOREDROP 4
)";
    EXPECT_EQ(Result(listing), "int:18");
}

TEST_F(Interp, CallsOfEverything)
{
    NativeClass* cls = NewNativeClass(ctx);
    cls->call = [](Context*, NativeClass*, void*, Value* out, const Value* args) {
        *out = Value::Integer(ArgCount(args) * 100 + Arg(args, 0).i);
    };
    Global("native") = DefineNativeValue(ctx, cls, nullptr);
    RunTable(*this, {
        {"native call", "PUSHINT 7\nPUSH1\nGETGLOBAL native\nCALL\nSTOREDROP 3\nRET", "int:107"},
        {"not callable", "PUSH0\nPUSHINT 5\nCALL\nSTOREDROP 2\nRET", "undefined"},
    });
    EXPECT_EQ(TakeTrace(), "Warning: call a undefined function\r\n");
}

TEST_F(Interp, MethodCalls)
{
    std::string listing = R"(
.function method
    GETARG 1
    ADD2
    ENTER 2
    GETARG 0      ; this
    GETPROP base
    GETARG 2
    ADD
    RET
.function .main
    PUSHINT 40
    GETGLOBAL o
    SETPROP base
    GETGLOBAL method
    GETGLOBAL o
    SETPROP m
    PUSH2
    PUSH1
    GETGLOBAL o
    CALLMETH m
    STOREDROP 3
    SETGLOBAL viaScript
    PUSHINT 16
    PUSH1
    PUSHINT 255
    CALLMETH toString
    STOREDROP 3
    SETGLOBAL viaNative
    TRY caught      ; a method nobody has only warns: null.x() throws nothing
    PUSH0
    PUSHNULL
    CALLMETH x
    STOREDROP 2
    ENDTRY 1
    PUSH0
    GETGLOBAL o
    CALLMETH nothing
    STOREDROP 2
    RET
caught:
    PUSHCONST "caught"
)";
    Global("o") = Value::Object(NewObject(ctx));
    ASSERT_TRUE(Run(listing)) << Message(ctx);
    EXPECT_EQ(Describe(Global("viaScript")), "int:42");
    EXPECT_EQ(Describe(Global("viaNative")), "str:ff");
    EXPECT_EQ(Describe(ctx->result), "undefined");
    EXPECT_EQ(TakeTrace(), "Warning: unknown method \"x\"\r\nWarning: unknown method \"nothing\"\r\n");
}

TEST_F(Interp, NewMakesAnObjectWhateverTheConstructorReturns)
{
    std::string listing = R"(
.function F
    GETARG 1
    ADD2
    ENTER 2
    PUSHINT 7
    GETARG 0
    SETPROP made
    GETGLOBAL other
    RET            ; returns some other object
.function .main
    PUSH3
    GETGLOBAL F
    SETPROP shared  ; inherited by every object F constructs
    PUSH0
    GETGLOBAL F
    NEW
    SWAP
    STOREDROP 2
    DUP
    GETPROP made
    SETGLOBAL made
    DUP
    GETPROP shared
    SETGLOBAL shared
    RET
)";
    Value other = Global("other") = Value::Object(NewObject(ctx));
    ASSERT_TRUE(Run(listing)) << Message(ctx);
    ASSERT_EQ(ctx->result.tag, kObject);
    EXPECT_NE(ctx->result.o, other.o);
    EXPECT_EQ(Describe(Global("made")), "int:7");
    EXPECT_EQ(Describe(Global("shared")), "int:3");
}

TEST_F(Interp, PropertiesAndElements)
{
    RunTable(*this, {
        {"string element", "PUSHCONST \"AB\"\nPUSH1\nGETELEM\nRET", "int:66"},
        {"string out of range", "PUSHCONST \"AB\"\nPUSH2\nGETELEM\nRET", "undefined"},
        {"string bad index", "PUSHCONST \"AB\"\nPUSHCONST 1.0\nGETELEM\nRET", "undefined"},
        {"string length", "PUSHCONST \"AB\"\nGETPROP nothing\nRET", "undefined"},
    });
    EXPECT_EQ(TakeTrace(), "Warning: string index out of range\r\nWarning: invalid index for operator []\r\n"
                           "Warning: using undefined property \"nothing\"\r\n");

    // s = 'ab' + ''; s[3] = 67 extends the string in place with a space.
    std::string extend = R"(
.function .main
    PUSHCONST "ab"
    PUSHCONST ""
    ADD
    SETGLOBAL s
    PUSHINT 67
    GETGLOBAL s
    PUSH3
    SETELEM
    PUSH1
    PUSHCONST "ab"
    PUSH0
    SETELEM
    GETGLOBAL s
    RET
)";
    EXPECT_EQ(Result(extend), "str:ab C");
    EXPECT_EQ(TakeTrace(), "Warning: can't change a static string\r\n");

    Value a = Global("a") = Value::Array(NewArray(ctx));
    RunTable(*this, {
        {"array set grows the length", "PUSHINT 10\nGETGLOBAL a\nPUSH2\nSETELEM\nGETGLOBAL a\nPUSH2\nGETELEM\nRET", "int:10"},
        {"float key truncates", "GETGLOBAL a\nPUSHCONST 2.9\nGETELEM\nRET", "int:10"},
        {"beyond the length", "GETGLOBAL a\nPUSH3\nGETELEM\nRET", "undefined"},
        {"a hole", "GETGLOBAL a\nPUSH1\nGETELEM\nRET", "undefined"},
        {"negative index", "PUSH1\nGETGLOBAL a\nPUSHINT -1\nSETELEM\nGETGLOBAL a\nPUSHINT -1\nGETELEM\nRET", "undefined"},
        {"delete shifts", "GETGLOBAL a\nPUSH0\nDELELEM\nPOP\nGETGLOBAL a\nPUSH1\nGETELEM\nRET", "int:10"},
        {"delete a name", "GETGLOBAL a\nPUSHCONST \"x\"\nDELELEM\nRET", "undefined"},
    });
    EXPECT_EQ(a.a->length, 2);
    EXPECT_EQ(TakeTrace(), "Warning: invalid index for operator []\r\n");

    std::string objects = R"(
.function .main
    PUSHINT 5
    GETGLOBAL o
    PUSHCONST "k"
    SETELEM
    GETGLOBAL o
    GETPROP k
    GETGLOBAL o
    PUSHCONST atom:k
    GETELEM
    ADD
    GETGLOBAL o
    DELPROP k
    POP
    GETGLOBAL o
    PUSHCONST "k"
    GETELEM
    TYPEOF
    ADD
    RET
)";
    Global("o") = Value::Object(NewObject(ctx));
    EXPECT_EQ(Result(objects), "str:10undefined");
}

TEST_F(Interp, ForInVisitsUnitsElementsAndNames)
{
    // The compiler's for-in shape: (container, position) to (item, found).
    const char* loop = R"(
.function .main
    PUSHCONST ""
    SETGLOBAL out
    GETGLOBAL container
    DUP
    PUSH0
    SWAP
    PUSH0
next:
    NEXTELEM
    JZ done
    GETGLOBAL out
    SWAP
    ADD
    PUSHCONST ","
    ADD
    SETGLOBAL out
    PUSH1
    ADD
    DUP
    ROLL -3
    DUP
    ROLL 4
    SWAP
    JMP next
done:
    POP
    DROP 2
    GETGLOBAL out
    RET
)";
    Global("container") = Str(u"AB");
    EXPECT_EQ(Result(loop), "str:65,66,");
    Value a = Global("container") = Value::Array(NewArray(ctx, 3));
    ArraySet(ctx, a.a, Value::Integer(7), 0);
    ArraySet(ctx, a.a, Value::Integer(8), 2);
    EXPECT_EQ(Result(loop), "str:7,undefined,8,");
    Value o = Global("container") = Value::Object(NewObject(ctx));
    ObjectSetOwn(ctx, o.o, InternAtom(ctx, "x"), Value::Integer(1));
    EXPECT_EQ(Result(loop), "str:x,");
    Global("container") = Value::Integer(5);
    EXPECT_EQ(Result(loop), "str:");
}

TEST_F(Interp, WithObjects)
{
    Value o1 = Global("o1") = Value::Object(NewObject(ctx));
    Value o2 = Global("o2") = Value::Object(NewObject(ctx));
    Atom x = InternAtom(ctx, "x");
    ObjectSetOwn(ctx, o1.o, x, Value::Integer(1));
    ObjectSetOwn(ctx, o2.o, x, Value::Integer(2));
    std::string listing = R"(
.function f1
    PUSHCONST "from o1"
    RET
.function f2
    PUSHCONST "from o2"
    RET
.function .main
    GETGLOBAL f1
    GETGLOBAL o1
    SETPROP f
    GETGLOBAL f2
    GETGLOBAL o2
    SETPROP f
    GETGLOBAL o1
    WITH
    GETGLOBAL o2
    WITH
    GETNAME x
    SETGLOBAL read
    PUSHINT 9
    SETNAME x
    GETNAME x
    SETGLOBAL afterSet
    PUSHINT 3
    SETNAME unknown
    PUSH0
    GETNAME f
    CALLNAME f
    STOREDROP 2
    SETGLOBAL called
    PUSH0
    DELNAME x
    POP
    GETNAME x
    SETGLOBAL afterDelete
    ENDWITH 2
    GETNAME x
    RET
)";
    ASSERT_TRUE(Run(listing)) << Message(ctx);
    EXPECT_EQ(Describe(Global("read")), "int:1") << "the outermost with-object first";
    EXPECT_EQ(Describe(Global("afterSet")), "int:9") << "written where it exists first";
    EXPECT_EQ(Describe(Global("afterDelete")), "int:2") << "deleted from the first that has it";
    EXPECT_EQ(Describe(Global("called")), "str:from o1");
    EXPECT_EQ(Describe(Global("unknown")), "int:3") << "not found in any: a global";
    Value v;
    EXPECT_FALSE(ObjectGet(ctx, o1.o, x, &v)) << "deleted from the first that has it";
    EXPECT_TRUE(ObjectGet(ctx, o2.o, x, &v));
    EXPECT_EQ(v.i, 2);
    EXPECT_EQ(Describe(ctx->result), "undefined") << "after ENDWITH, the (unset) global";
}

TEST_F(Interp, TryCatchAndThrow)
{
    RunTable(*this, {
        {"a caught throw", "TRY catch\nPUSHINT 5\nTHROW\ncatch:\nRET", "int:5"},
        {"ENDTRY leaves the region", "TRY catch\nENDTRY 1\nPUSHINT 5\nTHROW\ncatch:\nRET", "failed: 5"},
        {"nested tries", "TRY outer\nTRY inner\nPUSHINT 6\nTHROW\ninner:\nPUSH1\nADD\nTHROW\nouter:\nRET", "int:7"},
    });
    // A runtime error caught by try arrives as the text with its prefix; a
    // native object without a method operation has no primitive form.
    Global("plain") = DefineNativeValue(ctx, NewNativeClass(ctx), nullptr);
    EXPECT_EQ(Result(".function .main\nTRY catch\nGETGLOBAL plain\nPUSH1\nEQ\nRET\ncatch:\nRET"),
              "str:Runtime error: Can't convert to primitive type");
    EXPECT_EQ(Result(".function .main\nGETGLOBAL plain\nPUSH1\nEQ\nRET"),
              "failed: Runtime error: Can't convert to primitive type");
    EXPECT_EQ(Result(".function .main\nPUSHINT 5\nTHROW"), "failed: 5") << "no Runtime error prefix";
    EXPECT_EQ(Result(".function .main\nPUSHCONST \"b\"\nPUSHCONST \"a\"\nADD\nTHROW"), "failed: ba");
}

TEST_F(Interp, StackOverflowIsCaughtByTry)
{
    std::string listing = R"(
.function recurse
    GETARG 1
    ADD2
    ENTER 2
    PUSH0
    GETGLOBAL recurse
    CALL
    STOREDROP 2
    RET
.function .main
    TRY catch
    PUSH0
    GETGLOBAL recurse
    CALL
    STOREDROP 2
    RET
catch:
    RET
)";
    EXPECT_EQ(Result(listing), "str:Runtime error: stack overflow");
    // Without try the run fails with the text; the context goes on working.
    EXPECT_EQ(Result(".function .main\nPUSH0\nGETGLOBAL recurse\nCALL\nRET"), "failed: Runtime error: stack overflow");
    EXPECT_EQ(Result(".function .main\nPUSHINT 3\nRET"), "int:3");
    EXPECT_EQ(ctx->frames.size(), 0u);
    EXPECT_EQ(ctx->handlers.size(), 0u);
    EXPECT_EQ(ctx->sp, ctx->stack.get() + ctx->stackSize - 1);
    EXPECT_EQ(Result(".function .main\nLOCALS 30000\nPUSH1\nRET"), "failed: Runtime error: stack overflow");
}

TEST_F(Interp, FreeReleasesNativeObjects)
{
    static int finalized;
    finalized = 0;
    NativeClass* cls = NewNativeClass(ctx);
    cls->finalize = [](NativeClass*, void* data) {
        if (data)
            ++finalized;
    };
    static int data;
    Value v = Global("res") = DefineNativeValue(ctx, cls, &data);
    EXPECT_EQ(Result(".function .main\nPUSH0\nFREEGLOBAL res\nRET"), "undefined");
    EXPECT_EQ(finalized, 1);
    EXPECT_EQ(Global("res").tag, kUndefined);
    EXPECT_EQ(v.n->data, nullptr);
    Collect(ctx);
    EXPECT_EQ(finalized, 1) << "finalize takes null data afterwards and ignores it";
}

// A running function stays alive when its global is reassigned and a
// collection runs while it executes.
TEST_F(Interp, RunningCodeSurvivesItsGlobal)
{
    ctx->gcStress = true;  // collect at every safe point
    std::string listing = R"(
.function f
    GETARG 1
    ADD2
    ENTER 2
    PUSH0
    SETGLOBAL f
    PUSHNULL
    TYPEOF        ; a safe point: collects
    PUSHCONST "-still running"
    ADD
    RET
.function .main
    PUSH0
    GETGLOBAL f
    CALL
    STOREDROP 2
)";
    EXPECT_EQ(Result(listing), "str:object-still running");
}

int HookAnswer(int event, void* data)
{
    *static_cast<int*>(data) += event;
    return 7;
}

TEST_F(Interp, SafePointsCallTheHookAfterACollection)
{
    int calls = 0;
    ctx->hook = HookAnswer;
    ctx->hookData = &calls;
    ctx->heap.allocatedSinceCollect = ctx->heap.threshold;
    EXPECT_EQ(Result(".function .main\nPUSHNULL\nTYPEOF\nRET"), "failed: Runtime error: hook break 7");
    EXPECT_EQ(calls, 2);
}

} // namespace
} // namespace zelph::test
