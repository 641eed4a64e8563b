// Calls from native code into methods and functions. Each call is protected: a
// runtime error inside ends only the call (false, message buffer set) and the VM
// stack pointer is restored.
#pragma once

#include "script/vm/value.h"

namespace zelph {

// The method named by the Atom on the receiver, by the receiver's rules: a
// native object's class method; an object's own or inherited function, else the
// Object type class; another type's type class. The result goes to the result
// register. False, with "Warning: unknown method" or the error in the message
// buffer, when nothing handled it or it failed. args: count first; null for none.
bool CallMethod(Context* ctx, const Value& receiver, Atom name, const Value* args);

// A function Value (through the executor) or a native object with a call
// operation; the result goes to the result register.
bool CallValue(Context* ctx, const Value* self, const Value& callee, const Value* args);

// The global of that name (interned), or fn when the name is null, called as
// CallValue with no `this`.
bool CallGlobal(Context* ctx, const char* name, const Value& fn, const Value* args);

} // namespace zelph
