// The compiler's arena: bump allocation in 1 MiB blocks, released all at once
// when the compilation ends (or rewound to be filled again). Released blocks go
// to the context's pool (up to a limit) so that the next compilation reuses
// memory it already has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zelph {

struct Context;

inline constexpr std::size_t kArenaBlockSize = std::size_t(1) << 20;
inline constexpr std::size_t kArenaPoolBlocks = 32;  // kept between compilations

class Arena {
public:
    explicit Arena(Context* ctx) : ctx_(ctx) {}
    ~Arena();
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    void* Allocate(std::size_t size, std::size_t align)
    {
        std::size_t offset = (reinterpret_cast<std::uintptr_t>(next_) + (align - 1)) & ~(align - 1);
        char* p = reinterpret_cast<char*>(offset);
        if (p + size > end_)
            return AllocateSlow(size, align);
        next_ = p + size;
        return p;
    }
    // Forgets everything allocated so far; the blocks are filled again.
    void Rewind();

private:
    void* AllocateSlow(std::size_t size, std::size_t align);

    Context* ctx_;
    char* next_ = nullptr;
    char* end_ = nullptr;
    std::vector<void*> blocks_;  // whole blocks, back to the pool at the end
    std::size_t current_ = 0;    // the block being filled (with next_ and end_)
    std::vector<void*> large_;   // requests of more than a quarter block
};

} // namespace zelph
