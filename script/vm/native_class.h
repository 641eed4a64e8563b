// Native classes: the descriptor through which built-in and host classes plug
// into the virtual machine, and native objects (instances and class values).
#pragma once

#include "script/vm/value.h"

#include <cstdint>

namespace zelph {

struct NativeClass;

// Argument vectors: the count as an integer Value, then the arguments in order.
inline std::int64_t ArgCount(const Value* args)
{
    return args ? args[0].i : 0;
}
inline const Value& Arg(const Value* args, std::int64_t i)
{
    return args[1 + i];
}

// `self` / `data`: an instance's data (null for the class value itself), or for a
// type class the Value the operation is applied to.
using NativeCall = void (*)(Context* ctx, NativeClass* cls, void* data, Value* out, const Value* args);
using NativeMethod = int (*)(Context* ctx, NativeClass* cls, void* self, Atom name, Value* out, const Value* args);
using NativeProperty = int (*)(Context* ctx, NativeClass* cls, void* self, Atom name, int isSet, Value* value);
using NativeConstruct = void (*)(Context* ctx, NativeClass* cls, const Value* args, Value* out);
// Releases an instance's data; must accept null data.
using NativeFinalize = void (*)(NativeClass* cls, void* data);
// Marks the Values an instance's data holds (with MarkValue).
using NativeTrace = void (*)(Context* ctx, NativeClass* cls, void* data);

struct NativeClass {
    void (*destroy)(void* self);  // the block's finalizer: frees the private data
    NativeCall call;
    NativeMethod method;
    NativeProperty property;
    NativeConstruct construct;
    NativeFinalize finalize;
    NativeTrace trace;
    void* privateData;
    void (*freePrivate)(void* privateData);
    ObjectRecord* prototype;  // its __proto__ is null
};

struct NativeInstance {
    void (*destroy)(void* self);  // the block's finalizer: the class's finalize
    NativeClass* cls;
    void* data;
    ObjectRecord* props;  // null for a class value
};

// A descriptor with its prototype object; the caller fills the operations.
NativeClass* NewNativeClass(Context* ctx);
// A native object of the class with the data; with data, the instance gets a
// property object whose __proto__ is the class's prototype object.
Value DefineNativeValue(Context* ctx, NativeClass* cls, void* data);
// Registers a class as the global of its name.
void DefineGlobalClass(Context* ctx, const char* name, NativeClass* cls);

} // namespace zelph
