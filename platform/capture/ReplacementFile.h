#pragma once
// A file written whole before it takes its name: the bytes go to a file
// without a name (O_TMPFILE) in the target's directory, which Commit() syncs,
// links in and renames over the target. A process killed part way leaves
// nothing behind. Where the file system has no O_TMPFILE, or /proc is not
// there to name such a file by, the file is a hidden temporary beside the target (".NAME.orn-..."); temporaries of that target
// untouched for a minute belong to writers that died, and the next Open
// removes them.

#include <cstddef>
#include <string>

class CReplacementFile {
public:
    CReplacementFile() = default;
    // Discard().
    ~CReplacementFile();
    CReplacementFile(const CReplacementFile&) = delete;
    CReplacementFile& operator=(const CReplacementFile&) = delete;

    // Each returns 0 or the errno value of the failure; the words for it are
    // the caller's. Open creates the file (mode 0666 less the umask); it
    // refuses, with kNotRegular, a target that is there but is no regular
    // file (a device, a FIFO, /dev/stdout): replacing it would remove it.
    static constexpr int kNotRegular = -1;
    int Open(const std::string& path);
    int Write(const void* bytes, std::size_t size);
    // To the disk, then in place of the target. A failed Commit() discards.
    // `placing` tells whether the failure came after the data was written.
    int Commit(bool& placing);
    // Drops what was written; the target stays as it was.
    void Discard();

    bool IsOpen() const { return fd_ >= 0; }
    // Whether the file is a hidden temporary (no O_TMPFILE here).
    bool Named() const { return !temp_.empty(); }

    // Temporaries untouched this long have no writer left.
    static constexpr long kStaleSeconds = 60;

private:
    int dirFd_ = -1;
    int fd_ = -1;
    std::string base_;  // the target's name in its directory
    std::string temp_;  // the temporary's name, while it has one
};
