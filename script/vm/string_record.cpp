#include "script/vm/string_record.h"

#include "script/vm/ansi.h"
#include "script/vm/context.h"
#include "script/vm/error.h"
#include "script/vm/heap.h"

#include <algorithm>
#include <cstring>

namespace zelph {

StringRecord* NewStringOfLength(Context* ctx, std::uint32_t length)
{
    if (length > kMaxStringLength)
        RaiseError(ctx, "Out of memory");
    auto* s = static_cast<StringRecord*>(HeapAlloc(ctx, sizeof(StringRecord) + std::size_t(length) * 2));
    s->flags = kStringInlineText;
    s->length = length;
    s->text = reinterpret_cast<char16_t*>(s + 1);
    s->props = nullptr;
    return s;
}

Value NewString(Context* ctx, std::u16string_view text)
{
    if (text.size() > kMaxStringLength)
        RaiseError(ctx, "Out of memory");
    StringRecord* s = NewStringOfLength(ctx, static_cast<std::uint32_t>(text.size()));
    if (!text.empty())
        std::memcpy(s->text, text.data(), text.size() * 2);
    return Value::String(s);
}

Value StaticString(Context* ctx, std::u16string_view text)
{
    if (text.size() > kMaxStringLength)
        RaiseError(ctx, "Out of memory");
    auto* s = static_cast<StringRecord*>(HeapAlloc(ctx, sizeof(StringRecord)));
    s->flags = kStringStatic;
    s->length = static_cast<std::uint32_t>(text.size());
    s->text = const_cast<char16_t*>(text.data());
    s->props = nullptr;
    return Value::String(s);
}

Value StringFromAnsi(Context* ctx, std::string_view text)
{
    return NewString(ctx, AnsiToWide(text));
}

std::string StringToAnsi(const StringRecord* s)
{
    return WideToAnsi(s->View());
}

int CompareText(std::u16string_view a, std::u16string_view b)
{
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int CompareStrings(const StringRecord* a, const StringRecord* b)
{
    return CompareText(a->View(), b->View());
}

void ResizeStringInPlace(Context* ctx, StringRecord* s, std::uint32_t length, char16_t fill)
{
    if (length > kMaxStringLength)
        RaiseError(ctx, "Out of memory");
    std::size_t capacity = (s->flags & kStringInlineText) ? (BlockSize(s) - sizeof(StringRecord)) / 2
                                                           : BlockSize(s->text) / 2;
    if (length > capacity) {
        std::size_t grown = std::min<std::size_t>(std::max<std::size_t>(length, capacity * 2), kMaxStringLength);
        auto* text = static_cast<char16_t*>(HeapAlloc(ctx, grown * 2));
        std::memcpy(text, s->text, std::size_t(s->length) * 2);
        if (!(s->flags & kStringInlineText))
            HeapFree(ctx, s->text);
        s->text = text;
        s->flags &= ~kStringInlineText;
    }
    for (std::uint32_t i = s->length; i < length; ++i)
        s->text[i] = fill;
    s->length = length;
}

} // namespace zelph
