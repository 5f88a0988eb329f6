# The golden decoder suite as ctest tests: one per capture and mode that
# golden.py lists, each running PROGRAM (orn-decode, or a wrapper that runs
# it) through golden.py, named PREFIXgolden.CAPTURE.MODE.
function(orn_golden_tests prefix program)
  find_program(ORN_PYTHON3 NAMES python3 HINTS /usr/bin REQUIRED)
  set(golden_dir ${PROJECT_SOURCE_DIR}/tests/decode/golden)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${golden_dir}/golden.py ${golden_dir}/captures.py)
  execute_process(COMMAND ${ORN_PYTHON3} ${golden_dir}/golden.py --list
                  OUTPUT_VARIABLE golden_tests COMMAND_ERROR_IS_FATAL ANY)
  string(REPLACE "\n" ";" golden_tests "${golden_tests}")
  foreach(test IN LISTS golden_tests)
    if(test STREQUAL "")
      continue()
    endif()
    string(REPLACE " " ";" capture_and_mode "${test}")
    list(GET capture_and_mode 0 capture)
    list(GET capture_and_mode 1 mode)
    add_test(NAME ${prefix}golden.${capture}.${mode}
             COMMAND ${ORN_PYTHON3} ${golden_dir}/golden.py ${program} ${capture} ${mode})
    set_tests_properties(${prefix}golden.${capture}.${mode} PROPERTIES SKIP_RETURN_CODE 77 LABELS golden)
  endforeach()
endfunction()
