// switch and try: the two statements that keep values on the operand stack
// while their parts run.
#include "script/compiler/codegen_internal.h"

#include <vector>

namespace zelph {

void CodeGen::Switch(const Node* n)
{
    const int line = n->line;
    Expression(n->a);  // the discriminant stays on the stack throughout
    Instr* end = NewLabel();
    JumpContext context;
    context.breakTarget = end;
    context.ownValues = 1;
    contexts_.push_back(context);

    std::vector<const Node*> clauses;
    for (const Node* c = n->b; c; c = c->next)
        clauses.push_back(c);
    const std::size_t count = clauses.size();
    std::vector<Instr*> test(count, nullptr), body(count, nullptr);
    Instr* defaultLabel = nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        bool isCase = clauses[i]->a != nullptr;
        if (i > 0 && isCase)
            test[i] = NewLabel();
        if (!isCase)
            defaultLabel = NewLabel();
        if (i > 0)
            body[i] = NewLabel();
    }
    // Where the tests go on after clause i fails.
    auto nextTest = [&](std::size_t i) -> Instr* {
        std::size_t j = i + 1;
        if (j < count && !clauses[j]->a)
            ++j;  // skip a default clause that directly follows
        for (; j < count; ++j)
            if (clauses[j]->a)
                return test[j];
        if (defaultLabel && (i + 1 < count || clauses[i]->a))
            return defaultLabel;
        return end;
    };

    for (std::size_t i = 0; i < count; ++i) {
        const Node* clause = clauses[i];
        if (clause->a) {
            if (test[i])
                Place(test[i]);
            Emit(OP_DUP, clause->line);
            Expression(clause->a);
            Emit(OP_STRICTEQ, clause->line);
            EmitJump(OP_JZ, nextTest(i), clause->line);
        } else {
            Instr* next = nextTest(i);
            if (i == 0 && next != end)
                EmitJump(OP_JMP, next, clause->line);
            Place(defaultLabel);
        }
        if (body[i])
            Place(body[i]);
        Statements(clause->b);
        EmitJump(OP_JMP, i + 1 < count ? body[i + 1] : end, clause->line2);
    }
    contexts_.pop_back();
    Place(end);
    Emit(OP_POP, n->line2 ? n->line2 : line);
}

void CodeGen::Try(const Node* n)
{
    const int line = n->line;
    Instr* caught = NewLabel();   // C: the thrown value is on the stack
    Instr* finally = NewLabel();  // F: the pending-exception marker is on the stack
    EmitJump(OP_TRY, caught, line);
    ++Innermost().tryDepth;
    Statement(n->a);
    --Innermost().tryDepth;
    EmitInt(OP_ENDTRY, 1, n->line2);
    Emit(OP_PUSHFALSE, n->line2);
    EmitJump(OP_JMP, finally, n->line2);
    Place(caught);

    if (!n->b) {
        Emit(OP_PUSHTRUE, n->line2);  // the exception stays pending
    } else {
        const int catchesEnd = n->b->line2;
        Emit(OP_PUSHFALSE, n->b->line);
        Emit(OP_SWAP, n->b->line);  // the marker (false) goes below the exception
        Instr* inClause = NewLabel();  // H: an exception thrown inside a clause
        EmitJump(OP_TRY, inClause, n->b->line);
        ++Innermost().tryDepth;
        std::vector<const Node*> clauses;
        for (const Node* c = n->b; c; c = c->next)
            clauses.push_back(c);
        std::vector<Instr*> test(clauses.size()), body(clauses.size());
        for (std::size_t i = 0; i < clauses.size(); ++i) {
            test[i] = NewLabel();
            body[i] = NewLabel();
        }
        Instr* unmatched = NewLabel();  // N
        for (std::size_t i = 0; i < clauses.size(); ++i) {
            const Node* clause = clauses[i];
            Instr* next = i + 1 < clauses.size() ? test[i + 1] : unmatched;
            Place(test[i]);
            scopes_.Push();
            int slot = scopes_.NewSlot();
            scopes_.Define(clause->text, Symbol::kLocal, slot, clause->line);
            Emit(OP_DUP, clause->line);
            EmitInt(OP_SETLOCAL, slot, clause->line);
            if (clause->a) {
                // An exception inside the condition counts as a false condition.
                Instr* failed = NewLabel();
                EmitJump(OP_TRY, failed, clause->line);
                ++Innermost().tryDepth;
                Expression(clause->a);
                EmitInt(OP_ENDTRY, 1, clause->line);
                --Innermost().tryDepth;
                FalseJump(clause->a, next, clause->line);
                EmitJump(OP_JMP, body[i], clause->line);
                Place(failed);
                Emit(OP_POP, clause->line);
                EmitJump(OP_JMP, next, clause->line);
            }
            Place(body[i]);
            Emit(OP_SWAP, clause->line);
            Emit(OP_POP, clause->line);
            Emit(OP_PUSHTRUE, clause->line);
            Emit(OP_SWAP, clause->line);  // the marker says: caught
            Innermost().held.push_back(2);  // the marker and the exception
            Statement(clause->b);
            Innermost().held.pop_back();
            scopes_.Pop();
            EmitJump(OP_JMP, unmatched, clause->line);
        }
        Place(unmatched);
        EmitInt(OP_ENDTRY, 1, catchesEnd);
        --Innermost().tryDepth;
        Instr* handled = NewLabel();  // X
        Emit(OP_SWAP, catchesEnd);
        EmitJump(OP_JNZ, handled, catchesEnd);
        Emit(OP_PUSHTRUE, catchesEnd);  // no clause matched: still pending
        EmitJump(OP_JMP, finally, catchesEnd);
        Place(handled);
        Emit(OP_POP, catchesEnd);
        Emit(OP_PUSHFALSE, catchesEnd);
        EmitJump(OP_JMP, finally, catchesEnd);
        Place(inClause);
        EmitInt(OP_STOREDROP, 2, catchesEnd);
        Emit(OP_PUSHTRUE, catchesEnd);  // the new exception is pending
    }

    Place(finally);
    if (n->c) {
        Innermost().held.push_back(kFinallyValues);
        Statement(n->c);
        Innermost().held.pop_back();
    }
    Instr* done = NewLabel();  // Y
    EmitJump(OP_JZ, done, n->line3);
    Emit(OP_THROW, n->line3);
    Place(done);
}

} // namespace zelph
