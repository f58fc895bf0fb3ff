// The shotgun: fifteen hitscan pellets in a cone, sparks and scorches where they strike and a
// line of bubbles along the shot; and the plain object type 187.
#pragma once

#include <cstdint>

struct MV2Object;
struct MV2WeaponRecord;

intptr_t MV2ShotgunHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2Type187Handler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
