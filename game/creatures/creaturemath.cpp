// Shared helpers of the creature modules.
#include "game/creatures/creaturemath.h"

#include <cstring>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "game/missions/missions.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/sounds.h"

int32_t MV2CreatureSound(const char* name) {
    const int32_t id = MV2FindSoundByName(name);
    return id >= 0 ? id : kMV2NoSound;
}

void MV2RebuildAroundUp(TvMatrix* m, const TvV3d& up) {
    TvV3d right = TvV3dCross(up, m->at);
    if (MV2Normalise(&right) <= 0.0f) return; // forward along up: keep the frame
    m->right = right;
    m->up = MV2Unit(TvV3dCross(m->at, right));
    m->at = MV2Unit(TvV3dCross(right, m->up));
}

void MV2SyncObjectFrame(MV2Object* object) {
    if (object && object->clump) TvFrameUpdateObjects(object->clump->frame);
}

bool MV2BeyondFarClip(const TvV3d& point) {
    if (!gMV2MainCamera || !gMV2MainCamera->object.frame) return false;
    const TvV3d d = TvV3dSub(point, TvFrameGetLTM(gMV2MainCamera->object.frame)->pos);
    return TvV3dDot(d, d) > gMV2FarClip.distance * gMV2FarClip.distance;
}

void MV2RaiseScriptEvent(int32_t event, MV2Object* object, MV2Object* other) {
    MV2NotifyScripts(object, event, reinterpret_cast<intptr_t>(other));
}

int32_t MV2TakeCreationValue(MV2Object* object) {
    float stored;
    std::memcpy(&stored, &object->typeWord68, sizeof stored);
    object->typeWord68 = 0;
    return std::isfinite(stored) && std::fabs(stored) < 2e9f ? int32_t(stored) : 0;
}

intptr_t MV2BrainWordMessage(void** word, int32_t message, intptr_t p2) {
    if (message == 27) {
        if (p2) *reinterpret_cast<void**>(p2) = word ? *word : nullptr;
    } else if (word) {
        *word = reinterpret_cast<void*>(p2);
    }
    return 1;
}
