#include "platform/win32/files.h"

#include "platform/crt/crt.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
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
// `from` kept. The new file is made exclusively (a name that appeared meanwhile, or a link
// planted there, is not written through) and gets the old file's mode.
bool CopyThenDelete(const std::string& from, const std::string& to) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st;
    bool stated = fstat(in, &st) == 0;
    if (!stated || !S_ISREG(st.st_mode)) {
        int saved = stated ? EISDIR : errno; // only files are copied
        close(in);
        errno = saved;
        return false;
    }
    mode_t mode = st.st_mode & 07777;
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode & 0777);
    if (out < 0) {
        int saved = errno;
        close(in);
        errno = saved;
        return false;
    }
    char buffer[65536];
    int failure = 0;
    for (;;) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) failure = errno;
            break;
        }
        for (ssize_t at = 0; !failure && at < n;) {
            ssize_t put = write(out, buffer + at, size_t(n - at));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0)
                failure = put < 0 ? errno : EIO;
            else
                at += put;
        }
        if (failure) break;
    }
    // The umask does not narrow the moved file's mode.
    if (!failure && fchmod(out, mode) != 0) failure = errno;
    close(in);
    if (close(out) != 0 && !failure) failure = errno;
    if (failure) {
        unlink(to.c_str());
        errno = failure;
        return false;
    }
    return unlink(from.c_str()) == 0;
}

// Renames without ever replacing `to`: atomically where the file system can, else through a
// hard link (which fails on an existing name) and an unlink.
int RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return -1;
    struct stat st;
    if (lstat(from.c_str(), &st) != 0) return -1;
    if (!S_ISDIR(st.st_mode)) {
        if (link(from.c_str(), to.c_str()) != 0) return -1;
        return unlink(from.c_str());
    }
    // A folder cannot be linked; it is renamed when the name is still free.
    if (lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return std::rename(from.c_str(), to.c_str());
}
} // namespace

BOOL MoveFileA(const char* existingName, const char* newName) {
    if (!existingName || !newName) return Done(false, ERROR_INVALID_PARAMETER);
    std::string from = PlatformResolvePath(existingName);
    std::string to = PlatformResolvePath(newName);
    if (RenameNoReplace(from, to) == 0) return Done(true, 0);
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

FILE* PlatformCreateTempFile(const char* folder, std::string* name) {
    std::string prefix = folder && *folder ? PlatformResolvePath(folder) : std::string();
    if (!prefix.empty() && prefix.back() != '/') prefix += '/';
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string pattern = prefix + "vkXXXXXX";
        // mkstemp creates with O_CREAT | O_EXCL: an existing name or a planted link fails it.
        int fd = mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) return nullptr;
        // Game names match ignoring case: a name that would find another file is not handed out.
        FILE* file = PlatformResolvePath(pattern.c_str()) == pattern ? fdopen(fd, "w+b") : nullptr;
        if (file) {
            *name = pattern;
            return file;
        }
        close(fd);
        unlink(pattern.c_str());
    }
    return nullptr;
}
