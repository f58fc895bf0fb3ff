// Entry points of creature modules not built yet, and of modules other branches are building,
// each doing the least its callers need.
#include "game/creatures/creatures.h"
#include "game/creatures/deathsites.h"
#include "game/creatures/pirates.h"
#include "game/creatures/subai.h"
#include "game/objects/levels.h"
#include "game/objects/objectsounds.h"

// Placeholder: the ink module is not built; it starts empty.
int32_t MV2InitialiseInk() {
    return 1;
}

// Placeholder: the timed tags are not built; they start empty.
int32_t MV2InitialiseTimedTags() {
    return 1;
}

// Placeholder: the pirate layer is not built; pirates fly as plain SubAI craft.
intptr_t MV2PirateBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    return MV2SubAIBrain(object, message, p1, p2);
}

// Placeholder: object sounds are being built with the objects; the sound is not started.
int32_t MV2StartObjectSound(MV2Object*, int32_t, intptr_t*, int32_t, int32_t) {
    return 0;
}

// Placeholder: object sounds are being built with the objects; the variable is cleared.
void MV2StopObjectSound(MV2Object*, int32_t, intptr_t* variable) {
    if (variable) *variable = 0;
}

// Placeholder: level records are being built with the levels; none is found, so a level has
// no path-node graph.
const MV2LevelRecord* MV2FindLevelRecord(uint32_t) {
    return nullptr;
}

// Placeholder: the ambient creatures are not built; every point counts as inside their area.
int32_t MV2IsOutsideAmbientArea(const TvV3d*) {
    return 0;
}
