#include "game/frontend/interfacestate.h"

#include "engine/core/raster.h"
#include "shell/sounds.h"

MV2InterfaceShared gMV2InterfaceShared = {{}, kMV2AmbientNone, 0};
int32_t MV2BriefedMission = 0;
uint32_t MV2LastEquipmentLevel = 0;
int32_t MV2ShownAwardSlot = 0;

void MV2ClearInterfaceRasters() {
    for (TvRaster*& raster : gMV2InterfaceShared.rasters) {
        if (raster) TvRasterDestroy(raster);
        raster = nullptr;
    }
}

int32_t MV2StartAmbientLoop(const char* name) {
    MV2InterfaceShared& s = gMV2InterfaceShared;
    s.ambientSound = MV2FindSoundByName(name);
    const int32_t slot = MV2GetSoundSlot(s.ambientSound);
    const int32_t channel = slot ? MV2PlaySound(slot, 0, 1) : 0;
    s.ambientChannel = channel > 0 ? channel : kMV2AmbientNone;
    MV2RefreshAmbientLoop();
    return s.ambientChannel;
}

void MV2RefreshAmbientLoop() {
    const MV2InterfaceShared& s = gMV2InterfaceShared;
    if (s.ambientChannel <= 0) return;
    MV2SetSoundParams(MV2GetSoundSlot(s.ambientSound), s.ambientChannel, 0, 1.0f, 0.0f);
}

void MV2StopAmbientLoop(int32_t after) {
    MV2InterfaceShared& s = gMV2InterfaceShared;
    if (s.ambientChannel > 0) MV2StopSound(MV2GetSoundSlot(s.ambientSound), s.ambientChannel);
    s.ambientChannel = after;
}

void MV2PlayNamedSound(const char* name) {
    MV2PlayInterfaceSound(MV2FindSoundByName(name));
}
