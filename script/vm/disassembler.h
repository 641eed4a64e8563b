// A readable listing of a Compiled module: its constants, its function table
// and every instruction with its operand (constants and atoms shown by value,
// jumps by target) and its source line.
#pragma once

#include "script/vm/module.h"

#include <string>

namespace zelph {

struct DisassemblyOptions {
    // With offsets, every instruction line starts with its byte offset and
    // jumps show the target offset; without, jump targets are labels L1, L2, ...
    bool offsets = true;
    bool header = true;  // the summary, the constants and the function table
    bool lines = true;   // "; line N" where the source line changes
};

// Malformed parts are shown as such; the listing never reads outside the module.
std::string Disassemble(const Module& module, const DisassemblyOptions& options = {});

} // namespace zelph
