// Entry points of creature modules not built yet, each doing the least its callers need.
#include "game/creatures/creatures.h"

// Placeholder: SUBS.DAT is not read yet; the start goes on.
int32_t MV2LoadSubDefinitions() {
    return 1;
}

// Placeholder: nothing was loaded.
void MV2FreeSubDefinitions() {}

// Placeholder: the ink module is not built; it starts empty.
int32_t MV2InitialiseInk() {
    return 1;
}

// Placeholder: the timed tags are not built; they start empty.
int32_t MV2InitialiseTimedTags() {
    return 1;
}

// Placeholder: there are no path nodes yet.
void MV2BuildPathNodes() {}

// Placeholder: there are no path nodes yet.
void MV2DestroyPathNodes() {}

// Placeholder: there are no brains yet; objects keep AI category 0 and their type handler.
void MV2AssignObjectBrain(MV2Object*) {}

// Placeholder: no submarine definitions are read yet.
void* MV2FindSubDefinition(const char*) {
    return nullptr;
}

// Placeholder: there is no path-node graph to build.
void MV2CreatePathNodeGraph() {}

// Placeholder: there is no path-node graph to free.
void MV2DestroyPathNodeGraph() {}
