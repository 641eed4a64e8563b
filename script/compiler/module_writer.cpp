#include "script/compiler/module_writer.h"

#include "script/compiler/compiler_state.h"
#include "script/vm/ansi.h"
#include "script/vm/module.h"
#include "script/vm/opcodes.h"

#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <algorithm>

namespace zelph {
namespace {

// A pool key: the kind, and the constant's bits or text (NUL-terminated; it
// stays in the compilation's arena, or is a literal, while the pool lives),
// with its hash.
struct PoolKey {
    std::uint8_t kind;
    std::uint64_t bits;
    const char* text;
    std::size_t length;
    std::uint64_t hash;

    PoolKey(std::uint8_t k, std::uint64_t b, const char* t = "") : kind(k), bits(b), text(t)
    {
        // FNV-1a over the text, measuring it on the way; then the bits.
        std::uint64_t h = 0xCBF29CE484222325u ^ k;
        const char* p = t;
        for (; *p; ++p)
            h = (h ^ static_cast<std::uint8_t>(*p)) * 0x100000001B3u;
        length = static_cast<std::size_t>(p - t);
        h ^= b * 0x9E3779B97F4A7C15u;
        hash = h ^ (h >> 29);
    }
    bool operator==(const PoolKey& o) const
    {
        return hash == o.hash && kind == o.kind && bits == o.bits && length == o.length &&
               std::memcmp(text, o.text, length) == 0;
    }
};

void AppendOperand(std::vector<std::uint8_t>& code, Operand kind, std::uint32_t v)
{
    switch (kind) {
    case Operand::kI8:
        code.push_back(static_cast<std::uint8_t>(v));
        return;
    case Operand::kI16:
        code.push_back(static_cast<std::uint8_t>(v >> 8));
        code.push_back(static_cast<std::uint8_t>(v));
        return;
    default:
        AppendU32BE(code, v);
        return;
    }
}

} // namespace

// The constant pool: one index per distinct constant, in the order the writer
// meets them; atoms and values share the numbering. Doubles are the same
// constant only when their bit patterns are equal; a pattern is the same only
// with the same flags.
class ModuleWriter::ConstantPool {
public:
    explicit ConstantPool(std::vector<std::uint8_t>& sink) : sink_(sink) {}

    std::uint32_t Atom(const char* name)
    {
        return Intern({kConstAtom, 0, name}, [&] {
            sink_.push_back(kConstAtom);
            sink_.insert(sink_.end(), name, name + std::strlen(name) + 1);
        });
    }

    std::uint32_t Value(const Constant& c)
    {
        switch (c.kind) {
        case Constant::kInteger:
            return Intern({kConstInteger, static_cast<std::uint64_t>(c.integer)}, [&] {
                sink_.push_back(kConstInteger);
                AppendU32BE(sink_, static_cast<std::uint32_t>(static_cast<std::uint64_t>(c.integer) >> 32));
                AppendU32BE(sink_, static_cast<std::uint32_t>(c.integer));
            });
        case Constant::kString:
            return Intern({kConstString, 0, c.text}, [&] {
                sink_.push_back(kConstString);
                Utf16(c.text);
            });
        case Constant::kDouble: {
            std::uint64_t bits;
            std::memcpy(&bits, &c.number, 8);
            return Intern({kConstFloat, bits}, [&] {
                sink_.push_back(kConstFloat);
                for (int i = 0; i < 8; ++i)
                    sink_.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
            });
        }
        case Constant::kRegExp: {
            const std::uint32_t flags = c.regexp->flags & (kRegExpGlobal | kRegExpIgnoreCase | kRegExpMultiline);
            return Intern({kConstRegExp, flags, c.regexp->pattern}, [&] {
                sink_.push_back(kConstRegExp);
                sink_.push_back(static_cast<std::uint8_t>(c.regexp->flags));
                Utf16(c.regexp->pattern);
            });
        }
        }
        return 0;
    }

private:
    // Open addressing over a power-of-two table at most half full.
    template <typename Write>
    std::uint32_t Intern(const PoolKey& key, Write&& write)
    {
        if (2 * (count_ + 1) > slots_.size())
            Grow();
        std::size_t mask = slots_.size() - 1;
        for (std::size_t i = key.hash & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (!slot.used) {
                slot = {key, count_++, true};
                write();
                return slot.index;
            }
            if (slot.key == key)
                return slot.index;
        }
    }

    void Grow()
    {
        std::vector<Slot> old(std::max<std::size_t>(64, slots_.size() * 2));
        old.swap(slots_);
        std::size_t mask = slots_.size() - 1;
        for (const Slot& s : old) {
            if (!s.used)
                continue;
            std::size_t i = s.key.hash & mask;
            while (slots_[i].used)
                i = (i + 1) & mask;
            slots_[i] = s;
        }
    }

    // Text in the ANSI code page, written as UTF-16LE with its byte length.
    void Utf16(const char* text)
    {
        std::u16string wide = AnsiToWide(text);
        AppendU32BE(sink_, static_cast<std::uint32_t>(wide.size() * 2));
        for (char16_t c : wide) {
            sink_.push_back(static_cast<std::uint8_t>(c));
            sink_.push_back(static_cast<std::uint8_t>(c >> 8));
        }
    }

    struct Slot {
        PoolKey key{0, 0};
        std::uint32_t index = 0;
        bool used = false;
    };

    std::vector<std::uint8_t>& sink_;
    std::vector<Slot> slots_;
    std::uint32_t count_ = 0;
};

ModuleWriter::ModuleWriter(CompilerState& state) : s_(state), pool_(std::make_unique<ConstantPool>(constants_))
{
    AppendU32BE(functions_, 0);  // the count, stored at the end
    if (s_.options & kCompileDebugInfo) {
        const std::string& name = s_.source->name();
        debug_.push_back(kDebugFileName);
        AppendU32BE(debug_, static_cast<std::uint32_t>(name.size()));
        debug_.insert(debug_.end(), name.begin(), name.end());
    }
}

ModuleWriter::~ModuleWriter() = default;

void ModuleWriter::AddUnit()
{
    const bool withDebug = s_.options & kCompileDebugInfo;
    for (const Instr* r = s_.first; r; r = r->next) {
        if (r->opcode == kEntryLabel) {
            functions_.insert(functions_.end(), r->name, r->name + std::strlen(r->name) + 1);
            AppendU32BE(functions_, r->offset);
            ++functionCount_;
            continue;
        }
        if (r->opcode == kJumpLabel)
            continue;
        if (withDebug && r->line != lastLine_) {
            debug_.push_back(kDebugLine);
            AppendU32BE(debug_, r->offset + static_cast<std::uint32_t>(r->size));
            AppendU32BE(debug_, static_cast<std::uint32_t>(r->line));
            lastLine_ = r->line;
        }
        code_.push_back(static_cast<std::uint8_t>(r->opcode));
        Operand kind = InfoOf(static_cast<std::uint8_t>(r->opcode)).operand;
        switch (kind) {
        case Operand::kNone:
            break;
        case Operand::kAtom:
            AppendOperand(code_, kind, pool_->Atom(r->name));
            break;
        case Operand::kConst:
            AppendOperand(code_, kind, pool_->Value(*r->constant));
            break;
        case Operand::kRel:
            AppendOperand(code_, kind, r->target->offset - (r->offset + static_cast<std::uint32_t>(r->size)));
            break;
        default:
            AppendOperand(code_, kind, static_cast<std::uint32_t>(r->value));
            break;
        }
    }
}

std::vector<std::uint8_t> ModuleWriter::Finish()
{
    for (int i = 0; i < 4; ++i)
        functions_[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(functionCount_ >> (24 - 8 * i));

    // The upper bits of the section kind words carry no meaning: random.
    std::minstd_rand random(static_cast<std::uint32_t>(
        std::chrono::system_clock::now().time_since_epoch().count()));
    std::uint32_t tags[4];
    for (std::uint32_t& t : tags)
        t = random() & 0xFFFFFF;
    return WriteModule(code_, constants_, functions_, debug_, tags);
}

} // namespace zelph
