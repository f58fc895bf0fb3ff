#include "platform/win32/files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

TEST(Win32Files, MoveAcrossFileSystemsCopiesAndDeletes) {
    struct stat shm, tmp;
    if (stat("/dev/shm", &shm) != 0 || stat("/tmp", &tmp) != 0 || shm.st_dev == tmp.st_dev)
        GTEST_SKIP() << "no second file system to move across";
    char a[] = "/dev/shm/marovant-move-XXXXXX";
    char b[] = "/tmp/marovant-move-XXXXXX";
    fs::path from = fs::path(mkdtemp(a)) / "data.bin";
    fs::path toDir = mkdtemp(b);
    fs::path to = toDir / "data.bin";
    std::ofstream(from) << "payload";

    ASSERT_TRUE(MoveFileA(from.c_str(), to.c_str()));
    EXPECT_FALSE(fs::exists(from));
    std::ifstream in(to);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "payload");

    std::ofstream(from) << "again";
    EXPECT_FALSE(MoveFileA(from.c_str(), to.c_str())); // the target exists
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(fs::exists(from));
    fs::remove_all(from.parent_path());
    fs::remove_all(toDir);
}
