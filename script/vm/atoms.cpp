#include "script/vm/atoms.h"

#include "script/vm/context.h"
#include "script/vm/string_hash.h"


namespace zelph {

namespace {
// Set in the payload of an unset global slot, above the Atom number.
constexpr std::uint64_t kUnsetMarker = std::uint64_t(1) << 32;
} // namespace

AtomTable::AtomTable() : heads_(kAtomBuckets, -1) {}

std::int64_t AtomTable::Find(std::string_view name) const
{
    name = name.substr(0, name.find('\0'));
    std::uint32_t hash = StringHash(name);
    for (std::int32_t i = *Bucket(hash); i >= 0; i = records_[i].next)
        if (records_[i].hash == hash && records_[i].name == name)
            return i;
    return -1;
}

Atom AtomTable::Intern(std::string_view name, bool* added)
{
    name = name.substr(0, name.find('\0'));
    std::uint32_t hash = StringHash(name);
    for (std::int32_t i = *Bucket(hash); i >= 0; i = records_[i].next) {
        if (records_[i].hash == hash && records_[i].name == name) {
            if (added)
                *added = false;
            return static_cast<Atom>(i);
        }
    }
    if (records_.size() >= 2 * heads_.size())
        Grow();
    std::int32_t* head = Bucket(hash);
    records_.push_back({std::string(name), hash, *head});
    *head = static_cast<std::int32_t>(records_.size() - 1);
    if (added)
        *added = true;
    return static_cast<Atom>(records_.size() - 1);
}

void AtomTable::Grow()
{
    heads_.assign(heads_.size() * 2, -1);
    for (std::size_t i = 0; i < records_.size(); ++i) {
        std::int32_t* head = Bucket(records_[i].hash);
        records_[i].next = *head;
        *head = static_cast<std::int32_t>(i);
    }
}

const char* AtomTable::Name(Atom atom) const
{
    return atom < records_.size() ? records_[atom].name.c_str() : "???";
}

Atom InternAtom(Context* ctx, std::string_view name)
{
    // Room for a new global first, so that a failed allocation leaves no Atom
    // without its slot.
    if (ctx->globals.size() == ctx->globals.capacity())
        ctx->globals.reserve(ctx->globals.capacity() + kGlobalGrowth);
    bool added = false;
    Atom atom = ctx->atoms.Intern(name, &added);
    if (added)
        ctx->globals.push_back(UnsetGlobal(atom));
    return atom;
}

const char* AtomName(const Context* ctx, Atom atom)
{
    return ctx->atoms.Name(atom);
}

Value UnsetGlobal(Atom atom)
{
    Value v;
    v.bits = kUnsetMarker | atom;
    return v;
}

std::int64_t UnsetGlobalAtom(const Value& v)
{
    if (v.tag != kUndefined || !(v.bits & kUnsetMarker))
        return -1;
    return static_cast<std::int64_t>(v.bits & 0xFFFFFFFFu);
}

} // namespace zelph
