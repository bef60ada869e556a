# Helpers shared by the subsystem CMakeLists.

# corvantis_test(NAME SOURCES... LIBS ...): one test executable, registered as ONE ctest
# entry (each Wine launch costs, so Windows tests never get one entry per case).
function(corvantis_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} corvantis_test_main GTest::gtest GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# corvantis_fuzz(NAME SOURCE LIBS...): a libFuzzer target; scripts/test runs each briefly.
function(corvantis_fuzz name source)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${ARGN})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
endfunction()

# corvantis_library(NAME SOURCES portable... WIN32 windows-only... HOST native-only... LIBS ...)
# Portable sources build everywhere; *Win32.cpp files only for Windows, *Host.cpp only natively.
function(corvantis_library name)
  cmake_parse_arguments(L "" "" "SOURCES;WIN32;HOST;LIBS" ${ARGN})
  set(sources ${L_SOURCES})
  if(WIN32)
    list(APPEND sources ${L_WIN32})
  else()
    list(APPEND sources ${L_HOST})
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${L_LIBS})
endfunction()
