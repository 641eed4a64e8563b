# The zelph tool end to end: exit statuses, where the trace output and the
# diagnostics go, compile then run, and the listing.
#   -DZELPH=the tool  -DRUNNER=wrapper or ""  -DSCRIPTS=source folder  -DWORK=scratch folder
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${SCRIPTS}/ DESTINATION ${WORK})
file(WRITE ${WORK}/.stdin "")  # standard input is no terminal

# Output goes through files, and exact comparisons go through hexadecimal:
# execute_process and file(READ) turn CR LF into LF.
function(zelph expected_rc)
  execute_process(COMMAND ${RUNNER} ${ZELPH} ${ARGN} WORKING_DIRECTORY ${WORK} INPUT_FILE ${WORK}/.stdin
    RESULT_VARIABLE rc OUTPUT_FILE ${WORK}/.stdout ERROR_FILE ${WORK}/.stderr)
  file(READ ${WORK}/.stdout stdout)
  file(READ ${WORK}/.stderr stderr)
  file(READ ${WORK}/.stdout stdout_hex HEX)
  file(READ ${WORK}/.stderr stderr_hex HEX)
  set(stdout_hex "${stdout_hex}" PARENT_SCOPE)
  set(stderr_hex "${stderr_hex}" PARENT_SCOPE)
  if(NOT rc EQUAL expected_rc)
    message(FATAL_ERROR "zelph ${ARGN}\nexit ${rc}, expected ${expected_rc}\nstdout:\n${stdout}\nstderr:\n${stderr}")
  endif()
  set(stdout "${stdout}" PARENT_SCOPE)
  set(stderr "${stderr}" PARENT_SCOPE)
endfunction()

function(expect what text)
  string(FIND "${${what}}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing \"${text}\" in ${what}:\n${${what}}")
  endif()
endfunction()

# what_hex holds the exact bytes.
function(expect_equal what text)
  string(HEX "${text}" want)
  if(NOT "${${what}_hex}" STREQUAL "${want}")
    message(FATAL_ERROR "${what} is (hex):\n${${what}_hex}\nexpected:\n${want}\n[${text}]")
  endif()
endfunction()

# Trace output on standard output, or in the --trace file.
zelph(0 run greet.zps)
expect_equal(stdout "in f 21\r\nx is 42\r\n")
expect_equal(stderr "")
zelph(0 run --trace trace.txt greet.zps)
expect_equal(stdout "")
file(READ ${WORK}/trace.txt traced_hex HEX)
expect_equal(traced "in f 21\r\nx is 42\r\n")

# Compile, then run the module; the default output takes the extension ".zpc".
zelph(0 compile -g greet.zps)
if(NOT EXISTS ${WORK}/greet.zpc)
  message(FATAL_ERROR "compile wrote no greet.zpc")
endif()
zelph(0 run greet.zpc)
expect_equal(stdout "in f 21\r\nx is 42\r\n")
zelph(0 compile -o other.bin greet.zps)
zelph(0 run other.bin)
expect_equal(stdout "in f 21\r\nx is 42\r\n")

# The listing of a module and of a source.
zelph(0 dis greet.zpc)
expect(stdout "source greet.zps")
expect(stdout "f:\n")
expect(stdout "GETGLOBAL trace")
expect(stdout "; line 1")
zelph(0 dis greet.zps)
expect(stdout ".main:\n")

# eval prints the result; compiler warnings go to standard error.
zelph(0 eval "6 * 7")
expect_equal(stdout "42\n")
# (Statements on lines of their own: CMake would split the arguments at ";".)
zelph(0 eval "this = 1\ntrace('t')\n'done'")
expect_equal(stdout "t\r\ndone\n")
expect(stderr "warning: line 0: invalid assignment target")

# Failures: 1, with the message and the place.
zelph(1 run fails.zps)
expect(stderr "bad")
expect(stderr "at fails.zps line 1, in g")
expect_equal(stdout "before\r\n")
zelph(1 eval "x = ;")
expect(stderr "error: line 0: syntax error: invalid expression")
zelph(1 compile broken.zps)
expect(stderr "error: line 1:")
if(EXISTS ${WORK}/broken.zpc)
  message(FATAL_ERROR "a failed compilation wrote its output")
endif()

# Usage errors and unreadable files: 2.
zelph(2)
zelph(2 frobnicate)
zelph(2 run)
zelph(2 run missing.zps)
zelph(2 run greet.zps extra)
zelph(2 run notamodule.zpc)
zelph(2 dis missing.zpc)
zelph(0 --help)
expect(stdout "zelph run [--trace FILE] FILE")
