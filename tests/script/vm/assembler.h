// A small assembler for tests: module bytes from a readable listing.
//
//   .function NAME          starts a function (".main" for top-level code)
//   OPNAME [operand]        one instruction; operands by kind:
//       atom      a name: GETGLOBAL x
//       const     "text", 1.5, 7 (integer), null, true, false, nan, atom:name,
//                 regexp:flags:pattern
//       rel       a label: JMP done
//       i8/16/32  an integer
//   label:                  a jump target
//   .byte N ...             raw bytes in the code
//   .file NAME / .line N    debug records (a line record at the current offset)
//   ; comment
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelph::test {

// Throws std::invalid_argument for a listing it cannot read.
std::vector<std::uint8_t> Assemble(const std::string& listing);

} // namespace zelph::test
