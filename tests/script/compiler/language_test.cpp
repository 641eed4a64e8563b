// The language as programs see it: sources compiled, loaded and run, each in a
// fresh context, with their results and what they logged.
#include "tests/script/compiler/compile_util.h"

#include <gtest/gtest.h>

namespace zelph::test {
namespace {

struct Program {
    const char* source;
    const char* result;  // the run's result, described
    const char* log = "";
};

class LanguageTest : public CompileTest {
protected:
    void Check(const Program* begin, const Program* end)
    {
        for (const Program* p = begin; p != end; ++p) {
            SCOPED_TRACE(p->source);
            NewContext();
            EXPECT_EQ(Run(p->source), p->result);
            EXPECT_EQ(TakeLog(), p->log);
        }
    }
    template <std::size_t N>
    void Check(const Program (&programs)[N])
    {
        Check(programs, programs + N);
    }
};

TEST_F(LanguageTest, Expressions)
{
    const Program programs[] = {
        {"1 + 2 * 3;", "int:7"},
        {"(1 + 2) * 3 - 4 / 2;", "float:7"},  // division gives a float
        {"'a' + 1 + 2;", "str:a12"},
        {"x = 10; x -= 3; x *= 2; x %= 5; x;", "int:4"},
        {"i = 5; j = i++; k = ++i; j + ':' + k + ':' + i;", "str:5:7:7"},
        {"o = {n: 1}; o.n++; ++o.n; o.n += 10; o.n;", "int:13"},
        {"a = [5]; a[0] += 2; a[0]--; a[0];", "int:6"},
        {"x = 0 || 'd'; y = 1 && 2; z = 0 && f(); x + y + z;", "str:d20"},
        {"n = 0; function side() { n++; return true; } false && side(); true || side(); n;", "int:0"},
        {"a = 3; a > 2 ? 'big' : 'small';", "str:big"},
        {"x = ~5; y = -x; z = !0; x + ':' + y + ':' + z;", "str:-6:6:true"},
        {"typeof 1 + typeof 'a' + typeof undefined;", "str:numberstringundefined"},
        {"void 5;", "undefined"},
        {"1 < 2 == 2 > 1;", "bool:true"},
        {"1 === 1 && '1' !== 1 && 1 == '1';", "bool:true"},
        {"(5 & 3) + (5 | 3) * 10 + (5 ^ 3) * 100 + (1 << 4) * 1000 + (-16 >> 2);", "int:16667"},
        {"a = [1, , 3]; a.length + ':' + a[2] + ':' + a[1];", "str:3:3:undefined"},
        {"o = {a: 1, 'b c': 2, 7: 3}; o.a + o['b c'] + o[7];", "int:6"},
        {"o = {a: 1, a: 2}; o.a;", "int:1"},  // the first of equal keys is set last
        {"o = {p: 1}; delete o.p; o.p;", "undefined"},
        {"x = 5;", "int:5"},
        {"var x;", "undefined"},
        {"if (1) 5;", "undefined"},  // only a final expression statement gives the result
        {"c = 1; L: { if (c) break L; 5; }", "undefined"},
        {"c = 0; L: { if (c) break L; 5; }", "undefined"},
    };
    Check(programs);
}

TEST_F(LanguageTest, Functions)
{
    const Program programs[] = {
        {"function fact(n) { return n <= 1 ? 1 : n * fact(n - 1); } fact(10);", "int:3628800"},
        {"function f(a, b) { return b; } f(1);", "undefined"},
        {"function f() { return arguments.length + ':' + arguments[1]; } f(1, 'b', 3);", "str:3:b"},
        {"function f() { return arguments.callee == f; } f();", "bool:true"},
        {"function f(a) { a = a * 2; var b = a + 1; return b; } f(4);", "int:9"},
        {"function P(x) { this.x = x; } p = new P(4); p.x;", "int:4"},
        {"function o() { function i() { return 'inner'; } return o.i(); } o();", "str:inner"},
        {"f = function (x) { return x + 1; }; f(1);", "int:2"},
        {"function f() { log('in f'); } f(); 'after';", "str:after", "in f\n"},
        {"function f() { if (true) { var y = 1; } return y; } y = 'global'; f();", "str:global"},
        {"for (var i = 0; i < 3; i++) {} i = 'global'; i;", "str:global"},
        {"o = {v: 2}; o.m = function (k) { return this.v * k; }; o.m(21);", "int:42"},
    };
    Check(programs);
}

TEST_F(LanguageTest, Exceptions)
{
    const Program programs[] = {
        {"try { throw 5; } catch (e) { r = e + 1; } r;", "int:6"},
        {"log(1); try { log(2); } finally { log(3); }", "undefined", "1\n2\n3\n"},
        {"try { try { throw 'x'; } finally { log('f'); } } catch (e) { log('c' + e); }", "undefined", "f\ncx\n"},
        {"try { try { throw 1; } catch (e) { throw e + 1; } finally { log('f'); } } catch (e) { log(e); }",
         "undefined", "f\n2\n"},
        {"try { throw 2; } catch (e if e == 1) { r = 'one'; } catch (e if e == 2) { r = 'two'; } r;", "str:two"},
        {"try { try { throw 3; } catch (e if e == 1) { r = 1; } } catch (e) { r = e; } r;", "int:3"},
        // An exception inside a condition counts as a false condition.
        {"function bad() { throw 'z'; } try { throw 1; } catch (e if bad()) { r = 'a'; } catch (e) { r = 'b' + e; } r;",
         "str:b1"},
        {"function f() { try { return g(); } catch (e) { return 'caught ' + e; } } function g() { throw 'x'; } f();",
         "str:caught x"},
        // The catch clause sees what the try block stored before the exception.
        {"function f() { var a = 0; try { a = g(); h(a); } catch (e) { return a; } } "
         "function g() { return 7; } function h(x) { throw x + 1; } f();",
         "int:7"},
        {"function f() { try { throw 1; } catch (e) { return e; } finally { log('skipped'); } } f();", "int:1"},
        {"r = ''; for (i = 0; i < 3; i++) { try { if (i == 1) throw i; r += 't'; } catch (e) { r += 'c'; } } r;",
         "str:tct"},
        {"throw 'boom';", "failed: boom"},
    };
    Check(programs);
}

TEST_F(LanguageTest, Statements)
{
    const Program programs[] = {
        {"i = 0; s = 0; while (i < 5) { s += i; i++; } s;", "int:10"},
        {"i = 0; do { i++; } while (i < 5); i;", "int:5"},
        {"s = 0; for (i = 0; i < 10; i++) { if (i % 2) continue; if (i > 6) break; s += i; } s;", "int:12"},
        {"if (0) r = 'a'; else if (1) r = 'b'; else r = 'c'; r;", "str:b"},
        {"function s(x) { switch (x) { case 1: log('one'); case 2: log('two'); break; "
         "default: log('other'); case '1': log('str'); } } s(1); s(2); s('1'); s(3);",
         "undefined", "one\ntwo\ntwo\nstr\nother\nstr\n"},
        {"r = 0; switch (5) { case 1: r = 1; } r;", "int:0"},
        {"o = {a: 1, b: 2}; s = ''; for (k in o) s += k + o[k]; s;", "str:a1b2"},
        {"function f() { var s = ''; for (var k in [7, 8]) s += k; return s; } f();", "str:78"},  // the values
        {"s = ''; outer: for (i = 0; i < 3; i++) { for (j = 0; j < 3; j++) { "
         "if (j == 1) continue outer; if (i == 2) break outer; s += i + '' + j + ' '; } } s;",
         "str:00 10 "},
        {"n = 0; L: while (n < 10) { n++; if (n < 5) continue L; break L; } n;", "int:5"},
        {"o = {x: 1}; with (o) { x = 5; y = 2; } o.x + ':' + y + ':' + o.y;", "str:5:2:undefined"},
        {"o = {x: 1}; s = ''; for (i = 0; i < 3; i++) { with (o) { if (i == 1) continue; s += x; } } s + ':' + typeof x;",
         "str:11:undefined"},
    };
    Check(programs);
}

// Leaving a statement that keeps values on the stack (a for-in loop, a switch,
// a catch clause, a finally block) drops them: a hundred thousand rounds would
// overflow the stack otherwise.
TEST_F(LanguageTest, JumpsOutOfStatementsLeaveTheStackBalanced)
{
    const Program programs[] = {
        {"n = 0; o = {a: 1, b: 2}; for (i = 0; i < 100000; i++) { for (k in o) { n++; break; } } n;", "int:100000"},
        {"n = 0; o = {a: 1}; for (i = 0; i < 100000; i++) { for (k in o) { n++; continue; } } n;", "int:100000"},
        {"n = 0; o = {a: 1}; L: for (i = 0; i < 100000; i++) { for (k in o) { n++; continue L; } } n;",
         "int:100000"},
        {"n = 0; for (i = 0; i < 100000; i++) { switch (i % 3) { case 0: n++; continue; default: break; } } n;",
         "int:33334"},
        {"n = 0; for (i = 0; i < 100000; i++) { try { throw i; } catch (e) { n++; continue; } } n;", "int:100000"},
        {"n = 0; while (n < 100000) { try { n++; } finally { continue; } } n;", "int:100000"},
        {"n = 0; while (n < 100000) { try { throw n; } catch (e) { n++; break; } } n;", "int:1"},
        {"n = 0; while (true) { try { throw 1; } finally { if (++n < 100000) continue; break; } } n;", "int:100000"},
        {"function f(o) { for (k in o) { with (o) { try { return k; } catch (e) {} } } } "
         "for (i = 0; i < 100000; i++) r = f({z: 1}); r;",
         "str:z"},
    };
    Check(programs);
}

} // namespace
} // namespace zelph::test
