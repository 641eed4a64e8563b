// Compiling sources in tests: listings of the modules they give, and runs of
// them through the interpreter with a `log` function that records its argument.
#pragma once

#include "tests/script/vm/vm_test_util.h"

#include "script/compiler/compile.h"
#include "script/vm/disassembler.h"
#include "script/vm/loader.h"
#include "script/vm/native_class.h"

#include <gtest/gtest.h>

#include <string>

namespace zelph::test {

class CompileTest : public ::testing::Test {
protected:
    CompileTest() { NewContext(); }

    // A fresh context with the standard classes and `log`; the log is emptied.
    void NewContext()
    {
        ctx_.reset(CreateContext(kDefaultStackSize, 0, false, StandardRegistrations()));
        ctx = ctx_.get();
        log_.clear();
        NativeClass* log = NewNativeClass(ctx);
        log->privateData = &log_;
        log->call = [](Context* c, NativeClass* cls, void*, Value* out, const Value* args) {
            std::u16string text;
            for (std::int64_t i = 0; i < ArgCount(args); ++i) {
                if (i > 0)
                    text += u' ';
                text += ToText(c, Arg(args, i));
            }
            auto* log = static_cast<std::string*>(cls->privateData);
            for (char16_t ch : text)
                log->push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
            log->push_back('\n');
            *out = Value::Undefined();
        };
        DefineGlobalClass(ctx, "log", log);
    }

    // The module's instructions (no offsets, lines or header), or "failed: "
    // and the diagnostics.
    std::string Listing(const std::string& source, std::uint32_t options = 0)
    {
        DisassemblyOptions o;
        o.offsets = false;
        o.header = false;
        o.lines = false;
        return Disassembly(source, options, o);
    }

    std::string Disassembly(const std::string& source, std::uint32_t options, const DisassemblyOptions& o)
    {
        std::string failure;
        auto module = Compiled(source, options, failure);
        return module ? Disassemble(*module, o) : failure;
    }

    // Compiles and runs the source: the result register described (see
    // Describe), or "failed: " and the message when compiling or running failed.
    std::string Run(const std::string& source, std::uint32_t options = 0)
    {
        std::string failure;
        auto module = Compiled(source, options, failure);
        if (!module)
            return failure;
        if (!LoadModule(ctx, *module))
            return std::string("failed: ") + Message(ctx);
        return Describe(ctx->result);
    }

    // The module of the source, or null with "failed: " and why.
    std::unique_ptr<Module> Compiled(const std::string& source, std::uint32_t options, std::string& failure)
    {
        auto bytes = CompileString(ctx, source, options);
        if (!bytes) {
            failure = std::string("failed: ") + Message(ctx);
            return nullptr;
        }
        auto module = ReadModuleFromMemory(*bytes);
        if (!module)
            failure = "failed: unreadable module";
        return module;
    }

    // What `log` recorded so far (one line per call), then cleared.
    std::string TakeLog() { return std::exchange(log_, std::string()); }

    ContextPtr ctx_;
    Context* ctx = nullptr;

private:
    std::string log_;
};

} // namespace zelph::test
