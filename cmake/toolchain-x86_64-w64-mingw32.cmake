set(ZELPH_TRIPLET x86_64-w64-mingw32)
set(ZELPH_ARCH AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
# This target's test programs run here, under 64-bit Wine (see cmake/Wine.cmake).
set(ZELPH_RUN_UNDER_WINE ON)
