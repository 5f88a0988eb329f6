include_guard(GLOBAL)
# orn_add_qt_test(NAME [SOURCES...] [LIBS...]): a Qt Test program registered
# with ctest, run under the offscreen platform with a private runtime
# directory, so that it passes when started straight from ctest as it does
# from scripts/test. Without SOURCES, NAME is an executable made elsewhere.
# The include guard is global but variables are per directory: the
# runtime directory is set in the cache so every including folder sees it.
set(ORN_TEST_RUNTIME_DIR ${CMAKE_BINARY_DIR}/test-runtime CACHE INTERNAL "")
file(MAKE_DIRECTORY ${ORN_TEST_RUNTIME_DIR})
file(CHMOD ${ORN_TEST_RUNTIME_DIR} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

function(orn_add_qt_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(ARG_SOURCES)
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${ORN_TEST_RUNTIME_DIR}"
    TIMEOUT 120)
endfunction()
