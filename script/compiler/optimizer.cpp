#include "script/compiler/optimizer.h"

#include "script/compiler/compiler_state.h"
#include "script/vm/opcodes.h"

#include <vector>

namespace zelph {
namespace {

bool IsJumpOrTry(const Instr* r)
{
    switch (r->opcode) {
    case OP_JNZ:
    case OP_JZ:
    case OP_TRY:
    case OP_JMP:
    case OP_JT:
    case OP_JF:
        return true;
    default:
        return false;
    }
}

void Remove(CompilerState& s, Instr* r)
{
    if (r->prev)
        r->prev->next = r->next;
    else
        s.first = r->next;
    if (r->next)
        r->next->prev = r->prev;
    else
        s.last = r->prev;
}

// Rule 1: value; DUP; ...; POP where the copy is only popped.
bool NeedlessCopy(CompilerState& s, Instr* dup)
{
    int depth = 2;
    for (Instr* r = dup->next; r; r = r->next) {
        if (IsJumpOrTry(r) || r->IsLabel())
            return false;
        switch (r->opcode) {
        case OP_CALL:
        case OP_NEW:
        case OP_CALLMETH:
        case OP_RET:
        case OP_DUP:
        case OP_ENDTRY:
        case OP_THROW:
            return false;
        default:
            break;
        }
        depth += r->effect;
        if (depth <= 0)
            return false;
        if (depth == 1 && r->next && r->next->opcode == OP_POP) {
            Remove(s, r->next);
            Remove(s, dup);
            return true;
        }
    }
    return false;
}

void Peepholes(CompilerState& s)
{
    for (Instr* p = s.first; p && p->next;) {
        Instr* a = p->next;
        if (a->opcode == OP_DUP && NeedlessCopy(s, a))
            continue;  // look at the new record after p
        Instr* b = a->next;
        if (!b) {
            p = a;
            continue;
        }
        if (a->opcode == OP_STOREDROP && b->opcode == OP_POP) {
            a->opcode = OP_DROP;
            a->value += 1;
            a->effect = -a->value;
            Remove(s, b);
            continue;
        }
        bool falseJump = b->opcode == OP_JF || b->opcode == OP_JZ;
        bool trueJump = b->opcode == OP_JT || b->opcode == OP_JNZ;
        if ((a->opcode == OP_PUSHTRUE && falseJump) || (a->opcode == OP_PUSHFALSE && trueJump)) {
            --b->target->references;
            Remove(s, b);  // never taken
            Remove(s, a);
            continue;
        }
        if ((a->opcode == OP_PUSHFALSE && falseJump) || (a->opcode == OP_PUSHTRUE && trueJump)) {
            b->opcode = OP_JMP;  // always taken
            b->effect = 0;
            Remove(s, a);
            continue;
        }
        p = a;
    }
}

void ThreadJumps(CompilerState& s)
{
    for (Instr* r = s.first; r; r = r->next) {
        if (!IsJumpOrTry(r))
            continue;
        Instr* after = r->target->next;
        while (after && after->IsLabel())
            after = after->next;
        if (after && after->opcode == OP_JMP) {
            --r->target->references;
            r->target = after->target;
            ++r->target->references;
        }
    }
}

std::uint32_t Bit(int slot)
{
    return slot >= 0 && slot < 32 ? std::uint32_t(1) << slot : 0;
}

// Liveness of local slots 0..31 over one code unit [begin, end), walked
// backwards until no label's set changes (a label's set is what flows into
// it; the jumps to it read it). A unit with exception handlers keeps alive,
// after every record in it, what any of its handlers reads: an exception can
// reach a handler from anywhere in the protected region.
void Liveness(Instr* begin, Instr* end)
{
    bool hasTry = false;
    Instr* last = begin;
    for (Instr* r = begin; r != end; r = r->next) {
        hasTry = hasTry || r->opcode == OP_TRY;
        if (r->IsLabel())
            r->live = 0;
        last = r;
    }
    std::uint32_t handlers = 0;
    for (;;) {
        bool changed = false;
        std::uint32_t live = 0;  // nothing is live after the unit's last record
        std::uint32_t handlersRead = 0;
        for (Instr* r = last;; r = r->prev) {
            std::uint32_t after = live | handlers;
            if (r->IsLabel()) {
                changed = changed || r->live != after;
                r->live = after;
            } else {
                r->live = after;
                std::uint32_t before = after;
                if (r->opcode == OP_GETLOCAL)
                    before |= Bit(r->value);
                else if (r->opcode == OP_SETLOCAL)
                    before &= ~Bit(r->value);
                if (IsJumpOrTry(r)) {
                    before |= r->target->live;
                    if (r->opcode == OP_TRY)
                        handlersRead |= r->target->live;
                }
                after = before;
            }
            live = after;
            if (r == begin)
                break;
        }
        if (hasTry && (handlers | handlersRead) != handlers) {
            handlers |= handlersRead;
            changed = true;
        }
        if (!changed)
            return;
    }
}

void EliminateStoreLoad(CompilerState& s)
{
    for (Instr* begin = s.first; begin;) {
        Instr* end = begin->next;
        while (end && end->opcode != kEntryLabel)
            end = end->next;
        Liveness(begin, end);
        for (Instr* r = begin; r != end && r->next;) {
            Instr* next = r->next;
            if (r->opcode == OP_SETLOCAL && next->opcode == OP_GETLOCAL && next->value == r->value &&
                r->value < 32 && !(next->live & Bit(r->value))) {
                Instr* after = next->next;
                Remove(s, next);
                Remove(s, r);
                r = after ? after : end;
                if (!r)
                    break;
                continue;
            }
            r = next;
        }
        begin = end;
    }
}

// Dead-code removal. Each round does the three steps: unreferenced jump labels
// go (when a record follows), the records after RET and JMP up to the next
// label go, and a JMP to the label right after it goes. The steps run in one
// walk: the labels a step-2 walk meets are judged as step 1 would have judged
// them. Only a label losing its last reference can give the next round work,
// so rounds repeat while that happens. Labels count their references from the
// moment a jump names them.
void RemoveDeadCode(CompilerState& s, bool moreUnits)
{
    bool again = true;
    while (again) {
        again = false;
        auto removable = [&](const Instr* label) {
            return label->opcode == kJumpLabel && label->references == 0 && (label->next || moreUnits);
        };
        auto drop = [&](Instr* r) {
            if (IsJumpOrTry(r) && --r->target->references == 0)
                again = true;
            Remove(s, r);
        };
        for (Instr* r = s.first; r;) {
            if (removable(r)) {
                Instr* next = r->next;
                Remove(s, r);
                r = next;
                continue;
            }
            if (r->opcode == OP_RET || r->opcode == OP_JMP) {
                while (Instr* n = r->next) {
                    if (n->IsLabel() && !removable(n))
                        break;
                    drop(n);
                }
                if (r->opcode == OP_JMP && r->target == r->next) {
                    Instr* next = r->next;
                    drop(r);
                    r = next;
                    continue;
                }
            }
            r = r->next;
        }
    }
}

} // namespace

void Optimize(CompilerState& s, std::uint32_t passes, bool moreUnits)
{
    if (passes & kCompilePass1)
        Peepholes(s);
    if (passes & kCompilePass2)
        ThreadJumps(s);
    if ((passes & kCompilePass4) && s.unitStoresLocals)
        EliminateStoreLoad(s);
    if (passes & kCompilePass3)
        RemoveDeadCode(s, moreUnits);
}

void LayOut(CompilerState& s)
{
    std::uint32_t offset = s.codeSize;
    for (Instr* r = s.first; r; r = r->next) {
        r->offset = offset;
        offset += static_cast<std::uint32_t>(r->size);
    }
    s.codeSize = offset;
}

} // namespace zelph
