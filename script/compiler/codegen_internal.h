// The code generator's parts, shared by its files (expressions, statements,
// try and switch).
#pragma once

#include "script/compiler/codegen.h"
#include "script/compiler/compiler_state.h"
#include "script/compiler/symbols.h"
#include "script/vm/opcodes.h"

#include <vector>

namespace zelph {

// A jump context: what break and continue inside a statement reach, and what
// leaving it must undo.
struct JumpContext {
    Instr* breakTarget = nullptr;
    Instr* continueTarget = nullptr;
    const char* label = nullptr;
    // Values the statement itself keeps on the stack and drops at its own break
    // label: a switch's discriminant (1), a for-in loop's object and position (2).
    int ownValues = 0;
    int withDepth = 0;  // with statements open directly inside
    int tryDepth = 0;   // exception handlers installed directly inside
    // Values of open catch clauses (2 each) and finally blocks (kFinallyValues:
    // a marker, and below it the pending exception when the marker is true),
    // innermost last.
    std::vector<int> held;
};
inline constexpr int kFinallyValues = -1;

class CodeGen {
public:
    CodeGen(CompilerState& state, const UnitDone& unitDone) : s_(state), unitDone_(unitDone)
    {
        contexts_.emplace_back();
    }
    void Generate();

    // Emission.
    Instr* Emit(int opcode, int line);
    Instr* EmitInt(int opcode, int value, int line);
    Instr* EmitName(int opcode, const char* name, int line);
    Instr* EmitConstant(int opcode, const Constant* c, int line);
    Instr* EmitJump(int opcode, Instr* label, int line);
    Instr* NewLabel();
    void Place(Instr* label);
    void PushCount(int n, int line);  // PUSH0..PUSH3, else PUSHINT n
    void PushInteger(std::int64_t v, int line);
    void FalseJump(const Node* condition, Instr* label, int line);
    void TrueJump(const Node* condition, Instr* label, int line);

    // Names and references.
    bool InWith() const;
    void NameAccess(const Node* name, int globalOp, int byNameOp, int argOp, int localOp, int line);
    void Load(const Node* target);
    void Store(const Node* target, int line);

    void Expression(const Node* n);
    void Statement(const Node* n);
    void Statements(const Node* first);
    void Function(const Node* f);
    void Switch(const Node* n);
    void Try(const Node* n);
    void Leave(const Node* n);  // break and continue
    void Return(const Node* n);
    void Loop(const Node* n, const char* label);
    int SlotCount(const Node* list);
    // Emits LOCALS for a code unit after `after` once its body is generated:
    // the declared count, raised to the slots the body really took.
    void FixLocals(Instr* after, int declared, int line);
    // Hands the finished unit on and starts an empty list.
    void FinishUnit(bool moreUnits);

    JumpContext& Innermost() { return contexts_.back(); }

    CompilerState& s_;
    const UnitDone& unitDone_;
    SymbolScopes scopes_;
    std::vector<JumpContext> contexts_;
};

} // namespace zelph
