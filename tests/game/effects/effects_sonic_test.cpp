// The sonic weapon, its blasts and their distortion list, and the sound source.
#include "tests/game/effects/effects_fixture.h"

#include <algorithm>

#include "game/player/weapons.h"

namespace {

class SonicTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        ASSERT_EQ(MV2InitialiseExplosions(), 1);
        ASSERT_EQ(MV2InitialiseSonicDistortions(), 1);
        ModelType(kMV2CarrierType, 0.01f);
        Moving(HandledType(kMV2SonicBlastType, MV2SonicBlastHandler, sizeof(MV2SonicBlastData),
                           0.8f));
        HandledType(kMV2SoundSourceType, MV2SoundSourceHandler, sizeof(MV2SoundSourceData));
        MV2ObjectType* target = Moving(HandledType(2, MV2ObjectDefaultHandler, 0, 0.5f));
        target->words[7] |= kMV2TypeCanDie;
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        MV2DrawSonicDistortions(); // empties the list
        MV2ShutdownSonicDistortions();
        MV2ShutdownExplosions();
        EffectsTest::TearDown();
    }
    // A body that moves.
    static MV2ObjectType* Moving(MV2ObjectType* type) {
        type->words[31] = 1u << 28;
        MV2SetTypeFloat(type, 2, 1.0f);
        return type;
    }
    MV2Object* Blast(TvV3d at) {
        MV2Object* b = Make(kMV2SonicBlastType, at);
        return b;
    }
    static MV2SonicBlastData* Data(MV2Object* o) {
        return static_cast<MV2SonicBlastData*>(o->privateData);
    }
};

} // namespace

TEST_F(SonicTest, TheTwentyFifthShotEmptiesTheSharedAmmunition) {
    MV2Object* shooter = Make(2, Rel(0, -2, 2));
    ASSERT_NE(shooter, nullptr);
    ASSERT_NE(shooter->body, nullptr);
    shooter->body->velocity = {0.1f, 0, 0};
    MV2WeaponRecord weapon{};
    weapon.slot = kMV2SonicWeaponRow;
    weapon.row = MV2GetWeaponRow(kMV2SonicWeaponRow);
    ASSERT_EQ(weapon.row->handler, &MV2SonicWeaponHandler);
    ASSERT_EQ(weapon.row->shotType, kMV2SonicBlastType);
    MV2WeaponSendMessage(&weapon, 3, 0, reinterpret_cast<intptr_t>(shooter));
    EXPECT_EQ(MV2GetSonicAmmunition(), 25);
    float fraction = 0.0f;
    MV2WeaponSendMessage(&weapon, 60, 0, reinterpret_cast<intptr_t>(&fraction));
    EXPECT_FLOAT_EQ(fraction, 1.0f);
    MV2WeaponIcon icon{};
    MV2WeaponSendMessage(&weapon, 57, 0, reinterpret_cast<intptr_t>(&icon));
    EXPECT_EQ(icon.sprite, 35);
    EXPECT_EQ(icon.colour, (97u << 16) | (189u << 8) | 255u);

    TvMatrix mount = *shooter->matrix;
    mount.at = {0, 0, 2}; // not unit: the offsets use the unit rows
    mount.right = {-1, 0, 0};
    MV2CreationRecord record{};
    record.matrix = &mount;
    record.owner = shooter;
    // The lock-on query fires nothing.
    EXPECT_EQ(MV2WeaponSendMessage(&weapon, 10, 1, reinterpret_cast<intptr_t>(&record)), 0);
    EXPECT_EQ(MV2GetSonicAmmunition(), 25);
    std::vector<MV2Object*> blasts;
    for (int32_t shot = 1; shot <= 26; shot++) {
        EXPECT_EQ(MV2WeaponSendMessage(&weapon, 10, 0, reinterpret_cast<intptr_t>(&record)), 1);
        MV2Object* made = nullptr;
        for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
            if ((o->typeWord & kMV2ObjectTypeMask) == kMV2SonicBlastType &&
                std::find(blasts.begin(), blasts.end(), o) == blasts.end())
                made = o;
        if (shot > 25) {
            EXPECT_EQ(made, nullptr);
            continue;
        }
        ASSERT_NE(made, nullptr) << shot;
        blasts.push_back(made);
        EXPECT_EQ(made->aiCategory, 10);
        EXPECT_NEAR(made->matrix->pos.z, mount.pos.z + 1.5f, 1e-4f);
        EXPECT_NEAR(made->matrix->pos.x, mount.pos.x - 0.2f, 1e-4f);
        EXPECT_NEAR(made->body->velocity.x, 0.1f + 0.2f * made->matrix->at.x, 1e-5f);
        MV2Object* owner = nullptr;
        MV2ObjectSendMessage(made, 16, 0, reinterpret_cast<intptr_t>(&owner));
        EXPECT_EQ(owner, shooter);
    }
    EXPECT_EQ(MV2GetSonicAmmunition(), 0);
    MV2WeaponSendMessage(&weapon, 60, 0, reinterpret_cast<intptr_t>(&fraction));
    EXPECT_FLOAT_EQ(fraction, 0.0f);
}

TEST_F(SonicTest, ABlastHarmsNothingInItsFirstFifthOfASecondAndBurstsAfterFive) {
    MV2Object* blast = Blast(Rel(0, -2, 5));
    MV2Object* target = Make(2, Rel(1, -2, 5));
    ASSERT_NE(blast, nullptr);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(Data(blast)->fullRadius, 0.8f);
    const float energy = target->energy;
    gMV2FrameTimer.ticks = 3.0f; // 0.1 s
    EXPECT_EQ(MV2ObjectSendMessage(blast, 14, 0, reinterpret_cast<intptr_t>(target)), 0);
    EXPECT_EQ(target->energy, energy);
    Data(blast)->age = 0.21f;
    EXPECT_EQ(MV2ObjectSendMessage(blast, 19, 0, reinterpret_cast<intptr_t>(target)), 0);
    EXPECT_NEAR(target->energy, energy - 0.8f, 1e-5f); // 0.1 s x 8
    // The owner is given only while it lives.
    MV2ObjectSendMessage(blast, 15, 0, reinterpret_cast<intptr_t>(target));
    MV2Object* owner = nullptr;
    MV2ObjectSendMessage(blast, 16, 0, reinterpret_cast<intptr_t>(&owner));
    EXPECT_EQ(owner, target);
    MV2ObjectSendMessage(target, 4, 0, 0);
    MV2ObjectSendMessage(blast, 16, 0, reinterpret_cast<intptr_t>(&owner));
    EXPECT_EQ(owner, nullptr);
    // It floats: the update cancels gravity's pull, ages it and grows its sphere.
    const MV2ObjectHandle handle = blast->handle;
    Data(blast)->age = 4.95f;
    blast->body->velocity = {0, 0, 0};
    MV2ObjectSendMessage(blast, 2, 0, 0);
    EXPECT_NEAR(Data(blast)->age, 5.05f, 1e-4f);
    EXPECT_EQ(MV2CountSonicDistortions(), 1);
    ASSERT_TRUE(MV2ObjectHandleAlive(handle));
    MV2ObjectSendMessage(blast, 2, 0, 0);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
    EXPECT_NE(MV2FirstExplosion(), nullptr);
    // Registered positions are copies: drawing after the blast went is safe.
    EXPECT_EQ(MV2CountSonicDistortions(), 2);
    MV2DrawSonicDistortions();
    EXPECT_EQ(MV2CountSonicDistortions(), 0);
}

TEST_F(SonicTest, OnlyTwentyFourBlastsAFrameDistortThePicture) {
    for (int32_t i = 0; i < 26; i++) {
        MV2Object* b = Blast(Rel(float(i % 5) - 2.0f, -2, 5 + float(i / 5)));
        ASSERT_NE(b, nullptr);
        MV2ObjectSendMessage(b, 2, 0, 0);
    }
    EXPECT_EQ(MV2CountSonicDistortions(), kMV2Distortions);
    MV2DrawSonicDistortions();
    EXPECT_EQ(MV2CountSonicDistortions(), 0);
}

TEST_F(SonicTest, RingsFivePixelsApartPushOutwardWithinTwentyFourPixels) {
    const struct {
        int32_t row, column, rowOffset, columnOffset;
    } cases[] = {
        {40, 40, 0, 0},  // the centre
        {40, 47, 0, 6},  // d 7: 0.4 of a ring, 16 x 0.4 = 6.4 out
        {40, 33, 0, -6}, // the same, to the left
        {43, 44, 0, 0},  // d 5: on a ring
        {40, 63, 0, 9},  // d 23
        {40, 64, 0, 0},  // d 24: outside
        {48, 46, 0, 0},  // d 10: on a ring
        {49, 43, 13, 4}, // d 9.49: 0.897 of a ring, 15.1 out along the radius
    };
    for (const auto& c : cases) {
        int32_t r = 99, col = 99;
        ASSERT_EQ(MV2SonicDistortionOffset(c.row, c.column, &r, &col), 1);
        EXPECT_EQ(r, c.rowOffset) << c.row << "," << c.column;
        EXPECT_EQ(col, c.columnOffset) << c.row << "," << c.column;
    }
    EXPECT_EQ(MV2SonicDistortionOffset(80, 0, nullptr, nullptr), 0);
}

TEST_F(SonicTest, ASoundSourceKeepsItsFirstSoundAndStopsItsLoop) {
    MV2Object* source = Make(kMV2SoundSourceType, Rel(0, -2, 5));
    ASSERT_NE(source, nullptr);
    auto* d = static_cast<MV2SoundSourceData*>(source->privateData);
    EXPECT_EQ(source->aiCategory, 1);
    EXPECT_TRUE(source->flags & kMV2ObjectActive);
    EXPECT_EQ(d->playing, 0u);
    MV2ObjectSendMessage(source, 12, 0, 0); // none yet
    EXPECT_EQ(d->playing, 0u);
    MV2ObjectSendMessage(source, 12, 17, 0);
    MV2ObjectSendMessage(source, 12, 23, 0);
    EXPECT_EQ(d->sound, 17);
    EXPECT_EQ(d->playing, 1u);
    MV2ObjectSendMessage(source, 2, 0, 0);
    EXPECT_NE(source->soundSlot, nullptr);
    MV2ObjectSendMessage(source, 11, 0, 0);
    EXPECT_EQ(d->playing, 0u);
    EXPECT_EQ(source->soundSlot, nullptr);
    MV2ObjectSendMessage(source, 2, 0, 0);
    EXPECT_EQ(source->soundSlot, nullptr);
    intptr_t size = 0;
    MV2ObjectSendMessage(source, 96, 0, reinterpret_cast<intptr_t>(&size));
    EXPECT_EQ(size, intptr_t(sizeof(MV2SoundSourceData)));
}
