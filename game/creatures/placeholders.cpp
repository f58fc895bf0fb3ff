// Entry points of creature modules not built yet, each doing the least its callers need.
#include "game/creatures/creatures.h"
#include "game/creatures/subai.h"
#include "game/missions/cutscenes.h"
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

// Placeholder: the spline order is not built; the top command follows the actor that the
// cut-scene starts for the id.
void MV2SubAISetFollowSpline(MV2Object* craft, uint32_t actorId, float lag) {
    MV2SubAICommand* frame = craft ? MV2SubAIGetCommand(craft) : nullptr;
    if (!frame) return;
    MV2Object* actor = MV2CutSceneStartActor(actorId, 0);
    if (!actor) return;
    frame->code = kMV2SubAIFollowActor;
    MV2SubAICommandSetTarget(frame, actor);
    frame->follow.lag = lag;
}
