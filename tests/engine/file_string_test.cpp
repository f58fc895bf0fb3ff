// Default file and string slots of the engine instance.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "engine/core/file_interface.h"
#include "engine/core/string_interface.h"
#include "tests/support/null_device.h"

namespace {

class FileStringTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine_.ok()); }
    TvFileInterface& files = *TvEngineGetFileInterface();
    TvStringInterface& strings = TvEngineInstancePtr->stringFuncs;
    NullEngine engine_;
};

// Counts opens and closes through the file slots, so a leaked handle shows.
struct HandleCount {
    static inline int open = 0;
    static inline void* (*realOpen)(const char*, const char*);
    static inline int32_t (*realClose)(void*);
    static void* Open(const char* n, const char* m) {
        void* h = realOpen(n, m);
        open += h != nullptr;
        return h;
    }
    static int32_t Close(void* h) {
        open--;
        return realClose(h);
    }
};

TEST_F(FileStringTest, ExistsAndLengthLeaveNoTrace) {
    char pattern[] = "/tmp/marovant_files_XXXXXX";
    std::string dir = mkdtemp(pattern);
    std::string path = dir + "/Data.BIN";
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fputs("0123456789", f);
    std::fclose(f);

    HandleCount::realOpen = files.open;
    HandleCount::realClose = files.close;
    files.open = HandleCount::Open;
    files.close = HandleCount::Close;
    EXPECT_FALSE(files.exists((dir + "/missing.bin").c_str()));
    EXPECT_TRUE(files.exists((dir + "\\data.bin").c_str())); // game path form, any case
    EXPECT_EQ(HandleCount::open, 0);

    void* h = files.open(path.c_str(), "rb");
    ASSERT_NE(h, nullptr);
    char c = 0;
    files.read(&c, 1, 1, h);
    EXPECT_EQ(files.length(h), 10);
    ASSERT_EQ(files.read(&c, 1, 1, h), 1u);
    EXPECT_EQ(c, '0'); // back at the start
    EXPECT_EQ(files.seek(h, 3, 2), 0);
    EXPECT_EQ(files.read(&c, 1, 1, h), 0u);
    EXPECT_NE(files.atEnd(h), 0);
    EXPECT_EQ(files.close(h), 0);
    EXPECT_EQ(HandleCount::open, 0);
    std::remove(path.c_str());
    rmdir(dir.c_str());
}

TEST_F(FileStringTest, CompareIgnoringCaseFoldsOnlyAsciiLetters) {
    struct Case {
        const char *a, *b;
        int sign;
    } cases[] = {
        {"Texture.BMP", "tEXTURE.bmp", 0},
        {"abc", "abcd", -1},
        {"abd", "ABC", 1},
        {"[", "{", -1},
        {"\xE9", "\xC9", 1},
        {"", "", 0},
    };
    for (const Case& c : cases) {
        int r = strings.compareNoCase(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
    }
    EXPECT_EQ(strings.compareNoCase(nullptr, "a"), 0);
    EXPECT_EQ(strings.compareNoCase("a", nullptr), 0);
}

TEST_F(FileStringTest, CharacterSearchesAndCaseChanges) {
    const char* s = "a/b/c";
    EXPECT_EQ(strings.findLastChar(s, '/'), s + 3);
    EXPECT_EQ(strings.findChar(s, '/'), s + 1);
    EXPECT_EQ(strings.findChar(s, 'z'), nullptr);
    EXPECT_EQ(strings.findLastChar(s, 'z'), nullptr);
    EXPECT_EQ(strings.findChar(s, 0), s + 5);
    EXPECT_EQ(strings.findLastChar(s, 0), s + 5);

    char text[] = "MiXeD 9\xE9";
    EXPECT_STREQ(strings.toUpper(text), "MIXED 9\xE9");
    EXPECT_STREQ(strings.toLower(text), "mixed 9\xE9");
    EXPECT_EQ(strings.toUpper(nullptr), nullptr);

    char buffer[32];
    strings.format(buffer, "%s-%d", "x", 7);
    EXPECT_STREQ(buffer, "x-7");
    int v = 0;
    EXPECT_EQ(strings.scan("42", "%d", &v), 1);
    EXPECT_EQ(v, 42);
}

TEST(PathIsAbsolute, BackslashOrDriveLetter) {
    struct Case {
        const char* name;
        bool absolute;
    } cases[] = {{"\\texture\\a.bmp", true},
                 {"c:\\x", true},
                 {"Z:", true},
                 {"texture\\a.bmp", false},
                 {".\\a", false},
                 {"1:", false},
                 {"", false},
                 {nullptr, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(TvPathIsAbsolute(c.name), c.absolute) << (c.name ? c.name : "null");
    }
}

} // namespace
