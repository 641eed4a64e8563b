// Loading compiled modules into a context: their constants are appended to the
// context's constant table, their functions linked and bound to globals, and
// their top-level code `.main` run.
#pragma once

#include "script/vm/module.h"

namespace zelph {

struct Context;

// Clears the message buffer and the result register, then loads and runs the
// module under its own handler: false when a runtime error or an uncaught throw
// ended it (the message buffer says why). A module loaded once before keeps its
// constants and the names of its anonymous functions.
// kLinkOnly binds the functions but does not run `.main` (checks a module).
enum class LoadMode { kRun, kLinkOnly };
bool LoadModule(Context* ctx, Module& module, LoadMode mode = LoadMode::kRun);

} // namespace zelph
