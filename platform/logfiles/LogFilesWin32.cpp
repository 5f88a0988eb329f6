// The capture log's files on Windows: a folder held open (so it cannot be
// renamed away under the log) with files made new and never through a
// reparse point (a link or junction), each checked once open.
#include <windows.h>
#include <io.h>

#include <algorithm>
#include <cstdlib>

#include "platform/logfiles/LogFiles.h"
#include "platform/win32/WideText.h"

namespace {

std::string SystemText(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string words = text ? Utf8Text(text) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ')) words.pop_back();
    return words;
}

long long WriteHandle(HANDLE handle, const LogPiece* pieces, int count, std::string& error) {
    long long total = 0;
    for (int i = 0; i < count; ++i) {
        const char* p = static_cast<const char*>(pieces[i].data);
        std::size_t left = pieces[i].length;
        while (left > 0) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
            DWORD written = 0;
            if (!WriteFile(handle, p, chunk, &written, nullptr)) {
                if (total > 0) return total;
                error = SystemText(GetLastError());
                return -1;
            }
            total += written;
            if (written < chunk) return total;  // short: the caller goes on from here
            p += written;
            left -= written;
        }
    }
    return total;
}

class CFileOutput final : public ILogOutput {
public:
    explicit CFileOutput(HANDLE file) : file_(file) {}
    ~CFileOutput() override { CloseHandle(file_); }
    long long Write(const LogPiece* pieces, int count, std::string& error) override {
        return WriteHandle(file_, pieces, count, error);
    }
    bool CutBack(std::uint64_t length, std::string& error) override {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(length);
        if (SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) && SetEndOfFile(file_)) return true;
        error = SystemText(GetLastError());
        return false;
    }

private:
    HANDLE file_;
};

class CStreamOutput final : public ILogOutput {
public:
    explicit CStreamOutput(int descriptor) : descriptor_(descriptor) {}
    long long Write(const LogPiece* pieces, int count, std::string& error) override {
        const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor_));
        if (handle == INVALID_HANDLE_VALUE) {
            error = "not an open stream";
            return -1;
        }
        return WriteHandle(handle, pieces, count, error);
    }
    bool CutBack(std::uint64_t, std::string&) override { return true; }

private:
    int descriptor_;
};

class CFolder final : public ILogFolder {
public:
    CFolder(HANDLE handle, std::wstring path) : handle_(handle), path_(std::move(path)) {}
    ~CFolder() override { CloseHandle(handle_); }
    std::unique_ptr<ILogOutput> MakeFile(const std::string& name, Made& made, std::string& error) override {
        made = Made::Failed;
        // CREATE_NEW fails on any name that is there, a link included.
        const HANDLE file = CreateFileW((path_ + L"\\" + WideText(name)).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                        nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) made = Made::NameTaken;
            error = SystemText(code);
            return nullptr;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(file, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || info.nNumberOfLinks != 1) {
            CloseHandle(file);
            error = "the new file is not a plain file of ours";
            return nullptr;
        }
        made = Made::Yes;
        return std::make_unique<CFileOutput>(file);
    }

private:
    HANDLE handle_;
    std::wstring path_;
};

std::wstring ExecutableDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// What the access bits cannot tell (Program Files is writable for
// administrators only): whether a file can be made there.
bool CanMakeFiles(const std::wstring& directory) {
    const HANDLE probe = CreateFileW((directory + L"\\.orn-write-probe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return false;
    CloseHandle(probe);
    return true;
}

}  // namespace

std::unique_ptr<ILogFolder> OpenLogFolder(const std::string& path, bool makeParents, std::string& error) {
    if (path.empty()) {
        error = "no directory";
        return nullptr;
    }
    std::wstring wide = WideText(path);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    std::string made;
    // The parents along the way (past a drive's root), then the folder itself.
    const std::size_t first = wide.find(L'\\', wide.size() > 2 && wide[1] == L':' ? 3 : 1);
    for (std::size_t at = makeParents ? first : std::wstring::npos;; at = wide.find(L'\\', at + 1)) {
        const std::wstring part = wide.substr(0, at);
        if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS && made.empty())
            made = Utf8Text(part) + ": " + SystemText(GetLastError());
        if (at == std::wstring::npos) break;
    }
    // Held open without following a reparse point, and shared for all but delete.
    const HANDLE handle = CreateFileW(wide.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        error = code == ERROR_FILE_NOT_FOUND && !made.empty() ? made : path + ": " + SystemText(code);
        // "Path not found" where a file stands in the path says too little.
        for (std::size_t at = wide.find(L'\\', 1); at != std::wstring::npos; at = wide.find(L'\\', at + 1)) {
            const DWORD attributes = GetFileAttributesW(wide.substr(0, at).c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                error = path + ": Not a directory";
        }
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseHandle(handle);
        error = path + ": a link or no directory";
        return nullptr;
    }
    return std::make_unique<CFolder>(handle, wide);
}

std::unique_ptr<ILogOutput> LogStreamOutput(int descriptor) { return std::make_unique<CStreamOutput>(descriptor); }

// On Windows the state home is the user's local application data; there is
// no account database apart from it and no other user's environment.
LogPlaceFacts GatherLogPlaceFacts() {
    LogPlaceFacts facts;
    const std::wstring exe = ExecutableDirectory();
    facts.exeDirectory = Utf8Text(exe);
    facts.exeDirectoryOurs = !exe.empty() && CanMakeFiles(exe);
    // The narrow environment is in the ANSI code page, which cannot name
    // every user's folder.
    if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA")) facts.localAppData = Utf8Text(local);
    return facts;
}
