// Writes input recordings (the platform layer's replay files) from a script of key presses,
// as a player at the keyboard would make them: one message pump per frame, each ending with
// an empty queue at the frame's time.
#pragma once

#include <cstdint>
#include <vector>

struct ScriptKey {
    uint32_t frame;     // the pump that delivers it
    uint8_t scan;       // set-1 scan code
    bool extended;      // an extended key (0x80 added in the game's codes)
    bool down;
    uint32_t virtualKey;
};

struct InputScript {
    uint32_t startMs = 100000;
    uint32_t frameMs = 33;
    uint32_t frames = 0;
    uint32_t window = 1; // the serial of the window the keys go to
    // The game acquires the keyboard once, as its window gets the focus: the answer comes first.
    bool keyboardAcquire = true;
    std::vector<ScriptKey> keys;
    // Longer frames for a stretch where nothing is pressed (a wait to a game-time limit): from
    // frame `from` on, each frame lasts `ms`. The frame timer's step stops at 4 ticks (133 ms).
    struct Span {
        uint32_t from;
        uint32_t ms;
    };
    std::vector<Span> spans;
    // Adds a press at `frame` and its release `held` frames later.
    void Press(uint32_t frame, uint8_t scan, uint32_t virtualKey, uint32_t held = 3,
               bool extended = false);
};

std::vector<uint8_t> WriteInputScript(const InputScript& script);

// The keys from the start-up pictures to the title, the main menu's Play, a new game and a new
// profile, after which the campaign's first level starts (frames 200 to 363).
void AddCampaignStartKeys(InputScript& script);

// The frame of the recording made with AddCampaignStartKeys by which the first mission's opening
// has ended in the console (mode 9) with the mission pending.
inline constexpr uint32_t kScriptConsoleFrame = 420 + 760;

// The keys a player presses in the console, from `fromFrame` (the console shown, as at
// kScriptConsoleFrame): Down and Return for the pending mission's briefing, whose movie plays
// through, then Left and Return for back to play. Returns the frame by which the mission's race
// start has launched the rivals and piloted the player's craft out of the city, and play runs
// (mode 0, mission row 1 in play).
uint32_t AddLaunchKeys(InputScript& script, uint32_t fromFrame);
