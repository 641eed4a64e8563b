#include "script/vm/call.h"

#include "script/vm/atoms.h"
#include "script/vm/collector.h"
#include "script/vm/context.h"
#include "script/vm/error.h"
#include "script/vm/native_class.h"
#include "script/vm/object.h"
#include "script/vm/property.h"

namespace zelph {
namespace {

const Value kNoArguments[1] = {Value::Integer(0)};

// Runs fn under a host-level handler (which restores the stack on failure).
// A call back into the VM may collect: in stress mode it always does, so native
// code that forgets to root what it holds fails at once.
template <typename Fn>
bool ProtectedCall(Context* ctx, Fn&& fn)
{
    if (ctx->gcStress)
        Collect(ctx);
    bool ok = false;
    return Protected(ctx, [&] { ok = fn(); }) && ok;
}

bool UnknownMethod(Context* ctx, Atom name)
{
    SetMessageFormat(ctx, "Warning: unknown method \"%s\"", AtomName(ctx, name));
    return false;
}

bool NativeMethodCall(Context* ctx, NativeClass* cls, void* self, Atom name, const Value* args)
{
    if (!cls || !cls->method)
        return false;
    Value out;
    if (!cls->method(ctx, cls, self, name, &out, args))
        return false;
    ctx->result = out;
    return true;
}

} // namespace

bool CallValue(Context* ctx, const Value* self, const Value& callee, const Value* args)
{
    if (!args)
        args = kNoArguments;
    ValueRoot root(ctx, callee);
    return ProtectedCall(ctx, [&] {
        if (callee.tag == kFunction) {
            if (!ctx->callFunction) {
                SetMessage(ctx, "Warning: call a undefined function");
                return false;
            }
            return ctx->callFunction(ctx, self, callee, args);
        }
        if (callee.tag == kNative && callee.n->cls->call) {
            Value out;
            callee.n->cls->call(ctx, callee.n->cls, callee.n->data, &out, args);
            ctx->result = out;
            return true;
        }
        SetMessage(ctx, "Warning: call a undefined function");
        return false;
    });
}

bool CallGlobal(Context* ctx, const char* name, const Value& fn, const Value* args)
{
    if (!name)
        return CallValue(ctx, nullptr, fn, args);
    Value callee;
    if (!Protected(ctx, [&] { callee = ctx->globals[InternAtom(ctx, name)]; }))
        return false;
    return CallValue(ctx, nullptr, callee, args);
}

bool CallMethod(Context* ctx, const Value& receiver, Atom name, const Value* args)
{
    if (!args)
        args = kNoArguments;
    ValueRoot root(ctx, receiver);
    const Value& self = root.value;
    return ProtectedCall(ctx, [&] {
        switch (self.tag) {
        case kNative:
            if (NativeMethodCall(ctx, self.n->cls, self.n->data, name, args))
                return true;
            return UnknownMethod(ctx, name);
        case kObject: {
            Value fn;
            if (ObjectGet(ctx, self.o, name, &fn)) {
                if (fn.tag != kFunction)
                    return UnknownMethod(ctx, name);
                return CallValue(ctx, &self, fn, args);
            }
            Value receiverCopy = self;
            if (NativeMethodCall(ctx, TypeClass(ctx, kObject), &receiverCopy, name, args))
                return true;
            return UnknownMethod(ctx, name);
        }
        default: {
            Value receiverCopy = self;
            if (NativeMethodCall(ctx, TypeClass(ctx, self.tag), &receiverCopy, name, args))
                return true;
            return UnknownMethod(ctx, name);
        }
        }
    });
}

} // namespace zelph
