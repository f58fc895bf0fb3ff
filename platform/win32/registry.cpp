#include "platform/win32/registry.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// One key per section line "[HKCU\path]" or "[HKLM\path]"; one value per line
// "name=type:hexbytes" under it. Names and paths escape unsafe bytes as %XX.
struct PlatformRegKey {
    std::string root; // "HKCU" or "HKLM"
    std::string path; // normalised, without leading or trailing separators
};

namespace {

constexpr size_t kMaxFileSize = 16u << 20;
constexpr size_t kMaxNameSize = 16383;
// Temporary copies are the file's name, this and six characters mkstemp chooses.
constexpr char kTemporarySuffix[] = ".tmp-";

struct Value {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct Key {
    std::string root;
    std::string path;
    std::map<std::string, Value> values; // by lower-case name
};

using Store = std::map<std::string, Key>; // by root + "\" + lower-case path

std::string g_fileOverride;
std::set<PlatformRegKey*> g_handles;

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string KeyId(const std::string& root, const std::string& path) {
    return root + "\\" + Lower(path);
}

// Joins and normalises key paths: separators collapse, none at either end.
std::string JoinPath(const std::string& base, const char* sub) {
    std::string all = base;
    if (sub) all += std::string("\\") + sub;
    std::string out;
    for (char c : all) {
        if (c == '\\' || c == '/') {
            if (!out.empty() && out.back() != '\\') out += '\\';
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == '\\')
        out.pop_back();
    return out;
}

std::string Escape(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (std::isalnum(c) || c == ' ' || c == '.' || c == '_' || c == '-' || c == '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool Unescape(const std::string& s, std::string* out) {
    out->clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            *out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return false;
        int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
        if (hi < 0 || lo < 0) return false;
        *out += static_cast<char>(hi << 4 | lo);
        i += 2;
    }
    return true;
}

std::string DefaultFile() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string dir;
    if (config && *config) {
        dir = config;
    } else {
        const char* home = std::getenv("HOME");
        dir = std::string(home && *home ? home : ".") + "/.config";
    }
    return dir + "/marovant/settings.reg";
}

void AddKey(Store& store, const std::string& root, const std::string& path) {
    // Parents exist whenever a child does.
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i != path.size() && path[i] != '\\') continue;
        std::string part = path.substr(0, i);
        Key& k = store[KeyId(root, part)];
        if (k.root.empty()) {
            k.root = root;
            k.path = part;
        }
    }
}

// Reads the whole file. No file gives an empty text; a file that cannot be read, is not a
// regular file or is over the size cap gives false, so that it is never written over.
bool ReadFile(std::string* text) {
    text->clear();
    // Without blocking: a fifo or device in its place is refused, not waited on.
    int fd = open(PlatformRegistryFile().c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<uint64_t>(st.st_size) <= kMaxFileSize;
    char chunk[4096];
    while (ok) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        text->append(chunk, static_cast<size_t>(n));
        ok = text->size() <= kMaxFileSize; // it may have grown since fstat
    }
    close(fd);
    return ok;
}

// The stored keys. Malformed lines are skipped; a value line outside any key is ignored.
// False, with only the roots, when the file is there but cannot be used.
bool Load(Store* out) {
    Store& store = *out;
    store.clear();
    AddKey(store, "HKCU", "");
    AddKey(store, "HKLM", "");
    std::string text;
    if (!ReadFile(&text)) return false;

    Key* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            current = nullptr;
            if (line.size() < 6 || line.back() != ']') continue;
            std::string root = line.substr(1, 4);
            if (root != "HKCU" && root != "HKLM") continue;
            std::string path;
            std::string body = line.substr(5, line.size() - 6);
            if (!body.empty() && body[0] != '\\') continue;
            if (!Unescape(body, &path)) continue;
            path = JoinPath(path, nullptr);
            AddKey(store, root, path);
            current = &store[KeyId(root, path)];
            continue;
        }
        if (!current) continue;
        size_t eq = line.find('=');
        size_t colon = eq == std::string::npos ? eq : line.find(':', eq);
        if (colon == std::string::npos) continue;
        Value v;
        if (!Unescape(line.substr(0, eq), &v.name) || v.name.size() > kMaxNameSize) continue;
        std::string typeText = line.substr(eq + 1, colon - eq - 1);
        if (typeText.empty() || typeText.size() > 10 ||
            typeText.find_first_not_of("0123456789") != std::string::npos)
            continue;
        unsigned long type = std::strtoul(typeText.c_str(), nullptr, 10);
        if (type > 0xFFFFFFFFul) continue;
        v.type = static_cast<DWORD>(type);
        std::string hex = line.substr(colon + 1);
        if (hex.size() % 2 != 0) continue;
        bool ok = true;
        for (size_t i = 0; i < hex.size() && ok; i += 2) {
            int hi = HexValue(hex[i]), lo = HexValue(hex[i + 1]);
            ok = hi >= 0 && lo >= 0;
            if (ok) v.data.push_back(static_cast<BYTE>(hi << 4 | lo));
        }
        if (!ok) continue;
        if ((v.type == REG_SZ || v.type == REG_EXPAND_SZ) && (v.data.empty() || v.data.back() != 0))
            v.data.push_back(0);
        current->values[Lower(v.name)] = std::move(v);
    }
    return true;
}

// Reads give the defaults when the file cannot be used.
Store Load() {
    Store store;
    Load(&store);
    return store;
}

bool MakeDirs(const std::string& dir) {
    for (size_t i = 1; i <= dir.size(); ++i) {
        if (i != dir.size() && dir[i] != '/') continue;
        std::string part = dir.substr(0, i);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// Written to a temporary file beside the real one and renamed over it, so a crash never
// leaves half a file.
bool Save(const Store& store) {
    std::string text = "# Marovant settings\n";
    for (const auto& [id, key] : store) {
        text += "[" + key.root + "\\" + Escape(key.path) + "]\n";
        for (const auto& [lower, v] : key.values) {
            text += Escape(v.name) + "=" + std::to_string(v.type) + ":";
            for (BYTE b : v.data) {
                char hex[3];
                std::snprintf(hex, sizeof hex, "%02x", b);
                text += hex;
            }
            text += "\n";
        }
    }
    std::string file = PlatformRegistryFile();
    std::string tmp = file + kTemporarySuffix + "XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) return false;
    bool ok = true;
    for (size_t done = 0; ok && done < text.size();) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    ok = fsync(fd) == 0 && ok;
    ok = close(fd) == 0 && ok;
    if (ok) ok = std::rename(name.data(), file.c_str()) == 0;
    if (!ok) unlink(name.data());
    return ok;
}

// Temporary copies ("settings.reg.tmp-XXXXXX") left by writers that died before their rename.
// Only called under the lock, when no other writer can have one open.
void RemoveStaleCopies() {
    std::string file = PlatformRegistryFile();
    size_t slash = file.rfind('/');
    std::string dir = slash == std::string::npos ? "." : file.substr(0, slash ? slash : 1);
    std::string prefix =
        (slash == std::string::npos ? file : file.substr(slash + 1)) + kTemporarySuffix;
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        std::string entry = e->d_name;
        if (entry.size() != prefix.size() + 6 || entry.compare(0, prefix.size(), prefix) != 0)
            continue;
        bool generated = true;
        for (size_t i = prefix.size(); i < entry.size(); ++i)
            generated = generated && std::isalnum(static_cast<unsigned char>(entry[i]));
        if (generated) unlinkat(dirfd(d), e->d_name, 0);
    }
    closedir(d);
}

// An exclusive lock on "settings.reg.lock" beside the file, held while a change reads,
// alters and writes it, so that writers in other processes never lose each other's values.
class FileLock {
public:
    FileLock() {
        if (PlatformSettingsFolder().empty()) return;
        fd_ = open((PlatformRegistryFile() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        while (fd_ >= 0 && flock(fd_, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            close(fd_);
            fd_ = -1;
        }
    }
    ~FileLock() {
        if (fd_ >= 0) close(fd_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Reads, alters and writes the stored keys under the lock. `change` returns its result and
// sets its flag when the store must be written. A file that cannot be read or written makes
// the change fail as a refused write.
template <typename Change> LONG ChangeStore(Change change) {
    FileLock lock;
    if (!lock.Held()) return ERROR_ACCESS_DENIED;
    Store store;
    if (!Load(&store)) return ERROR_ACCESS_DENIED;
    bool write = false;
    LONG result = change(store, write);
    if (result != ERROR_SUCCESS || !write) return result;
    if (!Save(store)) return ERROR_ACCESS_DENIED;
    RemoveStaleCopies();
    return ERROR_SUCCESS;
}

// The root and path a handle stands for; false for an unknown handle.
bool Resolve(HKEY key, std::string* root, std::string* path) {
    if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE) {
        *root = key == HKEY_CURRENT_USER ? "HKCU" : "HKLM";
        path->clear();
        return true;
    }
    if (!g_handles.count(key)) return false;
    *root = key->root;
    *path = key->path;
    return true;
}

HKEY NewHandle(const std::string& root, const std::string& path) {
    HKEY h = new PlatformRegKey{root, path};
    g_handles.insert(h);
    return h;
}

bool IsString(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

} // namespace

void PlatformSetRegistryFile(const std::string& path) {
    g_fileOverride = path;
}

std::string PlatformRegistryFile() {
    return g_fileOverride.empty() ? DefaultFile() : g_fileOverride;
}

std::string PlatformSettingsFolder() {
    std::string file = PlatformRegistryFile();
    size_t slash = file.rfind('/');
    if (slash == std::string::npos) return ".";
    std::string dir = file.substr(0, slash ? slash : 1);
    return MakeDirs(dir) ? dir : std::string();
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD, REGSAM, void*, PHKEY result,
                     DWORD* disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::string root, base;
    if (!Resolve(key, &root, &base)) return ERROR_INVALID_HANDLE;
    std::string path = JoinPath(base, subKey);
    bool exists = false;
    LONG res = ChangeStore([&](Store& store, bool& write) {
        exists = store.count(KeyId(root, path)) != 0;
        if (!exists) AddKey(store, root, path);
        write = !exists;
        return static_cast<LONG>(ERROR_SUCCESS);
    });
    if (res != ERROR_SUCCESS) return res;
    if (disposition) *disposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = NewHandle(root, path);
    return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::string root, base;
    if (!Resolve(key, &root, &base)) return ERROR_INVALID_HANDLE;
    std::string path = JoinPath(base, subKey);
    if (!Load().count(KeyId(root, path))) return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(root, path);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
    if (!g_handles.erase(key)) return ERROR_INVALID_HANDLE;
    delete key;
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, LPBYTE data,
                      DWORD* size) {
    std::string root, path;
    if (!Resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
    if (data && !size) return ERROR_INVALID_PARAMETER;
    Store store = Load();
    auto k = store.find(KeyId(root, path));
    if (k == store.end()) return ERROR_FILE_NOT_FOUND;
    auto v = k->second.values.find(Lower(valueName ? valueName : ""));
    if (v == k->second.values.end()) return ERROR_FILE_NOT_FOUND;
    const Value& value = v->second;
    if (type) *type = value.type;
    DWORD needed = static_cast<DWORD>(value.data.size());
    if (!data) {
        if (size) *size = needed;
        return ERROR_SUCCESS;
    }
    if (*size < needed) {
        // The caller gets an empty string rather than unterminated bytes.
        if (IsString(value.type) && *size > 0) data[0] = 0;
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (needed) std::memcpy(data, value.data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data,
                    DWORD size) {
    std::string root, path;
    if (!Resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
    if (!data && size) return ERROR_INVALID_PARAMETER;
    Value v;
    v.name = valueName ? valueName : "";
    if (v.name.size() > kMaxNameSize) return ERROR_INVALID_PARAMETER;
    v.type = type;
    if (IsString(type)) {
        size_t len = data ? strnlen(reinterpret_cast<const char*>(data), size) : 0;
        v.data.assign(data, data + len);
        v.data.push_back(0);
    } else if (size) {
        v.data.assign(data, data + size);
    }
    return ChangeStore([&](Store& store, bool& write) {
        auto k = store.find(KeyId(root, path));
        if (k == store.end()) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
        k->second.values[Lower(v.name)] = std::move(v);
        write = true;
        return static_cast<LONG>(ERROR_SUCCESS);
    });
}

namespace {
// Names of the direct sub-keys of root\path, in the store's order (lower-case paths).
std::vector<std::string> SubKeys(const Store& store, const std::string& root,
                                 const std::string& path) {
    std::vector<std::string> names;
    const std::string prefix = path.empty() ? std::string() : path + "\\";
    for (const auto& [id, k] : store) {
        if (k.root != root || k.path.size() <= prefix.size() || k.path == path) continue;
        if (Lower(k.path.substr(0, prefix.size())) != Lower(prefix)) continue;
        std::string rest = k.path.substr(prefix.size());
        if (rest.find('\\') == std::string::npos) names.push_back(rest);
    }
    return names;
}
} // namespace

LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD*, char* className,
                   DWORD* classSize, void*) {
    std::string root, path;
    if (!Resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
    if (!name || !nameSize) return ERROR_INVALID_PARAMETER;
    Store store = Load();
    if (!store.count(KeyId(root, path))) return ERROR_FILE_NOT_FOUND;
    std::vector<std::string> names = SubKeys(store, root, path);
    if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
    const std::string& found = names[index];
    if (found.size() + 1 > *nameSize) return ERROR_MORE_DATA;
    std::memcpy(name, found.c_str(), found.size() + 1);
    *nameSize = static_cast<DWORD>(found.size());
    if (className && classSize && *classSize > 0) className[0] = 0;
    if (classSize) *classSize = 0;
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, const char* subKey) {
    std::string root, base;
    if (!Resolve(key, &root, &base)) return ERROR_INVALID_HANDLE;
    if (!subKey || !*subKey) return ERROR_INVALID_PARAMETER;
    std::string path = JoinPath(base, subKey);
    if (path.empty()) return ERROR_ACCESS_DENIED; // the roots stay
    return ChangeStore([&](Store& store, bool& write) {
        auto k = store.find(KeyId(root, path));
        if (k == store.end()) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
        if (!SubKeys(store, root, path).empty()) return static_cast<LONG>(ERROR_ACCESS_DENIED);
        store.erase(k);
        write = true;
        return static_cast<LONG>(ERROR_SUCCESS);
    });
}

LONG RegDeleteValueA(HKEY key, const char* valueName) {
    std::string root, path;
    if (!Resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
    std::string name = Lower(valueName ? valueName : "");
    return ChangeStore([&](Store& store, bool& write) {
        auto k = store.find(KeyId(root, path));
        if (k == store.end() || !k->second.values.erase(name))
            return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
        write = true;
        return static_cast<LONG>(ERROR_SUCCESS);
    });
}
