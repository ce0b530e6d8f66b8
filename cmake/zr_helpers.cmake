# cmake/zr_helpers.cmake: one library per subsystem folder, one test binary per subsystem, fuzz
# targets and benchmarks. Sources are picked up by glob so that a new file needs no CMake edit.

# zr_add_library(<target> [DIRS d...] [PUBLIC libs...] [PRIVATE libs...])
#   Compiles every .cpp/.c in the listed folders (relative to the calling CMakeLists, default ".").
#   Includes are rooted at the repository: #include "core/zr_array.h".
function(zr_add_library target)
  cmake_parse_arguments(A "" "" "DIRS;PUBLIC;PRIVATE" ${ARGN})
  if(NOT A_DIRS)
    set(A_DIRS .)
  endif()
  set(srcs)
  foreach(d ${A_DIRS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.cpp
         ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.c)
    list(APPEND srcs ${found})
  endforeach()
  if(srcs)
    add_library(${target} STATIC ${srcs})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${A_PUBLIC} PRIVATE ${A_PRIVATE})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${A_PUBLIC})
  endif()
endfunction()

# zr_add_test_suite(<name> [DIRS d...] [THREADS t...] LIBS libs...)
#   One GoogleTest binary from every *_test.cpp in the listed folders; each test is its own CTest
#   entry labelled with the suite name. Tests whose name contains "Slow" also get the label slow.
#   THREADS names every test that starts threads (or runs a program that does), each as a
#   GoogleTest suite ("ZrThread", all its tests) or a full name ("ZrProcessor.Counts"); they get
#   the label threads too, which the ThreadSanitizer stage runs (ctest -L threads).
function(zr_add_test_suite name)
  cmake_parse_arguments(A "" "TIMEOUT" "DIRS;LIBS;THREADS" ${ARGN})
  if(NOT A_DIRS)
    set(A_DIRS .)
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  set(srcs)
  foreach(d ${A_DIRS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*_test.cpp)
    list(APPEND srcs ${found})
  endforeach()
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gmock GTest::gtest_main)
  if(TARGET zr_test_support)
    target_link_libraries(${name} PRIVATE zr_test_support)
  endif()
  target_compile_definitions(${name} PRIVATE
    ZR_SOURCE_DIR="${PROJECT_SOURCE_DIR}" ZR_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS ${name} TIMEOUT ${A_TIMEOUT}
    TEST_LIST ${name}_TESTS
    DISCOVERY_TIMEOUT 60)
  if(A_THREADS)
    # The names are known only once the binary lists them, so the label is set by a script that
    # CTest reads after the discovered tests.
    set(ZR_SUITE ${name})
    set(ZR_THREADS "${A_THREADS}")
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${name}_threads_label.cmake)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/zr_threads_label.cmake.in ${script} @ONLY)
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
  endif()
endfunction()

# zr_add_fuzz_target(<entry> LIBS libs...)
#   fuzz/<entry>_fuzz.cpp defines LLVMFuzzerTestOneInput. Always builds <entry>_replay, which runs
#   that entry over fuzz/seeds/<entry>/ and every tests/*/data/problematic/ file given to it as a
#   CTest entry; with ZR_FUZZ also builds the libFuzzer binary <entry>_fuzz.
function(zr_add_fuzz_target entry)
  cmake_parse_arguments(A "" "" "LIBS;PROBLEMATIC" ${ARGN})
  set(src ${PROJECT_SOURCE_DIR}/fuzz/${entry}_fuzz.cpp)
  if(ZR_FUZZ)
    add_executable(${entry}_fuzz ${src})
    target_link_libraries(${entry}_fuzz PRIVATE ${A_LIBS})
    target_link_options(${entry}_fuzz PRIVATE -fsanitize=fuzzer)
  elseif(ZR_TESTS)
    add_executable(${entry}_replay ${src} ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
    target_link_libraries(${entry}_replay PRIVATE ${A_LIBS})
    set(inputs ${PROJECT_SOURCE_DIR}/fuzz/seeds/${entry})
    foreach(p ${A_PROBLEMATIC})
      list(APPEND inputs ${PROJECT_SOURCE_DIR}/${p})
    endforeach()
    add_test(NAME fuzz_replay.${entry} COMMAND ${entry}_replay ${inputs})
    set_tests_properties(fuzz_replay.${entry} PROPERTIES LABELS fuzz_replay TIMEOUT 300)
  endif()
endfunction()

# zr_add_benchmark(<name> LIBS libs...)
#   bench/<subsystem>/<name>_bench.cpp with Google Benchmark. CTest runs it once at a token size
#   (ZR_BENCH_TOKEN=1 in the environment; benchmarks read it to shrink their inputs).
function(zr_add_benchmark name)
  cmake_parse_arguments(A "" "" "LIBS" ${ARGN})
  add_executable(${name}_bench ${CMAKE_CURRENT_SOURCE_DIR}/${name}_bench.cpp)
  target_link_libraries(${name}_bench PRIVATE ${A_LIBS} benchmark::benchmark)
  target_compile_definitions(${name}_bench PRIVATE ZR_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  if(ZR_TESTS)
    add_test(NAME bench.${name} COMMAND ${name}_bench --benchmark_min_time=0)
    set_tests_properties(bench.${name} PROPERTIES LABELS bench ENVIRONMENT ZR_BENCH_TOKEN=1
                         TIMEOUT 300)
  endif()
endfunction()
