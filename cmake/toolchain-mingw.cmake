# Shared part of the mingw-w64 toolchain files; ZELPH_TRIPLET is set by the caller.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ZELPH_ARCH})

# The -posix variants: the -win32 ones lack std::thread and std::mutex.
set(CMAKE_C_COMPILER ${ZELPH_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZELPH_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZELPH_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZELPH_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static executables: no mingw runtime DLLs beside them. An 8 MiB stack
# reserve, as on Linux, so that depth limits behave alike on every target.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--stack,8388608")

# Dependencies cross-built by scripts/bootstrap live outside the clone.
if(DEFINED ENV{ZELPH_CACHE})
  set(_zelph_cache "$ENV{ZELPH_CACHE}")
elseif(DEFINED ENV{XDG_CACHE_HOME})
  set(_zelph_cache "$ENV{XDG_CACHE_HOME}/zelph")
else()
  set(_zelph_cache "$ENV{HOME}/.cache/zelph")
endif()
set(ZELPH_DEPS_DIR "${_zelph_cache}" CACHE PATH "Dependencies built by scripts/bootstrap")
