// The instruction set: opcode numbers and operand kinds. The only place that
// assigns them.
#pragma once

#include <cstdint>

namespace zelph {

enum class Operand : std::uint8_t {
    kNone,
    kAtom,   // 4 bytes: index of an atom constant (28 bits); linked to the Atom
    kConst,  // 4 bytes: module constant index; linked to a context constant index
    kRel,    // 4 bytes: byte displacement from the end of the instruction; linked to slots
    kI32,
    kI16,
    kI8,
};

// X(opcode, name, operand)
#define ZELPH_OPCODES(X)            \
    X(0x21, CALLNAME, kAtom)        \
    X(0x22, GETNAME, kAtom)         \
    X(0x23, ADD2, kNone)            \
    X(0x24, INC, kNone)             \
    X(0x25, JNZ, kRel)              \
    X(0x26, JZ, kRel)               \
    X(0x27, THROW, kNone)           \
    X(0x28, ENDTRY, kI8)            \
    X(0x29, TRY, kRel)              \
    X(0x2a, ENDWITH, kI8)           \
    X(0x2b, WITH, kNone)            \
    X(0x2c, ARGN, kNone)            \
    X(0x2d, ENTER, kI8)             \
    X(0x2e, LOCALS, kI16)           \
    X(0x2f, DELELEM, kNone)         \
    X(0x30, DELPROP, kAtom)         \
    X(0x31, NEW, kNone)             \
    X(0x32, TYPEOF, kNone)          \
    X(0x33, RET, kNone)             \
    X(0x34, CALL, kNone)            \
    X(0x35, JMP, kRel)              \
    X(0x36, CALLMETH, kAtom)        \
    X(0x37, JT, kRel)               \
    X(0x38, JF, kRel)               \
    X(0x39, USHR, kNone)            \
    X(0x3a, SHR, kNone)             \
    X(0x3b, SHL, kNone)             \
    X(0x3c, BITXOR, kNone)          \
    X(0x3d, BITOR, kNone)           \
    X(0x3e, NOT, kNone)             \
    X(0x3f, BITAND, kNone)          \
    X(0x40, NEG, kNone)             \
    X(0x41, MOD, kNone)             \
    X(0x42, DIV, kNone)             \
    X(0x43, MUL, kNone)             \
    X(0x44, ADD, kNone)             \
    X(0x45, SUB, kNone)             \
    X(0x46, STRICTNE, kNone)        \
    X(0x47, STRICTEQ, kNone)        \
    X(0x48, GE, kNone)              \
    X(0x49, LE, kNone)              \
    X(0x4a, GT, kNone)              \
    X(0x4b, LT, kNone)              \
    X(0x4c, NE, kNone)              \
    X(0x4d, EQ, kNone)              \
    X(0x4e, NEXTELEM, kNone)        \
    X(0x4f, SETELEM, kNone)         \
    X(0x50, GETELEM, kNone)         \
    X(0x51, SETPROP, kAtom)         \
    X(0x52, GETPROP, kAtom)         \
    X(0x53, SETLOCAL, kI16)         \
    X(0x54, GETLOCAL, kI16)         \
    X(0x55, SETARG, kI8)            \
    X(0x56, GETARG, kI8)            \
    X(0x57, SETGLOBAL, kAtom)       \
    X(0x58, GETGLOBAL, kAtom)       \
    X(0x59, PUSHINT, kI32)          \
    X(0x5a, PUSH3, kNone)           \
    X(0x5b, PUSH2, kNone)           \
    X(0x5c, PUSH1, kNone)           \
    X(0x5d, PUSH0, kNone)           \
    X(0x5e, PUSHUNDEF, kNone)       \
    X(0x5f, PUSHFALSE, kNone)       \
    X(0x60, PUSHTRUE, kNone)        \
    X(0x61, PUSHNULL, kNone)        \
    X(0x62, PUSHCONST, kConst)      \
    X(0x63, ROLL, kI8)              \
    X(0x64, SWAP, kNone)            \
    X(0x65, STOREDROP, kI8)         \
    X(0x66, DROP, kI8)              \
    X(0x67, POP, kNone)             \
    X(0x68, DUP, kNone)             \
    X(0x69, NOP, kNone)             \
    X(0x6a, HALT, kNone)            \
    X(0x6b, IDLE, kNone)            \
    X(0x6c, SETNAME, kAtom)         \
    X(0x6d, DELNAME, kAtom)         \
    X(0x6e, FREEGLOBAL, kAtom)      \
    X(0x6f, FREELOCAL, kI16)        \
    X(0x70, FREEARG, kI8)

enum Opcode : std::uint8_t {
#define ZELPH_OPCODE_ENUM(code, name, operand) OP_##name = code,
    ZELPH_OPCODES(ZELPH_OPCODE_ENUM)
#undef ZELPH_OPCODE_ENUM
};

inline constexpr std::uint8_t kFirstOpcode = 0x21;
inline constexpr std::uint8_t kLastOpcode = 0x70;

struct OpcodeInfo {
    const char* name;  // null for bytes that are no opcode
    Operand operand;
};

const OpcodeInfo& InfoOf(std::uint8_t opcode);
// Bytes of an instruction in the code section: 1 + operand bytes.
int EncodedSize(Operand operand);
bool IsJump(std::uint8_t opcode);
// The opcode of a name ("PUSHTRUE"), or 0.
std::uint8_t OpcodeNamed(const char* name);

} // namespace zelph
