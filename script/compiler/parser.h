// The parser: recursive descent with one token of lookahead, no error recovery.
// It fills the compilation's function list (every function definition, nested
// ones included, in the order their parsing finished) and main list (the
// top-level statements).
#pragma once

namespace zelph {

struct CompilerState;

// Parses the whole source; the first syntax error abandons the compilation.
void ParseProgram(CompilerState& state);

} // namespace zelph
