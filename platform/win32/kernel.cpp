// Last error, named mutexes, handles and sleeping.
#include "platform/win32/handles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
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

std::string LockPath(const char* name) {
    const char* dir = getenv("XDG_RUNTIME_DIR");
    std::string path = (dir && *dir) ? dir : "/tmp";
    path += "/marovant-";
    for (const char* p = name; *p; ++p) path += (*p == '/' || *p == '\\') ? '_' : *p;
    path += ".lock";
    return path;
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

DWORD GetLastError() { return g_lastError; }
void SetLastError(DWORD code) { g_lastError = code; }

HANDLE CreateMutexA(void*, BOOL initialOwner, const char* name) {
    SetLastError(ERROR_SUCCESS);
    auto* m = new MutexObject;
    if (!name || !*name) {
        m->owned = initialOwner != 0;
        return Win32AddHandle(m);
    }
    // The lock is held for as long as the handle is open; the kernel drops it when the
    // holder dies, so a crashed copy never blocks the next start.
    m->fd = open(LockPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m->fd < 0) {
        delete m;
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
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

void Sleep(DWORD ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
