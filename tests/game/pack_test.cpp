// Pack archives behind the engine's file interface: lookup, reads, lines, seeks, mounting order
// and the checks that refuse a damaged pack.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/core/file_interface.h"
#include "engine/core/bmp.h"
#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/image.h"
#include "engine/core/raster.h"
#include "shell/gamemain.h"
#include "shell/pack.h"
#include "tests/support/data_folder.h"
#include "tests/support/image_writer.h"
#include "tests/support/null_device.h"
#include "tests/support/pack_writer.h"

namespace {

const TvV3d kSomewhere = {5.0f, 6.0f, 7.0f};

class PackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.ok());
        original = *TvEngineGetFileInterface();
    }
    void TearDown() override {
        for (MV2PackFile* p : mounted)
            MV2UnmountPackFile(p);
        EXPECT_EQ(MV2CountMountedPacks(), 0);
        EXPECT_EQ(TvEngineGetFileInterface()->open, original.open);
    }

    MV2PackFile* Mount(const std::string& file, const std::vector<PackWriterEntry>& entries,
                       const char* prefix = nullptr) {
        folder.Write(file, BuildPack(entries));
        std::string game = ".\\" + file;
        MV2PackFile* pack = MV2MountPackFile(game.c_str(), prefix);
        if (pack) mounted.insert(mounted.begin(), pack);
        return pack;
    }

    TvFileInterface& f() { return *TvEngineGetFileInterface(); }

    // The whole content of a file opened through the interface, or "<null>".
    std::string Slurp(const char* name) {
        void* h = f().open(name, "rb");
        if (!h) return "<null>";
        std::string out;
        char buf[7];
        size_t n;
        while ((n = f().read(buf, 1, sizeof buf, h)) > 0)
            out.append(buf, n);
        EXPECT_EQ(f().close(h), 0);
        return out;
    }

    NullEngine engine;
    DataFolder folder;
    TvFileInterface original{};
    std::vector<MV2PackFile*> mounted;
};

TEST_F(PackTest, NamesMatchWholeIgnoringCaseAndNeverFallBackToDisk) {
    folder.Write("texture/missing.txt", std::string("on disk"));
    folder.Write("other.txt", std::string("plain"));
    ASSERT_NE(
        Mount("texture.pak",
              {{"Tex/Wall.BMP", "wall"}, {"readme.txt", "hello"}, {"a\\B.dat", "ab"}, {"zz", ""}}),
        nullptr);
    struct Case {
        const char* name;
        const char* expected;
    } cases[] = {
        {".\\TEXTURE\\tex\\wall.bmp", "wall"},
        {".\\texture\\TEX/WALL.bmp", "wall"},
        {".\\texture\\README.TXT", "hello"},
        {".\\texture\\a/b.dat", "ab"},
        {".\\texture\\zz", ""},
        {".\\texture\\readme", "<null>"}, // a prefix of a stored name is no match
        {".\\texture\\readme.txt2", "<null>"},
        {".\\texture\\missing.txt", "<null>"}, // under the prefix: the disk is not searched
        {".\\other.txt", "plain"},             // outside every prefix: the disk
    };
    for (const Case& c : cases)
        EXPECT_EQ(Slurp(c.name), c.expected) << c.name;
    EXPECT_TRUE(f().exists(".\\texture\\readme.txt"));
    EXPECT_FALSE(f().exists(".\\texture\\missing.txt"));

    // Writing under the prefix goes to the disk.
    void* w = f().open(".\\texture\\readme.txt", "wb");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(f().write("disk", 1, 4, w), 4u);
    EXPECT_EQ(f().close(w), 0);
    EXPECT_EQ(folder.Read("texture/readme.txt").size(), 4u);
    EXPECT_EQ(Slurp(".\\texture\\readme.txt"), "hello");
}

TEST_F(PackTest, ReadsCountElementsLikeDiskFilesAndSetTheEndAtTheLastByte) {
    folder.Write("ten.bin", std::string("0123456789"));
    ASSERT_NE(Mount("data.pak", {{"ten.bin", "0123456789"}, {"next", "XXXX"}}), nullptr);
    for (const char* name : {".\\ten.bin", ".\\data\\ten.bin"}) {
        void* h = f().open(name, "rb");
        ASSERT_NE(h, nullptr) << name;
        EXPECT_EQ(f().length(h), 10) << name;
        char buf[16] = {};
        EXPECT_EQ(f().read(buf, 4, 3, h), 2u) << name; // 10 bytes delivered, two whole elements
        EXPECT_EQ(std::string(buf, 10), "0123456789") << name;
        EXPECT_EQ(f().read(buf, 1, 1, h), 0u) << name;
        EXPECT_NE(f().atEnd(h), 0) << name;
        f().close(h);
    }
    // A whole entry in one call: exactly its size, at end at once.
    void* h = f().open(".\\data\\ten.bin", "rb");
    char buf[10];
    EXPECT_EQ(f().read(buf, 1, 10, h), 10u);
    EXPECT_EQ(f().atEnd(h), -1);
    f().close(h);
}

TEST_F(PackTest, HandlesOfOnePackReadInTurn) {
    ASSERT_NE(Mount("data.pak", {{"a", "aaaaaa"}, {"b", "bbbbbb"}}), nullptr);
    void* a = f().open(".\\data\\a", "rb");
    void* b = f().open(".\\data\\b", "rb");
    std::string got;
    char c;
    for (int i = 0; i < 3; i++) {
        ASSERT_EQ(f().read(&c, 1, 1, a), 1u);
        got += c;
        ASSERT_EQ(f().read(&c, 1, 1, b), 1u);
        got += c;
    }
    EXPECT_EQ(got, "ababab");
    f().close(a);
    f().close(b);
}

TEST_F(PackTest, LinesStopAtTheEntryEndAndFoldCrLf) {
    ASSERT_NE(Mount("data.pak", {{"lines.txt", "one\r\ntwo\n\r\nthree"}, {"after", "NEXT\n"}}),
              nullptr);
    void* h = f().open(".\\data\\lines.txt", "rb");
    ASSERT_NE(h, nullptr);
    char buf[64];
    std::vector<std::string> lines;
    while (f().readLine(buf, sizeof buf, h))
        lines.push_back(buf);
    EXPECT_EQ(lines, (std::vector<std::string>{"one\n", "two\n", "\n", "three"}));
    EXPECT_EQ(f().atEnd(h), -1);
    // A short buffer cuts the line; the rest follows on the next read.
    f().seek(h, 0, 0);
    EXPECT_STREQ(f().readLine(buf, 3, h), "on");
    EXPECT_STREQ(f().readLine(buf, 64, h), "e\n");
    f().close(h);
}

TEST_F(PackTest, SeeksClampToTheEntryAndClearTheEndBeforeIt) {
    ASSERT_NE(Mount("data.pak", {{"pad", "pp"}, {"f", "abcdef"}}), nullptr);
    void* h = f().open(".\\data\\f", "rb");
    char buf[8];
    ASSERT_EQ(f().read(buf, 1, 8, h), 6u);
    ASSERT_EQ(f().atEnd(h), -1);
    struct Case {
        long offset;
        int32_t origin;
        char next; // 0: nothing left
    } cases[] = {{2, 0, 'c'}, {-100, 0, 'a'}, {-1, 2, 'f'},  {100, 0, 0},
                 {3, 0, 'd'}, {1, 1, 'f'},    {-10, 1, 'a'}, {0, 2, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(f().seek(h, c.offset, c.origin), 0);
        size_t n = f().read(buf, 1, 1, h);
        if (c.next) {
            EXPECT_EQ(n, 1u) << c.offset << "/" << c.origin;
            EXPECT_EQ(buf[0], c.next) << c.offset << "/" << c.origin;
        } else {
            EXPECT_EQ(n, 0u) << c.offset << "/" << c.origin;
        }
    }
    f().seek(h, 1, 0);
    EXPECT_EQ(f().seek(h, 0, 3), 1); // unknown origin changes nothing
    EXPECT_EQ(f().read(buf, 1, 1, h), 1u);
    EXPECT_EQ(buf[0], 'b');
    f().close(h);
}

TEST_F(PackTest, NewestOverlappingPrefixWinsAndOpenHandlesKeepAPack) {
    MV2PackFile* older = Mount("data.pak", {{"sub\\x.txt", "old"}, {"y.txt", "y"}});
    ASSERT_NE(older, nullptr);
    MV2PackFile* newer = Mount("extra.pak", {{"X.TXT", "new"}}, ".\\DATA\\sub");
    ASSERT_NE(newer, nullptr);
    EXPECT_STREQ(newer->prefix, ".\\DATA\\sub\\");
    EXPECT_EQ(Slurp(".\\data\\sub\\x.txt"), "new");
    EXPECT_EQ(Slurp(".\\data\\y.txt"), "y");

    void* h = f().open(".\\data\\sub\\x.txt", "rb");
    EXPECT_EQ(MV2UnmountPackFile(newer), 0);
    EXPECT_EQ(MV2UnmountPackFile(nullptr), 0);
    char buf[3];
    EXPECT_EQ(f().read(buf, 1, 3, h), 3u);
    EXPECT_EQ(f().close(h), 0);
    EXPECT_EQ(MV2UnmountPackFile(newer), 1);
    mounted.erase(mounted.begin());
    EXPECT_EQ(Slurp(".\\data\\sub\\x.txt"), "old");
    EXPECT_EQ(MV2CountMountedPacks(), 1);
}

TEST_F(PackTest, DamagedPacksAreRefused) {
    std::vector<PackWriterEntry> entries = {{"a", "1234"}, {"b", "5678"}};
    size_t dir = PackDirectoryOffset(entries);
    struct Case {
        const char* what;
        void (*damage)(std::vector<uint8_t>&, size_t dir);
    } cases[] = {
        {"magic", [](std::vector<uint8_t>& b, size_t) { b[0] = 'X'; }},
        {"short file", [](std::vector<uint8_t>& b, size_t) { b.resize(10); }},
        {"directory past the end",
         [](std::vector<uint8_t>& b, size_t) { PutU32(b, kPackDirOffsetField, 60); }},
        {"negative size",
         [](std::vector<uint8_t>& b, size_t) { PutU32(b, kPackDirSizeField, 0xFFFFFFC0u); }},
        {"data past the end",
         [](std::vector<uint8_t>& b, size_t d) { PutU32(b, d + 64 + 60, 1000); }},
        {"offset wraps", [](std::vector<uint8_t>& b, size_t d) { PutU32(b, d + 56, 0xFFFFFFFFu); }},
        {"unterminated name",
         [](std::vector<uint8_t>& b, size_t d) { std::memset(b.data() + d, 'n', 56); }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = BuildPack(entries);
        c.damage(bytes, dir);
        folder.Write("bad.pak", bytes);
        EXPECT_EQ(MV2MountPackFile(".\\bad.pak"), nullptr) << c.what;
    }
    EXPECT_EQ(MV2MountPackFile(".\\absent.pak"), nullptr);
    std::string longPrefix(kMV2PackPrefixMax, 'p');
    folder.Write("ok.pak", BuildPack(entries));
    EXPECT_EQ(MV2MountPackFile(".\\ok.pak", longPrefix.c_str()), nullptr);
    longPrefix.back() = '\\';
    MV2PackFile* fits = MV2MountPackFile(".\\ok.pak", longPrefix.c_str());
    EXPECT_NE(fits, nullptr);
    EXPECT_EQ(MV2UnmountPackFile(fits), 1);
    EXPECT_EQ(MV2CountMountedPacks(), 0);
    EXPECT_EQ(f().open, original.open);

    // A size that is not a whole number of entries drops the remainder; an empty pack finds
    // nothing.
    std::vector<uint8_t> bytes = BuildPack(entries);
    PutU32(bytes, kPackDirSizeField, 64 + 63);
    folder.Write("part.pak", bytes);
    MV2PackFile* part = MV2MountPackFile(".\\part.pak");
    ASSERT_NE(part, nullptr);
    mounted.push_back(part);
    EXPECT_EQ(part->numEntries, 1);
    ASSERT_NE(Mount("empty.pak", {}), nullptr);
    EXPECT_EQ(Slurp(".\\empty\\a"), "<null>");
}

TEST_F(PackTest, PackInsideAnotherPacksFolderIsRefused) {
    ASSERT_NE(Mount("data.pak", {{"inner.pak", std::string("PACK\0\0\0\0\0\0\0\0", 12)}}), nullptr);
    folder.Write("data/inner.pak", BuildPack({}));
    EXPECT_EQ(MV2MountPackFile(".\\data\\inner.pak"), nullptr);
}

TEST_F(PackTest, DiscSwitchRemountsTheGamePacks) {
    for (const char* name : {"clump.pak", "sound.pak", "data.pak", "lvl1.pak"})
        folder.Write(name, BuildPack({{"f", name}}));
    BmpDesc bmp;
    bmp.width = bmp.height = 4;
    bmp.data = BmpRows(4, 4, 24, [](int32_t, int32_t) { return 0x808080u; });
    const std::vector<uint8_t> picture = BmpFile(bmp);
    folder.Write("texture.pak", BuildPack({{"f", "texture.pak"},
                                           {"gdswitch.bmp", std::string(picture.begin(), picture.end())}}));
    TvImageRegisterImageFormat("bmp", TvImageReadBMP, nullptr);
    // The switch shows its picture over the whole screen and gives the game's view back.
    TvCamera* camera = TvCameraCreate();
    TvFrame* frame = TvFrameCreate();
    TvCameraSetFrame(camera, frame);
    TvFrameTranslate(frame, &kSomewhere, 0);
    TvCamera* savedCamera = gMV2MainCamera;
    gMV2MainCamera = camera;
    gMV2Packs = {};
    gMV2Packs.discInUse = 1;
    gMV2Packs.texture = MV2MountPackFile(".\\texture.pak");
    ASSERT_NE(gMV2Packs.texture, nullptr);
    MV2ClosePacks();
    EXPECT_EQ(MV2CountMountedPacks(), 0);
    ASSERT_NE(gMV2Packs.switchPicture, nullptr);
    EXPECT_EQ(gMV2Packs.switchPicture->width, 4);
    EXPECT_EQ(camera->viewWindow.x, 1.0f);
    EXPECT_EQ(TvFrameGetMatrix(frame)->pos.x, 0.0f);
    gMV2Packs.discInUse = 1;
    MV2MountLevelPack("lvl1");
    ASSERT_NE(gMV2Packs.level, nullptr);
    MV2OpenPacks(26);
    EXPECT_EQ(gMV2Packs.clump, nullptr); // same disc: nothing happens
    MV2OpenPacks(45);
    EXPECT_EQ(gMV2Packs.discInUse, 1);
    MV2OpenPacks(27);
    EXPECT_EQ(gMV2Packs.discInUse, 2);
    EXPECT_EQ(gMV2Packs.packsClosed, 0);
    EXPECT_EQ(gMV2Packs.switchPicture, nullptr);
    EXPECT_FLOAT_EQ(camera->viewWindow.x, 0.55f);
    EXPECT_FLOAT_EQ(camera->viewWindow.y, 0.55f);
    gMV2MainCamera = savedCamera;
    TvCameraSetFrame(camera, nullptr);
    TvFrameDestroy(frame);
    EXPECT_EQ(MV2CountMountedPacks(), 5);
    EXPECT_EQ(Slurp(".\\sound\\f"), "sound.pak");
    EXPECT_EQ(Slurp(".\\lvl1\\f"), "lvl1.pak");
    MV2UnmountAllPacks();
    EXPECT_EQ(MV2CountMountedPacks(), 0);
    EXPECT_EQ(gMV2Packs.level, nullptr);
}

} // namespace
