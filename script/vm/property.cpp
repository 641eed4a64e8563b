#include "script/vm/property.h"

#include "script/vm/array.h"
#include "script/vm/atoms.h"
#include "script/vm/context.h"
#include "script/vm/function.h"
#include "script/vm/native_class.h"
#include "script/vm/object.h"
#include "script/vm/string_record.h"

namespace zelph {
namespace {

ObjectRecord** PropertyObjectPlace(const Value& v)
{
    switch (v.tag) {
    case kString: return &v.s->props;
    case kArray: return &v.a->props;
    case kFunction: return &v.c->props;
    default: return nullptr;
    }
}

} // namespace

NativeClass* TypeClass(Context* ctx, std::int32_t tag)
{
    return tag >= 0 && tag < kTypeClassCount ? ctx->typeClasses[tag] : nullptr;
}

ObjectRecord* NewPropertyObject(Context* ctx, std::int32_t tag)
{
    NativeClass* cls = TypeClass(ctx, tag);
    ObjectRecord* o = NewObject(ctx);
    ObjectSetOwn(ctx, o, kAtomProto, cls ? Value::Object(cls->prototype) : Value::Null());
    return o;
}

ObjectRecord* ValuePropertyObject(Context* ctx, const Value& v, bool make)
{
    ObjectRecord** place = PropertyObjectPlace(v);
    if (!place)
        return nullptr;
    if (!*place && make) {
        ObjectRecord* o = NewPropertyObject(ctx, v.tag);
        *place = o;
    }
    return *place;
}

bool GetProperty(Context* ctx, const Value& receiver, Atom atom, Value* out)
{
    if (receiver.tag == kNative) {
        NativeInstance* n = receiver.n;
        NativeClass* cls = n->cls;
        if (!cls->property)
            return false;
        Value v;
        if (cls->property(ctx, cls, n->data, atom, 0, &v)) {
            *out = v;
            return true;
        }
        ObjectRecord* o = n->props ? n->props : cls->prototype;
        if (atom == kAtomProto) {
            *out = Value::Object(o);
            return true;
        }
        return ObjectGet(ctx, o, atom, out);
    }
    if (receiver.tag == kObject)
        return ObjectGet(ctx, receiver.o, atom, out);

    NativeClass* cls = TypeClass(ctx, receiver.tag);
    if (!cls)
        return false;
    if (cls->property) {
        Value self = receiver, v;
        if (cls->property(ctx, cls, &self, atom, 0, &v)) {
            *out = v;
            return true;
        }
    }
    if (atom == kAtomProto) {
        ObjectRecord* o = ValuePropertyObject(ctx, receiver, true);
        if (!o)
            return false;
        *out = Value::Object(o);
        return true;
    }
    if (ObjectRecord* o = ValuePropertyObject(ctx, receiver, false))
        if (ObjectGet(ctx, o, atom, out))
            return true;
    return ObjectGet(ctx, cls->prototype, atom, out);
}

bool SetExistingProperty(Context* ctx, const Value& receiver, Atom atom, const Value& v)
{
    Value value = v;
    Value found;
    if (receiver.tag == kNative) {
        NativeInstance* n = receiver.n;
        NativeClass* cls = n->cls;
        if (!cls->property)
            return false;
        if (cls->property(ctx, cls, n->data, atom, 1, &value))
            return true;
        if (atom == kAtomProto) {
            if (value.tag != kObject)
                return false;
            if (n->data || n->props)
                n->props = value.o;
            else
                cls->prototype = value.o;
            return true;
        }
        ObjectRecord* o = n->props ? n->props : cls->prototype;
        if (!ObjectGet(ctx, o, atom, &found))
            return false;
        ObjectSetOwn(ctx, o, atom, value);
        return true;
    }
    if (receiver.tag == kObject) {
        if (!ObjectGet(ctx, receiver.o, atom, &found))
            return false;
        ObjectSetOwn(ctx, receiver.o, atom, value);
        return true;
    }

    NativeClass* cls = TypeClass(ctx, receiver.tag);
    if (!cls)
        return false;
    if (cls->property) {
        Value self = receiver;
        if (cls->property(ctx, cls, &self, atom, 1, &value))
            return true;
    }
    ObjectRecord** place = PropertyObjectPlace(receiver);
    if (!place)
        return false;
    if (atom == kAtomProto) {
        if (value.tag != kObject)
            return false;
        *place = value.o;
        return true;
    }
    if (!*place || !ObjectGet(ctx, *place, atom, &found))
        return false;
    ObjectSetOwn(ctx, *place, atom, value);
    return true;
}

} // namespace zelph
