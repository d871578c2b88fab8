# A cross build cannot link the host's GoogleTest: build Debian's copy of its sources
# (libgtest-dev ships them in /usr/src/googletest) with the target compiler instead.
set(TOLVAR_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${TOLVAR_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Its own sources are not ours to hold to our warning rules.
foreach(t gtest gtest_main)
  target_compile_options(${t} PRIVATE -w)
  if(NOT TARGET GTest::${t})
    add_library(GTest::${t} ALIAS ${t})
  endif()
endforeach()
