#include "script/vm/native_class.h"

#include "script/vm/atoms.h"
#include "script/vm/context.h"
#include "script/vm/heap.h"
#include "script/vm/object.h"

namespace zelph {
namespace {

void DestroyClass(void* self)
{
    auto* cls = static_cast<NativeClass*>(self);
    if (cls->freePrivate)
        cls->freePrivate(cls->privateData);
}

void DestroyInstance(void* self)
{
    auto* instance = static_cast<NativeInstance*>(self);
    if (instance->cls->finalize)
        instance->cls->finalize(instance->cls, instance->data);
}

} // namespace

NativeClass* NewNativeClass(Context* ctx)
{
    auto* cls = static_cast<NativeClass*>(HeapAllocFinal(ctx, sizeof(NativeClass)));
    cls->destroy = DestroyClass;
    // Instances read their class while they are finalized in the same sweep.
    SetLateFinalizer(cls);
    cls->prototype = NewObject(ctx);
    ObjectSetOwn(ctx, cls->prototype, kAtomProto, Value::Null());
    return cls;
}

Value DefineNativeValue(Context* ctx, NativeClass* cls, void* data)
{
    auto* instance = static_cast<NativeInstance*>(HeapAllocFinal(ctx, sizeof(NativeInstance)));
    instance->destroy = DestroyInstance;
    instance->cls = cls;
    instance->data = data;
    if (data) {
        instance->props = NewObject(ctx);
        ObjectSetOwn(ctx, instance->props, kAtomProto, Value::Object(cls->prototype));
    }
    return Value::Native(instance);
}

void DefineGlobalClass(Context* ctx, const char* name, NativeClass* cls)
{
    Atom atom = InternAtom(ctx, name);
    Value v = DefineNativeValue(ctx, cls, nullptr);
    ctx->globals[atom] = v;
}

} // namespace zelph
