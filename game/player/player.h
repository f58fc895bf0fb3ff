// The player's modules as the rest of the game includes them: the craft, its load-out and
// commands, the weapons and their shots, target groups, and the entry points of the tool
// system, pickups and the other player modules.
#pragma once

#include <cstdint>

#include "game/player/boltgun.h"
#include "game/player/bulletgun.h"
#include "game/player/commands.h"
#include "game/player/homing.h"
#include "game/player/lasergun.h"
#include "game/player/loadout.h"
#include "game/player/machinegun.h"
#include "game/player/playercraft.h"
#include "game/player/shotgun.h"
#include "game/player/targetgroups.h"
#include "game/player/tools.h"
#include "game/player/weapons.h"

struct MV2Object;
struct TpClump;
struct TvFrame;
struct MV2HudElement;

// Turns and bakes a pickup model (types 439 to 460) after loading.
void MV2PreparePickupModel(TpClump* clump, int32_t type);
// A command to the object's tools of a kind; non-zero when such a tool exists.
intptr_t MV2SendToolCommand(MV2Object* object, int32_t kind, int32_t command, intptr_t parameter,
                            void* out);
// The tool of the current kind in the object's list, or null.
MV2Tool* MV2GetCurrentTool(MV2Object* object);
// The strongest radiation reading near the object.
float MV2ReadGeiger(MV2Object* object);
// The tool panels of the HUD layouts draw their own elements.
void MV2DrawToolPanel(MV2Object* sub, const MV2HudElement* element);
// The player module's flag that shows targets of hidden types on the radar.
int32_t MV2PlayerRevealsHiddenTargets();
// Puts a collectable object into the hold of the craft's suck-up tool; 0 when it cannot.
int32_t MV2SuckUpTake(MV2Object* craft, MV2Object* object);
// The light-link list of the spotlight shafts.
void MV2LightLinkAdd(TvFrame* frame, float* data, uint32_t handle);
void MV2LightLinkRemove(uint32_t handle);

// Power-ups and the multiplayer weapon values.
int32_t MV2IsPowerUpActive(int32_t index);
void MV2UpdatePowerUps();
float MV2GetMPWeaponDamage(MV2Object* object);
void MV2DropPickups(MV2Object* object);
void MV2LoadMPWeapons();
