// Arrays: a 64-bit length and a sparse table of elements keyed by 64-bit index.
//
// The elements are held in one open-addressing hash table. Where an order of the
// elements shows (sort gathers them "in chain order"), it is the order of 127
// chains keyed by index mod 127, newest element first within a chain: every
// element carries the sequence number of its creation, and renumbering assigns
// new numbers in the order a rebuild of those chains would visit the elements.
#pragma once

#include "script/vm/value.h"

#include <cstdint>
#include <vector>

namespace zelph {

struct ElementTable;

struct ArrayRecord {
    std::int64_t length;
    ElementTable* table;   // null while the array has no elements
    ObjectRecord* props;   // null until needed
};

struct ArrayElement {
    std::int64_t index;
    std::uint64_t seq;     // 0: empty table entry
    Value value;
};

ArrayRecord* NewArray(Context* ctx, std::int64_t length = 0);

// The element at index, or null when there is none. The pointer is valid until
// the array's elements next change.
Value* ArrayGet(ArrayRecord* a, std::int64_t index);
// Stores a copy of v at index; the length is not changed.
void ArraySet(Context* ctx, ArrayRecord* a, const Value& v, std::int64_t index);
// Removes the element at index; nothing else changes.
void ArrayRemove(Context* ctx, ArrayRecord* a, std::int64_t index);
// With index below the length: removes the element at index, moves every later
// element down by one and shortens the length by one.
void ArrayDeleteShift(Context* ctx, ArrayRecord* a, std::int64_t index);
// Adds delta to every index and to the length.
void ArrayRenumber(Context* ctx, ArrayRecord* a, std::int64_t delta);

std::uint32_t ArrayElementCount(const ArrayRecord* a);
// Copies of the elements in chain order (chain 0 to 126, newest first).
std::vector<ArrayElement> ArrayElementsInChainOrder(const ArrayRecord* a);
// Copies of the elements in ascending index order.
std::vector<ArrayElement> ArrayElementsByIndex(const ArrayRecord* a);

// For the collector.
void* ElementTableBlock(ArrayRecord* a);
template <typename Fn>
void ForEachElementValue(ArrayRecord* a, Fn&& fn);

} // namespace zelph

#include "script/vm/array_inl.h"
