// The lexer: one token per request from the compilation's source stream.
#pragma once

#include "script/compiler/compiler_state.h"
#include "script/compiler/tokens.h"

namespace zelph {

struct CompilerState;
struct Context;

// The next token; TK_END at the end of the source and on every later call.
// Lexical errors abandon the compilation (ReportError). Token texts live in the
// compilation's arena.
Token Scan(CompilerState& state);
// After the parser consumed "/" in operand position: the rest of a
// regular-expression literal.
RegExpLiteral* ReadRegExp(CompilerState& state);

// Registers the 36 keywords in the context's keyword table (idempotent).
bool RegisterKeywords(Context* ctx);
// A keyword's kind, or TK_END when the text is no keyword.
int KeywordKind(const Context* ctx, const char* text, std::size_t length);

// The parser's token operations NextToken and PeekToken are inline in
// compiler_state.h.

} // namespace zelph
