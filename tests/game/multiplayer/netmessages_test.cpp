// The game's network messages against a scripted network component: the bytes each type puts on
// the wire, what each receipt does, and the bad messages a peer may send.
#include <cmath>
#include <limits>

#include "tests/game/multiplayer/net_fixture.h"

namespace {

TvV3d Pos(const MV2Object* o) {
    return o->matrix->pos;
}

int32_t WorldObjects() {
    int32_t n = 0;
    MV2NetForEachWorldObject([](MV2Object*, void* data) { return ++*static_cast<int32_t*>(data), true; }, &n);
    return n;
}

} // namespace

// The first state of a new player makes its craft, asks its name once and fills the record; a
// later state counts only with a sequence byte other than the record's.
TEST_F(NetTest, FirstStateMakesTheCraftAndAsksTheNameOnce) {
    EXPECT_EQ(Feed(kPeer, StateMessage(P(1, 0, 0), 0, 0x40, 3, 2, 100)), 0);
    MV2NetRemotePlayer* r = Record(kPeer);
    ASSERT_NE(r, nullptr);
    ASSERT_NE(r->craft, nullptr);
    EXPECT_EQ(int32_t(r->craft->typeWord & 0xFFFF), 84);
    EXPECT_EQ(r->craft->netData, r);
    EXPECT_TRUE(r->craft->flags & 2);
    EXPECT_FLOAT_EQ(Pos(r->craft).x, P(1, 0, 0).x);
    EXPECT_EQ(r->toggle, 1u);
    const std::vector<NetSent> asks = net_.OfType(kMV2NetNameRequest);
    ASSERT_EQ(asks.size(), 1u);
    EXPECT_EQ(asks[0].to, kPeer);
    EXPECT_EQ(asks[0].payload, Game(5, 8));

    // Sequence 0 from a known player is stale; 1 is used.
    Feed(kPeer, StateMessage(P(5, 0, 0), 0, 0, 3, 4, 50));
    EXPECT_FLOAT_EQ(r->targetPosition.x, P(1, 0, 0).x);
    Feed(kPeer, StateMessage(P(5, 0, 0), 1, 0, 3, 4, 50));
    EXPECT_FLOAT_EQ(r->targetPosition.x, P(5, 0, 0).x);
    EXPECT_EQ(r->frags, 4);
    EXPECT_EQ(r->energy, 50u);
    EXPECT_EQ(net_.OfType(kMV2NetNameRequest).size(), 1u);
}

// State messages a peer must not be trusted with are dropped or leave the orientation alone.
TEST_F(NetTest, BadStateMessagesAreDropped) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Feed(kPeer, StateMessage(P(0, 0, 0), 1, 0, 4));            // craft choice 4
    Feed(kPeer, StateMessage({nan, 50, 50}, 1));              // position not finite
    Feed(kLocal, StateMessage(P(0, 0, 0), 1));                // this machine's own id
    Feed(kPeer, StateMessage(P(0, 0, 0), 1, 0x80));           // not in play: no craft
    std::vector<uint8_t> shortState = StateMessage(P(0, 0, 0), 1);
    shortState.resize(35);
    Feed(kPeer, shortState);
    EXPECT_EQ(MV2NetFirstFreeRecord(), &gMV2NetPlayers[0]);
    EXPECT_EQ(WorldObjects(), 0);

    Feed(kPeer, StateMessage(P(0, 0, 0), 1));
    MV2NetRemotePlayer* r = Record(kPeer);
    ASSERT_NE(r, nullptr);
    const TvMatrix before = r->targetMatrix;
    std::vector<uint8_t> flat = StateMessage(P(0, 0, 0), 2);
    std::fill(flat.begin() + 20, flat.begin() + 29, 0); // no axes at all
    Feed(kPeer, flat);
    EXPECT_FLOAT_EQ(r->targetMatrix.at.z, before.at.z);
    EXPECT_TRUE(std::isfinite(r->targetMatrix.right.x));
}

// A ninth player's state finds no record; admission stops at eight players.
TEST_F(NetTest, AdmissionAndRecordsStopAtEight) {
    for (uint32_t i = 0; i < 8; ++i)
        EXPECT_EQ(FeedLayer({kVkNetPlayerRequest, 0}, 1000 + i), 0);
    EXPECT_EQ(FeedLayer({kVkNetPlayerRequest, 0}, 2000), kMV2NetRefusePlayer);
    for (uint32_t i = 0; i < 9; ++i)
        Feed(500 + i, StateMessage(P(float(i), 0, 0), 1));
    EXPECT_EQ(Record(508), nullptr);
    EXPECT_NE(Record(507), nullptr);
}

// The name answer sets the interval from half the round trip, within 100..1000 ms; until it
// comes the state goes out every 1000 ms and the question is asked again each time.
TEST_F(NetTest, NameAnswerSetsTheStateInterval) {
    struct Case {
        uint32_t delay, interval;
    };
    for (Case c : {Case{50, 100}, Case{3000, 1000}, Case{700, 350}}) {
        MV2NetClearRecords();
        Feed(kPeer, StateMessage(P(0, 0, 0), 1));
        MV2NetRemotePlayer* r = Record(kPeer);
        ASSERT_NE(r, nullptr);
        PlatformAdvanceClock(c.delay);
        std::vector<uint8_t> answer = Game(6, 40);
        std::memcpy(&answer[5], "PEER", 4);
        Feed(kPeer, answer);
        EXPECT_STREQ(r->name, "PEER");
        EXPECT_EQ(r->interval, c.interval) << c.delay;
        EXPECT_EQ(r->nextSend, PlatformManualClockValue() + c.interval);
    }

    MV2NetClearRecords();
    net_.sent.clear();
    Feed(kPeer, StateMessage(P(0, 0, 0), 1));
    for (int32_t frame = 0; frame < 3; ++frame) {
        MV2NetUpdate();
        PlatformAdvanceClock(600);
    }
    // Sent at once (next send 0), then 1000 ms later: twice in 1800 ms, each with a question.
    EXPECT_EQ(net_.OfType(kMV2NetPlayerState).size(), 2u);
    EXPECT_EQ(net_.OfType(kMV2NetNameRequest).size(), 3u);
}

// Names are cut at the message end and at the record's 31 characters.
TEST_F(NetTest, NamesAreCutToTheMessageAndTheRecord) {
    Feed(kPeer, StateMessage(P(0, 0, 0), 1));
    std::vector<uint8_t> answer = Game(6, 40);
    std::fill(answer.begin() + 5, answer.end(), 'A'); // no terminator at all
    Feed(kPeer, answer);
    EXPECT_EQ(std::strlen(Record(kPeer)->name), 31u);

    std::vector<uint8_t> hello = Game(15, 9);
    std::memcpy(&hello[5], "BOBZ", 4); // ends with the message
    Feed(kPeer, hello);
    EXPECT_TRUE(TickerHas("BOBZ joined"));
}

// The frag that reaches the limit sends the game-over once; frags beyond send nothing.
TEST_F(NetTest, FragLimitSendsGameOverOnce) {
    for (int32_t i = 0; i < 5; ++i)
        Feed(kPeer, Game(7, 8));
    EXPECT_EQ(gMV2Net.frags, 5);
    const std::vector<NetSent> over = net_.OfType(kMV2NetGameOver);
    ASSERT_EQ(over.size(), 1u);
    EXPECT_EQ(over[0].to, 0u);
    EXPECT_EQ(over[0].flags, 1u);
    EXPECT_EQ(gMV2Net.gameOver, 1);
    // The local player entered the table.
    MV2NetRemotePlayer* me = MV2NetFindRemotePlayer(kLocal);
    ASSERT_NE(me, nullptr);
    EXPECT_STREQ(me->name, "LOCAL");
    EXPECT_EQ(me->frags, 3);
}

// The spawn message is taken once, only with a level of the table; the session-closed and
// frag-limit messages only from the host.
TEST_F(NetTest, SpawnAndHostMessagesAreChecked) {
    auto spawn = [](uint32_t level, TvV3d at) {
        std::vector<uint8_t> b = Game(0, 36);
        PutV(b, 8, at);
        PutV(b, 20, {1, 0, 0});
        Put32(b, 32, level);
        return b;
    };
    Feed(kHost, spawn(0x0000FFFF, {1, 2, 3}));
    EXPECT_EQ(gMV2Net.spawnData, 0);
    Feed(kHost, spawn(0x0CFFFFFF, {1, 2, 3}));
    EXPECT_EQ(gMV2Net.spawnData, 1);
    EXPECT_EQ(gMV2LevelToLoad, 0x0CFFFFFFu);
    Feed(kPeer, spawn(0x0EFFFFFF, {9, 9, 9}));
    EXPECT_EQ(gMV2LevelToLoad, 0x0CFFFFFFu);
    TvV3d at{}, direction{};
    EXPECT_EQ(MV2NetGetSpawnPoint(&at, &direction), 1);
    EXPECT_FLOAT_EQ(at.y, 2.0f);
    EXPECT_FLOAT_EQ(direction.x, 1.0f);

    std::vector<uint8_t> limit = Game(13, 8);
    limit[5] = 9;
    Feed(kPeer, limit);
    EXPECT_EQ(gMV2Net.fragLimit, 3);
    Feed(kHost, limit);
    EXPECT_EQ(gMV2Net.fragLimit, 9);
    Feed(kPeer, Game(8, 8));
    EXPECT_EQ(gMV2Net.gameOver, 0);
    Feed(kHost, Game(8, 8));
    EXPECT_EQ(gMV2Net.gameOver, 1);
    EXPECT_TRUE(TickerHas("The host closed the game"));
}

// The host answers a new machine's player with the spawn and the frag limit; its own player
// gets nothing. Without spawn points the direction is +z.
TEST_F(NetTest, HostSendsSpawnAndFragLimitToANewMachine) {
    gMV2NetHost = 1;
    gMV2LevelToLoad = 0x0CFFFFFF;
    gMV2Level.startPosition = {4, 5, 6};
    FeedLayer({kVkNetPlayerAdded, 51, kLocal});
    EXPECT_TRUE(net_.sent.empty());
    FeedLayer({kVkNetPlayerAdded, 52, kPeer});
    ASSERT_EQ(net_.sent.size(), 2u);
    std::vector<uint8_t> expected = Game(0, 36);
    PutV(expected, 8, {4, 5, 6});
    PutV(expected, 20, {0, 0, 1});
    Put32(expected, 32, 0x0CFFFFFF);
    EXPECT_EQ(net_.sent[0].payload, expected);
    EXPECT_EQ(net_.sent[0].to, kPeer);
    std::vector<uint8_t> limit = Game(13, 8);
    limit[5] = 3;
    EXPECT_EQ(net_.sent[1].payload, limit);
}

// A player whose machine went takes its craft and its admission slot with it; its own goodbye
// arriving after finds no record, and the count never goes below 0.
TEST_F(NetTest, DroppedMachineLeavesThroughTheLayer) {
    FeedLayer({kVkNetPlayerRequest, 0}, kPeer);
    Feed(kPeer, StateMessage(P(0, 0, 0), 1));
    MV2NetRemotePlayer* r = Record(kPeer);
    ASSERT_NE(r, nullptr);
    MV2Object* craft = r->craft;
    std::snprintf(r->name, sizeof r->name, "PEER");
    net_.owners[77] = kPeer;
    FeedLayer({kVkNetPlayerRemoved, 77});
    EXPECT_EQ(Record(kPeer), nullptr);
    EXPECT_LT(craft->energy, 0.0f);
    EXPECT_EQ(gMV2Net.playerCount, 0);
    EXPECT_TRUE(TickerHas("PEER left"));
    MV2NetClearTicker();
    Feed(kPeer, Game(16, 8));
    EXPECT_EQ(gMV2Net.playerCount, 0);
    EXPECT_FALSE(TickerHas("PEER left"));
    // This machine's own player going is no remote player leaving.
    net_.owners[78] = kLocal;
    gMV2Net.playerCount = 2;
    FeedLayer({kVkNetPlayerRemoved, 78});
    EXPECT_EQ(gMV2Net.playerCount, 2);
}

// Kill texts name a known killer (or this machine); an unknown killer shows nothing.
TEST_F(NetTest, KillMessageNeedsAKnownKiller) {
    Feed(kPeer, StateMessage(P(0, 0, 0), 1));
    std::snprintf(Record(kPeer)->name, 32, "PEER");
    std::vector<uint8_t> killed = Game(17, 12);
    Put32(killed, 8, 12345);
    Feed(kPeer, killed);
    EXPECT_EQ(gMV2NetTicker[2].text[0], '\0');
    Put32(killed, 8, kLocal);
    Feed(kPeer, killed);
    EXPECT_NE(std::strstr(gMV2NetTicker[2].text, "LOCAL killed PEER"), nullptr);
}

// Objects made or asked for over the network must be multiplayer types; a made one gets its id.
TEST_F(NetTest, ObjectTypesOutsideThePickupsAreRefused) {
    ModelType(450, 0.5f);
    ModelType(3, 0.5f);
    auto spawned = [](uint16_t type) {
        std::vector<uint8_t> b = Game(10, 40);
        Put32(b, 8, 17);
        b[12] = uint8_t(type);
        b[13] = uint8_t(type >> 8);
        PutV(b, 16, {50, 50, 50});
        b[28] = 127;
        b[32] = 127;
        b[36] = 127;
        return b;
    };
    auto request = [](uint16_t type) {
        std::vector<uint8_t> b = Game(11, 20);
        b[6] = uint8_t(type);
        b[7] = uint8_t(type >> 8);
        PutV(b, 8, {50, 50, 50});
        return b;
    };
    Feed(kHost, spawned(3));
    Feed(kHost, spawned(461));
    Feed(kHost, request(3));
    Feed(kHost, request(65535));
    EXPECT_EQ(WorldObjects(), 0);
    Feed(kHost, spawned(450));
    Feed(kHost, request(456));
    EXPECT_EQ(WorldObjects(), 1); // the request is the host's business
}

// Weapon and tool ids beyond the player's tables, and explosion codes beyond the creator's,
// change nothing.
TEST_F(NetTest, WeaponToolAndExplosionCodesAreChecked) {
    Feed(kPeer, StateMessage(P(0, 0, 0), 1));
    MV2Object* craft = Record(kPeer)->craft;
    auto* sub = static_cast<MV2SubData*>(craft->privateData);
    const int32_t weapons = MV2CountWeapons(&sub->weapons);
    const int32_t current = sub->weapons.currentWeaponSlot;
    std::vector<uint8_t> hit = Game(3, 24);
    hit[20] = 200;
    Feed(kPeer, hit);
    EXPECT_EQ(MV2CountWeapons(&sub->weapons), weapons);
    EXPECT_EQ(sub->weapons.currentWeaponSlot, current);
    MV2Tool* const tools = sub->tools.first;
    const int32_t kind = sub->tools.currentKind;
    std::vector<uint8_t> tool = Game(4, 24);
    tool[20] = uint8_t(kMV2ToolKinds);
    Feed(kPeer, tool);
    EXPECT_EQ(sub->tools.first, tools);
    EXPECT_EQ(sub->tools.currentKind, kind);
    std::vector<uint8_t> boom = Game(2, 26);
    PutV(boom, 8, P(0, 0, 0));
    boom[22] = 200; // kind
    EXPECT_EQ(Feed(kPeer, boom), 0);
}

// Smoothing: a frame step of 60 puts the craft on its target; a step of 1 moves it a tenth of
// the way and turns it a thirtieth of the angle.
TEST_F(NetTest, RemoteCraftMovesTowardItsTarget) {
    Feed(kPeer, StateMessage(P(0, 0, 0), 1));
    MV2NetRemotePlayer* r = Record(kPeer);
    r->targetPosition = P(10, 0, 0);
    r->targetMatrix.right = {0, 0, -1};
    r->targetMatrix.up = {0, 1, 0};
    r->targetMatrix.at = {1, 0, 0}; // a quarter turn about y
    MV2NetSmoothCraft(r, 1.0f);
    EXPECT_NEAR(Pos(r->craft).x, P(1, 0, 0).x, 1e-4f);
    const float angle = std::atan2(r->craft->matrix->at.x, r->craft->matrix->at.z);
    EXPECT_NEAR(angle, 3.14159265f / 2.0f / 30.0f, 1e-4f);
    EXPECT_NEAR(r->craft->previousPosition.x, Pos(r->craft).x, 1e-6f);
    MV2NetSmoothCraft(r, 60.0f);
    EXPECT_FLOAT_EQ(Pos(r->craft).x, P(10, 0, 0).x);
    EXPECT_FLOAT_EQ(r->craft->matrix->at.x, 1.0f);

    // A half turn still turns, about an axis across the craft.
    r->targetMatrix.right = {-1, 0, 0};
    r->targetMatrix.at = {-1e-7f, 0, -1};
    r->craft->matrix->right = {1, 0, 0};
    r->craft->matrix->at = {0, 0, 1};
    MV2NetSmoothCraft(r, 15.0f);
    EXPECT_NEAR(r->craft->matrix->at.z, 0.0f, 1e-3f);
}

// The local player's state: the bytes of the layout, and "not in play" without a craft.
TEST_F(NetTest, PlayerStateBytes) {
    Feed(kPeer, StateMessage(P(0, 0, 0), 1));
    MV2NetUpdate();
    std::vector<NetSent> states = net_.OfType(kMV2NetPlayerState);
    ASSERT_EQ(states.size(), 1u);
    std::vector<uint8_t> expected = Game(1, 36);
    expected[5] = 0x80;
    EXPECT_EQ(states[0].payload, expected);
    EXPECT_EQ(states[0].to, kPeer);

    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    craft->energy = MV2TypeFloat(craft->type, 1) * 0.5f;
    gMV2Net.frags = -1;
    MV2NetFillPlayerState();
    MV2NetSendPlayerState(kPeer);
    const std::vector<uint8_t>& b = net_.sent.back().payload;
    ASSERT_EQ(b.size(), 36u);
    EXPECT_EQ(Get32(b, 0), 32u);
    EXPECT_EQ(b[4], 1);
    EXPECT_FLOAT_EQ(GetF(b, 8), Pos(craft).x);
    EXPECT_FLOAT_EQ(GetF(b, 16), Pos(craft).z);
    EXPECT_EQ(b[29] & 15, 0);
    EXPECT_EQ(b[30], 0xFF);
    EXPECT_EQ(b[31], 127);
    EXPECT_EQ(b[32], 0);
    EXPECT_EQ(gMV2Net.sequence, 1);
}

// Records that stand for this machine are never moved or sent to; the score order sorts an
// index and leaves the records where they are.
TEST_F(NetTest, LocalRecordAndScoreOrder) {
    Feed(kPeer, StateMessage(P(0, 0, 0), 1));
    Feed(kPeer + 1, StateMessage(P(1, 0, 0), 1));
    gMV2NetPlayers[0].frags = 3;
    gMV2NetPlayers[1].frags = 5;
    gMV2Net.frags = 7;
    Feed(kHost, Game(14, 8)); // game over from a player without a record
    ASSERT_EQ(gMV2NetPlayers[2].networkId, kLocal);
    MV2Object* first = gMV2NetPlayers[0].craft;
    int32_t order[8];
    ASSERT_EQ(MV2NetScoreOrder(order), 3);
    EXPECT_EQ(order[0], 2);
    EXPECT_EQ(order[1], 1);
    EXPECT_EQ(order[2], 0);
    EXPECT_EQ(gMV2NetPlayers[0].craft, first);
    EXPECT_EQ(first->netData, &gMV2NetPlayers[0]);
    net_.sent.clear();
    MV2NetUpdate();
    for (const NetSent& s : net_.OfType(kMV2NetPlayerState))
        EXPECT_NE(s.to, kLocal);
}

// A failing poll ends the session for the update.
TEST_F(NetTest, FailedPollEndsTheSession) {
    net_.pollResult = VK_E_FAIL;
    MV2NetUpdate();
    EXPECT_EQ(gMV2Net.created, 0);
    EXPECT_EQ(gMV2Net.inSession, 0);
}

// The senders' layouts: weapon hit to a craft within 30 units, killed and frag, energy.
TEST_F(NetTest, SendersWriteTheLayout) {
    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    Feed(kPeer, StateMessage(TvV3dAdd(Pos(craft), {0, 0, 5}), 1));
    Feed(kPeer + 1, StateMessage(TvV3dAdd(Pos(craft), {0, 0, 40}), 1));
    net_.sent.clear();
    auto* sub = static_cast<MV2SubData*>(craft->privateData);
    ASSERT_NE(MV2AddWeapon(&sub->weapons, sub, static_cast<MV2SubDefinition*>(craft->type->subDefinition),
                           10, 0, craft),
              nullptr);
    MV2SelectWeapon(&sub->weapons, 10);
    MV2NetSendWeaponHit();
    ASSERT_EQ(net_.sent.size(), 1u);
    const NetSent& hit = net_.sent[0];
    EXPECT_EQ(hit.to, kPeer);
    ASSERT_EQ(hit.payload.size(), 24u);
    EXPECT_EQ(hit.payload[4], 3);
    EXPECT_EQ(hit.payload[20], 10);

    MV2NetRemotePlayer* r = Record(kPeer);
    std::snprintf(r->name, sizeof r->name, "PEER");
    net_.sent.clear();
    MV2NetSendKilled(r->craft);
    ASSERT_EQ(net_.sent.size(), 2u);
    std::vector<uint8_t> killed = Game(17, 12);
    Put32(killed, 8, kPeer);
    EXPECT_EQ(net_.sent[0].payload, killed);
    EXPECT_EQ(net_.sent[0].to, 0u);
    EXPECT_EQ(net_.sent[1].payload, Game(7, 8));
    EXPECT_EQ(net_.sent[1].to, kPeer);
    EXPECT_NE(std::strstr(gMV2NetTicker[2].text, "PEER killed LOCAL"), nullptr);

    net_.sent.clear();
    MV2NetSendEnergy(r, craft, MV2TypeFloat(craft->type, 1) * 0.25f);
    std::vector<uint8_t> energy = Game(18, 8);
    energy[5] = 63;
    ASSERT_EQ(net_.sent.size(), 1u);
    EXPECT_EQ(net_.sent[0].payload, energy);
}

// The state byte sent is the player's control byte: the level clear marks the player not in
// play, and the first frame of the new craft's brain takes the mark off, so that the other
// machines make its craft (a host never announces itself, so a mark that stayed would hide it
// from every joiner for the whole game).
TEST_F(NetTest, TheNotInPlayMarkEndsWithTheNewCraftsFirstFrame) {
    MV2SetPlayerControlState(0x80);
    MV2NetFillPlayerState();
    MV2NetSendPlayerState(kPeer);
    EXPECT_EQ(net_.sent.back().payload[5], 0x80);
    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    Frame(craft);
    MV2NetFillPlayerState();
    MV2NetSendPlayerState(kPeer);
    EXPECT_EQ(net_.sent.back().payload[5] & 0x80, 0);
    EXPECT_FLOAT_EQ(GetF(net_.sent.back().payload, 8), Pos(craft).x);
}
