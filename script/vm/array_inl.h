// Element table layout, shared with the collector's template walk.
#pragma once

namespace zelph {

struct ElementTable {
    std::uint32_t capacity;   // a power of two
    std::uint32_t count;
    std::uint64_t nextSeq;
    ArrayElement* Entries() { return reinterpret_cast<ArrayElement*>(this + 1); }
};

// Every element, in table order (no order a script can see).
template <typename Fn>
void ForEachElement(ArrayRecord* a, Fn&& fn)
{
    ElementTable* t = a->table;
    if (!t)
        return;
    ArrayElement* e = t->Entries();
    for (std::uint32_t i = 0; i < t->capacity; ++i)
        if (e[i].seq)
            fn(e[i]);
}

template <typename Fn>
void ForEachElementValue(ArrayRecord* a, Fn&& fn)
{
    ForEachElement(a, [&](ArrayElement& e) { fn(e.value); });
}

} // namespace zelph
