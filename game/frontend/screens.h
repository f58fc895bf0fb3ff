// The front-end screens: the callbacks of the menus the player walks through outside and
// inside a game, and the opening of the top menu.
#pragma once

#include <cstdint>

#include "game/frontend/menus.h"

// State the screens keep.
struct MV2Screens {
    int32_t newGameChoice;    // Play opens the new-game choice (menu 17)
    int32_t savedCursor;      // the sprite the cursor had when the menus were called up
    int32_t slotTable[256];   // save slot of each list entry of the load and profile screens
    int32_t firstFreeSlot;    // -1 when every slot is taken
    int32_t profileReady;     // the profile screen finished its set-up
    char profileName[17];     // 16 characters and a terminator
    char sessionName[32];
    int32_t gameType;         // multiplayer game type 0..2
    int32_t transport;        // 1 TCP/IP with the typed address, 2 IPX
    int32_t chosenSession;    // 0..7
    uint8_t sessions[8][64];  // filled by the client's enumeration
    int32_t sessionCounter;   // 0, 1, 2, then -1 once enumerated
    int32_t sessionFound;
    MV2TextDescriptor searching;
    MV2TextDescriptor settingTexts[3]; // 326 off, 426, 322 on
    MV2TextDescriptor shadowTexts[4];  // 663..666
    int32_t savedSubtitles, savedShadows, savedDappling;
};
extern MV2Screens gMV2Screens;

// The level id the next level start loads; 0xFFFFFF: the level of the mission.
extern uint32_t gMV2LevelToLoad;

// The multiplayer level table: the text id of the level's name and its level id.
struct MV2NetLevel {
    int32_t textId;
    uint32_t levelId;
};
inline constexpr int32_t kMV2NetLevels = 11;
extern const MV2NetLevel kMV2NetLevelTable[kMV2NetLevels];
// The level row of a session record's two digits, or -1 when they are not a row.
int32_t MV2SessionLevelRow(const uint8_t* record);
// "%02d%s" of the row and the name cut to 29 characters, into 32 bytes.
void MV2FormatSessionName(char out[32], int32_t row, const char* name);

// The screen callbacks.
int32_t MV2MainMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args);
int32_t MV2QuitMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args);
int32_t MV2LoadMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args);
int32_t MV2InGameMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args);
int32_t MV2ProfileMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args);
int32_t MV2ConnectionMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id,
                                  const intptr_t* args);
int32_t MV2MultiplayerMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id,
                                   const intptr_t* args);
int32_t MV2ChapterMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args);
int32_t MV2MissionMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args);
int32_t MV2NewGameMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args);
int32_t MV2HostMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args);
int32_t MV2JoinMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args);
int32_t MV2OptionsMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args);
int32_t MV2DisplayOptionsMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id,
                                      const intptr_t* args);
int32_t MV2OverwriteMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id,
                                 const intptr_t* args);
int32_t MV2JoinFailedMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id,
                                  const intptr_t* args);

// Starts the level of a hosted or joined network game; 1 or 0 (the shell's level starts).
int32_t MV2StartNetLevelHost();
int32_t MV2StartNetLevelJoin();

// The save screen of game mode 17: its background picture (null when none is up), drawn by
// the frame render and released when the mode is left.
extern TvRaster* gMV2SaveScreenBackground;
