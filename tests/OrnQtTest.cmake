include_guard(GLOBAL)
# Qt tests run on the offscreen platform with a private runtime directory,
# set on the tests themselves so that ctest alone runs them as scripts/test does.
set(ORN_TEST_RUNTIME_DIR ${CMAKE_BINARY_DIR}/test-runtime)
file(MAKE_DIRECTORY ${ORN_TEST_RUNTIME_DIR})
file(CHMOD ${ORN_TEST_RUNTIME_DIR} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

function(orn_add_qt_test target)
  add_test(NAME ${target} COMMAND ${target})
  set_tests_properties(${target} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${ORN_TEST_RUNTIME_DIR}"
    TIMEOUT 120)
endfunction()
