// Conversions between Value types. Text of booleans, numbers, NaN, arrays and
// functions comes from the type class of the value's type (its toString method),
// so those formats are the built-in classes' own.
#pragma once

#include "script/vm/value.h"

#include <string>
#include <string_view>

namespace zelph {

inline constexpr int kHintNumber = 3;
inline constexpr int kHintString = 4;

bool ToBoolean(const Value& v);
// An integer, float or NaN Value.
Value ToNumber(Context* ctx, const Value& v);
// Numbers from text (the integer scanner, then decimal floating point).
Value StringToNumber(std::u16string_view text);
std::int64_t ToInt64(Context* ctx, const Value& v);
std::int32_t ToInt32(Context* ctx, const Value& v);
// A double truncated toward zero: NaN and infinities give 0, magnitudes of 2^63
// and more give INT64_MIN (what the x86 conversion yields).
std::int64_t TruncateToInt64(double d);
// A string Value.
Value ToString(Context* ctx, const Value& v);
// ToString's text.
std::u16string ToText(Context* ctx, const Value& v);
// Raises "Can't convert to primitive type" for Values without a primitive form.
Value ToPrimitive(Context* ctx, const Value& v, int hint);
// Raises "Can't convert to object" for undefined, null and atoms.
Value ToObject(Context* ctx, const Value& v);
// A static string with the type's name.
Value TypeOf(Context* ctx, const Value& v);
const char16_t* TypeOfName(std::int32_t tag);

// The text of a number Value (integer, float or NaN) as Number's toString
// writes it in radix 10.
std::u16string NumberText(const Value& v);

} // namespace zelph
