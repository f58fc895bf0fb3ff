// Entry points of the creatures subsystem not built yet, each doing the least its callers need.
#include "game/creatures/creatures.h"

// Placeholder: there are no brains yet; objects keep AI category 0 and their type handler.
void MV2AssignObjectBrain(MV2Object*) {}

// Placeholder: no submarine definitions are read yet.
void* MV2FindSubDefinition(const char*) {
    return nullptr;
}
