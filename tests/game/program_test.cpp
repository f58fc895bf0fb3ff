// Starts the game executable headless, as a user would.
#include <gtest/gtest.h>

#include "tests/game/program_runner.h"
#include "tools/sampledata/sampledata.h"

#include <fcntl.h>
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
#include <vector>

namespace {
namespace fs = std::filesystem;
using namespace program_runner;
} // namespace

TEST(Program, SecondCopyIsRefusedAndFirstEndsOnTerminate) {
    char tmpl[] = "/tmp/marovant-run-XXXXXX";
    fs::path dir = mkdtemp(tmpl);
    const char* config = getenv("XDG_CONFIG_HOME");
    std::string savedConfig = config ? config : "";
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    std::string data = (dir / "data").string();
    ASSERT_TRUE(SampleDataWrite(data));
    // A runtime folder that cannot hold the lock moves it to the settings folder.
    struct Case {
        fs::path runtime, lock;
    } cases[] = {
        {dir, dir / "marovant-TrevaneSkelClass.lock"},
        {dir / "missing", dir / "config/marovant/marovant-TrevaneSkelClass.lock"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.runtime.string());
        setenv("XDG_RUNTIME_DIR", c.runtime.c_str(), 1);
        std::string err1 = (dir / "first.err").string(), err2 = (dir / "second.err").string();

        pid_t first = Start(err1, data);
        ASSERT_GT(first, 0);
        // The first copy holds the single-instance lock before it handles signals.
        ASSERT_TRUE(WaitUntilCatching(first, SIGTERM, 30)) << ReadFile(err1);
        EXPECT_TRUE(fs::is_regular_file(c.lock));
        pid_t p = Start(err2, data);
        ASSERT_GT(p, 0);
        int secondCode = WaitFor(p, 20);
        std::string second = ReadFile(err2);
        EXPECT_EQ(secondCode, 0);
        EXPECT_NE(second.find("Error: A copy of this program is already running"),
                  std::string::npos)
            << second;

        EXPECT_EQ(waitpid(first, nullptr, WNOHANG), 0) << "the first copy must still run";
        kill(first, SIGTERM);
        EXPECT_EQ(WaitFor(first, 20), 0) << ReadFile(err1);
    }
    if (config)
        setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(dir);
}

// The game started on a generated sample folder, with its settings in a temporary folder,
// runs its start-up sequence and ends with 0 on SIGTERM without any box.
TEST(Program, RunsOnTheSampleFolderAndEndsOnTerminate) {
    char tmpl[] = "/tmp/marovant-run-XXXXXX";
    fs::path dir = mkdtemp(tmpl);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    ASSERT_TRUE(SampleDataWrite((dir / "data").string()));
    std::string err = (dir / "run.err").string();
    pid_t pid = Start(err, (dir / "data").string());
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitUntilCatching(pid, SIGTERM, 30)) << ReadFile(err);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << ReadFile(err);
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitFor(pid, 20), 0) << ReadFile(err);
    std::string text = ReadFile(err);
    EXPECT_EQ(text.find("Marovant Error"), std::string::npos) << text;
    EXPECT_EQ(text.find("Ohhh crikey"), std::string::npos) << text;
    fs::remove_all(dir);
}

TEST(Program, CrashedHolderDoesNotBlockTheNextStart) {
    char tmpl[] = "/tmp/marovant-run-XXXXXX";
    fs::path dir = mkdtemp(tmpl);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    std::string err = (dir / "run.err").string();
    std::string data = (dir / "data").string();
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    ASSERT_TRUE(SampleDataWrite(data));
    // Each copy holds the lock before it starts handling signals, so waiting for that tells
    // when it runs, however slow the start.
    pid_t first = Start(err, data);
    ASSERT_GT(first, 0);
    EXPECT_TRUE(WaitUntilCatching(first, SIGINT, 30)) << ReadFile(err);
    kill(first, SIGKILL);
    waitpid(first, nullptr, 0);

    pid_t next = Start(err, data);
    ASSERT_GT(next, 0);
    ASSERT_TRUE(WaitUntilCatching(next, SIGINT, 30)) << ReadFile(err);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(waitpid(next, nullptr, WNOHANG), 0) << ReadFile(err);
    kill(next, SIGINT);
    EXPECT_EQ(WaitFor(next, 20), 0) << ReadFile(err);
    fs::remove_all(dir);
}
