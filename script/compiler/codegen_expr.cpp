// Expressions.
#include "script/compiler/codegen_internal.h"

namespace zelph {
namespace {

int BinaryOpcode(int op)
{
    switch (op) {
    case '&': return OP_BITAND;
    case '^': return OP_BITXOR;
    case '|': return OP_BITOR;
    case TK_EQ: return OP_EQ;
    case TK_NE: return OP_NE;
    case TK_STRICT_EQ: return OP_STRICTEQ;
    case TK_STRICT_NE: return OP_STRICTNE;
    case '<': return OP_LT;
    case '>': return OP_GT;
    case TK_LE: return OP_LE;
    case TK_GE: return OP_GE;
    case TK_SHL: return OP_SHL;
    case TK_SHR: return OP_SHR;
    case TK_USHR: return OP_USHR;
    case '*': return OP_MUL;
    case '/': return OP_DIV;
    case '%': return OP_MOD;
    case '+': return OP_ADD;
    case '-': return OP_SUB;
    default: return OP_NOP;
    }
}

int CompoundOpcode(int op)
{
    switch (op) {
    case TK_MUL_ASSIGN: return OP_MUL;
    case TK_DIV_ASSIGN: return OP_DIV;
    case TK_MOD_ASSIGN: return OP_MOD;
    case TK_ADD_ASSIGN: return OP_ADD;
    case TK_SUB_ASSIGN: return OP_SUB;
    case TK_AND_ASSIGN: return OP_BITAND;
    case TK_XOR_ASSIGN: return OP_BITXOR;
    case TK_OR_ASSIGN: return OP_BITOR;
    case TK_SHL_ASSIGN: return OP_SHL;
    case TK_SHR_ASSIGN: return OP_SHR;
    case TK_USHR_ASSIGN: return OP_USHR;
    default: return OP_NOP;
    }
}

} // namespace

void CodeGen::Expression(const Node* n)
{
    const int line = n->line;
    switch (n->kind) {
    case N_THIS:
        EmitInt(OP_GETARG, 0, line);
        return;
    case N_NULL:
        Emit(OP_PUSHNULL, line);
        return;
    case N_TRUE:
        Emit(OP_PUSHTRUE, line);
        return;
    case N_FALSE:
        Emit(OP_PUSHFALSE, line);
        return;
    case N_UNDEFINED:
        Emit(OP_PUSHUNDEF, line);
        return;
    case N_INTEGER:
        PushInteger(n->integer, line);
        return;
    case N_NUMBER:
    case N_STRING:
    case N_REGEXP: {
        Constant* c = s_.NewInUnit<Constant>();
        if (n->kind == N_NUMBER) {
            c->kind = Constant::kDouble;
            c->number = n->number;
        } else if (n->kind == N_STRING) {
            c->kind = Constant::kString;
            c->text = n->text;
        } else {
            c->kind = Constant::kRegExp;
            c->regexp = n->regexp;
        }
        EmitConstant(OP_PUSHCONST, c, line);
        return;
    }
    case N_NAME:
    case N_MEMBER:
    case N_INDEX:
        Load(n);
        return;
    case N_ASSIGN:
        if (n->op == '=') {
            Expression(n->b);
        } else {
            Load(n->a);
            Expression(n->b);
            Emit(CompoundOpcode(n->op), line);
        }
        Emit(OP_DUP, line);
        Store(n->a, line);
        return;
    case N_CONDITIONAL: {
        Instr* otherwise = NewLabel();
        Instr* done = NewLabel();
        Expression(n->a);
        FalseJump(n->a, otherwise, line);
        Expression(n->b);
        EmitJump(OP_JMP, done, line);
        Place(otherwise);
        Expression(n->c);
        Place(done);
        return;
    }
    case N_LOGICAL: {
        Instr* done = NewLabel();
        Expression(n->a);
        Emit(OP_DUP, line);
        if (n->op == TK_AND)
            FalseJump(n->a, done, line);
        else
            TrueJump(n->a, done, line);
        Emit(OP_POP, line);
        Expression(n->b);
        Place(done);
        return;
    }
    case N_BITWISE:
    case N_EQUALITY:
    case N_RELATIONAL:
    case N_SHIFT:
    case N_MULTIPLICATIVE:
    case N_ADDITIVE:
        Expression(n->a);
        Expression(n->b);
        Emit(BinaryOpcode(n->op), line);
        return;
    case N_COMMA:
        Expression(n->a);
        Emit(OP_POP, line);
        Expression(n->b);
        return;
    case N_UNARY:
        switch (n->op) {
        case '!':
            Expression(n->a);
            Emit(OP_NOT, line);
            return;
        case '+':
            Expression(n->a);
            return;
        case '-':
            Expression(n->a);
            Emit(OP_NEG, line);
            return;
        case '~': {
            Expression(n->a);
            Constant* c = s_.NewInUnit<Constant>();
            c->kind = Constant::kInteger;
            c->integer = -1;
            EmitConstant(OP_PUSHCONST, c, line);
            Emit(OP_BITXOR, line);
            return;
        }
        case TK_TYPEOF:
            Expression(n->a);
            Emit(OP_TYPEOF, line);
            return;
        case TK_VOID:
            Expression(n->a);
            Emit(OP_POP, line);
            Emit(OP_PUSHUNDEF, line);
            return;
        case TK_INC:
        case TK_DEC:
            Load(n->a);
            Emit(OP_PUSH1, line);
            Emit(n->op == TK_INC ? OP_ADD : OP_SUB, line);
            Emit(OP_DUP, line);
            Store(n->a, line);
            return;
        case TK_DELETE: {
            const Node* target = n->a;
            if (target->kind == N_MEMBER) {
                Expression(target->a);
                EmitName(OP_DELPROP, target->text, line);
            } else if (target->kind == N_INDEX) {
                Expression(target->a);
                Expression(target->b);
                Emit(OP_DELELEM, line);
            } else if (target->kind == N_NAME) {
                Emit(OP_PUSHNULL, line);
                if (InWith())
                    EmitName(OP_DELNAME, target->text, line);
                else
                    NameAccess(target, OP_FREEGLOBAL, OP_DELNAME, OP_FREEARG, OP_FREELOCAL, line);
            } else {
                // Evaluated for its effects; the result is undefined.
                Expression(target);
                Emit(OP_POP, line);
                Emit(OP_PUSHUNDEF, line);
            }
            return;
        }
        default:
            return;
        }
    case N_POSTFIX:
        Load(n->a);
        Emit(OP_DUP, line);
        Emit(OP_PUSH1, line);
        Emit(n->op == TK_INC ? OP_ADD : OP_SUB, line);
        Store(n->a, line);
        return;
    case N_CALL: {
        for (const Node* a = n->b; a; a = a->next)
            Expression(a);
        PushCount(n->count, line);
        const Node* callee = n->a;
        if (callee->kind == N_NAME) {
            Load(callee);
            if (InWith())
                EmitName(OP_CALLNAME, callee->text, line);
            else
                Emit(OP_CALL, line);
        } else if (callee->kind == N_MEMBER) {
            Expression(callee->a);
            EmitName(OP_CALLMETH, callee->text, line);
        } else {
            Expression(callee);  // an index, or any other value to call
            Emit(OP_CALL, line);
        }
        EmitInt(OP_STOREDROP, n->count + 2, line);
        return;
    }
    case N_NEW:
        for (const Node* a = n->b; a; a = a->next)
            Expression(a);
        PushCount(n->count, line);
        Expression(n->a);
        Emit(OP_NEW, line);
        Emit(OP_SWAP, line);
        EmitInt(OP_STOREDROP, n->count + 2, line);
        return;
    case N_ARRAY:
        for (const Node* e = n->a; e; e = e->next) {
            if (e->kind == N_ITEM)
                Emit(OP_PUSHUNDEF, line);  // a hole
            else
                Expression(e);
        }
        EmitInt(OP_PUSHINT, -n->count, line);
        EmitName(OP_GETGLOBAL, "Array", line);
        Emit(OP_NEW, line);
        Emit(OP_SWAP, line);
        EmitInt(OP_STOREDROP, n->count + 2, line);
        return;
    case N_OBJECT:
        PushCount(0, line);
        EmitName(OP_GETGLOBAL, "Object", line);
        Emit(OP_NEW, line);
        Emit(OP_SWAP, line);
        EmitInt(OP_STOREDROP, 2, line);
        for (const Node* p = n->a; p; p = p->next) {
            Emit(OP_DUP, p->line);
            Expression(p->a);
            Emit(OP_SWAP, p->line);
            if (p->op == TK_INTEGER) {
                PushCount(static_cast<int>(static_cast<std::uint32_t>(p->integer)), p->line);
                Emit(OP_SETELEM, p->line);
            } else if (p->op == TK_STRING) {
                Constant* c = s_.NewInUnit<Constant>();
                c->kind = Constant::kString;
                c->text = p->text;
                EmitConstant(OP_PUSHCONST, c, p->line);
                Emit(OP_SETELEM, p->line);
            } else {
                EmitName(OP_SETPROP, p->text, p->line);
            }
        }
        return;
    default:
        return;
    }
}

} // namespace zelph
