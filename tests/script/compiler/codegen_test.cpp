// The code the compiler writes: instruction listings of small sources, the
// constant pool, the module layout and the diagnostics a compilation leaves.
#include "tests/script/compiler/compile_util.h"

#include "script/compiler/compiler_state.h"
#include "script/vm/collector.h"
#include "script/vm/module.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace zelph::test {
namespace {

using CodegenTest = CompileTest;

struct Golden {
    const char* source;
    const char* listing;
};

// Each listing is the whole module after all optimizer passes; labels are
// numbered in the order of their offsets.
TEST_F(CodegenTest, ListingsOfSmallSources)
{
    const Golden cases[] = {
        {"x = 5;", // the last statement's value stays: its POP goes
         R"(.main:
  PUSHCONST 5
  DUP
  SETGLOBAL x
)"},
        {"x = 1; y = 2;", // DUP and POP of the first statement go
         R"(.main:
  PUSH1
  SETGLOBAL x
  PUSH2
  DUP
  SETGLOBAL y
)"},
        {"return true;", // PUSHUNDEF after RET is unreachable
         R"(.main:
  PUSHTRUE
  RET
)"},
        {"function f(a, b) { return a; }", // prologue; the tail after RET is unreachable
         R"(f:
  GETARG 1
  ADD2
  ENTER 4
  GETARG 2
  RET
)"},
        {"while (true) {}", // no condition test
         R"(.main:
L1:
  JMP L1
)"},
        {"1 + 2;", // an expression statement's value is the result
         R"(.main:
  PUSH1
  PUSH2
  ADD
)"},
        {"var x;", // nothing but .main: PUSHUNDEF
         R"(.main:
  PUSHUNDEF
)"},
        {"function f() { var a = g(); return a; }", // SETLOCAL 0 / GETLOCAL 0 removed
         R"(f:
  GETARG 1
  ADD2
  ENTER 2
  LOCALS 1
  PUSH0
  GETGLOBAL g
  CALL
  STOREDROP 2
  RET
)"},
        {"f(this, null, true, false, undefined);", // arguments last first, then the count
         R"(.main:
  PUSHUNDEF
  PUSHFALSE
  PUSHTRUE
  PUSHNULL
  GETARG 0
  PUSHINT 5
  GETGLOBAL f
  CALL
  STOREDROP 7
)"},
        {"x = 42; y = 1.5; z = 's'; r = /a/g;", // constants
         R"(.main:
  PUSHCONST 42
  SETGLOBAL x
  PUSHCONST 1.5
  SETGLOBAL y
  PUSHCONST "s"
  SETGLOBAL z
  PUSHCONST /a/g
  DUP
  SETGLOBAL r
)"},
        {"a.b = c[d];", // member store, index load
         R"(.main:
  GETGLOBAL c
  GETGLOBAL d
  GETELEM
  DUP
  GETGLOBAL a
  SETPROP b
)"},
        {"a += 1; o.p *= 2;", // compound assignment loads and stores the target
         R"(.main:
  GETGLOBAL a
  PUSH1
  ADD
  SETGLOBAL a
  GETGLOBAL o
  GETPROP p
  PUSH2
  MUL
  DUP
  GETGLOBAL o
  SETPROP p
)"},
        {"x = c ? 1 : 2;", // conditional
         R"(.main:
  GETGLOBAL c
  JF L1
  PUSH1
  JMP L2
L1:
  PUSH2
L2:
  DUP
  SETGLOBAL x
)"},
        {"x = a && b; y = (a < b) || c;", // logical: JF on unknown, JNZ on boolean
         R"(.main:
  GETGLOBAL a
  DUP
  JF L1
  POP
  GETGLOBAL b
L1:
  SETGLOBAL x
  GETGLOBAL a
  GETGLOBAL b
  LT
  DUP
  JNZ L2
  POP
  GETGLOBAL c
L2:
  DUP
  SETGLOBAL y
)"},
        {"x = ~a; y = -a; z = !a; w = +a;", // unary
         R"(.main:
  GETGLOBAL a
  PUSHCONST -1
  BITXOR
  SETGLOBAL x
  GETGLOBAL a
  NEG
  SETGLOBAL y
  GETGLOBAL a
  NOT
  SETGLOBAL z
  GETGLOBAL a
  DUP
  SETGLOBAL w
)"},
        {"x = typeof a; y = void a;", // typeof and void
         R"(.main:
  GETGLOBAL a
  TYPEOF
  SETGLOBAL x
  GETGLOBAL a
  POP
  PUSHUNDEF
  DUP
  SETGLOBAL y
)"},
        {"++a; b--;", // prefix and postfix
         R"(.main:
  GETGLOBAL a
  PUSH1
  ADD
  SETGLOBAL a
  GETGLOBAL b
  DUP
  PUSH1
  SUB
  SETGLOBAL b
)"},
        {"delete o.p; delete o[k]; delete v;", // delete forms
         R"(.main:
  GETGLOBAL o
  DELPROP p
  POP
  GETGLOBAL o
  GETGLOBAL k
  DELELEM
  POP
  PUSHNULL
  FREEGLOBAL v
)"},
        {"o.m(1, 2);", // method call
         R"(.main:
  PUSH2
  PUSH1
  PUSH2
  GETGLOBAL o
  CALLMETH m
  STOREDROP 4
)"},
        {"x = new A(1);", // new
         R"(.main:
  PUSH1
  PUSH1
  GETGLOBAL A
  NEW
  SWAP
  STOREDROP 3
  DUP
  SETGLOBAL x
)"},
        {"x = [1, , 3];", // array literal: minus the count
         R"(.main:
  PUSH3
  PUSHUNDEF
  PUSH1
  PUSHINT -3
  GETGLOBAL Array
  NEW
  SWAP
  STOREDROP 5
  DUP
  SETGLOBAL x
)"},
        {"x = {a: 1, 'b': 2, 3: 4};", // object literal: the last property first
         R"(.main:
  PUSH0
  GETGLOBAL Object
  NEW
  SWAP
  STOREDROP 2
  DUP
  PUSHCONST 4
  SWAP
  PUSH3
  SETELEM
  DUP
  PUSH2
  SWAP
  PUSHCONST "b"
  SETELEM
  DUP
  PUSH1
  SWAP
  SETPROP a
  DUP
  SETGLOBAL x
)"},
        {"if (a) b(); else c();", // if/else
         R"(.main:
  GETGLOBAL a
  JF L1
  PUSH0
  GETGLOBAL b
  CALL
  DROP 3
  JMP L2
L1:
  PUSH0
  GETGLOBAL c
  CALL
  DROP 3
L2:
  PUSHUNDEF
)"},
        {"do x(); while (a < 3);", // do-while
         R"(.main:
L1:
  PUSH0
  GETGLOBAL x
  CALL
  DROP 3
  GETGLOBAL a
  PUSH3
  LT
  JNZ L1
  PUSHUNDEF
)"},
        {"for (var i = 0; i < 3; i++) f(i);", // for with a declarator: a local
         R"(.main:
  LOCALS 1
  PUSH0
  SETLOCAL 0
L1:
  GETLOCAL 0
  PUSH3
  LT
  JZ L2
  GETLOCAL 0
  PUSH1
  GETGLOBAL f
  CALL
  DROP 4
  GETLOCAL 0
  PUSH1
  ADD
  SETLOCAL 0
  JMP L1
L2:
  PUSHUNDEF
)"},
        {"for (k in o) f(k);", // for-in
         R"(.main:
  GETGLOBAL o
  DUP
  PUSH0
  SWAP
  PUSH0
L1:
  NEXTELEM
  JZ L2
  SETGLOBAL k
  GETGLOBAL k
  PUSH1
  GETGLOBAL f
  CALL
  DROP 4
  PUSH1
  ADD
  DUP
  ROLL -3
  DUP
  ROLL 4
  SWAP
  JMP L1
L2:
  POP
  DROP 2
  PUSHUNDEF
)"},
        {"with (o) x = 1;", // names inside with
         R"(.main:
  GETGLOBAL o
  WITH
  PUSH1
  SETNAME x
  ENDWITH 1
  PUSHUNDEF
)"},
        {"switch (x) { case 1: a(); default: b(); case 2: c(); }", // switch: tests, fall-through
         R"(.main:
  GETGLOBAL x
  DUP
  PUSH1
  STRICTEQ
  JZ L2
  PUSH0
  GETGLOBAL a
  CALL
  DROP 3
  JMP L1
L1:
  PUSH0
  GETGLOBAL b
  CALL
  DROP 3
  JMP L3
L2:
  DUP
  PUSH2
  STRICTEQ
  JZ L1
L3:
  PUSH0
  GETGLOBAL c
  CALL
  DROP 3
)"},
        {"while (1) { switch (x) { case 1: continue; } }", // continue pops the discriminant
         R"(.main:
L1:
  PUSH1
  JF L3
  GETGLOBAL x
  DUP
  PUSH1
  STRICTEQ
  JZ L2
  POP
  JMP L1
L2:
  POP
  JMP L1
L3:
  PUSHUNDEF
)"},
        {"try { f(); } catch (e) { g(e); } finally { h(); }", // try, catch, finally
         R"(.main:
  LOCALS 1
  TRY L1
  PUSH0
  GETGLOBAL f
  CALL
  DROP 3
  ENDTRY 1
  PUSHFALSE
  JMP L4
L1:
  PUSHFALSE
  SWAP
  TRY L3
  DUP
  SETLOCAL 0
  SWAP
  POP
  PUSHTRUE
  SWAP
  GETLOCAL 0
  PUSH1
  GETGLOBAL g
  CALL
  DROP 4
  ENDTRY 1
  SWAP
  JNZ L2
  PUSHTRUE
  JMP L4
L2:
  POP
  PUSHFALSE
  JMP L4
L3:
  STOREDROP 2
  PUSHTRUE
L4:
  PUSH0
  GETGLOBAL h
  CALL
  DROP 3
  JZ L5
  THROW
L5:
  PUSHUNDEF
)"},
        {"try { throw 1; } catch (e if e == 2) { } catch (e) { r = e; }", // conditional catch
         R"(.main:
  LOCALS 1
  TRY L1
  PUSH1
  THROW
  ENDTRY 1
  PUSHFALSE
  JMP L8
L1:
  PUSHFALSE
  SWAP
  TRY L7
  DUP
  SETLOCAL 0
  TRY L2
  GETLOCAL 0
  PUSH2
  EQ
  ENDTRY 1
  JZ L4
  JMP L3
L2:
  POP
  JMP L4
L3:
  SWAP
  POP
  PUSHTRUE
  SWAP
  JMP L5
L4:
  DUP
  SETLOCAL 0
  SWAP
  POP
  PUSHTRUE
  SWAP
  GETLOCAL 0
  SETGLOBAL r
L5:
  ENDTRY 1
  SWAP
  JNZ L6
  PUSHTRUE
  JMP L8
L6:
  POP
  PUSHFALSE
  JMP L8
L7:
  STOREDROP 2
  PUSHTRUE
L8:
  JZ L9
  THROW
L9:
  PUSHUNDEF
)"},
        {"function f() { try { return g(); } catch (e) { } }", // return in try: the value first, then ENDTRY
         R"(f:
  GETARG 1
  ADD2
  ENTER 2
  LOCALS 1
  TRY L1
  PUSH0
  GETGLOBAL g
  CALL
  STOREDROP 2
  ENDTRY 1
  RET
L1:
  PUSHFALSE
  SWAP
  TRY L3
  DUP
  SETLOCAL 0
  SWAP
  POP
  PUSHTRUE
  SWAP
  ENDTRY 1
  SWAP
  JNZ L2
  PUSHTRUE
  JMP L4
L2:
  POP
  PUSHFALSE
  JMP L4
L3:
  STOREDROP 2
  PUSHTRUE
L4:
  JZ L5
  THROW
L5:
  PUSHUNDEF
  RET
)"},
        {"outer: for (;;) { for (;;) { break outer; } }", // labelled break
         R"(.main:
  PUSHUNDEF
)"},
        {"L: for (k in o) { continue L; }", // a label on a loop: continue goes on with the loop
         R"(.main:
  GETGLOBAL o
  DUP
  PUSH0
  SWAP
  PUSH0
L1:
  NEXTELEM
  JZ L2
  SETGLOBAL k
  PUSH1
  ADD
  DUP
  ROLL -3
  DUP
  ROLL 4
  SWAP
  JMP L1
L2:
  POP
  DROP 2
  PUSHUNDEF
)"},
        {"while (1) { for (k in o) { break; } }", // unlabelled break from for-in
         R"(.main:
L1:
  PUSH1
  JF L4
  GETGLOBAL o
  DUP
  PUSH0
  SWAP
  PUSH0
  NEXTELEM
  JZ L2
  SETGLOBAL k
  JMP L3
L2:
  POP
L3:
  DROP 2
  JMP L1
L4:
  PUSHUNDEF
)"},
        {"for (;;) { for (k in o) { try { } catch (e) { break; } } }", // break leaves a catch clause: its values go
         R"(.main:
  LOCALS 1
L1:
  GETGLOBAL o
  DUP
  PUSH0
  SWAP
  PUSH0
L2:
  NEXTELEM
  JZ L7
  SETGLOBAL k
  TRY L3
  ENDTRY 1
  PUSHFALSE
  JMP L5
L3:
  PUSHFALSE
  SWAP
  TRY L4
  DUP
  SETLOCAL 0
  SWAP
  POP
  PUSHTRUE
  SWAP
  ENDTRY 1
  DROP 2
  JMP L8
L4:
  STOREDROP 2
  PUSHTRUE
L5:
  JZ L6
  THROW
L6:
  PUSH1
  ADD
  DUP
  ROLL -3
  DUP
  ROLL 4
  SWAP
  JMP L2
L7:
  POP
L8:
  DROP 2
  JMP L1
)"},
        {"function f() { return arguments.length; }", // the arguments object
         R"(f:
  GETARG 1
  ADD2
  ENTER 2
  LOCALS 1
  PUSH0
  GETGLOBAL Object
  NEW
  SWAP
  STOREDROP 2
  SETLOCAL 0
  PUSH0
L1:
  DUP
  GETARG 1
  GE
  JNZ L2
  DUP
  DUP
  ADD2
  ARGN
  SWAP
  GETLOCAL 0
  SWAP
  SETELEM
  INC
  JMP L1
L2:
  GETLOCAL 0
  SETPROP length
  GETGLOBAL f
  GETLOCAL 0
  SETPROP callee
  GETLOCAL 0
  GETPROP length
  RET
)"},
        {"function o() { function i() {} }", // a nested function bound to its enclosing function
         R"(@F_0:
  GETARG 1
  ADD2
  ENTER 2
  PUSHUNDEF
  RET
o:
  GETARG 1
  ADD2
  ENTER 2
  GETGLOBAL @F_0
  GETGLOBAL o
  SETPROP i
  PUSHUNDEF
  RET
)"},
        {"x = function () { return 1 };", // a function expression
         R"(@F_0:
  GETARG 1
  ADD2
  ENTER 2
  PUSH1
  RET
.main:
  GETGLOBAL @F_0
  DUP
  SETGLOBAL x
)"},
        {"x = 5; y = 6;", // the first statement's DUP and POP go, the last keeps its value
         R"(.main:
  PUSHCONST 5
  SETGLOBAL x
  PUSHCONST 6
  DUP
  SETGLOBAL y
)"},
        {"function f() { if (c) { var y = 1; } return y; }", // a block's var is not seen after the block
         R"(f:
  GETARG 1
  ADD2
  ENTER 2
  LOCALS 1
  GETGLOBAL c
  JF L1
  PUSH1
  SETLOCAL 0
  JMP L1
L1:
  GETGLOBAL y
  RET
)"},
        {"for (var i = 0; i < 3; i++) {} x = i;", // the loop's var is not seen after the loop
         R"(.main:
  LOCALS 1
  PUSH0
  SETLOCAL 0
L1:
  GETLOCAL 0
  PUSH3
  LT
  JZ L2
  GETLOCAL 0
  PUSH1
  ADD
  SETLOCAL 0
  JMP L1
L2:
  GETGLOBAL i
  DUP
  SETGLOBAL x
)"},
        {"if (a) { while (b) {} } else c();", // jump threading: the loop's exit goes straight to the end
         R"(.main:
  GETGLOBAL a
  JF L2
L1:
  GETGLOBAL b
  JF L3
  JMP L1
L2:
  PUSH0
  GETGLOBAL c
  CALL
  DROP 3
L3:
  PUSHUNDEF
)"},
        {"this = 1; f() = 2;", // an invalid target drops the value it was given
         R"(.main:
  PUSH1
  POP
  PUSH2
  DUP
  POP
)"},
        {"function f() { var a = 0; try { a = g(); h(a); } catch (e) { return a; } }", // a store the catch clause may read stays
         R"(f:
  GETARG 1
  ADD2
  ENTER 2
  LOCALS 2
  PUSH0
  SETLOCAL 0
  TRY L1
  PUSH0
  GETGLOBAL g
  CALL
  STOREDROP 2
  SETLOCAL 0
  GETLOCAL 0
  PUSH1
  GETGLOBAL h
  CALL
  DROP 4
  ENDTRY 1
  PUSHFALSE
  JMP L3
L1:
  PUSHFALSE
  SWAP
  TRY L2
  DUP
  SETLOCAL 1
  SWAP
  POP
  PUSHTRUE
  SWAP
  GETLOCAL 0
  ENDTRY 1
  RET
L2:
  STOREDROP 2
  PUSHTRUE
L3:
  JZ L4
  THROW
L4:
  PUSHUNDEF
  RET
)"},
    };
    for (const Golden& c : cases) {
        SCOPED_TRACE(c.source);
        EXPECT_EQ(Listing(c.source), c.listing);
    }
}

TEST_F(CodegenTest, LocalsAboveThirtyTwoKeepTheirStoresAndLoads)
{
    std::string source = "function f() { ";
    for (int i = 0; i < 34; ++i)
        source += "var a" + std::to_string(i) + " = g(); ";
    source += "return a33; }";
    std::string listing = Listing(source);
    EXPECT_NE(listing.find("  LOCALS 34\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("  SETLOCAL 33\n  GETLOCAL 33\n  RET\n"), std::string::npos) << listing;
    // Below 32 the same pair goes.
    EXPECT_EQ(Listing("function f() { var a = g(); return a; }").find("SETLOCAL"), std::string::npos);
}

TEST_F(CodegenTest, InvalidTargetsWarnAndKeepTheStackBalanced)
{
    const char* source = "this = 1; f() = 2; 5++; 7;";
    EXPECT_TRUE(CompileString(ctx, source, 0));
    EXPECT_STREQ(Message(ctx), "warning: line 0: invalid assignment target\r\n"
                               "warning: line 0: invalid assignment target\r\n"
                               "warning: line 0: invalid assignment target\r\n");
    EXPECT_EQ(Run(source), "int:7");
}

TEST_F(CodegenTest, BreakAndContinueOutsideTheirStatementsAreErrors)
{
    const struct {
        const char* source;
        const char* message;
    } cases[] = {
        {"break;", "error: line 0: invalid break\r\n"},
        {"x = 1;\ncontinue;", "error: line 1: invalid continue\r\n"},
        {"switch (x) { case 1: continue; }", "error: line 0: invalid continue\r\n"},
        {"L: { continue M; }", "error: line 0: invalid continue\r\n"},
        {"while (1) { break nowhere; }", "error: line 0: invalid break\r\n"},
        {"while (1) { function f() { break; } }", "error: line 0: invalid break\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        EXPECT_FALSE(CompileString(ctx, c.source, 0));
        EXPECT_STREQ(Message(ctx), c.message);
    }
}

// The constants section as the disassembler lists it.
std::string ConstantsOf(const std::string& listing)
{
    auto begin = listing.find("constants:\n");
    auto end = listing.find("functions:\n");
    return begin == std::string::npos ? listing : listing.substr(begin, end - begin);
}

TEST_F(CodegenTest, ConstantPoolSharesEqualConstantsOnly)
{
    DisassemblyOptions header;
    header.lines = false;
    std::string listing = Disassembly("a = 'a'; b = 'a'; c = 7; d = 7.0; e = 1e-40; f = 0.0; g = 0.0;",
                                      0, header);
    // Atoms and values share one numbering, in the order of first use.
    EXPECT_EQ(ConstantsOf(listing), "constants:\n"
                                    "  #0 \"a\"\n"
                                    "  #1 atom a\n"
                                    "  #2 atom b\n"
                                    "  #3 7\n"
                                    "  #4 atom c\n"
                                    "  #5 7.0\n"
                                    "  #6 atom d\n"
                                    "  #7 1e-40\n"
                                    "  #8 atom e\n"
                                    "  #9 0.0\n"
                                    "  #10 atom f\n"
                                    "  #11 atom g\n");
}

TEST_F(CodegenTest, PatternsAreTheSameConstantOnlyWithTheSameFlags)
{
    DisassemblyOptions header;
    header.lines = false;
    std::string listing = Disassembly("a = /ag/; b = /a/g; c = /a/g; d = /ag/;", 0, header);
    EXPECT_EQ(ConstantsOf(listing), "constants:\n"
                                    "  #0 /ag/\n"
                                    "  #1 atom a\n"
                                    "  #2 /a/g\n"
                                    "  #3 atom b\n"
                                    "  #4 atom c\n"
                                    "  #5 atom d\n");
}

TEST_F(CodegenTest, StringAndPatternConstantsBecomeUtf16FromTheAnsiCodePage)
{
    DisassemblyOptions header;
    header.lines = false;
    std::string listing = Disassembly("s = 'caf\xe9\\n'; r = /\xe9+/i;", 0, header);
    EXPECT_NE(listing.find("#0 \"caf\\u00E9\\n\""), std::string::npos) << listing;
    EXPECT_NE(listing.find("#2 /\\u00E9+/i"), std::string::npos) << listing;
}

std::uint32_t Word(const ModuleBytes& m, std::size_t at)
{
    return m[at] | m[at + 1] << 8 | m[at + 2] << 16 | std::uint32_t(m[at + 3]) << 24;
}

TEST_F(CodegenTest, ModuleHeaderHoldsFourSectionsInKindOrder)
{
    for (std::uint32_t options : {0u, kCompileDebugInfo}) {
        SCOPED_TRACE(options);
        auto m = CompileString(ctx, "function f(a) { return a + 1; }\nx = f(2);", options);
        ASSERT_TRUE(m);
        ASSERT_GE(m->size(), kModuleHeaderSize);
        EXPECT_EQ(std::memcmp(m->data(), "ZP1b", 4), 0);
        std::uint32_t at = kModuleHeaderSize;
        for (std::uint32_t kind = 0; kind < 4; ++kind) {
            const std::size_t entry = 4 + 12 * kind;
            EXPECT_EQ(Word(*m, entry) & 0xFF, kind);
            EXPECT_EQ(Word(*m, entry + 4), at);
            at += Word(*m, entry + 8);
        }
        EXPECT_EQ(Word(*m, 52), 0xFFFFFFFFu);
        EXPECT_EQ(at, m->size());
        // The debug section is there only with the option.
        EXPECT_EQ(Word(*m, 4 + 36 + 8) != 0, options == kCompileDebugInfo);
    }
}

TEST_F(CodegenTest, ModulesDifferOnlyInTheKindTags)
{
    const char* source = "function f(a) { return a * 2; } x = [f(1), 'two', 3.5];";
    auto a = CompileString(ctx, source, kCompileDebugInfo);
    auto b = CompileString(ctx, source, kCompileDebugInfo);
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->size(), b->size());
    // Bytes 1 to 3 of each kind word are random tags.
    for (std::size_t kind = 0; kind < 4; ++kind)
        for (std::size_t byte = 1; byte < 4; ++byte)
            (*a)[4 + 12 * kind + byte] = (*b)[4 + 12 * kind + byte];
    EXPECT_EQ(*a, *b);
}

TEST_F(CodegenTest, DebugInformationNamesTheSourceAndItsLines)
{
    DisassemblyOptions full;
    full.offsets = false;
    // Line 0 needs no record: the writer starts from it.
    EXPECT_EQ(Disassembly("x = 1;\n\ny = f(x);", kCompileDebugInfo, full),
              "code 26 bytes, 3 constants, 1 functions, source string\n"
              "constants:\n"
              "  #0 atom x\n"
              "  #1 atom f\n"
              "  #2 atom y\n"
              "functions:\n"
              "  .main @0000\n"
              ".main:\n"
              "  PUSH1\n"
              "  SETGLOBAL x\n"
              "  GETGLOBAL x  ; line 2\n"
              "  PUSH1\n"
              "  GETGLOBAL f\n"
              "  CALL\n"
              "  STOREDROP 3\n"
              "  DUP\n"
              "  SETGLOBAL y\n");
}

TEST_F(CodegenTest, ResultOfTopLevelCodeTakesTheLineOfItsLastInstruction)
{
    DisassemblyOptions lines;
    lines.offsets = false;
    lines.header = false;
    std::string listing = Disassembly("x = 1;\nif (a) b();", kCompileDebugInfo, lines);
    // No line record for line 0 at the end.
    EXPECT_TRUE(listing.ends_with("  JMP L1\nL1:\n  PUSHUNDEF\n")) << listing;
}

TEST_F(CodegenTest, SourceOfOnlyFunctionsHasNoMainEntry)
{
    DisassemblyOptions header;
    std::string listing = Disassembly("function f() {} function g() { return f(); }", 0, header);
    EXPECT_NE(listing.find("functions:\n  f @"), std::string::npos) << listing;
    EXPECT_EQ(listing.find(".main"), std::string::npos) << listing;
    EXPECT_NE(Disassembly("function f() {} f();", 0, header).find(".main"), std::string::npos);
}

TEST_F(CodegenTest, CompilationLeavesNothingReachable)
{
    const char* sources[] = {
        "function f(a) { var s = 'text' + a; return [s, /re+/g, {k: 1.5}]; } x = f(1);",
        "try { throw 'x'; } catch (e if e == 'y') { } finally { z = 1; }",
        "x = (1 + ;",  // fails
    };
    std::size_t before = Collect(ctx);
    for (int round = 0; round < 3; ++round)
        for (const char* source : sources)
            CompileString(ctx, source, kCompileDebugInfo);
    EXPECT_EQ(Collect(ctx), before);
}

class CompileDiagnosticsTest : public CompileTest {};

TEST_F(CompileDiagnosticsTest, FailedCompilationLeavesItsErrorInTheMessageBuffer)
{
    EXPECT_FALSE(CompileString(ctx, "x = ;", 0));
    EXPECT_STREQ(Message(ctx), "error: line 0: syntax error: invalid expression\r\n");
}

TEST_F(CompileDiagnosticsTest, WarningsStayAfterASuccessfulCompilation)
{
    EXPECT_TRUE(CompileString(ctx, "a = 1\nb = 2", kCompileSemicolonWarnings));
    EXPECT_STREQ(Message(ctx), "warning: line 0: missing ;\r\nwarning: line 1: missing ;\r\n");
    // Without the option the same source is silent, and a clean compilation
    // empties the message buffer.
    EXPECT_TRUE(CompileString(ctx, "a = 1\nb = 2", 0));
    EXPECT_STREQ(Message(ctx), "");
}

// 28-byte warnings on line 0 and 29-byte ones on line 10 make a text of an
// exact length.
std::string SourceWithWarnings(int onLine0, int onLine10)
{
    std::string source;
    for (int i = 0; i < onLine0; ++i)
        source += "{a=1}";
    source += std::string(10, '\n');
    for (int i = 0; i < onLine10; ++i)
        source += "{a=1}";
    return source;
}

TEST_F(CompileDiagnosticsTest, LongTextGoesToTheLongDiagnostics)
{
    // 22 * 28 + 14 * 29 = 1022 bytes: with the NUL it still fits.
    SetMessage(ctx, "before");
    EXPECT_TRUE(CompileString(ctx, SourceWithWarnings(22, 14), kCompileSemicolonWarnings));
    EXPECT_EQ(std::strlen(Message(ctx)), 1022u);
    EXPECT_EQ(ctx->longDiagnostics, "");

    // 21 * 28 + 15 * 29 = 1023 bytes: the message buffer keeps what it held.
    SetMessage(ctx, "before");
    EXPECT_TRUE(CompileString(ctx, SourceWithWarnings(21, 15), kCompileSemicolonWarnings));
    EXPECT_STREQ(Message(ctx), "before");
    EXPECT_EQ(ctx->longDiagnostics.size(), 1023u);
    EXPECT_EQ(ctx->longDiagnostics.substr(0, 28), "warning: line 0: missing ;\r\n");

    // The next compilation releases it.
    EXPECT_TRUE(CompileString(ctx, "x = 1;", 0));
    EXPECT_EQ(ctx->longDiagnostics, "");
}

TEST_F(CompileDiagnosticsTest, MissingFileIsReportedWithoutCompiling)
{
    SetMessage(ctx, "earlier\n");
    EXPECT_FALSE(CompileFile(ctx, "/nonexistent/dir/script.zs", 0));
    EXPECT_STREQ(Message(ctx), "earlier\ncan't open the script file: /nonexistent/dir/script.zs\n");
}

} // namespace
} // namespace zelph::test
