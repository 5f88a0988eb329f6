#include "platform/registry/Registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/registry/RegistryFile.h"

using orn::registry::CRegKey;
using orn::registry::CRegTree;

namespace {

constexpr const char* kMachineStoreDir = "/var/lib/orn";
constexpr const char* kStoreName = "registry.reg";
constexpr std::string_view kLocalMachine = "HKEY_LOCAL_MACHINE";
// Keys every Windows host has, so they exist even in an empty store.
constexpr const char* kBuiltInKeys[] = {"SYSTEM", "CurrentControlSet", "Services"};
// Rights that change the store: set value, create sub-key, create link,
// delete, write DAC, write owner.
constexpr std::uint32_t kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK |
                                       0x00010000 | 0x00040000 | 0x00080000;
// A file beyond this is not a store somebody wrote; it is not read.
constexpr off_t kMaxStoreSize = 64 << 20;
// How long a save waits for another process's save to end.
constexpr auto kLockWait = std::chrono::seconds(5);
// A temporary file of the save is older than this only when its save died.
constexpr std::time_t kStaleTemporary = 60;

struct COpenKey {
    CRegKey* key;
    std::uint32_t access;
    std::vector<std::string> path;  // from the root key down
};

// One change of the session. A save makes the session's changes again on the
// file as it is then, so that what other processes saved in between stays.
struct CChange {
    enum class Kind { CreateKey, SetValue, DeleteValue } kind;
    std::vector<std::string> path;
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

struct CStore {
    std::mutex mutex;
    std::string path;  // set by a test; empty: chosen at each session

    // The session: from the first use after all handles were closed to the
    // last close.
    bool loaded = false;
    std::string sessionPath;
    CRegTree tree;
    bool readable = false;  // the file was read, or does not exist
    bool writable = false;
    bool damaged = false;   // the file held lines that were not read, or was refused
    std::vector<CChange> changes;  // not saved yet
    std::unordered_map<std::uintptr_t, COpenKey> handles;
    std::uintptr_t nextHandle = 1;
};

CStore& Store()
{
    static CStore store;
    return store;
}

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// $XDG_CONFIG_HOME, else ~/.config; empty when there is no home.
std::string UserConfigDirectory()
{
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        return config;
    std::string home;
    if (const char* fromEnvironment = std::getenv("HOME"); fromEnvironment && fromEnvironment[0] == '/') {
        home = fromEnvironment;
    } else {
        passwd entry {};
        passwd* found = nullptr;
        char buffer[4096];
        if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found &&
            found->pw_dir[0] == '/')
            home = found->pw_dir;
    }
    return home.empty() ? home : home + "/.config";
}

// The save must be able to create a file in the directory (made first when
// missing). A store file that nobody may write was made read-only on purpose
// and is not replaced; one that another user saved is, where the directory
// lets this user replace it.
bool CanWriteStore(const std::string& path)
{
    struct stat file {}, st {};
    const bool exists = ::lstat(path.c_str(), &file) == 0;
    if (exists && (!S_ISREG(file.st_mode) || (file.st_mode & 0222) == 0))
        return false;
    std::string dir = DirectoryOf(path);
    while (true) {
        if (::stat(dir.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode) || ::faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
                return false;
            // In a sticky directory only a file's owner may replace it.
            const uid_t me = ::geteuid();
            return !(exists && (st.st_mode & S_ISVTX) && me != 0 && file.st_uid != me && st.st_uid != me);
        }
        if (errno != ENOENT)
            return false;
        const std::string parent = DirectoryOf(dir);
        if (parent == dir)
            return false;
        dir = parent;
    }
}

enum class FileRead { Read, Missing, Refused, Unreadable };

// Reads the whole file. Only a regular file is read: a FIFO would block the
// start-up, a device or a directory is no store, and a link may point
// anywhere. Nothing else is even opened.
FileRead ReadStoreFile(const std::string& path, std::string& text)
{
    text.clear();
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileRead::Missing : FileRead::Unreadable;
    if (!S_ISREG(st.st_mode))
        return FileRead::Unreadable;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? FileRead::Missing : FileRead::Unreadable;
    FileRead result = FileRead::Read;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result = FileRead::Unreadable;
    } else if (st.st_size > kMaxStoreSize) {
        result = FileRead::Refused;
    } else {
        text.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (result == FileRead::Read) {
            // Read to the end even if the file grew since fstat.
            if (done == text.size())
                text.resize(text.size() + 4096);
            const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
            if (n > 0)
                done += static_cast<std::size_t>(n);
            else if (n == 0)
                break;
            else if (errno != EINTR)
                result = FileRead::Unreadable;
            if (done > static_cast<std::size_t>(kMaxStoreSize))
                result = FileRead::Refused;
        }
        text.resize(done);
    }
    ::close(fd);
    if (result != FileRead::Read)
        std::string().swap(text);
    return result;
}

// The file's tree; `damaged` when lines were left out or the file refused.
CRegTree ReadStoreTree(const std::string& path, FileRead& read, bool& damaged)
{
    std::string text;
    read = ReadStoreFile(path, text);
    CRegTree tree = read == FileRead::Read ? orn::registry::ParseRegistryText(text) : CRegTree{};
    damaged = read == FileRead::Refused || tree.refused || tree.damagedLines > 0;
    return tree;
}

void BeginSession(CStore& store)
{
    if (store.loaded)
        return;
    store.loaded = true;
    store.sessionPath = store.path.empty() ? ChooseRegistryStorePath(kMachineStoreDir) : store.path;
    store.changes.clear();
    FileRead read = FileRead::Missing;
    store.tree = ReadStoreTree(store.sessionPath, read, store.damaged);
    store.readable = read != FileRead::Unreadable;
    // A store that could not be read is never written over.
    store.writable = store.readable && CanWriteStore(store.sessionPath);
    CRegKey* key = &store.tree.top.Obtain(kLocalMachine);
    for (const char* name : kBuiltInKeys)
        key = &key->Obtain(name);
}

std::int32_t ErrorFromErrno(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOMEM:
        return ERROR_OUTOFMEMORY;
    default:
        return ERROR_CANTWRITE;
    }
}

// Directories the save makes are the user's own (the machine-wide one is the
// package's).
int MakeDirectories(const std::string& dir)
{
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    const std::string parent = DirectoryOf(dir);
    if (parent != dir) {
        if (const int error = MakeDirectories(parent))
            return error;
    }
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

bool WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Who may use the files of the store: the directory's group, and writing for
// that group where the directory gives it (the machine-wide store of a
// package, group orn and setgid, gives it to every member). Set explicitly,
// so that neither the umask nor the saving user (root under sudo included)
// can lock the others out.
struct CSharing {
    gid_t group;
    mode_t mode;
    void Apply(int fd) const
    {
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_gid != group) {
            // Refused to a user outside the directory's group: the file keeps the user's.
            [[maybe_unused]] const int refused = ::fchown(fd, static_cast<uid_t>(-1), group);
        }
        [[maybe_unused]] const int failed = ::fchmod(fd, mode);
    }
};

// The advisory lock that serialises saves between processes: flock on a
// sibling file that stays, so that every process locks the same file.
class CSaveLock {
public:
    ~CSaveLock()
    {
        if (fd_ >= 0)
            ::close(fd_);  // releases the lock
    }

    // 0 or an errno value; ETIMEDOUT when another save held it too long.
    int Take(const std::string& lockPath, const CSharing& sharing)
    {
        constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
        fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | kFlags, 0600);
        if (fd_ < 0 && errno == EACCES)
            fd_ = ::open(lockPath.c_str(), O_RDONLY | kFlags);  // flock needs no write access
        if (fd_ < 0)
            return errno;
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))
            return EINVAL;
        if (st.st_uid == ::geteuid())
            sharing.Apply(fd_);
        const auto until = std::chrono::steady_clock::now() + kLockWait;
        while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR)
                return errno;
            if (std::chrono::steady_clock::now() >= until)
                return ETIMEDOUT;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 0;
    }

private:
    int fd_ = -1;
};

// A file that held lines this layer could not read is kept aside under a
// time-stamped name before a save replaces it: what a person wrote by hand
// stays on disk. A hard link costs nothing; a copy serves where links are not
// allowed.
int KeepDamagedFile(const std::string& path)
{
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    for (int n = 0; n < 100; ++n) {
        const std::string aside =
            path + ".damaged-" + stamp + (n ? "." + std::to_string(n) : std::string());
        if (::link(path.c_str(), aside.c_str()) == 0 || errno == ENOENT)
            return 0;
        if (errno == EEXIST)
            continue;
        std::error_code error;
        if (std::filesystem::copy_file(path, aside, error))
            return 0;
        if (error != std::errc::file_exists)
            return error.value();
    }
    return EEXIST;
}

bool IsTemporarySuffix(std::string_view suffix)
{
    return suffix.size() == 6 && std::all_of(suffix.begin(), suffix.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
           });
}

// Temporary files of saves that died before their rename (".registry.reg.XXXXXX").
// Saves run under the lock, so one older than a minute has no writer left.
void RemoveStaleTemporaries(const std::string& dir, const std::string& name)
{
    DIR* entries = ::opendir(dir.c_str());
    if (!entries)
        return;
    const std::string prefix = "." + name + ".";
    const std::time_t before = std::time(nullptr) - kStaleTemporary;
    while (const dirent* entry = ::readdir(entries)) {
        const std::string_view found = entry->d_name;
        struct stat st {};
        if (found.starts_with(prefix) && IsTemporarySuffix(found.substr(prefix.size())) &&
            ::fstatat(::dirfd(entries), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && st.st_mtime < before)
            ::unlinkat(::dirfd(entries), entry->d_name, 0);
    }
    ::closedir(entries);
}

void Replay(CRegTree& tree, const std::vector<CChange>& changes)
{
    for (const CChange& change : changes) {
        CRegKey* key = &tree.top;
        for (const std::string& name : change.path)
            key = &key->Obtain(name);
        switch (change.kind) {
        case CChange::Kind::CreateKey:
            key->listed = true;
            break;
        case CChange::Kind::SetValue:
            key->SetValue(change.name, change.type, change.data, change.type == REG_SZ);
            break;
        case CChange::Kind::DeleteValue:
            key->RemoveValue(change.name);
            break;
        }
    }
}

// Writes text to path through a temporary file in dir and a rename.
int WriteStoreFile(const std::string& path, const std::string& dir, const std::string& text,
                   const CSharing& sharing)
{
    std::string temp = dir + "/." + BaseNameOf(path) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    sharing.Apply(fd);
    bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return error;
    }
    // The rename itself is only durable once the directory is on disk.
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return 0;
}

std::int32_t SaveStore(CStore& store)
{
    const std::string& path = store.sessionPath;
    const std::string dir = DirectoryOf(path);
    if (const int error = MakeDirectories(dir))
        return ErrorFromErrno(error);
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0)
        return ErrorFromErrno(errno);
    const CSharing sharing{st.st_gid, static_cast<mode_t>(0644 | (st.st_mode & S_IWGRP))};

    CSaveLock lock;
    if (const int error = lock.Take(path + ".lock", sharing))
        return ErrorFromErrno(error);
    // Under the lock, the file as the last save left it: this session's
    // changes are made again on it, so that another process's keep.
    FileRead read = FileRead::Missing;
    bool damaged = false;
    CRegTree current = ReadStoreTree(path, read, damaged);
    if (read == FileRead::Unreadable)
        return ERROR_ACCESS_DENIED;
    if (damaged) {
        if (const int error = KeepDamagedFile(path))
            return ErrorFromErrno(error);
    }
    Replay(current, store.changes);
    RemoveStaleTemporaries(dir, BaseNameOf(path));
    if (const int error = WriteStoreFile(path, dir, orn::registry::FormatRegistryText(current), sharing))
        return ErrorFromErrno(error);
    store.changes.clear();
    store.damaged = false;
    return ERROR_SUCCESS;
}

// Ends the session when no handle is left, saving a change made through the
// predefined key alone.
void EndSessionIfIdle(CStore& store)
{
    if (!store.loaded || !store.handles.empty())
        return;
    if (!store.changes.empty() && store.writable)
        SaveStore(store);
    store.loaded = false;
    store.tree = CRegTree{};
}

// The key and the rights behind a handle; null for an unknown handle.
const COpenKey* Resolve(CStore& store, HKEY handle, COpenKey& predefined)
{
    if (handle == HKEY_LOCAL_MACHINE) {
        predefined = {store.tree.top.Find(kLocalMachine), KEY_ALL_ACCESS, {std::string(kLocalMachine)}};
        return &predefined;
    }
    const auto found = store.handles.find(static_cast<std::uintptr_t>(handle));
    return found == store.handles.end() ? nullptr : &found->second;
}

// Splits "A\B\C" into its names; false for an empty name anywhere.
bool SplitPath(const char* subKey, std::vector<std::string_view>& names)
{
    std::string_view rest = subKey ? subKey : "";
    if (rest.empty())
        return true;
    while (true) {
        const std::size_t slash = rest.find('\\');
        const std::string_view name = rest.substr(0, slash);
        if (name.empty())
            return false;
        names.push_back(name);
        if (slash == std::string_view::npos)
            return true;
        rest.remove_prefix(slash + 1);
    }
}

// Names that the file's sections and value lines can carry and read back.
bool Representable(std::string_view name, std::size_t maxLength)
{
    return name.size() <= maxLength && name.find_first_of("\r\n") == std::string_view::npos;
}

HKEY NewHandle(CStore& store, CRegKey* key, std::uint32_t access, std::vector<std::string> path)
{
    const std::uintptr_t id = store.nextHandle++;
    store.handles[id] = {key, access, std::move(path)};
    return static_cast<HKEY>(id);
}

struct CSession {
    explicit CSession(CStore& store) : store(store), lock(store.mutex) { BeginSession(store); }
    ~CSession() { EndSessionIfIdle(store); }
    CStore& store;
    std::lock_guard<std::mutex> lock;
};

// The open key behind a handle and the names of the path below it: the part
// that opening and creating a key share. ERROR_SUCCESS or the call's error.
std::int32_t ResolvePath(CStore& store, HKEY key, const char* subKey, COpenKey& predefined,
                         const COpenKey*& parent, std::vector<std::string_view>& names)
{
    parent = Resolve(store, key, predefined);
    if (!parent)
        return ERROR_INVALID_HANDLE;
    return SplitPath(subKey, names) ? ERROR_SUCCESS : ERROR_BAD_PATHNAME;
}

std::vector<std::string> Below(const std::vector<std::string>& path,
                               const std::vector<std::string_view>& names, std::size_t count)
{
    std::vector<std::string> below = path;
    below.insert(below.end(), names.begin(), names.begin() + static_cast<std::ptrdiff_t>(count));
    return below;
}

}  // namespace

std::int32_t RegOpenKeyExA(HKEY key, const char* subKey, std::uint32_t options,
                           std::uint32_t desired, HKEY* result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = HKEY{};
    if (options != 0)
        return ERROR_INVALID_PARAMETER;
    CSession session(Store());
    CStore& store = session.store;
    COpenKey predefined{};
    const COpenKey* parent = nullptr;
    std::vector<std::string_view> names;
    if (const std::int32_t error = ResolvePath(store, key, subKey, predefined, parent, names))
        return error;
    CRegKey* target = parent->key;
    for (std::string_view name : names) {
        target = target->Find(name);
        if (!target) {
            if (!store.readable)
                return ERROR_ACCESS_DENIED;
            return store.damaged ? ERROR_REGISTRY_CORRUPT : ERROR_FILE_NOT_FOUND;
        }
    }
    if ((desired & kWriteRights) && !store.writable)
        return ERROR_ACCESS_DENIED;
    *result = NewHandle(store, target, desired, Below(parent->path, names, names.size()));
    return ERROR_SUCCESS;
}

std::int32_t RegQueryValueExA(HKEY key, const char* valueName, std::uint32_t* reserved,
                              std::uint32_t* type, std::uint8_t* data,
                              std::uint32_t* dataSize)
{
    if (reserved || (data && !dataSize))
        return ERROR_INVALID_PARAMETER;
    CSession session(Store());
    COpenKey predefined{};
    const COpenKey* open = Resolve(session.store, key, predefined);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (!(open->access & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    const orn::registry::CRegValue* value = open->key->FindValue(valueName ? valueName : "");
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    const auto size = static_cast<std::uint32_t>(value->data.size());
    if (type)
        *type = value->type;
    if (data) {
        if (*dataSize < size) {
            *dataSize = size;
            return ERROR_MORE_DATA;
        }
        if (size)
            std::memcpy(data, value->data.data(), size);
    }
    if (dataSize)
        *dataSize = size;
    return ERROR_SUCCESS;
}

std::int32_t RegCreateKeyExA(HKEY key, const char* subKey, std::uint32_t /*reserved*/,
                             const char* /*className*/, std::uint32_t options,
                             std::uint32_t desired, const void* securityAttributes,
                             HKEY* result, std::uint32_t* disposition)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = HKEY{};
    if (options != REG_OPTION_NON_VOLATILE || securityAttributes)
        return ERROR_INVALID_PARAMETER;
    CSession session(Store());
    CStore& store = session.store;
    COpenKey predefined{};
    const COpenKey* parent = nullptr;
    std::vector<std::string_view> names;
    if (const std::int32_t error = ResolvePath(store, key, subKey, predefined, parent, names))
        return error;

    CRegKey* target = parent->key;
    std::size_t existing = 0;
    for (; existing < names.size(); ++existing) {
        CRegKey* next = target->Find(names[existing]);
        if (!next)
            break;
        target = next;
    }
    const bool create = existing < names.size();
    if (create) {
        if (!(parent->access & KEY_CREATE_SUB_KEY) || !store.writable)
            return ERROR_ACCESS_DENIED;
        if (parent->path.size() + names.size() > orn::registry::kMaxKeyDepth)
            return ERROR_INVALID_PARAMETER;
        for (std::size_t i = existing; i < names.size(); ++i)
            if (!Representable(names[i], orn::registry::kMaxKeyName))
                return ERROR_INVALID_PARAMETER;
    }
    if ((desired & kWriteRights) && !store.writable)
        return ERROR_ACCESS_DENIED;
    for (std::size_t i = existing; i < names.size(); ++i) {
        target = &target->Obtain(names[i]);
        target->listed = true;
        store.changes.push_back({CChange::Kind::CreateKey, Below(parent->path, names, i + 1), {}, 0, {}});
    }
    if (disposition)
        *disposition = create ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(store, target, desired, Below(parent->path, names, names.size()));
    return ERROR_SUCCESS;
}

std::int32_t RegSetValueExA(HKEY key, const char* valueName, std::uint32_t /*reserved*/,
                            std::uint32_t type, const std::uint8_t* data,
                            std::uint32_t dataSize)
{
    if (!data && dataSize)
        return ERROR_NOACCESS;
    const std::string_view name = valueName ? valueName : "";
    if (!Representable(name, orn::registry::kMaxValueName))
        return ERROR_INVALID_PARAMETER;
    CSession session(Store());
    CStore& store = session.store;
    COpenKey predefined{};
    const COpenKey* open = Resolve(store, key, predefined);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (!(open->access & KEY_SET_VALUE) || !store.writable)
        return ERROR_ACCESS_DENIED;
    std::vector<std::uint8_t> bytes(data, data + dataSize);
    open->key->SetValue(name, type, bytes, type == REG_SZ);
    store.changes.push_back({CChange::Kind::SetValue, open->path, std::string(name), type, std::move(bytes)});
    return ERROR_SUCCESS;
}

std::int32_t RegDeleteValueA(HKEY key, const char* valueName)
{
    CSession session(Store());
    CStore& store = session.store;
    COpenKey predefined{};
    const COpenKey* open = Resolve(store, key, predefined);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (!(open->access & KEY_SET_VALUE) || !store.writable)
        return ERROR_ACCESS_DENIED;
    const std::string name = valueName ? valueName : "";
    if (!open->key->RemoveValue(name))
        return ERROR_FILE_NOT_FOUND;
    store.changes.push_back({CChange::Kind::DeleteValue, open->path, name, 0, {}});
    return ERROR_SUCCESS;
}

std::int32_t RegCloseKey(HKEY key)
{
    if (key == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    CStore& store = Store();
    std::lock_guard lock(store.mutex);
    if (!store.handles.erase(static_cast<std::uintptr_t>(key)))
        return ERROR_INVALID_HANDLE;
    std::int32_t result = ERROR_SUCCESS;
    if (!store.changes.empty() && store.writable)
        result = SaveStore(store);
    if (store.handles.empty()) {
        store.loaded = false;
        store.tree = CRegTree{};
    }
    return result;
}

void SetRegistryStorePath(const std::string& path)
{
    CStore& store = Store();
    std::lock_guard lock(store.mutex);
    store.path = path;
}

std::string RegistryStorePath()
{
    CStore& store = Store();
    std::lock_guard lock(store.mutex);
    return store.path.empty() ? ChooseRegistryStorePath(kMachineStoreDir) : store.path;
}

std::string ChooseRegistryStorePath(const std::string& machineDir)
{
    const std::string machine = machineDir + "/" + kStoreName;
    struct stat st {};
    if (::stat(machineDir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
        ::faccessat(AT_FDCWD, machineDir.c_str(), W_OK | X_OK, AT_EACCESS) == 0)
        return machine;
    const std::string config = UserConfigDirectory();
    return config.empty() ? machine : config + "/orn/" + kStoreName;
}
