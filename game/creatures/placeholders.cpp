// Entry points of creature modules not built yet, each doing the least its callers need.
#include "game/creatures/creatures.h"
#include "game/objects/objects.h"

// Placeholder: the timed tags are not built; they start empty.
int32_t MV2InitialiseTimedTags() {
    return 1;
}

// Placeholder: the wreck brain is not built; the craft runs its own type handler, with no pilot.
intptr_t MV2WreckBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (object->typeHandler) return object->typeHandler(object, message, p1, p2);
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}
