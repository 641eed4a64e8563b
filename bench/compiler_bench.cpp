// Compiler throughput on a generated 5 MB source: the front end (lexing and
// parsing) and the whole compilation (to the module bytes), and the memory a
// compilation takes at its peak.
#include "script/builtins/registry.h"
#include "script/compiler/compile.h"
#include "script/compiler/compiler_state.h"
#include "script/compiler/lexer.h"
#include "script/compiler/parser.h"
#include "script/vm/context.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>

namespace zelph {
namespace {

std::string GeneratedSource(std::size_t bytes)
{
    const char* block = R"(
// a block of everyday code
function update%d(items, limit) {
    var total = 0, count = 0;
    for (var i = 0; i < items.length; i++) {
        if (items[i].value > limit && !items[i].hidden) {
            total += items[i].value * 1.5;
            count++;
        } else {
            trace("skipped " + i + ": " + items[i].name);
        }
    }
    return { total: total, count: count, ratio: count ? total / count : 0 };
}
result%d = update%d([{value: 3, name: 'a'}, {value: 0x1F, name: "b\tc"}], 2);
)";
    std::string source;
    char buffer[2048];
    for (int n = 0; source.size() < bytes; ++n) {
        int len = std::snprintf(buffer, sizeof buffer, block, n, n, n);
        source.append(buffer, static_cast<std::size_t>(len));
    }
    return source;
}

void BM_LexAndParse(benchmark::State& state)
{
    ContextPtr ctx(CreateContext(kDefaultStackSize, 0, false, StandardRegistrations()));
    RegisterKeywords(ctx.get());
    const std::string source = GeneratedSource(5u << 20);
    for (auto _ : state) {
        auto stream = ScriptStream::OpenString(source);
        CompilerState compile(ctx.get(), stream.get(), 0);
        ParseProgram(compile);
        benchmark::DoNotOptimize(compile.main.count);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}
BENCHMARK(BM_LexAndParse)->Unit(benchmark::kMillisecond);

// The same in a fresh context each time: no arena blocks to reuse, every page
// of the tree is new memory (a program's first compilation).
void BM_LexAndParseCold(benchmark::State& state)
{
    const std::string source = GeneratedSource(5u << 20);
    for (auto _ : state) {
        ContextPtr ctx(CreateContext(kDefaultStackSize, 0, false, StandardRegistrations()));
        RegisterKeywords(ctx.get());
        auto stream = ScriptStream::OpenString(source);
        CompilerState compile(ctx.get(), stream.get(), 0);
        ParseProgram(compile);
        benchmark::DoNotOptimize(compile.main.count);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}
BENCHMARK(BM_LexAndParseCold)->Unit(benchmark::kMillisecond);

// The peer: the cheapest possible pass over the same bytes through the same
// stream (read every byte, count line feeds).
void BM_LexAndParsePeer(benchmark::State& state)
{
    const std::string source = GeneratedSource(5u << 20);
    for (auto _ : state) {
        auto stream = ScriptStream::OpenString(source);
        int lines = 0;
        for (int c = stream->ReadByte(); c; c = stream->ReadByte())
            lines += c == '\n';
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}
BENCHMARK(BM_LexAndParsePeer)->Unit(benchmark::kMillisecond);

// The whole compilation: parse, generate, optimize, write the module.
void BM_Compile(benchmark::State& state)
{
    ContextPtr ctx(CreateContext(kDefaultStackSize, 0, false, StandardRegistrations()));
    const std::string source = GeneratedSource(5u << 20);
    std::size_t moduleSize = 0;
    for (auto _ : state) {
        auto module = CompileString(ctx.get(), source, 0);
        moduleSize = module ? module->size() : 0;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
    state.counters["module_MiB"] = static_cast<double>(moduleSize) / (1 << 20);
}
BENCHMARK(BM_Compile)->Unit(benchmark::kMillisecond);

// One compilation in a fresh process (run it alone): how far the resident set
// grows while compiling, the module included.
void BM_CompilePeakMemory(benchmark::State& state)
{
    const std::string source = GeneratedSource(5u << 20);
    ContextPtr ctx(CreateContext(kDefaultStackSize, 0, false, StandardRegistrations()));
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    for (auto _ : state) {
        auto module = CompileString(ctx.get(), source, 0);
        benchmark::DoNotOptimize(module);
    }
    getrusage(RUSAGE_SELF, &after);
    state.counters["peak_MiB"] = static_cast<double>(after.ru_maxrss - before.ru_maxrss) / 1024;
}
BENCHMARK(BM_CompilePeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace zelph

BENCHMARK_MAIN();
