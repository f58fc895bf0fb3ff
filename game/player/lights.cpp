// The lights tool.
#include "game/player/lights.h"

#include "game/creatures/submarines.h"
#include "game/frontend/hud.h"
#include "game/missions/lightobject.h"
#include "game/objects/objecttypes.h"
#include "game/player/player.h"

namespace {

MV2LightObjectData* FirstLight(MV2Object* craft) {
    if (!craft || !craft->type || craft->type->privateDataSize < sizeof(MV2SubData)) return nullptr;
    auto* data = static_cast<MV2SubData*>(craft->privateData);
    MV2Object* light = MV2GetObjectRef(&data->attachments[0].object);
    return light ? static_cast<MV2LightObjectData*>(light->privateData) : nullptr;
}

MV2Object* Owner(MV2Tool* tool) {
    return tool ? reinterpret_cast<MV2Object*>(tool->word) : nullptr;
}

} // namespace

bool MV2CraftHasLights(MV2Object* craft) {
    return FirstLight(craft) != nullptr;
}

bool MV2CraftLightsOn(MV2Object* craft) {
    const MV2LightObjectData* d = FirstLight(craft);
    return d && (d->flags & 1u);
}

int32_t MV2LightsToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2) {
    switch (command) {
    case 3:
        if (tool) tool->word = uintptr_t(p2);
        return 1;
    case 53: {
        MV2Object* owner = Owner(tool);
        if (MV2CraftHasLights(owner))
            MV2ObjectSendMessage(owner, 11, MV2CraftLightsOn(owner) ? 0 : 1, 0);
        return 1;
    }
    case 57: {
        auto* icon = reinterpret_cast<MV2ToolIcon*>(p2);
        if (!icon) return 1;
        icon->colour = kMV2HudColour & 0xFFFFFFu;
        MV2Object* owner = Owner(tool);
        if (MV2CraftHasLights(owner)) {
            const bool on = MV2CraftLightsOn(owner);
            icon->sprite = on ? 203 : 202;
            if (on) icon->colour = 0xFFFF00u;
        }
        return 1;
    }
    case 59:
        if (auto* g = reinterpret_cast<MV2ToolGauge*>(p2)) {
            g->found = 0;
            g->on = 1;
            g->coloured = -22528;
        }
        return 0;
    default: return MV2DefaultToolHandler(tool, command, p1, p2);
    }
}
