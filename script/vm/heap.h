// The collected heap: a mark-and-sweep block heap owned by a Script context, and
// the checked process-heap wrappers.
//
// Chunks come from the process heap (kChunkSize bytes, or a chunk of their own for
// requests near or above that). A chunk holds blocks; each block is an 8-byte
// header (payload size << 3 | flags) followed by its payload, 8-aligned. Free
// blocks sit on 20 lists by size class and keep the next free block in their first
// payload word. Blocks with a finalizer keep the finalizer in their first payload
// word; the sweep calls it with the payload when it frees the block.
#pragma once

#include "script/vm/vm_config.h"

#include <cstddef>
#include <cstdint>

namespace zelph {

struct Context;

using Finalizer = void (*)(void* payload);

inline constexpr std::size_t kBlockHeaderSize = 8;
inline constexpr std::size_t kChunkHeaderSize = 16;
inline constexpr std::size_t kMinBlockSize = 8;  // room for a free-list link

struct Chunk {
    Chunk* next;            // newest first
    std::uint64_t usable;   // chunk size - kChunkHeaderSize
};

struct HeapState {
    Chunk* chunks = nullptr;
    void* freeLists[kSizeClasses] = {};
    std::size_t totalBytes = 0;            // obtained for chunks
    std::size_t threshold = kCollectThreshold;
    std::size_t allocatedSinceCollect = 0;
    std::size_t freeBytes = 0;
    std::size_t collections = 0;
};

// The size class of a payload size: 0 below 8, else floor(log2 s) - 2, at most 19.
int SizeClass(std::size_t size);
// The chunk size obtained for a request of n bytes.
std::size_t ChunkSizeFor(std::size_t n);

// Collected heap. HeapAlloc raises "Out of memory" (never returns null) and never
// collects.
void* HeapAlloc(Context* ctx, std::size_t n);
// Cleared to zero, with the finalizer bit set; the caller stores the finalizer in
// the first payload word.
void* HeapAllocFinal(Context* ctx, std::size_t n);
void HeapFree(Context* ctx, void* block);
void* HeapRealloc(Context* ctx, void* block, std::size_t n);
// The payload size of a block.
std::size_t BlockSize(const void* block);

// Mark bit: Mark sets it and tells whether it was clear (null: false).
bool Mark(void* block);
bool IsMarked(const void* block);

// Frees every unmarked block (finalizers first: the ordinary ones in address
// order, then the late ones of class descriptors) and clears the marks. Returns
// the live byte count.
std::size_t Sweep(Context* ctx);
// Marks a block as one whose finalizer runs after all ordinary finalizers of the
// same sweep (class descriptors: instances still use their class in finalize).
void SetLateFinalizer(void* block);
// Releases every chunk (after a final sweep).
void ReleaseHeap(Context* ctx);

// Process heap, checked: failure raises "Out of memory" with a context and
// returns null without one.
void* VmAlloc(Context* ctx, std::size_t n);
void* VmAllocZeroed(Context* ctx, std::size_t count, std::size_t size);
void* VmRealloc(Context* ctx, void* block, std::size_t n);
void VmFree(void* block);
char* VmDupText(Context* ctx, const char* text);
char16_t* VmDupWideText(Context* ctx, const char16_t* text);

} // namespace zelph
