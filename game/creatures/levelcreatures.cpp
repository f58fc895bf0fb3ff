#include "game/creatures/levelcreatures.h"

#include "game/creatures/flies.h"
#include "game/creatures/floats.h"
#include "game/creatures/jellyfish.h"
#include "game/creatures/mummy.h"
#include "game/creatures/pond.h"
#include "game/creatures/scarab.h"
#include "game/creatures/shell.h"

void MV2RegisterLevelCreatureHandlers() {
    MV2RegisterMummyHandlers();
    MV2RegisterJellyHandlers();
    MV2RegisterScarabHandlers();
    MV2RegisterPondHandlers();
    MV2RegisterFloatHandlers();
    MV2RegisterShellHandlers();
    MV2RegisterFlyHandlers();
}

void MV2ResetLevelCreatures() {
    MV2ResetMummy(); // with the words shared with the mission
    MV2ResetJellyMother();
    MV2ResetScarab();
    MV2ResetPond();
}
