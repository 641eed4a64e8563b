// The embedding interface: an engine is a Script context with the options it
// was made from, and the operations that compile and run scripts in it. This is
// the one header the application shell includes.
//
// Every run operation first empties the message buffer and sets the result
// register to undefined. Afterwards the result register holds the run's result,
// and the message buffer holds why a run failed or what a compilation warned
// about (diagnostics of 1023 bytes or more are in the context's
// longDiagnostics instead).
#pragma once

#include "script/vm/context.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelph {

// Engine flag bits.
inline constexpr std::uint32_t kEngineOptionBit0 = 0x2;       // the context's option bit 0
inline constexpr std::uint32_t kEngineOptions2 = 0xC;         // bits 0 and 1 of the second option word
inline constexpr std::uint32_t kEngineDebugInfo = 0x20;       // compile with debug information
inline constexpr std::uint32_t kEngineWarnUndefined = 0x200;  // warn about undefined variables
inline constexpr std::uint32_t kEngineSemicolonWarnings = 0x1000;
inline constexpr std::uint32_t kEngineStrictWarnings = 0x2000;
inline constexpr std::uint32_t kEngineOptimizerPasses = 0x78000;  // the four optimizer passes

struct EngineOptions {
    std::uint32_t stackSize = kDefaultStackSize;  // VM stack, in Values
    std::uint32_t reserved = 2;
    std::uint32_t userValue = 0;                  // non-zero also sets compile option bit 0
    std::uint32_t flags = 0x58200;
    std::uint32_t reserved2[4] = {};
    int (*hook)(int event, void* data) = nullptr;  // consulted after collections
    void* hookData = nullptr;
    std::uint32_t hostWord1 = 0;
    std::uint32_t hostWord2 = 0xFFFFFFFFu;
};

struct Engine {
    EngineOptions options;
    ContextPtr ctx;
};

// The compile options an engine's flags and user value give.
std::uint32_t CompileOptionsOf(const EngineOptions& options);

// Null when the context cannot be made or a registration fails. Without
// options, the defaults.
Engine* CreateEngine(const EngineOptions* options = nullptr);
void DestroyEngine(Engine* engine);

struct EngineDeleter {
    void operator()(Engine* engine) const { DestroyEngine(engine); }
};
using EnginePtr = std::unique_ptr<Engine, EngineDeleter>;

// How a run went: nothing ran (the source did not compile, the file could not be
// opened or held no module), it ran and failed (runtime error or uncaught
// throw), or it ran to its end.
enum class RunOutcome { kNotRun, kFailed, kDone };

// Compiling with the engine's compile options, without running: the module
// bytes, or nothing with the diagnostics in the message buffer. The message
// buffer keeps a successful compilation's warnings.
std::optional<std::vector<std::uint8_t>> CompileText(Engine* engine, std::string_view text);
std::optional<std::vector<std::uint8_t>> CompileSourceFile(Engine* engine, const std::string& path);

RunOutcome RunText(Engine* engine, const char* text);
RunOutcome RunTextN(Engine* engine, const char* text, std::size_t length);
RunOutcome RunSourceFile(Engine* engine, const std::string& path);
RunOutcome RunCompiledFile(Engine* engine, const std::string& path);
RunOutcome RunCompiledMemory(Engine* engine, const std::uint8_t* data, std::size_t length);
// What RunFile takes a file for: by the extension (".zpc", ".zps", either case),
// else by the content (an optional "#" line, then the module magic). A file
// that cannot be opened counts as source (compiling it reports that).
enum class FileKind { kSource, kCompiled };
FileKind ClassifyFile(const std::string& path);
RunOutcome RunFile(Engine* engine, const std::string& path);

// Runs fn under a host-level handler: false when a runtime error ended it.
bool ProtectedRun(Engine* engine, const std::function<void()>& fn);

// The global functions `eval` and `evals` of an engine (CreateEngine defines them).
void DefineEvalFunctions(Engine* engine);

} // namespace zelph
