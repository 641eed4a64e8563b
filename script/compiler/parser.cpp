#include "script/compiler/parser.h"

#include "script/compiler/compiler_state.h"
#include "script/compiler/diagnostics.h"
#include "script/compiler/lexer.h"

#include <string>

namespace zelph {
namespace {

// Binary operator levels, lowest precedence first (all left-associative).
struct BinaryLevel {
    NodeKind kind;
    int ops[4];
};
constexpr BinaryLevel kBinaryLevels[] = {
    {N_LOGICAL, {TK_OR}},
    {N_LOGICAL, {TK_AND}},
    {N_BITWISE, {'|'}},
    {N_BITWISE, {'^'}},
    {N_BITWISE, {'&'}},
    {N_EQUALITY, {TK_EQ, TK_NE, TK_STRICT_EQ, TK_STRICT_NE}},
    {N_RELATIONAL, {'<', '>', TK_LE, TK_GE}},
    {N_SHIFT, {TK_SHL, TK_SHR, TK_USHR}},
    {N_ADDITIVE, {'+', '-'}},
    {N_MULTIPLICATIVE, {'*', '/', '%'}},
};
constexpr int kBinaryLevelCount = sizeof kBinaryLevels / sizeof kBinaryLevels[0];

// The level of every token kind that is a binary operator, -1 for the others.
struct LevelTable {
    signed char level[TK_UNDEFINED + 129];
    LevelTable()
    {
        for (auto& l : level)
            l = -1;
        for (int i = 0; i < kBinaryLevelCount; ++i)
            for (int op : kBinaryLevels[i].ops)
                if (op)
                    level[op + 128] = static_cast<signed char>(i);
    }
};

int LevelOf(int kind)
{
    static const LevelTable table;
    return kind >= -128 && kind <= TK_UNDEFINED ? table.level[kind + 128] : -1;
}

bool IsAssignmentOperator(int kind)
{
    return kind == '=' || (kind >= TK_MUL_ASSIGN && kind <= TK_SHL_ASSIGN) || kind == TK_SHR_ASSIGN ||
           kind == TK_USHR_ASSIGN;
}

bool IsAssignable(NodeKind kind)
{
    switch (kind) {
    case N_THIS:
    case N_NULL:
    case N_TRUE:
    case N_FALSE:
    case N_NAME:
    case N_NUMBER:
    case N_INTEGER:
    case N_STRING:
    case N_CALL:
    case N_MEMBER:
    case N_INDEX:
    case N_NEW:
    case N_REGEXP:
    case N_ARRAY:
    case N_UNDEFINED:
        return true;
    default:
        return false;
    }
}

bool IsUnaryOperator(int kind)
{
    switch (kind) {
    case '!':
    case '+':
    case '-':
    case '~':
    case TK_DELETE:
    case TK_TYPEOF:
    case TK_VOID:
    case TK_INC:
    case TK_DEC:
        return true;
    default:
        return false;
    }
}

class Parser {
public:
    explicit Parser(CompilerState& state) : s_(state) {}

    void Program()
    {
        while (Peek().kind != TK_END) {
            if (FunctionDefinition())
                continue;
            Node* statement = Statement();
            if (!statement)
                Error("invalid statement");
            if (statement->kind == N_VAR)
                statement->op = 1;
            s_.main.Append(statement);
        }
    }

private:
    // Counts one level of nesting for the guard's lifetime; too deep is an error.
    class Nested {
    public:
        Nested(Parser& p, const char* what) : p_(p)
        {
            if (++p_.s_.nesting > kMaxNesting)
                p_.Error(what);
        }
        ~Nested() { --p_.s_.nesting; }
        Nested(const Nested&) = delete;
        Nested& operator=(const Nested&) = delete;

    private:
        Parser& p_;
    };

    Token Next() { return NextToken(s_); }
    const Token& Peek() { return PeekToken(s_); }
    bool Accept(int kind)
    {
        if (Peek().kind != kind)
            return false;
        Next();
        return true;
    }
    [[noreturn]] void Error(const char* text) { ErrorAt(s_.currentLine, text); }
    [[noreturn]] void ErrorAt(int line, const char* text) { ReportError(s_, line, "syntax error: %s", text); }
    void Expect(int kind, const char* text)
    {
        if (!Accept(kind))
            Error(text);
    }

    Node* New(NodeKind kind, int line)
    {
        Node* n = s_.New<Node>();
        n->kind = kind;
        n->line = line;
        switch (kind) {
        case N_NULL: n->type = 1; break;
        case N_TRUE:
        case N_FALSE:
        case N_EQUALITY:
        case N_RELATIONAL: n->type = 2; break;
        case N_INTEGER: n->type = 3; break;
        case N_STRING: n->type = 4; break;
        case N_NUMBER: n->type = 5; break;
        case N_ARRAY: n->type = 6; break;
        case N_OBJECT: n->type = 7; break;
        case N_REGEXP: n->type = 11; break;
        default: break;
        }
        return n;
    }
    Node* Binary(NodeKind kind, int line, int op, Node* left, Node* right)
    {
        Node* n = New(kind, line);
        n->op = op;
        n->a = left;
        n->b = right;
        if (kind == N_LOGICAL && left->type == 2 && right->type == 2)
            n->type = 2;
        return n;
    }

    // A statement's closing semicolon, inserted where the rules allow it.
    void Semicolon()
    {
        Token t = Peek();
        if (t.kind == ';') {
            Next();
            return;
        }
        if (t.kind != '}' && t.kind != TK_END && t.line <= s_.currentLine)
            ReportError(s_, s_.currentLine, "missing ;");
        if (s_.options & kCompileSemicolonWarnings)
            ReportWarning(s_, s_.currentLine, "missing ;");
    }

    // Statements up to the closing "}" (already past the "{"); a single N_ITEM
    // for none.
    Node* StatementsUntilBrace(const char* missing)
    {
        NodeList list;
        int line = s_.currentLine;
        for (;;) {
            if (Accept('}'))
                break;
            Node* statement = Statement();
            if (!statement)
                Error(missing);
            list.Append(statement);
        }
        if (list.first)
            return list.first;
        Node* empty = New(N_ITEM, line);
        empty->line2 = -1;  // stands for no statement at all
        return empty;
    }

    Node* FunctionDefinition();
    Node* Statement();
    Node* Declarators(int* count, bool forLoop);
    Node* VarStatement();
    Node* Condition(const char* open, const char* invalid, const char* close);
    Node* ForStatement();
    Node* SwitchStatement();
    Node* TryStatement();
    Node* Expression();
    Node* Assignment();
    Node* Conditional();
    Node* BinaryExpression(int level);
    Node* Unary();
    Node* Postfix();
    Node* Call();
    Node* Member();
    Node* MemberSuffixes(Node* e);
    Node* Arguments(int* count);
    Node* Primary();
    Node* ArrayLiteral();
    Node* ObjectLiteral();

    CompilerState& s_;
};

Node* Parser::FunctionDefinition()
{
    if (Peek().kind != TK_FUNCTION)
        return nullptr;
    Token keyword = Next();
    int line = keyword.line;
    const char* declared = nullptr;
    if (Peek().kind == TK_NAME) {
        Token name = Next();
        declared = name.text;
        line = name.line;
    }
    auto generated = [this] { return s_.CopyText("@F_" + std::to_string(s_.generatedNames++)); };
    const char* internal;
    if (!declared)
        declared = internal = generated();
    else if (s_.functionNames.empty())
        internal = declared;
    else
        internal = generated();

    s_.functionNames.push_back(internal);
    int argumentsBefore = s_.argumentsUses;
    Expect('(', "missing ( before formal parameters");
    NodeList parameters;
    if (Peek().kind != ')') {
        for (;;) {
            Token t = Next();
            if (t.kind != TK_NAME)
                ErrorAt(t.line, "illegal identifier");
            Node* p = New(N_NAME, t.line);
            p->text = t.text;
            parameters.Append(p);
            int k = Peek().kind;
            if (k == ',') {
                Next();
                if (Peek().kind != TK_NAME)
                    ErrorAt(Peek().line, "illegal identifier");
                continue;
            }
            if (k != ')')
                Error("missing ) after formal parameters");
            break;
        }
    }
    Expect(')', "missing ) after formal parameters");
    if (Peek().kind != '{')
        Error("invalid function body");
    Token brace = Next();
    Node* body = StatementsUntilBrace("missing } after block");

    Node* f = New(N_FUNCTION, line);
    f->line2 = brace.line;
    f->text = internal;
    f->text2 = declared;
    f->a = parameters.first;
    f->b = body;
    f->op = s_.argumentsUses > argumentsBefore ? 1 : 0;
    s_.functions.Append(f);
    s_.functionNames.pop_back();
    return f;
}

Node* Parser::Statement()
{
    Nested nested(*this, "statement too deeply nested");
    Token t = Peek();
    switch (t.kind) {
    case '{': {
        Next();
        Node* block = New(N_BLOCK, t.line);
        block->a = StatementsUntilBrace("missing } after block");
        return block;
    }
    case TK_FUNCTION: {
        const char* enclosing = s_.functionNames.empty() ? nullptr : s_.functionNames.back();
        Node* f = FunctionDefinition();
        if (!enclosing)
            return New(N_ITEM, f->line);
        Node* binding = New(N_FUNCTION_BINDING, f->line);
        binding->text = enclosing;
        binding->text2 = f->text;
        binding->text3 = f->text2;
        return binding;
    }
    case TK_VAR:
        return VarStatement();
    case TK_IF: {
        Next();
        Node* n = New(N_IF, t.line);
        n->a = Condition("missing ( before condition", "invalid condition expression", "missing ) after condition");
        if (!(n->b = Statement()))
            Error("invalid statement");
        if (Accept(TK_ELSE) && !(n->c = Statement()))
            Error("invalid statement");
        return n;
    }
    case TK_DO: {
        Next();
        Node* n = New(N_DO, t.line);
        if (!(n->b = Statement()))
            Error("invalid statement");
        Expect(TK_WHILE, "missing while after do-loop body");
        n->a = Condition("missing ( before condition", "invalid condition expression", "missing ) after condition");
        Semicolon();
        return n;
    }
    case TK_WHILE: {
        Next();
        Node* n = New(N_WHILE, t.line);
        n->a = Condition("missing ( before condition", "invalid condition expression", "missing ) after condition");
        if (!(n->b = Statement()))
            Error("invalid statement");
        return n;
    }
    case TK_FOR:
        return ForStatement();
    case ';':
        Next();
        return New(N_ITEM, t.line);
    case TK_CONTINUE:
    case TK_BREAK: {
        Next();
        Node* n = New(t.kind == TK_CONTINUE ? N_CONTINUE : N_BREAK, t.line);
        Token label = Peek();
        if (label.kind == TK_NAME && label.line == t.line)
            n->text = Next().text;
        Semicolon();
        return n;
    }
    case TK_RETURN: {
        Next();
        Node* n = New(N_RETURN, t.line);
        Token after = Peek();
        if (after.kind == ';') {
            Next();
            return n;
        }
        if (after.line == t.line) {
            if (!(n->a = Expression()))
                Error("invalid return");
        }
        Semicolon();
        return n;
    }
    case TK_SWITCH:
        return SwitchStatement();
    case TK_WITH: {
        Next();
        Node* n = New(N_WITH, t.line);
        n->a = Condition("missing ( before with-statement object", "invalid with-statement object",
                         "missing ) after with-statement object");
        if (!(n->b = Statement()))
            Error("invalid with block");
        return n;
    }
    case TK_TRY:
        return TryStatement();
    case TK_THROW: {
        Next();
        Node* n = New(N_THROW, t.line);
        if (!(n->a = Expression()))
            Error("invalid throw");
        Semicolon();
        return n;
    }
    default:
        break;
    }
    Node* e = Expression();
    if (!e)
        return nullptr;
    if (e->kind == N_NAME && Peek().kind == ':' && Peek().line == e->line) {
        Next();
        Node* n = New(N_LABEL, e->line);
        n->text = e->text;
        if (!(n->a = Statement()))
            Error("invalid label");
        return n;
    }
    Semicolon();
    Node* n = New(N_EXPR_STMT, e->line);
    n->a = e;
    return n;
}

// "(" expression ")" of if, while, do and with.
Node* Parser::Condition(const char* open, const char* invalid, const char* close)
{
    Expect('(', open);
    Node* e = Expression();
    if (!e)
        Error(invalid);
    Expect(')', close);
    return e;
}

// Declarators after "var": name ["=" assignment] {"," ...}.
Node* Parser::Declarators(int* count, bool forLoop)
{
    NodeList list;
    if (Peek().kind == TK_NAME) {
        for (;;) {
            Token name = Next();
            Node* d = New(N_VAR_DECL, name.line);
            d->text = name.text;
            if (Accept('=') && !(d->a = Assignment()))
                Error("invalid variable initialization");
            list.Append(d);
            if (!Accept(','))
                break;
            if (Peek().kind != TK_NAME)
                Error("illegal identifier");
        }
    } else if (forLoop) {
        Error("missing variable name");
    }
    *count = list.count;
    return list.first;
}

Node* Parser::VarStatement()
{
    Token keyword = Next();
    Node* n = New(N_VAR, keyword.line);
    n->a = Declarators(&n->count, false);
    Semicolon();
    if (n->count == 0)
        Error("missing variable name");
    return n;
}

Node* Parser::ForStatement()
{
    Token keyword = Next();
    Expect('(', "missing ( after for");
    Node* declarators = nullptr;
    Node* initial = nullptr;
    int count = 0;
    bool var = Accept(TK_VAR);
    if (var) {
        declarators = Declarators(&count, true);
    } else if (Peek().kind != ';') {
        if (!(initial = Expression()))
            Error("invalid for-loop initializer or for-in expression");
    }
    Node* n;
    if (Accept(';')) {
        n = New(N_FOR, keyword.line);
        n->a = declarators;
        n->b = initial;
        n->count = count;
        if (Peek().kind != ';' && !(n->c = Expression()))
            Error("invalid for-loop condition expression");
        Expect(';', "missing ; after for-loop condition");
        if (Peek().kind != ')' && !(n->d = Expression()))
            Error("invalid for-loop control expression");
    } else if (Accept(TK_IN)) {
        if (initial && initial->kind != N_NAME)
            ErrorAt(initial->line, "illegal identifier");
        if (var && count != 1)
            ErrorAt(keyword.line, "more than one variable declaration");
        n = New(N_FOR_IN, keyword.line);
        n->a = declarators;
        n->b = initial;
        if (!(n->c = Expression()))
            Error("invalid expression");
    } else {
        Error("missing ; after for-loop initializer");
    }
    Expect(')', "missing ) after for-loop control");
    Node* body = Statement();
    if (!body)
        Error("invalid statement");
    (n->kind == N_FOR ? n->e : n->d) = body;
    return n;
}

Node* Parser::SwitchStatement()
{
    Token keyword = Next();
    Node* n = New(N_SWITCH, keyword.line);
    Expect('(', "missing ( before switch expression");
    if (!(n->a = Expression()))
        Error("invalid switch expression");
    Expect(')', "missing ) after switch expression");
    Expect('{', "missing { before switch body");
    NodeList clauses;
    int defaults = 0;
    for (;;) {
        Token t = Peek();
        if (t.kind == '}') {
            Next();
            n->line2 = t.line;
            break;
        }
        Node* expression = nullptr;
        if (t.kind == TK_CASE) {
            Next();
            if (!(expression = Expression()))
                Error("invalid case expression");
        } else if (t.kind == TK_DEFAULT) {
            Next();
            ++defaults;
        } else {
            ErrorAt(t.line, "missing } after switch block");
        }
        Expect(':', "missing : after case label");
        Node* clause = New(N_ITEM, s_.currentLine);
        clause->a = expression;
        NodeList statements;
        for (;;) {
            int k = Peek().kind;
            if (k == TK_CASE || k == TK_DEFAULT || k == '}')
                break;
            Node* statement = Statement();
            if (!statement)
                Error("invalid statement");
            statements.Append(statement);
        }
        clause->b = statements.first;
        clause->line2 = s_.currentLine;
        clauses.Append(clause);
    }
    n->b = clauses.first;
    if (defaults > 1)
        ReportError(s_, s_.currentLine, "more than one switch default");
    return n;
}

Node* Parser::TryStatement()
{
    Token keyword = Next();
    Node* n = New(N_TRY, keyword.line);
    if (!(n->a = Statement()))
        Error("invalid statement");
    n->line2 = s_.currentLine;
    Token t = Peek();
    if (t.kind != TK_CATCH && t.kind != TK_FINALLY)
        ErrorAt(t.line, "missing catch or finally after try");
    NodeList catches;
    while (Peek().kind == TK_CATCH) {
        Token c = Next();
        Node* clause = New(N_ITEM, c.line);
        Expect('(', "missing ( before catch");
        Token name = Next();
        if (name.kind != TK_NAME)
            Error("missing identifier in catch");
        clause->text = name.text;
        if (Accept(TK_IF) && !(clause->a = Expression()))
            Error("invalid statement");
        Expect(')', "missing ) after catch");
        if (!(clause->b = Statement()))
            Error("invalid statement");
        catches.Append(clause);
    }
    if (catches.first)
        catches.first->line2 = s_.currentLine;
    n->b = catches.first;
    if (Accept(TK_FINALLY) && !(n->c = Statement()))
        Error("invalid statement");
    n->line3 = s_.currentLine;
    return n;
}

Node* Parser::Expression()
{
    Node* left = Assignment();
    if (!left)
        return nullptr;
    while (Peek().kind == ',') {
        int line = Next().line;
        Node* right = Assignment();
        if (!right)
            Error("invalid expression");
        Node* n = New(N_COMMA, line);
        n->a = left;
        n->b = right;
        left = n;
    }
    return left;
}

Node* Parser::Assignment()
{
    Nested nested(*this, "expression too deeply nested");
    Node* left = Conditional();
    if (!left)
        return nullptr;
    Token t = Peek();
    if (!IsAssignmentOperator(t.kind) || !IsAssignable(left->kind))
        return left;
    Next();
    Node* right;
    if (t.kind == '=' && Peek().kind == TK_FUNCTION) {
        // The one place a function stands in an expression: its internal name.
        Node* f = FunctionDefinition();
        right = New(N_NAME, f->line2);
        right->text = f->text;
    } else if (!(right = Assignment())) {
        Error("invalid expression");
    }
    Node* n = New(N_ASSIGN, t.line);
    n->op = t.kind;
    n->a = left;
    n->b = right;
    return n;
}

Node* Parser::Conditional()
{
    Node* condition = BinaryExpression(0);
    if (!condition || Peek().kind != '?')
        return condition;
    Node* n = New(N_CONDITIONAL, Next().line);
    n->a = condition;
    if (!(n->b = Assignment()))
        Error("invalid expression");
    Expect(':', "missing : in conditional expression");
    if (!(n->c = Assignment()))
        Error("invalid expression");
    return n;
}

// Precedence climbing over the binary levels: one host frame per operand, not
// one per level.
Node* Parser::BinaryExpression(int minLevel)
{
    Node* left = Unary();
    if (!left)
        return nullptr;
    for (;;) {
        Token t = Peek();
        int level = LevelOf(t.kind);
        if (level < minLevel)
            return left;
        Next();
        Node* right = BinaryExpression(level + 1);
        if (!right)
            Error("invalid expression");
        left = Binary(kBinaryLevels[level].kind, t.line, t.kind, left, right);
    }
}

Node* Parser::Unary()
{
    Token t = Peek();
    if (!IsUnaryOperator(t.kind))
        return Postfix();
    Nested nested(*this, "expression too deeply nested");
    Next();
    Node* operand = Unary();
    if (!operand)
        Error("invalid expression");
    Node* n = New(N_UNARY, t.line);
    n->op = t.kind;
    n->a = operand;
    return n;
}

Node* Parser::Postfix()
{
    Node* operand = Call();
    if (!operand)
        return nullptr;
    Token t = Peek();
    if (t.kind != TK_INC && t.kind != TK_DEC)
        return operand;
    if (t.line != s_.currentLine) {
        // Left for the next statement.
        if (s_.options & kCompileSemicolonWarnings)
            ReportWarning(s_, t.line, "missing ;");
        return operand;
    }
    Next();
    Node* n = New(N_POSTFIX, t.line);
    n->op = t.kind;
    n->a = operand;
    return n;
}

Node* Parser::Call()
{
    Node* e = Member();
    if (!e || Peek().kind != '(')
        return e;
    for (;;) {
        Token t = Peek();
        if (t.kind == '(') {
            Node* n = New(N_CALL, t.line);
            n->a = e;
            n->b = Arguments(&n->count);
            e = n;
        } else if (t.kind == '.' || t.kind == '[') {
            e = MemberSuffixes(e);
        } else {
            return e;
        }
    }
}

Node* Parser::Member()
{
    Token t = Peek();
    if (t.kind == TK_NEW) {
        Nested nested(*this, "expression too deeply nested");
        Next();
        Node* n = New(N_NEW, t.line);
        if (!(n->a = Member()))
            Error("invalid expression");
        if (Peek().kind != '(')
            return n;  // without arguments the member level ends here
        n->b = Arguments(&n->count);
        return MemberSuffixes(n);
    }
    Node* e = Primary();
    return e ? MemberSuffixes(e) : nullptr;
}

// Any number of "." name and "[" expression "]".
Node* Parser::MemberSuffixes(Node* e)
{
    for (;;) {
        Token t = Peek();
        if (t.kind == '.') {
            Next();
            Token name = Next();
            if (name.kind != TK_NAME)
                Error("illegal identifier");
            Node* n = New(N_MEMBER, t.line);
            n->a = e;
            n->text = name.text;
            e = n;
        } else if (t.kind == '[') {
            Next();
            Node* n = New(N_INDEX, t.line);
            n->a = e;
            if (!(n->b = Expression()))
                Error("invalid expression");
            Expect(']', "missing ] in index expression");
            e = n;
        } else {
            return e;
        }
    }
}

// "(" arguments ")": the list comes back reversed.
Node* Parser::Arguments(int* count)
{
    Next();  // "("
    Node* reversed = nullptr;
    *count = 0;
    for (;;) {
        if (Accept(')'))
            break;
        Node* argument = Assignment();
        if (!argument)
            Error("missing ) after argument list");
        argument->next = reversed;
        reversed = argument;
        ++*count;
        int k = Peek().kind;
        if (k == ',') {
            Next();
            continue;
        }
        if (k != ')')
            Error("missing ) after argument list");
    }
    return reversed;
}

Node* Parser::Primary()
{
    Token t = Peek();
    Node* n;
    switch (t.kind) {
    case '(': {
        Next();
        Node* e = Expression();
        if (!e || !Accept(')'))
            Error("invalid expression");
        return e;
    }
    case '/':
        Next();
        n = New(N_REGEXP, t.line);
        n->regexp = ReadRegExp(s_);
        return n;
    case '[':
        return ArrayLiteral();
    case '{':
        return ObjectLiteral();
    case TK_INTEGER:
        n = New(N_INTEGER, t.line);
        n->integer = t.integer;
        break;
    case TK_NUMBER:
        n = New(N_NUMBER, t.line);
        n->number = t.number;
        break;
    case TK_STRING:
        n = New(N_STRING, t.line);
        n->text = t.text;
        break;
    case TK_NAME:
        n = New(N_NAME, t.line);
        n->text = t.text;
        break;
    case TK_THIS: n = New(N_THIS, t.line); break;
    case TK_NULL: n = New(N_NULL, t.line); break;
    case TK_TRUE: n = New(N_TRUE, t.line); break;
    case TK_FALSE: n = New(N_FALSE, t.line); break;
    case TK_UNDEFINED: n = New(N_UNDEFINED, t.line); break;
    default:
        return nullptr;
    }
    Next();
    return n;
}

Node* Parser::ArrayLiteral()
{
    Token open = Next();
    Node* n = New(N_ARRAY, open.line);
    Node* reversed = nullptr;
    auto add = [&](Node* element) {
        element->next = reversed;
        reversed = element;
        ++n->count;
    };
    bool afterComma = true;   // "[" counts as a comma for holes
    bool lastWasComma = false;
    for (;;) {
        int k = Peek().kind;
        if (k == ']') {
            Next();
            if (lastWasComma && n->count > 0)
                add(New(N_ITEM, open.line));  // the trailing hole
            break;
        }
        if (k == ',') {
            Next();
            if (afterComma)
                add(New(N_ITEM, open.line));
            afterComma = lastWasComma = true;
            continue;
        }
        Node* element = Assignment();
        if (!element)
            Error("invalid expression");
        add(element);
        afterComma = lastWasComma = false;
        k = Peek().kind;
        if (k != ',' && k != ']')
            Error("missing ] after element list");
    }
    n->a = reversed;
    return n;
}

Node* Parser::ObjectLiteral()
{
    Token open = Next();
    Node* n = New(N_OBJECT, open.line);
    Node* reversed = nullptr;
    for (;;) {
        if (Accept('}'))
            break;
        Token key = Next();
        if (key.kind != TK_INTEGER && key.kind != TK_STRING && key.kind != TK_NAME)
            ErrorAt(key.line, "invalid property id");
        Node* property = New(N_ITEM, key.line);
        property->op = key.kind;
        if (key.kind == TK_INTEGER)
            property->integer = key.integer;
        else
            property->text = key.text;
        Expect(':', "missing : after property id");
        if (!(property->a = Assignment()))
            Error("invalid expression");
        property->next = reversed;
        reversed = property;
        ++n->count;
        int k = Peek().kind;
        if (k == ',') {
            Next();
            continue;
        }
        if (k != '}')
            Error("missing } after property list");
    }
    n->a = reversed;
    return n;
}

} // namespace

void ParseProgram(CompilerState& state)
{
    Parser(state).Program();
}

} // namespace zelph
