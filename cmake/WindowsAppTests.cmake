# The tests of orn.exe and its windows under Wine.

find_program(ORN_PYTHON3 NAMES python3 HINTS /usr/bin REQUIRED)
# The tests of the windows under Wine need an X display and a Wine desktop of
# their own (tests/windows/with-display); without one they fail.
set(orn_display ${tests}/windows/with-display)

# orn.exe FILE replays the capture into the log orn-decode.exe writes for it;
# the window is ended by WM_CLOSE as a user's close would.
add_executable(close-window ${tests}/windows/CloseWindow.c)
target_link_options(close-window PRIVATE -municode)
add_test(NAME windows.orn-replay
         COMMAND ${orn_display} ${ORN_PYTHON3} ${tests}/windows/orn_replay_test.py $<TARGET_FILE:orn>
                 $<TARGET_FILE:orn-decode> $<TARGET_FILE:close-window>)
set_tests_properties(windows.orn-replay PROPERTIES LABELS windows RESOURCE_LOCK wine-registry TIMEOUT 300)

# The main window's and the Filters dialog's handlers through Win32 messages.
orn_windows_test(test-window-handlers SOURCES ${tests}/windows/WindowHandlersTest.cpp
                 $<TARGET_OBJECTS:orn_skin_resources> LIBS orn_windows)
set_target_properties(test-window-handlers PROPERTIES CROSSCOMPILING_EMULATOR "${orn_display};${ORN_WINE64}")
set_tests_properties(windows.test-window-handlers PROPERTIES RESOURCE_LOCK wine-registry)

# The windows' pictures against the Linux ones (the Linux build's sample
# program, passed in like ORN_LINUX_DECODE), kept in build-windows/screenshots/.
set(ORN_LINUX_SKIN_SAMPLE "" CACHE FILEPATH "The Linux build's orn-skin-sample, whose pictures the windows are compared with")
add_executable(orn-skin-sample ${tests}/windows/SkinSampleWin32.cpp ${tests}/ui/SkinSample.cpp
               $<TARGET_OBJECTS:orn_skin_resources>)
target_link_options(orn-skin-sample PRIVATE -municode)
target_link_libraries(orn-skin-sample PRIVATE orn_windows)
if(ORN_LINUX_SKIN_SAMPLE)
  add_test(NAME windows.screenshots
           COMMAND ${orn_display} ${ORN_PYTHON3} ${tests}/windows/screenshots_test.py ${ORN_LINUX_SKIN_SAMPLE}
                   $<TARGET_FILE:orn-skin-sample> ${ORN_LINUX_ART} ${CMAKE_BINARY_DIR}/screenshots)
  set_tests_properties(windows.screenshots PROPERTIES LABELS windows TIMEOUT 600)
endif()

# The elevated copy's arguments and the Windows interface names.
orn_windows_test(test-capture-rights SOURCES ${tests}/windows/CaptureRightsWin32Test.cpp LIBS orn_capture_source)

# orn.exe, too, needs only the DLLs that every Windows ships.
find_program(ORN_OBJDUMP NAMES ${ORN_MINGW}-objdump objdump REQUIRED)
add_test(NAME windows.orn-imports COMMAND ${tests}/windows/check-imports ${ORN_OBJDUMP} $<TARGET_FILE:orn>)
set_tests_properties(windows.orn-imports PROPERTIES LABELS windows)
