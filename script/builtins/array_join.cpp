#include "script/builtins/array_join.h"

#include "script/vm/array.h"
#include "script/vm/context.h"
#include "script/vm/conversions.h"
#include "script/vm/error.h"
#include "script/vm/string_record.h"

#include <algorithm>

namespace zelph {
namespace {

// Marks an array as being joined for the guard's lifetime.
class ConvertingGuard {
public:
    ConvertingGuard(Context* ctx, const void* what) : ctx_(ctx) { ctx_->converting.push_back(what); }
    ~ConvertingGuard() { ctx_->converting.pop_back(); }
    ConvertingGuard(const ConvertingGuard&) = delete;
    ConvertingGuard& operator=(const ConvertingGuard&) = delete;

private:
    Context* ctx_;
};

void AppendSeparators(Context* ctx, std::u16string& out, std::u16string_view separator, std::int64_t count)
{
    if (separator.empty() || count <= 0)
        return;
    if (static_cast<std::uint64_t>(count) > (kMaxStringLength - out.size()) / separator.size())
        RaiseError(ctx, "Out of memory");
    for (std::int64_t i = 0; i < count; ++i)
        out.append(separator);
}

} // namespace

Value ArrayJoin(Context* ctx, ArrayRecord* a, std::u16string_view separator)
{
    const std::int64_t length = a->length;
    if (length <= 0)
        return StaticString(ctx, u"");
    auto& converting = ctx->converting;
    if (std::find(converting.begin(), converting.end(), a) != converting.end())
        return StaticString(ctx, u"");
    NativeDepthGuard depth(ctx);
    ConvertingGuard guard(ctx, a);
    ValueRoot keep(ctx, Value::Array(a));
    std::u16string sep(separator);  // the caller's text may move during conversions

    // Only the indexes that hold elements are visited: a long sparse array costs
    // its separators, not a loop over its length.
    std::vector<std::int64_t> indexes;
    for (const ArrayElement& e : ArrayElementsByIndex(a))
        if (e.index >= 0 && e.index < length)
            indexes.push_back(e.index);

    std::u16string out;
    std::int64_t position = 0;
    for (std::int64_t index : indexes) {
        AppendSeparators(ctx, out, sep, index - position);
        position = index;
        // Read now: converting earlier elements may have run script code.
        Value* element = ArrayGet(a, index);
        if (!element)
            continue;
        ValueRoot item(ctx, *element);
        Value text = ToString(ctx, item.value);
        std::u16string_view view = text.s->View();
        if (view.size() > kMaxStringLength - out.size())
            RaiseError(ctx, "Out of memory");
        out.append(view);
    }
    AppendSeparators(ctx, out, sep, length - 1 - position);
    return NewString(ctx, out);
}

} // namespace zelph
