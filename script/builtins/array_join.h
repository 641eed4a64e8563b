// Array join: the text of every index from 0 to length - 1 with the separator
// between them; missing elements contribute nothing. An array met again while it
// is being joined (it contains itself) joins as "".
#pragma once

#include "script/vm/value.h"

#include <string>

namespace zelph {

Value ArrayJoin(Context* ctx, ArrayRecord* a, std::u16string_view separator);

} // namespace zelph
