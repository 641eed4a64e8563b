// The peephole optimizer and the layout of the instruction list.
#pragma once

#include <cstdint>

namespace zelph {

struct CompilerState;

// Runs the selected passes in their fixed order: peepholes (0x20), jump
// threading (0x40), store/load elimination (0x100), dead-code removal (0x80).
void Optimize(CompilerState& state, std::uint32_t passes);
// Gives every record its byte offset (labels take the next instruction's).
void LayOut(CompilerState& state);

} // namespace zelph
