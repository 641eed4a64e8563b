#include "script/builtins/registry.h"

namespace zelph {

std::span<const Registration> StandardRegistrations()
{
    static const Registration table[] = {
        RegisterGlobalFunctions,
        RegisterArray,
        RegisterBoolean,
        RegisterFunction,
        RegisterNumber,
        RegisterString,
        RegisterObject,
    };
    return table;
}

} // namespace zelph
