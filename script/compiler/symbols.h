// Symbol scopes: the compile-time table of arguments and locals. A stack of
// scopes; a nested scope takes local slots after those of its enclosing scope,
// and popping a scope gives its slots back for later siblings. Lookup finds the
// innermost definition of a name.
#pragma once

#include <string_view>
#include <unordered_map>
#include <vector>

namespace zelph {

struct Symbol {
    enum Kind { kArgument = 1, kLocal = 2 };
    Kind kind;
    int slot;
    int line;
    int scope;  // depth of the scope that defines it
};

class SymbolScopes {
public:
    SymbolScopes() { scopes_.push_back({0, {}}); }  // the root: the top-level code's locals

    void Push() { scopes_.push_back({scopes_.back().counter, {}}); }
    void Pop();
    int NewSlot()
    {
        int slot = scopes_.back().counter++;
        if (slot + 1 > highWater_)
            highWater_ = slot + 1;
        return slot;
    }
    // Local slots taken since the last reset (the most any code path uses).
    int HighWater() const { return highWater_; }
    void ResetHighWater() { highWater_ = 0; }
    // Defines a name in the innermost scope. The same name with the same kind
    // there changes nothing; with another kind it is redefined.
    void Define(std::string_view name, Symbol::Kind kind, int slot, int line);
    const Symbol* Lookup(std::string_view name) const;
    int Depth() const { return static_cast<int>(scopes_.size()) - 1; }

private:
    struct Scope {
        int counter;
        std::vector<std::string_view> names;  // defined here, to undo on Pop
    };
    std::vector<Scope> scopes_;
    std::unordered_map<std::string_view, std::vector<Symbol>> symbols_;  // innermost last
    int highWater_ = 0;
};

} // namespace zelph
