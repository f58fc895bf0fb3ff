#include "xvfb.h"

#include <csignal>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

XvfbServer::XvfbServer(const char* geometry) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ < 0) {
        close(fds[0]);
        close(fds[1]);
        return;
    }
    if (pid_ == 0) {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", geometry, "-nolisten",
               "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // Xvfb writes the display number and a newline once it is ready.
    std::string number;
    for (int waited = 0; waited < 100;) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) {
            ++waited;
            continue;
        }
        char c;
        if (read(fds[0], &c, 1) != 1) break;
        if (c == '\n') {
            if (!number.empty()) display_ = ":" + number;
            break;
        }
        if (c < '0' || c > '9') break;
        number += c;
    }
    close(fds[0]);
}

XvfbServer::~XvfbServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}
