// Token kinds. A one-character punctuator is its own kind: the byte value,
// sign-extended from 8 bits. Named kinds start at 128.
#pragma once

#include <cstdint>

namespace zelph {

enum TokenKind : int {
    TK_END = 128,
    TK_INTEGER,
    TK_NUMBER,
    TK_STRING,
    TK_NAME,
    // keywords
    TK_BREAK = 133,
    TK_CONTINUE,
    TK_DELETE,
    TK_ELSE,
    TK_FOR,
    TK_FUNCTION,
    TK_IF,
    TK_IN,
    TK_NEW,
    TK_RETURN,
    TK_THIS,
    TK_TYPEOF,
    TK_VAR,
    TK_VOID,
    TK_WHILE,
    TK_WITH,
    TK_CASE,
    TK_CATCH,
    TK_CLASS,
    TK_CONST,
    TK_DEBUGGER,
    TK_DEFAULT,
    TK_DO,
    TK_ENUM,
    TK_EXPORT,
    TK_EXTENDS,
    TK_FINALLY,
    TK_IMPORT,
    TK_SUPER,
    TK_SWITCH,
    TK_THROW,
    TK_TRY,
    TK_NULL,
    TK_TRUE,
    TK_FALSE = 167,
    // operators
    TK_EQ = 168,
    TK_NE,
    TK_LE,
    TK_GE,
    TK_AND,
    TK_OR,
    TK_INC,
    TK_DEC,
    TK_MUL_ASSIGN,
    TK_DIV_ASSIGN,
    TK_MOD_ASSIGN,
    TK_ADD_ASSIGN,
    TK_SUB_ASSIGN,
    TK_AND_ASSIGN,
    TK_XOR_ASSIGN,
    TK_OR_ASSIGN,
    TK_SHL_ASSIGN,
    TK_SHL,
    TK_SHR,
    TK_USHR,
    TK_SHR_ASSIGN,
    TK_USHR_ASSIGN,
    TK_STRICT_EQ,
    TK_STRICT_NE = 191,
    TK_UNDEFINED = 192,
};

// Regular-expression flags.
inline constexpr std::uint32_t kRegExpGlobal = 1;
inline constexpr std::uint32_t kRegExpIgnoreCase = 2;
inline constexpr std::uint32_t kRegExpMultiline = 4;

struct Token {
    int kind;
    int line;
    union {
        std::int64_t integer;  // TK_INTEGER
        double number;         // TK_NUMBER
        const char* text;      // TK_STRING, TK_NAME: NUL-terminated
    };
};

struct RegExpLiteral {
    const char* pattern;  // NUL-terminated
    std::uint32_t flags;
};

// A readable name of a token kind, for messages and tests: "TK_NAME", "'('".
const char* TokenName(int kind);

} // namespace zelph
