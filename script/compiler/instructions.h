// Instruction records: the code generator's output, the optimizer's working
// list and the module writer's input. A doubly linked list in the
// compilation's arena.
#pragma once

#include <cstdint>

namespace zelph {

struct RegExpLiteral;

// Pseudo-instructions that occupy no bytes.
inline constexpr int kEntryLabel = 1000;  // a function's start; name = its internal name
inline constexpr int kJumpLabel = 1001;   // a jump target; value = its number

struct Constant {
    enum Kind { kInteger = 3, kString = 4, kDouble = 5, kRegExp = 11 };
    Kind kind;
    std::int64_t integer;
    double number;
    const char* text;
    const RegExpLiteral* regexp;
};

struct Instr {
    enum class Arg : std::uint8_t { kNone, kInt, kName, kConstant, kLabel };

    std::uint16_t opcode = 0;  // an instruction, kEntryLabel or kJumpLabel
    std::uint8_t size = 0;     // bytes in the code
    Arg arg = Arg::kNone;
    int line = 0;
    int value = 0;             // small integer operand, or a jump label's number
    int effect = 0;            // net stack effect
    std::uint32_t offset = 0;  // byte offset in the code (layout)
    std::uint32_t live = 0;    // local slots 0..31 live after the record (a label: flowing into it)
    int references = 0;        // jump label: the jumps and TRYs that target it
    union {
        const char* name = nullptr;  // atom operand or entry label name
        const Constant* constant;    // constant operand
        Instr* target;               // jump target label
    };
    Instr* prev = nullptr;
    Instr* next = nullptr;

    bool IsLabel() const { return opcode == kEntryLabel || opcode == kJumpLabel; }
};

// The stack effect of an instruction with the given operand value.
int StackEffect(int opcode, int value);

} // namespace zelph
