// Animation sequences: key loops, positions, the end-of-key callback, cloning, and the keys'
// extension chunk.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "engine/core/error.h"
#include "engine/core/memory.h"
#include "engine/core/plugin.h"
#include "engine/core/stream.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world_plugin.h"
#include "tests/support/chunk_writer.h"
#include "tests/support/world_writer.h"

namespace {

bool AttachAnim() {
    return TpAnimPluginAttach() == 1;
}

TvPluginEntry* AnimEntry() {
    for (TvPluginEntry* e = TpGeometryRegistry.firstRegEntry; e; e = e->nextRegEntry)
        if (e->pluginId == kTpAnimPluginId) return e;
    return nullptr;
}

class AnimTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = std::make_unique<WorldEngine>(AttachAnim);
        ASSERT_TRUE(engine_->ok());
        geometry_ = TpGeometryCreate(1, 0, 0);
        ASSERT_NE(geometry_, nullptr);
        atomic_ = TpAtomicCreate();
        TpAtomicSetGeometry(atomic_, geometry_, 0);
    }
    void TearDown() override {
        if (atomic_) TpAtomicDestroy(atomic_);
        if (geometry_) TpGeometryDestroy(geometry_);
        engine_.reset();
    }
    // Keys of durations 1, 2 and 3 going from target i to i + 1.
    void ThreeKeys() {
        ASSERT_TRUE(TpAnimSequenceGeometryCreateKeys(geometry_, 3));
        for (int i = 0; i < 3; i++)
            TpAnimSequenceGeometrySetKey(geometry_, i, uint16_t(i + 1), uint16_t(i), float(i + 1));
    }
    float Position() { return TpInterpolatorGetPosition(TpAtomicGetInterpolator(atomic_)); }
    uint32_t ErrorPlugin() {
        TvErrorRecord err{};
        TvErrorGet(&err);
        return err.pluginID;
    }
    std::unique_ptr<WorldEngine> engine_;
    TpGeometry* geometry_ = nullptr;
    TpAtomic* atomic_ = nullptr;
};

TEST_F(AnimTest, AddingTimeWalksTheLoopOfKeys) {
    ThreeKeys();
    struct Step {
        float delta;
        int key;
        float position;
    };
    // Durations 1, 2, 3: a total of 6 brings the atomic back to key 0.
    const Step steps[] = {{0.5f, 0, 0.5f}, {1.0f, 1, 0.5f}, {2.0f, 2, 0.5f},
                          {3.0f, 0, 0.5f}, {6.0f, 0, 0.5f}, {4.5f, 2, 2.0f}};
    for (const Step& s : steps) {
        ASSERT_EQ(TpAnimSequenceAtomicAddTime(atomic_, s.delta), atomic_);
        EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(atomic_), s.key) << s.delta;
        EXPECT_FLOAT_EQ(Position(), s.position) << s.delta;
        const TpInterpolator* in = TpAtomicGetInterpolator(atomic_);
        EXPECT_EQ(in->startMorphTarget, s.key);
        EXPECT_EQ(in->endMorphTarget, s.key + 1);
        EXPECT_FLOAT_EQ(in->time, float(s.key + 1));
    }
}

// Time of many laps of tiny keys goes whole laps at once (without that the loop below would
// run 10^9 times); the key and position reached are those of walking key by key.
TEST_F(AnimTest, ManyLapsInOneStepEndWhereWalkingWould) {
    ASSERT_TRUE(TpAnimSequenceGeometryCreateKeys(geometry_, 3));
    const float durations[] = {0.5f, 0.25f, 0.25f}; // a lap of 1.0
    for (int i = 0; i < 3; i++)
        TpAnimSequenceGeometrySetKey(geometry_, i, 0, 0, durations[i]);
    ASSERT_EQ(TpAnimSequenceAtomicAddTime(atomic_, 1000.3f), atomic_);
    EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(atomic_), 0);
    EXPECT_NEAR(Position(), 0.3f, 1e-3f);

    TpAnimSequenceGeometrySetKey(geometry_, 0, 0, 0, 1e-6f);
    TpAnimSequenceGeometrySetKey(geometry_, 1, 0, 0, 1e-6f);
    TpAnimSequenceGeometrySetKey(geometry_, 2, 0, 0, 1e-6f);
    TpAnimSequenceAtomicSetCurrentKey(atomic_, 0);
    ASSERT_EQ(TpAnimSequenceAtomicAddTime(atomic_, 1000.0f), atomic_);
    EXPECT_LE(Position(), 1e-6f);
}

TEST_F(AnimTest, KeyNextAndCustomCallBackSteerTheSequence) {
    ThreeKeys();
    TpAnimSequenceGeometrySetKeyNext(geometry_, 0, 2);
    TpAnimSequenceAtomicAddTime(atomic_, 1.25f);
    EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(atomic_), 2);
    EXPECT_FLOAT_EQ(Position(), 0.25f);
    // A callback that holds the last frame of the key.
    TpAnimSequenceGeometrySetCallBack(geometry_, [](TpAtomic*, float) { return 3.0f - 0.5f; });
    TpAnimSequenceAtomicAddTime(atomic_, 10.0f);
    EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(atomic_), 2);
    EXPECT_FLOAT_EQ(Position(), 2.5f);
}

TEST_F(AnimTest, PositionsAndKeyIndicesOutsideTheKeyAreIgnored) {
    ThreeKeys();
    EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(atomic_), -1);
    ASSERT_EQ(TpAnimSequenceAtomicSetCurrentKey(atomic_, 1), atomic_);
    struct Case {
        float position;
        float expected;
    };
    const Case cases[] = {{1.5f, 1.5f}, {2.0f, 2.0f}, {2.01f, 2.0f}, {-0.5f, 2.0f}, {0.0f, 0.0f}};
    for (const Case& c : cases) {
        EXPECT_EQ(TpAnimSequenceAtomicSetPosition(atomic_, c.position), atomic_);
        EXPECT_FLOAT_EQ(Position(), c.expected) << c.position;
    }
    TpAnimSequenceAtomicSetPosition(atomic_, 1.0f);
    for (int index : {3, -1}) {
        EXPECT_EQ(TpAnimSequenceAtomicSetCurrentKey(atomic_, index), atomic_);
        EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(atomic_), 1);
        EXPECT_FLOAT_EQ(Position(), 1.0f);
    }
    EXPECT_EQ(TpAnimSequenceGeometryGetKey(geometry_, 3), nullptr);
}

TEST_F(AnimTest, AtomicWithoutGeometryReportsThePluginError) {
    TpAtomic* bare = TpAtomicCreate();
    EXPECT_EQ(TpAnimSequenceAtomicAddTime(bare, 1.0f), nullptr);
    EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(bare), -1);
    EXPECT_EQ(ErrorPlugin(), kTpAnimPluginId);
    TpAtomicDestroy(bare);
}

TEST_F(AnimTest, TimeThatCannotBeUsedUpStopsAtTheEndOfTheKey) {
    struct Case {
        float duration;
        float delta;
    };
    const Case cases[] = {
        {0.0f, 1.0f}, {-1.0f, 1.0f}, {1.0f, std::numeric_limits<float>::infinity()}, {1.0f, 1e30f}};
    for (const Case& c : cases) {
        TpAnimSequenceGeometryCreateKeys(geometry_, 2);
        TpAnimSequenceGeometrySetKey(geometry_, 0, 1, 0, c.duration);
        TpAnimSequenceGeometrySetKey(geometry_, 1, 0, 1, c.duration);
        TpAnimSequenceAtomicSetCurrentKey(atomic_, 0);
        EXPECT_EQ(TpAnimSequenceAtomicAddTime(atomic_, c.delta), atomic_);
        EXPECT_TRUE(std::isfinite(Position())) << c.duration << " " << c.delta;
    }
}

TEST_F(AnimTest, ClonesKeepTheirKeyAndPosition) {
    ThreeKeys();
    TpAnimSequenceAtomicAddTime(atomic_, 1.5f);
    TpAtomic* copy = TpAtomicClone(atomic_);
    EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(copy), 1);
    EXPECT_FLOAT_EQ(TpInterpolatorGetPosition(TpAtomicGetInterpolator(copy)), 0.5f);
    TpAtomicDestroy(copy);

    // A copied geometry's keys link among themselves, so they outlive the source.
    TpGeometry* other = TpGeometryCreate(1, 0, 0);
    TpAnimSequenceGeometrySetKeyNext(geometry_, 2, 1);
    ASSERT_TRUE(TvPluginCopyObject(&TpGeometryRegistry, other, geometry_));
    TpAtomicDestroy(atomic_);
    atomic_ = nullptr;
    TpGeometryDestroy(geometry_);
    geometry_ = nullptr;
    for (int i = 0; i < 3; i++) {
        const TpAnimKey* key = TpAnimSequenceGeometryGetKey(other, i);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->next, TpAnimSequenceGeometryGetKey(other, i == 2 ? 1 : i + 1));
        EXPECT_FLOAT_EQ(key->duration, float(i + 1));
    }
    TpGeometryDestroy(other);
}

class AnimChunkTest : public AnimTest {
protected:
    // Reads an extension chunk holding `body` as the plug-in's data into a fresh geometry.
    TpGeometry* ReadInto(const std::vector<uint8_t>& body) {
        ChunkWriter w;
        WriteExtension(w, {{kTpAnimPluginId, body}});
        bytes_ = w.data();
        TvStream* stream = OpenReadStream(bytes_);
        TpGeometry* g = TpGeometryCreate(1, 0, 0);
        const bool ok = TvPluginStreamRead(&TpGeometryRegistry, stream, g) != nullptr;
        TvStreamClose(stream, nullptr);
        return ok ? g : (TpGeometryDestroy(g), nullptr);
    }
    std::vector<uint8_t> bytes_;
};

TEST_F(AnimChunkTest, KeysWrittenReadBack) {
    ThreeKeys();
    TpAnimSequenceGeometrySetKeyNext(geometry_, 2, 1);
    TvPluginEntry* entry = AnimEntry();
    ASSERT_NE(entry, nullptr);
    const int32_t size = entry->getSizeCB(geometry_, entry->offset, entry->size);
    ASSERT_EQ(size, 3 * 20 + 4);
    TvStream* out = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_WRITE, nullptr);
    ASSERT_TRUE(entry->writeCB(out, size, geometry_, entry->offset, entry->size));
    TvMemory memory{};
    TvStreamClose(out, &memory);
    ASSERT_EQ(memory.length, size_t(size));
    const std::vector<uint8_t> body(memory.start, memory.start + memory.length);
    TvFree(memory.start);

    TpGeometry* g = ReadInto(body);
    ASSERT_NE(g, nullptr);
    for (int i = 0; i < 3; i++) {
        const TpAnimKey* key = TpAnimSequenceGeometryGetKey(g, i);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->startMorphTarget, i);
        EXPECT_EQ(key->endMorphTarget, i + 1);
        EXPECT_FLOAT_EQ(key->recipDuration, 1.0f / float(i + 1));
        EXPECT_EQ(key->next, TpAnimSequenceGeometryGetKey(g, i == 2 ? 1 : i + 1));
    }
    EXPECT_EQ(TpAnimSequenceGeometryGetKey(g, 3), nullptr);
    TpGeometryDestroy(g);
}

// Key records as stored: word 0, end target, start target, duration, next key index.
TEST_F(AnimChunkTest, KeysFromHandWrittenBytes) {
    const std::vector<uint8_t> body = {
        2, 0, 0, 0,                                                       // two keys
        7, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0x00, 0x3F, 1, 0, 0, 0, // 0.5 s, next 1
        0, 0, 0, 0, 4, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0x80, 0x3E, 0, 0, 0, 0, // 0.25 s, next 0
    };
    TpGeometry* g = ReadInto(body);
    ASSERT_NE(g, nullptr);
    const TpAnimKey* first = TpAnimSequenceGeometryGetKey(g, 0);
    const TpAnimKey* second = TpAnimSequenceGeometryGetKey(g, 1);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->word, 7u);
    EXPECT_EQ(first->endMorphTarget, 3);
    EXPECT_EQ(first->startMorphTarget, 2);
    EXPECT_EQ(first->duration, 0.5f);
    EXPECT_EQ(first->recipDuration, 2.0f);
    EXPECT_EQ(first->next, second);
    EXPECT_EQ(second->endMorphTarget, 4);
    EXPECT_EQ(second->duration, 0.25f);
    EXPECT_EQ(second->next, first);
    TpGeometryDestroy(g);
}

// A table without keys still writes its count word: the size says 4 bytes.
TEST_F(AnimChunkTest, SizeOfNoKeysIsTheCountWord) {
    TvPluginEntry* entry = AnimEntry();
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->getSizeCB(geometry_, entry->offset, entry->size), 4);
}

TEST_F(AnimChunkTest, DamagedKeyTablesAreRefused) {
    auto key = [](ChunkWriter& w, uint32_t next) { w.U32(0).U32(1).U32(0).F32(1.0f).U32(next); };
    ChunkWriter badNext, tooMany, empty;
    key(badNext.I32(1), 1);
    key(tooMany.I32(2), 0);
    empty.I32(0);
    EXPECT_EQ(ReadInto(badNext.data()), nullptr);
    EXPECT_EQ(ReadInto(tooMany.data()), nullptr);
    TpGeometry* g = ReadInto(empty.data());
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(TpAnimSequenceGeometryGetKey(g, 0), nullptr);
    TpGeometryDestroy(g);
}

} // namespace
