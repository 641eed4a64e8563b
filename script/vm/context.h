// The Script context: one virtual machine instance. Every script routine takes
// it first; it owns the Atom table and globals, the constant table, the VM stack,
// the collected heap, the type classes, the message buffer and the result register.
#pragma once

#include "script/vm/atoms.h"
#include "script/vm/heap.h"
#include "script/vm/value.h"
#include "script/vm/vm_config.h"

#include <cstdio>
#include <memory>
#include <span>
#include <string_view>
#include <string>
#include <vector>

namespace zelph {

struct NativeClass;
struct CodeObject;

// The interpreter's record of one script frame (the Values of the frame are on
// the VM stack; this bookkeeping is not, so no script can corrupt it).
struct Frame {
    Value* fp;                       // the frame link slot
    const std::uint32_t* returnTo;   // resume position in the caller; null: outermost of its run
    Closure* closure;                // the running function: keeps its code alive
    std::uint32_t count;             // arguments given
    std::uint32_t missing;           // arguments ENTER supplied
    std::vector<Value> withList;     // objects of the frame's with statements, outermost first
};

// A handler record: a script try block, or host-level protection.
struct Handler {
    bool isTry;
    Value* sp;                       // try: stack pointer to restore
    std::size_t frameCount;          // try: frames to keep
    const std::uint32_t* resume;     // try: catch code
};

// Builds a regular-expression constant of a loaded module (the RegExp class
// installs it); flags: 1 global, 2 ignore case, 4 multi-line.
using RegExpMaker = Value (*)(Context* ctx, std::u16string_view pattern, std::uint8_t flags);

// An entry of the compiler's keyword table.
struct KeywordEntry {
    std::string text;
    int kind;
};
inline constexpr int kKeywordBuckets = 32;

// Option word bits.
inline constexpr std::uint32_t kOptionBit0 = 1;
inline constexpr std::uint32_t kOptionWarnUndefined = 4;

// Calls a function Value: `self` is the receiver or null, args the argument
// vector (count first). Returns false when the call failed (message buffer set).
// Installed by the executor; without one, script functions cannot be called
// from native code.
using FunctionCaller = bool (*)(Context* ctx, const Value* self, const Value& callee, const Value* args);

// One class registration run by CreateContext, in table order.
using Registration = void (*)(Context* ctx);

struct Context {
    std::uint64_t userValue = 0;
    std::uint32_t options = 0;   // kOptionBit0, kOptionWarnUndefined
    std::uint32_t options2 = 0;

    FunctionCaller callFunction = nullptr;

    std::vector<Value> constants;  // every loaded module appends its constants
    // Text of the string constants (static strings refer to it).
    std::vector<std::unique_ptr<char16_t[]>> constantTexts;
    RegExpMaker makeRegExp = nullptr;
    AtomTable atoms;
    std::vector<Value> globals;    // by Atom number
    std::vector<KeywordEntry> keywords[kKeywordBuckets];  // by the string hash
    std::vector<void*> spareBlocks;  // the compiler's released arena blocks (malloc'd)
    std::uint32_t anonymousFunctions = 0;

    // VM stack: grows toward the base; the slots above sp are live.
    std::unique_ptr<Value[]> stack;
    std::uint32_t stackSize = 0;
    Value* sp = nullptr;
    const std::uint32_t* savedIp = nullptr;  // instruction position at the last native call

    std::vector<Frame> frames;      // script frames of every active run
    std::vector<Handler> handlers;  // innermost last
    Value thrown;                   // the Value a THROW is carrying
    // The function whose code held the saved position when a run was last
    // abandoned (kept for SourcePosition after its frames are gone).
    Value fault;
    int runDepth = 0;               // interpreter runs in progress
    NativeClass* activeXClass = nullptr;  // its objects take GETELEM through "Item"

    NativeClass* typeClasses[kTypeClassCount] = {};

    HeapState heap;
    bool gcStress = false;          // collect at every safe point
    std::vector<Value> markStack;   // work list of the collector
    std::vector<const Value*> tempRoots;  // Values native code holds across calls

    char message[kMessageBufferSize] = {};
    std::string longDiagnostics;    // compiler diagnostics of 1023 bytes or more
    Value result;                   // result register

    std::FILE* traceFile = nullptr;  // the trace output; not owned
    int nativeDepth = 0;             // nesting of recursive native conversions
    std::vector<const void*> converting;  // arrays being joined (a cycle joins as "")

    int (*hook)(int event, void* data) = nullptr;
    void* hookData = nullptr;
    std::uint32_t hostWord1 = 0;
    std::uint32_t hostWord2 = 0xFFFFFFFFu;

    Context() = default;
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    ~Context();
};

// Creates a context: the stack of stackSize Values, the five shared Atoms, then
// every registration in order under a protected handler. Returns null when a
// registration failed (the partial context is destroyed).
Context* CreateContext(std::uint32_t stackSize, std::uint64_t userValue, bool optionBit0,
                       std::span<const Registration> registrations);
// Runs every finalizer (a sweep with nothing marked) and frees everything.
void DestroyContext(Context* ctx);

struct ContextDeleter {
    void operator()(Context* ctx) const { DestroyContext(ctx); }
};
using ContextPtr = std::unique_ptr<Context, ContextDeleter>;

// Keeps a Value alive across calls back into the VM (a collection may run
// there). Scoped: roots are released in reverse order of creation.
class ValueRoot {
public:
    ValueRoot(Context* ctx, const Value& v = Value()) : ctx_(ctx), value(v) { ctx_->tempRoots.push_back(&value); }
    ~ValueRoot() { ctx_->tempRoots.pop_back(); }
    ValueRoot(const ValueRoot&) = delete;
    ValueRoot& operator=(const ValueRoot&) = delete;

private:
    Context* ctx_;

public:
    Value value;
};

// Counts a level of native recursion; beyond kMaxNativeDepth, "stack overflow".
class NativeDepthGuard {
public:
    explicit NativeDepthGuard(Context* ctx);
    ~NativeDepthGuard() { --ctx_->nativeDepth; }
    NativeDepthGuard(const NativeDepthGuard&) = delete;
    NativeDepthGuard& operator=(const NativeDepthGuard&) = delete;

private:
    Context* ctx_;
};

} // namespace zelph
