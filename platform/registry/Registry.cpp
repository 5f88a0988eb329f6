#include "platform/registry/Registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/registry/RegistryFile.h"

using orn::registry::CRegKey;
using orn::registry::CRegTree;

namespace {

constexpr const char* kDefaultStorePath = "/var/lib/orn/registry.reg";
constexpr std::string_view kLocalMachine = "HKEY_LOCAL_MACHINE";
// Keys every Windows host has, so they exist even in an empty store.
constexpr const char* kBuiltInKeys[] = {"SYSTEM", "CurrentControlSet", "Services"};
// Rights that change the store: set value, create sub-key, create link,
// delete, write DAC, write owner.
constexpr std::uint32_t kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK |
                                       0x00010000 | 0x00040000 | 0x00080000;
// A file beyond this is not a store somebody wrote; it is not read.
constexpr off_t kMaxStoreSize = 64 << 20;

struct COpenKey {
    CRegKey* key;
    std::uint32_t access;
};

struct CStore {
    std::mutex mutex;
    std::string path = kDefaultStorePath;

    // The session: from the first use after all handles were closed to the
    // last close.
    bool loaded = false;
    std::string sessionPath;
    CRegTree tree;
    bool readable = false;  // the file was read whole, or does not exist
    bool writable = false;
    bool damaged = false;   // the file held lines that were not read
    bool dirty = false;
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

// The save must be able to create a file in the directory (made first when
// missing) and must not override a file somebody made read-only.
bool CanWriteStore(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 &&
        (!S_ISREG(st.st_mode) || ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0))
        return false;
    std::string dir = DirectoryOf(path);
    while (true) {
        if (::stat(dir.c_str(), &st) == 0)
            return S_ISDIR(st.st_mode) &&
                   ::faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
        if (errno != ENOENT)
            return false;
        const std::string parent = DirectoryOf(dir);
        if (parent == dir)
            return false;
        dir = parent;
    }
}

// Reads the whole file. False when it exists and cannot be read.
bool ReadStoreFile(const std::string& path, std::string& text, bool& tooLarge)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR;  // no file: an empty store
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok && st.st_size > kMaxStoreSize) {
        tooLarge = true;
    } else if (ok) {
        text.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (ok) {
            // Read to the end even if the file grew since fstat.
            if (done == text.size())
                text.resize(text.size() + 4096);
            const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
            if (n > 0)
                done += static_cast<std::size_t>(n);
            else if (n == 0)
                break;
            else if (errno != EINTR)
                ok = false;
            if (done > static_cast<std::size_t>(kMaxStoreSize)) {
                tooLarge = true;
                break;
            }
        }
        text.resize(done);
    }
    ::close(fd);
    if (tooLarge)
        text.clear();
    return ok;
}

void BeginSession(CStore& store)
{
    if (store.loaded)
        return;
    store.loaded = true;
    store.sessionPath = store.path;
    store.tree = CRegTree{};
    store.dirty = false;
    std::string text;
    bool tooLarge = false;
    store.readable = ReadStoreFile(store.sessionPath, text, tooLarge);
    if (store.readable)
        store.tree = orn::registry::ParseRegistryText(text);
    store.damaged = tooLarge || store.tree.damagedLines > 0;
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
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
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

// A file that held lines this layer could not read is kept aside under a
// time-stamped name before the first save replaces it: what a person wrote by
// hand stays on disk. A hard link costs nothing; a copy serves where links
// are not allowed.
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

std::int32_t SaveStore(CStore& store)
{
    const std::string& path = store.sessionPath;
    const std::string dir = DirectoryOf(path);
    const std::string text = orn::registry::FormatRegistryText(store.tree);

    if (const int error = MakeDirectories(dir))
        return ErrorFromErrno(error);
    if (store.damaged) {
        if (const int error = KeepDamagedFile(path))
            return ErrorFromErrno(error);
        store.damaged = false;
    }

    mode_t mode = 0644;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        mode = st.st_mode & 07777;

    const std::size_t slash = path.rfind('/');
    std::string temp = dir + "/." + path.substr(slash == std::string::npos ? 0 : slash + 1) +
                       ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return ErrorFromErrno(errno);
    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
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
        return ErrorFromErrno(error);
    }
    // The rename itself is only durable once the directory is on disk.
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    store.dirty = false;
    return ERROR_SUCCESS;
}

// Ends the session when no handle is left, saving a change made through the
// predefined key alone.
void EndSessionIfIdle(CStore& store)
{
    if (!store.loaded || !store.handles.empty())
        return;
    if (store.dirty && store.writable)
        SaveStore(store);
    store.loaded = false;
    store.tree = CRegTree{};
}

// The key and the rights behind a handle; null for an unknown handle.
const COpenKey* Resolve(CStore& store, HKEY handle, COpenKey& predefined)
{
    if (handle == HKEY_LOCAL_MACHINE) {
        predefined = {store.tree.top.Find(kLocalMachine), KEY_ALL_ACCESS};
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

// Names that the file's sections and value lines can carry.
bool Representable(std::string_view name)
{
    return name.find_first_of("\r\n") == std::string_view::npos;
}

HKEY NewHandle(CStore& store, CRegKey* key, std::uint32_t access)
{
    const std::uintptr_t id = store.nextHandle++;
    store.handles[id] = {key, access};
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
        if (!target)
            return store.readable ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    }
    if ((desired & kWriteRights) && !store.writable)
        return ERROR_ACCESS_DENIED;
    *result = NewHandle(store, target, desired);
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
        for (std::size_t i = existing; i < names.size(); ++i)
            if (!Representable(names[i]))
                return ERROR_INVALID_PARAMETER;
    }
    if ((desired & kWriteRights) && !store.writable)
        return ERROR_ACCESS_DENIED;
    for (std::size_t i = existing; i < names.size(); ++i) {
        target = &target->Obtain(names[i]);
        target->listed = true;
        store.dirty = true;
    }
    if (disposition)
        *disposition = create ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(store, target, desired);
    return ERROR_SUCCESS;
}

std::int32_t RegSetValueExA(HKEY key, const char* valueName, std::uint32_t /*reserved*/,
                            std::uint32_t type, const std::uint8_t* data,
                            std::uint32_t dataSize)
{
    if (!data && dataSize)
        return ERROR_NOACCESS;
    const std::string_view name = valueName ? valueName : "";
    if (!Representable(name))
        return ERROR_INVALID_PARAMETER;
    CSession session(Store());
    CStore& store = session.store;
    COpenKey predefined{};
    const COpenKey* open = Resolve(store, key, predefined);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (!(open->access & KEY_SET_VALUE) || !store.writable)
        return ERROR_ACCESS_DENIED;
    open->key->SetValue(name, type, std::vector<std::uint8_t>(data, data + dataSize),
                        type == REG_SZ);
    store.dirty = true;
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
    if (!open->key->RemoveValue(valueName ? valueName : ""))
        return ERROR_FILE_NOT_FOUND;
    store.dirty = true;
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
    if (store.dirty && store.writable)
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
    store.path = path.empty() ? kDefaultStorePath : path;
}

std::string RegistryStorePath()
{
    CStore& store = Store();
    std::lock_guard lock(store.mutex);
    return store.path;
}
