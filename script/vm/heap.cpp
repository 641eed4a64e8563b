#include "script/vm/heap.h"

#include "script/vm/context.h"
#include "script/vm/error.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace zelph {
namespace {

constexpr std::uint64_t kMarkBit = 1;
constexpr std::uint64_t kFinalBit = 2;
constexpr std::uint64_t kLateBit = 4;
constexpr int kFlagBits = 3;

std::uint64_t& Header(const void* payload)
{
    return *reinterpret_cast<std::uint64_t*>(const_cast<char*>(static_cast<const char*>(payload)) - kBlockHeaderSize);
}

std::size_t SizeOfHeader(std::uint64_t header)
{
    return static_cast<std::size_t>(header >> kFlagBits);
}

void*& FreeLink(void* payload)
{
    return *static_cast<void**>(payload);
}

[[noreturn]] void OutOfMemory(Context* ctx)
{
    RaiseError(ctx, "Out of memory");
}

// The payload size a request is served with: a power of two, at least 8.
std::size_t RoundRequest(Context* ctx, std::size_t n)
{
    if (n > kMaxBlockSize / 2)
        OutOfMemory(ctx);
    return std::max(kMinBlockSize, std::bit_ceil(n));
}

void PushFree(HeapState& heap, void* payload, std::size_t size)
{
    Header(payload) = static_cast<std::uint64_t>(size) << kFlagBits;
    int c = SizeClass(size);
    FreeLink(payload) = heap.freeLists[c];
    heap.freeLists[c] = payload;
    heap.freeBytes += size;
}

// A first-fit block of at least size bytes, unlinked from its list, or null.
void* TakeFree(HeapState& heap, std::size_t size)
{
    for (int c = SizeClass(size); c < kSizeClasses; ++c) {
        void** link = &heap.freeLists[c];
        for (void* p = *link; p; link = &FreeLink(p), p = *link) {
            if (SizeOfHeader(Header(p)) >= size) {
                *link = FreeLink(p);
                heap.freeBytes -= SizeOfHeader(Header(p));
                return p;
            }
        }
    }
    return nullptr;
}

void AddChunk(Context* ctx, std::size_t request)
{
    std::size_t size = ChunkSizeFor(request);
    auto* chunk = static_cast<Chunk*>(std::malloc(size));
    if (!chunk)
        OutOfMemory(ctx);
    HeapState& heap = ctx->heap;
    chunk->next = heap.chunks;
    chunk->usable = size - kChunkHeaderSize;
    heap.chunks = chunk;
    heap.totalBytes += size;
    char* first = reinterpret_cast<char*>(chunk) + kChunkHeaderSize + kBlockHeaderSize;
    PushFree(heap, first, chunk->usable - kBlockHeaderSize);
}

// Calls fn(payload, header) for every block of every chunk, in address order
// within each chunk.
template <typename Fn>
void ForEachBlock(HeapState& heap, Fn&& fn)
{
    for (Chunk* chunk = heap.chunks; chunk; chunk = chunk->next) {
        char* end = reinterpret_cast<char*>(chunk) + kChunkHeaderSize + chunk->usable;
        char* p = reinterpret_cast<char*>(chunk) + kChunkHeaderSize + kBlockHeaderSize;
        while (p < end) {
            std::size_t size = SizeOfHeader(Header(p));
            fn(p, Header(p), end);
            p += size + kBlockHeaderSize;
        }
    }
}

void RunFinalizers(HeapState& heap, bool late)
{
    ForEachBlock(heap, [late](char* p, std::uint64_t& header, char*) {
        if ((header & (kMarkBit | kFinalBit)) == kFinalBit && bool(header & kLateBit) == late) {
            header &= ~(kFinalBit | kLateBit);
            Finalizer fn = *reinterpret_cast<Finalizer*>(p);
            if (fn)
                fn(p);
        }
    });
}

} // namespace

int SizeClass(std::size_t size)
{
    if (size < 8)
        return 0;
    return std::min(static_cast<int>(std::bit_width(size)) - 1 - 2, kSizeClasses - 1);
}

std::size_t ChunkSizeFor(std::size_t n)
{
    std::size_t needed = n + kChunkHeaderSize + kBlockHeaderSize;
    return needed > kChunkSize ? needed : kChunkSize;
}

void* HeapAlloc(Context* ctx, std::size_t n)
{
    std::size_t a = RoundRequest(ctx, n);
    HeapState& heap = ctx->heap;
    void* p = TakeFree(heap, a);
    if (!p) {
        AddChunk(ctx, a);
        p = TakeFree(heap, a);
    }
    std::size_t size = SizeOfHeader(Header(p));
    if (size > a + kBlockHeaderSize) {
        PushFree(heap, static_cast<char*>(p) + a + kBlockHeaderSize, size - a - kBlockHeaderSize);
        size = a;
    }
    Header(p) = static_cast<std::uint64_t>(size) << kFlagBits;
    heap.allocatedSinceCollect += size;
    return p;
}

void* HeapAllocFinal(Context* ctx, std::size_t n)
{
    n = std::max(n, sizeof(Finalizer));
    void* p = HeapAlloc(ctx, n);
    std::memset(p, 0, n);
    Header(p) |= kFinalBit;
    return p;
}

void SetLateFinalizer(void* block)
{
    Header(block) |= kLateBit;
}

void HeapFree(Context* ctx, void* block)
{
    if (block)
        PushFree(ctx->heap, block, BlockSize(block));
}

void* HeapRealloc(Context* ctx, void* block, std::size_t n)
{
    if (!block)
        return HeapAlloc(ctx, n);
    std::size_t old = BlockSize(block);
    if (old >= n)
        return block;
    void* p = HeapAlloc(ctx, n);
    std::memcpy(p, block, old);
    HeapFree(ctx, block);
    return p;
}

std::size_t BlockSize(const void* block)
{
    return SizeOfHeader(Header(block));
}

bool Mark(void* block)
{
    if (!block)
        return false;
    std::uint64_t& h = Header(block);
    if (h & kMarkBit)
        return false;
    h |= kMarkBit;
    return true;
}

bool IsMarked(const void* block)
{
    return Header(block) & kMarkBit;
}

std::size_t Sweep(Context* ctx)
{
    HeapState& heap = ctx->heap;
    std::fill(std::begin(heap.freeLists), std::end(heap.freeLists), nullptr);
    heap.freeBytes = 0;
    heap.allocatedSinceCollect = 0;

    // Finalizers first, while every block is still intact: instances before the
    // class descriptors their finalize operations read.
    RunFinalizers(heap, false);
    RunFinalizers(heap, true);

    std::size_t live = 0;
    char* run = nullptr;  // start of the current run of unmarked blocks
    ForEachBlock(heap, [&](char* p, std::uint64_t& header, char* chunkEnd) {
        std::size_t size = SizeOfHeader(header);
        if (header & kMarkBit) {
            header &= ~kMarkBit;
            live += size;
            run = nullptr;
            return;
        }
        if (!run)
            run = p;
        // Close the run at the chunk's end or before a live block.
        char* next = p + size + kBlockHeaderSize;
        if (next >= chunkEnd || (Header(next) & kMarkBit)) {
            PushFree(heap, run, static_cast<std::size_t>(p + size - run));
            run = nullptr;
        }
    });
    return live;
}

void ReleaseHeap(Context* ctx)
{
    HeapState& heap = ctx->heap;
    for (Chunk* chunk = heap.chunks; chunk;) {
        Chunk* next = chunk->next;
        std::free(chunk);
        chunk = next;
    }
    heap = HeapState();
}

void* VmAlloc(Context* ctx, std::size_t n)
{
    void* p = std::malloc(n ? n : 1);
    if (!p && ctx)
        OutOfMemory(ctx);
    return p;
}

void* VmAllocZeroed(Context* ctx, std::size_t count, std::size_t size)
{
    void* p = std::calloc(count ? count : 1, size ? size : 1);
    if (!p && ctx)
        OutOfMemory(ctx);
    return p;
}

void* VmRealloc(Context* ctx, void* block, std::size_t n)
{
    void* p = std::realloc(block, n ? n : 1);
    if (!p && ctx)
        OutOfMemory(ctx);
    return p;
}

void VmFree(void* block)
{
    std::free(block);
}

char* VmDupText(Context* ctx, const char* text)
{
    std::size_t n = std::strlen(text) + 1;
    auto* p = static_cast<char*>(VmAlloc(ctx, n));
    if (p)
        std::memcpy(p, text, n);
    return p;
}

char16_t* VmDupWideText(Context* ctx, const char16_t* text)
{
    std::size_t n = 0;
    while (text[n])
        ++n;
    auto* p = static_cast<char16_t*>(VmAlloc(ctx, (n + 1) * sizeof(char16_t)));
    if (p)
        std::memcpy(p, text, (n + 1) * sizeof(char16_t));
    return p;
}

} // namespace zelph
