// Entry points of modules of other folders that are being built now; each does the least its
// shell callers need, and goes when its module comes.
#include "game/creatures/creatures.h"
#include "game/objects/levels.h"
#include "game/objects/lighting.h"
#include "game/objects/objects.h"
#include "game/objects/sky.h"

// Placeholder: there are no SubAI records to mark.
void MV2SubAISetDesignated(MV2SubAIData*, int32_t) {}
