// Plain objects: an array of property slots scanned in order, with a name index
// (128 buckets by the string hash) built on first keyed access or enumeration.
#pragma once

#include "script/vm/value.h"

#include <cstdint>
#include <string_view>

namespace zelph {

inline constexpr std::int32_t kDeletedSlot = -1;

struct PropertySlot {
    std::int32_t atom;    // kDeletedSlot for a deleted or never-named slot
    std::uint32_t flags;  // always 0
    Value value;
};

struct NameIndex;

struct ObjectRecord {
    NameIndex* index;      // null until needed
    std::uint32_t slotCount;
    std::uint32_t slotCapacity;
    PropertySlot* slots;   // heap block, or null
};

ObjectRecord* NewObject(Context* ctx);

// The Value of the name, own or inherited along __proto__ (the last __proto__
// slot holding an object); false when not found. A __proto__ chain that loops
// counts as not found.
bool ObjectGet(Context* ctx, ObjectRecord* o, Atom atom, Value* out);
// The own slot of the name, or null.
PropertySlot* ObjectFindOwn(ObjectRecord* o, Atom atom);
// The prototype ObjectGet would continue with, or null.
ObjectRecord* ObjectProto(ObjectRecord* o);
void ObjectSetOwn(Context* ctx, ObjectRecord* o, Atom atom, const Value& v);
void ObjectDelete(Context* ctx, ObjectRecord* o, Atom atom);

// Keyed access: an integer key addresses a slot by position, a string key a name
// among the own slots (by its ANSI text); other keys read undefined and write
// nothing.
Value ObjectGetKeyed(Context* ctx, ObjectRecord* o, const Value& key);
void ObjectSetKeyed(Context* ctx, ObjectRecord* o, const Value& key, const Value& v);
void ObjectDeleteKeyed(Context* ctx, ObjectRecord* o, const Value& key);

// The name of the n-th entry in enumeration order (name-index buckets in order,
// newest entry first within a bucket) as a new string; false past the end.
bool ObjectEntryName(Context* ctx, ObjectRecord* o, std::int64_t n, Value* out);

// For the collector: the name index block of an object (null without one).
void* NameIndexBlock(ObjectRecord* o);

} // namespace zelph
