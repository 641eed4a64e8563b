#include "tests/script/vm/assembler.h"

#include "script/vm/module.h"
#include "script/vm/opcodes.h"

#include <cstring>
#include <map>
#include <sstream>
#include <stdexcept>

namespace zelph::test {
namespace {

class Assembler {
public:
    std::vector<std::uint8_t> Run(const std::string& listing)
    {
        std::istringstream in(listing);
        std::string line;
        while (std::getline(in, line))
            Line(line);
        Resolve();
        std::vector<std::uint8_t> functions;
        AppendU32BE(functions, static_cast<std::uint32_t>(functions_.size()));
        for (auto& [name, offset] : functions_) {
            functions.insert(functions.end(), name.begin(), name.end());
            functions.push_back(0);
            AppendU32BE(functions, offset);
        }
        const std::uint32_t tags[4] = {0x123456, 0xABCDEF, 0x000001, 0xFFFFFF};
        return WriteModule(code_, constants_, functions, debug_, tags);
    }

private:
    static std::string Trim(std::string s)
    {
        std::size_t semicolon = s.find(';');
        if (semicolon != std::string::npos && s.find('"') > semicolon)
            s.resize(semicolon);
        std::size_t a = s.find_first_not_of(" \t\r");
        std::size_t b = s.find_last_not_of(" \t\r");
        return a == std::string::npos ? "" : s.substr(a, b - a + 1);
    }

    void Line(const std::string& raw)
    {
        std::string line = Trim(raw);
        if (line.empty())
            return;
        if (line.back() == ':') {
            labels_[line.substr(0, line.size() - 1)] = static_cast<std::uint32_t>(code_.size());
            return;
        }
        std::istringstream words(line);
        std::string op;
        words >> op;
        std::string rest;
        std::getline(words, rest);
        rest = Trim(rest);
        if (op == ".function") {
            functions_.push_back({rest, static_cast<std::uint32_t>(code_.size())});
        } else if (op == ".byte") {
            std::istringstream bytes(rest);
            std::string b;
            while (bytes >> b)
                code_.push_back(static_cast<std::uint8_t>(std::stoul(b, nullptr, 0)));
        } else if (op == ".file") {
            debug_.push_back(kDebugFileName);
            AppendU32BE(debug_, static_cast<std::uint32_t>(rest.size()));
            debug_.insert(debug_.end(), rest.begin(), rest.end());
        } else if (op == ".line") {
            debug_.push_back(kDebugLine);
            AppendU32BE(debug_, static_cast<std::uint32_t>(code_.size()));
            AppendU32BE(debug_, static_cast<std::uint32_t>(std::stoul(rest)));
        } else {
            Instruction(op, rest);
        }
    }

    void Instruction(const std::string& name, const std::string& operand)
    {
        std::uint8_t op = OpcodeNamed(name.c_str());
        if (!op)
            throw std::invalid_argument("unknown instruction " + name);
        code_.push_back(op);
        switch (InfoOf(op).operand) {
        case Operand::kNone:
            break;
        case Operand::kI8:
            code_.push_back(static_cast<std::uint8_t>(std::stol(operand)));
            break;
        case Operand::kI16: {
            auto v = static_cast<std::uint16_t>(std::stol(operand));
            code_.push_back(static_cast<std::uint8_t>(v >> 8));
            code_.push_back(static_cast<std::uint8_t>(v));
            break;
        }
        case Operand::kI32:
            AppendU32BE(code_, static_cast<std::uint32_t>(std::stoll(operand)));
            break;
        case Operand::kAtom:
            AppendU32BE(code_, Atom(operand));
            break;
        case Operand::kConst:
            AppendU32BE(code_, Constant(operand));
            break;
        case Operand::kRel:
            fixups_.push_back({code_.size(), operand});
            AppendU32BE(code_, 0);
            break;
        }
    }

    std::uint32_t Atom(const std::string& name)
    {
        std::string key = "atom:" + name;
        if (auto it = pool_.find(key); it != pool_.end())
            return it->second;
        constants_.push_back(kConstAtom);
        constants_.insert(constants_.end(), name.begin(), name.end());
        constants_.push_back(0);
        return pool_[key] = count_++;
    }

    void Utf16(const std::u16string& text)
    {
        AppendU32BE(constants_, static_cast<std::uint32_t>(text.size() * 2));
        for (char16_t c : text) {
            constants_.push_back(static_cast<std::uint8_t>(c));
            constants_.push_back(static_cast<std::uint8_t>(c >> 8));
        }
    }

    static std::u16string Widen(const std::string& s)
    {
        std::u16string out;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '\\' && i + 5 < s.size() + 0 && s[i + 1] == 'u') {
                out.push_back(static_cast<char16_t>(std::stoul(s.substr(i + 2, 4), nullptr, 16)));
                i += 5;
            } else {
                out.push_back(static_cast<unsigned char>(s[i]));
            }
        }
        return out;
    }

    std::uint32_t Constant(const std::string& text)
    {
        if (text.rfind("atom:", 0) == 0)
            return Atom(text.substr(5));
        if (auto it = pool_.find(text); it != pool_.end())
            return it->second;
        if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
            constants_.push_back(kConstString);
            Utf16(Widen(text.substr(1, text.size() - 2)));
        } else if (text.rfind("regexp:", 0) == 0) {
            std::size_t colon = text.find(':', 7);
            constants_.push_back(kConstRegExp);
            constants_.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(7, colon - 7))));
            Utf16(Widen(text.substr(colon + 1)));
        } else if (text == "null") {
            constants_.push_back(kConstNull);
        } else if (text == "nan") {
            constants_.push_back(kConstNaN);
        } else if (text == "true" || text == "false") {
            constants_.push_back(kConstBoolean);
            constants_.push_back(text == "true");
        } else if (text.find_first_of(".eE") != std::string::npos) {
            double d = std::stod(text);
            std::uint64_t bits;
            std::memcpy(&bits, &d, 8);
            constants_.push_back(kConstFloat);
            for (int i = 0; i < 8; ++i)
                constants_.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
        } else {
            std::uint64_t v = static_cast<std::uint64_t>(std::stoll(text));
            constants_.push_back(kConstInteger);
            AppendU32BE(constants_, static_cast<std::uint32_t>(v >> 32));
            AppendU32BE(constants_, static_cast<std::uint32_t>(v));
        }
        return pool_[text] = count_++;
    }

    void Resolve()
    {
        for (auto& [at, label] : fixups_) {
            auto it = labels_.find(label);
            if (it == labels_.end())
                throw std::invalid_argument("unknown label " + label);
            std::int64_t displacement = std::int64_t(it->second) - std::int64_t(at + 4);
            std::uint32_t v = static_cast<std::uint32_t>(displacement);
            for (int i = 0; i < 4; ++i)
                code_[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
        }
    }

    std::vector<std::uint8_t> code_, constants_, debug_;
    std::vector<std::pair<std::string, std::uint32_t>> functions_;
    std::map<std::string, std::uint32_t> labels_, pool_;
    std::vector<std::pair<std::size_t, std::string>> fixups_;
    std::uint32_t count_ = 0;
};

} // namespace

std::vector<std::uint8_t> Assemble(const std::string& listing)
{
    return Assembler().Run(listing);
}

} // namespace zelph::test
