#include "game/missions/leveldevices.h"

#include <cmath>
#include <cstring>

#include "game/missions/bubblevent.h"
#include "game/missions/currentcolumn.h"
#include "game/missions/dirtcolumn.h"
#include "game/missions/fallingrocks.h"
#include "game/missions/jelly.h"
#include "game/missions/levelgate.h"
#include "game/missions/levers.h"
#include "game/missions/locator.h"
#include "game/missions/shuttle.h"
#include "game/missions/spawner.h"
#include "game/missions/spider.h"
#include "game/missions/uplink.h"
#include "game/missions/vortex.h"
#include "game/objects/objects.h"

void MV2RegisterLevelDeviceHandlers() {
    MV2RegisterLevelGateHandler();
    MV2RegisterLocatorHandlers();
    MV2RegisterBubbleVentHandler();
    MV2RegisterCurrentColumnHandler();
    MV2RegisterUplinkHandler();
    MV2RegisterDirtColumnHandler();
    MV2RegisterFallingRockHandlers();
    MV2RegisterSpawnerHandler();
    MV2RegisterShuttleHandler();
    MV2RegisterLeverSwitchHandlers();
    MV2RegisterJellyHandler();
    MV2RegisterVortexHandler();
    MV2RegisterCrawlingSpiderHandlers();
}

int32_t MV2TakeLevelParameter(MV2Object* object) {
    float stored;
    std::memcpy(&stored, &object->typeWord68, sizeof stored);
    object->typeWord68 = 0;
    if (std::isnan(stored)) return 0;
    if (stored >= 2147483520.0f) return INT32_MAX;
    if (stored <= -2147483648.0f) return INT32_MIN;
    return int32_t(stored);
}
