# zlib, OpenSSL libcrypto, Boost.Regex headers and GoogleTest, the same targets on
# every build: ZLIB::ZLIB, OpenSSL::Crypto, zelph_boost_headers, GTest::gtest_main.

if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)

if(CMAKE_CROSSCOMPILING AND WIN32)
  # libcrypto cross-built by scripts/bootstrap.
  set(_ssl "${ZELPH_DEPS_DIR}/openssl-${ZELPH_TRIPLET}")
  if(NOT EXISTS "${_ssl}/.stamp")
    message(FATAL_ERROR "libcrypto for ${ZELPH_TRIPLET} not found in ${_ssl}: run scripts/bootstrap")
  endif()
  add_library(OpenSSL::Crypto STATIC IMPORTED)
  set_target_properties(OpenSSL::Crypto PROPERTIES
    IMPORTED_LOCATION "${_ssl}/lib/libcrypto.a"
    INTERFACE_INCLUDE_DIRECTORIES "${_ssl}/include"
    INTERFACE_LINK_LIBRARIES "ws2_32;gdi32;crypt32;advapi32;user32")
  # Only a folder holding a "boost" link, so /usr/include stays out of sight.
  set(_boost_include "${ZELPH_DEPS_DIR}/boost-include")
else()
  find_package(OpenSSL 3 REQUIRED COMPONENTS Crypto)
  set(_boost_include "")
endif()

add_library(zelph_boost_headers INTERFACE)
if(_boost_include)
  target_include_directories(zelph_boost_headers SYSTEM INTERFACE "${_boost_include}")
endif()

if(NOT ZELPH_FUZZ)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
