// Entry points of player modules not built yet, each doing the least its callers need.
#include "game/player/player.h"

MV2Object* gMV2PlayerPlaceholder = nullptr;

// Placeholder: there is no player craft yet; whatever a test put in its place.
MV2Object* MV2GetPlayerObject() {
    return gMV2PlayerPlaceholder;
}

// Placeholder: the player's own submarine is the controlled object.
MV2Object* MV2GetPlayerSub() {
    return gMV2PlayerPlaceholder;
}

// Placeholder: there are no tools; no command is handled.
intptr_t MV2SendToolCommand(MV2Object*, int32_t, int32_t, intptr_t, void*) {
    return 0;
}

// Placeholder: the award table is not built; every counter reads 0.
void MV2GetAwardCounter(int32_t, int32_t, int32_t* out) {
    *out = 0;
}

// Placeholder: the award table is not built; the value is dropped.
void MV2SetAwardCounter(int32_t, int32_t, int32_t) {}

// Placeholder: no sub record is selected; type 0.
int32_t MV2GetCurrentSubType() {
    return 0;
}

// Placeholder: there are no sub records to select.
void MV2SelectSub(int32_t) {}

// Placeholder: the equipment level reads 0.
int32_t MV2GetEquipmentLevel() {
    return 0;
}

// Placeholder: the equipment level is dropped.
void MV2SetEquipmentLevel(int32_t) {}

// Placeholder: without a craft the hull reads whole.
float MV2GetPlayerHullFraction() {
    return 1.0f;
}

// Placeholder: without a craft the load-out is empty.
void MV2GetPlayerLoadout(MV2PlayerLoadout* out) {
    *out = {};
}

// Placeholder: without a craft there is nothing to equip.
void MV2SetPlayerLoadout(const MV2PlayerLoadout*) {}

// Placeholder: without craft there is nothing to take control of.
void MV2TakeControlOfCraft() {}

// Placeholder: the command system is not built; the command is dropped.
void MV2ExecuteCommand(int32_t) {}

// Placeholder: there is no player sub to refill.
void MV2RefillPlayerSub() {}

// Placeholder: there is no player sub to anchor.
void MV2PlacePlayerSubAtAnchor(int32_t, int32_t) {}

// Placeholder: the command system is not built; there is nothing to clear.
int32_t MV2InitialiseCommandSystem() {
    return 1;
}

// Placeholder: there is no command system to receive the object.
void MV2SetSelectedObject(MV2Object*) {}

// Placeholder: no player craft is made yet; the level starts without one.
int32_t MV2SpawnPlayer() {
    return 1;
}
