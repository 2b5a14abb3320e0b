# kit_add_gtest(NAME SOURCES ... LIBS ...)
# Builds one GoogleTest program and registers it as one CTest test. On the
# host GoogleTest comes from Debian's libgtest-dev; in the Windows builds it is
# compiled from Debian's googletest sources with the mingw-w64 compilers, and
# the win64 program runs under Wine through CMAKE_CROSSCOMPILING_EMULATOR.
# In the 32-bit build the program is built but not run.
if(KIT_WINDOWS)
  if(NOT TARGET gtest)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  set(KIT_GTEST_LIBS gtest gtest_main)
else()
  find_package(GTest REQUIRED)
  set(KIT_GTEST_LIBS GTest::gtest GTest::gtest_main)
endif()

function(kit_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${KIT_GTEST_LIBS})
  if(KIT_RUNS_TESTS)
    add_test(NAME ${name} COMMAND ${name})
  endif()
  if(KIT_VALGRIND AND NOT KIT_WINDOWS AND NOT KIT_SANITIZE)
    add_test(NAME ${name}_valgrind
             COMMAND valgrind --error-exitcode=9 --leak-check=full --errors-for-leak-kinds=definite,indirect
                     -q $<TARGET_FILE:${name}>)
  endif()
endfunction()

# kit_add_gtest_folder(PREFIX LIBS ...): every *_test.cpp of the calling
# folder becomes its own test program PREFIX_<file>.
function(kit_add_gtest_folder prefix)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(src ${sources})
    get_filename_component(stem ${src} NAME_WE)
    kit_add_gtest(${prefix}_${stem} SOURCES ${src} LIBS ${ARG_LIBS})
  endforeach()
endfunction()
