// Entry points of modules of other folders that are being built now; each does the least its
// shell callers need, and goes when its module comes.
#include "game/creatures/creatures.h"
#include "game/frontend/console.h"
#include "game/objects/levels.h"
#include "game/objects/lighting.h"
#include "game/objects/objects.h"
#include "game/objects/sky.h"

// Placeholder: the brain steers nothing yet; every message goes on to the type handler.
intptr_t MV2SubAIBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    return object->typeHandler ? object->typeHandler(object, message, p1, p2) : 0;
}

// Placeholder: no craft has a SubAI record yet.
MV2SubAIData* MV2GetSubAIData(MV2Object*) {
    return nullptr;
}

// Placeholder: there are no SubAI records to mark.
void MV2SubAISetDesignated(MV2SubAIData*, int32_t) {}

// Placeholder: the console is not built; there is no page to prepare.
void MV2StartConsole() {}
