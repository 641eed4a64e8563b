#include "script/compiler/symbols.h"

namespace zelph {

void SymbolScopes::Pop()
{
    for (std::string_view name : scopes_.back().names) {
        auto it = symbols_.find(name);
        it->second.pop_back();
        if (it->second.empty())
            symbols_.erase(it);
    }
    scopes_.pop_back();
}

void SymbolScopes::Define(std::string_view name, Symbol::Kind kind, int slot, int line)
{
    std::vector<Symbol>& defs = symbols_[name];
    int depth = Depth();
    if (!defs.empty() && defs.back().scope == depth) {
        if (defs.back().kind != kind)
            defs.back() = {kind, slot, line, depth};
        return;
    }
    defs.push_back({kind, slot, line, depth});
    scopes_.back().names.push_back(name);
}

const Symbol* SymbolScopes::Lookup(std::string_view name) const
{
    auto it = symbols_.find(name);
    return it == symbols_.end() ? nullptr : &it->second.back();
}

} // namespace zelph
