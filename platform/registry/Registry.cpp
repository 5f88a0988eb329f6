#include "platform/registry/Registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/fs/SafeFile.h"
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
    std::string refusedDir;  // where a directory not to write in stopped it, and why
    const char* refusedWhy = nullptr;
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

// $XDG_CONFIG_HOME, else ~/.config, of the running user; empty without a home.
std::string UserConfigDirectory()
{
    return orn::fs::OwnUserDirectory("XDG_CONFIG_HOME", ".config");
}

// Whether a directory may hold this user's store: the user's own, or root's
// that not everybody may write (the machine-wide one, shared through its
// group). Like ssh and gpg, the program writes nothing into another user's
// directory: whoever owns it can swap what is in it, and root, running with
// a user's HOME under sudo, must not act on the user's files.
bool MayHoldStore(const struct stat& dir)
{
    return dir.st_uid == ::geteuid() || (dir.st_uid == 0 && !(dir.st_mode & S_IWOTH));
}

constexpr const char* kNotOwn = "the directory belongs to another user";

// Says once per directory why the filter set is not saved there.
void Complain(const std::string& dir, const char* why)
{
    const int error = errno;
    static std::mutex mutex;
    static std::vector<std::string> told;
    std::lock_guard lock(mutex);
    if (std::find(told.begin(), told.end(), dir) != told.end())
        return;
    told.push_back(dir);
    std::fprintf(stderr, "orn: the filter set is not saved in %s: %s\n", dir.c_str(), why);
    errno = error;
}

// The save must be able to create a file in the store's directory (made
// first when missing, inside a directory that may hold the store), as a save
// replaces the file with a rename there. So the directory decides: a file
// that another user made read-only locks nobody out. One that this user made
// read-only stays as the user wants it.
bool CanWriteStore(const std::string& path, CStore& store)
{
    const std::string storeDir = DirectoryOf(path);
    std::string dir = storeDir;
    struct stat st {};
    while (true) {
        // The store's directory itself is never reached through a link.
        const int found = dir == storeDir ? ::lstat(dir.c_str(), &st) : ::stat(dir.c_str(), &st);
        if (found == 0)
            break;
        if (errno != ENOENT)
            return false;
        const std::string parent = DirectoryOf(dir);
        if (parent == dir)
            return false;
        dir = parent;
    }
    if (!S_ISDIR(st.st_mode) || ::faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return false;
    if (!MayHoldStore(st)) {
        store.refusedDir = dir;
        store.refusedWhy = kNotOwn;
        return false;
    }
    struct stat file {};
    if (dir != storeDir || ::lstat(path.c_str(), &file) != 0)
        return true;
    const uid_t me = ::geteuid();
    if (!S_ISREG(file.st_mode) || (file.st_uid == me && (file.st_mode & 0222) == 0))
        return false;
    // In a sticky directory only a file's owner may replace it.
    return !((st.st_mode & S_ISVTX) && me != 0 && file.st_uid != me && st.st_uid != me);
}

enum class FileRead { Read, Missing, Refused, Unreadable };

// Reads the whole file name of dir. Only a lone regular file is read: a FIFO
// would block the start-up, a device or a directory is no store, a link may
// point anywhere, and a second hard link may be a file of somebody else's.
// Nothing else is even opened. source: the file as it was opened.
FileRead ReadStoreFile(const orn::fs::CFd& dir, const std::string& name, std::string& text, struct stat& source)
{
    text.clear();
    if (!dir)
        return errno == ENOENT || errno == ENOTDIR ? FileRead::Missing : FileRead::Unreadable;
    const orn::fs::CFd fd = orn::fs::OpenExisting(dir.Get(), name, orn::fs::kAnyOwner);
    if (!fd)
        return errno == ENOENT ? FileRead::Missing : FileRead::Unreadable;
    if (::fstat(fd.Get(), &source) != 0)
        return FileRead::Unreadable;
    FileRead result = FileRead::Read;
    if (source.st_size > kMaxStoreSize) {
        result = FileRead::Refused;
    } else {
        text.resize(static_cast<std::size_t>(source.st_size));
        std::size_t done = 0;
        while (result == FileRead::Read) {
            // Read to the end even if the file grew since fstat.
            if (done == text.size())
                text.resize(text.size() + 4096);
            const ssize_t n = ::read(fd.Get(), text.data() + done, text.size() - done);
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
    if (result != FileRead::Read)
        std::string().swap(text);
    return result;
}

// The file's tree; `damaged` when lines were left out or the file refused.
CRegTree ReadStoreTree(const orn::fs::CFd& dir, const std::string& name, FileRead& read, bool& damaged,
                       std::string& text, struct stat& source)
{
    read = ReadStoreFile(dir, name, text, source);
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
    std::string text;
    struct stat source {};
    store.refusedDir = DirectoryOf(store.sessionPath);
    const orn::fs::CFd dir = orn::fs::OpenDirectory(store.refusedDir);
    store.refusedWhy = !dir && errno == ELOOP ? "it is a symbolic link" : nullptr;
    store.tree = ReadStoreTree(dir, BaseNameOf(store.sessionPath), read, store.damaged, text, source);
    store.readable = read != FileRead::Unreadable;
    // A store that could not be read is never written over.
    store.writable = store.readable && CanWriteStore(store.sessionPath, store);
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

// Who may use the files a save creates: the directory's group, and writing
// for that group where the directory gives it (the machine-wide store of a
// package, group orn and setgid, gives it to every member). Set explicitly,
// so that neither the umask nor the saving user (root under sudo included)
// can lock the others out.
struct CSharing {
    gid_t group;
    mode_t mode;
};

// Saves of several processes take turns: each holds flock on the store's
// directory itself, which nobody can swap for another file the way a lock
// file could be. 0 or an errno value; ETIMEDOUT when another save held it
// too long. The lock goes with the descriptor.
int LockDirectory(int dirFd)
{
    const auto until = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(dirFd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return errno;
        if (std::chrono::steady_clock::now() >= until)
            return ETIMEDOUT;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

// A file that held lines this layer could not read is kept aside under a
// time-stamped name before a save replaces it: what a person wrote by hand
// stays on disk. The copy is written from the bytes the save read through its
// own descriptor, never from the name, which may have been swapped for a link
// to a file nobody else may read since. It is this user's new file, readable
// by nobody who could not read the original. A file too large to be read is
// renamed aside instead: a rename moves a name, never a file's bytes.
int KeepDamagedFile(int dirFd, const std::string& name, FileRead read, const std::string& bytes,
                    const struct stat& source, const CSharing& sharing)
{
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    mode_t mode = 0600 | (source.st_mode & 0004);
    if (source.st_gid == sharing.group)
        mode |= source.st_mode & 0060;
    mode &= sharing.mode;
    for (int n = 0; n < 100; ++n) {
        const std::string aside = name + ".damaged-" + stamp + (n ? "." + std::to_string(n) : std::string());
        if (read == FileRead::Refused) {
            if (::renameat2(dirFd, name.c_str(), dirFd, aside.c_str(), RENAME_NOREPLACE) == 0 || errno == ENOENT)
                return 0;
            if (errno == EEXIST)
                continue;
            return errno;
        }
        const orn::fs::CFd fd = orn::fs::CreateNew(dirFd, aside, mode, sharing.group);
        if (!fd && errno == EEXIST)
            continue;
        if (fd && orn::fs::WriteAll(fd.Get(), bytes) && ::fsync(fd.Get()) == 0)
            return 0;
        const int error = errno;
        if (fd)
            ::unlinkat(dirFd, aside.c_str(), 0);
        return error;
    }
    return EEXIST;
}

bool IsTemporarySuffix(std::string_view suffix)
{
    return suffix.size() == 6 && std::all_of(suffix.begin(), suffix.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
           });
}

// A name for a temporary file of the save (".registry.reg.XXXXXX").
std::string TemporaryName(const std::string& name)
{
    static constexpr char kLetters[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string temporary = "." + name + ".";
    for (int i = 0; i < 6; ++i)
        temporary += kLetters[pick(random)];
    return temporary;
}

// Temporary files of saves that died before their rename. Saves run under
// the lock, so one older than a minute has no writer left.
void RemoveStaleTemporaries(int dirFd, const std::string& name)
{
    const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* entries = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!entries) {
        if (listFd >= 0)
            ::close(listFd);
        return;
    }
    const std::string prefix = "." + name + ".";
    const std::time_t before = std::time(nullptr) - kStaleTemporary;
    while (const dirent* entry = ::readdir(entries)) {
        const std::string_view found = entry->d_name;
        struct stat st {};
        if (found.starts_with(prefix) && IsTemporarySuffix(found.substr(prefix.size())) &&
            ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && st.st_mtime < before)
            ::unlinkat(dirFd, entry->d_name, 0);
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

// Writes text as the file name of dir through a new temporary file and a rename.
int WriteStoreFile(int dirFd, const std::string& name, const std::string& text, const CSharing& sharing)
{
    std::string temporary;
    orn::fs::CFd fd;
    for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
        temporary = TemporaryName(name);
        fd = orn::fs::CreateNew(dirFd, temporary, sharing.mode, sharing.group);
        if (!fd && errno != EEXIST)
            return errno;
    }
    if (!fd)
        return EEXIST;
    bool ok = orn::fs::WriteAll(fd.Get(), text) && ::fsync(fd.Get()) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd.Release()) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::renameat(dirFd, temporary.c_str(), dirFd, name.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlinkat(dirFd, temporary.c_str(), 0);
        return error;
    }
    // The rename itself is only durable once the directory is on disk.
    ::fsync(dirFd);
    return 0;
}

std::int32_t SaveStore(CStore& store)
{
    const std::string& path = store.sessionPath;
    const std::string dirPath = DirectoryOf(path), name = BaseNameOf(path);
    if (const int error = MakeDirectories(dirPath))
        return ErrorFromErrno(error);
    const orn::fs::CFd dir = orn::fs::OpenDirectory(dirPath);
    struct stat st {};
    if (!dir || ::fstat(dir.Get(), &st) != 0)
        return ErrorFromErrno(errno);
    if (!MayHoldStore(st)) {
        Complain(dirPath, kNotOwn);
        return ERROR_ACCESS_DENIED;
    }
    const CSharing sharing{st.st_gid, static_cast<mode_t>(0644 | (st.st_mode & S_IWGRP))};
    if (const int error = LockDirectory(dir.Get()))
        return ErrorFromErrno(error);
    // Under the lock, the file as the last save left it: this session's
    // changes are made again on it, so that another process's keep.
    FileRead read = FileRead::Missing;
    bool damaged = false;
    std::string text;
    struct stat source {};
    CRegTree current = ReadStoreTree(dir, name, read, damaged, text, source);
    if (read == FileRead::Unreadable)
        return ERROR_ACCESS_DENIED;
    if (damaged) {
        if (const int error = KeepDamagedFile(dir.Get(), name, read, text, source, sharing))
            return ErrorFromErrno(error);
    }
    Replay(current, store.changes);
    RemoveStaleTemporaries(dir.Get(), name);
    if (const int error = WriteStoreFile(dir.Get(), name, orn::registry::FormatRegistryText(current), sharing))
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

// A change refused because the store cannot be written; where the reason is
// a directory that must not be written in, the user is told, once.
std::int32_t RefuseWrite(CStore& store)
{
    if (store.refusedWhy)
        Complain(store.refusedDir, store.refusedWhy);
    return ERROR_ACCESS_DENIED;
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
        return RefuseWrite(store);
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
        if (!(parent->access & KEY_CREATE_SUB_KEY))
            return ERROR_ACCESS_DENIED;
        if (!store.writable)
            return RefuseWrite(store);
        if (parent->path.size() + names.size() > orn::registry::kMaxKeyDepth)
            return ERROR_INVALID_PARAMETER;
        for (std::size_t i = existing; i < names.size(); ++i)
            if (!Representable(names[i], orn::registry::kMaxKeyName))
                return ERROR_INVALID_PARAMETER;
    }
    if ((desired & kWriteRights) && !store.writable)
        return RefuseWrite(store);
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
