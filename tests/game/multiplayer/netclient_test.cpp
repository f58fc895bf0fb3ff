// The network client's set-up and sessions against the scripted component, and the settings
// file's texts.
#include "tests/game/multiplayer/net_fixture.h"
#include "tests/support/data_folder.h"

#include "engine/core/file_interface.h"

#include <algorithm>

namespace {

bool Called(const FakeNetwork& n, const std::string& call) {
    return std::find(n.calls.begin(), n.calls.end(), call) != n.calls.end();
}

} // namespace

// Service names set the transport flags in any case; names with neither offer both.
TEST_F(NetTest, ServiceNamesSetTheTransportFlags) {
    struct Case {
        std::vector<std::string> names;
        int32_t tcp, ipx;
    };
    for (const Case& c : {Case{{"Winsock tcp/ip", "ipx for DirectPlay"}, 1, 1},
                          Case{{"Serial cable"}, 1, 1}, Case{{"TCP/IP"}, 1, 0}}) {
        net_.serviceNames = c.names;
        MV2NetListServices();
        EXPECT_EQ(gMV2Net.tcpAvailable, c.tcp) << c.names[0];
        EXPECT_EQ(gMV2Net.ipxAvailable, c.ipx) << c.names[0];
    }
}

// The search fills at most the count asked for, each name cut to the stride; a joining machine
// passes the address for TCP/IP, a host never does.
TEST_F(NetTest, EnumeratingFillsCutNames) {
    net_.sessions = {"00FIRST", "01A-SESSION-NAME-LONGER-THAN-SIXTEEN", "02", "03", "04", "05"};
    gMV2Net.serviceIndex = 1;
    MV2NetSetAddress("127.0.0.1");
    char names[4][16];
    std::memset(names, '?', sizeof names);
    EXPECT_EQ(MV2NetEnumSessions(&names[0][0], 4, 16), 4);
    EXPECT_STREQ(names[0], "00FIRST");
    EXPECT_STREQ(names[1], "01A-SESSION-NAM");
    EXPECT_EQ(net_.optionAddress, "127.0.0.1");
    EXPECT_EQ(net_.calls.front(), "Disconnect");

    net_.calls.clear();
    net_.optionAddress.clear();
    gMV2NetHost = 1;
    EXPECT_EQ(MV2NetHostSession("05GAME"), 1);
    EXPECT_TRUE(net_.optionAddress.empty());
    EXPECT_TRUE(Called(net_, "OpenService 1"));
    EXPECT_TRUE(Called(net_, "HostSession 05GAME"));
    EXPECT_EQ(gMV2Net.localId, net_.hostLocalId);
    EXPECT_EQ(gMV2Net.gamePlayer, 1);
    EXPECT_EQ(gMV2Net.nextObjectId, 1u);
    EXPECT_EQ(net_.owners[gMV2Net.gamePlayerId], net_.hostLocalId);
}

// Joining copies the session's name before the layer enumerates again.
TEST_F(NetTest, JoiningUsesACopyOfTheSessionName) {
    net_.sessions = {"00ONE", "03TWO"};
    gMV2Net.inSession = 0;
    EXPECT_EQ(MV2NetJoinSession(1), 1);
    EXPECT_EQ(net_.joined, "03TWO");
    EXPECT_EQ(gMV2Net.inSession, 1);
    EXPECT_EQ(gMV2Net.localId, net_.joinLocalId);
    EXPECT_EQ(MV2NetJoinSession(5), 0);
}

// Leaving destroys the game player and says goodbye; the host also closes the session.
TEST_F(NetTest, LeavingSendsTheLeaveMessages) {
    gMV2Net.gamePlayer = 1;
    gMV2Net.gamePlayerId = 61;
    gMV2NetHost = 1;
    MV2NetLeaveGame();
    EXPECT_TRUE(Called(net_, "DestroyPlayer 61"));
    ASSERT_EQ(net_.sent.size(), 2u);
    EXPECT_EQ(net_.sent[0].payload, Game(16, 8));
    EXPECT_EQ(net_.sent[1].payload, Game(8, 8));
    EXPECT_EQ(net_.sent[1].flags, 1u);
    EXPECT_TRUE(Called(net_, "CloseSession"));
    MV2NetLeaveGame(); // once only
    EXPECT_EQ(net_.sent.size(), 2u);
}

// The settings file: the first line is dropped, later lines fill the table up to its size.
TEST_F(NetTest, SettingsFileFirstLineIsDroppedAndTheTableBounded) {
    DataFolder folder;
    struct Case {
        std::string text;
        int32_t count;
        const char* first;
    };
    std::string many = "head\n";
    for (int32_t i = 0; i < 40; ++i)
        many += "line " + std::to_string(i) + "\n";
    for (const Case& c : {Case{"only one line\n", 0, ""}, Case{"head\n%s killed %s\n", 1, "%s killed %s\n"},
                          Case{many, kMV2NetTextLines, "line 0\n"}}) {
        folder.Write("DATA/mplay.txt", c.text);
        TvFileInterface* files = TvEngineGetFileInterface();
        void* file = files->open(".\\DATA\\mplay.txt", "r");
        ASSERT_NE(file, nullptr);
        static char lines[kMV2NetTextLines][kMV2NetTextSize];
        std::memset(lines, 0, sizeof lines);
        EXPECT_EQ(MV2NetReadTexts(file, lines, kMV2NetTextLines), c.count);
        files->close(file);
        EXPECT_STREQ(lines[0], c.first);
    }
}

// The formatter fills "%s" in order and "%%", copies other conversions as text and cuts.
TEST_F(NetTest, FormatterSubstitutesOnlyNames) {
    const char* names[2] = {"ANN", "BOB"};
    struct Case {
        const char* text;
        size_t size;
        const char* out;
    };
    for (const Case& c : {Case{"%s killed %s", 64, "ANN killed BOB"},
                          Case{"%s %s %s", 64, "ANN BOB "},
                          Case{"%d%n%x 100%% %", 64, "%d%n%x 100% %"},
                          Case{"%s killed %s", 8, "ANN kil"}}) {
        char out[64];
        MV2NetFormatText(out, c.size, c.text, names, 2);
        EXPECT_STREQ(out, c.out) << c.text;
    }
}

// The file is looked for once a run: a missing file shows its box the first time only.
TEST_F(NetTest, MissingSettingsFileIsReportedOnce) {
    DataFolder folder;
    gMV2Net.textsLoaded = 0;
    PlatformClearMessageBoxes();
    MV2NetReset();
    MV2NetReset();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0], "mplay.txt could not be opened or does not exist");
}

// Without a component to make, creation fails with its box and leaves no interface behind; a
// client already made is not made again.
TEST_F(NetTest, ClientCreationFailsWithItsBox) {
    EXPECT_EQ(MV2NetCreateClient(), 1); // made already
    EXPECT_EQ(gMV2Net.network, &net_);
    gMV2Net = MV2NetClient{};
    PlatformClearMessageBoxes();
    EXPECT_EQ(MV2NetCreateClient(), 0);
    EXPECT_EQ(gMV2Net.network, nullptr);
    EXPECT_EQ(gMV2Net.created, 0);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0], "Client: Could not create network component.\n");
}
