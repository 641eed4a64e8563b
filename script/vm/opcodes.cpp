#include "script/vm/opcodes.h"

#include <cstring>

namespace zelph {
namespace {

struct Table {
    OpcodeInfo info[256] = {};
    Table()
    {
        for (OpcodeInfo& i : info)
            i = {nullptr, Operand::kNone};
#define ZELPH_OPCODE_INFO(code, name, operand) info[code] = {#name, Operand::operand};
        ZELPH_OPCODES(ZELPH_OPCODE_INFO)
#undef ZELPH_OPCODE_INFO
    }
};

const Table& TheTable()
{
    static const Table table;
    return table;
}

} // namespace

const OpcodeInfo& InfoOf(std::uint8_t opcode)
{
    return TheTable().info[opcode];
}

int EncodedSize(Operand operand)
{
    switch (operand) {
    case Operand::kNone: return 1;
    case Operand::kI8: return 2;
    case Operand::kI16: return 3;
    default: return 5;
    }
}

bool IsJump(std::uint8_t opcode)
{
    return InfoOf(opcode).operand == Operand::kRel;
}

std::uint8_t OpcodeNamed(const char* name)
{
    for (int op = kFirstOpcode; op <= kLastOpcode; ++op)
        if (std::strcmp(InfoOf(static_cast<std::uint8_t>(op)).name, name) == 0)
            return static_cast<std::uint8_t>(op);
    return 0;
}

} // namespace zelph
