#pragma once
// The file operations of the capture log, behind an interface that names no
// system type, so that each system brings its own. The log directory may be
// one that other users can reach (root run with a user's environment), so a
// file in it is only ever made new, private and checked; nothing there is
// reached by following a link, and no existing file is ever opened.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct LogPiece {
    const void* data;
    std::size_t length;
};

// Where a log's bytes go: a file the log made, or a stream it was handed.
class ILogOutput {
public:
    virtual ~ILogOutput() = default;
    // Writes from the pieces, in order, waiting for room on a non-blocking
    // stream. Returns the bytes taken (possibly fewer than offered), or -1
    // with the reason in `error` when nothing could be written.
    virtual long long Write(const LogPiece* pieces, int count, std::string& error) = 0;
    // Cuts the file back to `length` bytes and goes on writing from there.
    // A stream keeps what went out: true.
    virtual bool CutBack(std::uint64_t length, std::string& error) = 0;
};

// A log directory, held open: later renames or links in its path do not move
// what is written.
class ILogFolder {
public:
    virtual ~ILogFolder() = default;
    enum class Made { Yes, NameTaken, Failed };
    // Makes the file `name` in the folder: new (a name that exists, as a file,
    // a link or anything else, is never opened: NameTaken), readable by its
    // owner only, and checked once open (a regular file with one link, ours).
    virtual std::unique_ptr<ILogOutput> MakeFile(const std::string& name, Made& made, std::string& error) = 0;
};

// Opens the directory at `path`, making it private (0700) first where it is
// missing, and its missing parents too when `makeParents`. Refuses a
// symbolic link in the last place, anything but a directory, and a
// directory that the running user does not own.
std::unique_ptr<ILogFolder> OpenLogFolder(const std::string& path, bool makeParents, std::string& error);

// An output onto an open stream that stays the caller's (standard output).
std::unique_ptr<ILogOutput> LogStreamOutput(int descriptor);

// What the choice of the default log directory rests on, as the running
// process finds it.
struct LogPlaceFacts {
    std::string exeDirectory;        // empty when unknown
    bool exeDirectoryOurs = false;   // writable by us and ours
    const char* stateHome = nullptr; // XDG_STATE_HOME, HOME as the environment has them
    const char* home = nullptr;
    std::string accountHome;         // the running user's home in the account database
    bool environmentOfOthers = false;  // root, with HOME or XDG_STATE_HOME of another user
    std::string localAppData;        // Windows: LOCALAPPDATA, in UTF-8 as every path here
};
LogPlaceFacts GatherLogPlaceFacts();
