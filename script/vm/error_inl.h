// Template part of error.h.
#pragma once

#include <new>

namespace zelph {

void SetOutOfMemoryMessage(Context* ctx);

template <typename Fn>
bool Protected(Context* ctx, Fn&& fn)
{
    try {
        fn();
        return true;
    } catch (const RuntimeError&) {
        return false;
    } catch (const std::bad_alloc&) {
        SetOutOfMemoryMessage(ctx);
        return false;
    }
}

} // namespace zelph
