// The registrations of the standard classes, in the order a context runs them:
// the global values and functions, Date, Math, Array, Boolean, Function,
// Number, String, Object (the host classes follow in the engine's table).
#pragma once

#include "script/vm/context.h"

#include <span>

namespace zelph {

std::span<const Registration> StandardRegistrations();

void RegisterGlobalFunctions(Context* ctx);
void RegisterArray(Context* ctx);
void RegisterBoolean(Context* ctx);
void RegisterFunction(Context* ctx);
void RegisterNumber(Context* ctx);
void RegisterString(Context* ctx);
void RegisterObject(Context* ctx);

} // namespace zelph
