// The front-end screens: what each item of each menu does, the back key, leaving the front end
// for a campaign, a chosen mission or a network game, and the top menu.
#include "game/frontend/screens.h"
#include "game/frontend/hudmessages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "engine/core/camera.h"
#include "engine/core/raster.h"
#include "game/effects/shadows.h"
#include "game/frontend/credits.h"
#include "game/frontend/font.h"
#include "game/frontend/movies.h"
#include "game/missions/missions.h"
#include "game/multiplayer/multiplayer.h"
#include "game/objects/camera.h"
#include "game/objects/caustics.h"
#include "game/objects/levelswitch.h"
#include "game/objects/world.h"
#include "game/player/player.h"
#include "platform/winmm/winmm.h"
#include "shell/controls.h"
#include "shell/cursor.h"
#include "shell/errors.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/savegame.h"
#include "shell/settings.h"
#include "shell/sounds.h"

MV2Screens gMV2Screens = [] {
    MV2Screens s{};
    s.newGameChoice = 1;
    s.firstFreeSlot = -1;
    std::snprintf(s.sessionName, sizeof s.sessionName, "Marovant");
    s.transport = 1;
    return s;
}();
uint32_t gMV2LevelToLoad = 0xFFFFFF;

const MV2NetLevel kMV2NetLevelTable[kMV2NetLevels] = {
    {1114, 0x0CFFFFFF}, {1129, 0x0EFFFFFF}, {1139, 0x0FFFFFFF}, {1140, 0x10FFFFFF},
    {1141, 0x11FFFFFF}, {1240, 0x13FFFFFF}, {1282, 0x14FFFFFF}, {1283, 0x15FFFFFF},
    {1284, 0x16FFFFFF}, {1383, 0x17FFFFFF}, {1384, 0x18FFFFFF},
};

namespace {

MV2Screens& S() {
    return gMV2Screens;
}

int32_t Default(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args) {
    return MV2MenuItemDispatch(m, message, id, args);
}

bool IsBack(int32_t message, const intptr_t* args) {
    return message == kMV2MenuKeyDown && args[0] == kMV2KeyEscape;
}

void Click() {
    MV2PlayInterfaceSound(MV2FindSoundByName("MENU"));
}

int32_t Open(int32_t menu, MV2MenuCallback callback, intptr_t user = 0) {
    return MV2MenuOpen(menu, callback, user);
}

void OpenMain() {
    Open(0, MV2MainMenuCallback);
}

// The back key: the click, then the parent screen.
int32_t GoBack(int32_t menu, MV2MenuCallback callback) {
    Click();
    Open(menu, callback);
    return 0;
}

void OpenTopOf() {
    if (gMV2MainLoop.frontEnd) OpenMain();
    else Open(4, MV2InGameMenuCallback);
}

void Enable(MV2MenuInstance* m, int32_t id, bool on) {
    if (MV2MenuItemHeader* item = MV2MenuGetItem(m, id)) {
        if (on) item->flags &= ~kMV2ItemDisabled;
        else item->flags |= kMV2ItemDisabled;
        item->flags |= kMV2ItemRedraw;
    }
}

bool Disabled(MV2MenuInstance* m, int32_t id) {
    MV2MenuItemHeader* item = MV2MenuGetItem(m, id);
    return !item || (item->flags & kMV2ItemDisabled);
}

void SetTextFlags(MV2MenuInstance* m, int32_t id) {
    if (MV2MenuItemHeader* item = MV2MenuGetItem(m, id)) item->alignment = 2;
}

// Text fields: set, and read into `size` bytes (terminated).
void SetField(MV2MenuInstance* m, int32_t id, const char* text) {
    MV2MenuSendMessage(m, kMV2MenuSetValue, id, reinterpret_cast<intptr_t>(text),
                       intptr_t(std::strlen(text)));
}
void ReadField(MV2MenuInstance* m, int32_t id, char* out, int32_t size) {
    out[0] = 0;
    MV2MenuSendMessage(m, kMV2MenuGetValue, id, reinterpret_cast<intptr_t>(out), size);
}
bool HasNonSpace(const char* text) {
    for (; *text; text++)
        if (*text != ' ') return true;
    return false;
}

int32_t ListCount(MV2MenuInstance* m, int32_t id) {
    MV2MenuItemHeader* item = MV2MenuGetItem(m, id);
    return item && item->kind == 3 ? reinterpret_cast<MV2MenuList*>(item)->count : 0;
}
int32_t ListCapacity(MV2MenuInstance* m, int32_t id) {
    MV2MenuItemHeader* item = MV2MenuGetItem(m, id);
    const int32_t value = item && item->kind == 3 ? reinterpret_cast<MV2MenuList*>(item)->fileValue : 0;
    return value > 0 && value <= 255 ? value : 8;
}
int32_t Chosen(MV2MenuInstance* m, int32_t id) {
    return MV2MenuSendMessage(m, kMV2MenuGetValue, id);
}
void AddText(MV2MenuInstance* m, int32_t id, const char* text) {
    MV2MenuSendMessage(m, kMV2MenuAddEntry, id, reinterpret_cast<intptr_t>(text), 0);
}
void AddTextId(MV2MenuInstance* m, int32_t id, int32_t textId) {
    MV2MenuSendMessage(m, kMV2MenuAddEntry, id, 0, textId);
}

void InitText(MV2TextDescriptor* d, int32_t id) {
    *d = {};
    d->id = uint32_t(id);
    MV2GetText(d);
}

// The item's box in screen pixels.
struct Box {
    float x, y, w, h;
};
Box ScreenBox(MV2MenuInstance* m, int32_t id) {
    float sx = 1, sy = 1;
    MV2GetScreenScale(&sx, &sy);
    MV2MenuItemHeader* i = MV2MenuGetItem(m, id);
    if (!i) return {0, 0, 0, 0};
    return {i->x * sx, i->y * sy, i->width * sx, i->height * sy};
}

void DrawStats(MV2MenuInstance* m, int32_t id) {
    float sx = 1, sy = 1;
    MV2GetScreenScale(&sx, &sy);
    MV2MenuItemHeader* i = MV2MenuGetItem(m, id);
    if (i) MV2DrawSaveStats(int32_t(i->x * sx), int32_t((i->y + i->height / 2) * sy) + 10);
}

// A text by id word-wrapped into the item's box.
void DrawWrapped(MV2MenuInstance* m, int32_t id, int32_t textId) {
    static MV2TextDescriptor text;
    InitText(&text, textId);
    MV2TextDescriptor* list[2] = {&text, nullptr};
    const Box b = ScreenBox(m, id);
    MV2Set2DColourARGB(0xFFE0E0E0u);
    MV2DrawTextWrapped(int32_t(b.x), int32_t(b.y - b.h / 2), -int32_t(b.w / 2), list, 1, 8);
}

bool KeyIs(const intptr_t* args, int32_t a, int32_t b) {
    return args[0] == a || args[0] == b;
}
bool Up(const intptr_t* a) { return KeyIs(a, kMV2KeyUp, kMV2KeyPad8); }
bool Down(const intptr_t* a) { return KeyIs(a, kMV2KeyDown, kMV2KeyPad2); }
bool Left(const intptr_t* a) { return KeyIs(a, kMV2KeyLeft, kMV2KeyPad4); }
bool Right(const intptr_t* a) { return KeyIs(a, kMV2KeyRight, kMV2KeyPad6); }

// ---- leaving the front end ----

void LeaveFrontEnd() {
    gMV2GameState.requested = 8;
    MV2SetGameMode();
    gMV2GameState.current = 8;
    gMV2GameState.requested = 0;
    if (gMV2MainLoop.frontEnd) {
        gMV2GameStateCompanion.requestedSequence = 9;
        MV2ShowTitleScreen();
        gMV2MainLoop.frontEnd = 0;
        gMV2GameState.sequence = 9;
    }
}

void StartCampaign() {
    if (gMV2Save.currentSlot >= 0) MV2SaveGame(0, gMV2Save.currentSlot, S().profileName);
    LeaveFrontEnd();
    MV2MenuClose();
    gMV2LevelToLoad = 0xFFFFFF;
    gMV2GameState.requested = 14;
    MV2SelectSub(-1);
    MV2SetEquipmentLevel(0);
    MV2SelectSub(0);
    const uint8_t cleared[kMV2LevelSwitchStateSize] = {};
    MV2SetLevelSwitchState(cleared);
}

void StartChosenMission(int32_t row) {
    LeaveFrontEnd();
    MV2MenuClose();
    MV2ResetMouseCursor();
    MV2MissionSelect(row);
    if (gMV2MainLoop.returnToMenu) return;
    if (!MV2StartLevel()) {
        MV2ErrorBox("Couldn't start a one player game");
        return;
    }
    MV2MissionStart(row, 1);
    MV2SetCameraMode(1);
}

void OpenTopBody() {
    S().savedCursor = MV2SetMouseCursor(-1);
    MV2ShowMouseCursor();
    if (gMV2MainLoop.frontEnd) {
        if (!gMV2NetBackFromGame) {
            MV2NetDestroyClient();
            OpenMain();
        } else {
            gMV2NetBackFromGame = 0;
            if (gMV2NetHost) Open(20, MV2HostMenuCallback);
            else Open(21, MV2JoinMenuCallback);
        }
        return;
    }
    if (gMV2GameType != 3 && gMV2GameType != 4) MV2PauseGame(1);
    MV2ResetControls(timeGetTime() + 150);
    Open(4, MV2InGameMenuCallback);
}

// Dappling is both the setting and the live switch; outside the console the caustics follow.
void SetDappling(int32_t on) {
    gMV2Settings.worldCaustics = on;
    gMV2Settings.atomicCaustics = on;
    if (gMV2GameState.current != 9) {
        MV2SetWorldCaustics(on);
        MV2SetAtomicCaustics(on);
    }
}

void CancelDisplayOptions() {
    MV2SetSubtitles(S().savedSubtitles);
    MV2SetShadows(S().savedShadows);
    SetDappling(S().savedDappling);
    Open(22, MV2OptionsMenuCallback);
}

} // namespace

int32_t MV2SessionLevelRow(const uint8_t* record) {
    if (record[0] < '0' || record[0] > '9' || record[1] < '0' || record[1] > '9') return -1;
    const int32_t row = 10 * (record[0] - '0') + (record[1] - '0');
    return row < kMV2NetLevels ? row : -1;
}

void MV2FormatSessionName(char out[32], int32_t row, const char* name) {
    std::snprintf(out, 32, "%02d%.29s", row, name);
}

int32_t MV2MenuOpenTop() {
    S().savedCursor = 0;
    // The body below is also run by the credits' return.
    const int32_t before = gMV2GameState.menuDepth;
    OpenTopBody();
    return MV2MenuGetCurrentInstance() && gMV2GameState.menuDepth > before - 1 ? 1 : 0;
}

int32_t MV2MainMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args) {
    if (message != kMV2MenuActivated) return Default(m, message, id, args);
    switch (id) {
    case 2:
        if (S().newGameChoice) {
            Open(17, MV2NewGameMenuCallback);
        } else {
            gMV2Save.currentSlot = -1;
            StartCampaign();
        }
        return 0;
    case 3: Open(2, MV2LoadMenuCallback); return 0;
    case 4:
        if (MV2NetCreateClient()) Open(9, MV2MultiplayerMenuCallback);
        return 0;
    case 5: Open(22, MV2OptionsMenuCallback); return 0;
    case 6:
        MV2MenuClose();
        MV2ResetMouseCursor();
        if (!MV2PlayCredits()) gMV2MainLoop.returnToMenu = 0;
        else OpenTopBody();
        return 0;
    case 7: Open(1, MV2QuitMenuCallback, 503); return 0;
    default: return Default(m, message, id, args);
    }
}

int32_t MV2QuitMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args) {
    if (IsBack(message, args)) {
        Click();
        OpenTopOf();
        return 0;
    }
    if (message == kMV2MenuPreCreate && id == 1) {
        MV2MenuSetLabelText(m, 1, int32_t(m->user));
        return 0;
    }
    if (message != kMV2MenuActivated) return Default(m, message, id, args);
    if (id == 2) {
        OpenTopOf();
        return 0;
    }
    if (id == 3) {
        const int32_t was = gMV2MainLoop.frontEnd;
        gMV2MainLoop.frontEnd = 1;
        if (was) {
            gMV2MainLoop.quit = 1;
            return Default(m, message, id, args);
        }
        gMV2GameState.requested = 8;
        MV2SetGameMode();
        gMV2GameState.current = 8;
        gMV2GameState.requested = 0;
        gMV2GameStateCompanion.requestedSequence = 9;
        MV2ShowTitleScreen();
        gMV2GameState.sequence = 9;
        MV2MenuClose();
        MV2ResetMouseCursor();
        MV2ClearLevelState();
        gMV2MainLoop.frontEnd = 1;
        gMV2GameStateCompanion.requestedSequence = 7;
        MV2ShowTitleScreen();
        gMV2StateMachine.passes = 0;
        MV2RequestModeAndSequence(8, 7);
        return 0;
    }
    return Default(m, message, id, args);
}

int32_t MV2LoadMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args) {
    if (IsBack(message, args)) return GoBack(0, MV2MainMenuCallback);
    if (message == kMV2MenuCreate && id == 2) {
        const int32_t answer = Default(m, message, id, args);
        const int32_t capacity = ListCapacity(m, 2);
        int32_t entries = 0;
        char name[kMV2SaveNameSize + 1];
        for (int32_t slot = 0; slot < capacity; slot++) {
            std::memset(name, 0, sizeof name);
            if (!MV2ReadSaveName(slot, name)) continue;
            AddText(m, 2, name);
            S().slotTable[entries++] = slot;
        }
        if (!entries) {
            Enable(m, 2, false);
            Enable(m, 3, false);
        }
        return answer;
    }
    if (message == kMV2MenuDraw && id == 2) {
        const int32_t answer = Default(m, message, id, args);
        if (ListCount(m, 2) > 0) DrawStats(m, 2);
        return answer;
    }
    if (message == kMV2MenuSelection && id == 2) {
        const int32_t answer = Default(m, message, id, args);
        const int32_t e = int32_t(args[0]);
        if (ListCount(m, 2) > 0 && e >= 0 && e < ListCount(m, 2)) MV2ReadSaveHeader(S().slotTable[e]);
        return answer;
    }
    if (message == kMV2MenuActivated && id == 3) {
        const int32_t e = Chosen(m, 2);
        const int32_t slot = e >= 0 && e < ListCount(m, 2) ? S().slotTable[e] : -1;
        MV2ClearLevelState();
        MV2LoadGame(slot);
        gMV2MainLoop.frontEnd = 0;
        MV2MenuClose();
        MV2ResetMouseCursor();
        return 0;
    }
    if (message == kMV2MenuActivated && id == 4) {
        OpenMain();
        return 0;
    }
    return Default(m, message, id, args);
}

int32_t MV2InGameMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args) {
    if (IsBack(message, args)) {
        Click();
        MV2MenuClose();
        MV2ResetMouseCursor();
        return 0;
    }
    if (message != kMV2MenuActivated) return Default(m, message, id, args);
    switch (id) {
    case 2:
        MV2MenuClose();
        MV2ResetMouseCursor();
        MV2ResetControls(timeGetTime() + 150);
        return 0;
    case 3: Open(22, MV2OptionsMenuCallback); return 0;
    case 4: Open(1, MV2QuitMenuCallback, 503); return 0;
    default: return Default(m, message, id, args);
    }
}

int32_t MV2NewGameMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args) {
    if (IsBack(message, args)) return GoBack(0, MV2MainMenuCallback);
    if (message == kMV2MenuActivated && id == 2) return Open(7, MV2ProfileMenuCallback), 0;
    if (message == kMV2MenuActivated && id == 3) return Open(10, MV2ChapterMenuCallback), 0;
    return Default(m, message, id, args);
}

int32_t MV2ProfileMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args) {
    char name[33];
    if (IsBack(message, args)) return GoBack(0, MV2MainMenuCallback);
    switch (message) {
    case kMV2MenuCreate: {
        const int32_t answer = Default(m, message, id, args);
        if (id == 2) SetTextFlags(m, 2);
        if (id == 3) SetField(m, 3, "marovant1");
        if (id == 4) {
            AddText(m, 4, " - - - - - - - -");
            S().slotTable[0] = -1;
            S().firstFreeSlot = -1;
            int32_t entries = 1;
            char saveName[kMV2SaveNameSize + 1];
            for (int32_t slot = 0; slot < ListCapacity(m, 4); slot++) {
                std::memset(saveName, 0, sizeof saveName);
                if (MV2ReadSaveName(slot, saveName)) {
                    if (entries < 256) S().slotTable[entries] = slot;
                    if (MV2MenuSendMessage(m, kMV2MenuAddEntry, 4, reinterpret_cast<intptr_t>(saveName), 0))
                        entries++;
                } else if (S().firstFreeSlot == -1) {
                    S().firstFreeSlot = slot;
                }
            }
            std::snprintf(name, sizeof name, "marovant%d", S().firstFreeSlot + 1);
            SetField(m, 3, name);
            S().profileReady = 0;
        }
        if (id == 5) S().profileReady = 1;
        return answer;
    }
    case kMV2MenuTick:
        if (id == 5) {
            ReadField(m, 3, name, 32);
            Enable(m, 5, HasNonSpace(name));
        }
        return Default(m, message, id, args);
    case kMV2MenuSelection:
        if (id == 4) {
            const int32_t answer = Default(m, message, id, args);
            const int32_t e = int32_t(args[0]);
            Enable(m, 2, e == 0);
            Enable(m, 3, e == 0);
            if (S().profileReady) {
                if (e == 0) {
                    std::snprintf(name, sizeof name, "marovant%d", S().firstFreeSlot + 1);
                    SetField(m, 3, name);
                } else if (e > 0 && e < 256) {
                    char saveName[kMV2SaveNameSize + 1] = {};
                    if (MV2ReadSaveName(S().slotTable[e], saveName)) SetField(m, 3, saveName);
                }
            }
            if (ListCount(m, 4) > 0 && e > 0 && e < 256) MV2ReadSaveHeader(S().slotTable[e]);
            return answer;
        }
        break;
    case kMV2MenuDraw:
        if ((id == 2 || id == 3) && Disabled(m, id)) return 0;
        if (id == 4) {
            const int32_t answer = Default(m, message, id, args);
            if (Disabled(m, 3)) DrawStats(m, 4);
            return answer;
        }
        break;
    case kMV2MenuActivated:
        if (id == 5) {
            std::memset(S().profileName, 0, sizeof S().profileName);
            ReadField(m, 3, S().profileName, int32_t(kMV2SaveNameSize) + 1);
            gMV2Save.currentSlot = S().firstFreeSlot;
            const int32_t entries = ListCount(m, 4);
            char saveName[kMV2SaveNameSize + 1];
            for (int32_t e = 1; e < entries && e < 256; e++) {
                std::memset(saveName, 0, sizeof saveName);
                if (MV2ReadSaveName(S().slotTable[e], saveName) &&
                    std::memcmp(saveName, S().profileName, kMV2SaveNameSize) == 0) {
                    gMV2Save.currentSlot = S().slotTable[e];
                    Open(24, MV2OverwriteMenuCallback);
                    return 0;
                }
            }
            StartCampaign();
            return 0;
        }
        if (id == 6) {
            OpenMain();
            return 0;
        }
        break;
    default: break;
    }
    return Default(m, message, id, args);
}

int32_t MV2OverwriteMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args) {
    if (IsBack(message, args)) return GoBack(7, MV2ProfileMenuCallback);
    if (message == kMV2MenuDraw && id == 2) {
        DrawWrapped(m, 2, 905);
        return 0;
    }
    if (message == kMV2MenuKeyUp && (id == 3 || id == 4)) {
        if (id == 3 && Right(args)) return MV2MenuMoveFocus(m, 3, 1), 0;
        if (id == 4 && Left(args)) return MV2MenuMoveFocus(m, 4, -1), 0;
        if (Up(args) || Down(args)) return 0;
    }
    if (message == kMV2MenuActivated && id == 3) {
        MV2SaveGame(0, gMV2Save.currentSlot, S().profileName);
        StartCampaign();
        return 0;
    }
    if (message == kMV2MenuActivated && id == 4) return Open(7, MV2ProfileMenuCallback), 0;
    return Default(m, message, id, args);
}

int32_t MV2MultiplayerMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id,
                                   const intptr_t* args) {
    if (IsBack(message, args)) return GoBack(0, MV2MainMenuCallback);
    if (message == kMV2MenuActivated) {
        if (id == 2 || id == 3) {
            gMV2NetHost = id == 2;
            Open(8, MV2ConnectionMenuCallback);
            return 0;
        }
        if (id == 4) return OpenMain(), 0;
    }
    return Default(m, message, id, args);
}

int32_t MV2ConnectionMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id,
                                  const intptr_t* args) {
    if (IsBack(message, args)) return GoBack(9, MV2MultiplayerMenuCallback);
    if (message == kMV2MenuCreate) {
        if (id == 2) {
            const int32_t answer = Default(m, message, id, args);
            MV2NetListServices();
            Enable(m, 2, gMV2Net.tcpAvailable);
            Enable(m, 7, gMV2Net.ipxAvailable);
            return answer;
        }
        if (id >= 4 && id <= 6) return 1;
        if (id == 3) {
            for (int32_t other : {6, 5, 4}) Default(m, message, other, args);
            const int32_t answer = Default(m, message, id, args);
            const char* address = MV2NetGetAddress();
            if (address && *address) {
                char part[4];
                int32_t field = 3;
                const char* p = address;
                while (field <= 6) {
                    size_t n = std::strcspn(p, ".");
                    std::snprintf(part, sizeof part, "%.*s", int(n < 3 ? n : 3), p);
                    SetField(m, field++, part);
                    p += n;
                    if (*p != '.') break;
                    p++;
                }
            }
            return answer;
        }
    }
    if (message == kMV2MenuKeyUp && id >= 3 && id <= 6) {
        if (Up(args)) return MV2MenuSendMessage(m, kMV2MenuFocus, id, 0), MV2MenuSendMessage(m, kMV2MenuFocus, 2, 1), 0;
        if (Down(args)) return MV2MenuSendMessage(m, kMV2MenuFocus, id, 0), MV2MenuSendMessage(m, kMV2MenuFocus, 7, 1), 0;
        if (Left(args) && id >= 4) return MV2MenuMoveFocus(m, id, -1), 0;
        if (Right(args) && id <= 5) return MV2MenuMoveFocus(m, id, 1), 0;
    }
    if (message == kMV2MenuActivated && (id == 2 || id == 7)) {
        if (id == 2) {
            S().transport = 1;
            gMV2Net.serviceIndex = 1;
            char parts[4][5];
            char address[20] = "";
            bool empty = false;
            for (int32_t i = 0; i < 4; i++) {
                ReadField(m, 3 + i, parts[i], 4);
                if (!parts[i][0]) empty = true;
            }
            if (!empty) std::snprintf(address, sizeof address, "%s.%s.%s.%s", parts[0], parts[1], parts[2], parts[3]);
            MV2NetSetAddress(address);
        } else {
            S().transport = 2;
            gMV2Net.serviceIndex = 2;
        }
        if (!gMV2NetHost) {
            Open(21, MV2JoinMenuCallback);
        } else {
            const std::time_t now = std::time(nullptr);
            std::tm local{};
            localtime_r(&now, &local);
            std::snprintf(S().sessionName, sizeof S().sessionName, "Marovant %02d:%02d:%02d",
                          local.tm_hour, local.tm_min, local.tm_sec);
            Open(20, MV2HostMenuCallback);
        }
        return 0;
    }
    if (message == kMV2MenuActivated && id == 8) return Open(9, MV2MultiplayerMenuCallback), 0;
    return Default(m, message, id, args);
}

int32_t MV2HostMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args) {
    char text[33];
    if (IsBack(message, args)) return GoBack(8, MV2ConnectionMenuCallback);
    if (message == kMV2MenuCreate) {
        const int32_t answer = Default(m, message, id, args);
        switch (id) {
        case 2: SetField(m, 2, gMV2Settings.playerName); break;
        case 3:
            std::snprintf(text, sizeof text, "%d", gMV2Settings.fragLimit);
            SetField(m, 3, text);
            break;
        case 4: SetField(m, 4, S().sessionName); break;
        case 5:
            for (const MV2NetLevel& l : kMV2NetLevelTable) AddTextId(m, 5, l.textId);
            break;
        case 6:
            for (int32_t t : {428, 429, 673}) AddTextId(m, 6, t);
            break;
        default:
            if (id >= 9 && id <= 13) SetTextFlags(m, id);
            break;
        }
        return answer;
    }
    if (message == kMV2MenuTick) {
        MV2MenuItemHeader* frag = MV2MenuGetItem(m, 3);
        if (id == 3 && frag && !(frag->flags & kMV2ItemStateMask)) {
            ReadField(m, 3, text, 10);
            if (std::atoi(text) < 1) {
                std::snprintf(text, sizeof text, "%d", gMV2Settings.fragLimit);
                SetField(m, 3, text);
            }
        }
        if (id == 7) {
            char session[33];
            ReadField(m, 2, text, 32);
            ReadField(m, 4, session, 32);
            Enable(m, 7, HasNonSpace(text) && HasNonSpace(session));
        }
        return Default(m, message, id, args);
    }
    if (message == kMV2MenuKeyUp) {
        if (id == 7 && Down(args)) return MV2MenuMoveFocus(m, 7, 2), 0;
        if (id == 7 && Right(args)) return MV2MenuMoveFocus(m, 7, 1), 0;
        if (id == 8 && Up(args)) return MV2MenuMoveFocus(m, 8, -2), 0;
        if (id == 8 && Left(args)) return MV2MenuMoveFocus(m, 8, -1), 0;
    }
    if (message == kMV2MenuActivated && id == 7) {
        ReadField(m, 2, text, 32);
        MV2SetPlayerName(text);
        ReadField(m, 3, text, 10);
        gMV2Settings.fragLimit = std::atoi(text);
        MV2WriteSetting(MV2_SETTING_NETWORK_NAME);
        MV2WriteSetting(MV2_SETTING_FRAG_LIMIT);
        int32_t row = Chosen(m, 5);
        if (row < 0 || row >= kMV2NetLevels) row = 0;
        gMV2LevelToLoad = kMV2NetLevelTable[row].levelId;
        ReadField(m, 4, text, 32);
        MV2FormatSessionName(S().sessionName, row, text);
        S().gameType = Chosen(m, 6);
        if (!MV2NetHostSession(S().sessionName)) return 0;
        LeaveFrontEnd();
        if (!MV2StartNetLevelHost()) MV2ErrorBox("Couldn't start a one player game");
        MV2MenuClose();
        MV2ResetMouseCursor();
        return 0;
    }
    if (message == kMV2MenuActivated && id == 8) return Open(8, MV2ConnectionMenuCallback), 0;
    return Default(m, message, id, args);
}

int32_t MV2JoinMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args) {
    char text[33];
    if (IsBack(message, args)) return GoBack(8, MV2ConnectionMenuCallback);
    switch (message) {
    case kMV2MenuCreate: {
        const int32_t answer = Default(m, message, id, args);
        if (id == 2) SetField(m, 2, gMV2Settings.playerName);
        if (id == 3) {
            InitText(&S().searching, 1424);
            S().sessionCounter = 0;
            S().sessionFound = 0;
            std::memset(S().sessions, 0, sizeof S().sessions);
        }
        if (id == 4)
            for (int32_t t : {428, 429, 673}) AddTextId(m, 4, t);
        if (id >= 8 && id <= 11) SetTextFlags(m, id);
        return answer;
    }
    case kMV2MenuTick:
        if (id == 3 && S().sessionCounter >= 0) {
            S().sessionCounter++;
            if (S().sessionCounter > 2) {
                const int32_t found = MV2NetEnumSessions(reinterpret_cast<char*>(&S().sessions[0][0]), kMV2SessionRecords,
                                                       kMV2SessionRecordSize);
                S().sessionFound = found < 0 ? 0 : found > kMV2SessionRecords ? kMV2SessionRecords : found;
                for (int32_t i = 0; i < S().sessionFound; i++) {
                    char name[63];
                    std::snprintf(name, sizeof name, "%.62s", reinterpret_cast<const char*>(&S().sessions[i][2]));
                    AddText(m, 3, name);
                }
                Enable(m, 3, S().sessionFound > 0);
                Enable(m, 5, S().sessionFound > 0);
                S().sessionCounter = -1;
                MV2MenuSendMessage(m, kMV2MenuSelection, 3, 0);
            }
        }
        if (id == 5) {
            ReadField(m, 2, text, 32);
            Enable(m, 5, HasNonSpace(text) && !Disabled(m, 3));
        }
        return Default(m, message, id, args);
    case kMV2MenuDraw:
        if (id == 3 && S().sessionCounter > 0) {
            const Box b = ScreenBox(m, 3);
            MV2Set2DColourARGB(0xFFE0E0E0u);
            MV2DrawText({b.x, b.y}, {b.w, 20}, &S().searching, 0, 8);
        }
        break;
    case kMV2MenuSelection:
        if (id == 3) {
            const int32_t answer = Default(m, message, id, args);
            const int32_t e = int32_t(args[0]);
            if (ListCount(m, 3) > 0 && e >= 0 && e < S().sessionFound) {
                const int32_t row = MV2SessionLevelRow(S().sessions[e]);
                MV2MenuSetLabelText(m, 11, row >= 0 ? kMV2NetLevelTable[row].textId : -1);
            }
            return answer;
        }
        break;
    case kMV2MenuKeyUp:
        if (id == 5 && Down(args)) return MV2MenuMoveFocus(m, 5, 3), 0;
        if (id == 5 && Right(args)) return MV2MenuMoveFocus(m, 5, 1), 0;
        if (id == 6 && Down(args)) return MV2MenuMoveFocus(m, 6, 2), 0;
        if (id == 6 && Left(args)) {
            if (!Disabled(m, 5)) MV2MenuMoveFocus(m, 6, -1);
            return 0;
        }
        if (id == 6 && Right(args)) return MV2MenuMoveFocus(m, 6, 1), 0;
        if (id == 7 && Up(args)) return MV2MenuMoveFocus(m, 7, -3), 0;
        if (id == 7 && Left(args)) return MV2MenuMoveFocus(m, 7, -1), 0;
        break;
    case kMV2MenuActivated:
        if (id == 5) {
            ReadField(m, 2, text, 32);
            MV2SetPlayerName(text);
            MV2WriteSetting(MV2_SETTING_NETWORK_NAME);
            S().gameType = Chosen(m, 4);
            S().chosenSession = Chosen(m, 3);
            if (S().chosenSession < 0 || S().chosenSession >= kMV2SessionRecords) S().chosenSession = 0;
            if (MV2NetJoinSession(S().chosenSession) && MV2StartNetLevelJoin()) {
                LeaveFrontEnd();
                MV2MenuClose();
                MV2ResetMouseCursor();
            } else {
                Open(26, MV2JoinFailedMenuCallback);
            }
            return 0;
        }
        if (id == 6) {
            MV2MenuSendMessage(m, kMV2MenuDestroy, 3);
            MV2MenuSendMessage(m, kMV2MenuCreate, 3);
            MV2MenuSetLabelText(m, 11, -1);
            return 0;
        }
        if (id == 7) return Open(8, MV2ConnectionMenuCallback), 0;
        break;
    default: break;
    }
    return Default(m, message, id, args);
}

int32_t MV2JoinFailedMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args) {
    if (IsBack(message, args)) return GoBack(21, MV2JoinMenuCallback);
    if (message == kMV2MenuDraw && id == 2) return DrawWrapped(m, 2, 1440), 0;
    if (message == kMV2MenuActivated && id == 3) return Open(21, MV2JoinMenuCallback), 0;
    return Default(m, message, id, args);
}

int32_t MV2ChapterMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args) {
    if (IsBack(message, args)) return GoBack(17, MV2NewGameMenuCallback);
    if (message == kMV2MenuActivated && id >= 2 && id <= 6)
        return Open(11 + (id - 2), MV2MissionMenuCallback, 11 + (id - 2)), 0;
    return Default(m, message, id, args);
}

namespace {
struct MissionPair {
    int32_t item, row;
};
const MissionPair kChapter11[] = {{2, 1}, {3, 2}, {4, 3}, {5, 4}, {6, 5}, {7, 6}, {8, 7}, {9, 8}, {10, 9}};
const MissionPair kChapter12[] = {{6, 14}, {7, 15}, {8, 16}, {2, 17}, {3, 18}, {4, 19}, {5, 20}};
const MissionPair kChapter13[] = {{6, 21}, {7, 22}, {8, 26}, {2, 27}, {3, 28}, {4, 29}, {5, 30}};
const MissionPair kChapter14[] = {{6, 31}, {7, 32}, {8, 33}, {9, 34}, {2, 35}, {3, 36}, {4, 37}, {5, 38}};
const MissionPair kChapter15[] = {{6, 39}};
struct Chapter {
    const MissionPair* pairs;
    int32_t count;
};
const Chapter kChapters[5] = {{kChapter11, 9}, {kChapter12, 7}, {kChapter13, 7}, {kChapter14, 8}, {kChapter15, 1}};
} // namespace

int32_t MV2MissionMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args) {
    if (IsBack(message, args)) return GoBack(10, MV2ChapterMenuCallback);
    if (message == kMV2MenuActivated) {
        // The chapter is the menu id, given as the user value.
        for (int32_t c = 0; c < 5; c++) {
            if (int32_t(m->user) != 11 + c) continue;
            for (int32_t i = 0; i < kChapters[c].count; i++) {
                if (kChapters[c].pairs[i].item == id) {
                    StartChosenMission(kChapters[c].pairs[i].row);
                    return 0;
                }
            }
        }
    }
    return Default(m, message, id, args);
}

int32_t MV2OptionsMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id, const intptr_t* args) {
    if (IsBack(message, args)) {
        Click();
        OpenTopOf();
        return 0;
    }
    if (message == kMV2MenuActivated) {
        switch (id) {
        case 2: Open(5, nullptr); return 0;
        case 3: Open(23, MV2DisplayOptionsMenuCallback); return 0;
        case 4: Open(6, nullptr); return 0;
        case 5: OpenTopOf(); return 0;
        default: break;
        }
    }
    return Default(m, message, id, args);
}

int32_t MV2DisplayOptionsMenuCallback(MV2MenuInstance* m, int32_t message, int32_t id,
                                      const intptr_t* args) {
    if (IsBack(message, args)) {
        Click();
        CancelDisplayOptions();
        return 0;
    }
    switch (message) {
    case kMV2MenuCreate: {
        const int32_t answer = Default(m, message, id, args);
        if (id == 2) {
            const int32_t ids[3] = {326, 426, 322};
            for (int32_t i = 0; i < 3; i++) InitText(&S().settingTexts[i], ids[i]);
            S().savedSubtitles = MV2GetSubtitles();
        }
        if (id == 3) S().savedDappling = gMV2Settings.worldCaustics;
        if (id == 4) {
            for (int32_t i = 0; i < 4; i++) InitText(&S().shadowTexts[i], 663 + i);
            S().savedShadows = MV2GetShadows();
            MV2MenuSendMessage(m, kMV2MenuSetValue, 4, S().savedShadows);
        }
        return answer;
    }
    case kMV2MenuDraw:
        if (id == 2 || id == 3) {
            MV2MenuItemHeader* item = MV2MenuGetItem(m, id);
            if (!item) return 0;
            float sx = 1, sy = 1;
            MV2GetScreenScale(&sx, &sy);
            const bool lit = item->flags & (kMV2ItemFocused | kMV2ItemPressed);
            MV2Set2DColourARGB(lit ? 0xFFFFE000u : 0xFFE0E0E0u);
            const MV2TextPoint at = {item->x * sx, item->y * sy}, size = {item->width * sx, item->height * sy};
            if (MV2TextDescriptor* label = MV2MenuItemText(item)) MV2DrawTextShadowed(at, size, label, 1, 8, lit);
            int32_t value;
            if (id == 2) value = MV2GetSubtitles() == 0 ? 0 : MV2GetSubtitles() == 1 ? 1 : 2;
            else value = gMV2Settings.worldCaustics ? 2 : 0;
            MV2DrawTextShadowed(at, size, &S().settingTexts[value], 2, 8, lit);
            return 0;
        }
        if (id == 4) {
            const int32_t answer = Default(m, message, id, args);
            MV2MenuItemHeader* item = MV2MenuGetItem(m, 4);
            float sx = 1, sy = 1;
            MV2GetScreenScale(&sx, &sy);
            int32_t mode = MV2GetShadows();
            if (mode < 0 || mode > 3) mode = 0;
            MV2Set2DColourARGB(0xFFE0E0E0u);
            MV2DrawText({item->x * sx, item->y * sy + (item->height + 20) / 2}, {item->width * sx, 20},
                        &S().shadowTexts[mode], 0, 8);
            return answer;
        }
        break;
    case kMV2MenuKeyUp:
        if (id == 2 && Left(args) && MV2GetSubtitles() > 0) return Click(), MV2SetSubtitles(MV2GetSubtitles() - 1), 0;
        if (id == 2 && Right(args) && MV2GetSubtitles() < 2) return Click(), MV2SetSubtitles(MV2GetSubtitles() + 1), 0;
        if (id == 3 && Left(args) && gMV2Settings.worldCaustics) return Click(), SetDappling(0), 0;
        if (id == 3 && Right(args) && !gMV2Settings.worldCaustics) return Click(), SetDappling(1), 0;
        if (id == 5 && Down(args)) return MV2MenuMoveFocus(m, 5, 2), 0;
        if (id == 5 && Right(args)) return MV2MenuMoveFocus(m, 5, 1), 0;
        if (id == 6 && Up(args)) return MV2MenuMoveFocus(m, 6, -2), 0;
        if (id == 6 && Left(args)) return MV2MenuMoveFocus(m, 6, -1), 0;
        break;
    case kMV2MenuValueChanged:
        if (id == 4) return MV2SetShadows(int32_t(args[0])), 0;
        break;
    case kMV2MenuActivated:
        if (id == 2) return MV2SetSubtitles((MV2GetSubtitles() + 1) % 3), 0;
        if (id == 3) return SetDappling(!gMV2Settings.worldCaustics), 0;
        if (id == 5) {
            for (int32_t setting : {MV2_SETTING_SUBTITLES, MV2_SETTING_DAPPLING, MV2_SETTING_SHADOWS,
                                    MV2_SETTING_DETAIL})
                MV2WriteSetting(setting);
            Open(22, MV2OptionsMenuCallback);
            return 0;
        }
        if (id == 6) return CancelDisplayOptions(), 0;
        break;
    default: break;
    }
    return Default(m, message, id, args);
}

TvRaster* gMV2SaveScreenBackground = nullptr;

void MV2CloseSaveScreen() {
    if (TvCamera* camera = gMV2MainCamera) {
        const TvV2d window = {0.55f, 0.55f};
        TvCameraSetViewWindow(camera, &window);
    }
    if (gMV2SaveScreenBackground) TvRasterDestroy(gMV2SaveScreenBackground);
    gMV2SaveScreenBackground = nullptr;
    if (!gMV2Messages.on[kMV2FatalSlot]) MV2PauseGame(0);
}

void MV2DrawSaveScreenBackground() {
    if (gMV2SaveScreenBackground) MV2DrawBackgroundRaster(gMV2SaveScreenBackground);
}
