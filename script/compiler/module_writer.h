// The module writer: the laid-out instruction list of a compilation as a
// Compiled module (header, code, pooled constants, function table, debug
// information).
#pragma once

#include <cstdint>
#include <vector>

namespace zelph {

struct CompilerState;

std::vector<std::uint8_t> WriteCompiledModule(CompilerState& state);

} // namespace zelph
