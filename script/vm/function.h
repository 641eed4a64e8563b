// Function values: a closure record refers to its code object and to the
// property object that scripts set on the function (made on first need).
#pragma once

#include "script/vm/value.h"

namespace zelph {

// A linked function body; a heap block with a finalizer (its layout belongs to
// the module loader).
struct CodeObject;

struct Closure {
    CodeObject* code;
    ObjectRecord* props;
};

Value NewFunction(Context* ctx, CodeObject* code);

} // namespace zelph
