# scrpack makes a packaged copy of scrinfo; the packaged program then lists its
# own resources, and one of them is extracted and compared with its source.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(out ${WORK}/Sample.scr)

function(run expected_rc)
  execute_process(COMMAND ${WINE_RUN} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr)
  if(NOT rc EQUAL expected_rc)
    message(FATAL_ERROR "${ARGN}\nexit ${rc}, expected ${expected_rc}\n${stdout}\n${stderr}")
  endif()
  set(stdout "${stdout}" PARENT_SCOPE)
  set(stderr "${stderr}" PARENT_SCOPE)
endfunction()

function(expect_line text)
  string(FIND "${stdout}" "${text}\r\n" at)
  if(at EQUAL -1)
    string(FIND "${stdout}" "${text}\n" at)
  endif()
  if(at EQUAL -1)
    message(FATAL_ERROR "missing line \"${text}\" in:\n${stdout}")
  endif()
endfunction()

file(SIZE ${SAMPLES}/preview.bmp bmp_size)

run(0 ${SCRPACK} --id "Sample Soft/Sample Saver"
  --pack VEXPAK/BK=${SAMPLES}/preview.bmp
  --raw vexpak/cs=${SAMPLES}/fingerprint.bin
  --pack Zelph/Initialize=${SAMPLES}/fingerprint.bin
  ${SCRINFO} ${out})

# The packaged program reads its own resources.
run(0 ${out})
expect_line("identity: Sample Soft/Sample Saver")
expect_line("VEXPAK/CS: raw, 16 bytes")
string(REGEX MATCH "VEXPAK/BK: container, [0-9]+ bytes, ${bmp_size} unpacked, CRC-32 ok" found "${stdout}")
if(NOT found)
  message(FATAL_ERROR "preview bitmap not listed as expected:\n${stdout}")
endif()
string(REGEX MATCH "ZELPH/INITIALIZE: container, [0-9]+ bytes, 16 unpacked, CRC-32 ok" found "${stdout}")
if(NOT found)
  message(FATAL_ERROR "script module not listed as expected:\n${stdout}")
endif()

run(0 ${out} --extract VEXPAK/BK ${WORK}/preview.bmp)
file(SHA256 ${SAMPLES}/preview.bmp want)
file(SHA256 ${WORK}/preview.bmp got)
if(NOT want STREQUAL got)
  message(FATAL_ERROR "extracted preview bitmap differs from its source")
endif()

# The unpackaged inspector has no identity.
run(1 ${SCRINFO})
expect_line("identity: invalid")

# Usage errors and unreadable inputs: 2; failures of the packaging itself: 1.
run(2 ${SCRPACK} ${SCRINFO})
run(2 ${SCRPACK} --pack VEXPAK/BK ${SCRINFO} ${out})
run(2 ${SCRPACK} --pack VEXPAK/BK=${WORK}/no-such-file ${SCRINFO} ${out})
run(1 ${SCRPACK} --id X ${WORK}/no-such-runtime.exe ${WORK}/x.scr)
if(EXISTS ${WORK}/x.scr)
  message(FATAL_ERROR "a failed packaging left its output behind")
endif()
