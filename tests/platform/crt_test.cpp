#include "platform/crt/crt.h"
#include "platform/winmm/winmm.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(PlatformRand, FollowsTheOldRuntimeSequence) {
    PlatformSrand(1);
    EXPECT_EQ(PlatformRand(), 41);
    EXPECT_EQ(PlatformRand(), 18467);
    EXPECT_EQ(PlatformRand(), 6334);
    EXPECT_EQ(PlatformRand(), 26500);
    PlatformSrand(1);
    EXPECT_EQ(PlatformRand(), 41);
}

class GamePath : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/marovant-path-XXXXXX";
        root = mkdtemp(tmpl);
        old = fs::current_path();
        fs::current_path(root);
        fs::create_directories("Data/Level1");
        std::ofstream("Data/Level1/Map.BSP") << "x";
        std::ofstream("data.pak") << "x";
    }
    void TearDown() override {
        fs::current_path(old);
        fs::remove_all(root);
    }
    fs::path root, old;
};

TEST_F(GamePath, TranslatesSeparatorsAndCase) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {".\\DATA\\level1\\map.bsp", "Data/Level1/Map.BSP"},
        {"data\\LEVEL1\\MAP.bsp", "Data/Level1/Map.BSP"},
        {".\\DATA.PAK", "data.pak"},
        {"data/Level1//map.bsp", "Data/Level1/Map.BSP"},
        {".\\DATA\\new\\Save.000", "Data/new/Save.000"}, // new components keep their case
        {"MAROVANT.001", "MAROVANT.001"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlatformResolvePath(c.in), c.out) << c.in;
}

TEST_F(GamePath, OpensAndCreatesThroughTranslation) {
    FILE* f = PlatformOpenFile(".\\data\\LEVEL1\\map.bsp", "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fgetc(f), 'x');
    fclose(f);
    f = PlatformOpenFile("DATA\\Created.TXT", "wb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    EXPECT_TRUE(fs::exists("Data/Created.TXT"));
    EXPECT_EQ(PlatformOpenFile(nullptr, "rb"), nullptr);
}

TEST_F(GamePath, FolderOpensAsAMissingFile) {
    for (const char* name : {"DATA", ".\\data\\level1", "Data\\Level1\\"}) {
        errno = 0;
        EXPECT_EQ(PlatformOpenFile(name, "rb"), nullptr) << name;
        EXPECT_EQ(errno, ENOENT) << name;
    }
}

TEST_F(GamePath, CaseVariantsResolveTheSameWhateverTheFolderOrder) {
    // Created in an order that differs from byte order, so that directory order and
    // sorted order are unlikely to agree by chance.
    for (const char* name : {"mixed.txt", "Mixed.txt", "MIXED.TXT", "MiXed.txt"})
        std::ofstream(name) << name;
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"mixed.txt", "mixed.txt"}, // an exact match wins
        {"MiXed.txt", "MiXed.txt"},
        {"mIxEd.TxT", "MIXED.TXT"}, // else the first in byte order
        {".\\MIXED.txt", "MIXED.TXT"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlatformResolvePath(c.in), c.out) << c.in;
}

TEST(PlatformClock, ManualClockDrivesTimeGetTime) {
    PlatformUseManualClock(true, 0xFFFFFFF0u);
    EXPECT_EQ(timeGetTime(), 0xFFFFFFF0u);
    PlatformAdvanceClock(0x20);
    EXPECT_EQ(timeGetTime(), 0x10u); // wraps as a u32
    PlatformUseManualClock(false);
    EXPECT_EQ(timeBeginPeriod(1), TIMERR_NOERROR);
    EXPECT_EQ(PlatformTimerPeriodDepth(), 1);
    EXPECT_EQ(timeEndPeriod(1), TIMERR_NOERROR);
    EXPECT_EQ(timeEndPeriod(1), TIMERR_NOCANDO);
}
