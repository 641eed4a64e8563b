// Template part of error.h.
#pragma once

#include <cstddef>
#include <new>

namespace zelph {

struct Value;

void SetOutOfMemoryMessage(Context* ctx);

// The host-level handler record of a protected call: pushed on the handler
// chain for the call's duration; on failure the VM stack pointer, the script
// frames and the handler records above it are dropped.
class ProtectedScope {
public:
    explicit ProtectedScope(Context* ctx);
    ~ProtectedScope();
    ProtectedScope(const ProtectedScope&) = delete;
    ProtectedScope& operator=(const ProtectedScope&) = delete;
    void Restore();

private:
    Context* ctx_;
    Value* sp_;
    std::size_t frames_;
    std::size_t handler_;
};

template <typename Fn>
bool Protected(Context* ctx, Fn&& fn)
{
    ProtectedScope scope(ctx);
    try {
        fn();
        return true;
    } catch (const RuntimeError&) {
        scope.Restore();
        return false;
    } catch (const std::bad_alloc&) {
        SetOutOfMemoryMessage(ctx);
        scope.Restore();
        return false;
    }
}

} // namespace zelph
