// The global functions `eval` and `evals`: native objects whose class has only
// a call operation and whose class data is the engine they run in.
#include "script/vm/engine.h"

#include "script/vm/native_class.h"
#include "script/vm/string_record.h"

namespace zelph {
namespace {

Engine* EngineOf(NativeClass* cls)
{
    return static_cast<Engine*>(cls->privateData);
}

// eval(text): runs the text as top-level code of its own; the value of its last
// expression statement. Text that does not compile runs nothing and leaves the
// result register as it was. Anything but a string is its own value.
void Eval(Context* ctx, NativeClass* cls, void*, Value* out, const Value* args)
{
    if (ArgCount(args) < 1) {
        *out = Value();
        return;
    }
    const Value& x = Arg(args, 0);
    if (x.tag != kString) {
        *out = x;
        return;
    }
    std::string text = StringToAnsi(x.s);
    ValueRoot before(ctx, ctx->result);
    if (RunTextN(EngineOf(cls), text.data(), text.size()) == RunOutcome::kNotRun)
        ctx->result = before.value;
    *out = ctx->result;
}

// evals(path): compiles the named source file and runs it; the result register
// afterwards. Anything but a string: undefined.
void Evals(Context* ctx, NativeClass* cls, void*, Value* out, const Value* args)
{
    *out = Value();
    if (ArgCount(args) < 1 || Arg(args, 0).tag != kString)
        return;
    std::string path = StringToAnsi(Arg(args, 0).s);
    RunSourceFile(EngineOf(cls), path);
    *out = ctx->result;
}

} // namespace

void DefineEvalFunctions(Engine* engine)
{
    Context* ctx = engine->ctx.get();
    for (auto [name, call] : {std::pair{"eval", &Eval}, std::pair{"evals", &Evals}}) {
        NativeClass* cls = NewNativeClass(ctx);
        cls->call = call;
        cls->privateData = engine;
        DefineGlobalClass(ctx, name, cls);
    }
}

} // namespace zelph
