// Compiled modules ("ZP1b"): the byte layout, the readers, and the writer of
// the header and sections.
//
//   [# comment line LF]  "ZP1b"  section table  section data
//
// The table holds entries of three little-endian words (kind word, offset,
// size), ended by 0xFFFFFFFF in place of a kind word; the kind is the kind
// word's low byte. Offsets count from the magic. Integers inside sections are
// big-endian, except float constants (IEEE double, little-endian) and string
// text (UTF-16LE).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <vector>

namespace zelph {

enum SectionKind : std::uint8_t {
    kCodeSection = 0,
    kConstantSection = 1,
    kFunctionSection = 2,
    kDebugSection = 3,
};

// Constant type bytes (the tag of the Value they make).
enum ConstantType : std::uint8_t {
    kConstNull = 1,
    kConstBoolean = 2,
    kConstInteger = 3,
    kConstString = 4,
    kConstFloat = 5,
    kConstAtom = 10,
    kConstRegExp = 11,
    kConstNaN = 13,
};

// Debug record type bytes.
inline constexpr std::uint8_t kDebugFileName = 1;
inline constexpr std::uint8_t kDebugLine = 2;

inline constexpr char kModuleMagic[4] = {'Z', 'P', '1', 'b'};
inline constexpr std::size_t kModuleHeaderSize = 56;  // as the compiler writes it

struct Module {
    struct Section {
        std::uint8_t kind;
        std::vector<std::uint8_t> data;
    };
    std::vector<Section> sections;

    // Set by the first load: a reload appends no constants and reuses these.
    bool loaded = false;
    std::uint32_t constantBase = 0;
    std::uint32_t constantCount = 0;
    std::uint32_t anonymousBase = 0;

    // The first section of a kind, or null.
    const Section* Find(std::uint8_t kind) const;
};

// Null when the data is no well-formed module: no magic, a table that runs past
// the data, or a section that overlaps the header or reaches past the data.
std::unique_ptr<Module> ReadModuleFromMemory(std::span<const std::uint8_t> data);
// The same from the file's current position (a "#" line is skipped).
std::unique_ptr<Module> ReadModuleFromFile(std::FILE* file);

// The 56-byte header and the four sections in kind order. kindTags holds the
// upper 24 bits of each kind word (the compiler writes random numbers).
std::vector<std::uint8_t> WriteModule(std::span<const std::uint8_t> code, std::span<const std::uint8_t> constants,
                                      std::span<const std::uint8_t> functions, std::span<const std::uint8_t> debug,
                                      const std::uint32_t kindTags[4]);

// Big-endian helpers of the section contents.
inline std::uint32_t ReadU32BE(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}
inline void AppendU32BE(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

} // namespace zelph
