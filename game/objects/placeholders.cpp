// Entry points of object-system modules not built yet, each doing the least its callers need.
#include "engine/core/pipe.h"
#include "engine/world/clump.h"
#include "game/effects/effects.h"
#include "game/objects/camera.h"
#include "game/objects/caustics.h"
#include "game/objects/collision.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/modeltags.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/objectupdate.h"
#include "game/objects/scanner.h"
#include "game/objects/objectsounds.h"
#include "game/objects/sky.h"
#include "game/objects/objectupdate.h"
#include "game/objects/water.h"
#include "game/objects/world.h"
#include "game/player/player.h"
#include "game/player/tools.h"


// Placeholder: the world record's depth reference is not read yet; it lies at height 0.
float MV2GetWorldDepthReference() {
    return 0.0f;
}



// Placeholder: pickup models are used as loaded.
void MV2PreparePickupModel(TpClump*, int32_t) {}

// Placeholder: the default answers of the tool system for commands 3, 57, 59 and 88.
int32_t MV2DefaultToolHandler(MV2Tool* tool, int32_t command, intptr_t, intptr_t p2) {
    switch (command) {
    case 3:
        if (tool) tool->word = 0;
        return 1;
    case 57:
        if (p2) reinterpret_cast<int32_t*>(p2)[0] = 320;
        return 1;
    case 59:
        if (p2) {
            reinterpret_cast<int32_t*>(p2)[3] = 0;
            reinterpret_cast<int32_t*>(p2)[4] = 0;
        }
        return 1;
    case 88:
        if (p2) *reinterpret_cast<MV2Tool**>(p2) = tool;
        return 1;
    default: return 0;
    }
}

// Placeholder: the camera's looped sound is not built; nothing plays.
void MV2StartCameraSound(int32_t, float) {}
