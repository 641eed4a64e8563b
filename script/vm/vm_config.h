// Tunable limits of the script virtual machine, in one place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelph {

// Collected heap.
inline constexpr std::size_t kChunkSize = 102400;            // bytes obtained from the process heap per chunk
inline constexpr std::size_t kCollectThreshold = 0x200000;   // bytes allocated between collections
inline constexpr int kSizeClasses = 20;                       // free lists, by power of two
// No heap block reaches 1 GiB: the header arithmetic and the power-of-two
// rounding stay exact, and scripts cannot ask for absurd sizes.
inline constexpr std::size_t kMaxBlockSize = std::size_t(1) << 30;
// Longest string, in code units (2 bytes each, under the block limit).
inline constexpr std::uint32_t kMaxStringLength = std::uint32_t(1) << 29;

// Atoms and globals.
inline constexpr int kAtomBuckets = 256;
inline constexpr std::size_t kGlobalGrowth = 1024;           // global slots added at a time
inline constexpr std::size_t kConstantGrowth = 1024;         // constant table entries added at a time

// Objects.
inline constexpr int kNameIndexBuckets = 128;
// Positional (integer-key) writes beyond this slot count are refused with
// "Out of memory": an object is a slot array, not a sparse table.
inline constexpr std::int64_t kMaxPositionalSlots = std::int64_t(1) << 24;

// Arrays: the chain count that fixes the order in which elements are gathered.
inline constexpr std::uint64_t kArrayChains = 127;

// Context.
inline constexpr std::size_t kMessageBufferSize = 1024;      // message buffer, bytes with the NUL
inline constexpr int kTypeClassCount = 16;                   // one per tag 0..15
inline constexpr std::uint32_t kDefaultStackSize = 4096;     // VM stack, in Values

// Native code that converts values recursively (array joins inside joins)
// stops at this depth with "stack overflow" instead of exhausting the host stack.
inline constexpr int kMaxNativeDepth = 200;

} // namespace zelph
