// Object update, visibility and collisions.
#pragma once

#include <cstdint>

// Pushes a sphere out of the landscape; the position moves in place. 1 when it was pushed.
int32_t MV2ResolveSphereWorldContact(float* position, float radius, int32_t maximum);
