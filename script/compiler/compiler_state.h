// The state of one compilation. Tokens, texts and syntax-tree nodes live in its
// arena until the compilation ends; the instruction and constant records of a
// code unit live in the unit arena until the unit is written.
#pragma once

#include "script/compiler/arena.h"
#include "script/compiler/ast.h"
#include "script/compiler/instructions.h"
#include "script/compiler/stream.h"
#include "script/compiler/tokens.h"

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace zelph {

struct Context;

// Compile option bits.
inline constexpr std::uint32_t kCompileDebugInfo = 0x4;
inline constexpr std::uint32_t kCompilePass1 = 0x20;
inline constexpr std::uint32_t kCompilePass2 = 0x40;
inline constexpr std::uint32_t kCompilePass3 = 0x80;
inline constexpr std::uint32_t kCompilePass4 = 0x100;
inline constexpr std::uint32_t kCompileSemicolonWarnings = 0x100000;
inline constexpr std::uint32_t kCompileStrictWarnings = 0x200000;

// Source nesting beyond this depth is a syntax error, not a host stack overflow.
inline constexpr int kMaxNesting = 1000;

// A list of nodes chained through next, with its count and both ends.
struct NodeList {
    int count = 0;
    Node* first = nullptr;
    Node* last = nullptr;
    void Append(Node* n)
    {
        if (last)
            last->next = n;
        else
            first = n;
        last = n;
        ++count;
    }
};

struct CompilerState {
    CompilerState(Context* context, ScriptStream* sourceStream, std::uint32_t optionBits)
        : ctx(context), source(sourceStream), diagnostics(ScriptStream::OpenSink()), options(optionBits), arena(context),
          unitArena(context)
    {
    }
    CompilerState(const CompilerState&) = delete;
    CompilerState& operator=(const CompilerState&) = delete;

    template <typename T>
    T* New()
    {
        return new (arena.Allocate(sizeof(T), alignof(T))) T();
    }
    template <typename T>
    T* NewInUnit()
    {
        return new (unitArena.Allocate(sizeof(T), alignof(T))) T();
    }
    // A NUL-terminated copy in the arena.
    const char* CopyText(std::string_view text);

    Context* ctx;
    ScriptStream* source;
    std::unique_ptr<ScriptStream> diagnostics;
    std::uint32_t options;
    Arena arena;
    Arena unitArena;

    // Lexer and parser.
    std::string lexText;      // characters of the token being scanned
    Token peeked{};
    bool hasPeeked = false;
    int currentLine = 0;
    int argumentsUses = 0;    // "arguments" identifiers consumed so far
    int generatedNames = 0;   // "@F_%d" numbers handed out
    NodeList functions;       // every function definition, in the order parsing finished
    NodeList main;            // the top-level statements
    std::vector<const char*> functionNames;  // internal names of the functions being parsed
    int nesting = 0;          // current depth of nested statements and expressions

    // Code generator: the instruction list of the code unit being built.
    Instr* first = nullptr;
    Instr* last = nullptr;
    int labelCounter = 1;     // jump labels are numbered from 1
    bool strictJumps = true;  // JZ/JNZ for conditions of boolean static type
    std::uint32_t codeSize = 0;  // bytes of code laid out so far
    bool unitStoresLocals = false;  // the unit holds a SETLOCAL
};

Token Scan(CompilerState& state);

// A token handed to the parser: the current line follows it, and uses of
// "arguments" are counted.
inline Token CountedToken(CompilerState& state, const Token& t)
{
    state.currentLine = t.line;
    if (t.kind == TK_NAME && t.text[0] == 'a' && std::string_view(t.text) == "arguments")
        ++state.argumentsUses;
    return t;
}

// The parser's token operations with one token of lookahead. Next hands out the
// held token or scans one; Peek holds one (its reference is valid until the
// next NextToken) and never changes the current line.
inline const Token& PeekToken(CompilerState& state)
{
    if (!state.hasPeeked) {
        state.peeked = Scan(state);
        state.hasPeeked = true;
    }
    return state.peeked;
}

inline Token NextToken(CompilerState& state)
{
    if (state.hasPeeked) {
        state.hasPeeked = false;
        return CountedToken(state, state.peeked);
    }
    return CountedToken(state, Scan(state));
}

} // namespace zelph
