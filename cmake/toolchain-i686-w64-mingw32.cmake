set(ZELPH_TRIPLET i686-w64-mingw32)
set(ZELPH_ARCH X86)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
# No emulator: this machine cannot run 32-bit code, the build is compiled and linked only.
