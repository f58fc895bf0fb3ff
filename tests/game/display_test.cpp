// The game on a real X display (Xvfb): the configuration dialog drawn in its window, dumped by
// the X server and answered with a key, then a recorded path through the logo movie, the title,
// the menus, the first mission's console and briefing into play and the in-game menu, with the
// pictures the game window shows read back at known times and checked. Screenshots are kept
// under the test's working folder in screenshots/ (build/tests/screenshots under CTest).
// Skipped when Xvfb, xdotool or xwd is missing or the server does not start.
#include <gtest/gtest.h>

#include "tests/game/program_runner.h"
#include "tests/support/input_script.h"
#include "tests/support/screenshot.h"
#include "tests/support/xvfb.h"
#include "tools/sampledata/sampledata.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

namespace {
namespace fs = std::filesystem;
using namespace program_runner;

// The menu's text and the bar behind its highlighted item, as the sample font and menus draw them.
constexpr uint8_t kMenuText[3] = {217, 217, 217};
constexpr uint8_t kHighlightBar[3] = {4, 22, 50};
// The in-game menu's items over its shade: light grey, the highlighted one yellow.
constexpr uint8_t kInGameText[3] = {217, 217, 181};
constexpr uint8_t kInGameHighlight[3] = {247, 217, 0};

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char line[256];
        while (fgets(line, sizeof line, p))
            out += line;
        pclose(p);
    }
    return out;
}

// Mean of the brightest channel over a rectangle, sampled every other pixel.
double MeanBrightness(const Screenshot& shot, int x0, int y0, int x1, int y1) {
    double sum = 0;
    int n = 0;
    for (int y = y0; y < y1; y += 2)
        for (int x = x0; x < x1; x += 2, ++n) {
            const uint8_t* p = shot.At(x, y);
            sum += std::max({p[0], p[1], p[2]});
        }
    return n ? sum / n : 0;
}

// The moments shot, by the frame of the recording whose clock they are taken at.
struct Moment {
    const char* name;
    uint32_t frame;
};

TEST(Display, TheRealWindowFromTheDialogThroughTheMenusIntoPlayAndTheInGameMenu) {
    if (std::system("{ command -v Xvfb && command -v xdotool && command -v xwd; } >/dev/null 2>&1"))
        GTEST_SKIP() << "Xvfb, xdotool or xwd missing";
    XvfbServer server("1024x768x24");
    if (!server.Running()) GTEST_SKIP() << "Xvfb did not start";
    const std::string display = server.Display();

    char tmpl[] = "/tmp/marovant-display-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    const fs::path shots = dir / "shots";
    fs::create_directories(shots);
    ASSERT_TRUE(SampleDataWrite((dir / "data").string()));
    const fs::path kept = fs::current_path() / "screenshots";
    fs::create_directories(kept);

    // From the start-up pictures to the title and the menus, the campaign start, the console's
    // briefing and back to play; Escape in play opens the in-game menu. Play is shot once the
    // screen has faded in from the launches. Its HUD is not checked yet: the craft leaving the
    // city is never handed back to the player (the sub brain's city route ends at once without
    // the city's release), so the letterbox bars stay and the HUD is not drawn.
    InputScript script;
    AddCampaignStartKeys(script);
    const uint32_t play = AddLaunchKeys(script, kScriptConsoleFrame);
    constexpr uint8_t kEscape = 0x01;
    constexpr uint32_t kVkEscape = 0x1B;
    script.Press(play + 300, kEscape, kVkEscape);
    script.frames = play + 340;
    const Moment moments[] = {{"logo_movie", 180}, {"title", 197},         {"menu", 360},
                              {"play", play + 290}, {"in_game_menu", play + 330}};
    std::string times;
    for (const Moment& m : moments)
        times += (times.empty() ? "" : ",") + std::to_string(script.startMs + m.frame * script.frameMs);
    {
        const std::vector<uint8_t> bytes = WriteInputScript(script);
        std::ofstream(dir / "run.rec", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    setenv("DISPLAY", display.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("MAROVANT_REPLAY_INPUT", (dir / "run.rec").c_str(), 1);
    setenv("MAROVANT_WINDOW_SHOTS", shots.c_str(), 1);
    setenv("MAROVANT_WINDOW_SHOT_TIMES", times.c_str(), 1);
    const std::string err = (dir / "run.err").string();
    const pid_t pid = Start(err, (dir / "data").string());
    for (const char* name : {"MAROVANT_REPLAY_INPUT", "MAROVANT_WINDOW_SHOTS",
                             "MAROVANT_WINDOW_SHOT_TIMES", "DISPLAY"})
        unsetenv(name);
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ASSERT_GT(pid, 0);

    // The configuration dialog on the screen: dumped by the X server, then Play clicked.
    const std::string x = "DISPLAY=" + display + " xdotool ";
    std::string window;
    for (int i = 0; i < 300 && window.empty(); ++i) {
        usleep(100000);
        window = Output(x + "search --onlyvisible --name 'Marovant\\(TM\\)  Configuration' 2>/dev/null | head -1");
        if (!window.empty()) window.pop_back();
    }
    ASSERT_FALSE(window.empty()) << "the dialog never showed: " << ReadFile(err);
    usleep(500000); // a few frames drawn
    Screenshot dialog;
    ASSERT_TRUE(XwdDump(display, window, &dialog));
    WritePpm((kept / "config_dialog.ppm").string(), dialog);
    EXPECT_GT(LitShare(dialog), 0.3) << "the dialog is dark";
    std::system((x + "key --window " + window + " Return").c_str());

    const int code = WaitFor(pid, 240);
    const std::string errors = ReadFile(err);
    EXPECT_EQ(code, 0) << errors;
    EXPECT_EQ(errors.find("Marovant Error"), std::string::npos) << errors;

    Screenshot shot[std::size(moments)];
    for (size_t i = 0; i < std::size(moments); ++i) {
        ASSERT_TRUE(ReadPpm((shots / ("shot-" + std::to_string(i) + ".ppm")).string(), &shot[i]))
            << moments[i].name << " was not shot";
        WritePpm((kept / (std::string(moments[i].name) + ".ppm")).string(), shot[i]);
        EXPECT_GT(LitShare(shot[i]), 0.3) << moments[i].name << " is dark";
    }
    const Screenshot &title = shot[1], &menu = shot[2], &inPlay = shot[3], &inGameMenu = shot[4];
    // The title shows no menu; the menu's highlighted row is a dark bar across the middle of
    // the screen with its text on it.
    const int w = menu.width, h = menu.height;
    const int x0 = w / 4, y0 = h * 2 / 5, x1 = w * 3 / 4, y1 = h / 2;
    EXPECT_LT(CountColour(title, x0, y0, x1, y1, kMenuText, 6), 100);
    EXPECT_LT(CountColour(title, x0, y0, x1, y1, kHighlightBar, 8), 100);
    EXPECT_GT(CountColour(menu, x0, y0, x1, y1, kHighlightBar, 8), 8000);
    EXPECT_GT(CountColour(menu, x0, y0, x1, y1, kMenuText, 6), 1000);

    // The in-game menu: its title near the top, its first item highlighted (yellow) a third of
    // the way down, the other items grey below it, over a shade that darkens the world. Play
    // shows none of the menu's colours.
    const int hy0 = h * 34 / 100, hy1 = h * 41 / 100, ry0 = h * 43 / 100, ry1 = h * 58 / 100;
    EXPECT_GT(CountColour(inGameMenu, x0, hy0, x1, hy1, kInGameHighlight, 8), 800);
    EXPECT_LT(CountColour(inGameMenu, x0, hy0, x1, hy1, kInGameText, 8), 50);
    EXPECT_GT(CountColour(inGameMenu, x0, ry0, x1, ry1, kInGameText, 8), 1500);
    EXPECT_LT(CountColour(inGameMenu, x0, ry0, x1, ry1, kInGameHighlight, 8), 50);
    EXPECT_GT(CountColour(inGameMenu, x0, h / 10, x1, h * 15 / 100, kInGameText, 8), 1000);
    for (const uint8_t* colour : {kInGameText, kInGameHighlight})
        EXPECT_LT(CountColour(inPlay, 0, 0, w, h, colour, 8), 100);
    EXPECT_LT(MeanBrightness(inGameMenu, w / 8, h / 8, w * 7 / 8, h * 7 / 8),
              0.75 * MeanBrightness(inPlay, w / 8, h / 8, w * 7 / 8, h * 7 / 8))
        << "the in-game menu's shade does not darken the world";
    fs::remove_all(dir);
}

} // namespace
