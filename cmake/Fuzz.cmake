# The libFuzzer target quorlan_fuzz, built with clang when QUORLAN_FUZZ is ON
# (tools/fuzz.sh sets both). It links its own copy of the library, compiled
# with coverage instrumentation and AddressSanitizer plus
# UndefinedBehaviorSanitizer, so the normal build is left as it is.
option(QUORLAN_FUZZ "Build the libFuzzer target quorlan_fuzz (clang only)" OFF)

if(QUORLAN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QUORLAN_FUZZ needs clang (configure with -DCMAKE_CXX_COMPILER=clang++)")
  endif()
  set(quorlan_fuzz_flags -fsanitize=address,undefined -fno-sanitize-recover=all
      -fno-omit-frame-pointer)

  get_target_property(quorlan_core_sources quorlan_core SOURCES)
  add_library(quorlan_core_fuzz STATIC ${quorlan_core_sources})
  target_include_directories(quorlan_core_fuzz PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(quorlan_core_fuzz PUBLIC ${quorlan_fuzz_flags} -fsanitize=fuzzer-no-link)
  quorlan_warnings(quorlan_core_fuzz)

  add_executable(quorlan_fuzz fuzz/job_fuzzer.cpp)
  target_link_libraries(quorlan_fuzz PRIVATE quorlan_core_fuzz)
  target_link_options(quorlan_fuzz PRIVATE ${quorlan_fuzz_flags} -fsanitize=fuzzer)
  quorlan_warnings(quorlan_fuzz)

  add_executable(quorlan_fuzz_seeds fuzz/make_seeds.cpp)
  target_include_directories(quorlan_fuzz_seeds PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  quorlan_warnings(quorlan_fuzz_seeds)
endif()
