// Whether prompt input is unfinished: an open bracket, brace or parenthesis, or
// an open block comment, so that more lines should follow before it can compile.
#pragma once

#include <string_view>

namespace zelph {

bool IsUnfinished(std::string_view text);

} // namespace zelph
