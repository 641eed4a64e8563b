// Small helpers shared by the built-in classes.
#pragma once

#include "script/vm/atoms.h"
#include "script/vm/context.h"
#include "script/vm/native_class.h"
#include "script/vm/string_record.h"

namespace zelph {

// The global value of a class by name (what `valueOf` answers on the class).
inline Value GlobalNamed(Context* ctx, const char* name)
{
    return ctx->globals[InternAtom(ctx, name)];
}

// The receiver of a type-class operation; null when called on the class itself.
inline const Value* Receiver(void* self)
{
    return static_cast<const Value*>(self);
}

// A global function: a class with only a call operation, registered as the
// global of its name.
inline NativeClass* DefineGlobalFunction(Context* ctx, const char* name, NativeCall call)
{
    NativeClass* cls = NewNativeClass(ctx);
    cls->call = call;
    DefineGlobalClass(ctx, name, cls);
    return cls;
}

// A class registered as the global of its name with only a method operation.
inline NativeClass* NewMethodClass(Context* ctx, const char* name, NativeMethod method)
{
    NativeClass* cls = NewNativeClass(ctx);
    cls->method = method;
    DefineGlobalClass(ctx, name, cls);
    return cls;
}

} // namespace zelph
