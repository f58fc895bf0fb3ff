// The game on a real X display (Xvfb): the configuration dialog drawn in its window, dumped by
// the X server and answered with a key, then a recorded path through the logo movie, the title
// and the menus, with the pictures the game window shows read back at known times and checked. Screenshots are kept under the test's working
// folder in screenshots/ (build/tests/screenshots under CTest). Skipped when Xvfb, xdotool or
// xwd is missing or the server does not start.
#include <gtest/gtest.h>

#include "tests/game/program_runner.h"
#include "tests/support/input_script.h"
#include "tests/support/screenshot.h"
#include "tests/support/xvfb.h"
#include "tools/sampledata/sampledata.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace {
namespace fs = std::filesystem;
using namespace program_runner;

// The menu's text and the bar behind its highlighted item, as the sample font and menus draw them.
constexpr uint8_t kMenuText[3] = {217, 217, 217};
constexpr uint8_t kHighlightBar[3] = {4, 22, 50};

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

// The moments shot, by the frame of the recording whose clock they are taken at.
struct Moment {
    const char* name;
    uint32_t frame;
};

TEST(Display, TheRealWindowFromTheDialogThroughTheTitleToTheMenus) {
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

    // From the start-up pictures to the title and the menus, as far as the campaign start.
    InputScript script;
    script.frames = 420;
    AddCampaignStartKeys(script);
    const Moment moments[] = {{"logo_movie", 180}, {"title", 197}, {"menu", 360}};
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
    const Screenshot &title = shot[1], &menu = shot[2];
    // The title shows no menu; the menu's highlighted row is a dark bar across the middle of
    // the screen with its text on it.
    const int w = menu.width, h = menu.height;
    const int x0 = w / 4, y0 = h * 2 / 5, x1 = w * 3 / 4, y1 = h / 2;
    EXPECT_LT(CountColour(title, x0, y0, x1, y1, kMenuText, 6), 100);
    EXPECT_LT(CountColour(title, x0, y0, x1, y1, kHighlightBar, 8), 100);
    EXPECT_GT(CountColour(menu, x0, y0, x1, y1, kHighlightBar, 8), 8000);
    EXPECT_GT(CountColour(menu, x0, y0, x1, y1, kMenuText, 6), 1000);
    fs::remove_all(dir);
}

} // namespace
