/* Ends a program's window as the user's close would: WM_CLOSE to the
 * visible top-level window of that title.
 *   close-window TITLE      exit 0 once sent, 1 when there is no such window */
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    HWND window = FindWindowW(NULL, argv[1]);
    if (!window || !IsWindowVisible(window)) return 1;
    return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
}
