#include "script/compiler/codegen.h"

#include "script/compiler/codegen_internal.h"
#include "script/compiler/diagnostics.h"

#include <algorithm>

namespace zelph {

int StackEffect(int opcode, int value)
{
    switch (opcode) {
    case OP_GETNAME:
    case OP_NEW:
    case OP_CALL:
    case OP_CALLMETH:
    case OP_CALLNAME:
    case OP_GETLOCAL:
    case OP_GETARG:
    case OP_GETGLOBAL:
    case OP_PUSHINT:
    case OP_PUSH3:
    case OP_PUSH2:
    case OP_PUSH1:
    case OP_PUSH0:
    case OP_PUSHUNDEF:
    case OP_PUSHFALSE:
    case OP_PUSHTRUE:
    case OP_PUSHNULL:
    case OP_PUSHCONST:
    case OP_DUP:
        return 1;
    case OP_LOCALS:
        return value;
    case OP_JNZ:
    case OP_JZ:
    case OP_JT:
    case OP_JF:
    case OP_THROW:
    case OP_WITH:
    case OP_ENTER:
    case OP_DELELEM:
    case OP_USHR:
    case OP_SHR:
    case OP_SHL:
    case OP_BITXOR:
    case OP_BITOR:
    case OP_BITAND:
    case OP_MOD:
    case OP_DIV:
    case OP_MUL:
    case OP_ADD:
    case OP_SUB:
    case OP_STRICTNE:
    case OP_STRICTEQ:
    case OP_GE:
    case OP_LE:
    case OP_GT:
    case OP_LT:
    case OP_NE:
    case OP_EQ:
    case OP_GETELEM:
    case OP_SETLOCAL:
    case OP_SETARG:
    case OP_SETGLOBAL:
    case OP_POP:
    case OP_SETNAME:
        return -1;
    case OP_SETPROP:
        return -2;
    case OP_SETELEM:
        return -3;
    case OP_STOREDROP:
    case OP_DROP:
        return -value;
    default:
        return 0;
    }
}

namespace {

// Locals that a statement declares directly, for LOCALS.
int DeclaredBy(const Node* s)
{
    if (!s)
        return 0;
    auto var = [](const Node* n) { return n && n->kind == N_VAR && !n->op ? n->count : 0; };
    switch (s->kind) {
    case N_VAR: return var(s);
    case N_IF: return var(s->b) + var(s->c);
    case N_WHILE:
    case N_DO:
    case N_WITH: return var(s->b);
    case N_FOR: return var(s->e);
    case N_FOR_IN: return var(s->d);
    case N_TRY: return (s->b ? 1 : 0) + var(s->a);
    default: return 0;
    }
}

} // namespace

// What a single statement's nested statements need.
static int Nested(CodeGen& g, const Node* s)
{
    if (!s)
        return 0;
    switch (s->kind) {
    case N_BLOCK: return g.SlotCount(s->a);
    case N_IF: return std::max(Nested(g, s->b), Nested(g, s->c));
    case N_WHILE:
    case N_DO:
    case N_WITH: return Nested(g, s->b);
    case N_FOR: return s->count + Nested(g, s->e);
    case N_FOR_IN: return (s->a ? 1 : 0) + Nested(g, s->d);
    case N_TRY: {
        int most = std::max(Nested(g, s->a), Nested(g, s->c));
        for (const Node* c = s->b; c; c = c->next)
            most = std::max(most, Nested(g, c->b));
        return most;
    }
    case N_SWITCH: {
        int most = 0;
        for (const Node* c = s->b; c; c = c->next)
            most = std::max(most, g.SlotCount(c->b));
        return most;
    }
    case N_LABEL: return DeclaredBy(s->a) + Nested(g, s->a);
    default: return 0;
    }
}

int CodeGen::SlotCount(const Node* list)
{
    int direct = 0, nested = 0;
    for (const Node* s = list; s; s = s->next) {
        direct += DeclaredBy(s);
        nested = std::max(nested, Nested(*this, s));
    }
    return direct + nested;
}

Instr* CodeGen::Emit(int opcode, int line)
{
    Instr* i = s_.NewInUnit<Instr>();
    i->opcode = opcode;
    i->line = line;
    if (opcode < kEntryLabel)
        i->size = EncodedSize(InfoOf(static_cast<std::uint8_t>(opcode)).operand);
    i->effect = StackEffect(opcode, 0);
    s_.unitStoresLocals = s_.unitStoresLocals || opcode == OP_SETLOCAL;
    i->prev = s_.last;
    if (s_.last)
        s_.last->next = i;
    else
        s_.first = i;
    s_.last = i;
    return i;
}

Instr* CodeGen::EmitInt(int opcode, int value, int line)
{
    Instr* i = Emit(opcode, line);
    i->arg = Instr::Arg::kInt;
    i->value = value;
    i->effect = StackEffect(opcode, value);
    return i;
}

Instr* CodeGen::EmitName(int opcode, const char* name, int line)
{
    Instr* i = Emit(opcode, line);
    i->arg = Instr::Arg::kName;
    i->name = name;
    return i;
}

Instr* CodeGen::EmitConstant(int opcode, const Constant* c, int line)
{
    Instr* i = Emit(opcode, line);
    i->arg = Instr::Arg::kConstant;
    i->constant = c;
    return i;
}

Instr* CodeGen::EmitJump(int opcode, Instr* label, int line)
{
    Instr* i = Emit(opcode, line);
    i->arg = Instr::Arg::kLabel;
    i->target = label;
    ++label->references;
    return i;
}

Instr* CodeGen::NewLabel()
{
    Instr* label = s_.NewInUnit<Instr>();
    label->opcode = kJumpLabel;
    label->value = s_.labelCounter++;
    return label;
}

void CodeGen::Place(Instr* label)
{
    label->prev = s_.last;
    if (s_.last)
        s_.last->next = label;
    else
        s_.first = label;
    s_.last = label;
}

void CodeGen::PushCount(int n, int line)
{
    static const int small[] = {OP_PUSH0, OP_PUSH1, OP_PUSH2, OP_PUSH3};
    if (n >= 0 && n <= 3)
        Emit(small[n], line);
    else
        EmitInt(OP_PUSHINT, n, line);
}

void CodeGen::PushInteger(std::int64_t v, int line)
{
    if (v >= 0 && v <= 3) {
        PushCount(static_cast<int>(v), line);
        return;
    }
    Constant* c = s_.NewInUnit<Constant>();
    c->kind = Constant::kInteger;
    c->integer = v;
    EmitConstant(OP_PUSHCONST, c, line);
}

void CodeGen::FalseJump(const Node* condition, Instr* label, int line)
{
    EmitJump(s_.strictJumps && condition->type == 2 ? OP_JZ : OP_JF, label, line);
}

void CodeGen::TrueJump(const Node* condition, Instr* label, int line)
{
    EmitJump(s_.strictJumps && condition->type == 2 ? OP_JNZ : OP_JT, label, line);
}

bool CodeGen::InWith() const
{
    for (const JumpContext& c : contexts_)
        if (c.withDepth > 0)
            return true;
    return false;
}

void CodeGen::NameAccess(const Node* name, int globalOp, int byNameOp, int argOp, int localOp, int line)
{
    if (const Symbol* sym = scopes_.Lookup(name->text)) {
        if (sym->kind == Symbol::kArgument)
            EmitInt(argOp, sym->slot, line);
        else
            EmitInt(localOp, sym->slot, line);
        return;
    }
    EmitName(InWith() ? byNameOp : globalOp, name->text, line);
}

void CodeGen::Load(const Node* target)
{
    switch (target->kind) {
    case N_NAME:
        NameAccess(target, OP_GETGLOBAL, OP_GETNAME, OP_GETARG, OP_GETLOCAL, target->line);
        return;
    case N_MEMBER:
        Expression(target->a);
        EmitName(OP_GETPROP, target->text, target->line);
        return;
    case N_INDEX:
        Expression(target->a);
        Expression(target->b);
        Emit(OP_GETELEM, target->line);
        return;
    default:
        Expression(target);  // not assignable: its value, nothing stored (Store warns)
        return;
    }
}

void CodeGen::Store(const Node* target, int line)
{
    switch (target->kind) {
    case N_NAME:
        NameAccess(target, OP_SETGLOBAL, OP_SETNAME, OP_SETARG, OP_SETLOCAL, target->line);
        return;
    case N_MEMBER:
        Expression(target->a);
        EmitName(OP_SETPROP, target->text, target->line);
        return;
    case N_INDEX:
        Expression(target->a);
        Expression(target->b);
        Emit(OP_SETELEM, target->line);
        return;
    default:
        // The value to store is dropped, so the stack stays balanced.
        ReportWarning(s_, line, "invalid assignment target");
        Emit(OP_POP, line);
        return;
    }
}

void CodeGen::Statements(const Node* first)
{
    for (const Node* s = first; s; s = s->next)
        Statement(s);
}

void CodeGen::Function(const Node* f)
{
    scopes_.Push();
    int parameters = 0;
    for (const Node* p = f->a; p; p = p->next)
        scopes_.Define(p->text, Symbol::kArgument, 2 + parameters++, p->line);
    EmitName(kEntryLabel, f->text, f->line);
    const int body = f->line2;
    EmitInt(OP_GETARG, 1, body);
    Emit(OP_ADD2, body);
    Instr* enter = EmitInt(OP_ENTER, parameters + 2, body);
    const bool usesArguments = f->op != 0;
    scopes_.ResetHighWater();
    if (usesArguments) {
        int c = scopes_.NewSlot();
        scopes_.Define("arguments", Symbol::kLocal, c, body);
        PushCount(0, body);
        EmitName(OP_GETGLOBAL, "Object", body);
        Emit(OP_NEW, body);
        Emit(OP_SWAP, body);
        EmitInt(OP_STOREDROP, 2, body);
        EmitInt(OP_SETLOCAL, c, body);
        PushCount(0, body);
        Instr* loop = NewLabel();
        Instr* done = NewLabel();
        Place(loop);
        Emit(OP_DUP, body);
        EmitInt(OP_GETARG, 1, body);
        Emit(OP_GE, body);
        EmitJump(OP_JNZ, done, body);
        Emit(OP_DUP, body);
        Emit(OP_DUP, body);
        Emit(OP_ADD2, body);
        Emit(OP_ARGN, body);
        Emit(OP_SWAP, body);
        EmitInt(OP_GETLOCAL, c, body);
        Emit(OP_SWAP, body);
        Emit(OP_SETELEM, body);
        Emit(OP_INC, body);
        EmitJump(OP_JMP, loop, body);
        Place(done);
        EmitInt(OP_GETLOCAL, c, body);
        EmitName(OP_SETPROP, "length", body);
        EmitName(OP_GETGLOBAL, f->text, body);
        EmitInt(OP_GETLOCAL, c, body);
        EmitName(OP_SETPROP, "callee", body);
    }
    Statements(f->b);
    // An empty body is one N_ITEM the parser marks; it stands for no statement.
    int line = f->line;
    for (const Node* s = f->b; s; s = s->next)
        line = s->kind == N_ITEM && s->line2 == -1 ? f->line : s->line;
    Emit(OP_PUSHUNDEF, line);
    Emit(OP_RET, line);
    scopes_.Pop();
    FixLocals(enter, SlotCount(f->b) + (usesArguments ? 1 : 0), body);
}

void CodeGen::FixLocals(Instr* after, int declared, int line)
{
    int n = std::max(declared, scopes_.HighWater());
    if (n <= 0)
        return;
    Instr* locals = s_.NewInUnit<Instr>();
    locals->opcode = OP_LOCALS;
    locals->line = line;
    locals->size = EncodedSize(Operand::kI16);
    locals->arg = Instr::Arg::kInt;
    locals->value = n;
    locals->effect = n;
    locals->prev = after;
    locals->next = after->next;
    if (after->next)
        after->next->prev = locals;
    else
        s_.last = locals;
    after->next = locals;
}

void CodeGen::FinishUnit(bool moreUnits)
{
    unitDone_(moreUnits);
    s_.first = s_.last = nullptr;
    s_.unitStoresLocals = false;
    s_.unitArena.Rewind();
}

void CodeGen::Generate()
{
    for (const Node* f = s_.functions.first; f; f = f->next) {
        Function(f);
        FinishUnit(f->next || s_.main.first);
    }
    if (!s_.main.first)
        return;
    Instr* entry = EmitName(kEntryLabel, ".main", s_.main.first->line);
    scopes_.ResetHighWater();
    Statements(s_.main.first);
    FixLocals(entry, SlotCount(s_.main.first), s_.main.first->line);
    // The value of a final expression statement stays as the run's result: its
    // POP goes when it is the very last record. (Not when a label follows it:
    // jumps to that label arrive without the value.) Otherwise the result is
    // undefined, pushed at the line of the last instruction (labels have none),
    // or at line 0 when there is no code at all.
    if (s_.last->opcode == OP_POP) {
        s_.last = s_.last->prev;
        s_.last->next = nullptr;
    } else if (s_.last == entry && !s_.functions.first) {
        Emit(OP_PUSHUNDEF, 0);
    } else {
        const Instr* last = s_.last;
        while (last != entry && last->IsLabel())
            last = last->prev;
        Emit(OP_PUSHUNDEF, last->line);
    }
    FinishUnit(false);
}

void GenerateCode(CompilerState& state, const UnitDone& unitDone)
{
    CodeGen(state, unitDone).Generate();
}

} // namespace zelph
