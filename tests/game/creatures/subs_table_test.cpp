#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "game/creatures/submarines.h"
#include "shell/sounds.h"
#include "tests/support/subs_writer.h"

namespace {

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

SubRecordSpec Named(const std::string& name, float maxSpeed = 0.1f) {
    SubRecordSpec r;
    r.name = name;
    r.maxSpeed = maxSpeed;
    return r;
}

struct Loaded {
    explicit Loaded(const std::vector<uint8_t>& bytes) {
        result = MV2ParseSubDefinitions(bytes.data(), bytes.size());
    }
    ~Loaded() { MV2FreeSubDefinitions(); }
    int32_t result;
};

} // namespace

// Bytes laid out by hand, as the table describes them.
TEST(SubsTable, ReadsHandWrittenRecord) {
    std::vector<uint8_t> b(32 + 800, 0);
    Put32(b, 8, 1);
    uint8_t* r = b.data() + 32;
    std::memcpy(r, "HAND", 4);
    const float maxSpeed = 0.25f, accel = 0.5f, pitch = 0.03f, z = 4.0f, factor = 2.0f;
    std::memcpy(r + 20, &maxSpeed, 4);
    std::memcpy(r + 28, &accel, 4);
    r[36] = 1;
    std::memcpy(r + 40, &factor, 4);
    Put32(b, 32 + 40 + 12, 0x00070005);
    Put32(b, 32 + 40 + 16, 2 | 64);
    r[600] = 0;
    std::memcpy(r + 601, "GP1ENGINE", 9);
    Put32(b, 32 + 636, 77);
    Put32(b, 32 + 640, uint32_t(-1500));
    std::memcpy(r + 656, &pitch, 4);
    std::memcpy(r + 684, &z, 4);
    Put32(b, 32 + 688 + 4 * 27, 9);
    Loaded loaded(b);
    ASSERT_EQ(loaded.result, 1);
    const MV2SubDefinition* d = MV2FindSubDefinition("HAND");
    ASSERT_NE(d, nullptr);
    EXPECT_FLOAT_EQ(d->maxSpeed, 0.25f);
    EXPECT_FLOAT_EQ(d->acceleration, 0.5f);
    EXPECT_EQ(d->partCount, 1);
    EXPECT_FLOAT_EQ(d->parts[0].factor, 2.0f);
    EXPECT_EQ(d->parts[0].tags, 0x00070005u);
    ASSERT_NE(d->parts[0].firstAxis, nullptr);
    EXPECT_FLOAT_EQ(d->parts[0].firstAxis->y, 1.0f);  // flag 64: first axis Y
    EXPECT_FLOAT_EQ(d->parts[0].secondAxis->x, 1.0f); // second axis X
    EXPECT_EQ(d->soundId, MV2FindSoundByName("GP1ENGINE"));
    EXPECT_EQ(d->soundBase, -1500);
    EXPECT_FLOAT_EQ(d->maxPitchRate, 0.03f);
    EXPECT_FLOAT_EQ(d->vector.z, 1.0f); // normalised
    EXPECT_EQ(d->ammunition[27], 9);
}

TEST(SubsTable, Cases) {
    SubRecordSpec elevenParts = Named("MANY");
    elevenParts.partCount = 11;
    elevenParts.attachmentCount = 200;
    SubRecordSpec unknownSound = Named("QUIET");
    unknownSound.soundName = "NOSUCHSOUND";
    std::vector<SubRecordSpec> thirtyOne;
    for (int i = 0; i < 31; ++i)
        thirtyOne.push_back(Named("S" + std::to_string(i)));

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* lookup;
        bool found;
        int32_t count;
        float maxSpeed;
    };
    const Case cases[] = {
        {"lower-case lookup", SubsFileBytes(1, {Named("SCOUT")}), "scout", true, 1, 0.1f},
        {"duplicate names: first wins",
         SubsFileBytes(2, {Named("TWIN", 1.0f), Named("TWIN", 2.0f)}), "TWIN", true, 2, 1.0f},
        {"count 0", SubsFileBytes(0, {Named("SCOUT")}), "SCOUT", false, 0, 0.0f},
        {"count above the records present", SubsFileBytes(5, {Named("A"), Named("B")}), "B", true,
         2, 0.1f},
        {"count 31", SubsFileBytes(31, thirtyOne), "s30", true, 31, 0.1f},
        {"unterminated name", SubsFileBytes(1, {Named("ABCDEFGHIJKLMNOP")}), "abcdefghijklmnop",
         true, 1, 0.1f},
        {"a longer name finds nothing", SubsFileBytes(1, {Named("ABCDEFGHIJKLMNOP")}),
         "ABCDEFGHIJKLMNOPQ", false, 1, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Loaded loaded(c.bytes);
        EXPECT_EQ(loaded.result, 1);
        EXPECT_EQ(MV2CountSubDefinitions(), c.count);
        const MV2SubDefinition* d = MV2FindSubDefinition(c.lookup);
        EXPECT_EQ(d != nullptr, c.found);
        if (d) {
            EXPECT_FLOAT_EQ(d->maxSpeed, c.maxSpeed);
        }
    }

    {
        SCOPED_TRACE("part count 11, attachment count 200");
        Loaded loaded(SubsFileBytes(1, {elevenParts}));
        const MV2SubDefinition* d = MV2FindSubDefinition("MANY");
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->partCount, 10);
        EXPECT_EQ(d->attachmentCount, 10);
    }
    {
        SCOPED_TRACE("unknown sound");
        Loaded loaded(SubsFileBytes(1, {unknownSound}));
        ASSERT_NE(MV2FindSubDefinition("QUIET"), nullptr);
        EXPECT_EQ(MV2FindSubDefinition("QUIET")->soundId, 215);
    }
    {
        SCOPED_TRACE("half a record is not indexed");
        std::vector<uint8_t> bytes = SubsFileBytes(2, {Named("A"), Named("B")});
        bytes.resize(bytes.size() - 400);
        Loaded loaded(bytes);
        EXPECT_EQ(MV2CountSubDefinitions(), 1);
        EXPECT_EQ(MV2FindSubDefinition("B"), nullptr);
    }
}

TEST(SubsTable, LookupNeverWritesTheCallersName) {
    Loaded loaded(SubsFileBytes(1, {Named("SCOUT")}));
    const char name[] = "Scout";
    EXPECT_NE(MV2FindSubDefinition(name), nullptr);
    EXPECT_STREQ(name, "Scout");
    EXPECT_EQ(MV2FindSubDefinition(nullptr), nullptr);
}

TEST(SubsTable, NotLoadedOrEmptyInput) {
    MV2FreeSubDefinitions();
    EXPECT_EQ(MV2FindSubDefinition("SCOUT"), nullptr);
    EXPECT_EQ(MV2ParseSubDefinitions(nullptr, 0), 0);
}
