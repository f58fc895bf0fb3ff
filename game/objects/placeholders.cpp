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




// Placeholder: the camera's looped sound is not built; nothing plays.
void MV2StartCameraSound(int32_t, float) {}
