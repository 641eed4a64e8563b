// Syntax-tree nodes. Every node has a kind, a static type (the Value tag it is
// known to produce, 0 when unknown), a line and a `next` link that chains nodes
// into lists. The kind-specific fields are used as follows ("reversed": the
// list starts at its last element):
//
//   N_COMMA             a left, b right
//   N_ASSIGN            op ("=" or a compound-assignment kind), a target, b value
//   N_CONDITIONAL       a condition, b then, c else
//   N_LOGICAL .. N_ADDITIVE   op, a left, b right
//   N_NAME, N_STRING    text
//   N_NUMBER            number;  N_INTEGER  integer
//   N_CALL, N_NEW       a callee, b arguments (reversed), count
//   N_MEMBER            a object, text property name
//   N_INDEX             a object, b key
//   N_POSTFIX, N_UNARY  op, a operand
//   N_REGEXP            regexp
//   N_ARRAY             a elements (reversed; a hole is an N_ITEM), count
//   N_OBJECT            a properties (reversed N_ITEMs), count
//   N_BLOCK             a statements (a single N_ITEM for an empty block)
//   N_FUNCTION_BINDING  text enclosing function's internal name, text2 the
//                       declared function's internal name, text3 its declared name
//   N_VAR               op top-level flag, a declarators (N_VAR_DECL), count
//   N_VAR_DECL          text name, a initial value
//   N_EXPR_STMT         a expression
//   N_IF                a condition, b then, c else
//   N_WHILE, N_DO       a condition, b body
//   N_FOR               a declarators, b initial expression, c condition,
//                       d step, e body, count declarators
//   N_FOR_IN            a declarators, b target, c object, d body
//   N_CONTINUE, N_BREAK text label
//   N_RETURN            a value;  N_THROW  a expression
//   N_WITH              a object, b body
//   N_TRY               line2 end of the try block, line3 end of the statement,
//                       a try block, b catch clauses, c finally block
//   N_SWITCH            line2 the closing "}", a discriminant, b case clauses
//   N_LABEL             text label, a statement
//   N_FUNCTION          line2 the body's "{", text internal name, text2 declared
//                       name, a parameters (N_NAMEs), b body statements,
//                       op uses-arguments flag
//   N_ITEM              empty statement or hole: line only;
//                       object property: op key token kind, integer or text key, a value;
//                       case clause: a expression (null: default), b statements,
//                         line2 the line at the end of the clause;
//                       catch clause: text variable, a condition, b body,
//                         line2 (first clause) the line after all catch clauses
#pragma once

#include <cstdint>
#include <string>

namespace zelph {

struct RegExpLiteral;

enum NodeKind : int {
    N_COMMA = 0,
    N_ASSIGN = 1,
    N_CONDITIONAL = 2,
    N_LOGICAL = 3,
    N_BITWISE = 4,
    N_EQUALITY = 5,
    N_RELATIONAL = 6,
    N_SHIFT = 7,
    N_MULTIPLICATIVE = 8,
    N_ADDITIVE = 9,
    N_THIS = 10,
    N_NULL = 11,
    N_TRUE = 12,
    N_FALSE = 13,
    N_NAME = 14,
    N_NUMBER = 15,
    N_INTEGER = 16,
    N_STRING = 17,
    N_CALL = 18,
    N_MEMBER = 19,
    N_INDEX = 20,
    N_NEW = 21,
    N_POSTFIX = 26,
    N_UNARY = 27,
    N_REGEXP = 28,
    N_ARRAY = 29,
    N_OBJECT = 30,
    N_BLOCK = 31,
    N_FUNCTION_BINDING = 32,
    N_VAR = 33,
    N_ITEM = 34,
    N_EXPR_STMT = 35,
    N_IF = 36,
    N_WHILE = 37,
    N_FOR = 38,
    N_FOR_IN = 39,
    N_CONTINUE = 40,
    N_BREAK = 41,
    N_RETURN = 42,
    N_WITH = 43,
    N_TRY = 44,
    N_THROW = 45,
    N_DO = 46,
    N_SWITCH = 47,
    N_LABEL = 48,
    N_FUNCTION = 49,
    N_UNDEFINED = 50,
    N_VAR_DECL = 254,
};

// Fields that no kind uses together share their storage (see the table above):
// count and line3, e and text2, and integer, number, regexp and text3.
struct Node {
    NodeKind kind : 16 = N_ITEM;
    int type : 16 = 0;
    int line = 0;
    int op = 0;
    int line2 = 0;
    union {
        int count = 0;
        int line3;
    };
    Node* a = nullptr;
    Node* b = nullptr;
    Node* c = nullptr;
    Node* d = nullptr;
    union {
        Node* e = nullptr;
        const char* text2;
    };
    const char* text = nullptr;
    union {
        std::int64_t integer = 0;
        double number;
        const RegExpLiteral* regexp;
        const char* text3;
    };
    Node* next = nullptr;
};

// The tree as an S-expression, for tests and debugging:
//   (assign = (name x) (integer 1))
std::string DumpNode(const Node* n);
// Every node of a list, one per line.
std::string DumpList(const Node* first);

} // namespace zelph
