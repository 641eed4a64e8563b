#include "script/compiler/module_writer.h"

#include "script/compiler/compiler_state.h"
#include "script/vm/ansi.h"
#include "script/vm/module.h"
#include "script/vm/opcodes.h"

#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <unordered_map>

namespace zelph {
namespace {

// The constant pool: one index per distinct constant, in the order the writer
// meets them; atoms and values share the numbering. Doubles are the same
// constant only when their bit patterns are equal.
class ConstantPool {
public:
    explicit ConstantPool(std::vector<std::uint8_t>& sink) : sink_(sink) {}

    std::uint32_t Atom(const char* name)
    {
        return Intern(ModuleAtomKey(name), [&] {
            sink_.push_back(kConstAtom);
            sink_.insert(sink_.end(), name, name + std::strlen(name) + 1);
        });
    }

    std::uint32_t Value(const Constant& c)
    {
        switch (c.kind) {
        case Constant::kInteger:
            return Intern(std::string(1, '\3') + std::to_string(c.integer), [&] {
                sink_.push_back(kConstInteger);
                AppendU32BE(sink_, static_cast<std::uint32_t>(static_cast<std::uint64_t>(c.integer) >> 32));
                AppendU32BE(sink_, static_cast<std::uint32_t>(c.integer));
            });
        case Constant::kString:
            return Intern(std::string(1, '\4') + c.text, [&] {
                sink_.push_back(kConstString);
                Utf16(c.text);
            });
        case Constant::kDouble: {
            std::uint64_t bits;
            std::memcpy(&bits, &c.number, 8);
            return Intern(std::string(1, '\5') + std::to_string(bits), [&] {
                sink_.push_back(kConstFloat);
                for (int i = 0; i < 8; ++i)
                    sink_.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
            });
        }
        case Constant::kRegExp: {
            std::string key = std::string(1, '\13') + c.regexp->pattern;
            if (c.regexp->flags & kRegExpGlobal)
                key += 'g';
            if (c.regexp->flags & kRegExpIgnoreCase)
                key += 'i';
            if (c.regexp->flags & kRegExpMultiline)
                key += 'm';
            return Intern(key, [&] {
                sink_.push_back(kConstRegExp);
                sink_.push_back(static_cast<std::uint8_t>(c.regexp->flags));
                Utf16(c.regexp->pattern);
            });
        }
        }
        return 0;
    }

private:
    static std::string ModuleAtomKey(const char* name) { return std::string(1, '\12') + name; }

    template <typename Write>
    std::uint32_t Intern(const std::string& key, Write&& write)
    {
        auto [it, added] = indexes_.try_emplace(key, static_cast<std::uint32_t>(indexes_.size()));
        if (added)
            write();
        return it->second;
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

    std::vector<std::uint8_t>& sink_;
    std::unordered_map<std::string, std::uint32_t> indexes_;
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

std::vector<std::uint8_t> WriteCompiledModule(CompilerState& s)
{
    std::vector<std::uint8_t> code, constants, functions, debug;
    ConstantPool pool(constants);
    AppendU32BE(functions, 0);  // the count, stored at the end
    std::uint32_t functionCount = 0;
    const bool withDebug = s.options & kCompileDebugInfo;
    if (withDebug) {
        const std::string& name = s.source->name();
        debug.push_back(kDebugFileName);
        AppendU32BE(debug, static_cast<std::uint32_t>(name.size()));
        debug.insert(debug.end(), name.begin(), name.end());
    }
    int lastLine = 0;
    for (const Instr* r = s.first; r; r = r->next) {
        if (r->opcode == kEntryLabel) {
            functions.insert(functions.end(), r->name, r->name + std::strlen(r->name) + 1);
            AppendU32BE(functions, r->offset);
            ++functionCount;
            continue;
        }
        if (r->opcode == kJumpLabel)
            continue;
        if (withDebug && r->line != lastLine) {
            debug.push_back(kDebugLine);
            AppendU32BE(debug, r->offset + static_cast<std::uint32_t>(r->size));
            AppendU32BE(debug, static_cast<std::uint32_t>(r->line));
            lastLine = r->line;
        }
        code.push_back(static_cast<std::uint8_t>(r->opcode));
        Operand kind = InfoOf(static_cast<std::uint8_t>(r->opcode)).operand;
        switch (kind) {
        case Operand::kNone:
            break;
        case Operand::kAtom:
            AppendOperand(code, kind, pool.Atom(r->name));
            break;
        case Operand::kConst:
            AppendOperand(code, kind, pool.Value(*r->constant));
            break;
        case Operand::kRel:
            AppendOperand(code, kind, r->target->offset - (r->offset + static_cast<std::uint32_t>(r->size)));
            break;
        default:
            AppendOperand(code, kind, static_cast<std::uint32_t>(r->value));
            break;
        }
    }
    for (int i = 0; i < 4; ++i)
        functions[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(functionCount >> (24 - 8 * i));

    // The upper bits of the section kind words carry no meaning: random.
    std::minstd_rand random(static_cast<std::uint32_t>(
        std::chrono::system_clock::now().time_since_epoch().count()));
    std::uint32_t tags[4];
    for (std::uint32_t& t : tags)
        t = random() & 0xFFFFFF;
    return WriteModule(code, constants, functions, debug, tags);
}

} // namespace zelph
