// Marking and collection of the collected heap.
//
// Roots: the constant table, the global slots, the type classes, the live part
// of the VM stack, the result register and the Values native code has rooted.
// Marking uses an explicit work list, so no shape of data (long __proto__
// chains, deeply nested arrays) deepens the host stack.
#pragma once

#include "script/vm/value.h"

#include <cstddef>

namespace zelph {

struct NativeClass;

// Marks what the Value references (for trace operations of native classes).
void MarkValue(Context* ctx, const Value& v);
void MarkObject(Context* ctx, ObjectRecord* o);
void MarkClass(Context* ctx, NativeClass* cls);

// Marks from the roots and sweeps; returns the live byte count.
std::size_t Collect(Context* ctx);
// A safe point: collects when the allocations since the last collection have
// reached the threshold, or always in stress mode. Returns whether it collected.
bool SafePoint(Context* ctx);

} // namespace zelph
