#include "script/vm/context.h"

#include "script/vm/error.h"
#include "script/vm/interp.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zelph {
namespace {

// ZELPH_GC_STRESS set to anything but "" or "0": collect at every safe point.
bool GcStressRequested()
{
    const char* v = std::getenv("ZELPH_GC_STRESS");
    return v && *v && std::strcmp(v, "0") != 0;
}

} // namespace

Context::~Context()
{
    ReleaseHeap(this);
    for (void* block : spareBlocks)
        std::free(block);
}

Context* CreateContext(std::uint32_t stackSize, std::uint64_t userValue, bool optionBit0,
                       std::span<const Registration> registrations)
{
    std::unique_ptr<Context> ctx;
    try {
        ctx = std::make_unique<Context>();
        ctx->stackSize = std::max<std::uint32_t>(stackSize, 16);
        ctx->stack = std::make_unique<Value[]>(ctx->stackSize);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    ctx->userValue = userValue;
    ctx->options = (optionBit0 ? kOptionBit0 : 0) | kOptionWarnUndefined;
    ctx->sp = ctx->stack.get() + ctx->stackSize - 1;
    ctx->heap.threshold = kCollectThreshold;
    ctx->gcStress = GcStressRequested();
    ctx->callFunction = CallFunctionValue;

    bool ok = Protected(ctx.get(), [&] {
        for (const char* name : {"__proto__", "prototype", "toSource", "toString", "valueOf"})
            InternAtom(ctx.get(), name);
        for (Registration registration : registrations)
            registration(ctx.get());
    });
    if (!ok) {
        DestroyContext(ctx.release());
        return nullptr;
    }
    return ctx.release();
}

void DestroyContext(Context* ctx)
{
    if (!ctx)
        return;
    // Nothing is marked: every finalizer runs.
    Sweep(ctx);
    ReleaseHeap(ctx);
    delete ctx;
}

NativeDepthGuard::NativeDepthGuard(Context* ctx) : ctx_(ctx)
{
    if (++ctx_->nativeDepth > kMaxNativeDepth) {
        --ctx_->nativeDepth;
        RaiseError(ctx, "stack overflow");
    }
}

} // namespace zelph
