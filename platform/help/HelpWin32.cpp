#include "platform/help/Help.h"
#include "platform/help/HelpWin32.h"

#include <objbase.h>
#include <shellapi.h>

#include <string>

namespace {

ShellExecuteCall shellExecute = ::ShellExecuteW;

std::filesystem::path ExecutableDirectory() {
    std::wstring name(MAX_PATH, L'\0');
    // A path longer than the buffer comes back cut to its size.
    while (name.size() <= 32768) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) {
            name.resize(length);
            return std::filesystem::path(name).parent_path();
        }
        name.resize(name.size() * 2);
    }
    return {};
}

// ShellExecute's results below 33 are codes of its own, not system errors.
std::string ShellFailure(INT_PTR code) {
    switch (code) {
    case 0:
    case SE_ERR_OOM: return "out of memory";
    case SE_ERR_FNF:
    case SE_ERR_PNF: return "not found";
    case SE_ERR_ACCESSDENIED: return "access denied";
    case SE_ERR_NOASSOC:
    case SE_ERR_ASSOCINCOMPLETE: return "no program is set to open it";
    default: return "error " + std::to_string(code);
    }
}

class CBrowserHelpService final : public CHelpFileService {
    bool Show(const CHelpTopicFiles& files) override {
        // The shell may hand the file to an extension that needs COM on
        // this thread.
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        const auto result = reinterpret_cast<INT_PTR>(shellExecute(
            nullptr, L"open", files.topic.c_str(), nullptr, files.topic.parent_path().c_str(), SW_SHOWNORMAL));
        if (SUCCEEDED(com)) CoUninitialize();
        if (result > 32) return true;
        failure = Utf8PathText(files.topic) + " could not be opened in the browser (" + ShellFailure(result) + ").";
        return false;
    }
};

}  // namespace

CHelpService& ProgramHelpService() {
    static CBrowserHelpService program;
    return program;
}

std::filesystem::path ProgramHelpDirectory() { return ExecutableDirectory() / L"help"; }

ShellExecuteCall SetHelpShellExecute(ShellExecuteCall call) {
    const ShellExecuteCall previous = shellExecute;
    shellExecute = call ? call : ::ShellExecuteW;
    return previous;
}
