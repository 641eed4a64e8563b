// Atoms: interned 8-bit names, numbered from 0 in the order first interned and
// never removed. Every Atom has one global slot (the global variable of that
// name), kept in the context's global slot array indexed by Atom number.
#pragma once

#include "script/vm/value.h"
#include "script/vm/vm_config.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelph {

// The Atoms every context interns first, in this order.
inline constexpr Atom kAtomProto = 0;      // __proto__
inline constexpr Atom kAtomPrototype = 1;  // prototype
inline constexpr Atom kAtomToSource = 2;   // toSource
inline constexpr Atom kAtomToString = 3;   // toString
inline constexpr Atom kAtomValueOf = 4;    // valueOf

class AtomTable {
public:
    AtomTable();
    // The Atom of a name (up to its first NUL), and whether it was new.
    Atom Intern(std::string_view name, bool* added = nullptr);
    // The Atom of a name when it exists, else -1 (nothing is interned).
    std::int64_t Find(std::string_view name) const;
    // The name, or "???" for a number that names no Atom.
    const char* Name(Atom atom) const;
    // The string hash of an existing Atom's name.
    std::uint32_t Hash(Atom atom) const { return records_[atom].hash; }
    std::size_t Count() const { return records_.size(); }

private:
    struct Record {
        std::string name;
        std::uint32_t hash;
        std::int32_t next;  // next record of the bucket, -1 at the end
    };
    std::int32_t* Bucket(std::uint32_t hash) { return &heads_[hash & (heads_.size() - 1)]; }
    const std::int32_t* Bucket(std::uint32_t hash) const { return &heads_[hash & (heads_.size() - 1)]; }
    void Grow();

    std::vector<Record> records_;  // by Atom number
    // Chains of records, newest first; doubled as the table fills, so that a
    // lookup walks one or two records (no script can see the chains).
    std::vector<std::int32_t> heads_;
};

// Interns a name; a new Atom gets a global slot holding the unset marker.
Atom InternAtom(Context* ctx, std::string_view name);
const char* AtomName(const Context* ctx, Atom atom);

// The global slot of an unassigned name: undefined, its payload naming the Atom
// so that warnings can name the variable.
Value UnsetGlobal(Atom atom);
// The Atom named by an unset global slot, or -1 when the Value is not one.
std::int64_t UnsetGlobalAtom(const Value& v);

} // namespace zelph
