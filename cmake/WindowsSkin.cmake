# The Win32 back end of the skin (skin/win32/), from the same templates and
# bitmaps as the Qt one's.
file(GLOB orn_skin_sources CONFIGURE_DEPENDS ${src}/skin/win32/*.cpp)
add_library(orn_skin STATIC ${orn_skin_sources} ${src}/resources/templates/DialogTemplates.cpp)
target_include_directories(orn_skin PUBLIC ${src})
target_link_libraries(orn_skin PUBLIC orn_win32 user32 gdi32 comctl32 comdlg32 shell32)
