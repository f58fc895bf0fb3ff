// The weapon part of the HUD: the player's lock-on, the reticle, the ammunition gauge and bar,
// and the weapon and tool icon strips.
#pragma once

#include <cstdint>

struct MV2Object;
struct MV2HudElement;
struct MV2LockOnState;

// The player's lock-on (the weapon HUD keeps it).
MV2LockOnState* MV2GetLockOnState();
// The completed lock-on target and its handle, or zeros.
void MV2GetLockedTarget(MV2Object** target, uint32_t* handle);
// The completed lock-on target, or null.
MV2Object* MV2GetLockedTarget();
void MV2ClearLockOn();
// One frame of the lock-on: the craft fills the state (message 61), a missing or off-screen
// target gives way to the candidate, and a kept target's progress grows (2000 ms to a lock).
void MV2UpdateLockOn(MV2Object* object, MV2Object* candidate, int32_t targetOnScreen);

// The weapon HUD.
struct MV2HudElement;
int32_t MV2InitialiseWeaponSystem();
void MV2ShiftWeaponStrip(int32_t steps);
void MV2ShiftToolStrip(int32_t steps);
int32_t MV2GetWeaponStripOffset();
int32_t MV2GetToolStripOffset();
void MV2DrawWeaponHud(const MV2HudElement* element, MV2Object* object);
void MV2DrawWeaponGauge(const MV2HudElement* element, MV2Object* object);
void MV2DrawWeaponBar(const MV2HudElement* element, MV2Object* object);
// The HUD layouts' weapon elements: 2 the icon with the lock-on, 4 the gauge, 21 the bar.
void MV2DrawWeaponPanel(MV2Object* sub, const MV2HudElement* element);
