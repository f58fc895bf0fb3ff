// Runs the game executable as a child process, as a user would start it.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

extern char** environ;

namespace program_runner {

// The sanitizer settings of a started program.
inline void SetChildSanitizerOptions() {
    // The program keeps its two engine cameras to the end; their leak is a known one.
    setenv("LSAN_OPTIONS", "suppressions=" MAROVANT_LSAN_SUPP ":print_suppressions=0", 1);
    // No leak check at the program's exit: the checker's thread stopper now and then crashes
    // while the movie decoder's and the sound library's threads wind down, which turns a clean
    // exit into a failed one. The modules' own tests check their leaks in-process.
    std::string asan = getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "";
    if (asan.find("detect_leaks=0") == std::string::npos) {
        asan += asan.empty() ? "detect_leaks=0" : ":detect_leaks=0";
        setenv("ASAN_OPTIONS", asan.c_str(), 1);
    }
}

// Starts the program with standard error sent to `errFile`, in `folder` when one is given.
inline pid_t Start(const std::string& errFile, const std::string& folder = std::string()) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    char* argv[] = {const_cast<char*>(MAROVANT_EXE), nullptr};
    SetChildSanitizerOptions();
    pid_t pid = -1;
    int rc = posix_spawn(&pid, MAROVANT_EXE, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// The exit code of a child started by StartAsUser that could not become the user or run.
inline constexpr int kStartAsUserFailed = 126;

// As Start, but the program runs as user `uid` and group `gid` with no supplementary groups
// (the caller must be allowed to switch); the error file is opened before the switch.
inline pid_t StartAsUser(const std::string& errFile, const std::string& folder, uid_t uid, gid_t gid) {
    SetChildSanitizerOptions();
    const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (err < 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        if (in < 0 || dup2(in, 0) < 0 || dup2(err, 2) < 0) _exit(kStartAsUserFailed);
        char* argv[] = {const_cast<char*>(MAROVANT_EXE), nullptr};
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0 ||
            (!folder.empty() && chdir(folder.c_str()) != 0)) {
            perror("StartAsUser");
            _exit(kStartAsUserFailed);
        }
        execv(MAROVANT_EXE, argv);
        perror("StartAsUser");
        _exit(kStartAsUserFailed);
    }
    close(err);
    return pid;
}

// Exit code of a finished child, or -1 when it did not end normally within the time.
inline int WaitFor(pid_t pid, int seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// True once the process handles `signal` itself (it has started far enough to end in order),
// false when it does not within the time or has ended.
inline bool WaitUntilCatching(pid_t pid, int signal, int seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::string status = "/proc/" + std::to_string(pid) + "/status";
    while (std::chrono::steady_clock::now() < end) {
        std::ifstream in(status);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("SigCgt:", 0) != 0) continue;
            unsigned long long caught = std::stoull(line.substr(7), nullptr, 16);
            if (caught >> (signal - 1) & 1) return true;
        }
        if (waitpid(pid, nullptr, WNOHANG) != 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
} // namespace program_runner
