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
