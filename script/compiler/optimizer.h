// The peephole optimizer and the layout of a code unit's instruction list.
#pragma once

#include <cstdint>

namespace zelph {

struct CompilerState;

// Runs the selected passes in their fixed order: peepholes (0x20), jump
// threading (0x40), store/load elimination (0x100), dead-code removal (0x80).
// Jumps never leave their unit, so a unit is optimized on its own; moreUnits
// tells whether records follow it in the module.
void Optimize(CompilerState& state, std::uint32_t passes, bool moreUnits);
// Gives every record its byte offset (labels take the next instruction's),
// going on from the code laid out before.
void LayOut(CompilerState& state);

} // namespace zelph
