// The generated sample data folder holds every picture that the world modules read, each
// with its mask where one is read.
#include <cstdio>

#include "engine/core/bmp.h"
#include "engine/core/image.h"
#include "shell/pack.h"
#include "tests/game/objects/object_fixture.h"
#include "tests/support/data_folder.h"
#include "tools/sampledata/sampledata.h"

class WorldSampleTest : public ObjectTest {};

TEST_F(WorldSampleTest, EveryWorldTextureIsInTheSamplePack) {
    DataFolder folder;
    ASSERT_TRUE(SampleDataWrite(folder.path()));
    TvImageRegisterImageFormat("bmp", TvImageReadBMP, nullptr);
    MV2PackFile* pack = MV2MountPackFile(".\\texture.pak");
    ASSERT_NE(pack, nullptr);
    TvImageSetPath(".\\texture\\");
    std::vector<std::pair<std::string, std::string>> wanted = {
        {"RIPPLE", ""}, {"NWSPLASH", ""}, {"DROP", ""},   {"CLOUDS", ""},
        {"SUN", "SUNM"}, {"MOON", "MOONM"}};
    char name[32], mask[32];
    for (int32_t i = 0; i < 20; i++) {
        std::snprintf(name, sizeof name, "WATER%c", char('A' + i));
        std::snprintf(mask, sizeof mask, "WATER%cM", char('A' + i));
        wanted.push_back({name, mask});
    }
    for (int32_t i = 0; i < 32; i++) {
        std::snprintf(name, sizeof name, "CAUST%02d", i);
        std::snprintf(mask, sizeof mask, "CAUST%02dm", i);
        wanted.push_back({name, mask});
    }
    for (int32_t i = 1; i <= 8; i++) {
        if (i <= 6) {
            std::snprintf(name, sizeof name, "vrocks%d", i);
            wanted.push_back({name, ""});
        }
        std::snprintf(name, sizeof name, "cloud%dm", i);
        wanted.push_back({name, name});
        std::snprintf(name, sizeof name, "CLOUD%dM", i); // the waterfall spray's spelling
        wanted.push_back({name, name});
    }
    for (const auto& [n, m] : wanted) {
        const std::string file = n + ".bmp", maskFile = m + ".bmp";
        TvImage* image = m.empty() ? TvImageRead(file.c_str())
                                   : TvImageReadMasked(file.c_str(), maskFile.c_str());
        EXPECT_NE(image, nullptr) << n;
        if (image) TvImageDestroy(image);
    }
    MV2UnmountPackFile(pack);
}
