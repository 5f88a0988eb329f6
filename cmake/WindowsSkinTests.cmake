# The dialog core through real windows under Wine, on an X display of the
# test's own (Xvfb through xvfb-run, started by tests/windows/with-display);
# the test fails when it has none.
orn_windows_test(test-skin-dialog SOURCES ${tests}/windows/SkinDialogTest.cpp $<TARGET_OBJECTS:orn_skin_resources>
                 LIBS orn_skin)
set_target_properties(test-skin-dialog PROPERTIES
                      CROSSCOMPILING_EMULATOR "${tests}/windows/with-display;${ORN_WINE64}")

# The skin's controls through real windows under Wine, on an X display of the
# test's own (tests/windows/with-display): without one the test fails.
orn_windows_test(test-skin-controls SOURCES ${tests}/windows/SkinControlsTest.cpp $<TARGET_OBJECTS:orn_skin_resources>
                 LIBS orn_skin)
set_target_properties(test-skin-controls PROPERTIES
                      CROSSCOMPILING_EMULATOR "${tests}/windows/with-display;${ORN_WINE64}")
