#include "game/missions/dayclock.h"

#include "game/missions/missionflow.h"
#include "game/missions/missionscripts.h"
#include "game/objects/caustics.h"
#include "game/objects/objects.h"
#include "shell/cdaudio.h"
#include "shell/gamestate.h"

int32_t gMV2DayClockCausticsOn = 0;

namespace {

constexpr int32_t kPathEvent = 16;
constexpr int32_t kBayLight = 0x20029, kSecondLight = 0x2002E;

void Switch(int32_t worldId, intptr_t on) {
    if (MV2Object* o = MV2FindObjectByWorldID(worldId)) MV2ObjectSendMessage(o, 33, on, 0);
}

} // namespace

int32_t MV2DayClockScript(MV2Object*, int32_t message, intptr_t a, intptr_t b) {
    if (message != kMV2ScriptEvent || a != kPathEvent) return 1;
    switch (b) {
    case 0:
        gMV2DayClockCausticsOn = 1;
        MV2SetWorldCaustics(1);
        break;
    case 8: // the closing sequence: back to the title
        gMV2GameState.requested = 8;
        gMV2GameStateCompanion.requestedSequence = 7;
        break;
    case 34:
        MV2FadeMusic(0.0f, 5.0f);
        if (MV2Object* o = MV2FindObjectByWorldID(kBayLight)) {
            MV2ObjectSendMessage(o, 33, 1, 0);
            MV2ObjectSendMessage(o, 62, 0, 0);
        }
        break;
    case 35: Switch(kBayLight, 0); break;
    case 36: Switch(kSecondLight, 1); break;
    case 37: Switch(kSecondLight, 0); break;
    default: break;
    }
    return 1;
}
