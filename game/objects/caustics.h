// Caustics: the caustic renderer on world sectors and on atomics.
#pragma once

#include <cstdint>

void MV2SetWorldCaustics(int32_t on);
void MV2SetAtomicCaustics(int32_t on);
// What the setters were last given (0 before any call).
int32_t MV2GetWorldCaustics();
int32_t MV2GetAtomicCaustics();
