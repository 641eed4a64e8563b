#include "tests/script/compiler/front_end_util.h"

namespace zelph::test {
namespace {

class Parser : public FrontEndTest {};

TEST_F(Parser, ExpressionShapes)
{
    const std::pair<const char*, const char*> table[] = {
        {"x = 1;", "(expr (assign = (name \"x\") (integer 1)))"},
        {"a + b * c", "(expr (add + (name \"a\") (mul * (name \"b\") (name \"c\"))))"},
        {"a - b - c", "(expr (add - (add - (name \"a\") (name \"b\")) (name \"c\")))"},
        {"a = b += c", "(expr (assign = (name \"a\") (assign += (name \"b\") (name \"c\"))))"},
        {"a ? b : c ? d : e", "(expr (cond (name \"a\") (name \"b\") (cond (name \"c\") (name \"d\") (name \"e\"))))"},
        {"a || b && c | d ^ e & f == g < h << i",
         "(expr (logical || (name \"a\") (logical && (name \"b\") (bitwise | (name \"c\") (bitwise ^ (name \"d\") "
         "(bitwise & (name \"e\") (equality == (name \"f\") (relational < (name \"g\") (shift << (name \"h\") "
         "(name \"i\"))))))))))"},
        {"a, b = 1, c", "(expr (comma (comma (name \"a\") (assign = (name \"b\") (integer 1))) (name \"c\")))"},
        {"f(1, 2)", "(expr (call (name \"f\") (integer 2) (integer 1)))"},
        {"f(1,)(2)", "(expr (call (call (name \"f\") (integer 1)) (integer 2)))"},
        {"new A(1).b[c]", "(expr (index (member (new (name \"A\") (integer 1)) \"b\") (name \"c\")))"},
        {"new A", "(expr (new (name \"A\")))"},
        {"new a.b.C()", "(expr (new (member (member (name \"a\") \"b\") \"C\")))"},
        {"!-x", "(expr (unary ! (unary - (name \"x\"))))"},
        {"typeof void delete x", "(expr (unary typeof (unary void (unary delete (name \"x\")))))"},
        {"++x; x--", "(expr (unary ++ (name \"x\")))\n(expr (postfix -- (name \"x\")))"},
        {"x = [1,,2,]", "(expr (assign = (name \"x\") (array (item) (integer 2) (item) (integer 1))))"},
        {"x = [,]", "(expr (assign = (name \"x\") (array (item) (item))))"},
        {"x = []", "(expr (assign = (name \"x\") (array)))"},
        {"x = {1: 2, 'b': 3, c: 4,}",
         "(expr (assign = (name \"x\") (object (item \"c\" (integer 4)) (item \"b\" (integer 3)) (item 1 (integer 2)))))"},
        {"x = /a+/gi", "(expr (assign = (name \"x\") (regexp \"a+\" 3)))"},
        {"x = a / b / c", "(expr (assign = (name \"x\") (mul / (mul / (name \"a\") (name \"b\")) (name \"c\"))))"},
        {"this.x = null", "(expr (assign = (member (this) \"x\") (null)))"},
        {"undefined === true != false", "(expr (equality != (equality === (undefined) (true)) (false)))"},
        {"x = 1.5 + 'a'", "(expr (assign = (name \"x\") (add + (number 1.5) (string \"a\"))))"},
        {"(a, b)[c]", "(expr (index (comma (name \"a\") (name \"b\")) (name \"c\")))"},
    };
    for (const auto& [source, tree] : table)
        EXPECT_EQ(Tree(source), tree) << source;
}

TEST_F(Parser, StaticTypes)
{
    auto stream = ScriptStream::OpenString("x = (1 == 2) && (3 < 4); y = a && true; z = [1]; w = {}; v = /r/");
    CompilerState state(ctx, stream.get(), 0);
    ParseProgram(state);
    int expected[] = {2, 0, 6, 7, 11};
    int i = 0;
    for (Node* s = state.main.first; s; s = s->next)
        EXPECT_EQ(s->a->b->type, expected[i++]);
}

TEST_F(Parser, StatementShapes)
{
    const std::pair<const char*, const char*> table[] = {
        {"var a = 1, b;", "(var top (decl \"a\" (integer 1)) (decl \"b\"))"},
        {"{ var a; }", "(block (var (decl \"a\")))"},
        {"{}", "(block (item))"},
        {";", "(item)"},
        {"if (a) b(); else c();", "(if (name \"a\") (expr (call (name \"b\"))) (expr (call (name \"c\"))))"},
        {"while (a) ;", "(while (name \"a\") (item))"},
        {"do x(); while (a)", "(do (name \"a\") (expr (call (name \"x\"))))"},
        {"for (var i = 0; i < 3; i++) ;",
         "(for (decl \"i\" (integer 0)) - (relational < (name \"i\") (integer 3)) (postfix ++ (name \"i\")) (item))"},
        {"for (;;) ;", "(for - - - - (item))"},
        {"for (i = 0;;) ;", "(for - (assign = (name \"i\") (integer 0)) - - (item))"},
        {"for (var i in o) ;", "(forin (decl \"i\") - (name \"o\") (item))"},
        {"for (k in o) ;", "(forin - (name \"k\") (name \"o\") (item))"},
        {"outer: while (1) { break outer; }", "(label \"outer\" (while (integer 1) (block (break \"outer\"))))"},
        {"while (1) { continue\nouter }", "(while (integer 1) (block (continue) (expr (name \"outer\"))))"},
        {"with (o) f();", "(with (name \"o\") (expr (call (name \"f\"))))"},
        {"throw 5;", "(throw (integer 5))"},
        {"switch (x) { case 1: a(); b(); default: case 2: }",
         "(switch (name \"x\") (item (integer 1) (expr (call (name \"a\"))) (expr (call (name \"b\")))) (item) "
         "(item (integer 2)))"},
        {"try { } catch (e if e == 1) { } catch (e) { } finally { }",
         "(try (block (item)) (catches (item \"e\" (equality == (name \"e\") (integer 1)) (block (item))) "
         "(item \"e\" - (block (item)))) (block (item)))"},
        {"try x(); finally y();", "(try (expr (call (name \"x\"))) (catches) (expr (call (name \"y\"))))"},
        {"a\n++b", "(expr (name \"a\"))\n(expr (unary ++ (name \"b\")))"},
        {"x = 1\ny = 2", "(expr (assign = (name \"x\") (integer 1)))\n(expr (assign = (name \"y\") (integer 2)))"},
        {"x = a\ninstanceof\nB", "(expr (assign = (name \"x\") (name \"a\")))\n(expr (name \"instanceof\"))\n(expr (name \"B\"))"},
    };
    for (const auto& [source, tree] : table)
        EXPECT_EQ(Tree(source), tree) << source;
}

TEST_F(Parser, FunctionsAndTheirNames)
{
    Parsed p = Parse(R"(
function f(a, b) { return arguments; }
x = function () { return 1 };
function outer() {
    function inner() { }
    y = function () { return o.arguments };
}
{ function topLevelInBlock() {} }
)");
    ASSERT_TRUE(p.ok) << p.diagnostics;
    EXPECT_EQ(p.functions,
              "(function \"f\" \"f\" (params (name \"a\") (name \"b\")) arguments (return (name \"arguments\")))\n"
              "(function \"@F_0\" \"@F_0\" (params) (return (integer 1)))\n"
              "(function \"@F_1\" \"inner\" (params) (item))\n"
              "(function \"@F_2\" \"@F_2\" (params) arguments (return (member (name \"o\") \"arguments\")))\n"
              "(function \"outer\" \"outer\" (params) arguments (binding \"outer\" \"@F_1\" \"inner\") "
              "(expr (assign = (name \"y\") (name \"@F_2\"))))\n"
              "(function \"topLevelInBlock\" \"topLevelInBlock\" (params) (item))\n");
    EXPECT_EQ(p.main, "(expr (assign = (name \"x\") (name \"@F_0\")))\n(block (item))\n");
}

TEST_F(Parser, ReturnAndSemicolonRules)
{
    Parsed p = Parse("function f() { return\nx }\nfunction g() { return x }");
    ASSERT_TRUE(p.ok) << p.diagnostics;
    EXPECT_EQ(p.functions, "(function \"f\" \"f\" (params) (return -) (expr (name \"x\")))\n"
                           "(function \"g\" \"g\" (params) (return (name \"x\")))\n");
    Parsed warned = Parse("a = 1\nb = 2", kCompileSemicolonWarnings);
    ASSERT_TRUE(warned.ok);
    EXPECT_EQ(warned.diagnostics, "warning: line 0: missing ;\r\nwarning: line 1: missing ;\r\n");
    Parsed postfix = Parse("a\n++b;", kCompileSemicolonWarnings);
    EXPECT_EQ(postfix.diagnostics, "warning: line 1: missing ;\r\nwarning: line 0: missing ;\r\n");
    EXPECT_EQ(Parse("a = 1; b = 2;", kCompileSemicolonWarnings).diagnostics, "");
}

TEST_F(Parser, SyntaxErrors)
{
    const std::pair<const char*, const char*> table[] = {
        {"x = ;", "error: line 0: syntax error: invalid expression"},
        {"\n\nx = ;", "error: line 2: syntax error: invalid expression"},
        {"else", "error: line 0: syntax error: invalid statement"},
        {"{ x = 1", "error: line 0: syntax error: missing } after block"},
        {"var ;", "error: line 0: syntax error: missing variable name"},
        {"var x = ;", "error: line 0: syntax error: invalid variable initialization"},
        {"var x, ;", "error: line 0: syntax error: illegal identifier"},
        {"var f = function () {}", "error: line 0: syntax error: invalid variable initialization"},
        {"if x", "error: line 0: syntax error: missing ( before condition"},
        {"if ()", "error: line 0: syntax error: invalid condition expression"},
        {"if (x", "error: line 0: syntax error: missing ) after condition"},
        {"if (x)", "error: line 0: syntax error: invalid statement"},
        {"if (x) a(); else", "error: line 0: syntax error: invalid statement"},
        {"if (k in o) f();", "error: line 0: syntax error: missing ) after condition"},
        {"do x();\nuntil (y)", "error: line 0: syntax error: missing while after do-loop body"},
        {"do ", "error: line 0: syntax error: invalid statement"},
        {"while (1)", "error: line 0: syntax error: invalid statement"},
        {"for x", "error: line 0: syntax error: missing ( after for"},
        {"for (var in o) ;", "error: line 0: syntax error: missing variable name"},
        {"for (var x = ; ;) ;", "error: line 0: syntax error: invalid variable initialization"},
        {"for (var x, ;;) ;", "error: line 0: syntax error: illegal identifier"},
        {"for (* ;;) ;", "error: line 0: syntax error: invalid for-loop initializer or for-in expression"},
        {"for (;*;) ;", "error: line 0: syntax error: invalid for-loop condition expression"},
        {"for (;;*) ;", "error: line 0: syntax error: invalid for-loop control expression"},
        {"for (; x ) ;", "error: line 0: syntax error: missing ; after for-loop condition"},
        {"for (\no.k in x) ;", "error: line 1: syntax error: illegal identifier"},
        {"\nfor (var i,\n j in o) ;", "error: line 1: syntax error: more than one variable declaration"},
        {"for (k in *) ;", "error: line 0: syntax error: invalid expression"},
        {"for (x y) ;", "error: line 0: syntax error: missing ; after for-loop initializer"},
        {"for (;;", "error: line 0: syntax error: invalid for-loop control expression"},
        {"for (;; x", "error: line 0: syntax error: missing ) after for-loop control"},
        {"for (;;)", "error: line 0: syntax error: invalid statement"},
        {"x = 1 y = 2", "error: line 0: missing ;"},
        {"x = a instanceof B;", "error: line 0: missing ;"},
        {"a:", "error: line 0: syntax error: invalid label"},
        {"function f(){return}", "error: line 0: syntax error: invalid return"},
        {"switch x", "error: line 0: syntax error: missing ( before switch expression"},
        {"switch ()", "error: line 0: syntax error: invalid switch expression"},
        {"switch (x", "error: line 0: syntax error: missing ) after switch expression"},
        {"switch (x) x", "error: line 0: syntax error: missing { before switch body"},
        {"switch (x) { case : }", "error: line 0: syntax error: invalid case expression"},
        {"switch (x) { case 1 x }", "error: line 0: syntax error: missing : after case label"},
        {"switch (x) {\n a(); }", "error: line 1: syntax error: missing } after switch block"},
        {"switch (x) { case 1: else }", "error: line 0: syntax error: invalid statement"},
        {"switch (x) { case 1: ", "error: line 0: syntax error: invalid statement"},
        {"switch (x) { default: a(); default: b(); }", "error: line 0: more than one switch default"},
        {"with x", "error: line 0: syntax error: missing ( before with-statement object"},
        {"with ()", "error: line 0: syntax error: invalid with-statement object"},
        {"with (x", "error: line 0: syntax error: missing ) after with-statement object"},
        {"with (x)", "error: line 0: syntax error: invalid with block"},
        {"try", "error: line 0: syntax error: invalid statement"},
        {"try {}\n x", "error: line 1: syntax error: missing catch or finally after try"},
        {"try {} catch x", "error: line 0: syntax error: missing ( before catch"},
        {"try {} catch (1)", "error: line 0: syntax error: missing identifier in catch"},
        {"try {} catch (e if) {}", "error: line 0: syntax error: invalid statement"},
        {"try {} catch (e", "error: line 0: syntax error: missing ) after catch"},
        {"try {} catch (e)", "error: line 0: syntax error: invalid statement"},
        {"try {} finally", "error: line 0: syntax error: invalid statement"},
        {"throw ;", "error: line 0: syntax error: invalid throw"},
        {"function f x", "error: line 0: syntax error: missing ( before formal parameters"},
        {"function f(1)", "error: line 0: syntax error: illegal identifier"},
        {"function f(a,)", "error: line 0: syntax error: illegal identifier"},
        {"function f(a b)", "error: line 0: syntax error: missing ) after formal parameters"},
        {"function f(a)", "error: line 0: syntax error: invalid function body"},
        {"x = a ? b", "error: line 0: syntax error: missing : in conditional expression"},
        {"a.class", "error: line 0: syntax error: illegal identifier"},
        {"a[1", "error: line 0: syntax error: missing ] in index expression"},
        {"f(1 2)", "error: line 0: syntax error: missing ) after argument list"},
        {"g(function () {})", "error: line 0: syntax error: missing ) after argument list"},
        {"x = [1 2]", "error: line 0: syntax error: missing ] after element list"},
        {"x = {class: 1}", "error: line 0: syntax error: invalid property id"},
        {"x = {a 1}", "error: line 0: syntax error: missing : after property id"},
        {"x = {a: 1 b: 2}", "error: line 0: syntax error: missing } after property list"},
        {"(1", "error: line 0: syntax error: invalid expression"},
        {"x = 1 +", "error: line 0: syntax error: invalid expression"},
        {"x = new", "error: line 0: syntax error: invalid expression"},
        {"class A {}", "error: line 0: syntax error: invalid statement"},
    };
    for (const auto& [source, message] : table)
        EXPECT_EQ(ErrorOf(source), std::string(message) + "\r\n") << source;
}

TEST_F(Parser, EmptySourcesAndHostileNesting)
{
    Parsed empty = Parse("  // nothing\n");
    EXPECT_TRUE(empty.ok);
    EXPECT_EQ(empty.main, "");
    EXPECT_EQ(empty.functions, "");

    const std::pair<std::string, const char*> table[] = {
        {"x = " + std::string(100000, '('), "error: line 0: syntax error: expression too deeply nested"},
        {std::string(100000, '{'), "error: line 0: syntax error: statement too deeply nested"},
        {"x = " + std::string(100000, '-') + "1", "error: line 0: syntax error: expression too deeply nested"},
        {"x = " + std::string(100000, '['), "error: line 0: syntax error: expression too deeply nested"},
        {"x = " + std::string(100000, '!') + "1", "error: line 0: syntax error: expression too deeply nested"},
        {"x = new " + std::string(100000, 'n'), "compiled"},
    };
    for (const auto& [source, message] : table) {
        std::string got = ErrorOf(source);
        EXPECT_EQ(got, std::string(message) + (got == "compiled" ? "" : "\r\n")) << source.substr(0, 12);
    }
    std::string news = "x = ";
    for (int i = 0; i < 50000; ++i)
        news += "new ";
    EXPECT_EQ(ErrorOf(news + "A"), "error: line 0: syntax error: expression too deeply nested\r\n");
    // Moderate nesting is fine.
    EXPECT_TRUE(Parse("x = " + std::string(300, '(') + "1" + std::string(300, ')')).ok);
    EXPECT_TRUE(Parse(std::string(300, '{') + std::string(300, '}')).ok);
}

} // namespace
} // namespace zelph::test
