#include "script/vm/module.h"

#include <algorithm>
#include <cstring>

namespace zelph {
namespace {

std::uint32_t ReadU32LE(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void AppendU32LE(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// The module proper, after the magic check; no "#" line.
std::unique_ptr<Module> ParseModule(std::span<const std::uint8_t> data)
{
    if (data.size() <= 7 || std::memcmp(data.data(), kModuleMagic, 4) != 0)
        return nullptr;
    struct Entry {
        std::uint8_t kind;
        std::uint32_t offset, size;
    };
    std::vector<Entry> entries;
    std::size_t pos = 4;
    for (;;) {
        if (data.size() - pos < 4)
            return nullptr;
        std::uint32_t kindWord = ReadU32LE(data.data() + pos);
        pos += 4;
        if (kindWord == 0xFFFFFFFFu)
            break;
        if (data.size() - pos < 8)
            return nullptr;
        entries.push_back({static_cast<std::uint8_t>(kindWord & 0xFF), ReadU32LE(data.data() + pos),
                           ReadU32LE(data.data() + pos + 4)});
        pos += 8;
    }
    const std::uint64_t headerEnd = pos;
    auto module = std::make_unique<Module>();
    for (const Entry& e : entries) {
        std::uint64_t end = std::uint64_t(e.offset) + e.size;
        if ((e.size > 0 && e.offset < headerEnd) || end > data.size())
            return nullptr;
        module->sections.push_back({e.kind, std::vector<std::uint8_t>(data.begin() + e.offset, data.begin() + end)});
    }
    return module;
}

} // namespace

const Module::Section* Module::Find(std::uint8_t kind) const
{
    for (const Section& s : sections)
        if (s.kind == kind)
            return &s;
    return nullptr;
}

std::unique_ptr<Module> ReadModuleFromMemory(std::span<const std::uint8_t> data)
{
    if (!data.empty() && data[0] == '#') {
        auto lf = std::find(data.begin(), data.end(), '\n');
        if (lf == data.end())
            return nullptr;
        data = data.subspan(static_cast<std::size_t>(lf - data.begin()) + 1);
    }
    try {
        return ParseModule(data);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<Module> ReadModuleFromFile(std::FILE* file)
{
    int c = std::fgetc(file);
    if (c == '#') {
        do
            c = std::fgetc(file);
        while (c != EOF && c != '\n');
        if (c == EOF)
            return nullptr;
    } else if (c != EOF) {
        std::ungetc(c, file);
    }
    try {
        std::vector<std::uint8_t> data;
        std::uint8_t buffer[65536];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            data.insert(data.end(), buffer, buffer + n);
        if (std::ferror(file))
            return nullptr;
        return ParseModule(data);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::vector<std::uint8_t> WriteModule(std::span<const std::uint8_t> code, std::span<const std::uint8_t> constants,
                                      std::span<const std::uint8_t> functions, std::span<const std::uint8_t> debug,
                                      const std::uint32_t kindTags[4])
{
    std::span<const std::uint8_t> sections[4] = {code, constants, functions, debug};
    std::vector<std::uint8_t> out(kModuleMagic, kModuleMagic + 4);
    std::uint32_t offset = kModuleHeaderSize;
    for (std::uint32_t kind = 0; kind < 4; ++kind) {
        AppendU32LE(out, kindTags[kind] << 8 | kind);
        AppendU32LE(out, offset);
        AppendU32LE(out, static_cast<std::uint32_t>(sections[kind].size()));
        offset += static_cast<std::uint32_t>(sections[kind].size());
    }
    AppendU32LE(out, 0xFFFFFFFFu);
    for (auto s : sections)
        out.insert(out.end(), s.begin(), s.end());
    return out;
}

} // namespace zelph
