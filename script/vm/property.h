// The generic property read and write paths over every receiver type.
#pragma once

#include "script/vm/value.h"

namespace zelph {

struct NativeClass;

// The type class registered for a tag, or null.
NativeClass* TypeClass(Context* ctx, std::int32_t tag);

// A plain object whose __proto__ is the prototype object of the type class of
// tag (or with a null __proto__ when there is none).
ObjectRecord* NewPropertyObject(Context* ctx, std::int32_t tag);
// The property object of a string, array or function Value, made on demand when
// make is set; null for other types or when absent.
ObjectRecord* ValuePropertyObject(Context* ctx, const Value& v, bool make);

// The read path: found, with the Value in out.
bool GetProperty(Context* ctx, const Value& receiver, Atom atom, Value* out);
// The write path for names that already exist; true when something was written.
bool SetExistingProperty(Context* ctx, const Value& receiver, Atom atom, const Value& v);

} // namespace zelph
