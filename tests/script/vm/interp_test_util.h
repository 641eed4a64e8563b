// Running assembled modules in a test context, with the trace output captured.
#pragma once

#include "tests/script/vm/assembler.h"
#include "tests/script/vm/vm_test_util.h"

#include "script/vm/collector.h"
#include "script/vm/loader.h"

#include <cstdio>

namespace zelph::test {

class InterpTest : public VmTest {
public:
    InterpTest() : trace_(std::tmpfile()) { ctx->traceFile = trace_; }
    ~InterpTest() override
    {
        ctx->traceFile = nullptr;
        std::fclose(trace_);
    }

    // Loads and runs a module; false when the load failed.
    bool Run(const std::string& listing) { return RunBytes(Assemble(listing)); }
    bool RunBytes(const std::vector<std::uint8_t>& bytes)
    {
        std::unique_ptr<Module> m = ReadModuleFromMemory(bytes);
        if (!m)
            return false;
        return LoadModule(ctx, *m);
    }
    // The result register after a successful run, described ("int:3").
    std::string Result(const std::string& listing)
    {
        if (!Run(listing))
            return std::string("failed: ") + Message(ctx);
        return Describe(ctx->result);
    }
    // The trace output so far, then cleared.
    std::string TakeTrace()
    {
        std::fflush(trace_);
        std::rewind(trace_);
        std::string text;
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, trace_)) > 0)
            text.append(buffer, n);
        std::fclose(trace_);
        trace_ = std::tmpfile();
        ctx->traceFile = trace_;
        return text;
    }

private:
    std::FILE* trace_;
};

} // namespace zelph::test
