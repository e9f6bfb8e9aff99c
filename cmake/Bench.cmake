# `cmake --build build --target bench`: generates a large board job under the
# build tree (once) and times quorlan on it against `cat`. With
# -DQUORLAN_BENCH_REFERENCE=/path/to/other/quorlan it first checks that every
# scenario writes exactly what that binary writes. See bench/README.md.
find_package(Python3 COMPONENTS Interpreter)

set(QUORLAN_BENCH_REFERENCE "" CACHE FILEPATH
    "A quorlan binary whose output the benchmark scenarios must match")

add_executable(quorlan_bench_generate EXCLUDE_FROM_ALL bench/generate.cpp)
quorlan_warnings(quorlan_bench_generate)
add_executable(quorlan_bench_measure EXCLUDE_FROM_ALL bench/measure.cpp)
quorlan_warnings(quorlan_bench_measure)

if(Python3_Interpreter_FOUND)
  add_custom_target(bench
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/bench/bench.py
            --quorlan $<TARGET_FILE:quorlan>
            --generate $<TARGET_FILE:quorlan_bench_generate>
            --measure $<TARGET_FILE:quorlan_bench_measure>
            --scratch ${CMAKE_BINARY_DIR}/bench
            $<$<BOOL:${QUORLAN_BENCH_REFERENCE}>:--same-as=${QUORLAN_BENCH_REFERENCE}>
    DEPENDS quorlan quorlan_bench_generate quorlan_bench_measure
    USES_TERMINAL
    VERBATIM)
endif()
