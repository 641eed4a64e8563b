#include "script/vm/collector.h"

#include "script/vm/array.h"
#include "script/vm/context.h"
#include "script/vm/function.h"
#include "script/vm/heap.h"
#include "script/vm/native_class.h"
#include "script/vm/object.h"
#include "script/vm/string_record.h"

namespace zelph {
namespace {

// Marks the blocks a newly marked record refers to and queues the Values in it.
void ScanRecord(Context* ctx, const Value& v)
{
    switch (v.tag) {
    case kString: {
        StringRecord* s = v.s;
        if (!(s->flags & (kStringStatic | kStringInlineText)))
            Mark(s->text);
        if (s->props)
            MarkObject(ctx, s->props);
        break;
    }
    case kObject: {
        ObjectRecord* o = v.o;
        Mark(o->slots);
        Mark(NameIndexBlock(o));
        for (std::uint32_t i = 0; i < o->slotCount; ++i)
            MarkValue(ctx, o->slots[i].value);
        break;
    }
    case kArray: {
        ArrayRecord* a = v.a;
        Mark(ElementTableBlock(a));
        ForEachElementValue(a, [ctx](const Value& e) { MarkValue(ctx, e); });
        if (a->props)
            MarkObject(ctx, a->props);
        break;
    }
    case kNative: {
        NativeInstance* n = v.n;
        MarkClass(ctx, n->cls);
        if (n->props)
            MarkObject(ctx, n->props);
        if (n->cls->trace)
            n->cls->trace(ctx, n->cls, n->data);
        break;
    }
    case kFunction:
        Mark(v.c->code);
        if (v.c->props)
            MarkObject(ctx, v.c->props);
        break;
    default:
        break;
    }
}

void Drain(Context* ctx)
{
    while (!ctx->markStack.empty()) {
        Value v = ctx->markStack.back();
        ctx->markStack.pop_back();
        ScanRecord(ctx, v);
    }
}

} // namespace

void MarkValue(Context* ctx, const Value& v)
{
    switch (v.tag) {
    case kString:
    case kObject:
    case kArray:
    case kNative:
    case kFunction:
        if (Mark(v.p))
            ctx->markStack.push_back(v);
        break;
    default:
        break;
    }
}

void MarkObject(Context* ctx, ObjectRecord* o)
{
    if (o)
        MarkValue(ctx, Value::Object(o));
}

void MarkClass(Context* ctx, NativeClass* cls)
{
    if (cls && Mark(cls))
        MarkObject(ctx, cls->prototype);
}

std::size_t Collect(Context* ctx)
{
    ++ctx->heap.collections;
    for (const Value& v : ctx->constants)
        MarkValue(ctx, v);
    for (const Value& v : ctx->globals)
        MarkValue(ctx, v);
    for (NativeClass* cls : ctx->typeClasses)
        MarkClass(ctx, cls);
    if (ctx->stack)
        for (Value* v = ctx->sp + 1; v < ctx->stack.get() + ctx->stackSize; ++v)
            MarkValue(ctx, *v);
    MarkValue(ctx, ctx->result);
    MarkValue(ctx, ctx->thrown);
    MarkValue(ctx, ctx->fault);
    for (const Value* v : ctx->tempRoots)
        MarkValue(ctx, *v);
    // Running functions stay alive even when no global holds them any more.
    for (const Frame& frame : ctx->frames) {
        if (frame.closure)
            MarkValue(ctx, Value::Function(frame.closure));
        for (const Value& v : frame.withList)
            MarkValue(ctx, v);
    }
    Drain(ctx);
    return Sweep(ctx);
}

bool SafePoint(Context* ctx)
{
    if (!ctx->gcStress && ctx->heap.allocatedSinceCollect < ctx->heap.threshold)
        return false;
    Collect(ctx);
    return true;
}

} // namespace zelph
