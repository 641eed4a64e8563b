// Running the lexer and the parser over source text in tests.
#pragma once

#include "script/builtins/registry.h"
#include "script/compiler/compiler_state.h"
#include "script/compiler/diagnostics.h"
#include "script/compiler/lexer.h"
#include "script/compiler/parser.h"
#include "script/vm/context.h"

#include <gtest/gtest.h>

#include <string>

namespace zelph::test {

class FrontEndTest : public ::testing::Test {
protected:
    FrontEndTest() : ctx_(CreateContext(kDefaultStackSize, 0, false, StandardRegistrations())), ctx(ctx_.get())
    {
        RegisterKeywords(ctx);
    }

    struct Parsed {
        bool ok = false;
        std::string diagnostics;
        std::string functions;  // one dumped node per line
        std::string main;
    };

    Parsed Parse(const std::string& source, std::uint32_t options = 0)
    {
        auto stream = ScriptStream::OpenString(source);
        CompilerState state(ctx, stream.get(), options);
        Parsed p;
        try {
            ParseProgram(state);
            p.ok = true;
            p.functions = DumpList(state.functions.first);
            p.main = DumpList(state.main.first);
        } catch (const CompileAbort& abort) {
            EXPECT_EQ(abort.state, &state);
        }
        const auto& d = state.diagnostics->buffer();
        p.diagnostics.assign(d.begin(), d.end());
        return p;
    }

    // The diagnostics of a source that must fail, or "compiled" when it did not.
    std::string ErrorOf(const std::string& source, std::uint32_t options = 0)
    {
        Parsed p = Parse(source, options);
        return p.ok ? "compiled" : p.diagnostics;
    }

    // The single top-level statement's tree.
    std::string Tree(const std::string& source)
    {
        Parsed p = Parse(source);
        if (!p.ok)
            return "failed: " + p.diagnostics;
        return p.main.substr(0, p.main.size() - 1);
    }

    ContextPtr ctx_;
    Context* ctx;
};

} // namespace zelph::test
