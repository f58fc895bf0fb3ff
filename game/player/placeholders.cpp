// Entry points of player modules not built yet (the suck-up tool and the spotlight shafts), each
// doing the least its callers need.
#include "game/player/player.h"

#include <cstddef>
#include <iterator>

#include "game/creatures/submarines.h"
#include "game/objects/objecttypes.h"

// Placeholder: there is no suck-up tool yet; nothing is taken.
int32_t MV2SuckUpTake(MV2Object*, MV2Object*) {
    return 0;
}

// Placeholders: the spotlight shafts are not built; the light-link list stays empty.
void MV2LightLinkAdd(TvFrame*, float*, uint32_t) {}
void MV2LightLinkRemove(uint32_t) {}
