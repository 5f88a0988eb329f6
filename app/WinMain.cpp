// orn.exe: the interactive IPv4 packet monitor on Windows. The same command
// line as on Linux, read from the UTF-16 one in UTF-8.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/CaptureApp.h"
#include "platform/msgbox/MessageBox.h"
#include "platform/win32/WideText.h"

namespace {
CCaptureApp theApp;

// A windows program has no console of its own: the text goes to a standard
// stream the caller redirected, else to the console it was started from,
// else into a box.
void Usage(const std::string& text, int status) {
    const DWORD which = status == 0 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
    HANDLE stream = GetStdHandle(which);
    if ((stream == nullptr || stream == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS))
        stream = GetStdHandle(which);
    DWORD mode = 0, written = 0;
    if (stream != nullptr && stream != INVALID_HANDLE_VALUE) {
        if (GetConsoleMode(stream, &mode)) {
            const std::wstring wide = WideText(text);
            if (WriteConsoleW(stream, wide.data(), DWORD(wide.size()), &written, nullptr)) return;
        } else if (WriteFile(stream, text.data(), DWORD(text.size()), &written, nullptr)) {
            return;
        }
    }
    ShowWin32MessageBox(MessageBoxTitle(), text, status == 0 ? MessageIcon::None : MessageIcon::Exclamation);
}

std::vector<std::string> Arguments() {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; argv && i < count; ++i) arguments.push_back(Utf8Text(argv[i]));
    if (argv) LocalFree(argv);
    return arguments;
}
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    CCommandLine line;
    std::string message;
    int status = 0;
    if (!ParseCommandLine(Arguments(), line, message, status)) {
        Usage(message, status);
        return status;
    }
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    SetMessageBoxPresenter(ShowWin32MessageBox);
    theApp.InitInstance(line);
    return 0;
}
