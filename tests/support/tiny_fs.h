// A small file system of its own for tests of full disks: a tmpfs of a few pages mounted in a
// mount namespace private to the test process. Tests skip where the machine does not let a
// process make one (no mount rights and no user namespaces).
#pragma once

#include <cstddef>
#include <string>

class TinyFileSystem {
public:
    explicit TinyFileSystem(size_t bytes);
    ~TinyFileSystem();
    TinyFileSystem(const TinyFileSystem&) = delete;
    TinyFileSystem& operator=(const TinyFileSystem&) = delete;

    bool ok() const { return !path_.empty(); }
    // Where it is mounted; empty when none could be made (and why in reason()).
    const std::string& path() const { return path_; }
    const std::string& reason() const { return reason_; }

private:
    std::string path_;
    std::string folder_;
    std::string reason_;
};
