#include "tests/script/compiler/front_end_util.h"

#include <charconv>

namespace zelph::test {
namespace {

class Lexer : public FrontEndTest {
protected:
    // Tokens as "kind:value@line" separated by blanks, up to and including the end.
    std::string Tokens(const std::string& source, std::uint32_t options = 0, bool lines = false)
    {
        auto stream = ScriptStream::OpenString(source);
        CompilerState state(ctx, stream.get(), options);
        std::string out;
        try {
            for (;;) {
                Token t = Scan(state);
                if (!out.empty())
                    out += ' ';
                out += Describe(t);
                if (lines)
                    out += "@" + std::to_string(t.line);
                if (t.kind == TK_END)
                    break;
            }
        } catch (const CompileAbort&) {
            out += out.empty() ? "ABORT" : " ABORT";
        }
        const auto& d = state.diagnostics->buffer();
        if (!d.empty())
            out += " | " + std::string(d.begin(), d.end() - 2);  // without the last CR LF
        return out;
    }

    static std::string Describe(const Token& t)
    {
        switch (t.kind) {
        case TK_INTEGER: return "int:" + std::to_string(t.integer);
        case TK_NUMBER: {
            char b[64];
            auto r = std::to_chars(b, b + sizeof b, t.number);
            return "num:" + std::string(b, r.ptr);
        }
        case TK_STRING: return "str:" + Escaped(t.text);
        case TK_NAME: return std::string("name:") + t.text;
        default: return TokenName(t.kind);
        }
    }
    static std::string Escaped(const char* text)
    {
        std::string s;
        for (const char* p = text; *p; ++p) {
            unsigned char c = static_cast<unsigned char>(*p);
            if (c < 32 || c >= 127) {
                char b[8];
                std::snprintf(b, sizeof b, "\\%02x", c);
                s += b;
            } else {
                s += *p;
            }
        }
        return s;
    }
};

TEST_F(Lexer, TokenSequences)
{
    const std::pair<const char*, const char*> table[] = {
        {"", "end"},
        {"  \t\r\n /* c */ // line\n", "end"},
        {"a>>>=b", "name:a >>>= name:b end"},
        {"a=== b", "name:a === name:b end"},
        {"<<= << <= < >>= >> >= > >>> !== != ! == =", "<<= << <= < >>= >> >= > >>> !== != ! == = end"},
        {"&& &= & || |= | ++ += + -- -= - *= * /= / %= % ^= ^", "&& &= & || |= | ++ += + -- -= - *= * /= / %= % ^= ^ end"},
        {"( ) [ ] { } ; , : ? . ~ @", "( ) [ ] { } ; , : ? . ~ @ end"},
        {"0x1F 0x 0XfF", "int:31 int:0 int:255 end"},
        {"017 09 0", "int:15 int:0 int:9 int:0 end"},
        {"0.5 .5 1e3 1. 1E-2 2.5e+1", "num:0.5 num:0.5 num:1000 num:1 num:0.01 num:25 end"},
        {"9223372036854775807 9223372036854775808", "int:9223372036854775807 num:9223372036854775808 end"},
        {"0xFFFFFFFFFFFFFFFFF", "int:-1 end"},
        {"-1", "- int:1 end"},
        {"a.b 1..x", "name:a . name:b num:1 . name:x end"},
        {"#'A' #'\\n' #x #!comment\nz", "int:65 int:10 # name:x name:z end"},
        {"#'\xe9'", "int:-23 end"},
        {"'a\\x41' \"\\u0141\" '\\101' '\\0101' '\\q'", "str:aA str:A str:A str:A str:q end | warning: line 0: unknown escape sequence '\\q'"},
        {"'\\n\\t\\v\\b\\r\\f\\a\\\\\\?\\'\\\"'", "str:\\0a\\09\\0b\\08\\0d\\0c\\07\\?'\" end"},
        {"'a\\\nb'", "str:ab end"},
        {"'x\\0y'", "str:x end"},
        {"'' \"\"", "str: str: end"},
        {"undefined class enum arguments", "undefined class enum name:arguments end"},
        {"$a _b9 c\xe9", "name:$a name:_b9 name:c ? end"},  // bytes above 127 are never identifier parts
    };
    for (const auto& [source, expected] : table)
        EXPECT_EQ(Tokens(source), expected) << source;
}

TEST_F(Lexer, AZeroByteEndsTheSource)
{
    EXPECT_EQ(Tokens(std::string("a\0b c", 5)), "name:a end");
    EXPECT_EQ(Tokens(std::string("'x\0y'", 5)), "ABORT | error: line 0: unterminated string constant");
}

TEST_F(Lexer, Lines)
{
    EXPECT_EQ(Tokens("a /* one\n */ b\n\nc", 0, true), "name:a@0 name:b@1 name:c@3 end@3");
    EXPECT_EQ(Tokens("x /* open\n\n", 0, true), "name:x@0 end@2") << "an unclosed comment ends the source quietly";
    EXPECT_EQ(Tokens("'a\nb' c", 0, true), "str:a\\0ab@0 name:c@1 end@1");
}

TEST_F(Lexer, Errors)
{
    const std::pair<const char*, const char*> table[] = {
        {"x = 'abc", "name:x = ABORT | error: line 0: unterminated string constant"},
        {"\n'ab\n\ncd", "ABORT | error: line 1: unterminated string constant"},
        {"1e+", "ABORT | error: line 0: invalid exponent part in a decimal literal"},
        {"1ex", "ABORT | error: line 0: invalid exponent part in a decimal literal"},
        {"'\\xg1'", "ABORT | error: line 0: illegal character '\\xg1'"},
        {"'\\u12z4'", "ABORT | error: line 0: illegal unicode character '\\u12z4'"},
        {"\n\n'\\x4", "ABORT | error: line 2: unterminated string constant"},
        {"\n#'\\x4", "ABORT | error: line 0: unterminated character constant"},
        {"#'ab'", "ABORT | error: line 0: illegal character"},
        {"'\\", "ABORT | error: line 0: unterminated string constant"},
    };
    for (const auto& [source, expected] : table)
        EXPECT_EQ(Tokens(source), expected) << source;
}

TEST_F(Lexer, StrictWarningForLineFeedsInStrings)
{
    EXPECT_EQ(Tokens("'a\nb\nc'", kCompileStrictWarnings),
              "str:a\\0ab\\0ac end | warning: line 0: ECMAScript don't allow line terminators in string constants");
    EXPECT_EQ(Tokens("'a\nb'"), "str:a\\0ab end");
}

TEST_F(Lexer, RegularExpressions)
{
    const std::pair<const char*, std::pair<const char*, std::uint32_t>> table[] = {
        {"a\\/b/gi", {"a\\/b", 3}},
        {"x/mmq", {"x", 4}},
        {"\\n\\t\\d\\\\/", {"\n\t\\d\\\\", 0}},
        {"\\cJ\\x41\\u0042\\0101/", {"\\cJABA", 0}},
        {"a\\\nb/", {"ab", 0}},
    };
    for (const auto& [source, want] : table) {
        auto stream = ScriptStream::OpenString(source);
        CompilerState state(ctx, stream.get(), 0);
        RegExpLiteral* r = ReadRegExp(state);
        EXPECT_STREQ(r->pattern, want.first) << source;
        EXPECT_EQ(r->flags, want.second) << source;
    }
    auto stream = ScriptStream::OpenString("\nabc");
    CompilerState state(ctx, stream.get(), 0);
    EXPECT_THROW(ReadRegExp(state), CompileAbort);
    std::string text(state.diagnostics->buffer().begin(), state.diagnostics->buffer().end());
    EXPECT_EQ(text, "error: line 0: unterminated regular expression constant\r\n");
}

TEST_F(Lexer, KeywordsRegisterOnce)
{
    EXPECT_TRUE(RegisterKeywords(ctx));
    EXPECT_TRUE(RegisterKeywords(ctx));
    std::size_t entries = 0;
    for (const auto& bucket : ctx->keywords)
        entries += bucket.size();
    EXPECT_EQ(entries, 36u);
    EXPECT_EQ(KeywordKind(ctx, "typeof", 6), TK_TYPEOF);
    EXPECT_EQ(KeywordKind(ctx, "types", 5), TK_END);
    EXPECT_FALSE(RegisterKeywords(nullptr));
}

TEST_F(Lexer, LookaheadAndArgumentsCount)
{
    auto stream = ScriptStream::OpenString("a\narguments arguments");
    CompilerState state(ctx, stream.get(), 0);
    EXPECT_STREQ(PeekToken(state).text, "a");
    EXPECT_EQ(&PeekToken(state), &state.peeked) << "peeking again scans nothing";
    EXPECT_EQ(state.currentLine, 0);
    EXPECT_STREQ(NextToken(state).text, "a");
    NextToken(state);
    EXPECT_EQ(state.currentLine, 1);
    PeekToken(state);
    EXPECT_EQ(state.argumentsUses, 1) << "a peeked token is not counted yet";
    NextToken(state);
    EXPECT_EQ(state.argumentsUses, 2);
    EXPECT_EQ(NextToken(state).kind, TK_END);
    EXPECT_EQ(NextToken(state).kind, TK_END);
}

} // namespace
} // namespace zelph::test
