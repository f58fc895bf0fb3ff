// Last error, named mutexes, handles and sleeping.
#include "platform/win32/handles.h"

#include "platform/win32/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <string>
#include <mutex>
#include <thread>
#include <unordered_set>

namespace {
thread_local DWORD g_lastError = 0;

std::mutex g_handlesLock;
std::unordered_set<Win32Object*>& Handles() {
    static std::unordered_set<Win32Object*> handles;
    return handles;
}

struct MutexObject : Win32Object {
    int fd = -1;
    bool owned = false;
    ~MutexObject() override {
        if (fd >= 0) close(fd);
    }
};

// A lock file of our own: a regular file, not reached through a link, owned by this user.
int OpenLockFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
        close(fd);
        return -1;
    }
    return fd;
}

// The lock file of a named mutex, opened in the first folder that can hold it: the runtime
// folder, the settings folder (made when missing, and only when needed), then a name in /tmp
// that carries the user id, so that two users never share a lock. -1 when none can.
int OpenNamedLock(const char* name) {
    std::string file = "marovant-";
    for (const char* p = name; *p; ++p)
        file += (*p == '/' || *p == '\\') ? '_' : *p;
    file += ".lock";
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    int fd = runtime && *runtime ? OpenLockFile(std::string(runtime) + "/" + file) : -1;
    if (fd < 0) {
        std::string settings = PlatformSettingsFolder();
        if (!settings.empty()) fd = OpenLockFile(settings + "/" + file);
    }
    if (fd < 0)
        fd = OpenLockFile("/tmp/marovant-" + std::to_string(geteuid()) + "-" + file.substr(9));
    return fd;
}
} // namespace

HANDLE Win32AddHandle(Win32Object* object) {
    std::lock_guard<std::mutex> lock(g_handlesLock);
    Handles().insert(object);
    return object;
}

Win32Object* Win32LookupHandle(HANDLE handle) {
    std::lock_guard<std::mutex> lock(g_handlesLock);
    auto it = Handles().find(static_cast<Win32Object*>(handle));
    return it == Handles().end() ? nullptr : *it;
}

DWORD GetLastError() {
    return g_lastError;
}
void SetLastError(DWORD code) {
    g_lastError = code;
}

HANDLE CreateMutexA(void*, BOOL initialOwner, const char* name) {
    SetLastError(ERROR_SUCCESS);
    auto* m = new MutexObject;
    if (!name || !*name) {
        m->owned = initialOwner != 0;
        return Win32AddHandle(m);
    }
    // The lock is held for as long as the handle is open; the kernel drops it when the
    // holder dies, so a crashed copy never blocks the next start.
    m->fd = OpenNamedLock(name);
    if (m->fd < 0) {
        fprintf(stderr, "Warning: no folder can hold the lock \"%s\"; starting without it\n", name);
        fflush(stderr);
        m->owned = initialOwner != 0;
        return Win32AddHandle(m);
    }
    if (flock(m->fd, LOCK_EX | LOCK_NB) != 0) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return Win32AddHandle(m);
    }
    m->owned = initialOwner != 0;
    return Win32AddHandle(m);
}

BOOL ReleaseMutex(HANDLE handle) {
    auto* m = Win32HandleAs<MutexObject>(handle);
    if (!m || !m->owned) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    m->owned = false;
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
    Win32Object* object = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_handlesLock);
        auto it = Handles().find(static_cast<Win32Object*>(handle));
        if (it != Handles().end()) {
            object = *it;
            Handles().erase(it);
        }
    }
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete object;
    return TRUE;
}

void Sleep(DWORD ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
