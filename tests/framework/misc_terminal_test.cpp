#include "framework/core/framework.h"
#include "framework/misc/terminal.h"
#include "tests/framework/framework_fixture.h"

#include <string>

namespace {

// A terminal's line: keys come from `keys`, screen output collects in `screen`.
class Wire final : public VkObject<IVkStream, IID_IVkStream> {
public:
    VkResult Read(void* buffer, uint32_t bytes, uint32_t* read) override {
        uint32_t n = static_cast<uint32_t>(keys.size()) < bytes ? keys.size() : bytes;
        keys.copy(static_cast<char*>(buffer), n);
        keys.erase(0, n);
        if (read) *read = n;
        return VK_OK;
    }
    VkResult Write(const void* buffer, uint32_t bytes, uint32_t* written) override {
        screen.append(static_cast<const char*>(buffer), bytes);
        if (written) *written = bytes;
        return VK_OK;
    }
    VkResult Seek(int32_t, uint32_t, uint32_t*) override { return VK_E_FAIL; }
    std::string keys, screen;

private:
    void Destroy() override { delete this; }
};

const std::string kEsc = "\x1b";

class Terminal : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        terminal = Create<IVkTerminal>(CLSID_VkTerminal, IID_IVkTerminal);
        ASSERT_NE(terminal, nullptr);
        wire = new Wire;
        ASSERT_EQ(terminal->SetStream(wire), VK_OK);
    }
    void TearDown() override {
        EXPECT_EQ(terminal->Release(), 0u); // drops its reference on the wire
        EXPECT_EQ(wire->Release(), 0u);
        FrameworkTest::TearDown();
    }
    // Sends keys (every Poll reads at most 64 of them) and returns what the screen got.
    std::string Type(const std::string& keys) {
        wire->keys += keys;
        wire->screen.clear();
        do
            EXPECT_EQ(terminal->Poll(), VK_OK);
        while (!wire->keys.empty());
        return wire->screen;
    }
    std::string Line() {
        const char* text = nullptr;
        EXPECT_EQ(terminal->GetLine(&text), VK_OK);
        return text ? text : "(none)";
    }
    IVkTerminal* terminal = nullptr;
    Wire* wire = nullptr;
};

TEST_F(Terminal, AsksTheScreenSizeThenTracksTheOutputPosition) {
    EXPECT_EQ(Type(""), kEsc + "[999;999H" + kEsc + "[6n");
    Type(kEsc + "[50;132R");
    EXPECT_EQ(Type(""), ""); // asked once
    Type(kEsc + "[10;5R");   // a later report is the output position
    wire->screen.clear();
    terminal->Print("hi");
    EXPECT_EQ(wire->screen, kEsc + "[50;1H" + kEsc + "[0J" + kEsc + "[10;5Hhi" + kEsc + "[6n" +
                                kEsc + "[50;1H" + kEsc + "[0K");

    // Below the edit row, the output starts on the edit row and the edit line follows it.
    EXPECT_EQ(terminal->SetOutputPosition(1000, 5), VK_E_FAIL);
    EXPECT_EQ(terminal->SetOutputPosition(130, 60), VK_OK);
    Type("ab");
    wire->screen.clear();
    terminal->Print("xyz"); // passes the last column: the edit line goes to the last row
    EXPECT_EQ(wire->screen, kEsc + "[50;1H" + kEsc + "[0J" + kEsc + "[50;130Hxyz" + kEsc + "[6n" +
                                kEsc + "[50;1Hab" + kEsc + "[0K");
}

TEST_F(Terminal, SizeRepliesOutOfRangeAreIgnored) {
    const char* replies[] = {"[0;0R", "[999;999R", "[1;1R", "[;R"};
    for (const char* reply : replies) {
        terminal->Initialise();
        terminal->SetStream(wire);
        Type("");
        Type(kEsc + reply);
        wire->screen.clear();
        terminal->Print("");
        EXPECT_EQ(wire->screen.substr(0, 7), kEsc + "[25;1H") << reply; // still 25 rows
    }
}

TEST_F(Terminal, EditsTheLineAndQueuesCompletedLines) {
    Type("");
    EXPECT_EQ(Type("ab"), "ab");
    EXPECT_EQ(Type(kEsc + "[D"), kEsc + "[1D");
    // Inserting before the end redraws the line and steps back to the cursor.
    EXPECT_EQ(Type("X"), kEsc + "[25;1HaXb" + kEsc + "[0J" + kEsc + "[1D");
    EXPECT_EQ(Line(), "(none)");
    EXPECT_EQ(Type("\r"), "\r");
    EXPECT_EQ(Line(), "aXb");

    Type("12\x08"
         "3" +
         kEsc + "[D" + kEsc + "[D\x10\n\n"); // "13", delete at "1"
    EXPECT_EQ(Line(), "aXb");
    EXPECT_EQ(terminal->NextLine(), VK_OK);
    EXPECT_EQ(Line(), "3");
    EXPECT_EQ(terminal->NextLine(), VK_OK);
    EXPECT_EQ(Line(), "(none)");
    EXPECT_EQ(terminal->NextLine(), VK_E_NOTERMINALDATA);
}

TEST_F(Terminal, RecallsEarlierLines) {
    Type("");
    Type("one\rtwo\r");
    Type(kEsc + "[A");
    Type(kEsc + "[A");
    EXPECT_EQ(Type(kEsc + "[A"), kEsc + "[25;1Hone" + kEsc + "[0J"); // no older line
    Type(kEsc + "[B");
    EXPECT_EQ(Type(kEsc + "[B"), kEsc + "[25;1H" + kEsc + "[0J"); // back to the empty line
    Type(kEsc + "[A!\r");
    terminal->NextLine();
    terminal->NextLine();
    EXPECT_EQ(Line(), "two!");
}

TEST_F(Terminal, LineAndRingLimits) {
    Type("");
    EXPECT_EQ(Type(std::string(256, 'x')).size(), 256u);
    EXPECT_EQ(Type("y"), "\x07");
    Type("\r");

    // Lines already taken make room for new ones as the ring goes round; the line waiting
    // for the client is kept, so the ring finally refuses.
    for (int i = 0; i < 40; ++i) {
        terminal->NextLine();
        Type(std::string(200, static_cast<char>('a' + i % 26)) + "\r");
    }
    EXPECT_EQ(Line(), std::string(200, 'a' + 39 % 26)); // it crossed the ring's end
    for (int i = 0; i < 20; ++i)
        Type(std::string(200, '-') + "\r");
    EXPECT_EQ(Type("z").back(), '\x07');
    EXPECT_EQ(Line(), std::string(200, 'a' + 39 % 26));
}

TEST_F(Terminal, NoStream) {
    terminal->SetStream(nullptr);
    EXPECT_EQ(terminal->Print("x"), VK_E_NOTERMINALDATA);
    EXPECT_EQ(terminal->Poll(), VK_OK);
    IVkStream* stream = wire;
    terminal->GetStream(&stream);
    EXPECT_EQ(stream, nullptr);
    terminal->SetStream(wire);
}

} // namespace
