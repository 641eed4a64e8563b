// Micro-benchmarks of the VM core, each beside a peer that does the same work
// with standard means (bench/run prints the ratios).
#include "script/builtins/registry.h"
#include "script/vm/atoms.h"
#include "script/vm/context.h"
#include "script/vm/heap.h"
#include "script/vm/loader.h"
#include "script/vm/module.h"
#include "script/vm/opcodes.h"
#include "script/vm/operators.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

namespace zelph {
namespace {

ContextPtr NewContext()
{
    return ContextPtr(CreateContext(kDefaultStackSize, 0, false, StandardRegistrations()));
}

// Integer addition through the operator against the bare machine addition.
void BM_AddIntegers(benchmark::State& state)
{
    ContextPtr ctx = NewContext();
    Value a = Value::Integer(1), b = Value::Integer(3);
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        a = OpAdd(ctx.get(), a, b);
    }
    benchmark::DoNotOptimize(a);
}
BENCHMARK(BM_AddIntegers);

void BM_AddIntegersPeer(benchmark::State& state)
{
    std::int64_t a = 1, b = 3;
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        a = static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
    }
    benchmark::DoNotOptimize(a);
}
BENCHMARK(BM_AddIntegersPeer);

void BM_CompareIntegers(benchmark::State& state)
{
    ContextPtr ctx = NewContext();
    Value a = Value::Integer(1), b = Value::Integer(3);
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(OpCompare(ctx.get(), a, b, Relation::kLess));
    }
}
BENCHMARK(BM_CompareIntegers);

// The same sum through the general path (a float operand).
void BM_AddMixed(benchmark::State& state)
{
    ContextPtr ctx = NewContext();
    Value a = Value::Integer(1), b = Value::Float(3);
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(OpAdd(ctx.get(), a, b));
    }
}
BENCHMARK(BM_AddMixed);

// Copying Values: two words each.
void BM_CopyValues(benchmark::State& state)
{
    std::vector<Value> from(1024, Value::Integer(7)), to(1024);
    for (auto _ : state) {
        for (std::size_t i = 0; i < from.size(); ++i)
            to[i] = from[i];
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(BM_CopyValues);

std::vector<std::string> Names()
{
    std::vector<std::string> names;
    for (int i = 0; i < 2000; ++i)
        names.push_back("identifier" + std::to_string(i));
    return names;
}

void BM_InternExisting(benchmark::State& state)
{
    ContextPtr ctx = NewContext();
    std::vector<std::string> names = Names();
    for (const std::string& n : names)
        InternAtom(ctx.get(), n);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(InternAtom(ctx.get(), names[i]));
        i = (i + 1) % names.size();
    }
}
BENCHMARK(BM_InternExisting);

void BM_InternExistingPeer(benchmark::State& state)
{
    std::vector<std::string> names = Names();
    std::unordered_map<std::string_view, std::uint32_t> table;
    for (const std::string& n : names)
        table.emplace(n, static_cast<std::uint32_t>(table.size()));
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.find(names[i])->second);
        i = (i + 1) % names.size();
    }
}
BENCHMARK(BM_InternExistingPeer);

void BM_SmallAllocFree(benchmark::State& state)
{
    ContextPtr ctx = NewContext();
    for (auto _ : state) {
        void* p = HeapAlloc(ctx.get(), 24);
        benchmark::DoNotOptimize(p);
        HeapFree(ctx.get(), p);
    }
}
BENCHMARK(BM_SmallAllocFree);

void BM_SmallAllocFreePeer(benchmark::State& state)
{
    for (auto _ : state) {
        void* p = std::malloc(24);
        benchmark::DoNotOptimize(p);
        std::free(p);
    }
}
BENCHMARK(BM_SmallAllocFreePeer);

// A tight integer loop assembled by hand: i = 0; do i = i + 1; while (i < n);
// five instructions per iteration. Reports instructions per second.
void BM_InterpreterLoop(benchmark::State& state)
{
    ContextPtr ctx = NewContext();
    const std::int64_t n = 1'000'000;
    std::vector<std::uint8_t> code = {
        OP_PUSH0,                       // 0: i
        OP_INC,                         // 1: loop: i + 1
        OP_DUP,                         // 2
        OP_PUSHCONST, 0, 0, 0, 0,       // 3: n
        OP_LT,                          // 8
        OP_JT, 0xFF, 0xFF, 0xFF, 0xF3,  // 9: to byte 1, 13 bytes back from the end (14)
        OP_RET,
    };
    std::vector<std::uint8_t> constants = {kConstInteger, 0, 0, 0, 0};
    AppendU32BE(constants, static_cast<std::uint32_t>(n));
    std::vector<std::uint8_t> functions = {0, 0, 0, 1, '.', 'm', 'a', 'i', 'n', 0, 0, 0, 0, 0};
    const std::uint32_t tags[4] = {};
    std::vector<std::uint8_t> bytes = WriteModule(code, constants, functions, {}, tags);
    std::unique_ptr<Module> module = ReadModuleFromMemory(bytes);
    for (auto _ : state) {
        if (!LoadModule(ctx.get(), *module) || ctx->result.i != n)
            state.SkipWithError("loop did not run");
    }
    state.counters["instructions/s"] =
        benchmark::Counter(static_cast<double>(n) * 5 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_InterpreterLoop)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace zelph

BENCHMARK_MAIN();
