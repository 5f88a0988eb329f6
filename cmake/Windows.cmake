# The Windows build (cmake/mingw-w64.cmake into build-windows/): the logic
# libraries, the Win32 layers of platform/ and orn-decode, statically linked,
# without Qt; the tests run under Wine. scripts/windows-deps builds libpcap
# (capture files only) into deps/ first.
set(ORN_WINDOWS_DEPS ${CMAKE_BINARY_DIR}/deps CACHE PATH "Where scripts/windows-deps put libpcap")
if(NOT EXISTS ${ORN_WINDOWS_DEPS}/libpcap/lib/libpcap.a)
  message(FATAL_ERROR "No libpcap for Windows in ${ORN_WINDOWS_DEPS}: run scripts/windows-deps first")
endif()

add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE _WIN32_WINNT=0x0601
                        _POSIX_THREAD_SAFE_FUNCTIONS)
set(src ${PROJECT_SOURCE_DIR})

add_library(orn_pcap STATIC IMPORTED)
set_target_properties(orn_pcap PROPERTIES IMPORTED_LOCATION ${ORN_WINDOWS_DEPS}/libpcap/lib/libpcap.a
                      INTERFACE_INCLUDE_DIRECTORIES ${ORN_WINDOWS_DEPS}/libpcap/include
                      INTERFACE_LINK_LIBRARIES ws2_32)

# UTF-8 and UTF-16, and the stand-ins for the few POSIX names that shared
# sources still use.
add_library(orn_win32 STATIC ${src}/platform/win32/WideText.cpp ${src}/platform/win32/PosixShim.cpp)
target_include_directories(orn_win32 PUBLIC ${src})
add_library(orn_posix INTERFACE)
target_include_directories(orn_posix INTERFACE ${src}/platform/win32/posix)
target_link_libraries(orn_posix INTERFACE orn_win32)

add_library(orn_system STATIC ${src}/platform/system/SystemWin32.cpp)
target_include_directories(orn_system PUBLIC ${src})
add_library(orn_record STATIC ${src}/capture/DatagramBlocks.cpp)
target_link_libraries(orn_record PUBLIC orn_system orn_win32 Threads::Threads PRIVATE orn_posix)
add_library(orn_store STATIC ${src}/capture/PacketStore.cpp)
target_link_libraries(orn_store PUBLIC orn_record)
add_library(orn_beep STATIC ${src}/platform/beep/BeepWin32.cpp)
target_include_directories(orn_beep PUBLIC ${src})
add_library(orn_logfiles STATIC ${src}/platform/logfiles/LogFilesWin32.cpp)
target_link_libraries(orn_logfiles PUBLIC orn_win32)
add_library(orn_log STATIC ${src}/capture/CaptureLog.cpp ${src}/platform/win32/LogDirectoryWin32.cpp)
target_link_libraries(orn_log PUBLIC orn_beep orn_logfiles orn_system)
add_library(orn_decode STATIC
  ${src}/decode/TextAppender.cpp ${src}/decode/ProtocolTable.cpp ${src}/decode/IpDatagram.cpp
  ${src}/decode/TcpUdp.cpp ${src}/decode/IcmpIgmp.cpp ${src}/decode/Encapsulation.cpp
  ${src}/decode/HeadingOnly.cpp ${src}/decode/Routing.cpp)
target_link_libraries(orn_decode PUBLIC orn_record)

add_library(orn_registry STATIC ${src}/platform/registry/RegistryFile.cpp ${src}/platform/registry/RegistryWin32.cpp)
target_link_libraries(orn_registry PUBLIC orn_win32 advapi32)
add_library(orn_filters STATIC ${src}/filters/FilterSet.cpp ${src}/filters/FilterSetHolder.cpp)
target_link_libraries(orn_filters PUBLIC orn_registry Threads::Threads)

add_library(orn_capture_source STATIC ${src}/platform/capture/LinkLayer.cpp ${src}/platform/capture/PcapSource.cpp
                                      ${src}/platform/capture/WinsockCaptureSource.cpp
                                      ${src}/platform/capture/WinsockCalls.cpp
                                      ${src}/platform/capture/ReplacementFileWin32.cpp
                                      ${src}/platform/capture/DisplayFilter.cpp)
target_link_libraries(orn_capture_source PUBLIC orn_pcap orn_win32 ws2_32 iphlpapi PRIVATE orn_posix)
add_library(orn_capture STATIC ${src}/capture/CaptureRun.cpp ${src}/capture/PcapngWriter.cpp)
target_link_libraries(orn_capture PUBLIC orn_decode orn_store orn_log orn_filters orn_capture_source orn_posix)
add_library(orn_decode_command STATIC ${src}/capture/DecodeCommand.cpp)
target_link_libraries(orn_decode_command PUBLIC orn_capture PRIVATE orn_posix)
add_executable(orn-decode ${src}/platform/win32/DecodeCommandMainWin32.cpp)
target_link_options(orn-decode PRIVATE -municode)
target_link_libraries(orn-decode PRIVATE orn_decode_command)

# The local host scan over the Win32 network services.
add_library(orn_net STATIC ${src}/platform/net/NetWin32.cpp ${src}/platform/net/Resolver.cpp)
target_link_libraries(orn_net PUBLIC orn_win32 ws2_32 PRIVATE orn_posix)
add_library(orn_discovery STATIC ${src}/discovery/EchoMessage.cpp ${src}/discovery/InterfaceMasks.cpp
                                 ${src}/discovery/LocalHostScan.cpp ${src}/discovery/ScanServices.cpp)
target_link_libraries(orn_discovery PUBLIC orn_net)

add_library(orn_helpmap STATIC ${src}/platform/help/HelpMap.cpp)
target_include_directories(orn_helpmap PUBLIC ${src})
add_library(orn_wave STATIC ${src}/platform/sound/WaveFile.cpp)
target_include_directories(orn_wave PUBLIC ${src})
add_library(orn_sysinfo STATIC ${src}/platform/sysinfo/SystemVersionWin32.cpp)
target_include_directories(orn_sysinfo PUBLIC ${src})
add_library(orn_msgbox STATIC ${src}/platform/msgbox/MessageBox.cpp ${src}/platform/msgbox/Win32MessageBox.cpp)
target_link_libraries(orn_msgbox PUBLIC orn_win32 user32 Threads::Threads)

# The help: the topics beside the program (help/, copied there by the build as
# an installer puts them beside orn.exe), opened in the default browser.
set(ORN_HELP_INSTALL_DIR help)
add_subdirectory(${src}/resources/help ${CMAKE_BINARY_DIR}/resources/help)
add_library(orn_help STATIC ${src}/platform/help/HelpCalls.cpp ${src}/platform/help/HelpWin32.cpp)
target_link_libraries(orn_help PUBLIC orn_helpmap orn_msgbox shell32 ole32)

# The sound cues, synthesised in memory on first use and played with PlaySoundW.
add_library(orn_cuesynth STATIC ${src}/resources/sounds/CueSynth.cpp ${src}/resources/sounds/CueImages.cpp)
target_link_libraries(orn_cuesynth PUBLIC orn_wave)
add_library(orn_sound STATIC ${src}/platform/sound/Win32SoundPlayer.cpp ${src}/dialogs/SoundCueWin32.cpp)
target_link_libraries(orn_sound PUBLIC orn_cuesynth winmm Threads::Threads)

# The skin, the windows and orn.exe.
include(${src}/cmake/WindowsSkin.cmake)
include(${src}/cmake/WindowsApp.cmake)

# The installer, build-windows/orn-setup-VERSION.exe, with Debian's NSIS where
# it is at hand. The help topics' list is written here for it: what it
# installs and what its uninstaller removes, one by one.
find_program(ORN_MAKENSIS makensis)
set(ORN_INSTALLER ${CMAKE_BINARY_DIR}/orn-setup-${PROJECT_VERSION}.exe)
if(ORN_MAKENSIS)
  set(install_help "!macro InstallHelp\n")
  set(remove_help "!macro RemoveHelp\n")
  foreach(source IN LISTS ORN_HELP_SOURCES)
    get_filename_component(name ${source} NAME)
    string(APPEND install_help "  File \"${source}\"\n")
    string(APPEND remove_help "  Delete \"$INSTDIR\\help\\${name}\"\n")
  endforeach()
  file(WRITE ${CMAKE_BINARY_DIR}/installer-files.nsh.new "${install_help}!macroend\n${remove_help}!macroend\n")
  file(COPY_FILE ${CMAKE_BINARY_DIR}/installer-files.nsh.new ${CMAKE_BINARY_DIR}/installer-files.nsh ONLY_IF_DIFFERENT)
  add_custom_command(OUTPUT ${ORN_INSTALLER}
    COMMAND ${ORN_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DBUILD=${CMAKE_BINARY_DIR} -DSOURCE=${src}
            -DFILES=${CMAKE_BINARY_DIR}/installer-files.nsh -DOUTFILE=${ORN_INSTALLER}
            ${src}/resources/windows/orn.nsi
    DEPENDS ${src}/resources/windows/orn.nsi ${src}/resources/windows/README.txt
            ${CMAKE_BINARY_DIR}/installer-files.nsh ${ORN_HELP_SOURCES} orn-decode $<TARGET_NAME_IF_EXISTS:orn>
    VERBATIM)
  add_custom_target(orn_installer ALL DEPENDS ${ORN_INSTALLER})
endif()

if(NOT ORN_TESTS)
  return()
endif()

# GoogleTest from Debian's sources, built with the same tool chain.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The logic tests, from the Linux build's sources; one ctest test per program
# (each start of Wine costs a second). FILTER leaves out the cases that are
# about Linux itself.
set(tests ${src}/tests)
function(orn_windows_test name)
  cmake_parse_arguments(arg "" "FILTER" "SOURCES;LIBS;DEFINES" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest_main orn_posix ws2_32)
  target_compile_definitions(${name} PRIVATE ${arg_DEFINES})
  set(filter)
  if(arg_FILTER)
    set(filter --gtest_filter=${arg_FILTER})
  endif()
  add_test(NAME windows.${name} COMMAND ${name} ${filter})
  set_tests_properties(windows.${name} PROPERTIES LABELS windows TIMEOUT 300)
endfunction()

# Every test runs in the run's own Wine prefix, made by the first test and
# ended by the last.
set(ORN_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
add_test(NAME windows.wine-prefix-start COMMAND ${tests}/windows/wine-prefix start ${ORN_WINE_PREFIX})
add_test(NAME windows.wine-prefix-stop COMMAND ${tests}/windows/wine-prefix stop ${ORN_WINE_PREFIX})
set_tests_properties(windows.wine-prefix-start PROPERTIES FIXTURES_SETUP wine LABELS windows)
set_tests_properties(windows.wine-prefix-stop PROPERTIES FIXTURES_CLEANUP wine LABELS windows)
set(wine_env WINEPREFIX=${ORN_WINE_PREFIX} WINEDEBUG=-all ORN_WINE=${ORN_WINE64})

orn_windows_test(test-decode SOURCES ${tests}/decode/TextAppenderTest.cpp ${tests}/decode/DecodeRecordTest.cpp
                 LIBS orn_decode)
orn_windows_test(test-packet-store SOURCES ${tests}/capture/PacketStoreTest.cpp LIBS orn_store)
orn_windows_test(test_capture_run SOURCES ${tests}/capture/CaptureRunTest.cpp LIBS orn_capture)
# Against Wine's registry: the set saved is exported with reg.exe and
# compared with the Linux store's golden file, and the cases' store files are
# imported with it before each load.
orn_windows_test(test-filter-set SOURCES ${tests}/filters/FilterSetTest.cpp ${tests}/filters/FilterSetHolderTest.cpp
                 LIBS orn_filters DEFINES ORN_REGISTRY_GOLDEN="${tests}/platform/registry/golden")
set_tests_properties(windows.test-filter-set PROPERTIES RESOURCE_LOCK wine-registry)
orn_windows_test(test_file_capture_source SOURCES ${tests}/platform/capture/FileCaptureSourceTest.cpp
                 LIBS orn_capture_source)
orn_windows_test(test-winsock-capture SOURCES ${tests}/windows/WinsockCaptureSourceTest.cpp LIBS orn_capture)
orn_windows_test(test-logfiles SOURCES ${tests}/windows/LogFilesWin32Test.cpp LIBS orn_log orn_pcap)
orn_windows_test(test-discovery SOURCES ${tests}/discovery/EchoMessageTest.cpp ${tests}/discovery/ScanLogicTest.cpp
                 LIBS orn_discovery GTest::gmock)
orn_windows_test(test-net SOURCES ${tests}/windows/NetWin32Test.cpp LIBS orn_net orn_pcap)
orn_windows_test(test-sysinfo SOURCES ${tests}/windows/SystemVersionWin32Test.cpp LIBS orn_sysinfo)
orn_windows_test(test-helpmap SOURCES ${tests}/platform/help/HelpMapTest.cpp LIBS orn_helpmap)
# With the system's box itself, on an X display of the test's own.
orn_windows_test(test-msgbox SOURCES ${tests}/platform/msgbox/test_msgbox.cpp ${tests}/windows/MessageBoxWin32Test.cpp
                 LIBS orn_msgbox)
set_target_properties(test-msgbox PROPERTIES CROSSCOMPILING_EMULATOR "${tests}/windows/with-display;${ORN_WINE64}")
orn_windows_test(test-wave SOURCES ${tests}/platform/sound/WaveFileTest.cpp LIBS orn_wave)
# The help and the cues over stand-ins for ShellExecuteW and PlaySoundW (a test
# starts no browser), and one real PlaySoundW.
orn_windows_test(test-help SOURCES ${tests}/windows/HelpWin32Test.cpp LIBS orn_help
                 DEFINES ORN_HELP_BUILD_DIR="${ORN_HELP_BUILD_DIR}")
add_dependencies(test-help orn_help_files)
orn_windows_test(test-sound SOURCES ${tests}/windows/SoundWin32Test.cpp LIBS orn_sound)

# The skin's, the windows' and orn.exe's tests.
include(${src}/cmake/WindowsSkinTests.cmake)
include(${src}/cmake/WindowsAppTests.cmake)

# The golden decoder suite through orn-decode.exe, compared with the same
# expected files as the Linux program's.
set(golden_dir ${tests}/decode/golden)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/orn-decode-wine CONTENT
     "#!/bin/sh\nexec ${golden_dir}/wine-decode $<TARGET_FILE:orn-decode> \"$@\"\n"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(${src}/cmake/GoldenTests.cmake)
orn_golden_tests(windows. ${CMAKE_BINARY_DIR}/orn-decode-wine)
get_property(golden_tests DIRECTORY PROPERTY TESTS)
list(FILTER golden_tests INCLUDE REGEX "^windows\\.golden\\.")
set_tests_properties(${golden_tests} PROPERTIES LABELS "windows;golden")
# One registry for all: the filter cases take turns.
list(FILTER golden_tests INCLUDE REGEX "\\.filters\\.")
set_tests_properties(${golden_tests} PROPERTIES RESOURCE_LOCK wine-registry)

# What every test of this build shares: the prefix, and no Wine chatter.
get_property(windows_tests DIRECTORY PROPERTY TESTS)
foreach(test IN LISTS windows_tests)
  if(NOT test MATCHES "^windows\\.wine-prefix-")
    set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${wine_env}")
  endif()
endforeach()

# Only the system's DLLs.
find_program(ORN_OBJDUMP NAMES ${ORN_MINGW}-objdump objdump REQUIRED)
add_test(NAME windows.imports COMMAND ${tests}/windows/check-imports ${ORN_OBJDUMP} $<TARGET_FILE:orn-decode>
                                      $<TARGET_FILE:test_capture_run> $<TARGET_FILE:test-help>
                                      $<TARGET_FILE:test-sound>)
set_tests_properties(windows.imports PROPERTIES LABELS windows)

# The same pcapng and log files as the Linux program, where a Linux build is at hand
# (scripts/test passes its orn-decode).
set(ORN_LINUX_DECODE "" CACHE FILEPATH "The Linux build's orn-decode, to compare -w output with")
if(ORN_LINUX_DECODE)
  add_test(NAME windows.same-as-linux
           COMMAND ${ORN_PYTHON3} ${tests}/windows/same_as_linux.py ${ORN_LINUX_DECODE} ${CMAKE_BINARY_DIR}/orn-decode-wine)
  set_tests_properties(windows.same-as-linux PROPERTIES LABELS windows FIXTURES_REQUIRED wine ENVIRONMENT "${wine_env}")
endif()

# The installer, installed and removed silently in the run's prefix, with a
# stand-in for netsh that records the firewall commands.
if(ORN_MAKENSIS)
  add_executable(netsh-standin ${tests}/windows/NetshStandIn.c)
  target_link_options(netsh-standin PRIVATE -municode)
  add_test(NAME windows.installer
           COMMAND ${ORN_PYTHON3} ${tests}/windows/installer_test.py ${ORN_INSTALLER} ${CMAKE_BINARY_DIR} ${src}
                   $<TARGET_FILE:netsh-standin> ${PROJECT_VERSION})
  set_tests_properties(windows.installer PROPERTIES LABELS windows FIXTURES_REQUIRED wine ENVIRONMENT "${wine_env}"
                       RESOURCE_LOCK wine-registry TIMEOUT 300)
endif()
