# The windows (dialogs/) over the Win32 skin, and orn.exe.
enable_language(RC)

# Where a window reaches the live capture: the adapters of the Interface
# menu and the rights a receive-all socket needs.
target_sources(orn_capture_source PRIVATE ${src}/platform/capture/CaptureRightsWin32.cpp)
target_link_libraries(orn_capture_source PUBLIC advapi32 shell32)

# The version check's parsing, which the main window's test hook reaches.
target_sources(orn_sysinfo PRIVATE ${src}/platform/sysinfo/SystemVersion.cpp)

# The same libraries as dialogs/CMakeLists.txt's, the cues played with
# PlaySoundW (orn_sound).
add_library(orn_discovery_ui STATIC ${src}/dialogs/CHostBrowserDlg.cpp)
target_link_libraries(orn_discovery_ui PUBLIC orn_discovery orn_skin orn_help)
add_library(orn_filters_ui STATIC ${src}/dialogs/CFiltersDlg.cpp ${src}/dialogs/CFilterEntryDlg.cpp)
target_link_libraries(orn_filters_ui PUBLIC orn_filters orn_discovery_ui orn_skin orn_help orn_msgbox)
set(dialogs ${src}/dialogs)
add_library(orn_windows STATIC
  ${dialogs}/CAboutDlg.cpp ${dialogs}/CMainDlg.cpp ${dialogs}/CPacketDetailsDlg.cpp ${dialogs}/CaptureRequests.cpp
  ${dialogs}/PacketList.cpp ${dialogs}/DisplayFilterView.cpp ${dialogs}/CTextLineDlg.cpp
  ${dialogs}/MainDisplayFilter.cpp ${dialogs}/MainFind.cpp ${dialogs}/Conversations.cpp
  ${dialogs}/CConversationsDlg.cpp)
target_link_libraries(orn_windows PUBLIC orn_skin orn_sound orn_help orn_capture orn_filters orn_filters_ui
                      orn_sysinfo orn_msgbox PRIVATE orn_posix)

# orn.exe: a windows program (no console) with wWinMain, its manifest (common
# controls 6, asInvoker, not DPI aware: the skin is fixed bitmaps) and the
# skin's bitmaps and icons. The help topics sit beside it.
file(WRITE ${CMAKE_BINARY_DIR}/orn-manifest.rc.new
     "1 24 \"${src}/resources/windows/orn.exe.manifest\"\n")
file(COPY_FILE ${CMAKE_BINARY_DIR}/orn-manifest.rc.new ${CMAKE_BINARY_DIR}/orn-manifest.rc ONLY_IF_DIFFERENT)
set_source_files_properties(${CMAKE_BINARY_DIR}/orn-manifest.rc PROPERTIES
                            OBJECT_DEPENDS ${src}/resources/windows/orn.exe.manifest)
add_executable(orn ${src}/app/WinMain.cpp ${src}/app/CaptureApp.cpp ${CMAKE_BINARY_DIR}/orn-manifest.rc)
target_link_options(orn PRIVATE -mwindows -municode)
target_link_libraries(orn PRIVATE orn_windows comctl32)
target_sources(orn PRIVATE $<TARGET_OBJECTS:orn_skin_resources>)
add_dependencies(orn orn_help_files)

if(NOT ORN_TESTS)
  return()
endif()

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
