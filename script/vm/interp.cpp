#include "script/vm/interp.h"

#include "script/vm/array.h"
#include "script/vm/atoms.h"
#include "script/vm/code_object.h"
#include "script/vm/collector.h"
#include "script/vm/context.h"
#include "script/vm/conversions.h"
#include "script/vm/error.h"
#include "script/vm/function.h"
#include "script/vm/native_class.h"
#include "script/vm/object.h"
#include "script/vm/opcodes.h"
#include "script/vm/operators.h"
#include "script/vm/property.h"
#include "script/vm/source_position.h"
#include "script/vm/string_record.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>

namespace zelph {
namespace {

// Frame pushes need this many free Values left below the stack pointer.
constexpr std::ptrdiff_t kStackMargin = 10;

struct Registers {
    Value* sp;
    Value* fp;
    const std::uint32_t* ip;
};

Value Internal(std::int32_t tag, std::uint64_t bits = 0)
{
    Value v;
    v.tag = tag;
    v.bits = bits;
    return v;
}

[[noreturn]] void BadBytecode(Context* ctx)
{
    RaiseError(ctx, "Unimplemented Zelph Script bytecode");
}

[[noreturn]] void StackOverflow(Context* ctx)
{
    RaiseError(ctx, "stack overflow");
}

// An argument count laid out by a caller: an integer whose arguments lie inside
// the stack. A negative count (an array literal's) counts its arguments the same.
bool CountFits(const Value& count, std::ptrdiff_t room)
{
    if (count.tag != kInteger || count.i == INT64_MIN)
        return false;
    return (count.i >= 0 ? count.i : -count.i) < room;
}

// Pushes a frame for a script function whose `this` is the top Value (the
// count and the arguments lie above it). Returns the new fp.
Value* PushFrame(Context* ctx, Value* sp, const std::uint32_t* returnTo, Closure* closure)
{
    if (sp - ctx->stack.get() < kStackMargin)
        StackOverflow(ctx);
    Value* end = ctx->stack.get() + ctx->stackSize;
    Value* fp = sp;
    // The count the caller laid out; an argument region outside the stack
    // counts as no arguments (only malformed code produces one).
    std::uint32_t count = 0;
    if (end - fp > 2) {
        const Value& n = fp[2];
        if (n.tag == kInteger && n.i >= 0 && n.i < end - (fp + 2))
            count = static_cast<std::uint32_t>(n.i);
    }
    fp[0] = Internal(kFrameLink);
    fp[-1] = Internal(kFrameInfo, count + 2u);
    fp[-2] = Internal(kFrameLink);
    fp[-3] = Internal(kFrameLink);
    ctx->frames.push_back({fp, returnTo, closure, count, 0, {}});
    return fp;
}

// Drops the handler records made by frames that are gone.
void DropStaleHandlers(Context* ctx, std::size_t handlerBase)
{
    auto& handlers = ctx->handlers;
    while (handlers.size() > handlerBase && handlers.back().isTry && handlers.back().frameCount > ctx->frames.size())
        handlers.pop_back();
}

class Interpreter {
public:
    Interpreter(Context* ctx, std::size_t frameBase, std::size_t handlerBase)
        : ctx_(ctx), base_(ctx->stack.get()), end_(ctx->stack.get() + ctx->stackSize), frameBase_(frameBase),
          handlerBase_(handlerBase)
    {
    }

    // Runs until the run's outermost frame returns, landing throws on this
    // run's try blocks.
    void Execute(Registers r)
    {
        for (;;) {
            try {
                Loop(r);
                return;
            } catch (const RuntimeError& e) {
                if (!Land(r, e.thrown))
                    throw;
            } catch (const std::bad_alloc&) {
                SetOutOfMemoryMessage(ctx_);
                if (!Land(r, false))
                    throw RuntimeError{};
            }
        }
    }

private:
    // Resumes at the innermost handler when it is a try block of this run.
    bool Land(Registers& r, bool thrown)
    {
        auto& handlers = ctx_->handlers;
        if (handlers.size() <= handlerBase_ || !handlers.back().isTry) {
            Abandon();
            return false;
        }
        Handler h = handlers.back();
        handlers.pop_back();
        ctx_->frames.erase(ctx_->frames.begin() + static_cast<std::ptrdiff_t>(h.frameCount), ctx_->frames.end());
        r.sp = h.sp;
        r.fp = ctx_->frames.back().fp;
        r.ip = h.resume;
        ctx_->sp = r.sp;
        Value v = thrown ? ctx_->thrown : StringFromAnsi(ctx_, ctx_->message);
        ctx_->thrown = Value();
        *r.sp-- = v;
        return true;
    }

    void Abandon()
    {
        DropFrames(ctx_, frameBase_);
        if (ctx_->handlers.size() > handlerBase_)
            ctx_->handlers.resize(handlerBase_);
    }

    void Loop(Registers& r);

    bool InStack(const Value* p) const { return p >= base_ && p < end_; }

    Context* ctx_;
    Value* base_;
    Value* end_;
    std::size_t frameBase_;
    std::size_t handlerBase_;
};

// A native method of the receiver's class (or type class); whether handled.
bool NativeMethod(Context* ctx, NativeClass* cls, void* self, Atom name, Value* out, const Value* args)
{
    return cls && cls->method && cls->method(ctx, cls, self, name, out, args);
}

ObjectRecord** PropertyObjectOf(const Value& v)
{
    switch (v.tag) {
    case kString: return &v.s->props;
    case kArray: return &v.a->props;
    case kFunction: return &v.c->props;
    default: return nullptr;
    }
}

// What a method lookup found on a receiver.
struct MethodResult {
    enum { kNone, kNative, kScript } kind = kNone;
    Value value;  // the native result, or the script function
};

// CALLMETH's rules for one receiver. lenientObjects: an object's own non-function
// property goes on to the Object type class (CALLNAME's with-object rule).
MethodResult FindMethod(Context* ctx, const Value& receiver, Atom name, const Value* args, bool lenientObjects)
{
    MethodResult m;
    Value self = receiver;
    switch (receiver.tag) {
    case kObject: {
        Value fn;
        if (ObjectGet(ctx, receiver.o, name, &fn)) {
            if (fn.tag == kFunction) {
                m.kind = MethodResult::kScript;
                m.value = fn;
                return m;
            }
            if (!lenientObjects)
                return m;
        }
        if (NativeMethod(ctx, TypeClass(ctx, kObject), &self, name, &m.value, args))
            m.kind = MethodResult::kNative;
        return m;
    }
    case kNative: {
        NativeInstance* n = receiver.n;
        if (NativeMethod(ctx, n->cls, n->data, name, &m.value, args)) {
            m.kind = MethodResult::kNative;
            return m;
        }
        Value fn;
        if (n->props && ObjectGet(ctx, n->props, name, &fn) && fn.tag == kFunction) {
            m.kind = MethodResult::kScript;
            m.value = fn;
        }
        return m;
    }
    default: {
        NativeClass* cls = TypeClass(ctx, receiver.tag);
        if (!cls)
            return m;
        if (NativeMethod(ctx, cls, &self, name, &m.value, args)) {
            m.kind = MethodResult::kNative;
            return m;
        }
        ObjectRecord** props = PropertyObjectOf(receiver);
        Value fn;
        if (props && *props && ObjectGet(ctx, *props, name, &fn) && fn.tag == kFunction) {
            m.kind = MethodResult::kScript;
            m.value = fn;
        }
        return m;
    }
    }
}

Value GetElement(Context* ctx, const Value& container, const Value& key)
{
    switch (container.tag) {
    case kString: {
        const StringRecord* s = container.s;
        if (key.tag != kInteger) {
            Warn(ctx, "Warning: invalid index for operator []");
            return Value();
        }
        if (key.i >= 0 && key.i < s->length)
            return Value::Integer(s->text[key.i]);
        Warn(ctx, "Warning: string index out of range");
        return Value();
    }
    case kArray: {
        std::int64_t index;
        if (key.tag == kInteger)
            index = key.i;
        else if (key.tag == kFloat)
            index = TruncateToInt64(key.f);
        else {
            Warn(ctx, "Warning: invalid index for operator []");
            return Value();
        }
        if (index < 0 || index >= container.a->length)
            return Value();
        Value* element = ArrayGet(container.a, index);
        return element ? *element : Value();
    }
    case kObject: {
        if (key.tag == kAtom) {
            Value v;
            ObjectGet(ctx, container.o, key.AtomNumber(), &v);
            return v;
        }
        return ObjectGetKeyed(ctx, container.o, key);
    }
    case kNative: {
        NativeClass* cls = container.n->cls;
        if (cls == ctx->activeXClass && cls) {
            Value args[2] = {Value::Integer(1), key};
            Value out;
            if (NativeMethod(ctx, cls, container.n->data, InternAtom(ctx, "Item"), &out, args))
                return out;
            return Value();
        }
        if (key.tag == kInteger)
            return Value();
        if (key.tag == kString) {
            Atom atom = InternAtom(ctx, StringToAnsi(key.s));
            Value v;
            if (GetProperty(ctx, container, atom, &v))
                return v;
            WarnFormat(ctx, "Warning: using undefined property \"%s\"", AtomName(ctx, atom));
            return Value();
        }
        Warn(ctx, "Warning: invalid index for operator []");
        return Value();
    }
    default:
        return Value();
    }
}

void SetProperty(Context* ctx, const Value& target, Atom atom, const Value& value)
{
    switch (target.tag) {
    case kObject:
        ObjectSetOwn(ctx, target.o, atom, value);
        return;
    case kNative: {
        NativeInstance* n = target.n;
        NativeClass* cls = n->cls;
        if (!cls->property) {
            WarnFormat(ctx, "Warning: using undefined property \"%s\"", AtomName(ctx, atom));
            return;
        }
        Value v = value;
        if (cls->property(ctx, cls, n->data, atom, 1, &v))
            return;
        if (atom == kAtomProto) {
            if (value.tag != kObject) {
                WarnFormat(ctx, "Warning: can't set property \"%s\" with a wrong type", AtomName(ctx, atom));
                return;
            }
            if (n->data || n->props)
                n->props = value.o;
            else
                cls->prototype = value.o;
            return;
        }
        ObjectSetOwn(ctx, n->props ? n->props : cls->prototype, atom, value);
        return;
    }
    default: {
        NativeClass* cls = TypeClass(ctx, target.tag);
        if (!cls) {
            WarnFormat(ctx, "Warning: using undefined property \"%s\"", AtomName(ctx, atom));
            return;
        }
        if (cls->property) {
            Value self = target, v = value;
            if (cls->property(ctx, cls, &self, atom, 1, &v))
                return;
        }
        ObjectRecord** place = PropertyObjectOf(target);
        if (atom == kAtomProto) {
            if (!place)
                WarnFormat(ctx, "Warning: using undefined property \"%s\"", AtomName(ctx, atom));
            else if (value.tag != kObject)
                WarnFormat(ctx, "Warning: can't set property \"%s\" with a wrong type", AtomName(ctx, atom));
            else
                *place = value.o;
            return;
        }
        if (!place) {
            WarnFormat(ctx, "Warning: using undefined property \"%s\"", AtomName(ctx, atom));
            return;
        }
        ObjectRecord* o = ValuePropertyObject(ctx, target, true);
        ObjectSetOwn(ctx, o, atom, value);
        return;
    }
    }
}

void SetElement(Context* ctx, const Value& value, const Value& container, const Value& key)
{
    switch (container.tag) {
    case kObject:
        if (key.tag == kAtom)
            ObjectSetOwn(ctx, container.o, key.AtomNumber(), value);
        else
            ObjectSetKeyed(ctx, container.o, key, value);
        return;
    case kArray: {
        std::int64_t index;
        if (key.tag == kInteger)
            index = key.i;
        else if (key.tag == kFloat)
            index = TruncateToInt64(key.f);
        else
            index = -1;
        if (index < 0) {
            Warn(ctx, "Warning: invalid index for operator []");
            return;
        }
        ArrayRecord* a = container.a;
        if ((static_cast<std::uint64_t>(a->length) >> 32) == 0 && index >= a->length)
            a->length = index + 1;
        ArraySet(ctx, a, value, index);
        return;
    }
    case kString: {
        StringRecord* s = container.s;
        if (key.tag != kInteger || key.i < 0 || key.i >= kMaxStringLength) {
            Warn(ctx, "Warning: invalid index for operator []");
            return;
        }
        if (s->IsStatic()) {
            Warn(ctx, "Warning: can't change a static string");
            return;
        }
        char16_t unit;
        if (value.tag == kInteger)
            unit = static_cast<char16_t>(value.i & 0xFF);
        else if (value.tag == kString)
            unit = value.s->length ? value.s->text[0] : u'\0';
        else {
            Warn(ctx, "Warning: can't store a non-charactor value to string");
            return;
        }
        if (key.i >= s->length)
            ResizeStringInPlace(ctx, s, static_cast<std::uint32_t>(key.i) + 1, u' ');
        s->text[key.i] = unit;
        return;
    }
    case kNative:
        if (key.tag == kInteger)
            return;
        if (key.tag == kString) {
            SetProperty(ctx, container, InternAtom(ctx, StringToAnsi(key.s)), value);
            return;
        }
        Warn(ctx, "Warning: invalid index for operator []");
        return;
    default:
        return;
    }
}

// (container, position) to (item, found).
void NextElement(Context* ctx, Value& container, Value& position)
{
    Value item;
    bool found = false;
    if (position.tag == kInteger) {
        std::int64_t n = position.i;
        if (container.tag == kString && n >= 0 && n < container.s->length) {
            item = Value::Integer(container.s->text[n]);
            found = true;
        } else if (container.tag == kArray && n >= 0 && n < container.a->length) {
            Value* e = ArrayGet(container.a, n);
            item = e ? *e : Value();
            found = true;
        } else if (container.tag == kObject) {
            found = ObjectEntryName(ctx, container.o, n, &item);
        }
    }
    container = item;
    position = Value::Boolean(found);
}

void FreeNative(Value& slot)
{
    if (slot.tag == kNative) {
        NativeInstance* n = slot.n;
        if (n->cls->finalize)
            n->cls->finalize(n->cls, n->data);
        n->data = nullptr;
        slot = Value();
    }
}

// The object made by `new F`: its __proto__ is F's property object (made on
// first need with the Object prototype as its own __proto__).
Value ConstructedObject(Context* ctx, Closure* f)
{
    if (!f->props) {
        ObjectRecord* props = NewPropertyObject(ctx, kObject);
        f->props = props;
    }
    ObjectRecord* o = NewObject(ctx);
    ObjectSetOwn(ctx, o, kAtomProto, Value::Object(f->props));
    return Value::Object(o);
}

void Interpreter::Loop(Registers& r)
{
    static void* const dispatch[256] = {
#define ZELPH_LABEL_BAD(i) &&op_bad,
#define ZELPH_BAD16 ZELPH_LABEL_BAD(0) ZELPH_LABEL_BAD(1) ZELPH_LABEL_BAD(2) ZELPH_LABEL_BAD(3) ZELPH_LABEL_BAD(4) \
    ZELPH_LABEL_BAD(5) ZELPH_LABEL_BAD(6) ZELPH_LABEL_BAD(7) ZELPH_LABEL_BAD(8) ZELPH_LABEL_BAD(9) ZELPH_LABEL_BAD(10) \
    ZELPH_LABEL_BAD(11) ZELPH_LABEL_BAD(12) ZELPH_LABEL_BAD(13) ZELPH_LABEL_BAD(14) ZELPH_LABEL_BAD(15)
        // 0x00 - 0x20
        ZELPH_BAD16 ZELPH_BAD16 ZELPH_LABEL_BAD(0)
#define ZELPH_LABEL(code, name, operand) &&op_##name,
        ZELPH_OPCODES(ZELPH_LABEL)
#undef ZELPH_LABEL
        // 0x71 - 0xff
        ZELPH_BAD16 ZELPH_BAD16 ZELPH_BAD16 ZELPH_BAD16 ZELPH_BAD16 ZELPH_BAD16 ZELPH_BAD16 ZELPH_BAD16
        ZELPH_LABEL_BAD(0) ZELPH_LABEL_BAD(1) ZELPH_LABEL_BAD(2) ZELPH_LABEL_BAD(3) ZELPH_LABEL_BAD(4) ZELPH_LABEL_BAD(5)
        ZELPH_LABEL_BAD(6) ZELPH_LABEL_BAD(7) ZELPH_LABEL_BAD(8) ZELPH_LABEL_BAD(9) ZELPH_LABEL_BAD(10) ZELPH_LABEL_BAD(11)
        ZELPH_LABEL_BAD(12) ZELPH_LABEL_BAD(13) ZELPH_LABEL_BAD(14)
#undef ZELPH_BAD16
#undef ZELPH_LABEL_BAD
    };
    static_assert(sizeof dispatch / sizeof dispatch[0] == 256);

    Context* const ctx = ctx_;
    Value* const base_ = this->base_;  // in registers: no store can change them
    Value* const end_ = this->end_;
    Value* sp = r.sp;
    Value* fp = r.fp;
    const std::uint32_t* ip = r.ip;
    std::int32_t a = 0;

#define NEXT() goto* dispatch[*ip++ & 0xFF]
#define OPERAND() (a = static_cast<std::int32_t>(*ip++))
#define SYNC() (ctx->sp = sp, ctx->savedIp = ip, r.sp = sp, r.fp = fp, r.ip = ip)
#define NEED(k)                     \
    do {                            \
        if (sp + (k) >= end_)       \
            goto op_bad;            \
    } while (0)
#define ROOM(k)                     \
    do {                            \
        if (sp - base_ < (k))       \
            goto stack_overflow;    \
    } while (0)
#define PUSH(v)                     \
    do {                            \
        ROOM(1);                    \
        Value pushed_ = (v);        \
        *sp-- = pushed_;            \
    } while (0)
#define TOP sp[1]
#define SAFE_POINT()                                                        \
    do {                                                                    \
        SYNC();                                                             \
        if (SafePoint(ctx) && ctx->hook) {                                  \
            int answer = ctx->hook(2, ctx->hookData);                       \
            if (answer)                                                     \
                RaiseError(ctx, "hook break %d", answer);                   \
        }                                                                   \
    } while (0)
#define BINARY(expr)                \
    do {                            \
        NEED(2);                    \
        SYNC();                     \
        Value result_ = (expr);     \
        ++sp;                       \
        TOP = result_;              \
    } while (0)
#define JUMP_IF(cond)               \
    do {                            \
        OPERAND();                  \
        NEED(1);                    \
        const Value& v_ = TOP;      \
        bool take_ = (cond);        \
        ++sp;                       \
        if (take_)                  \
            ip += a;                \
    } while (0)
// Two integers compare inline; anything else through the operator rules.
#define COMPARE(relation, cmp)                                          \
    do {                                                                \
        NEED(2);                                                        \
        if (sp[2].tag == kInteger && sp[1].tag == kInteger) {           \
            bool b_ = sp[2].i cmp sp[1].i;                              \
            ++sp;                                                       \
            TOP = Value::Boolean(b_);                                   \
        } else {                                                        \
            BINARY(CompareSlow(ctx, sp[2], sp[1], relation));           \
        }                                                               \
    } while (0)
#define TRUTHY(v) ((v).tag == kBoolean ? (v).BooleanValue() : ToBoolean(v))
#define FRAME_SLOT(p)               \
    do {                            \
        if (!InStack(p))            \
            goto op_bad;            \
    } while (0)
// Enters a script function: `this` is the top Value, the frame goes below it.
#define ENTER_FUNCTION(closure)                                     \
    do {                                                            \
        SYNC();                                                     \
        fp = PushFrame(ctx, sp, ip, (closure));                     \
        sp = fp - 4;                                                \
        ip = (closure)->code->slots.data();                         \
    } while (0)

    NEXT();

op_CALLNAME: {
    OPERAND();
    Atom name = static_cast<Atom>(a);
    NEED(3);
    const Value* args = &sp[2];
    if (!CountFits(*args, end_ - &sp[2]))
        goto op_bad;
    SYNC();
    MethodResult m;
    Value receiver;
    {
        // A copy: entering a function can move the frame records.
        std::vector<Value> withList = ctx->frames.back().withList;
        for (const Value& with : withList) {
            m = FindMethod(ctx, with, name, args, true);
            if (m.kind != MethodResult::kNone) {
                receiver = with;
                break;
            }
        }
    }
    if (m.kind == MethodResult::kScript) {
        TOP = receiver;
        ENTER_FUNCTION(m.value.c);
        NEXT();
    }
    if (m.kind == MethodResult::kNative) {
        PUSH(m.value);
        SAFE_POINT();
        NEXT();
    }
    goto call;
}
op_GETNAME: {
    OPERAND();
    Atom name = static_cast<Atom>(a);
    SYNC();
    bool found = false;
    Value v;
    {
        std::vector<Value> withList = ctx->frames.back().withList;
        for (const Value& with : withList)
            if ((found = GetProperty(ctx, with, name, &v)))
                break;
    }
    if (!found)
        goto get_global;
    PUSH(v);
    NEXT();
}
op_ADD2:
    NEED(1);
    TOP.bits += 2;
    NEXT();
op_INC:
    NEED(1);
    TOP.bits += 1;
    NEXT();
op_JNZ:
    JUMP_IF(static_cast<std::uint32_t>(v_.bits) != 0);
    NEXT();
op_JZ:
    JUMP_IF(static_cast<std::uint32_t>(v_.bits) == 0);
    NEXT();
op_THROW: {
    NEED(1);
    Value v = TOP;
    ++sp;
    SYNC();
    ctx->thrown = v;
    if (ctx->handlers.empty() || !ctx->handlers.back().isTry) {
        // Caught by the host: the message buffer takes the text.
        Value text = ToString(ctx, ctx->thrown);
        SetMessage(ctx, StringToAnsi(text.s));
    }
    throw RuntimeError{true};
}
op_ENDTRY: {
    OPERAND();
    auto& handlers = ctx->handlers;
    for (; a > 0 && handlers.size() > handlerBase_ && handlers.back().isTry; --a)
        handlers.pop_back();
    NEXT();
}
op_TRY:
    OPERAND();
    ctx->handlers.push_back({true, sp, ctx->frames.size(), ip + a});
    NEXT();
op_ENDWITH: {
    OPERAND();
    auto& list = ctx->frames.back().withList;
    if (a >= 0 && list.size() >= static_cast<std::size_t>(a))
        list.resize(list.size() - static_cast<std::size_t>(a));
    NEXT();
}
op_WITH:
    NEED(1);
    ctx->frames.back().withList.push_back(TOP);
    ++sp;
    NEXT();
op_ARGN: {
    NEED(1);
    if (TOP.tag != kInteger)
        goto op_bad;
    Value* p = fp + 1 + TOP.i;
    if (TOP.i < -2 || TOP.i > end_ - fp)
        goto op_bad;
    FRAME_SLOT(p);
    TOP = *p;
    NEXT();
}
op_ENTER: {
    OPERAND();
    NEED(1);
    if (TOP.tag != kInteger || TOP.i > end_ - fp)
        goto op_bad;
    // n + 2; a negative count (an array literal's) gives no arguments.
    std::int64_t given = TOP.i < 2 ? 2 : TOP.i;
    if (given >= a) {
        ++sp;
        NEXT();
    }
    std::ptrdiff_t m = a - given;
    Value* last = fp + given;  // the last argument slot (fp + 2 + n)
    if (last >= end_)
        goto op_bad;
    ROOM(m);
    std::memmove(static_cast<void*>(sp + 1 - m), sp + 1, static_cast<std::size_t>(last - sp) * sizeof(Value));
    for (Value* p = last - m + 1; p <= last; ++p)
        *p = Value();
    sp -= m;
    fp -= m;
    Frame& frame = ctx->frames.back();
    frame.fp = fp;
    frame.count = static_cast<std::uint32_t>(given - 2);
    frame.missing = static_cast<std::uint32_t>(m);
    fp[-1] = Internal(kFrameInfo, static_cast<std::uint64_t>(given) | static_cast<std::uint64_t>(m) << 32);
    ++sp;
    NEXT();
}
op_LOCALS:
    OPERAND();
    if (a < 0)
        goto op_bad;
    if (sp - base_ < a + kStackMargin)
        goto stack_overflow;
    for (; a > 0; --a)
        *sp-- = Value();
    NEXT();
op_DELELEM: {
    NEED(2);
    Value& container = sp[2];
    const Value& key = sp[1];
    SYNC();
    if (container.tag == kObject) {
        if (key.tag == kAtom)
            ObjectDelete(ctx, container.o, key.AtomNumber());
        else
            ObjectDeleteKeyed(ctx, container.o, key);
    } else if (container.tag == kArray && key.tag == kInteger) {
        ArrayDeleteShift(ctx, container.a, key.i);
    }
    ++sp;
    TOP = Value();
    NEXT();
}
op_DELPROP:
    OPERAND();
    NEED(1);
    if (TOP.tag == kObject) {
        SYNC();
        ObjectDelete(ctx, TOP.o, static_cast<Atom>(a));
    }
    TOP = Value();
    NEXT();
op_NEW: {
    NEED(3);
    const Value* args = &sp[2];
    if (!CountFits(*args, end_ - &sp[2]))
        goto op_bad;
    SYNC();
    Value ctor = TOP;
    if (ctor.tag == kNative && ctor.n->cls->construct) {
        Value out;
        ctor.n->cls->construct(ctx, ctor.n->cls, args, &out);
        TOP = out;
        PUSH(Value());
        SAFE_POINT();
        NEXT();
    }
    if (ctor.tag == kFunction) {
        TOP = ConstructedObject(ctx, ctor.c);
        SAFE_POINT();
        ENTER_FUNCTION(ctor.c);
        NEXT();
    }
    NativeClass* cls = ctor.tag == kNative ? nullptr : TypeClass(ctx, ctor.tag);
    if (cls && cls->construct) {
        Value out;
        cls->construct(ctx, cls, args, &out);
        TOP = out;
        PUSH(Value());
        SAFE_POINT();
        NEXT();
    }
    PUSH(Value::Null());
    Warn(ctx, "Warning: invalid constructor");
    NEXT();
}
op_TYPEOF:
    NEED(1);
    SYNC();
    TOP = TypeOf(ctx, TOP);
    SAFE_POINT();
    NEXT();
op_RET:
op_HALT: {
    // HALT leaves the run from any frame; RET returns to the caller unless
    // this is the run's outermost frame.
    bool halt = (ip[-1] & 0xFF) == OP_HALT;
    Value result = sp + 1 < end_ ? TOP : Value();
    if (result.tag == kFrameLink || result.tag == kFrameInfo)
        result = Value();  // no value left on the expression stack
    auto& frames = ctx->frames;
    if (halt || frames.size() - 1 == frameBase_) {
        ctx->result = result;
        Abandon();
        SYNC();
        return;
    }
    Frame& frame = frames.back();
    Value* home = frame.fp + frame.missing;
    if (frame.missing) {
        // Back where the caller laid out this, count and arguments.
        if (home + 2 + frame.count >= end_)
            goto op_bad;
        std::memmove(static_cast<void*>(home + 1), frame.fp + 1, (frame.count + 2u) * sizeof(Value));
    }
    *home = result;
    sp = home - 1;
    ip = frame.returnTo;
    frames.pop_back();
    fp = frames.back().fp;
    DropStaleHandlers(ctx, handlerBase_);
    NEXT();
}
op_CALL:
call : {
    NEED(2);
    const Value* args = &sp[2];
    if (!CountFits(*args, end_ - &sp[2]))
        goto op_bad;
    Value callee = TOP;
    TOP = Value::Null();
    if (callee.tag == kNative && callee.n->cls->call) {
        SYNC();
        Value out;
        callee.n->cls->call(ctx, callee.n->cls, callee.n->data, &out, args);
        PUSH(out);
        NEXT();
    }
    if (callee.tag == kFunction) {
        ENTER_FUNCTION(callee.c);
        NEXT();
    }
    PUSH(Value());
    SYNC();
    Warn(ctx, "Warning: call a undefined function");
    NEXT();
}
op_JMP:
    OPERAND();
    ip += a;
    NEXT();
op_CALLMETH: {
    OPERAND();
    Atom name = static_cast<Atom>(a);
    NEED(2);
    const Value* args = &sp[2];
    if (!CountFits(*args, end_ - &sp[2]))
        goto op_bad;
    SYNC();
    MethodResult m = FindMethod(ctx, TOP, name, args, false);
    if (m.kind == MethodResult::kScript) {
        ENTER_FUNCTION(m.value.c);
        NEXT();
    }
    if (m.kind == MethodResult::kNative) {
        PUSH(m.value);
        SAFE_POINT();
        NEXT();
    }
    PUSH(Value());
    WarnFormat(ctx, "Warning: unknown method \"%s\"", AtomName(ctx, name));
    NEXT();
}
op_JT:
    JUMP_IF(TRUTHY(v_));
    NEXT();
op_JF:
    JUMP_IF(!TRUTHY(v_));
    NEXT();
op_USHR:
    BINARY(OpUshr(ctx, sp[2], sp[1]));
    NEXT();
op_SHR:
    BINARY(OpShr(ctx, sp[2], sp[1]));
    NEXT();
op_SHL:
    BINARY(OpShl(ctx, sp[2], sp[1]));
    NEXT();
op_BITXOR:
    BINARY(OpBitXor(ctx, sp[2], sp[1]));
    NEXT();
op_BITOR:
    BINARY(OpBitOr(ctx, sp[2], sp[1]));
    NEXT();
op_NOT:
    NEED(1);
    TOP = OpNot(TOP);
    NEXT();
op_BITAND:
    BINARY(OpBitAnd(ctx, sp[2], sp[1]));
    NEXT();
op_NEG:
    NEED(1);
    SYNC();
    TOP = OpNeg(ctx, TOP);
    NEXT();
op_MOD:
    BINARY(OpMod(ctx, sp[2], sp[1]));
    NEXT();
op_DIV:
    BINARY(OpDiv(ctx, sp[2], sp[1]));
    NEXT();
op_MUL:
    NEED(2);
    if (sp[2].tag == kInteger && sp[1].tag == kInteger) {
        sp[2].i = WrapMul(sp[2].i, sp[1].i);
        ++sp;
        NEXT();
    }
    BINARY(MulSlow(ctx, sp[2], sp[1]));
    NEXT();
op_ADD: {
    NEED(2);
    if (sp[2].tag == kInteger && sp[1].tag == kInteger) {
        sp[2].i = WrapAdd(sp[2].i, sp[1].i);
        ++sp;
        NEXT();
    }
    bool text = sp[2].tag == kString || sp[1].tag == kString;
    BINARY(AddSlow(ctx, sp[2], sp[1]));
    if (text)
        SAFE_POINT();
    NEXT();
}
op_SUB:
    NEED(2);
    if (sp[2].tag == kInteger && sp[1].tag == kInteger) {
        sp[2].i = WrapSub(sp[2].i, sp[1].i);
        ++sp;
        NEXT();
    }
    BINARY(SubSlow(ctx, sp[2], sp[1]));
    NEXT();
op_STRICTNE:
    BINARY(Value::Boolean(!StrictEquals(sp[2], sp[1])));
    NEXT();
op_STRICTEQ:
    BINARY(Value::Boolean(StrictEquals(sp[2], sp[1])));
    NEXT();
op_GE:
    COMPARE(Relation::kGreaterEqual, >=);
    NEXT();
op_LE:
    COMPARE(Relation::kLessEqual, <=);
    NEXT();
op_GT:
    COMPARE(Relation::kGreater, >);
    NEXT();
op_LT:
    COMPARE(Relation::kLess, <);
    NEXT();
op_NE:
    BINARY(Value::Boolean(!LooseEquals(ctx, sp[2], sp[1])));
    NEXT();
op_EQ:
    BINARY(Value::Boolean(LooseEquals(ctx, sp[2], sp[1])));
    NEXT();
op_NEXTELEM:
    NEED(2);
    SYNC();
    NextElement(ctx, sp[2], sp[1]);
    NEXT();
op_SETELEM:
    NEED(3);
    SYNC();
    SetElement(ctx, sp[3], sp[2], sp[1]);
    sp += 3;
    SAFE_POINT();
    NEXT();
op_GETELEM: {
    NEED(2);
    SYNC();
    Value v = GetElement(ctx, sp[2], sp[1]);
    ++sp;
    TOP = v;
    NEXT();
}
op_SETPROP:
    OPERAND();
    NEED(2);
    SYNC();
    SetProperty(ctx, sp[1], static_cast<Atom>(a), sp[2]);
    sp += 2;
    SAFE_POINT();
    NEXT();
op_GETPROP: {
    OPERAND();
    NEED(1);
    SYNC();
    Value v;
    if (!GetProperty(ctx, TOP, static_cast<Atom>(a), &v))
        WarnFormat(ctx, "Warning: using undefined property \"%s\"", AtomName(ctx, static_cast<Atom>(a)));
    TOP = v;
    NEXT();
}
op_SETLOCAL: {
    OPERAND();
    NEED(1);
    Value* p = fp - 4 - a;
    FRAME_SLOT(p);
    *p = TOP;
    ++sp;
    NEXT();
}
op_GETLOCAL: {
    OPERAND();
    Value* p = fp - 4 - a;
    FRAME_SLOT(p);
    PUSH(*p);
    NEXT();
}
op_SETARG: {
    OPERAND();
    NEED(1);
    Value* p = fp + 1 + a;
    FRAME_SLOT(p);
    *p = TOP;
    ++sp;
    NEXT();
}
op_GETARG: {
    OPERAND();
    Value* p = fp + 1 + a;
    FRAME_SLOT(p);
    PUSH(*p);
    NEXT();
}
op_SETGLOBAL: {
    OPERAND();
    NEED(1);
    Value v = TOP;
    ++sp;
    if (v.tag == kUndefined)
        v.bits = 0;  // an assigned undefined no longer names its Atom
    ctx->globals[static_cast<Atom>(a)] = v;
    NEXT();
}
op_GETGLOBAL:
    OPERAND();
get_global : {
    Value v = ctx->globals[static_cast<Atom>(a)];
    PUSH(v);
    if (v.tag == kUndefined && (ctx->options & kOptionWarnUndefined)) {
        SYNC();
        WarnFormat(ctx, "Warning: using undefined variable \"%s\"", AtomName(ctx, static_cast<Atom>(a)));
    }
    NEXT();
}
op_PUSHINT:
    OPERAND();
    PUSH(Value::Integer(a));
    NEXT();
op_PUSH3:
    PUSH(Value::Integer(3));
    NEXT();
op_PUSH2:
    PUSH(Value::Integer(2));
    NEXT();
op_PUSH1:
    PUSH(Value::Integer(1));
    NEXT();
op_PUSH0:
    PUSH(Value::Integer(0));
    NEXT();
op_PUSHUNDEF:
    PUSH(Value());
    NEXT();
op_PUSHFALSE:
    PUSH(Value::Boolean(false));
    NEXT();
op_PUSHTRUE:
    PUSH(Value::Boolean(true));
    NEXT();
op_PUSHNULL:
    PUSH(Value::Null());
    NEXT();
op_PUSHCONST:
    OPERAND();
    PUSH(ctx->constants[static_cast<std::uint32_t>(a)]);
    NEXT();
op_ROLL: {
    OPERAND();
    if (a >= 2) {
        NEED(a);
        Value v = sp[1];
        std::memmove(static_cast<void*>(sp + 1), sp + 2, static_cast<std::size_t>(a - 1) * sizeof(Value));
        sp[a] = v;
    } else if (a <= -2) {
        NEED(-a);
        Value v = sp[-a];
        std::memmove(static_cast<void*>(sp + 2), sp + 1, static_cast<std::size_t>(-a - 1) * sizeof(Value));
        sp[1] = v;
    }
    NEXT();
}
op_SWAP: {
    NEED(2);
    Value v = sp[1];
    sp[1] = sp[2];
    sp[2] = v;
    NEXT();
}
op_STOREDROP:
    OPERAND();
    if (a < 0)
        goto op_bad;
    NEED(a + 1);
    sp[a + 1] = sp[1];
    sp += a;
    NEXT();
op_DROP:
    OPERAND();
    if (a < 0)
        goto op_bad;
    NEED(a);
    sp += a;
    NEXT();
op_POP:
    NEED(1);
    ++sp;
    NEXT();
op_DUP:
    NEED(1);
    PUSH(TOP);
    NEXT();
op_NOP:
    NEXT();
op_IDLE:
    SYNC();
    for (;;)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
op_SETNAME: {
    OPERAND();
    Atom name = static_cast<Atom>(a);
    NEED(1);
    SYNC();
    bool set = false;
    {
        std::vector<Value> withList = ctx->frames.back().withList;
        for (const Value& with : withList) {
            set = SetExistingProperty(ctx, with, name, TOP);
            SAFE_POINT();
            if (set)
                break;
        }
    }
    Value v = TOP;
    ++sp;
    if (!set) {
        if (v.tag == kUndefined)
            v.bits = 0;
        ctx->globals[name] = v;
    }
    NEXT();
}
op_DELNAME: {
    OPERAND();
    Atom name = static_cast<Atom>(a);
    NEED(1);
    SYNC();
    for (const Value& with : ctx->frames.back().withList) {
        Value found;
        if (with.tag == kObject && ObjectGet(ctx, with.o, name, &found)) {
            ObjectDelete(ctx, with.o, name);
            break;
        }
    }
    TOP = Value();
    NEXT();
}
op_FREEGLOBAL:
    OPERAND();
    NEED(1);
    SYNC();
    FreeNative(ctx->globals[static_cast<Atom>(a)]);
    TOP = Value();
    NEXT();
op_FREELOCAL: {
    OPERAND();
    NEED(1);
    Value* p = fp - 4 - a;
    FRAME_SLOT(p);
    SYNC();
    FreeNative(*p);
    TOP = Value();
    NEXT();
}
op_FREEARG: {
    OPERAND();
    NEED(1);
    Value* p = fp + 1 + a;
    FRAME_SLOT(p);
    SYNC();
    FreeNative(*p);
    TOP = Value();
    NEXT();
}
op_bad:
    SYNC();
    BadBytecode(ctx);
stack_overflow:
    SYNC();
    StackOverflow(ctx);

#undef NEXT
#undef OPERAND
#undef SYNC
#undef NEED
#undef ROOM
#undef PUSH
#undef TOP
#undef SAFE_POINT
#undef BINARY
#undef JUMP_IF
#undef FRAME_SLOT
#undef ENTER_FUNCTION
#undef COMPARE
#undef TRUTHY
}

// Counts the runs in progress: only the end of the outermost collects in full.
class RunScope {
public:
    explicit RunScope(Context* ctx) : ctx_(ctx) { ++ctx_->runDepth; }
    ~RunScope() { --ctx_->runDepth; }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    Context* ctx_;
};

} // namespace

void RunCode(Context* ctx, const Value* self, CodeObject* code, const Value* args)
{
    static const Value kNoArguments[1] = {Value::Integer(0)};
    if (!args)
        args = kNoArguments;
    RunScope run(ctx);
    Value* const entrySp = ctx->sp;
    Value* const base = ctx->stack.get();
    std::int64_t count = args[0].tag == kInteger && args[0].i > 0 ? args[0].i : 0;
    // The function, the arguments, the count, this and the frame.
    if (entrySp - base < count + 7 + kStackMargin)
        StackOverflow(ctx);

    Value fn = NewFunction(ctx, code);
    Value* sp = entrySp;
    *sp-- = fn;
    for (std::int64_t i = count; i >= 1; --i)
        *sp-- = args[i];
    *sp-- = Value::Integer(count);
    *sp-- = self ? *self : Value::Null();
    ctx->sp = sp;
    std::size_t frameBase = ctx->frames.size();
    std::size_t handlerBase = ctx->handlers.size();
    Value* fp = PushFrame(ctx, sp, nullptr, fn.c);

    Interpreter interpreter(ctx, frameBase, handlerBase);
    interpreter.Execute({fp - 4, fp, code->slots.data()});
    ctx->sp = entrySp;
    // Only the end of the outermost run collects unconditionally: values that
    // native code holds across a nested run must survive it.
    if (ctx->runDepth == 1)
        Collect(ctx);
    else
        SafePoint(ctx);
}

bool CallFunctionValue(Context* ctx, const Value* self, const Value& callee, const Value* args)
{
    if (callee.tag != kFunction) {
        SetMessage(ctx, "Warning: call a undefined function");
        return false;
    }
    return Protected(ctx, [&] { RunCode(ctx, self, callee.c->code, args); });
}

} // namespace zelph
