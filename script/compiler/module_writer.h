// The module writer: the laid-out code units of a compilation, one after the
// other, become a Compiled module (header, code, pooled constants, function
// table, debug information).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace zelph {

struct CompilerState;

class ModuleWriter {
public:
    explicit ModuleWriter(CompilerState& state);
    ~ModuleWriter();
    ModuleWriter(const ModuleWriter&) = delete;
    ModuleWriter& operator=(const ModuleWriter&) = delete;

    // Appends the state's instruction list (laid out) to the sections.
    void AddUnit();
    // The whole module.
    std::vector<std::uint8_t> Finish();

private:
    class ConstantPool;

    CompilerState& s_;
    std::vector<std::uint8_t> code_, constants_, functions_, debug_;
    std::unique_ptr<ConstantPool> pool_;
    std::uint32_t functionCount_ = 0;
    int lastLine_ = 0;
};

} // namespace zelph
