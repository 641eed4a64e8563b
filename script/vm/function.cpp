#include "script/vm/function.h"

#include "script/vm/heap.h"

namespace zelph {

Value NewFunction(Context* ctx, CodeObject* code)
{
    auto* c = static_cast<Closure*>(HeapAlloc(ctx, sizeof(Closure)));
    c->code = code;
    c->props = nullptr;
    return Value::Function(c);
}

} // namespace zelph
