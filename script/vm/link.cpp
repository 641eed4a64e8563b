#include "script/vm/code_object.h"

#include "script/vm/context.h"
#include "script/vm/error.h"
#include "script/vm/module.h"
#include "script/vm/opcodes.h"

#include <new>
#include <type_traits>

namespace zelph {
namespace {

constexpr std::uint32_t kNoSlot = 0xFFFFFFFFu;

[[noreturn]] void BadBytecode(Context* ctx)
{
    RaiseError(ctx, "Unimplemented Zelph Script bytecode");
}

void DestroyCodeObject(void* self)
{
    static_cast<CodeObject*>(self)->~CodeObject();
}

std::int32_t ReadOperand(const std::uint8_t* p, Operand kind)
{
    switch (kind) {
    case Operand::kI8: return static_cast<std::int8_t>(p[0]);
    case Operand::kI16: return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] << 8 | p[1]));
    default: return static_cast<std::int32_t>(ReadU32BE(p));
    }
}

void LinkDebug(Context* ctx, CodeObject* code, const std::vector<std::uint8_t>& debug, std::uint32_t start,
               std::uint32_t length, const std::vector<std::uint32_t>& slotAt)
{
    std::string fileName = "unknown";
    std::size_t pos = 0;
    const std::size_t n = debug.size();
    while (pos < n) {
        std::uint8_t type = debug[pos++];
        if (type == kDebugFileName) {
            if (n - pos < 4)
                BadBytecode(ctx);
            std::uint32_t len = ReadU32BE(&debug[pos]);
            pos += 4;
            if (n - pos < len)
                BadBytecode(ctx);
            fileName.assign(reinterpret_cast<const char*>(&debug[pos]), len);
            pos += len;
        } else if (type == kDebugLine) {
            if (n - pos < 8)
                BadBytecode(ctx);
            std::uint32_t offset = ReadU32BE(&debug[pos]);
            std::uint32_t line = ReadU32BE(&debug[pos + 4]);
            pos += 8;
            if (offset > std::uint64_t(start) + length)
                break;
            if (offset >= start) {
                // The instruction at that byte, or the next one (the appended
                // HALT at the very end).
                std::uint32_t at = offset - start;
                while (slotAt[at] == kNoSlot)
                    ++at;
                code->lines.push_back({slotAt[at], line});
            }
        } else {
            BadBytecode(ctx);
        }
    }
    code->fileName = fileName;
}

} // namespace

CodeObject* LinkFunction(Context* ctx, std::span<const std::uint8_t> bytes, LinkBase base,
                         const std::vector<std::uint8_t>* debug, std::uint32_t start)
{
    const std::uint32_t length = static_cast<std::uint32_t>(bytes.size());
    // Slot of the instruction starting at each byte (the appended HALT at
    // `length`); kNoSlot for operand bytes and skipped bytes.
    std::vector<std::uint32_t> slotAt(std::size_t(length) + 1, kNoSlot);
    std::vector<std::uint32_t> slots;
    slots.reserve(bytes.size() + 1);
    struct Jump {
        std::uint32_t operandSlot;
        std::uint32_t end;  // byte after the instruction
        std::int32_t displacement;
    };
    std::vector<Jump> jumps;

    for (std::uint32_t pos = 0; pos < length;) {
        std::uint8_t op = bytes[pos];
        if (op < kFirstOpcode || op > kLastOpcode) {
            ++pos;  // not an instruction: takes no slot
            continue;
        }
        Operand kind = InfoOf(op).operand;
        std::uint32_t size = static_cast<std::uint32_t>(EncodedSize(kind));
        if (length - pos < size)
            BadBytecode(ctx);
        slotAt[pos] = static_cast<std::uint32_t>(slots.size());
        slots.push_back(op);
        if (kind != Operand::kNone) {
            std::int32_t operand = ReadOperand(&bytes[pos + 1], kind);
            switch (kind) {
            case Operand::kAtom: {
                std::uint32_t index = static_cast<std::uint32_t>(operand) & 0x0FFFFFFFu;
                if (index >= base.constantCount || ctx->constants[base.constantBase + index].tag != kAtom)
                    BadBytecode(ctx);
                operand = static_cast<std::int32_t>(ctx->constants[base.constantBase + index].AtomNumber());
                break;
            }
            case Operand::kConst: {
                std::uint32_t index = static_cast<std::uint32_t>(operand);
                if (index >= base.constantCount)
                    BadBytecode(ctx);
                operand = static_cast<std::int32_t>(base.constantBase + index);
                break;
            }
            case Operand::kRel:
                jumps.push_back({static_cast<std::uint32_t>(slots.size()), pos + size, operand});
                break;
            default:
                break;
            }
            slots.push_back(static_cast<std::uint32_t>(operand));
        }
        pos += size;
    }
    slotAt[length] = static_cast<std::uint32_t>(slots.size());
    slots.push_back(OP_HALT);

    for (const Jump& j : jumps) {
        std::int64_t target = std::int64_t(j.end) + j.displacement;
        if (target < 0 || target > length || slotAt[target] == kNoSlot)
            BadBytecode(ctx);
        slots[j.operandSlot] = static_cast<std::uint32_t>(
            static_cast<std::int32_t>(slotAt[target]) - static_cast<std::int32_t>(j.operandSlot) - 1);
    }

    void* block = HeapAllocFinal(ctx, sizeof(CodeObject));
    auto* code = new (block) CodeObject{DestroyCodeObject, {}, std::move(slots), std::nullopt, {}};
    // A failure below leaves a complete code object for the collector.
    if (debug)
        LinkDebug(ctx, code, *debug, start, length, slotAt);
    return code;
}

} // namespace zelph
