#include "script/compiler/ast.h"

#include "script/compiler/tokens.h"

#include <charconv>
#include <string>

namespace zelph {
namespace {

const char* KindName(NodeKind kind)
{
    switch (kind) {
    case N_COMMA: return "comma";
    case N_ASSIGN: return "assign";
    case N_CONDITIONAL: return "cond";
    case N_LOGICAL: return "logical";
    case N_BITWISE: return "bitwise";
    case N_EQUALITY: return "equality";
    case N_RELATIONAL: return "relational";
    case N_SHIFT: return "shift";
    case N_MULTIPLICATIVE: return "mul";
    case N_ADDITIVE: return "add";
    case N_THIS: return "this";
    case N_NULL: return "null";
    case N_TRUE: return "true";
    case N_FALSE: return "false";
    case N_NAME: return "name";
    case N_NUMBER: return "number";
    case N_INTEGER: return "integer";
    case N_STRING: return "string";
    case N_CALL: return "call";
    case N_MEMBER: return "member";
    case N_INDEX: return "index";
    case N_NEW: return "new";
    case N_POSTFIX: return "postfix";
    case N_UNARY: return "unary";
    case N_REGEXP: return "regexp";
    case N_ARRAY: return "array";
    case N_OBJECT: return "object";
    case N_BLOCK: return "block";
    case N_FUNCTION_BINDING: return "binding";
    case N_VAR: return "var";
    case N_ITEM: return "item";
    case N_EXPR_STMT: return "expr";
    case N_IF: return "if";
    case N_WHILE: return "while";
    case N_FOR: return "for";
    case N_FOR_IN: return "forin";
    case N_CONTINUE: return "continue";
    case N_BREAK: return "break";
    case N_RETURN: return "return";
    case N_WITH: return "with";
    case N_TRY: return "try";
    case N_THROW: return "throw";
    case N_DO: return "do";
    case N_SWITCH: return "switch";
    case N_LABEL: return "label";
    case N_FUNCTION: return "function";
    case N_UNDEFINED: return "undefined";
    case N_VAR_DECL: return "decl";
    }
    return "?";
}

class Dumper {
public:
    std::string out;

    void Node(const zelph::Node* n)
    {
        if (!n) {
            out += "-";
            return;
        }
        out += '(';
        out += KindName(n->kind);
        switch (n->kind) {
        case N_ASSIGN:
        case N_LOGICAL:
        case N_BITWISE:
        case N_EQUALITY:
        case N_RELATIONAL:
        case N_SHIFT:
        case N_MULTIPLICATIVE:
        case N_ADDITIVE:
            out += ' ';
            out += TokenName(n->op);
            Children(n, 2);
            break;
        case N_POSTFIX:
        case N_UNARY:
            out += ' ';
            out += TokenName(n->op);
            Children(n, 1);
            break;
        case N_COMMA:
        case N_INDEX:
        case N_WITH:
            Children(n, 2);
            break;
        case N_CONDITIONAL:
        case N_IF:
            Children(n, 3);
            break;
        case N_WHILE:
        case N_DO:
            Children(n, 2);
            break;
        case N_NAME:
        case N_STRING:
        case N_CONTINUE:
        case N_BREAK:
            if (n->text)
                Text(n->text);
            break;
        case N_NUMBER: {
            char buffer[64];
            auto r = std::to_chars(buffer, buffer + sizeof buffer, n->number);
            out += ' ';
            out.append(buffer, r.ptr);
            break;
        }
        case N_INTEGER:
            out += ' ' + std::to_string(n->integer);
            break;
        case N_CALL:
        case N_NEW:
            out += ' ';
            Node(n->a);
            List(n->b);
            break;
        case N_MEMBER:
            out += ' ';
            Node(n->a);
            Text(n->text);
            break;
        case N_REGEXP:
            Text(n->regexp->pattern);
            out += ' ' + std::to_string(n->regexp->flags);
            break;
        case N_ARRAY:
        case N_OBJECT:
        case N_BLOCK:
            List(n->a);
            break;
        case N_FUNCTION_BINDING:
            Text(n->text);
            Text(n->text2);
            Text(n->text3);
            break;
        case N_VAR:
            out += n->op ? " top" : "";
            List(n->a);
            break;
        case N_VAR_DECL:
            Text(n->text);
            if (n->a) {
                out += ' ';
                Node(n->a);
            }
            break;
        case N_ITEM:
            if (n->op) {  // an object property
                if (n->op == TK_INTEGER)
                    out += ' ' + std::to_string(n->integer);
                else
                    Text(n->text);
                out += ' ';
                Node(n->a);
            } else if (n->text) {  // a catch clause
                Text(n->text);
                Children(n, 2);
            } else if (n->b || n->a) {  // a case clause
                out += ' ';
                Node(n->a);
                List(n->b);
            }
            break;
        case N_EXPR_STMT:
        case N_RETURN:
        case N_THROW:
            Children(n, 1);
            break;
        case N_FOR:
            out += ' ';
            Node(n->a);
            Children(n, 5, 1);
            break;
        case N_FOR_IN:
            Children(n, 4);
            break;
        case N_TRY:
            out += ' ';
            Node(n->a);
            out += " (catches";
            List(n->b);
            out += ") ";
            Node(n->c);
            break;
        case N_SWITCH:
            out += ' ';
            Node(n->a);
            List(n->b);
            break;
        case N_LABEL:
            Text(n->text);
            Children(n, 1);
            break;
        case N_FUNCTION:
            Text(n->text);
            Text(n->text2);
            out += " (params";
            List(n->a);
            out += ")";
            if (n->op)
                out += " arguments";
            List(n->b);
            break;
        default:
            break;
        }
        out += ')';
    }

private:
    void Text(const char* t)
    {
        out += " \"";
        out += t;
        out += '"';
    }
    void Children(const zelph::Node* n, int count, int from = 0)
    {
        const zelph::Node* children[5] = {n->a, n->b, n->c, n->d, n->e};
        for (int i = from; i < count; ++i) {
            out += ' ';
            Node(children[i]);
        }
    }
    void List(const zelph::Node* first)
    {
        for (const zelph::Node* n = first; n; n = n->next) {
            out += ' ';
            Node(n);
        }
    }
};

} // namespace

const char* TokenName(int kind)
{
    static const char* const named[] = {
        "end", "integer", "number", "string", "name", "break", "continue", "delete", "else", "for",
        "function", "if", "in", "new", "return", "this", "typeof", "var", "void", "while", "with",
        "case", "catch", "class", "const", "debugger", "default", "do", "enum", "export", "extends",
        "finally", "import", "super", "switch", "throw", "try", "null", "true", "false", "==",
        "!=", "<=", ">=", "&&", "||", "++", "--", "*=", "/=", "%=", "+=", "-=", "&=", "^=",
        "|=", "<<=", "<<", ">>", ">>>", ">>=", ">>>=", "===", "!==", "undefined",
    };
    static char single[128][2];
    if (kind >= TK_END && kind <= TK_UNDEFINED)
        return named[kind - TK_END];
    if (kind > 0 && kind < 128) {
        single[kind][0] = static_cast<char>(kind);
        return single[kind];
    }
    return "?";
}

std::string DumpNode(const Node* n)
{
    Dumper d;
    d.Node(n);
    return d.out;
}

std::string DumpList(const Node* first)
{
    std::string out;
    for (const Node* n = first; n; n = n->next)
        out += DumpNode(n) + "\n";
    return out;
}

} // namespace zelph
