// Where a script is: the function and the source line of an instruction
// position, for hosts' diagnostics.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zelph {

struct Context;

// The name of the function whose code holds the position. Searched among the
// function Values in the global slots, then on the live part of the VM stack,
// then among the active frames and the function of the last abandoned run;
// ".main" when none holds it.
std::string FunctionNameAt(const Context* ctx, const std::uint32_t* position);

// The source file and line of the saved instruction position (the last native
// call or failure): the line of the last line record at or before it (0 when
// none). No file name when the code has no debug information or is not found.
struct SourceLocation {
    std::optional<std::string> file;
    std::uint32_t line = 0;
};
SourceLocation SourcePosition(const Context* ctx);

// Drops the script frames above the first `keep`, first noting in the context's
// `fault` the function among them whose code holds the saved position.
void DropFrames(Context* ctx, std::size_t keep);

} // namespace zelph
