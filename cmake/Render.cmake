# The example board, run through quorlan and rendered with gerbv, checked at
# known board coordinates. Reported as skipped where gerbv is not installed.
if(QUORLAN_TESTS)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_Interpreter_FOUND)
    add_test(NAME render_example
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/render_test.py
                     $<TARGET_FILE:quorlan> ${CMAKE_CURRENT_BINARY_DIR}/render-example)
  else()
    add_test(NAME render_example
             COMMAND sh -c "echo 'SKIPPED: python3 is not installed, so the example board is not rendered and checked'; exit 77")
  endif()
  set_tests_properties(render_example PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
endif()
