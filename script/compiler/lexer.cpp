#include "script/compiler/lexer.h"

#include "script/compiler/compiler_state.h"
#include "script/compiler/diagnostics.h"
#include "script/vm/context.h"
#include "script/vm/number_text.h"
#include "script/vm/string_hash.h"

#include <cstring>
#include <string>

namespace zelph {
namespace {

struct Keyword {
    const char* text;
    int kind;
};

constexpr Keyword kKeywords[] = {
    {"break", TK_BREAK},       {"continue", TK_CONTINUE}, {"delete", TK_DELETE},     {"else", TK_ELSE},
    {"for", TK_FOR},           {"function", TK_FUNCTION}, {"if", TK_IF},             {"in", TK_IN},
    {"new", TK_NEW},           {"return", TK_RETURN},     {"this", TK_THIS},         {"typeof", TK_TYPEOF},
    {"var", TK_VAR},           {"void", TK_VOID},         {"while", TK_WHILE},       {"with", TK_WITH},
    {"case", TK_CASE},         {"catch", TK_CATCH},       {"class", TK_CLASS},       {"const", TK_CONST},
    {"debugger", TK_DEBUGGER}, {"default", TK_DEFAULT},   {"do", TK_DO},             {"enum", TK_ENUM},
    {"export", TK_EXPORT},     {"extends", TK_EXTENDS},   {"finally", TK_FINALLY},   {"import", TK_IMPORT},
    {"super", TK_SUPER},       {"switch", TK_SWITCH},     {"throw", TK_THROW},       {"try", TK_TRY},
    {"null", TK_NULL},         {"true", TK_TRUE},         {"false", TK_FALSE},       {"undefined", TK_UNDEFINED},
};

bool IsSpace(int c)
{
    return c == ' ' || (c >= 9 && c <= 13);
}
bool IsIdentifierStart(int c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '$' || c == '_';
}
bool IsDigit(int c)
{
    return c >= '0' && c <= '9';
}
bool IsIdentifierPart(int c)
{
    return IsIdentifierStart(c) || IsDigit(c);
}
bool IsOctal(int c)
{
    return c >= '0' && c <= '7';
}
int HexValue(int c)
{
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int KeywordKindOfHash(const Context* ctx, std::string_view name, std::uint32_t hash)
{
    for (const KeywordEntry& e : ctx->keywords[hash & (kKeywordBuckets - 1)])
        if (e.text == name)
            return e.kind;
    return TK_END;
}

// What a constant is called in messages, and the line its "unterminated" error
// for bad \x and \u digits is reported at.
struct ConstantKind {
    const char* name;
    int zeroLine;
};

class Lexer {
public:
    explicit Lexer(CompilerState& state) : state_(state), in_(*state.source), text_(state.lexText) {}

    Token Scan();
    RegExpLiteral* ReadRegExp();

private:
    int Read() { return in_.ReadByte(); }
    void Unread(int c) { in_.PushBack(c); }
    int Peek()
    {
        int c = Read();
        Unread(c);
        return c;
    }
    static Token Make(int kind, int line)
    {
        Token t;
        t.kind = kind;
        t.line = line;
        t.integer = 0;
        return t;
    }
    void SkipBlockComment();
    void SkipLineComment();
    int Escape(const ConstantKind& what);
    Token String(int quote, int line);
    Token Character(int line);
    Token Number(int c, int line);
    Token Identifier(int c, int line);
    int Operator(int c);

    CompilerState& state_;
    ScriptStream& in_;
    std::string& text_;  // collected characters of the current token
};

void Lexer::SkipBlockComment()
{
    for (int c = Read(); c; c = Read()) {
        if (c == '\n')
            ++in_.line;
        else if (c == '*' && Peek() == '/') {
            Read();
            return;
        }
    }
    Unread(0);  // an open comment ends with the source, quietly
}

void Lexer::SkipLineComment()
{
    for (int c = Read();; c = Read()) {
        if (c == '\n') {
            ++in_.line;
            return;
        }
        if (c == 0) {
            Unread(0);
            return;
        }
    }
}

// The byte of an escape; the backslash has been read.
int Lexer::Escape(const ConstantKind& what)
{
    int c = Read();
    switch (c) {
    case 'n': return 10;
    case 't': return 9;
    case 'v': return 11;
    case 'b': return 8;
    case 'r': return 13;
    case 'f': return 12;
    case 'a': return 7;
    case '\\':
    case '?':
    case '\'':
    case '"': return c;
    case 0: ReportError(state_, in_.line, "unterminated %s constant", what.name);
    case 'x':
    case 'u': {
        int digits = c == 'x' ? 2 : 4;
        int bytes[4];
        for (int i = 0; i < digits; ++i) {
            bytes[i] = Read();
            if (bytes[i] == 0)
                ReportError(state_, what.zeroLine, "unterminated %s constant", what.name);
        }
        int value = 0;
        for (int i = 0; i < digits; ++i) {
            if (HexValue(bytes[i]) < 0) {
                if (c == 'x')
                    ReportError(state_, in_.line, "illegal character '%s%c%c'", "\\x", bytes[0], bytes[1]);
                ReportError(state_, in_.line, "illegal unicode character '%s%c%c%c%c'", "\\u", bytes[0], bytes[1],
                            bytes[2], bytes[3]);
            }
            value = value * 16 + HexValue(bytes[i]);
        }
        return value & 0xFF;  // "\u": the last two digits
    }
    default:
        break;
    }
    if (IsOctal(c)) {
        // At most three digits, a leading 0 not counted.
        int value = c - '0';
        int more = c == '0' ? 3 : 2;
        for (int i = 0; i < more; ++i) {
            int d = Read();
            if (!IsOctal(d)) {
                Unread(d);
                break;
            }
            value = (value * 8 + (d - '0')) & 0xFF;
        }
        return value;
    }
    ReportWarning(state_, in_.line, "unknown escape sequence '%c%c'", '\\', c);
    return c;
}

Token Lexer::String(int quote, int line)
{
    text_.clear();
    bool warned = false;
    const ConstantKind what{"string", line};
    for (;;) {
        int c = Read();
        if (c == quote)
            break;
        if (c == 0)
            ReportError(state_, line, "unterminated %s constant", "string");
        if (c == '\n') {
            if (!warned && (state_.options & kCompileStrictWarnings)) {
                ReportWarning(state_, in_.line, "ECMAScript don't allow line terminators in %s constants", "string");
                warned = true;
            }
            ++in_.line;
            text_.push_back('\n');
            continue;
        }
        if (c == '\\') {
            int next = Read();
            if (next == '\n') {
                ++in_.line;  // a line continuation
                continue;
            }
            Unread(next);
            c = Escape(what);
        }
        text_.push_back(static_cast<char>(c));
    }
    Token t = Make(TK_STRING, line);
    t.text = state_.CopyText(text_);
    return t;
}

Token Lexer::Character(int line)
{
    int c = Read();
    if (c == 0)
        ReportError(state_, in_.line, "unterminated %s constant", "character");
    if (c == '\\')
        c = Escape({"character", 0});
    if (Read() != '\'')
        ReportError(state_, in_.line, "illegal character");
    Token t = Make(TK_INTEGER, line);
    t.integer = static_cast<std::int8_t>(c);
    return t;
}

Token Lexer::Number(int c, int line)
{
    if (c == '0') {
        int next = Read();
        if (next == 'x' || next == 'X') {
            std::uint64_t value = 0;
            for (int d = Read();; d = Read()) {
                if (HexValue(d) < 0) {
                    Unread(d);
                    break;
                }
                value = value * 16 + static_cast<std::uint64_t>(HexValue(d));
            }
            Token t = Make(TK_INTEGER, line);
            t.integer = static_cast<std::int64_t>(value);
            return t;
        }
        if (next != '.' && next != 'e' && next != 'E') {
            std::uint64_t value = 0;
            int d = next;
            for (; IsOctal(d); d = Read())
                value = value * 8 + static_cast<std::uint64_t>(d - '0');
            Unread(d);
            Token t = Make(TK_INTEGER, line);
            t.integer = static_cast<std::int64_t>(value);
            return t;
        }
        Unread(next);
    }
    // A decimal literal.
    text_.clear();
    bool startsWithDot = c == '.';
    bool floating = startsWithDot;
    text_.push_back(static_cast<char>(c));
    for (c = Read(); IsDigit(c); c = Read())
        text_.push_back(static_cast<char>(c));
    if (!startsWithDot && c == '.') {
        floating = true;
        text_.push_back('.');
        for (c = Read(); IsDigit(c); c = Read())
            text_.push_back(static_cast<char>(c));
    }
    if (c == 'e' || c == 'E') {
        floating = true;
        text_.push_back('e');
        c = Read();
        if (c == '+' || c == '-') {
            text_.push_back(static_cast<char>(c));
            c = Read();
        }
        if (!IsDigit(c))
            ReportError(state_, in_.line, "invalid exponent part in a decimal literal");
        for (; IsDigit(c); c = Read())
            text_.push_back(static_cast<char>(c));
    }
    Unread(c);
    if (!floating) {
        std::uint64_t value = 0;
        bool fits = true;
        for (char digit : text_) {
            std::uint64_t d = static_cast<std::uint64_t>(digit - '0');
            if (value > (9223372036854775807ull - d) / 10) {
                fits = false;
                break;
            }
            value = value * 10 + d;
        }
        if (fits) {
            Token t = Make(TK_INTEGER, line);
            t.integer = static_cast<std::int64_t>(value);
            return t;
        }
    }
    std::u16string wide(text_.begin(), text_.end());
    Token t = Make(TK_NUMBER, line);
    t.number = ParseDecimal(wide).value_or(0.0);
    return t;
}

Token Lexer::Identifier(int c, int line)
{
    text_.clear();
    std::uint32_t hash = 0;  // the string hash, as the keyword table uses it
    auto add = [&](int ch) {
        text_.push_back(static_cast<char>(ch));
        hash = (hash >> 7) ^ (hash >> 16) ^ static_cast<std::uint32_t>(ch) ^ (hash << 5);
    };
    add(c);
    for (;;) {
        // The rest of the name straight from the buffer, where it is there.
        std::string_view rest = in_.Buffered();
        std::size_t n = 0;
        while (n < rest.size() && IsIdentifierPart(static_cast<unsigned char>(rest[n])))
            ++n;
        text_.append(rest.data(), n);
        for (std::size_t i = 0; i < n; ++i)
            hash = (hash >> 7) ^ (hash >> 16) ^ static_cast<unsigned char>(rest[i]) ^ (hash << 5);
        in_.Skip(n);
        if (n < rest.size())
            break;
        c = Read();  // the buffer ran out (or bytes were pushed back)
        if (!IsIdentifierPart(c)) {
            Unread(c);
            break;
        }
        add(c);
    }
    int kind = KeywordKindOfHash(state_.ctx, text_, hash);
    if (kind != TK_END)
        return Make(kind, line);
    Token t = Make(TK_NAME, line);
    t.text = state_.CopyText(text_);
    return t;
}

// An operator starting with c, longest match first; 0 when c starts none.
int Lexer::Operator(int c)
{
    auto next = [this](int expected) {
        int d = Read();
        if (d == expected)
            return true;
        Unread(d);
        return false;
    };
    switch (c) {
    case '=':
        if (next('='))
            return next('=') ? +TK_STRICT_EQ : TK_EQ;
        return '=';
    case '!':
        if (next('='))
            return next('=') ? +TK_STRICT_NE : TK_NE;
        return '!';
    case '<':
        if (next('='))
            return TK_LE;
        if (next('<'))
            return next('=') ? +TK_SHL_ASSIGN : TK_SHL;
        return '<';
    case '>':
        if (next('='))
            return TK_GE;
        if (next('>')) {
            if (next('='))
                return TK_SHR_ASSIGN;
            if (next('>'))
                return next('=') ? +TK_USHR_ASSIGN : TK_USHR;
            return TK_SHR;
        }
        return '>';
    case '&':
        if (next('&'))
            return TK_AND;
        return next('=') ? +TK_AND_ASSIGN : '&';
    case '|':
        if (next('|'))
            return TK_OR;
        return next('=') ? +TK_OR_ASSIGN : '|';
    case '+':
        if (next('+'))
            return TK_INC;
        return next('=') ? +TK_ADD_ASSIGN : '+';
    case '-':
        if (next('-'))
            return TK_DEC;
        return next('=') ? +TK_SUB_ASSIGN : '-';
    case '*': return next('=') ? +TK_MUL_ASSIGN : '*';
    case '/': return next('=') ? +TK_DIV_ASSIGN : '/';
    case '%': return next('=') ? +TK_MOD_ASSIGN : '%';
    case '^': return next('=') ? +TK_XOR_ASSIGN : '^';
    default: return 0;
    }
}

Token Lexer::Scan()
{
    for (;;) {
        // White space straight from the buffer, where it is there.
        std::string_view rest = in_.Buffered();
        std::size_t n = 0;
        int lines = 0;
        while (n < rest.size() && IsSpace(static_cast<unsigned char>(rest[n])))
            lines += rest[n++] == '\n';
        in_.line += lines;
        in_.Skip(n);
        int c = Read();
        while (IsSpace(c)) {
            if (c == '\n')
                ++in_.line;
            c = Read();
        }
        int line = in_.line;
        if (c == 0) {
            Unread(0);
            return Make(TK_END, line);
        }
        if (c == '/') {
            int d = Read();
            if (d == '*') {
                SkipBlockComment();
                continue;
            }
            if (d == '/') {
                SkipLineComment();
                continue;
            }
            Unread(d);
        }
        if (c == '#') {
            int d = Read();
            if (d == '!') {
                SkipLineComment();
                continue;
            }
            if (d == '\'')
                return Character(line);
            Unread(d);
            return Make('#', line);
        }
        if (c == '"' || c == '\'')
            return String(c, line);
        if (int op = Operator(c))
            return Make(op, line);
        if (IsIdentifierStart(c))
            return Identifier(c, line);
        if (IsDigit(c))
            return Number(c, line);
        if (c == '.') {
            int d = Peek();
            if (IsDigit(d))
                return Number(c, line);
        }
        return Make(static_cast<std::int8_t>(c), line);
    }
}

RegExpLiteral* Lexer::ReadRegExp()
{
    const int line = in_.line;
    const ConstantKind what{"regular expression", 0};
    text_.clear();
    for (;;) {
        int c = Read();
        if (c == '/')
            break;
        if (c == 0)
            ReportError(state_, line, "unterminated %s constant", "regular expression");
        if (c == '\n') {
            ++in_.line;
            text_.push_back('\n');
            continue;
        }
        if (c != '\\') {
            text_.push_back(static_cast<char>(c));
            continue;
        }
        int d = Read();
        switch (d) {
        case '\n':
            ++in_.line;
            break;
        case 0:
            ReportError(state_, in_.line, "unterminated %s constant", "regular expression");
        case 'f': text_.push_back(12); break;
        case 'n': text_.push_back(10); break;
        case 'r': text_.push_back(13); break;
        case 't': text_.push_back(9); break;
        case 'v': text_.push_back(11); break;
        case 'c': {
            int e = Read();
            if (e == 0)
                ReportError(state_, in_.line, "unterminated %s constant", "regular expression");
            text_ += "\\c";
            text_.push_back(static_cast<char>(e));
            break;
        }
        case 'u':
        case 'x':
        case '0':
            Unread(d);
            text_.push_back(static_cast<char>(Escape(what)));
            break;
        default:
            text_.push_back('\\');
            text_.push_back(static_cast<char>(d));
        }
    }
    std::uint32_t flags = 0;
    for (;;) {
        int c = Read();
        if (c == 'g')
            flags |= kRegExpGlobal;
        else if (c == 'i')
            flags |= kRegExpIgnoreCase;
        else if (c == 'm')
            flags |= kRegExpMultiline;
        else {
            Unread(c);
            break;
        }
    }
    auto* r = state_.New<RegExpLiteral>();
    r->pattern = state_.CopyText(text_);
    r->flags = flags;
    return r;
}

} // namespace

bool RegisterKeywords(Context* ctx)
{
    if (!ctx)
        return false;
    try {
        for (const Keyword& k : kKeywords) {
            auto& bucket = ctx->keywords[StringHash(k.text) & (kKeywordBuckets - 1)];
            bool present = false;
            for (const KeywordEntry& e : bucket)
                present = present || e.text == k.text;
            if (!present)
                bucket.push_back({k.text, k.kind});
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

int KeywordKind(const Context* ctx, const char* text, std::size_t length)
{
    std::string_view name(text, length);
    return KeywordKindOfHash(ctx, name, StringHash(name));
}

Token Scan(CompilerState& state)
{
    return Lexer(state).Scan();
}

RegExpLiteral* ReadRegExp(CompilerState& state)
{
    return Lexer(state).ReadRegExp();
}

} // namespace zelph
