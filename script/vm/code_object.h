// Code objects: one linked function. Every instruction takes one 4-byte slot
// for its opcode and, with an operand, one more slot holding the operand
// already converted (Atoms, absolute constant indexes, jump displacements in
// slots counted from the slot after the operand).
#pragma once

#include "script/vm/heap.h"
#include "script/vm/value.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zelph {

struct LineRecord {
    std::uint32_t slot;
    std::uint32_t line;
};

// A heap block with a finalizer that releases the members.
struct CodeObject {
    Finalizer destroy;
    std::string name;
    std::vector<std::uint32_t> slots;
    std::optional<std::string> fileName;  // none without debug data
    std::vector<LineRecord> lines;
};

// The module context a function is linked in: where its constants start in the
// context's constant table and how many the module has.
struct LinkBase {
    std::uint32_t constantBase;
    std::uint32_t constantCount;
};

// Links the bytes of one function (a HALT is appended) into a new code object.
// debug: the module's debug section or none; start: the function's offset in
// the code section. Raises "Unimplemented Zelph Script bytecode" for operands
// cut off by the end of the function, operands that name no suitable
// constant, jumps that land outside the function or inside an instruction, and
// malformed debug records.
CodeObject* LinkFunction(Context* ctx, std::span<const std::uint8_t> code, LinkBase base,
                         const std::vector<std::uint8_t>* debug, std::uint32_t start);

} // namespace zelph
