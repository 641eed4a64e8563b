// The code generator: the function list and the main list of a parsed
// compilation become code units (every function under its entry label, then the
// top-level code under ".main"), one after the other.
#pragma once

#include <functional>

namespace zelph {

struct CompilerState;

// Called when a code unit is complete: it is the state's instruction list, and
// moreUnits tells whether another one follows. After the call the list is
// emptied and its records are released.
using UnitDone = std::function<void(bool moreUnits)>;

void GenerateCode(CompilerState& state, const UnitDone& unitDone);

} // namespace zelph
