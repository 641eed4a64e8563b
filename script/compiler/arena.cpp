#include "script/compiler/arena.h"

#include "script/vm/context.h"

#include <cstdlib>
#include <new>

namespace zelph {

Arena::~Arena()
{
    auto& pool = ctx_->spareBlocks;
    for (void* block : blocks_) {
        if (pool.size() < kArenaPoolBlocks)
            pool.push_back(block);
        else
            std::free(block);
    }
    for (void* p : large_)
        std::free(p);
}

void Arena::Rewind()
{
    for (void* p : large_)
        std::free(p);
    large_.clear();
    current_ = 0;
    next_ = blocks_.empty() ? nullptr : static_cast<char*>(blocks_[0]);
    end_ = next_ ? next_ + kArenaBlockSize : nullptr;
}

void* Arena::AllocateSlow(std::size_t size, std::size_t align)
{
    if (size > kArenaBlockSize / 4) {
        void* p = std::malloc(size + align);
        if (!p)
            throw std::bad_alloc();
        large_.push_back(p);
        std::uintptr_t aligned = (reinterpret_cast<std::uintptr_t>(p) + (align - 1)) & ~(align - 1);
        return reinterpret_cast<void*>(aligned);
    }
    void* block;
    auto& pool = ctx_->spareBlocks;
    if (next_ && current_ + 1 < blocks_.size()) {
        block = blocks_[++current_];  // filled before a rewind
        next_ = static_cast<char*>(block);
        end_ = next_ + kArenaBlockSize;
        return Allocate(size, align);
    }
    if (!pool.empty()) {
        block = pool.back();
        pool.pop_back();
    } else if (!(block = std::malloc(kArenaBlockSize))) {
        throw std::bad_alloc();
    }
    blocks_.push_back(block);
    current_ = blocks_.size() - 1;
    next_ = static_cast<char*>(block);
    end_ = next_ + kArenaBlockSize;
    return Allocate(size, align);
}

} // namespace zelph
