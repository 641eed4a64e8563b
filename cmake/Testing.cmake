include(GoogleTest)

if(ZELPH_RUN_UNDER_WINE)
  # Every Windows program CTest starts goes through this wrapper (own prefix in the
  # build tree, one persistent wineserver).
  set(ZELPH_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
    @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
endif()

# zelph_add_test(NAME SOURCES file... [LIBS lib...])
# A GoogleTest program whose cases CTest lists one by one. Cross builds list them
# when CTest starts (the program may not run at build time: i686 cannot run here).
function(zelph_add_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LIBS")
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  if(CMAKE_CROSSCOMPILING)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  else()
    gtest_discover_tests(${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  endif()
endfunction()
