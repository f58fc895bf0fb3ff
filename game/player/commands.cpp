// Control hand-over and the player's commands to the selected craft.
#include "game/player/commands.h"

#include "game/creatures/subai.h"
#include "game/creatures/submarines.h"
#include "game/effects/effects.h"
#include "game/missions/missions.h"
#include "game/objects/camera.h"
#include "game/objects/objecttypes.h"
#include "game/player/player.h"
#include "game/player/shots.h"
#include "shell/voices.h"

namespace {

struct CommandState {
    MV2ObjectHandler keptBrain;
    int32_t pending;
    int32_t site;
    uint32_t armed;
    uint32_t hold;
};
CommandState g_commands;

void Acknowledge(MV2Object* craft) {
    const int32_t type = MV2ShotTypeOf(craft);
    if (type == 0 || type == 1) MV2PlaySpeech("mrsq1w3", 0, 0);
}

// The object of a site record's slot: 0 the site object, 1 to 4 the site's four side parts.
MV2Object* SiteSlot(int32_t site, int32_t slot) {
    if (site < 0 || site >= kMV2MiningSites || slot < 0 || slot > 4) return nullptr;
    if (slot == 0) return MV2MiningGetSiteObject(site);
    return MV2GetObjectRef(&gMV2Mining.sites[site].parts[kMV2MiningSide0 + slot - 1].object);
}

// Sites whose object is the craft and whose part condition is above 0.6.
template <typename F> void ForHealthySites(MV2Object* s, F each) {
    for (int32_t site = 0; site < 4; ++site) {
        if (MV2MiningGetSiteObject(site) != s) continue;
        float condition = 0.0f;
        MV2ObjectSendMessage(s, 13, 0, reinterpret_cast<intptr_t>(&condition));
        if (condition > 0.6f) each(site);
    }
}

} // namespace

int32_t MV2InitialiseCommandSystem() {
    g_commands = CommandState{};
    return 1;
}

int32_t MV2GetPendingCommand() {
    return g_commands.pending;
}

int32_t MV2GetCommandSite() {
    return g_commands.site;
}

uint32_t MV2GetOrderArmed() {
    return g_commands.armed;
}

uint32_t MV2GetOrderHold() {
    return g_commands.hold;
}

int32_t MV2TakeControlOfCraft(MV2Object* craft) {
    if (!craft) return 0;
    intptr_t slot = 0;
    if (!MV2ObjectSendMessage(craft, 62, 0, reinterpret_cast<intptr_t>(&slot))) return 0;
    MV2Object* old = MV2GetPlayerObject();
    if (!old) return 0;
    MV2SetCameraView(2);
    const MV2ObjectHandle craftHandle = craft->handle;
    MV2ObjectSendMessage(old, 31, 0, 0);
    MV2ObjectSendMessage(old, 29, 0, reinterpret_cast<intptr_t>(g_commands.keptBrain));
    MV2SetObjectVisible(old, 1);
    if (!MV2ObjectHandleAlive(craftHandle)) return 0;
    MV2SetPlayerObject(craft);
    if (craft->type && craft->type->privateDataSize >= sizeof(MV2SubData) && craft->privateData) {
        auto* data = static_cast<MV2SubData*>(craft->privateData);
        data->driven = 0;
        data->directSteering = 0;
    }
    MV2ObjectHandler kept = nullptr;
    MV2ObjectSendMessage(craft, 30, 0, reinterpret_cast<intptr_t>(&kept));
    g_commands.keptBrain = kept == &MV2PlayerHandler ? nullptr : kept;
    MV2ObjectSendMessage(craft, 29, 0, reinterpret_cast<intptr_t>(&MV2PlayerHandler));
    MV2SetCameraMode(1);
    MV2SetCameraMatrix(craft->matrix);
    MV2RecentrePlanktum();
    return 1;
}

void MV2ExecuteCommand(int32_t command) {
    MV2Object* s = MV2GetSelectedObject();
    if (!s) return;
    g_commands.pending = command;
    MV2Object* targeted = MV2GetTargetedObject();
    bool done = true;
    switch (command) {
    case 31:
        if (s->type && (s->type->words[7] & (1u << 4))) {
            MV2TakeControlOfCraft(s);
            MV2SetTargetedObject(nullptr);
            MV2SetSelectedObject(nullptr);
        }
        break;
    case 32:
        ForHealthySites(s, [](int32_t site) {
            MV2CityLaunchRepairDrone(site, MV2MiningGetWeakestPart(site));
        });
        break;
    case 33: ForHealthySites(s, [](int32_t site) { MV2CityLaunchDrone(site); }); break;
    case 35:
        g_commands.armed = 1;
        g_commands.hold = 0;
        break;
    case 36: g_commands.armed = g_commands.hold = 0; break;
    case 37:
    case 40: Acknowledge(s); break;
    case 38:
    case 44: {
        const int32_t type = MV2ShotTypeOf(s);
        if (type != 167 && type != 96) {
            MV2SubAIOrderCityRoute(s, 3);
            Acknowledge(s);
        } else {
            MV2ObjectSendMessage(s, 63, 0, 0);
        }
        break;
    }
    case 42: g_commands.hold = 1; break;
    case 43:
        MV2SubAIPushCommand(s);
        if (targeted) MV2SubAISetAttack(s, targeted, 1);
        Acknowledge(s);
        break;
    case 48:
        if (targeted && targeted != s && !g_commands.hold && g_commands.armed)
            MV2SubAIOrderGoTo(s, targeted, 2.0f);
        break;
    case 49:
    case 50:
    case 51:
    case 52:
        g_commands.site = command - 49;
        if (!g_commands.armed && !g_commands.hold && !MV2ObjectSendMessage(s, 54, 0, 0))
            if (MV2Object* site = MV2MiningGetSiteObject(g_commands.site))
                MV2SubAIOrderGoTo(s, site, 2.0f);
        break;
    case 53: MV2SubAIOrderCityRoute(s, 1); break;
    case 54:
        if (!g_commands.hold) {
            if (MV2Object* part = MV2MiningGetWeakestPart(g_commands.site))
                MV2SubAIOrderGoTo(s, part, 2.0f);
            MV2NotifyScripts(MV2MiningGetSiteObject(g_commands.site), 9, g_commands.site);
        }
        break;
    case 55:
    case 56:
    case 57:
    case 58:
    case 59: {
        MV2Object* object = SiteSlot(g_commands.site, command - 55);
        if (!object) break;
        if (!g_commands.hold) {
            MV2SubAIOrderGoTo(s, object, 2.0f);
            MV2NotifyScripts(object, 9, g_commands.site);
        }
        MV2ObjectSendMessage(s, 33, 1, reinterpret_cast<intptr_t>(object));
        break;
    }
    default: done = command >= 31 && command <= 59; break;
    }
    if (done) g_commands.pending = 0;
}
