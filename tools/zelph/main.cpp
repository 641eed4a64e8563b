// zelph: runs, evaluates, compiles and disassembles Zelph Script, and offers an
// interactive prompt.
#include "tools/zelph/unfinished.h"

#include "script/compiler/compiler_state.h"
#include "script/compiler/stream.h"
#include "script/vm/conversions.h"
#include "script/vm/disassembler.h"
#include "script/vm/engine.h"
#include "script/vm/error.h"
#include "script/vm/module.h"
#include "script/vm/source_position.h"
#include "script/vm/string_record.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define ZELPH_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define ZELPH_ISATTY(fd) isatty(fd)
#endif

namespace {

using namespace zelph;

constexpr int kOk = 0;
constexpr int kScriptFailed = 1;
constexpr int kUsage = 2;

const char kHelp[] = R"(usage:
  zelph run [--trace FILE] FILE
      Runs FILE: a compiled module (".zpc", or a file starting with the module
      magic, after an optional "#" line) or a source file. Compiled with debug
      information, in a fresh engine.
  zelph eval [--trace FILE] TEXT
      Runs TEXT and prints the result of its last expression statement.
  zelph compile [-g] [-o OUT] FILE
      Compiles the source FILE to a compiled module, by default FILE with the
      extension ".zpc". -g writes debug information (source name and lines).
  zelph dis FILE
      Lists a compiled module: constants, functions and instructions. A source
      file is compiled first (with debug information).
  zelph
      On a terminal: an interactive prompt. Each entry runs in one engine and
      its result is printed; an entry that is unfinished (an open bracket or
      comment) continues on the next line. End with end of file.
  zelph --help
      This text.

Output: the trace output (trace() and warnings, lines ending in CR LF) goes to
standard output, or to the file --trace names; standard output also carries
the result of eval and of the prompt. Compiler warnings go to standard error.

Exit status: 0 on success; 1 when the script fails: its compile errors, or the
runtime error or uncaught exception, on standard error, followed where known by
the place ("at FILE line N, in FUNCTION"; lines count from 0, as in compiler
diagnostics); 2 for usage errors and unreadable files.
)";

int Usage(const char* problem)
{
    std::fprintf(stderr, "zelph: %s\n(zelph --help for usage)\n", problem);
    return kUsage;
}

// What the compiler or a failed run left: the long diagnostics when there are
// any, else the message buffer.
std::string Diagnostics(const Context* ctx)
{
    return ctx->longDiagnostics.empty() ? std::string(Message(ctx)) : ctx->longDiagnostics;
}

void PrintDiagnostics(const Context* ctx)
{
    std::string text = Diagnostics(ctx);
    std::fputs(text.c_str(), stderr);
    if (!text.empty() && text.back() != '\n')
        std::fputc('\n', stderr);
}

// A failed run: its message, then where it happened when that is known.
int ReportFailure(const Context* ctx)
{
    PrintDiagnostics(ctx);
    SourceLocation where = SourcePosition(ctx);
    if (where.file)
        std::fprintf(stderr, "at %s line %u, in %s\n", where.file->c_str(), where.line,
                     FunctionNameAt(ctx, ctx->savedIp).c_str());
    return kScriptFailed;
}

struct FileCloser {
    void operator()(std::FILE* f) const
    {
        if (f && f != stdout)
            std::fclose(f);
    }
};

// An engine with the default options plus debug information; its trace output
// is standard output or the named file.
struct Session {
    EnginePtr engine;
    std::unique_ptr<std::FILE, FileCloser> trace;
    Context* ctx = nullptr;

    bool Open(const char* traceFile)
    {
        EngineOptions options;
        options.flags |= kEngineDebugInfo;
        engine.reset(CreateEngine(&options));
        if (!engine) {
            std::fprintf(stderr, "zelph: can't create the engine\n");
            return false;
        }
        ctx = engine->ctx.get();
        trace.reset(traceFile ? std::fopen(traceFile, "wb") : stdout);
        if (!trace) {
            std::fprintf(stderr, "zelph: can't open the trace file %s\n", traceFile);
            return false;
        }
        ctx->traceFile = trace.get();
        return true;
    }

    // Runs module bytes; warnings of their compilation are in the message
    // buffer and go to standard error first.
    int RunModule(const std::vector<std::uint8_t>& bytes)
    {
        PrintDiagnostics(ctx);
        RunOutcome outcome = RunCompiledMemory(engine.get(), bytes.data(), bytes.size());
        std::fflush(trace.get());
        return outcome == RunOutcome::kDone ? kOk : ReportFailure(ctx);
    }

    void PrintResult()
    {
        Value text = ToString(ctx, ctx->result);
        std::string line = StringToAnsi(text.s) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    }
};

bool Readable(const std::string& path)
{
    std::unique_ptr<std::FILE, FileCloser> f(OpenFileForReading(path));
    return f != nullptr;
}

// Reads a compiled module file; null (with a message) when it is none.
std::unique_ptr<Module> ReadModuleFile(const std::string& path)
{
    std::unique_ptr<std::FILE, FileCloser> f(OpenFileForReading(path));
    std::unique_ptr<Module> module = f ? ReadModuleFromFile(f.get()) : nullptr;
    if (!module)
        std::fprintf(stderr, "zelph: %s is no readable compiled module\n", path.c_str());
    return module;
}

// [--trace FILE] ARG: the trace file (or null) and the one argument.
bool TraceAndArgument(std::vector<std::string>& args, const char*& traceFile, std::string& argument)
{
    traceFile = nullptr;
    std::size_t i = 0;
    if (i < args.size() && args[i] == "--trace") {
        if (i + 1 >= args.size())
            return false;
        traceFile = args[i + 1].c_str();
        i += 2;
    }
    if (args.size() != i + 1)
        return false;
    argument = args[i];
    return true;
}

int Run(std::vector<std::string> args)
{
    const char* traceFile;
    std::string path;
    if (!TraceAndArgument(args, traceFile, path))
        return Usage("run takes [--trace FILE] FILE");
    if (!Readable(path)) {
        std::fprintf(stderr, "zelph: can't open %s\n", path.c_str());
        return kUsage;
    }
    Session s;
    if (!s.Open(traceFile))
        return kUsage;
    if (ClassifyFile(path) == FileKind::kCompiled) {
        RunOutcome outcome = RunCompiledFile(s.engine.get(), path);
        if (outcome == RunOutcome::kNotRun) {
            std::fprintf(stderr, "zelph: %s is no readable compiled module\n", path.c_str());
            return kUsage;
        }
        return outcome == RunOutcome::kDone ? kOk : ReportFailure(s.ctx);
    }
    auto bytes = CompileSourceFile(s.engine.get(), path);
    if (!bytes) {
        PrintDiagnostics(s.ctx);
        return kScriptFailed;
    }
    return s.RunModule(*bytes);
}

int Eval(std::vector<std::string> args)
{
    const char* traceFile;
    std::string text;
    if (!TraceAndArgument(args, traceFile, text))
        return Usage("eval takes [--trace FILE] TEXT");
    Session s;
    if (!s.Open(traceFile))
        return kUsage;
    auto bytes = CompileText(s.engine.get(), text);
    if (!bytes) {
        PrintDiagnostics(s.ctx);
        return kScriptFailed;
    }
    int status = s.RunModule(*bytes);
    if (status == kOk)
        s.PrintResult();
    return status;
}

// FILE with its extension (if any) replaced by ".zpc".
std::string DefaultOutput(const std::string& path)
{
    std::size_t slash = path.find_last_of("/\\");
    std::size_t dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        return path.substr(0, dot) + ".zpc";
    return path + ".zpc";
}

int Compile(const std::vector<std::string>& args)
{
    bool debug = false;
    std::string out, path;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-g") {
            debug = true;
        } else if (args[i] == "-o" && i + 1 < args.size()) {
            out = args[++i];
        } else if (path.empty() && !args[i].empty() && args[i][0] != '-') {
            path = args[i];
        } else {
            return Usage("compile takes [-g] [-o OUT] FILE");
        }
    }
    if (path.empty())
        return Usage("compile takes [-g] [-o OUT] FILE");
    if (!Readable(path)) {
        std::fprintf(stderr, "zelph: can't open %s\n", path.c_str());
        return kUsage;
    }
    EngineOptions options;
    if (debug)
        options.flags |= kEngineDebugInfo;
    EnginePtr engine(CreateEngine(&options));
    if (!engine)
        return Usage("can't create the engine");
    auto bytes = CompileSourceFile(engine.get(), path);
    PrintDiagnostics(engine->ctx.get());
    if (!bytes)
        return kScriptFailed;
    if (out.empty())
        out = DefaultOutput(path);
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(out.c_str(), "wb"));
    if (!f || std::fwrite(bytes->data(), 1, bytes->size(), f.get()) != bytes->size() ||
        std::fclose(f.release()) != 0) {
        std::fprintf(stderr, "zelph: can't write %s\n", out.c_str());
        std::remove(out.c_str());
        return kUsage;
    }
    return kOk;
}

int Dis(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return Usage("dis takes FILE");
    const std::string& path = args[0];
    if (!Readable(path)) {
        std::fprintf(stderr, "zelph: can't open %s\n", path.c_str());
        return kUsage;
    }
    std::unique_ptr<Module> module;
    if (ClassifyFile(path) == FileKind::kCompiled) {
        if (!(module = ReadModuleFile(path)))
            return kUsage;
    } else {
        EngineOptions options;
        options.flags |= kEngineDebugInfo;
        EnginePtr engine(CreateEngine(&options));
        if (!engine)
            return Usage("can't create the engine");
        auto bytes = CompileSourceFile(engine.get(), path);
        PrintDiagnostics(engine->ctx.get());
        if (!bytes)
            return kScriptFailed;
        module = ReadModuleFromMemory(*bytes);
    }
    std::string listing = Disassemble(*module);
    std::fwrite(listing.data(), 1, listing.size(), stdout);
    return kOk;
}

// The interactive prompt: one engine; each entry is compiled, run, and its
// result printed.
int Prompt()
{
    Session s;
    if (!s.Open(nullptr))
        return kUsage;
    std::string entry, line;
    for (;;) {
        std::fputs(entry.empty() ? "> " : "... ", stdout);
        std::fflush(stdout);
        if (!std::getline(std::cin, line))
            break;
        entry += line;
        entry += '\n';
        auto bytes = CompileText(s.engine.get(), entry);
        if (!bytes && IsUnfinished(entry))
            continue;
        if (!bytes)
            PrintDiagnostics(s.ctx);
        else if (s.RunModule(*bytes) == kOk)
            s.PrintResult();
        entry.clear();
    }
    std::fputc('\n', stdout);
    return kOk;
}

} // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    // The trace output and the diagnostics end their lines in CR LF already.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        if (!ZELPH_ISATTY(0))
            return Usage("no command (the prompt needs a terminal)");
        return Prompt();
    }
    std::string command = args[0];
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kHelp, stdout);
        return kOk;
    }
    if (command == "run")
        return Run(args);
    if (command == "eval")
        return Eval(args);
    if (command == "compile")
        return Compile(args);
    if (command == "dis")
        return Dis(args);
    return Usage(("unknown command " + command).c_str());
}
