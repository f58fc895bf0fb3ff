// The player's modules as the rest of the game includes them: the craft, its load-out and
// commands, the weapons and their shots, target groups, and the entry points of the tool
// system, pickups and the other player modules.
#pragma once

#include <cstdint>

#include "game/player/attractor.h"
#include "game/player/boltgun.h"
#include "game/player/bulletgun.h"
#include "game/player/commands.h"
#include "game/player/flares.h"
#include "game/player/geiger.h"
#include "game/player/homing.h"
#include "game/player/lasergun.h"
#include "game/player/lights.h"
#include "game/player/loadout.h"
#include "game/player/machinegun.h"
#include "game/player/magnet.h"
#include "game/player/pickups.h"
#include "game/player/playercraft.h"
#include "game/player/remotevehicle.h"
#include "game/player/shotgun.h"
#include "game/player/spotshafts.h"
#include "game/player/stoneball.h"
#include "game/player/suckup.h"
#include "game/player/targetgroups.h"
#include "game/player/tools.h"
#include "game/player/turret.h"
#include "game/player/weapons.h"

struct MV2Object;
struct TpClump;
struct TvFrame;
struct MV2HudElement;

// The player module's flag that shows targets of hidden types on the radar.
int32_t MV2PlayerRevealsHiddenTargets();

