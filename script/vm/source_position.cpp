#include "script/vm/source_position.h"

#include "script/vm/code_object.h"
#include "script/vm/context.h"
#include "script/vm/function.h"

#include <functional>

namespace zelph {
namespace {

bool Holds(const CodeObject* code, const std::uint32_t* position)
{
    if (!code || !position || code->slots.empty())
        return false;
    std::less<const std::uint32_t*> before;
    const std::uint32_t* begin = code->slots.data();
    return !before(position, begin) && before(position, begin + code->slots.size());
}

const CodeObject* InValue(const Value& v, const std::uint32_t* position)
{
    return v.tag == kFunction && Holds(v.c->code, position) ? v.c->code : nullptr;
}

const CodeObject* CodeAt(const Context* ctx, const std::uint32_t* position)
{
    if (!position)
        return nullptr;
    for (const Value& v : ctx->globals)
        if (const CodeObject* code = InValue(v, position))
            return code;
    const Value* top = ctx->stack.get() + ctx->stackSize;
    for (const Value* v = ctx->sp + 1; v < top; ++v)
        if (const CodeObject* code = InValue(*v, position))
            return code;
    for (auto f = ctx->frames.rbegin(); f != ctx->frames.rend(); ++f)
        if (f->closure && Holds(f->closure->code, position))
            return f->closure->code;
    return InValue(ctx->fault, position);
}

} // namespace

std::string FunctionNameAt(const Context* ctx, const std::uint32_t* position)
{
    const CodeObject* code = CodeAt(ctx, position);
    return code ? code->name : ".main";
}

SourceLocation SourcePosition(const Context* ctx)
{
    SourceLocation where;
    const CodeObject* code = CodeAt(ctx, ctx->savedIp);
    if (!code || !code->fileName)
        return where;
    where.file = *code->fileName;
    const auto slot = static_cast<std::uint32_t>(ctx->savedIp - code->slots.data());
    for (const LineRecord& record : code->lines) {
        if (record.slot > slot)
            break;
        where.line = record.line;
    }
    return where;
}

void DropFrames(Context* ctx, std::size_t keep)
{
    auto& frames = ctx->frames;
    if (frames.size() <= keep)
        return;
    for (std::size_t i = frames.size(); i-- > keep;) {
        Closure* closure = frames[i].closure;
        if (closure && Holds(closure->code, ctx->savedIp)) {
            ctx->fault = Value::Function(closure);
            break;
        }
    }
    frames.erase(frames.begin() + static_cast<std::ptrdiff_t>(keep), frames.end());
}

} // namespace zelph
