# Helpers shared by every module's CMakeLists.txt.
#
# gfall_module(NAME [DEPS targets...] [PRIVATE_DEPS targets...])
#   A static library gfall_NAME from every .cpp in the calling folder.
#   Headers are included as "NAME/file.h" from src/.
function(gfall_module name)
  cmake_parse_arguments(A "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(gfall_${name} STATIC ${srcs})
  target_include_directories(gfall_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(gfall_${name} PUBLIC ${A_DEPS} PRIVATE ${A_PRIVATE_DEPS})
endfunction()

# gfall_test(NAME [libraries...])
#   A GoogleTest program test_NAME from every .cpp in the calling folder,
#   registered with CTest test by test.
#   Windows builds leave out the files that drive programs through POSIX
#   processes (fork, pipes, signals; the Wine checks in scripts/ play those
#   parts there), and register nothing with CTest: scripts/windows-tests.sh
#   runs each test program once under Wine.
function(gfall_test name)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(WIN32)
    foreach(f IN LISTS srcs)
      file(STRINGS ${f} posix REGEX "#include (<(sys/(wait|socket|un|file|mman|resource)|signal|poll|pty)\\.h>|\"(run_command|process|test_files)\\.h\")")
      if(posix)
        list(REMOVE_ITEM srcs ${f})
      endif()
    endforeach()
  endif()
  add_executable(test_${name} ${srcs})
  target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(test_${name} PRIVATE ${ARGN} GTest::gtest_main GTest::gmock)
  # The test environment goes through a launcher: gtest_discover_tests splits a
  # property value at every ';', so ENVIRONMENT could carry only one variable.
  set_property(TARGET test_${name} PROPERTY CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env "GFALL_SOURCE_DIR=${PROJECT_SOURCE_DIR}" "GFALL_BUILD_DIR=${PROJECT_BINARY_DIR}")
  if(NOT WIN32)
    gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 120 PROPERTIES LABELS ${name})
  endif()
endfunction()

# gfall_bench(NAME [libraries...]): a Google Benchmark program bench_NAME from bench/NAME*.cpp.
function(gfall_bench name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(bench_${name} ${A_SOURCES})
  target_include_directories(bench_${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(bench_${name} PRIVATE ${A_LIBS} benchmark::benchmark_main)
endfunction()

# gfall_fuzz(NAME SOURCES files... LIBS libraries...): a libFuzzer target fuzz_NAME.
function(gfall_fuzz name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(fuzz_${name} ${A_SOURCES})
  target_include_directories(fuzz_${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(fuzz_${name} PRIVATE ${A_LIBS})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
endfunction()
