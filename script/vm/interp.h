// The interpreter: one dispatch loop over the slots of code objects, on the
// context's VM stack.
//
// The stack grows toward its base; the stack pointer addresses the next free
// slot, the top Value is the slot above it. A frame, seen from fp (the frame
// link slot):
//   fp + 2 + i  argument i (i = 1 .. n)      fp - 1  frame info
//   fp + 2      the argument count n         fp - 2  with-list slot
//   fp + 1      this                         fp - 3  return position slot
//   fp          frame link                   fp - 4 - k  local k
// The four slots at fp and below carry no data the interpreter trusts: its
// bookkeeping of every frame is in the context's Frame records.
#pragma once

#include "script/vm/value.h"

namespace zelph {

struct CodeObject;

// Runs a code object as a function called with `self` (null: null) and the
// argument vector args (count first; null: no arguments). Returns when its
// outermost frame returns; the result is in the result register. Runtime errors
// and uncaught throws propagate as RuntimeError.
void RunCode(Context* ctx, const Value* self, CodeObject* code, const Value* args);

// The executor's call form: a function Value through RunCode, protected.
bool CallFunctionValue(Context* ctx, const Value* self, const Value& callee, const Value* args);

} // namespace zelph
