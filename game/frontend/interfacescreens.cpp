#include "game/frontend/interfacescreens.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/core/im2d.h"
#include "engine/core/matrix.h"
#include "engine/core/image.h"
#include "engine/core/raster.h"
#include "engine/core/resources.h"
#include "game/creatures/submarines.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "game/frontend/hud.h"
#include "game/frontend/interfacestate.h"
#include "game/frontend/movies.h"
#include "game/missions/missionflow.h"
#include "game/objects/levelswitch.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/player/loadout.h"
#include "game/player/playercraft.h"
#include "game/player/weapons.h"
#include "shell/controls.h"
#include "shell/cursor.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/resfile.h"
#include "shell/sounds.h"

namespace {

constexpr int32_t kNoCell = 84;
constexpr uint32_t kNoSlot = 9;

// Image slots: 0 console, 1 icons, 2 subs, 3 medals, 4-7 borders, 8 the stage picture. The
// sample pictures are drawn to match these rectangles.
constexpr MV2InterfaceCell Cell(float x, float y, float w, float h, uint32_t slot) {
    return {x, y, x + w, y + h, slot};
}
constexpr MV2InterfaceCell Tab(int32_t i) {
    return Cell(float(97 * (i % 5)), float(160 + 99 * (i / 5)), 97, 99, 1);
}
constexpr MV2InterfaceCell SubButton(int32_t i) {
    return Cell(float(388 + 74 * (i % 4)), float(259 + 78 * (i / 4)), 74, 78, 1);
}
constexpr MV2InterfaceCell Indicator(int32_t i) {
    return Cell(float(80 * (i % 6)), float(80 * (i / 6)), 80, 80, 1);
}
constexpr MV2InterfaceCell Insignia(int32_t i) {
    return Cell(float(80 + 34 * i), 420, 34, 70, 1);
}
constexpr MV2InterfaceCell Medal(int32_t j) {
    return Cell(float(40 * j), 0, 40, 40, 3);
}
constexpr MV2InterfaceCell Portrait(int32_t k) {
    return Cell(float(224 * k), 0, 224, 240, 2);
}
constexpr MV2InterfaceCell None() {
    return {0, 0, 0, 0, kNoSlot};
}

} // namespace

const MV2InterfaceCell kMV2InterfaceCellTable[kMV2InterfaceCells] = {
    Cell(0, 0, 640, 480, 0), Cell(640, 0, 224, 240, 0), Cell(640, 240, 224, 240, 0),
    Cell(0, 480, 288, 144, 0), Cell(0, 624, 542, 125, 0), Cell(0, 749, 542, 125, 0),
    Cell(288, 480, 288, 144, 0), Cell(640, 480, 224, 240, 0),
    Tab(0), Tab(1), Tab(2), Tab(3), Tab(4), Tab(5), Tab(6), Tab(7), Tab(8), // 8-16
    Cell(485, 160, 57, 46, 1), Cell(542, 160, 57, 46, 1),                 // 17, 18 accept
    Cell(599, 160, 57, 53, 1), Cell(656, 160, 57, 53, 1),                 // 19, 20 cancel
    SubButton(0), SubButton(1), SubButton(2), SubButton(3),               // 21-24
    SubButton(4), SubButton(5), SubButton(6), SubButton(7),               // 25-28
    Indicator(0), Indicator(1), Indicator(2), Indicator(3), Indicator(4), Indicator(5),
    Indicator(6), Indicator(7), Indicator(8), Indicator(9), Indicator(10), Indicator(11),
    Cell(0, 420, 40, 40, 1), Cell(40, 420, 40, 40, 1),                    // 41, 42
    Insignia(0), Insignia(1), Insignia(2), Insignia(3), Insignia(4),      // 43-47
    Cell(250, 420, 51, 51, 1), None(),                                    // 48, 49
    Medal(0), Medal(1), Medal(2), Medal(3), Medal(4), Medal(5), Medal(6), Medal(7), Medal(8),
    Medal(9),                                                             // 50-59
    None(), None(), None(), None(),                                       // 60-63
    Cell(301, 420, 112, 15, 1), Cell(413, 420, 11, 10, 1),               // 64, 65
    None(), None(), None(), None(),                                       // 66-69
    Cell(424, 420, 133, 6, 1),                                            // 70
    Portrait(0), Portrait(1), Portrait(2), Portrait(3),                   // 71-74
    Cell(0, 0, 640, 60, 4), Cell(0, 0, 640, 60, 5), Cell(0, 0, 80, 600, 6),
    Cell(0, 0, 80, 600, 7),                                               // 75-78
    Cell(0, 60, 640, 144, 4), Cell(0, 60, 640, 144, 5), Cell(80, 0, 192, 768, 6),
    Cell(80, 0, 192, 768, 7),                                             // 79-82
    Cell(0, 0, 224, 240, 8),                                              // 83
};

const MV2InterfacePanel kMV2InterfacePanels[9] = {
    {0, 0, 0, 0},       {56, 55, 224, 240},  {310, 151, 288, 144},
    {56, 315, 542, 125}, {292, 36, 97, 99},   {389, 36, 97, 99},
    {486, 36, 97, 99},  {583, 36, 57, 46},   {583, 82, 57, 53},
};

MV2InterfaceScreens gMV2Interface = {};

namespace {

struct ItemInfo {
    uint32_t item;
    int32_t name, description, kind;
    int32_t ratings[4];
};
constexpr ItemInfo kItems[] = {
    {16, 832, 833, 0, {3, 2, 4, 2}},   {12, 834, 835, 0, {3, 3, 3, 3}},
    {21, 836, 837, 0, {4, 3, 2, 3}},   {60, 258, 259, 0, {4, 5, 1, 3}},
    {47, 838, 839, 0, {4, 3, 2, 0}},   {46, 840, 841, 0, {1, 1, 2, 3}},
    {32, 870, 871, 0, {3, 2, 2, 4}},   {28, 852, 853, 0, {1, 1, 1, 4}},
    {29, 860, 861, 0, {4, 3, 2, 3}},   {18, 850, 851, 0, {4, 2, 3, 4}},
    {30, 858, 859, 0, {4, 2, 5, 5}},   {31, 868, 869, 0, {5, 4, 3, 3}},
    {35, 872, 873, 0, {4, 2, 3, 2}},   {62, 864, 865, 0, {1, 1, 2, 3}},
    {33, 878, 879, 0, {5, 4, 4, 1}},   {36, 894, 895, 0, {2, 4, 1, 4}},
    {78, 1235, 1232, 0, {1, 1, 1, 4}}, {298, 878, 879, 0, {5, 4, 4, 1}},
    {179, 1110, 1110, 0, {1, 1, 1, 5}},
    {24, 842, 843, 1, {}}, {5, 844, 845, 1, {}}, {22, 846, 847, 1, {}}, {20, 848, 849, 1, {}},
    {58, 854, 855, 1, {}}, {51, 856, 857, 1, {}}, {50, 856, 857, 1, {}}, {61, 862, 863, 1, {}},
    {25, 1211, 1210, 1, {}}, {79, 1215, 1214, 1, {}}, {80, 1213, 1212, 1, {}},
    {184, 1370, 1369, 1, {}}, {307, 838, 839, 1, {}},
};

constexpr int32_t kLocationTexts[21] = {293, 302, 308, 310, 294, 304, 309, 311, 295, 306, 309,
                                        312, 298, 301, 301, 313, 301, 307, 307, 301, 318};
constexpr int32_t kMedalNames[10] = {369, 992, 993, 357, 360, 365, 367, 327, 373, 374};
constexpr int32_t kMedalTexts[10] = {370, 371, 372, 358, 362, 366, 368, 328, 330, 356};
constexpr int32_t kAwardTexts[3][2] = {{739, 284}, {732, 801}, {733, 805}};
// Group k's button id; the group a button id opens.
constexpr uint32_t kGroupButton[4] = {9, 2, 8, 1};
// Offered records by indicator row (upper row first).
constexpr int32_t kIndicatorRecord[6] = {0, 2, 4, 1, 3, 5};
constexpr int32_t kNoneId = 42;

const char* const kImages[8][2] = {
    {"console", nullptr}, {"icons", "iconsm"}, {"subs", nullptr}, {"medals", "medalsm"},
    {"btop", nullptr},    {"bbottom", nullptr}, {"bleft", nullptr}, {"bright", nullptr},
};

MV2InterfaceScreens& S() {
    return gMV2Interface;
}

MV2InterfaceGadget Gadget(uint32_t kind, uint32_t panel, int32_t normal, int32_t high,
                          int32_t pressed, uint32_t disabled, int32_t x, int32_t y, int32_t w,
                          int32_t h, uint32_t id, uint32_t action) {
    return {kind, panel, normal, high, pressed, disabled, 0, 0, x, y, w, h, id, action};
}

// Accept, cancel and the three tabs, the page's own tab pressed.
int32_t CommonRows(MV2InterfaceGadget* g, int32_t page) {
    g[0] = Gadget(3, 7, kNoCell, 17, 18, 0, 0, 0, 57, 46, 6, 1);
    g[1] = Gadget(3, 8, kNoCell, 19, 20, 0, 0, 0, 57, 53, 7, 2);
    for (int32_t t = 0; t < 3; ++t) {
        g[2 + t] = Gadget(3, uint32_t(4 + t), kNoCell, 11 + t, 8 + t, 0, 0, 0, 97, 99,
                          uint32_t(3 + t), 17);
        g[2 + t].pressed = t == page;
    }
    return 5;
}

void BuildPages() {
    MV2InterfaceScreens& s = S();
    std::memset(s.gadgets, 0, sizeof s.gadgets);
    MV2InterfaceGadget* g = s.gadgets[0];
    int32_t n = CommonRows(g, 0);
    g[n++] = Gadget(2, 1, kNoCell, kNoCell, kNoCell, 1, 0, 0, 224, 240, 0, 0);
    g[n++] = Gadget(1, 2, kNoCell, kNoCell, kNoCell, 1, 0, 0, 288, 144, 0, 0);
    g[n++] = Gadget(1, 3, kNoCell, kNoCell, kNoCell, 1, 0, 0, 542, 125, 0, 8);
    const int32_t upper[3][2] = {{5, 12}, {87, 12}, {168, 12}};
    const int32_t lower[3][2] = {{46, 53}, {127, 53}, {209, 53}};
    for (int32_t i = 0; i < 3; ++i)
        g[n++] = Gadget(3, 2, 21, 22, 23, 0, upper[i][0], upper[i][1], 74, 78, uint32_t(10 + 2 * i), 3);
    for (int32_t i = 0; i < 3; ++i)
        g[n++] = Gadget(3, 2, 25, 26, 27, 0, lower[i][0], lower[i][1], 74, 78, uint32_t(11 + 2 * i), 4);
    const int32_t at[6][2] = {{2, 6}, {84, 6}, {165, 6}, {42, 56}, {124, 56}, {205, 56}};
    for (int32_t i = 0; i < 6; ++i) {
        const int32_t r = kIndicatorRecord[i];
        g[n++] = Gadget(4, 1 + 1, 30 + 2 * r, 29 + 2 * r, kNoCell, 0, at[i][0], at[i][1], 80, 80, 0, 5);
    }
    const int32_t groupAt[4][2] = {{173, 189}, {11, 189}, {11, 9}, {173, 9}};
    const uint32_t groupIds[4] = {9, 8, 1, 2};
    for (int32_t i = 0; i < 4; ++i)
        g[n++] = Gadget(3, 1, 42, 41, kNoCell, 0, groupAt[i][0], groupAt[i][1], 40, 40, groupIds[i],
                        uint32_t(20 + i));
    for (int32_t j = 0; j < 5; ++j)
        g[n++] = Gadget(3, 1, 42, 41, kNoCell, 1, 11, 49 + 40 * j, 40, 40, uint32_t(16 + j), 9);
    for (int32_t j = 0; j < 7; ++j)
        g[n++] = Gadget(3, 3, 42, 41, kNoCell, 1, 488 - 40 * j, 6, 40, 40, uint32_t(27 - j),
                        uint32_t(30 + j));
    for (int32_t j = 0; j < 4; ++j)
        g[n++] = Gadget(3, 3, 42, 41, kNoCell, 1, 488 - 40 * j, 63, 40, 40, uint32_t(31 - j),
                        uint32_t(40 + j));

    g = s.gadgets[1];
    n = CommonRows(g, 1);
    g[n++] = Gadget(1, 1, 7, 7, kNoCell, 0, 0, 0, 224, 240, 0, 12);
    g[n++] = Gadget(1, 2, 6, 6, kNoCell, 0, 0, 0, 288, 144, 0, 16);
    g[n++] = Gadget(1, 3, 5, 5, kNoCell, 0, 0, 0, 542, 125, 0, 13);
    g[n++] = Gadget(4, 1, 43, 43, kNoCell, 0, 94, 150, 34, 70, 0, 14);
    for (int32_t j = 0; j < 10; ++j)
        g[n++] = Gadget(3, 2, kNoCell, 48, kNoCell, 0, -1 + 27 * j, j % 2 ? 73 : 33, 51, 51,
                        uint32_t(32 + j), 15);
    for (int32_t j = 0; j < 10; ++j)
        g[n++] = Gadget(4, 2, 50 + j, 50 + j, kNoCell, 0, 4 + 27 * j, j % 2 ? 78 : 38, 40, 40, 0, 15);

    g = s.gadgets[2];
    n = CommonRows(g, 2);
    g[n++] = Gadget(1, 1, 83, 83, kNoCell, 0, 0, 0, 224, 240, 0, 7);
    g[n++] = Gadget(1, 2, 3, 3, kNoCell, 0, 0, 0, 288, 144, 0, 10);
    g[n++] = Gadget(1, 3, 4, 4, kNoCell, 0, 0, 0, 542, 125, 0, 11);
    const int32_t barY[5] = {31, 53, 76, 99, 122};
    for (int32_t b = 0; b < 5; ++b)
        g[n++] = Gadget(4, 2, 70, 70, kNoCell, 0, 134, barY[b], 133, 6, 0, uint32_t(50 + b));
}

MV2InterfaceGadget* Page() {
    return S().gadgets[std::clamp(S().page, 0, kMV2InterfacePages - 1)];
}

int32_t RowById(int32_t id) {
    if (id <= 0) return -1;
    MV2InterfaceGadget* g = Page();
    for (int32_t r = 0; g[r].kind != kMV2GadgetEnd; ++r)
        if (int32_t(g[r].id) == id) return r;
    return -1;
}

MV2InterfaceGadget* ByAction(int32_t page, uint32_t action) {
    for (MV2InterfaceGadget* g = S().gadgets[page]; g->kind != kMV2GadgetEnd; ++g)
        if (g->action == action) return g;
    return nullptr;
}

bool Enabled(int32_t id) {
    const int32_t r = RowById(id);
    return r >= 0 && !Page()[r].disabled;
}

int32_t Previous(int32_t id) {
    for (int32_t k = id - 1; k >= 1; --k)
        if (Enabled(k)) return k;
    return 0;
}

// The indicator of a submarine button id, on the load-out page.
MV2InterfaceGadget* IndicatorOf(int32_t id) {
    if (S().page != 0 || id < 10 || id > 15) return nullptr;
    for (int32_t i = 0; i < 6; ++i)
        if (kIndicatorRecord[i] == id - 10) return &S().gadgets[0][14 + i];
    return nullptr;
}

uint32_t Level() {
    return uint32_t(MV2GetEquipmentLevel());
}

bool Unlocked(uint32_t entry) {
    return (entry >> 24) <= Level();
}

MV2SubRecord* Record() {
    return MV2GetSubRecord(S().record);
}

void SoundFor(int32_t id) {
    MV2PlayNamedSound(id >= 10 && id <= 15 ? "LOADUPCHANGESUB" : "LOADUPSHOWINFO");
}

void CloseVideo() {
    if (S().videoPlaying) MV2MovieClose();
    S().videoPlaying = 0;
}

bool ColumnDown() {
    const int32_t g = S().openGroup;
    return g >= 0 && (kGroupButton[g] == 1 || kGroupButton[g] == 2);
}

// Closes an open choice column: its choices disabled, the focus back on its group button.
bool CloseColumn() {
    MV2InterfaceScreens& s = S();
    if (s.openGroup < 0) return false;
    for (int32_t id = 16; id <= 20; ++id)
        if (MV2InterfaceGadget* g = MV2InterfaceGadgetById(0, id)) g->disabled = 1;
    const int32_t button = int32_t(kGroupButton[s.openGroup]);
    s.openGroup = -1;
    MV2InterfaceSetFocus(button);
    return true;
}

void OpenVideoFace() {
    MV2InterfaceScreens& s = S();
    const MV2SubRecord* r = Record();
    TvResourcesEmptyArena();
    CloseVideo();
    if (r && r->video) {
        const int32_t mx = (MV2HudScreenWidth() - 640) / 2, my = (MV2HudScreenHeight() - 480) / 2;
        const MV2InterfacePanel& p = kMV2InterfacePanels[1];
        s.videoPlaying = MV2MovieOpen(r->video, p.x + mx, p.y + my, 1, 224, 240, gMV2MainCamera,
                                      kMV2MovieReplace | kMV2MovieSilent) != 0;
    }
    MV2PlayNamedSound("UPLINK");
}

void PrepareLoadoutGadgets() {
    MV2InterfaceScreens& s = S();
    const MV2SubRecord* r = Record();
    if (!r) return;
    for (int32_t k = 0; k < 4; ++k)
        if (MV2InterfaceGadget* g = MV2InterfaceGadgetById(0, int32_t(kGroupButton[k]))) {
            g->action = uint32_t(20 + k);
            g->disabled = !Unlocked(r->alternatives[k][0]);
        }
    for (int32_t i = 0; i < 7; ++i)
        if (MV2InterfaceGadget* g = ByAction(0, uint32_t(30 + i)))
            g->disabled = !Unlocked(r->tools[i]) || i >= r->toolCount;
    for (int32_t i = 0; i < 4; ++i)
        if (MV2InterfaceGadget* g = ByAction(0, uint32_t(40 + i)))
            g->disabled = !Unlocked(r->weapons[i]) || i >= r->weaponCount;
    for (int32_t id = 16; id <= 20; ++id)
        if (MV2InterfaceGadget* g = MV2InterfaceGadgetById(0, id)) g->disabled = 1;
    s.openGroup = -1;
}

void PrepareSubButtons() {
    MV2InterfaceScreens& s = S();
    const int32_t row = MV2GetCurrentMission();
    for (int32_t k = 0; k < kMV2InterfaceOffered; ++k) {
        MV2InterfaceGadget* button = MV2InterfaceGadgetById(0, 10 + k);
        const MV2SubRecord* r = MV2GetSubRecord(k);
        bool locked = !r || uint32_t(r->console[1]) > Level();
        if (row == 36 && k == 4 && MV2GetStrayCraftDelivered()) locked = false;
        if (button) button->pressed = 0, button->disabled = locked;
        if (MV2InterfaceGadget* ind = IndicatorOf(10 + k)) ind->disabled = locked;
        bool allowed = !locked;
        if (row == 15 || row == 21) allowed = allowed && k == 1;
        else if (row == 17 || row == 19) allowed = allowed && k == 2;
        else if (row == 36) allowed = allowed && (k == 2 || k == 4);
        else if (row == 37) allowed = allowed && k == 3;
        s.allowed[k] = allowed;
    }
    if (MV2InterfaceGadget* b = MV2InterfaceGadgetById(0, 10 + s.record)) b->pressed = 1;
    OpenVideoFace();
}

void SwitchPage(int32_t page) {
    MV2InterfaceScreens& s = S();
    if (s.page != page) {
        CloseVideo();
        s.openGroup = -1;
        s.page = page;
        for (int32_t t = 0; t < 3; ++t) s.gadgets[page][2 + t].pressed = t == page;
        MV2InterfaceSetFocus(3 + page);
        if (page == 0) {
            PrepareSubButtons();
            PrepareLoadoutGadgets();
        }
    }
    MV2PlayNamedSound("PUSHSWITCH");
    if (page != 0) MV2PlayNamedSound("DOCKINGTELEPRINTER");
}

// Rebuilds the player's craft as the chosen record's type where the old one stood; when it
// cannot be made, the old type is made again so that the player keeps a craft.
void Accept() {
    CloseVideo();
    MV2Object* old = MV2GetPlayerObject();
    float at[3] = {};
    if (old && old->matrix) at[0] = old->matrix->pos.x, at[1] = old->matrix->pos.y, at[2] = old->matrix->pos.z;
    const int32_t oldType = old ? MV2HudObjectType(old) : -1;
    if (old) MV2ObjectSendMessage(old, 4, 0, 0);
    MV2SetPlayerObject(nullptr);
    const MV2SubRecord* r = Record();
    MV2SelectSub(r ? r->type : 0);
    MV2Object* made = MV2CreateObject(MV2GetCurrentSubType(), at, nullptr);
    if (!made && oldType >= 0) {
        MV2SelectSub(oldType);
        made = MV2CreateObject(MV2GetCurrentSubType(), at, nullptr);
    }
    if (made) {
        MV2SetPlayerObject(made);
        MV2SetPlayerSub(made);
        MV2ObjectSendMessage(made, 29, 0, reinterpret_cast<intptr_t>(&MV2PlayerHandler));
        MV2EquipPlayerSub(made);
        MV2PlacePlayerSubAtAnchor(1, 0);
    }
    gMV2GameState.requested = 9;
    if (made) MV2ObjectSendMessage(made, 11, 0, 0);
    MV2PlayNamedSound("PUSHSWITCH");
}

void ChooseSub(int32_t id) {
    MV2InterfaceScreens& s = S();
    MV2InterfaceGadget* button = MV2InterfaceGadgetById(0, id);
    const int32_t k = id - 10;
    if (!s.allowed[k]) {
        MV2PlayNamedSound("PUSHSWITCH");
        if (button) button->pressed = 0;
        return;
    }
    if (MV2InterfaceGadget* old = MV2InterfaceGadgetById(0, 10 + s.record)) old->pressed = 0;
    s.record = k;
    if (MV2GetCurrentMission() == 36) MV2PendingMission = MV2BriefedMission = k == 4 ? 53 : 51;
    OpenVideoFace();
    if (button) button->pressed = 1;
    PrepareLoadoutGadgets();
}

void ToggleGroup(int32_t id) {
    MV2InterfaceScreens& s = S();
    if (s.openGroup >= 0) {
        CloseColumn();
        MV2PlayNamedSound("LOADUPSHOWWEAPONSELECTION");
        return;
    }
    MV2InterfaceGadget* button = MV2InterfaceGadgetById(0, id);
    const MV2SubRecord* r = Record();
    if (!button || !r || button->action < 20 || button->action > 23) return;
    s.openGroup = int32_t(button->action) - 20;
    const int32_t count = std::clamp(r->consoleValues[s.openGroup], 0, 5);
    const int32_t sign = id == 1 || id == 2 ? 1 : -1;
    for (int32_t j = 0; j < count; ++j) {
        MV2InterfaceGadget* choice = MV2InterfaceGadgetById(0, 16 + j);
        if (!choice || !Unlocked(r->alternatives[s.openGroup][j])) continue;
        choice->disabled = 0;
        choice->x = button->x;
        choice->y = button->y + sign * (j + 1) * 40;
    }
    MV2PlayNamedSound("LOADUPSHOWWEAPONSELECTION");
}

void ChooseInGroup(int32_t id) {
    MV2InterfaceScreens& s = S();
    MV2SubRecord* r = Record();
    if (s.openGroup < 0 || !r) return;
    r->chosen[s.openGroup] = r->alternatives[s.openGroup][id - 16];
    MV2PlayNamedSound("LOADUPSELECTWEAPON");
    CloseColumn();
}

// The move table: the new focus id, or -1 for no move. Closing a column happens on the way.
int32_t MoveTarget(int32_t action, int32_t f) {
    MV2InterfaceScreens& s = S();
    const bool open = s.openGroup >= 0;
    auto next = [](int32_t k) { return MV2InterfaceNextEnabled(k); };
    auto keep = [](int32_t id, int32_t lo, int32_t hi) { return id >= lo && id <= hi ? id : -1; };
    auto firstOf = [](int32_t a, int32_t b) { return Enabled(a) ? a : Enabled(b) ? b : -1; };
    auto choiceNext = [&](int32_t from) {
        const int32_t n = next(from);
        return n >= 21 ? -1 : keep(n, 16, 20);
    };
    const bool down = action == 33, up = action == 32, right = action == 35, left = action == 34;
    switch (f) {
    case 1: case 2: case 8: case 9: {
        const bool upper = f == 1 || f == 2;
        if ((upper && down) || (!upper && up))
            return open ? 16 : f == 1 || f == 9 ? firstOf(upper ? 8 : 2, upper ? 9 : 1)
                                                : firstOf(upper ? 9 : 1, upper ? 8 : 2);
        if (right) return CloseColumn(), next(f);
        if (left) {
            if (f == 8) return CloseColumn(), -1;
            CloseColumn();
            return Previous(s.focus);
        }
        return -1;
    }
    case 3: case 4: case 5:
        return down ? next(9) : right ? next(f) : left ? Previous(f) : -1;
    case 6:
        return down ? next(6) : left ? Previous(f) : -1;
    case 7:
        if (up) return Previous(f);
        if (left) return Enabled(5) ? 5 : Previous(5);
        return -1;
    case 16: case 17: case 18: case 19: case 20: {
        if (!open || (!up && !down)) return -1;
        const bool along = ColumnDown() ? down : up;
        if (f == 16 && !along) return CloseColumn(), -1;
        return along ? choiceNext(f) : keep(Previous(f), 16, 20);
    }
    default: break;
    }
    if (f >= 10 && f <= 15) {
        if (down) return next(20);
        if (up) return next(2);
        if (right) {
            const int32_t n = next(f);
            return n >= 21 ? -1 : n;
        }
        if (left) {
            const int32_t p = Previous(f);
            return f == 10 && p == 7 ? -1 : p;
        }
    } else if (f >= 21 && f <= 27) {
        if (down) return next(27);
        if (up) return next(9);
        if (right) return f == 27 ? -1 : next(f);
        if (left) return keep(Previous(f), 21, 26);
    } else if (f >= 28 && f <= 31) {
        if (up) return next(20);
        if (right) return f == 31 ? -1 : next(f);
        if (left) return keep(Previous(f), 28, 30);
    } else if (f >= 32 && f <= 41) {
        if (up) return next(2);
        if (right) return next(f);
        if (left) return f == 32 ? -1 : keep(Previous(f), 32, 40);
    }
    return -1;
}

bool Hit(const MV2InterfaceGadget& g, float x, float y) {
    const MV2InterfacePanel& p = kMV2InterfacePanels[std::min<uint32_t>(g.panel, 8)];
    const float left = float(p.x + g.x), top = float(p.y + g.y);
    if (g.action == 3 || g.action == 4 || g.action == 15 || g.action == 17) {
        const float cx = left + float(g.width) / 2, cy = top + float(g.height) / 2;
        const float r = float(std::min(g.width, g.height)) / 2;
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
    }
    return x >= left && x <= left + float(g.width) && y >= top && y <= top + float(g.height);
}

void Mouse() {
    MV2InterfaceScreens& s = S();
    if (!MV2IsMouseCursorShown()) return;
    int32_t cx = 0, cy = 0;
    MV2GetMousePosition(&cx, &cy);
    float sx = 1.0f, sy = 1.0f;
    MV2GetScreenScale(&sx, &sy);
    const float x = float(cx) * sx - float((MV2HudScreenWidth() - 640) / 2);
    const float y = float(cy) * sy - float((MV2HudScreenHeight() - 480) / 2);
    int32_t over = 0;
    for (MV2InterfaceGadget* g = Page(); g->kind != kMV2GadgetEnd && !over; ++g)
        if (g->id && !g->disabled && Hit(*g, x, y)) over = int32_t(g->id);
    const bool inColumn = s.openGroup >= 0 &&
                          ((s.focus >= 16 && s.focus <= 20) ||
                           s.focus == int32_t(kGroupButton[s.openGroup]));
    if (over && over != s.focus) {
        if (inColumn && (over < 16 || over > 20)) CloseColumn();
        MV2InterfaceSetFocus(over);
        SoundFor(over);
    } else if (!over) {
        if (inColumn) CloseColumn();
        MV2InterfaceSetFocus(0);
    }
    MV2SetMouseCursorFrame(over ? 1 : 0);
}

} // namespace

MV2InterfaceGadget* MV2InterfaceGadgetById(int32_t page, int32_t id) {
    if (page < 0 || page >= kMV2InterfacePages || id <= 0) return nullptr;
    for (MV2InterfaceGadget* g = S().gadgets[page]; g->kind != kMV2GadgetEnd; ++g)
        if (int32_t(g->id) == id) return g;
    return nullptr;
}

int32_t MV2InterfaceNextEnabled(int32_t id) {
    for (int32_t k = id + 1; k <= 41; ++k)
        if (Enabled(k)) return k;
    return kNoneId;
}

void MV2InterfaceSetFocus(int32_t id) {
    MV2InterfaceScreens& s = S();
    if (MV2InterfaceGadget* old = MV2InterfaceGadgetById(s.page, s.focus)) old->highlighted = 0;
    if (MV2InterfaceGadget* ind = IndicatorOf(s.focus)) ind->highlighted = 0;
    s.focus = id;
    if (MV2InterfaceGadget* g = MV2InterfaceGadgetById(s.page, id)) g->highlighted = 1;
    if (MV2InterfaceGadget* ind = IndicatorOf(id)) ind->highlighted = s.allowed[id - 10];
    s.focusRow = RowById(id);
}

void MV2InterfaceMoveFocus(int32_t action) {
    const int32_t to = MoveTarget(action, S().focus);
    if (to <= 0 || to >= kNoneId || to == S().focus || !Enabled(to)) return;
    MV2InterfaceSetFocus(to);
    SoundFor(to);
}

void MV2InterfaceSelect() {
    MV2InterfaceScreens& s = S();
    const int32_t id = s.focus;
    MV2SetMouseCursorFrame(2);
    if (MV2InterfaceGadget* g = MV2InterfaceGadgetById(s.page, id)) g->pressed = 1;
    if (id >= 3 && id <= 5) SwitchPage(id - 3);
    else if (id == 6) Accept();
    else if (id == 7) {
        CloseVideo();
        gMV2GameState.requested = 9;
        MV2PlayNamedSound("PUSHSWITCH");
    } else if (s.page != 0) return;
    else if (id >= 10 && id <= 15) ChooseSub(id);
    else if (id == 1 || id == 2 || id == 8 || id == 9) ToggleGroup(id);
    else if (id >= 16 && id <= 20) ChooseInGroup(id);
}

int32_t MV2InterfaceLocationText(int32_t stage) {
    return stage >= 0 && stage < 21 ? kLocationTexts[stage] : -1;
}

void MV2InterfaceSetStatusBars(int32_t stage) {
    struct Bars {
        int32_t count, texts[5], values[5];
    };
    Bars b = {5, {514, 514, 514, 514, 514}, {50, 50, 50, 50, 50}};
    switch (stage) {
    case 1: case 5: case 9: case 13: b = {4, {514, 517, 519, 511}, {50, 25, 15, 10}}; break;
    case 2: case 6: case 7: case 11: b = {3, {514, 517, 511}, {15, 55, 30}}; break;
    case 3: b = {5, {514, 517, 511, 519, 520}, {10, 10, 15, 25, 40}}; break;
    case 4: b = {3, {521, 515, 315}, {20, 50, 30}}; break;
    case 8: b = {4, {521, 519, 515, 315}, {35, 20, 10, 35}}; break;
    case 12: b = {5, {514, 519, 522, 515, 315}, {10, 10, 50, 20, 10}}; break;
    case 14: case 15: case 17: case 20: b = {2, {316, 511}, {80, 20}}; break;
    case 16: b = {1, {316}, {100}}; break;
    case 18: case 19: b = {1, {514}, {100}}; break;
    case 21: b = {0, {}, {}}; break;
    default: break;
    }
    MV2InterfaceScreens& s = S();
    for (int32_t i = 0; i < 5; ++i) {
        s.barTexts[i] = i < b.count ? b.texts[i] : -1;
        s.barValues[i] = i < b.count ? b.values[i] : 0;
        if (MV2InterfaceGadget* g = ByAction(2, uint32_t(50 + i))) g->disabled = i >= b.count;
    }
}

void MV2EnterInterfaceScreens() {
    MV2InterfaceScreens& s = S();
    const int32_t row = MV2GetCurrentMission();
    MV2LastEquipmentLevel = Level();
    MV2Object* sub = MV2GetPlayerSub();
    MV2SelectSub(row == 19 ? 1 : sub ? MV2HudObjectType(sub) : 0);
    s.record = MV2GetCurrentSubRecordIndex();
    CloseVideo();
    MV2ResetSounds();
    MV2StopAmbientLoop(kMV2AmbientNone);
    MV2ClearInterfaceRasters();
    MV2StartAmbientLoop("TERMINAL2");
    BuildPages();

    s.stage = MV2GetActiveWallSet();
    s.completion = MV2GetMissionCompletion(row);
    s.locationText = MV2InterfaceLocationText(s.stage);
    MV2InterfaceSetStatusBars(s.stage);

    s.page = 1;
    s.focus = 0;
    MV2InterfaceSetFocus(4);
    int32_t awards = 0;
    MV2GetAwardCounter(MV2ShownAwardSlot, 1, &awards);
    for (int32_t j = 0; j < 10; ++j) {
        const uint32_t off = (uint32_t(awards) >> (j + 1)) & 1 ? 0 : 1;
        if (MV2InterfaceGadget* b = MV2InterfaceGadgetById(1, 32 + j)) b->disabled = off;
        s.gadgets[1][19 + j].disabled = off;
    }

    s.page = 0;
    s.focus = 0;
    MV2InterfaceSetFocus(3);
    if (s.record < 0 || s.record >= kMV2InterfaceOffered) s.record = 0;
    PrepareSubButtons();
    s.openGroup = -1;
    PrepareLoadoutGadgets();

    char saved[260];
    std::snprintf(saved, sizeof saved, "%s", TvImageGetPath() ? TvImageGetPath() : "");
    char path[280];
    std::snprintf(path, sizeof path, "%sinface\\", saved);
    TvImageSetPath(path);
    char name[32], mask[32];
    for (int32_t i = 0; i < 8; ++i) {
        TvRaster* raster = nullptr;
        for (const char* ext : {"jpg", "bmp"}) {
            std::snprintf(name, sizeof name, "%s.%s", kImages[i][0], ext);
            if (kImages[i][1]) std::snprintf(mask, sizeof mask, "%s.%s", kImages[i][1], ext);
            raster = kImages[i][1] ? TvRasterReadMaskedImage(name, mask) : TvRasterRead(name);
            if (raster) break;
        }
        gMV2InterfaceShared.rasters[i] = raster;
    }
    for (const char* ext : {"jpg", "bmp"}) {
        std::snprintf(name, sizeof name, "mum%02d.%s", std::clamp(s.stage, 0, 99), ext);
        if ((gMV2InterfaceShared.rasters[8] = TvRasterRead(name))) break;
    }
    TvImageSetPath(saved);

    for (int32_t k = 0; k < kMV2SubRecords; ++k)
        if (MV2SubRecord* r = MV2GetSubRecord(k))
            for (int32_t g = 0; g < 4; ++g) r->chosen[g] = r->alternatives[g][0];
    MV2SubRecord* r = MV2GetCurrentSubRecord();
    MV2SubData* data = sub && sub->type && sub->type->privateDataSize >= sizeof(MV2SubData)
                           ? static_cast<MV2SubData*>(sub->privateData)
                           : nullptr;
    if (r && data)
        for (MV2WeaponRecord* w = data->weapons.first; w; w = w->next) {
            const uint32_t item = uint32_t(MV2GetWeaponIcon(w->slot));
            bool fixed = false;
            for (uint32_t e : r->weapons) fixed = fixed || (e & 0xFFFFFF) == item;
            if (fixed || w->mount < 0 || w->mount > 3) continue;
            r->chosen[w->mount] = (r->chosen[w->mount] & 0xFF000000u) | item;
        }
}

void MV2LeaveInterfaceScreens() {
    CloseVideo();
    MV2ResetSounds();
    MV2StopAmbientLoop(kMV2AmbientPending);
    MV2ClearInterfaceRasters();
}

void MV2UpdateInterfaceScreens() {
    MV2InterfaceScreens& s = S();
    MV2RefreshAmbientLoop();
    s.focusRow = RowById(s.focus);
    if (MV2IsHiddenMouseButtonDown()) MV2ShowMouseCursor();
    if (s.videoPlaying) {
        if (!MV2MovieUpdate()) CloseVideo();
        return;
    }
    Mouse();
    const MV2Action& select = gMV2Controls.actions[28];
    const bool over = MV2IsMouseCursorShown() && s.focus > 0;
    if (select.active && (select.value > 0.0f || (select.value < 0.0f && over))) MV2InterfaceSelect();
    if (gMV2Controls.actions[29].active) {
        MV2HideMouseCursor();
        if (s.openGroup >= 0) {
            CloseColumn();
            MV2PlayNamedSound("LOADUPSHOWWEAPONSELECTION");
        } else if (s.focus != 6 && Enabled(6)) {
            MV2InterfaceSetFocus(6);
            SoundFor(6);
        }
    }
    for (int32_t action : {34, 35, 32, 33}) {
        if (!gMV2Controls.actions[action].active) continue;
        MV2HideMouseCursor();
        MV2InterfaceMoveFocus(action);
        break;
    }
    s.focusRow = RowById(s.focus);
}

namespace {

int32_t g_marginX = 0, g_marginY = 0;

void DrawCell(int32_t cell, int32_t x, int32_t y) {
    if (cell < 0 || cell >= kMV2InterfaceCells) return;
    const MV2InterfaceCell& c = kMV2InterfaceCellTable[cell];
    if (c.slot >= uint32_t(kMV2InterfaceSlots)) return;
    TvRaster* raster = gMV2InterfaceShared.rasters[c.slot];
    if (!raster || raster->width <= 0 || raster->height <= 0) return;
    const float w = float(raster->width), h = float(raster->height);
    MV2ImageDraw d = {0xFFFFFFFFu, 0xFFFFFFFFu, float(x), float(x) + (c.right - c.left), float(y),
                      float(y) + (c.bottom - c.top), raster, c.left / w, c.top / h, c.right / w,
                      c.bottom / h};
    MV2Draw2DImage(&d);
}

void DrawTextAt(int32_t id, float x, float y, float w, uint8_t flags, uint32_t colour) {
    static MV2TextDescriptor text;
    if (id < 0) return;
    text.id = uint32_t(id);
    if (!MV2GetText(&text) || !text.text) return;
    MV2Set2DColourARGB(colour);
    MV2DrawText({x, y}, {w, 20.0f}, &text, flags, 8);
}

void DrawNumber(int32_t value, int32_t x, int32_t y) {
    MV2HudDrawNumber(value, x, y, 0xFFFFFFFFu, 0);
}

int32_t RankCell() {
    const uint32_t l = Level();
    return l >= 100 ? 47 : l >= 80 ? 46 : l >= 50 ? 45 : l >= 20 ? 44 : l >= 2 ? 43 : -1;
}

int32_t CellOf(const MV2InterfaceGadget& g) {
    const MV2InterfaceScreens& s = S();
    if (g.kind == kMV2GadgetVideo) {
        const MV2SubRecord* r = Record();
        return s.videoPlaying || !r ? -1 : r->console[0];
    }
    if (g.action == 17 && g.highlighted && g.pressed) return 14 + int32_t(g.id) - 3;
    if (g.action == 3 || g.action == 4) {
        if (g.disabled) return -1;
        const int32_t base = g.action == 3 ? 21 : 25;
        return base + (g.highlighted ? 1 : 0) + (g.pressed ? 2 : 0);
    }
    if (g.action == 14) return RankCell();
    if (g.disabled && (g.action == 15 || (g.action >= 30 && g.action <= 43) ||
                       (g.action >= 50 && g.action <= 54)))
        return -1;
    if (((g.action >= 20 && g.action <= 23) || g.action == 9) && (g.disabled || s.videoPlaying))
        return -1;
    const bool lit = g.highlighted && !(g.kind == kMV2GadgetIndicator && g.action == 5 &&
                                        !s.allowed[std::clamp((g.normal - 30) / 2, 0, 5)]);
    const int32_t cell = lit ? g.highlightCell : g.pressed ? g.pressedCell : g.normal;
    return cell == kNoCell ? -1 : cell;
}

uint32_t ItemOf(const MV2InterfaceGadget& g) {
    const MV2SubRecord* r = Record();
    if (!r) return 0;
    const uint32_t a = g.action;
    const MV2InterfaceScreens& s = S();
    if (a >= 20 && a <= 23) return r->chosen[a - 20] & 0xFFFFFF;
    if (a == 9 && s.openGroup >= 0) return r->alternatives[s.openGroup][g.id - 16] & 0xFFFFFF;
    if (a >= 30 && a <= 36) return r->tools[a - 30] & 0xFFFFFF;
    if (a >= 40 && a <= 43) return r->weapons[a - 40] & 0xFFFFFF;
    return 0;
}

const ItemInfo* Info(uint32_t item) {
    for (const ItemInfo& i : kItems)
        if (i.item == item) return &i;
    return nullptr;
}

void DrawRatings(int32_t label, int32_t rating, int32_t x, int32_t y) {
    DrawTextAt(label, float(x + 50), float(y + 8), 100, 2, 0xFFFFFFFFu);
    DrawCell(64, x + 105, y);
    for (int32_t p = 0; p < std::clamp(rating, 0, 5); ++p) DrawCell(65, x + 108 + 24 * p, y + 2);
}

void DrawInformation(int32_t x, int32_t y) {
    const MV2InterfaceScreens& s = S();
    const MV2InterfaceGadget* focused = MV2InterfaceGadgetById(0, s.focus);
    const uint32_t item = focused ? ItemOf(*focused) : 0;
    const MV2SubRecord* r = Record();
    if (item) {
        const ItemInfo* info = Info(item);
        if (!info) return;
        DrawTextAt(info->name, float(x + 271), float(y + 14), 500, 0, 0xFFFFFFFFu);
        if (info->kind == 0)
            for (int32_t i = 0; i < 4; ++i) DrawRatings(884 + i, info->ratings[i], x + 10, y + 34 + 20 * i);
        else
            DrawTextAt(info->description, float(x + 271), float(y + 40), 500, 0, 0xFFFFFFFFu);
        return;
    }
    if (!r) return;
    DrawTextAt(r->texts[0], float(x + 271), float(y + 14), 500, 0, 0xFFFFFFFFu);
    for (int32_t i = 0; i < 3; ++i) DrawRatings(829 + i, r->ratings[i], x + 10, y + 34 + 20 * i);
    DrawTextAt(882, float(x + 60), float(y + 104), 100, 2, 0xFFFFFFFFu);
    const MV2ObjectType* type = MV2GetObjectType(r->type);
    const uint32_t word = type ? type->words[29] : 0;
    DrawNumber(int32_t(MV2GetCurrentMission() < 21 ? word >> 16 : word & 0xFFFF), x + 120, y + 96);
}

void DrawExtra(const MV2InterfaceGadget& g, int32_t x, int32_t y) {
    const MV2InterfaceScreens& s = S();
    const uint32_t a = g.action;
    const float mid = float(x + g.width / 2);
    if (a == 8 && s.page == 0) DrawInformation(x, y);
    if (a == 9 || (a >= 20 && a <= 23) || (a >= 30 && a <= 35) || (a >= 40 && a <= 43)) {
        const uint32_t item = ItemOf(g);
        if (item && !g.disabled && !s.videoPlaying) MV2Draw2DSpriteSized(x + 4, y + 4, 32, 32, int32_t(item), 0xFFFFFFFFu);
    }
    if (a == 10) DrawTextAt(286, mid + 8, float(y + 14), float(g.width), 0, 0xFFFFFFFFu);
    if (a == 16) DrawTextAt(969, mid + 8, float(y + 14), float(g.width), 0, 0xFFFFFFFFu);
    if (a == 11) {
        DrawTextAt(314, mid + 8, float(y + 14), float(g.width), 1, 0xFFFFFFFFu);
        DrawTextAt(s.locationText, mid + 8, float(y + 34), float(g.width), 1, 0xFFFFFFFFu);
        MV2Set2DColour(0, 255, 0, 255);
        const int32_t w = int32_t(float(std::clamp(s.completion, 0, 100)) * 4.96f) + 1;
        MV2Draw2DRect(x + 23, y + 52, x + 23 + w, y + 88, 0);
        DrawNumber(s.completion, x + 23 + w, y + 32);
    }
    if (a == 12) {
        const int32_t slot = std::clamp(MV2ShownAwardSlot, 0, 2);
        DrawTextAt(kAwardTexts[slot][0], mid, float(y + 20), float(g.width - 16), 0, 0xFFFFFFFFu);
        int32_t kills = 0, value = 0;
        MV2GetAwardCounter(slot, 0, &kills);
        MV2GetAwardCounter(slot, 2, &value);
        DrawTextAt(681, float(x + 60), float(y + 60), 100, 1, 0xFFFFFFFFu);
        DrawNumber(kills, x + 165, y + 52);
        DrawTextAt(315, float(x + 60), float(y + 90), 100, 1, 0xFFFFFFFFu);
        DrawNumber(value, x + 165, y + 82);
        DrawTextAt(679, float(x + 60), float(y + 120), 100, 1, 0xFFFFFFFFu);
        const uint32_t l = Level();
        const int32_t rank = l >= 100 ? 581 : l >= 80 ? 580 : l >= 50 ? 579 : l >= 20 ? 578 : l >= 2 ? 377 : 375;
        DrawTextAt(rank, float(x + 80), float(y + 140), 120, 1, 0xFFFFFFFFu);
    }
    if (a == 13) {
        const bool medal = s.focus >= 32 && s.focus <= 41;
        const int32_t slot = std::clamp(MV2ShownAwardSlot, 0, 2);
        DrawTextAt(medal ? kMedalNames[s.focus - 32] : 968, mid, float(y + 20), float(g.width - 16), 0, 0xFFFFFFFFu);
        static MV2TextDescriptor body;
        body.id = uint32_t(medal ? kMedalTexts[s.focus - 32] : kAwardTexts[slot][1]);
        if (MV2GetText(&body) && body.text) {
            MV2TextDescriptor* list[2] = {&body, nullptr};
            MV2Set2DColourARGB(0xFFFFFFFFu);
            MV2DrawTextWrapped(int32_t(mid), y + (medal ? 50 : 30), -(g.width - 16) / 2, list, 1, 8);
        }
    }
    if (a >= 50 && a <= 54 && !g.disabled) {
        const int32_t b = int32_t(a) - 50;
        const MV2InterfacePanel& p = kMV2InterfacePanels[g.panel];
        DrawTextAt(s.barTexts[b], float(p.x + g_marginX + g.x / 2), float(y + g.height / 2),
                   float(g.x - 16), 2, 0xFFFFFFFFu);
        MV2Set2DColour(255, 255, 0, 255);
        const int32_t w = s.barValues[b] * g.width / 100 + 1;
        MV2Draw2DRect(x, y + g.height / 2, x + w, y + g.height, 0);
    }
}

} // namespace

void MV2RenderInterfaceScreens() {
    const MV2InterfaceScreens& s = S();
    int32_t fog = 0;
    TvRenderStateGet(kTvRenderStateFogEnable, &fog);
    TvRenderStateSet(kTvRenderStateTexturePerspective, 0);
    TvRenderStateSet(kTvRenderStateShadeMode, 1);
    TvRenderStateSet(kTvRenderStateZWriteEnable, 0);
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 0);
    TvRenderStateSet(kTvRenderStateFogEnable, 0);
    TvRenderStateSet(kTvRenderStateTextureFilter, 1);
    const int32_t width = MV2HudScreenWidth(), height = MV2HudScreenHeight();
    g_marginX = g_marginY = 0;
    if (width > 640) {
        g_marginX = (width - 640) / 2, g_marginY = (height - 480) / 2;
        const bool small = width == 800;
        DrawCell(small ? 75 : 79, g_marginX, 0);
        DrawCell(small ? 76 : 80, g_marginX, g_marginY + 480);
        DrawCell(small ? 77 : 81, 0, 0);
        DrawCell(small ? 78 : 82, g_marginX + 640, 0);
    }
    DrawCell(0, g_marginX, g_marginY);
    for (const MV2InterfaceGadget* g = S().gadgets[std::clamp(s.page, 0, 2)]; g->kind != kMV2GadgetEnd; ++g) {
        const MV2InterfacePanel& p = kMV2InterfacePanels[std::min<uint32_t>(g->panel, 8)];
        const int32_t x = g_marginX + p.x + g->x, y = g_marginY + p.y + g->y;
        DrawCell(CellOf(*g), x, y);
        DrawExtra(*g, x, y);
    }
    if (s.videoPlaying) MV2MovieRender();
    TvRenderStateSet(kTvRenderStateFogEnable, fog);
}
