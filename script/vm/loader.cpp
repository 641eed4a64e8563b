#include "script/vm/loader.h"

#include "script/vm/atoms.h"
#include "script/vm/code_object.h"
#include "script/vm/context.h"
#include "script/vm/error.h"
#include "script/vm/function.h"
#include "script/vm/interp.h"
#include "script/vm/string_record.h"

#include <charconv>
#include <cstring>
#include <string>

namespace zelph {
namespace {

constexpr std::string_view kAnonymousPrefix = "@F_";

[[noreturn]] void BadBytecode(Context* ctx)
{
    RaiseError(ctx, "Unimplemented Zelph Script bytecode");
}

// "@F_n" renumbered by the base: "@F_(n + base)"; other names unchanged.
std::string GlobalName(std::string_view name, std::uint32_t anonymousBase, bool* anonymous)
{
    *anonymous = false;
    if (name.substr(0, kAnonymousPrefix.size()) != kAnonymousPrefix)
        return std::string(name);
    std::uint32_t n = 0;
    const char* first = name.data() + kAnonymousPrefix.size();
    const char* last = name.data() + name.size();
    auto r = std::from_chars(first, last, n);
    if (r.ec != std::errc() || r.ptr != last || first == last)
        return std::string(name);
    *anonymous = true;
    return std::string(kAnonymousPrefix) + std::to_string(n + anonymousBase);
}

// Reads the constants section, appending every constant to the context's
// table. Returns the number of constants.
std::uint32_t AppendConstants(Context* ctx, const std::vector<std::uint8_t>& data, std::uint32_t anonymousBase)
{
    std::uint32_t count = 0;
    std::size_t pos = 0;
    const std::size_t n = data.size();
    auto need = [&](std::size_t k) {
        if (n - pos < k)
            BadBytecode(ctx);
    };
    auto append = [&](const Value& v) {
        if (ctx->constants.size() == ctx->constants.capacity())
            ctx->constants.reserve(ctx->constants.capacity() + kConstantGrowth);
        ctx->constants.push_back(v);
        ++count;
    };
    auto text = [&](std::uint32_t bytes) {
        need(bytes);
        std::uint32_t units = bytes / 2;
        auto copy = std::make_unique<char16_t[]>(units ? units : 1);
        for (std::uint32_t i = 0; i < units; ++i)
            copy[i] = static_cast<char16_t>(data[pos + 2 * i] | data[pos + 2 * i + 1] << 8);
        pos += bytes;
        std::u16string_view view(copy.get(), units);
        ctx->constantTexts.push_back(std::move(copy));
        return view;
    };
    while (pos < n) {
        std::uint8_t type = data[pos++];
        switch (type) {
        case kConstNull:
            append(Value::Null());
            break;
        case kConstBoolean:
            need(1);
            append(Value::Boolean(data[pos++] != 0));
            break;
        case kConstInteger: {
            need(8);
            std::uint64_t bits = std::uint64_t(ReadU32BE(&data[pos])) << 32 | ReadU32BE(&data[pos + 4]);
            pos += 8;
            append(Value::Integer(static_cast<std::int64_t>(bits)));
            break;
        }
        case kConstString: {
            need(4);
            std::uint32_t bytes = ReadU32BE(&data[pos]);
            pos += 4;
            append(StaticString(ctx, text(bytes)));
            break;
        }
        case kConstFloat: {
            need(8);
            std::uint64_t bits = 0;
            for (int i = 7; i >= 0; --i)
                bits = bits << 8 | data[pos + static_cast<std::size_t>(i)];
            pos += 8;
            double d;
            std::memcpy(&d, &bits, sizeof d);
            append(Value::Float(d));
            break;
        }
        case kConstAtom: {
            const std::uint8_t* start = &data[pos];
            const void* nul = std::memchr(start, 0, n - pos);
            if (!nul)
                BadBytecode(ctx);
            std::string_view name(reinterpret_cast<const char*>(start),
                                  static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - start));
            pos += name.size() + 1;
            bool anonymous;
            append(Value::AtomValue(InternAtom(ctx, GlobalName(name, anonymousBase, &anonymous))));
            break;
        }
        case kConstRegExp: {
            need(5);
            std::uint8_t flags = data[pos];
            std::uint32_t bytes = ReadU32BE(&data[pos + 1]);
            pos += 5;
            std::u16string_view pattern = text(bytes);
            append(ctx->makeRegExp ? ctx->makeRegExp(ctx, pattern, flags) : Value::Null());
            break;
        }
        case kConstNaN:
            append(Value::NaN());
            break;
        default:
            // An unknown constant ends the load with an empty error text.
            Warn(ctx, "Unimplemented Zelph Script bytecode");
            SetMessage(ctx, "");
            RaiseRuntimeError(ctx);
        }
    }
    return count;
}

struct FunctionEntry {
    std::string name;
    std::uint32_t offset;
};

// The function table, with offsets that increase and stay inside the code.
std::vector<FunctionEntry> ReadFunctions(Context* ctx, const std::vector<std::uint8_t>& data, std::size_t codeSize)
{
    std::size_t n = data.size();
    if (n < 4)
        BadBytecode(ctx);
    std::uint32_t count = ReadU32BE(data.data());
    std::size_t pos = 4;
    std::vector<FunctionEntry> functions;
    for (std::uint32_t i = 0; i < count; ++i) {
        const void* nul = pos < n ? std::memchr(&data[pos], 0, n - pos) : nullptr;
        if (!nul)
            BadBytecode(ctx);
        std::size_t len = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - &data[pos]);
        std::string name(reinterpret_cast<const char*>(&data[pos]), len);
        pos += len + 1;
        if (n - pos < 4)
            BadBytecode(ctx);
        std::uint32_t offset = ReadU32BE(&data[pos]);
        pos += 4;
        if (offset > codeSize || (!functions.empty() && offset < functions.back().offset))
            BadBytecode(ctx);
        functions.push_back({std::move(name), offset});
    }
    return functions;
}

// Links and binds every function, then runs `.main` (the executor's module form).
void ExecuteModule(Context* ctx, const Module& module, const std::vector<FunctionEntry>& functions, LinkBase base,
                   std::uint32_t anonymousBase, bool firstLoad, bool run)
{
    const Module::Section* code = module.Find(kCodeSection);
    const Module::Section* debugSection = module.Find(kDebugSection);
    // An empty debug section (what the compiler writes without the option)
    // holds no debug information.
    const std::vector<std::uint8_t>* debug =
        debugSection && !debugSection->data.empty() ? &debugSection->data : nullptr;
    CodeObject* main = nullptr;
    ValueRoot mainRoot(ctx);
    for (std::size_t i = 0; i < functions.size(); ++i) {
        std::uint32_t start = functions[i].offset;
        std::uint32_t end = i + 1 < functions.size() ? functions[i + 1].offset
                                                     : static_cast<std::uint32_t>(code->data.size());
        std::span<const std::uint8_t> bytes(code->data.data() + start, end - start);
        CodeObject* linked = LinkFunction(ctx, bytes, base, debug, start);
        linked->name = functions[i].name;
        if (functions[i].name == ".main") {
            main = linked;
            mainRoot.value = NewFunction(ctx, linked);
            continue;
        }
        bool anonymous;
        Atom atom = InternAtom(ctx, GlobalName(functions[i].name, anonymousBase, &anonymous));
        if (anonymous && firstLoad)
            ++ctx->anonymousFunctions;
        Value fn = NewFunction(ctx, linked);
        ctx->globals[atom] = fn;
    }
    if (main && run)
        RunCode(ctx, nullptr, main, nullptr);
}

} // namespace

bool LoadModule(Context* ctx, Module& module, LoadMode mode)
{
    SetMessage(ctx, "");
    ctx->result = Value();
    return Protected(ctx, [&] {
        const Module::Section* code = module.Find(kCodeSection);
        const Module::Section* functionSection = module.Find(kFunctionSection);
        if (!code || !functionSection)
            BadBytecode(ctx);
        bool firstLoad = !module.loaded;
        if (firstLoad) {
            std::uint32_t base = static_cast<std::uint32_t>(ctx->constants.size());
            std::uint32_t anonymousBase = ctx->anonymousFunctions;
            const Module::Section* constants = module.Find(kConstantSection);
            std::uint32_t count = constants ? AppendConstants(ctx, constants->data, anonymousBase) : 0;
            module.loaded = true;
            module.constantBase = base;
            module.constantCount = count;
            module.anonymousBase = anonymousBase;
        }
        std::vector<FunctionEntry> functions = ReadFunctions(ctx, functionSection->data, code->data.size());
        ExecuteModule(ctx, module, functions, {module.constantBase, module.constantCount}, module.anonymousBase,
                      firstLoad, mode == LoadMode::kRun);
    });
}

} // namespace zelph
