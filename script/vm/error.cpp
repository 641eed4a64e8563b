#include "script/vm/error.h"

#include "script/vm/context.h"
#include "script/vm/source_position.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace zelph {
namespace {

std::string Vformat(const char* format, va_list args)
{
    char buffer[kMessageBufferSize];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(buffer, sizeof buffer, format, copy);
    va_end(copy);
    if (n < 0)
        return {};
    if (static_cast<std::size_t>(n) < sizeof buffer)
        return std::string(buffer, static_cast<std::size_t>(n));
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, args);
    big.resize(static_cast<std::size_t>(n));
    return big;
}

} // namespace

ProtectedScope::ProtectedScope(Context* ctx)
    : ctx_(ctx), sp_(ctx->sp), frames_(ctx->frames.size()), handler_(ctx->handlers.size())
{
    ctx->handlers.push_back({false, nullptr, 0, nullptr});
}

ProtectedScope::~ProtectedScope()
{
    if (ctx_->handlers.size() > handler_)
        ctx_->handlers.resize(handler_);
}

void ProtectedScope::Restore()
{
    ctx_->sp = sp_;
    DropFrames(ctx_, frames_);
}

void SetMessage(Context* ctx, std::string_view text)
{
    std::size_t n = std::min(text.size(), kMessageBufferSize - 1);
    std::memcpy(ctx->message, text.data(), n);
    ctx->message[n] = '\0';
}

void SetMessageFormat(Context* ctx, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = Vformat(format, args);
    va_end(args);
    SetMessage(ctx, text);
}

const char* Message(const Context* ctx)
{
    return ctx->message;
}

void SetOutOfMemoryMessage(Context* ctx)
{
    SetMessage(ctx, "Runtime error: Out of memory");
}

[[noreturn]] void RaiseRuntimeError(Context* ctx)
{
    // Formatted apart from the buffer it reads.
    std::string text = std::string("Runtime error: ") + ctx->message;
    SetMessage(ctx, text);
    throw RuntimeError{};
}

[[noreturn]] void RaiseError(Context* ctx, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = Vformat(format, args);
    va_end(args);
    SetMessage(ctx, text);
    RaiseRuntimeError(ctx);
}

void Warn(Context* ctx, std::string_view text)
{
    if (!ctx->traceFile)
        return;
    std::fwrite(text.data(), 1, text.size(), ctx->traceFile);
    std::fwrite("\r\n", 1, 2, ctx->traceFile);
    std::fflush(ctx->traceFile);
}

void WarnFormat(Context* ctx, const char* format, ...)
{
    if (!ctx->traceFile)
        return;
    va_list args;
    va_start(args, format);
    std::string text = Vformat(format, args);
    va_end(args);
    Warn(ctx, text);
}

} // namespace zelph
