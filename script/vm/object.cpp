#include "script/vm/object.h"

#include "script/vm/context.h"
#include "script/vm/error.h"
#include "script/vm/heap.h"
#include "script/vm/string_hash.h"
#include "script/vm/string_record.h"

#include <cstring>
#include <string>

namespace zelph {

// The name index: 128 chains of entries, newest first, with a count per chain.
// Entries live in the same heap block after the header, recycled through a free
// chain. An entry names its slot by the slot's Atom (names are the Atoms' names).
struct NameEntry {
    std::int32_t next;
    std::uint32_t slot;
    std::uint32_t atom;
};

struct NameIndex {
    std::int32_t heads[kNameIndexBuckets];
    std::uint32_t counts[kNameIndexBuckets];
    std::uint32_t capacity;
    std::uint32_t used;       // entries ever handed out
    std::int32_t freeEntry;   // recycled entries, -1 when none
    std::uint32_t spare;
};

namespace {

NameEntry* Entries(NameIndex* index)
{
    return reinterpret_cast<NameEntry*>(index + 1);
}

std::uint32_t Bucket(Context* ctx, Atom atom)
{
    return ctx->atoms.Hash(atom) & (kNameIndexBuckets - 1);
}

NameIndex* NewIndex(Context* ctx, std::uint32_t capacity)
{
    auto* index = static_cast<NameIndex*>(HeapAlloc(ctx, sizeof(NameIndex) + capacity * sizeof(NameEntry)));
    std::memset(index->heads, 0xFF, sizeof index->heads);
    std::memset(index->counts, 0, sizeof index->counts);
    index->capacity = static_cast<std::uint32_t>((BlockSize(index) - sizeof(NameIndex)) / sizeof(NameEntry));
    index->used = 0;
    index->freeEntry = -1;
    index->spare = 0;
    return index;
}

void IndexEnter(Context* ctx, ObjectRecord* o, Atom atom, std::uint32_t slot)
{
    NameIndex* index = o->index;
    std::int32_t e;
    if (index->freeEntry >= 0) {
        e = index->freeEntry;
        index->freeEntry = Entries(index)[e].next;
    } else {
        if (index->used == index->capacity) {
            std::size_t bytes = sizeof(NameIndex) + std::size_t(index->capacity) * 2 * sizeof(NameEntry);
            index = static_cast<NameIndex*>(HeapRealloc(ctx, index, bytes));
            index->capacity = static_cast<std::uint32_t>((BlockSize(index) - sizeof(NameIndex)) / sizeof(NameEntry));
            o->index = index;
        }
        e = static_cast<std::int32_t>(index->used++);
    }
    std::uint32_t b = Bucket(ctx, atom);
    Entries(index)[e] = {index->heads[b], slot, atom};
    index->heads[b] = e;
    ++index->counts[b];
}

void IndexRemove(Context* ctx, ObjectRecord* o, Atom atom, std::uint32_t slot)
{
    NameIndex* index = o->index;
    if (!index)
        return;
    std::uint32_t b = Bucket(ctx, atom);
    for (std::int32_t* link = &index->heads[b]; *link >= 0; link = &Entries(index)[*link].next) {
        NameEntry& entry = Entries(index)[*link];
        if (entry.slot == slot) {
            std::int32_t e = *link;
            *link = entry.next;
            entry.next = index->freeEntry;
            index->freeEntry = e;
            --index->counts[b];
            return;
        }
    }
}

// Built from the slots in slot order, so the newest slot heads its chain as
// later entries do.
void EnsureIndex(Context* ctx, ObjectRecord* o)
{
    if (o->index)
        return;
    o->index = NewIndex(ctx, o->slotCount > 8 ? o->slotCount : 8);
    for (std::uint32_t i = 0; i < o->slotCount; ++i)
        if (o->slots[i].atom != kDeletedSlot)
            IndexEnter(ctx, o, static_cast<Atom>(o->slots[i].atom), i);
}

// The slot of a name among the own slots, by the index; -1 when absent.
std::int64_t FindByName(Context* ctx, ObjectRecord* o, const std::string& name)
{
    EnsureIndex(ctx, o);
    std::int64_t atom = ctx->atoms.Find(name);
    if (atom < 0)
        return -1;
    NameIndex* index = o->index;
    for (std::int32_t e = index->heads[Bucket(ctx, static_cast<Atom>(atom))]; e >= 0; e = Entries(index)[e].next)
        if (Entries(index)[e].atom == atom)
            return Entries(index)[e].slot;
    return -1;
}

std::uint32_t AppendSlot(Context* ctx, ObjectRecord* o, std::int32_t atom, const Value& v)
{
    if (o->slotCount == o->slotCapacity) {
        std::size_t bytes = (std::size_t(o->slotCount) + 1) * sizeof(PropertySlot);
        o->slots = static_cast<PropertySlot*>(HeapRealloc(ctx, o->slots, bytes));
        o->slotCapacity = static_cast<std::uint32_t>(BlockSize(o->slots) / sizeof(PropertySlot));
    }
    o->slots[o->slotCount] = {atom, 0, v};
    return o->slotCount++;
}

void DeleteSlot(Context* ctx, ObjectRecord* o, std::uint32_t slot)
{
    PropertySlot& s = o->slots[slot];
    if (s.atom != kDeletedSlot)
        IndexRemove(ctx, o, static_cast<Atom>(s.atom), slot);
    s.atom = kDeletedSlot;
    s.value = Value();
}

} // namespace

void* NameIndexBlock(ObjectRecord* o)
{
    return o->index;
}

ObjectRecord* NewObject(Context* ctx)
{
    auto* o = static_cast<ObjectRecord*>(HeapAlloc(ctx, sizeof(ObjectRecord)));
    *o = {nullptr, 0, 0, nullptr};
    return o;
}

PropertySlot* ObjectFindOwn(ObjectRecord* o, Atom atom)
{
    for (std::uint32_t i = 0; i < o->slotCount; ++i)
        if (o->slots[i].atom == static_cast<std::int32_t>(atom))
            return &o->slots[i];
    return nullptr;
}

ObjectRecord* ObjectProto(ObjectRecord* o)
{
    ObjectRecord* proto = nullptr;
    for (std::uint32_t i = 0; i < o->slotCount; ++i)
        if (o->slots[i].atom == static_cast<std::int32_t>(kAtomProto) && o->slots[i].value.tag == kObject)
            proto = o->slots[i].value.o;
    return proto;
}

bool ObjectGet(Context*, ObjectRecord* o, Atom atom, Value* out)
{
    // Brent's cycle detection: a checkpoint moved at powers of two steps.
    ObjectRecord* checkpoint = o;
    std::uint64_t steps = 0, limit = 2;
    while (o) {
        ObjectRecord* proto = nullptr;
        for (std::uint32_t i = 0; i < o->slotCount; ++i) {
            const PropertySlot& s = o->slots[i];
            if (s.atom == static_cast<std::int32_t>(atom)) {
                *out = s.value;
                return true;
            }
            if (s.atom == static_cast<std::int32_t>(kAtomProto) && s.value.tag == kObject)
                proto = s.value.o;
        }
        o = proto;
        if (o == checkpoint)
            break;  // the chain loops
        if (++steps == limit) {
            checkpoint = o;
            limit *= 2;
            steps = 0;
        }
    }
    *out = Value();
    return false;
}

void ObjectSetOwn(Context* ctx, ObjectRecord* o, Atom atom, const Value& v)
{
    Value value = v;  // v may live in the slot array, which can move
    std::int64_t reuse = -1;
    for (std::uint32_t i = 0; i < o->slotCount; ++i) {
        PropertySlot& s = o->slots[i];
        if (s.atom == static_cast<std::int32_t>(atom)) {
            s.value = value;
            return;
        }
        if (s.atom == kDeletedSlot)
            reuse = i;
    }
    std::uint32_t slot;
    if (reuse >= 0) {
        slot = static_cast<std::uint32_t>(reuse);
        o->slots[slot] = {static_cast<std::int32_t>(atom), 0, value};
    } else {
        slot = AppendSlot(ctx, o, static_cast<std::int32_t>(atom), value);
    }
    if (o->index)
        IndexEnter(ctx, o, atom, slot);
}

void ObjectDelete(Context* ctx, ObjectRecord* o, Atom atom)
{
    for (std::uint32_t i = 0; i < o->slotCount; ++i) {
        if (o->slots[i].atom == static_cast<std::int32_t>(atom)) {
            DeleteSlot(ctx, o, i);
            return;
        }
    }
}

Value ObjectGetKeyed(Context* ctx, ObjectRecord* o, const Value& key)
{
    if (key.tag == kInteger) {
        if (key.i >= 0 && key.i < static_cast<std::int64_t>(o->slotCount))
            return o->slots[key.i].value;
        return Value();
    }
    if (key.tag == kString) {
        std::int64_t slot = FindByName(ctx, o, StringToAnsi(key.s));
        return slot >= 0 ? o->slots[slot].value : Value();
    }
    return Value();
}

void ObjectSetKeyed(Context* ctx, ObjectRecord* o, const Value& key, const Value& v)
{
    Value value = v;
    if (key.tag == kInteger) {
        std::int64_t k = key.i;
        if (k < 0)
            return;
        if (k >= kMaxPositionalSlots)
            RaiseError(ctx, "Out of memory");
        while (static_cast<std::int64_t>(o->slotCount) <= k)
            AppendSlot(ctx, o, kDeletedSlot, Value());
        PropertySlot& s = o->slots[k];
        s.value = value;
        if (s.atom == kDeletedSlot) {
            // A slot made or filled by position is named by its decimal text,
            // unless an own property already has that name.
            Atom atom = InternAtom(ctx, std::to_string(k));
            if (!ObjectFindOwn(o, atom)) {
                o->slots[k].atom = static_cast<std::int32_t>(atom);
                if (o->index)
                    IndexEnter(ctx, o, atom, static_cast<std::uint32_t>(k));
            }
        }
        return;
    }
    if (key.tag == kString) {
        std::string name = StringToAnsi(key.s);
        std::int64_t slot = FindByName(ctx, o, name);
        if (slot >= 0) {
            o->slots[slot].value = value;
            return;
        }
        Atom atom = InternAtom(ctx, name);
        std::uint32_t s = AppendSlot(ctx, o, static_cast<std::int32_t>(atom), value);
        IndexEnter(ctx, o, atom, s);
    }
}

void ObjectDeleteKeyed(Context* ctx, ObjectRecord* o, const Value& key)
{
    if (key.tag == kInteger) {
        if (key.i >= 0 && key.i < static_cast<std::int64_t>(o->slotCount))
            DeleteSlot(ctx, o, static_cast<std::uint32_t>(key.i));
        return;
    }
    if (key.tag == kString) {
        std::int64_t slot = FindByName(ctx, o, StringToAnsi(key.s));
        if (slot >= 0)
            DeleteSlot(ctx, o, static_cast<std::uint32_t>(slot));
    }
}

bool ObjectEntryName(Context* ctx, ObjectRecord* o, std::int64_t n, Value* out)
{
    if (n < 0)
        return false;
    EnsureIndex(ctx, o);
    NameIndex* index = o->index;
    for (int b = 0; b < kNameIndexBuckets; ++b) {
        if (n < static_cast<std::int64_t>(index->counts[b])) {
            std::int32_t e = index->heads[b];
            for (; n > 0; --n)
                e = Entries(index)[e].next;
            *out = StringFromAnsi(ctx, AtomName(ctx, Entries(index)[e].atom));
            return true;
        }
        n -= index->counts[b];
    }
    return false;
}

} // namespace zelph
