// The code generator: the function list and the main list of a parsed
// compilation become one instruction list (every function as a code unit under
// its entry label, then the top-level code under ".main").
#pragma once

namespace zelph {

struct CompilerState;

void GenerateCode(CompilerState& state);

} // namespace zelph
