#include "platform/win32/files.h"

#include "platform/crt/crt.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {
BOOL Done(bool ok, DWORD failure) {
    if (ok) return 1;
    SetLastError(failure);
    return 0;
}

DWORD ErrorFromErrno() {
    switch (errno) {
    case ENOENT:
    case ENOTDIR: return ERROR_FILE_NOT_FOUND;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    default: return ERROR_ACCESS_DENIED;
    }
}
} // namespace

namespace {
// Copies `from` to a new file `to` and deletes `from`; on failure `to` is removed again and
// `from` kept.
bool CopyThenDelete(const std::string& from, const std::string& to) {
    FILE* in = std::fopen(from.c_str(), "rb");
    if (!in) return false;
    FILE* out = std::fopen(to.c_str(), "wbx");
    if (!out) {
        std::fclose(in);
        return false;
    }
    char buffer[65536];
    bool ok = true;
    size_t n;
    while (ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        ok = std::fwrite(buffer, 1, n, out) == n;
    ok = ok && !std::ferror(in);
    std::fclose(in);
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        int saved = errno;
        unlink(to.c_str());
        errno = saved;
        return false;
    }
    return unlink(from.c_str()) == 0;
}
} // namespace

BOOL MoveFileA(const char* existingName, const char* newName) {
    if (!existingName || !newName) return Done(false, ERROR_INVALID_PARAMETER);
    std::string from = PlatformResolvePath(existingName);
    std::string to = PlatformResolvePath(newName);
    struct stat st;
    if (lstat(to.c_str(), &st) == 0) return Done(false, ERROR_ALREADY_EXISTS);
    if (std::rename(from.c_str(), to.c_str()) == 0) return Done(true, 0);
    if (errno != EXDEV) return Done(false, ErrorFromErrno());
    // Across file systems a move is a copy and a delete, as on the old platform.
    bool ok = CopyThenDelete(from, to);
    return Done(ok, ok ? 0 : ErrorFromErrno());
}

BOOL CreateDirectoryA(const char* path, void*) {
    if (!path) return Done(false, ERROR_INVALID_PARAMETER);
    bool ok = mkdir(PlatformResolvePath(path).c_str(), 0777) == 0;
    return Done(ok, ok ? 0 : ErrorFromErrno());
}

BOOL DeleteFileA(const char* path) {
    if (!path) return Done(false, ERROR_INVALID_PARAMETER);
    bool ok = unlink(PlatformResolvePath(path).c_str()) == 0;
    return Done(ok, ok ? 0 : ErrorFromErrno());
}

BOOL SetFileAttributesA(const char* path, DWORD attributes) {
    if (!path) return Done(false, ERROR_INVALID_PARAMETER);
    std::string name = PlatformResolvePath(path);
    struct stat st;
    if (stat(name.c_str(), &st) != 0) return Done(false, ErrorFromErrno());
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & FILE_ATTRIBUTE_READONLY) ? mode & ~mode_t(0222) : mode | S_IWUSR;
    bool ok = chmod(name.c_str(), mode) == 0;
    return Done(ok, ok ? 0 : ErrorFromErrno());
}

std::string PlatformTempFileName() {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/vkXXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd < 0) return std::string();
    // The name is reserved only while it is made; the caller creates the file itself.
    close(fd);
    unlink(pattern.c_str());
    return pattern;
}
