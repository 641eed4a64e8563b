#include "script/vm/disassembler.h"

#include "script/vm/number_text.h"
#include "script/vm/opcodes.h"

#include <charconv>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace zelph {
namespace {

std::string Hex(std::uint32_t v, int digits)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, v);
    return buffer;
}

// Text for a listing: printable ASCII as it is, the rest escaped. A pattern keeps
// its quotes and backslashes (they are part of its own syntax).
std::string Escaped(std::u16string_view text, bool pattern)
{
    std::string out;
    for (char16_t c : text) {
        if (!pattern && (c == '"' || c == '\\')) {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += "\\u" + Hex(c, 4);
        }
    }
    return out;
}

std::string Quoted(std::u16string_view text)
{
    return "\"" + Escaped(text, false) + "\"";
}

struct Constants {
    std::vector<std::string> shown;  // by module index
    std::vector<std::string> atoms;  // the atom's name, or "" for other kinds
    bool malformed = false;
};

Constants Malformed(Constants& c)
{
    c.malformed = true;
    return c;
}

Constants ReadConstants(const Module::Section* section)
{
    Constants c;
    if (!section)
        return c;
    const std::vector<std::uint8_t>& d = section->data;
    std::size_t pos = 0, n = d.size();
    auto text16 = [&](std::uint32_t bytes) {
        std::u16string s;
        for (std::uint32_t i = 0; i + 1 < bytes; i += 2)
            s.push_back(static_cast<char16_t>(d[pos + i] | d[pos + i + 1] << 8));
        pos += bytes;
        return s;
    };
    while (pos < n) {
        std::uint8_t type = d[pos++];
        std::string shown, atom;
        switch (type) {
        case kConstNull: shown = "null"; break;
        case kConstNaN: shown = "NaN"; break;
        case kConstBoolean:
            if (n - pos < 1)
                return Malformed(c);
            shown = d[pos++] ? "true" : "false";
            break;
        case kConstInteger: {
            if (n - pos < 8)
                return Malformed(c);
            std::uint64_t v = std::uint64_t(ReadU32BE(&d[pos])) << 32 | ReadU32BE(&d[pos + 4]);
            pos += 8;
            shown = std::to_string(static_cast<std::int64_t>(v));
            break;
        }
        case kConstFloat: {
            if (n - pos < 8)
                return Malformed(c);
            std::uint64_t bits = 0;
            for (int i = 7; i >= 0; --i)
                bits = bits << 8 | d[pos + static_cast<std::size_t>(i)];
            pos += 8;
            double v;
            std::memcpy(&v, &bits, 8);
            char buffer[64];
            auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
            shown = std::string(buffer, r.ptr);
            if (shown.find_first_of(".en") == std::string::npos)
                shown += ".0";  // a float, not an integer
            break;
        }
        case kConstString: {
            if (n - pos < 4)
                return Malformed(c);
            std::uint32_t bytes = ReadU32BE(&d[pos]);
            pos += 4;
            if (n - pos < bytes)
                return Malformed(c);
            shown = Quoted(text16(bytes));
            break;
        }
        case kConstRegExp: {
            if (n - pos < 5)
                return Malformed(c);
            std::uint8_t flags = d[pos];
            std::uint32_t bytes = ReadU32BE(&d[pos + 1]);
            pos += 5;
            if (n - pos < bytes)
                return Malformed(c);
            shown = "/" + Escaped(text16(bytes), true) + "/";
            if (flags & 1)
                shown += 'g';
            if (flags & 2)
                shown += 'i';
            if (flags & 4)
                shown += 'm';
            break;
        }
        case kConstAtom: {
            const void* nul = std::memchr(&d[pos], 0, n - pos);
            if (!nul)
                return Malformed(c);
            atom.assign(reinterpret_cast<const char*>(&d[pos]), static_cast<const std::uint8_t*>(nul) - &d[pos]);
            pos += atom.size() + 1;
            shown = "atom " + atom;
            break;
        }
        default:
            return Malformed(c);
        }
        c.shown.push_back(shown);
        c.atoms.push_back(atom);
    }
    return c;
}

struct Function {
    std::string name;
    std::uint32_t offset;
};

std::vector<Function> ReadFunctions(const Module::Section* section, bool* malformed)
{
    std::vector<Function> functions;
    if (!section)
        return functions;
    const std::vector<std::uint8_t>& d = section->data;
    if (d.size() < 4) {
        *malformed = true;
        return functions;
    }
    std::uint32_t count = ReadU32BE(d.data());
    std::size_t pos = 4;
    for (std::uint32_t i = 0; i < count; ++i) {
        const void* nul = pos < d.size() ? std::memchr(&d[pos], 0, d.size() - pos) : nullptr;
        if (!nul) {
            *malformed = true;
            break;
        }
        std::string name(reinterpret_cast<const char*>(&d[pos]), static_cast<const std::uint8_t*>(nul) - &d[pos]);
        pos += name.size() + 1;
        if (d.size() - pos < 4) {
            *malformed = true;
            break;
        }
        functions.push_back({name, ReadU32BE(&d[pos])});
        pos += 4;
    }
    return functions;
}

// Line records: the byte just after the instruction where the line changed.
std::map<std::uint32_t, std::uint32_t> ReadLines(const Module::Section* section, std::string* file)
{
    std::map<std::uint32_t, std::uint32_t> lines;
    if (!section)
        return lines;
    const std::vector<std::uint8_t>& d = section->data;
    for (std::size_t pos = 0; pos < d.size();) {
        std::uint8_t type = d[pos++];
        if (type == kDebugFileName && d.size() - pos >= 4) {
            std::uint32_t len = ReadU32BE(&d[pos]);
            pos += 4;
            if (d.size() - pos < len)
                break;
            file->assign(reinterpret_cast<const char*>(&d[pos]), len);
            pos += len;
        } else if (type == kDebugLine && d.size() - pos >= 8) {
            lines[ReadU32BE(&d[pos])] = ReadU32BE(&d[pos + 4]);
            pos += 8;
        } else {
            break;
        }
    }
    return lines;
}

std::int32_t OperandAt(const std::vector<std::uint8_t>& code, std::size_t at, zelph::Operand kind)
{
    switch (kind) {
    case Operand::kI8: return static_cast<std::int8_t>(code[at]);
    case Operand::kI16: return static_cast<std::int16_t>(static_cast<std::uint16_t>(code[at] << 8 | code[at + 1]));
    default: return static_cast<std::int32_t>(ReadU32BE(&code[at]));
    }
}

} // namespace

std::string Disassemble(const Module& module, const DisassemblyOptions& options)
{
    const Module::Section* code = module.Find(kCodeSection);
    bool malformedFunctions = false;
    Constants constants = ReadConstants(module.Find(kConstantSection));
    std::vector<Function> functions = ReadFunctions(module.Find(kFunctionSection), &malformedFunctions);
    std::string file;
    std::map<std::uint32_t, std::uint32_t> lines = ReadLines(module.Find(kDebugSection), &file);
    static const std::vector<std::uint8_t> none;
    const std::vector<std::uint8_t>& bytes = code ? code->data : none;

    std::string out;
    if (options.header) {
        out += "code " + std::to_string(bytes.size()) + " bytes, " + std::to_string(constants.shown.size()) +
               " constants, " + std::to_string(functions.size()) + " functions";
        if (!file.empty())
            out += ", source " + file;
        out += "\n";
        if (!constants.shown.empty())
            out += "constants:\n";
        for (std::size_t i = 0; i < constants.shown.size(); ++i)
            out += "  #" + std::to_string(i) + " " + constants.shown[i] + "\n";
        if (constants.malformed)
            out += "  <malformed constants>\n";
        if (!functions.empty())
            out += "functions:\n";
        for (const Function& f : functions)
            out += "  " + f.name + " @" + Hex(f.offset, 4) + "\n";
        if (malformedFunctions)
            out += "  <malformed function table>\n";
    }

    // Jump targets get labels when offsets are not shown.
    std::map<std::int64_t, int> labels;
    for (std::size_t pos = 0; pos < bytes.size();) {
        std::uint8_t op = bytes[pos];
        const OpcodeInfo& info = InfoOf(op);
        if (!info.name) {
            ++pos;
            continue;
        }
        std::size_t size = static_cast<std::size_t>(EncodedSize(info.operand));
        if (bytes.size() - pos < size)
            break;
        if (info.operand == Operand::kRel)
            labels[static_cast<std::int64_t>(pos + size) + OperandAt(bytes, pos + 1, info.operand)] = 0;
        pos += size;
    }
    int nextLabel = 1;
    for (auto& [at, number] : labels)
        number = nextLabel++;

    std::size_t nextFunction = 0;
    for (std::size_t pos = 0; pos < bytes.size();) {
        while (nextFunction < functions.size() && functions[nextFunction].offset <= pos)
            out += functions[nextFunction++].name + ":\n";
        if (!options.offsets) {
            auto label = labels.find(static_cast<std::int64_t>(pos));
            if (label != labels.end())
                out += "L" + std::to_string(label->second) + ":\n";
        }
        std::uint8_t op = bytes[pos];
        const OpcodeInfo& info = InfoOf(op);
        std::string line = options.offsets ? "  " + Hex(static_cast<std::uint32_t>(pos), 4) + "  " : "  ";
        if (!info.name) {
            out += line + "<byte " + Hex(op, 2) + ">\n";
            ++pos;
            continue;
        }
        std::size_t size = static_cast<std::size_t>(EncodedSize(info.operand));
        if (bytes.size() - pos < size) {
            out += line + info.name + " <cut off>\n";
            break;
        }
        line += info.name;
        if (info.operand != Operand::kNone) {
            std::int32_t v = OperandAt(bytes, pos + 1, info.operand);
            line += ' ';
            switch (info.operand) {
            case Operand::kAtom: {
                std::uint32_t index = static_cast<std::uint32_t>(v) & 0x0FFFFFFF;
                line += index < constants.atoms.size() && !constants.atoms[index].empty()
                            ? constants.atoms[index]
                            : "<atom #" + std::to_string(index) + ">";
                break;
            }
            case Operand::kConst: {
                std::uint32_t index = static_cast<std::uint32_t>(v);
                line += index < constants.shown.size() ? constants.shown[index]
                                                       : "<constant #" + std::to_string(index) + ">";
                break;
            }
            case Operand::kRel: {
                std::int64_t target = static_cast<std::int64_t>(pos + size) + v;
                if (options.offsets)
                    line += "-> " + (target >= 0 ? Hex(static_cast<std::uint32_t>(target), 4) : std::to_string(target));
                else
                    line += "L" + std::to_string(labels[target]);
                break;
            }
            default:
                line += std::to_string(v);
                break;
            }
        }
        pos += size;
        auto l = lines.find(static_cast<std::uint32_t>(pos));
        if (options.lines && l != lines.end())
            line += "  ; line " + std::to_string(l->second);
        out += line + "\n";
    }
    while (nextFunction < functions.size())
        out += functions[nextFunction++].name + ":\n";
    return out;
}

} // namespace zelph
