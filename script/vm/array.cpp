#include "script/vm/array.h"

#include "script/vm/context.h"
#include "script/vm/heap.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zelph {
namespace {

constexpr std::uint32_t kFirstCapacity = 8;

std::uint32_t Slot(const ElementTable* t, std::int64_t index)
{
    std::uint64_t h = static_cast<std::uint64_t>(index) * 0x9E3779B97F4A7C15ull;
    return static_cast<std::uint32_t>(h >> (64 - std::countr_zero(t->capacity)));
}

ElementTable* NewTable(Context* ctx, std::uint32_t capacity)
{
    auto* t = static_cast<ElementTable*>(HeapAlloc(ctx, sizeof(ElementTable) + std::size_t(capacity) * sizeof(ArrayElement)));
    t->capacity = capacity;
    t->count = 0;
    t->nextSeq = 1;
    std::memset(static_cast<void*>(t->Entries()), 0, std::size_t(capacity) * sizeof(ArrayElement));
    return t;
}

// Position of index in the table, or of the empty entry where it would go.
std::uint32_t Probe(const ElementTable* t, std::int64_t index)
{
    const ArrayElement* e = const_cast<ElementTable*>(t)->Entries();
    std::uint32_t mask = t->capacity - 1;
    std::uint32_t i = Slot(t, index);
    while (e[i].seq && e[i].index != index)
        i = (i + 1) & mask;
    return i;
}

void PutNew(ElementTable* t, const ArrayElement& element)
{
    t->Entries()[Probe(t, element.index)] = element;
    ++t->count;
}

// A table with room for `count` elements at a load of at most 3/4.
std::uint32_t CapacityFor(std::uint32_t count)
{
    std::uint32_t capacity = kFirstCapacity;
    while (count > capacity / 4 * 3)
        capacity *= 2;
    return capacity;
}

bool ChainOrder(const ArrayElement& a, const ArrayElement& b)
{
    std::uint64_t ca = static_cast<std::uint64_t>(a.index) % kArrayChains;
    std::uint64_t cb = static_cast<std::uint64_t>(b.index) % kArrayChains;
    return ca != cb ? ca < cb : a.seq > b.seq;
}

// Rebuilds the table from elements given in the old chain order, numbering them
// as chains rebuilt by pushing each element on the head of its new chain.
void Rebuild(Context* ctx, ArrayRecord* a, std::vector<ArrayElement>& elements)
{
    if (elements.empty()) {
        HeapFree(ctx, a->table);
        a->table = nullptr;
        return;
    }
    ElementTable* t = NewTable(ctx, CapacityFor(static_cast<std::uint32_t>(elements.size())));
    for (ArrayElement& e : elements) {
        e.seq = t->nextSeq++;
        PutNew(t, e);
    }
    HeapFree(ctx, a->table);
    a->table = t;
}

} // namespace

ArrayRecord* NewArray(Context* ctx, std::int64_t length)
{
    auto* a = static_cast<ArrayRecord*>(HeapAlloc(ctx, sizeof(ArrayRecord)));
    *a = {length, nullptr, nullptr};
    return a;
}

Value* ArrayGet(ArrayRecord* a, std::int64_t index)
{
    ElementTable* t = a->table;
    if (!t)
        return nullptr;
    ArrayElement& e = t->Entries()[Probe(t, index)];
    return e.seq ? &e.value : nullptr;
}

void ArraySet(Context* ctx, ArrayRecord* a, const Value& v, std::int64_t index)
{
    Value value = v;  // v may live in the table, which can move
    if (Value* existing = ArrayGet(a, index)) {
        *existing = value;
        return;
    }
    ElementTable* t = a->table;
    if (!t) {
        t = a->table = NewTable(ctx, kFirstCapacity);
    } else if (t->count + 1 > t->capacity / 4 * 3) {
        ElementTable* bigger = NewTable(ctx, t->capacity * 2);
        bigger->nextSeq = t->nextSeq;
        ArrayElement* e = t->Entries();
        for (std::uint32_t i = 0; i < t->capacity; ++i)
            if (e[i].seq)
                PutNew(bigger, e[i]);
        HeapFree(ctx, t);
        t = a->table = bigger;
    }
    PutNew(t, {index, t->nextSeq++, value});
}

void ArrayRemove(Context*, ArrayRecord* a, std::int64_t index)
{
    ElementTable* t = a->table;
    if (!t)
        return;
    ArrayElement* e = t->Entries();
    std::uint32_t mask = t->capacity - 1;
    std::uint32_t i = Probe(t, index);
    if (!e[i].seq)
        return;
    // Backward-shift deletion keeps every probe sequence unbroken.
    for (std::uint32_t j = (i + 1) & mask; e[j].seq; j = (j + 1) & mask) {
        std::uint32_t home = Slot(t, e[j].index);
        bool movable = i <= j ? (home <= i || home > j) : (home <= i && home > j);
        if (movable) {
            e[i] = e[j];
            i = j;
        }
    }
    e[i].seq = 0;
    --t->count;
}

void ArrayDeleteShift(Context* ctx, ArrayRecord* a, std::int64_t index)
{
    if (index >= a->length)
        return;
    std::vector<ArrayElement> elements = ArrayElementsInChainOrder(a);
    std::erase_if(elements, [index](const ArrayElement& e) { return e.index == index; });
    for (ArrayElement& e : elements)
        if (e.index > index)
            --e.index;
    Rebuild(ctx, a, elements);
    --a->length;
}

void ArrayRenumber(Context* ctx, ArrayRecord* a, std::int64_t delta)
{
    std::vector<ArrayElement> elements = ArrayElementsInChainOrder(a);
    for (ArrayElement& e : elements)
        e.index = static_cast<std::int64_t>(static_cast<std::uint64_t>(e.index) + static_cast<std::uint64_t>(delta));
    Rebuild(ctx, a, elements);
    a->length = static_cast<std::int64_t>(static_cast<std::uint64_t>(a->length) + static_cast<std::uint64_t>(delta));
}

std::uint32_t ArrayElementCount(const ArrayRecord* a)
{
    return a->table ? a->table->count : 0;
}

std::vector<ArrayElement> ArrayElementsInChainOrder(const ArrayRecord* a)
{
    std::vector<ArrayElement> elements;
    ForEachElement(const_cast<ArrayRecord*>(a), [&](const ArrayElement& e) { elements.push_back(e); });
    std::sort(elements.begin(), elements.end(), ChainOrder);
    return elements;
}

std::vector<ArrayElement> ArrayElementsByIndex(const ArrayRecord* a)
{
    std::vector<ArrayElement> elements;
    ForEachElement(const_cast<ArrayRecord*>(a), [&](const ArrayElement& e) { elements.push_back(e); });
    std::sort(elements.begin(), elements.end(),
              [](const ArrayElement& x, const ArrayElement& y) { return x.index < y.index; });
    return elements;
}

void* ElementTableBlock(ArrayRecord* a)
{
    return a->table;
}

} // namespace zelph
