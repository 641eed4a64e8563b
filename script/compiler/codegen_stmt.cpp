// Statements: declarations, blocks, conditionals, loops, with, labels, return,
// break and continue.
#include "script/compiler/codegen_internal.h"
#include "script/compiler/diagnostics.h"

#include <cstring>

namespace zelph {
namespace {

bool IsLoop(const Node* n)
{
    return n && (n->kind == N_WHILE || n->kind == N_DO || n->kind == N_FOR || n->kind == N_FOR_IN);
}

} // namespace

void CodeGen::Statement(const Node* n)
{
    const int line = n->line;
    switch (n->kind) {
    case N_EXPR_STMT:
        Expression(n->a);
        Emit(OP_POP, line);
        return;
    case N_VAR:
        for (const Node* d = n->a; d; d = d->next) {
            if (n->op) {  // top level: globals
                if (d->a) {
                    Expression(d->a);
                    EmitName(OP_SETGLOBAL, d->text, d->line);
                }
                continue;
            }
            int slot = scopes_.NewSlot();
            scopes_.Define(d->text, Symbol::kLocal, slot, d->line);
            if (d->a) {
                Expression(d->a);
                EmitInt(OP_SETLOCAL, slot, d->line);
            }
        }
        return;
    case N_BLOCK:
        scopes_.Push();
        Statements(n->a);
        scopes_.Pop();
        return;
    case N_IF: {
        Instr* otherwise = NewLabel();
        Instr* done = NewLabel();
        Expression(n->a);
        FalseJump(n->a, otherwise, line);
        Statement(n->b);
        EmitJump(OP_JMP, done, line);
        Place(otherwise);
        if (n->c)
            Statement(n->c);
        Place(done);
        return;
    }
    case N_WHILE:
    case N_DO:
    case N_FOR:
    case N_FOR_IN:
        Loop(n, nullptr);
        return;
    case N_WITH:
        Expression(n->a);
        Emit(OP_WITH, line);
        ++Innermost().withDepth;
        Statement(n->b);
        --Innermost().withDepth;
        EmitInt(OP_ENDWITH, 1, line);
        return;
    case N_THROW:
        Expression(n->a);
        Emit(OP_THROW, line);
        return;
    case N_RETURN:
        Return(n);
        return;
    case N_LABEL: {
        if (IsLoop(n->a)) {
            // A label on a loop names the loop itself: "continue L" goes on with
            // the next iteration, as it does for an unlabelled continue.
            Loop(n->a, n->text);
            return;
        }
        Instr* start = NewLabel();
        Instr* end = NewLabel();
        JumpContext context;
        context.breakTarget = end;
        context.continueTarget = start;
        context.label = n->text;
        contexts_.push_back(context);
        Place(start);
        Statement(n->a);
        contexts_.pop_back();
        Place(end);
        return;
    }
    case N_SWITCH:
        Switch(n);
        return;
    case N_TRY:
        Try(n);
        return;
    case N_CONTINUE:
    case N_BREAK:
        Leave(n);
        return;
    case N_FUNCTION_BINDING:
        EmitName(OP_GETGLOBAL, n->text2, line);
        EmitName(OP_GETGLOBAL, n->text, line);
        EmitName(OP_SETPROP, n->text3, line);
        return;
    default:
        return;  // N_ITEM: nothing
    }
}

void CodeGen::Loop(const Node* n, const char* label)
{
    const int line = n->line;
    JumpContext context;
    context.label = label;
    Instr* top = NewLabel();
    Instr* end = NewLabel();
    switch (n->kind) {
    case N_WHILE:
        Place(top);
        Expression(n->a);
        FalseJump(n->a, end, line);
        context.breakTarget = end;
        context.continueTarget = top;
        contexts_.push_back(context);
        Statement(n->b);
        contexts_.pop_back();
        EmitJump(OP_JMP, top, line);
        Place(end);
        return;
    case N_DO: {
        Instr* next = NewLabel();
        Place(top);
        context.breakTarget = end;
        context.continueTarget = next;
        contexts_.push_back(context);
        Statement(n->b);
        contexts_.pop_back();
        Place(next);
        Expression(n->a);
        TrueJump(n->a, top, line);
        Place(end);
        return;
    }
    case N_FOR: {
        if (n->a) {
            scopes_.Push();
            for (const Node* d = n->a; d; d = d->next) {
                int slot = scopes_.NewSlot();
                scopes_.Define(d->text, Symbol::kLocal, slot, d->line);
                if (d->a) {
                    Expression(d->a);
                    EmitInt(OP_SETLOCAL, slot, d->line);
                }
            }
        } else if (n->b) {
            Expression(n->b);
            Emit(OP_POP, line);
        }
        Instr* next = NewLabel();
        Place(top);
        if (n->c) {
            Expression(n->c);
            FalseJump(n->c, end, line);
        } else {
            Emit(OP_PUSHTRUE, line);
            EmitJump(OP_JZ, end, line);
        }
        context.breakTarget = end;
        context.continueTarget = next;
        contexts_.push_back(context);
        Statement(n->e);
        contexts_.pop_back();
        Place(next);
        if (n->d) {
            Expression(n->d);
            Emit(OP_POP, line);
        }
        EmitJump(OP_JMP, top, line);
        Place(end);
        if (n->a)
            scopes_.Pop();
        return;
    }
    case N_FOR_IN: {
        int slot = -1;
        if (n->a) {
            scopes_.Push();
            slot = scopes_.NewSlot();
            scopes_.Define(n->a->text, Symbol::kLocal, slot, n->a->line);
            if (n->a->a) {
                Expression(n->a->a);
                EmitInt(OP_SETLOCAL, slot, n->a->line);
            }
        }
        Instr* next = NewLabel();
        Instr* exhausted = NewLabel();
        Expression(n->c);
        Emit(OP_DUP, line);
        Emit(OP_PUSH0, line);
        Emit(OP_SWAP, line);
        Emit(OP_PUSH0, line);
        Place(top);
        Emit(OP_NEXTELEM, line);
        EmitJump(OP_JZ, exhausted, line);
        if (slot >= 0)
            EmitInt(OP_SETLOCAL, slot, line);
        else
            Store(n->b, line);
        context.breakTarget = end;
        context.continueTarget = next;
        context.ownValues = 2;  // the object and the position
        contexts_.push_back(context);
        Statement(n->d);
        contexts_.pop_back();
        Place(next);
        Emit(OP_PUSH1, line);
        Emit(OP_ADD, line);
        Emit(OP_DUP, line);
        EmitInt(OP_ROLL, -3, line);
        Emit(OP_DUP, line);
        EmitInt(OP_ROLL, 4, line);
        Emit(OP_SWAP, line);
        EmitJump(OP_JMP, top, line);
        Place(exhausted);
        Emit(OP_POP, line);
        Place(end);
        EmitInt(OP_DROP, 2, line);
        if (n->a)
            scopes_.Pop();
        return;
    }
    default:
        return;
    }
}

void CodeGen::Return(const Node* n)
{
    // The value first: an exception it raises still reaches the handlers.
    if (n->a)
        Expression(n->a);
    else
        Emit(OP_PUSHUNDEF, n->line);
    int handlers = 0;
    for (const JumpContext& c : contexts_)
        handlers += c.tryDepth;
    if (handlers > 0)
        EmitInt(OP_ENDTRY, handlers, n->line);
    Emit(OP_RET, n->line);
}

void CodeGen::Leave(const Node* n)
{
    const bool isContinue = n->kind == N_CONTINUE;
    const int line = n->line;
    int target = static_cast<int>(contexts_.size()) - 1;
    for (; target >= 0; --target) {
        const JumpContext& c = contexts_[target];
        if (n->text ? (c.label && std::strcmp(c.label, n->text) == 0)
                    : (isContinue ? c.continueTarget != nullptr : c.breakTarget != nullptr))
            break;
    }
    if (target < 0 || (isContinue && !contexts_[target].continueTarget))
        ReportError(s_, line, isContinue ? "invalid continue" : "invalid break");

    int withs = 0, handlers = 0;
    for (int i = static_cast<int>(contexts_.size()) - 1; i >= target; --i) {
        withs += contexts_[i].withDepth;
        handlers += contexts_[i].tryDepth;
    }
    if (withs > 0)
        EmitInt(OP_ENDWITH, withs, line);
    if (handlers > 0)
        EmitInt(OP_ENDTRY, handlers, line);

    // The values left on the stack by the statements being left, innermost
    // first. The target's own values stay: its break label drops them, and a
    // continue goes on inside it.
    int drop = 0;
    auto flush = [&] {
        if (drop == 1)
            Emit(OP_POP, line);
        else if (drop > 1)
            EmitInt(OP_DROP, drop, line);
        drop = 0;
    };
    for (int i = static_cast<int>(contexts_.size()) - 1; i >= target; --i) {
        const JumpContext& c = contexts_[i];
        for (auto h = c.held.rbegin(); h != c.held.rend(); ++h) {
            if (*h != kFinallyValues) {
                drop += *h;
                continue;
            }
            // A finally block: its marker, and the pending exception when set.
            flush();
            Instr* clean = NewLabel();
            EmitJump(OP_JZ, clean, line);
            Emit(OP_POP, line);
            Place(clean);
        }
        if (i != target)
            drop += c.ownValues;
    }
    flush();
    const JumpContext& t = contexts_[target];
    EmitJump(OP_JMP, isContinue ? t.continueTarget : t.breakTarget, line);
}

} // namespace zelph
