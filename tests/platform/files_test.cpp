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
    ASSERT_EQ(chmod(from.c_str(), 0751), 0);

    ASSERT_TRUE(MoveFileA(from.c_str(), to.c_str()));
    EXPECT_FALSE(fs::exists(from));
    struct stat moved;
    ASSERT_EQ(stat(to.c_str(), &moved), 0);
    EXPECT_EQ(moved.st_mode & 07777, 0751u); // the mode goes with the file
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

TEST(Win32Files, MoveNeverReplacesAnExistingNameOrLink) {
    char a[] = "/tmp/marovant-move-XXXXXX";
    fs::path dir = mkdtemp(a);
    std::ofstream(dir / "from") << "new";
    std::ofstream(dir / "victim") << "keep";
    fs::create_symlink(dir / "victim", dir / "link");
    EXPECT_FALSE(MoveFileA((dir / "from").c_str(), (dir / "link").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    std::ifstream in(dir / "victim");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "keep");
    // A folder moves too.
    fs::create_directory(dir / "sub");
    EXPECT_TRUE(MoveFileA((dir / "sub").c_str(), (dir / "sub2").c_str()));
    EXPECT_TRUE(fs::is_directory(dir / "sub2"));
    fs::remove_all(dir);
}
