// The compile driver: source text or a source file in, a Compiled module out.
// The compilation's diagnostics are left in the context: in the message buffer
// when they fit (under 1024 bytes with their NUL), else in the long-diagnostics
// text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelph {

struct Context;
class ScriptStream;

using ModuleBytes = std::vector<std::uint8_t>;

// Runs one compilation over the stream (a 0 byte ends the source). Nothing when
// it failed; the diagnostics say why. Out of memory is a runtime error.
std::optional<ModuleBytes> CompileStream(Context* ctx, ScriptStream& source, std::uint32_t options);
std::optional<ModuleBytes> CompileString(Context* ctx, std::string_view text, std::uint32_t options);
// Nothing, with "can't open the script file: " and the name in the message
// buffer, when the file cannot be opened.
std::optional<ModuleBytes> CompileFile(Context* ctx, const std::string& path, std::uint32_t options);

} // namespace zelph
