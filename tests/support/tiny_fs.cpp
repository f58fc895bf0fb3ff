#include "tests/support/tiny_fs.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool WriteText(const char* file, const std::string& text) {
    int fd = open(file, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = write(fd, text.data(), text.size()) == ssize_t(text.size());
    return close(fd) == 0 && ok;
}

// A mount namespace of the process's own: directly with mount rights, else inside a user
// namespace (where this process is root); the new mounts never reach the rest of the machine.
bool OwnMountNamespace(std::string* reason) {
    if (unshare(CLONE_NEWNS) != 0) {
        uid_t uid = getuid();
        gid_t gid = getgid();
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
            *reason = std::string("no mount namespace: ") + std::strerror(errno);
            return false;
        }
        WriteText("/proc/self/setgroups", "deny");
        if (!WriteText("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1\n") ||
            !WriteText("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1\n")) {
            *reason = "no user id map";
            return false;
        }
    }
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        *reason = std::string("mounts stay shared: ") + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

TinyFileSystem::TinyFileSystem(size_t bytes) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/marovant-tinyfs-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        reason_ = "no folder to mount on";
        return;
    }
    folder_ = pattern;
    if (!OwnMountNamespace(&reason_)) return;
    std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    if (mount("tinyfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        reason_ = std::string("tmpfs refused: ") + std::strerror(errno);
        return;
    }
    path_ = folder_;
}

TinyFileSystem::~TinyFileSystem() {
    if (!path_.empty()) umount2(path_.c_str(), MNT_DETACH);
    if (!folder_.empty()) rmdir(folder_.c_str());
}
