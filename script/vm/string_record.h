// String records: shared UTF-16 text with an explicit length.
//
// A record is a heap block: flags, length, the text and the property object that
// scripts set on the string value (made on first need). A static string's text is
// not owned by the collected heap (module constants, program text) and is never
// changed in place. A non-static string's text is either stored inline right
// after the record or, once a string has been extended in place, in a block of
// its own.
#pragma once

#include "script/vm/value.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zelph {

inline constexpr std::uint32_t kStringStatic = 1;
inline constexpr std::uint32_t kStringInlineText = 2;  // text lives in the record's own block

struct StringRecord {
    std::uint32_t flags;
    std::uint32_t length;  // code units
    char16_t* text;        // not terminated
    ObjectRecord* props;   // null until a script sets a property

    bool IsStatic() const { return flags & kStringStatic; }
    std::u16string_view View() const { return {text, length}; }
};

// A non-static string with its own copy of the text.
Value NewString(Context* ctx, std::u16string_view text);
// A non-static string of the given length, text uninitialised (to be filled).
StringRecord* NewStringOfLength(Context* ctx, std::uint32_t length);
// A static string that refers to text without copying; the text must outlive
// every Value of it (module constants, program constants).
Value StaticString(Context* ctx, std::u16string_view text);
// A non-static string from 8-bit text in the ANSI code page.
Value StringFromAnsi(Context* ctx, std::string_view text);
// The text in the ANSI code page (at most two bytes per code unit).
std::string StringToAnsi(const StringRecord* s);
// Code units compared as unsigned 16-bit numbers; a proper prefix is smaller.
int CompareStrings(const StringRecord* a, const StringRecord* b);
int CompareText(std::u16string_view a, std::u16string_view b);

// Changes a non-static string in place to the given length (new units are
// filled with fill); raises "Out of memory" past the string limit.
void ResizeStringInPlace(Context* ctx, StringRecord* s, std::uint32_t length, char16_t fill);

} // namespace zelph
