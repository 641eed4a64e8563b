// A Script context with the standard classes for tests, and stand-ins for
// script functions (C++ callables behind function Values).
#pragma once

#include "script/builtins/registry.h"
#include "script/vm/context.h"
#include "script/vm/conversions.h"
#include "script/vm/error.h"
#include "script/vm/function.h"
#include "script/vm/string_record.h"

#include <gtest/gtest.h>

#include <charconv>
#include <functional>
#include <map>
#include <string>

namespace zelph::test {

using ScriptFn = std::function<Value(Context* ctx, const Value* self, const Value* args)>;

class VmTest : public ::testing::Test {
protected:
    VmTest() : ctx_(CreateContext(kDefaultStackSize, 0, false, StandardRegistrations())), ctx(ctx_.get())
    {
        current_ = this;
        ctx->callFunction = &VmTest::Dispatch;
    }
    ~VmTest() override { current_ = nullptr; }

    Value Str(std::u16string_view text) { return NewString(ctx, text); }
    std::u16string Text(const Value& v) { return ToText(ctx, v); }

    // A function Value that runs fn when called; kept alive in a global.
    Value Function(ScriptFn fn)
    {
        Value f = NewFunction(ctx, nullptr);
        functions_[f.c] = std::move(fn);
        Atom slot = InternAtom(ctx, "@test" + std::to_string(functions_.size()));
        ctx->globals[slot] = f;
        return f;
    }

    // Keeps a Value alive in a global slot of the given name.
    Value& Global(const char* name) { return ctx->globals[InternAtom(ctx, name)]; }

    ContextPtr ctx_;
    Context* ctx;

private:
    static bool Dispatch(Context* c, const Value* self, const Value& callee, const Value* args)
    {
        auto it = current_->functions_.find(callee.c);
        if (it == current_->functions_.end())
            return false;
        c->result = it->second(c, self, args);
        return true;
    }

    static inline VmTest* current_ = nullptr;
    std::map<const Closure*, ScriptFn> functions_;
};

} // namespace zelph::test

namespace zelph::test {

// A Value as "type:content" for table comparisons: "int:3", "float:3.5",
// "nan", "str:ab", "bool:true", "undefined", "null", "object", "array".
inline std::string Describe(const Value& v)
{
    switch (v.tag) {
    case kUndefined: return "undefined";
    case kNull: return "null";
    case kBoolean: return v.BooleanValue() ? "bool:true" : "bool:false";
    case kInteger: return "int:" + std::to_string(v.i);
    case kFloat: {
        char buffer[64];
        auto r = std::to_chars(buffer, buffer + sizeof buffer, v.f);
        return "float:" + std::string(buffer, r.ptr);
    }
    case kNaN: return "nan";
    case kString: {
        std::string s = "str:";
        for (char16_t c : v.s->View())
            s += c < 0x80 ? static_cast<char>(c) : '?';
        return s;
    }
    case kArray: return "array";
    case kObject: return "object";
    case kNative: return "native";
    case kFunction: return "function";
    default: return "tag:" + std::to_string(v.tag);
    }
}

} // namespace zelph::test
