// Entry points of object-system modules not built yet, each doing the least its callers need.
#include "game/objects/caustics.h"

// Placeholder: there is no caustic renderer to install yet.
void MV2SetWorldCaustics(int32_t) {}

// Placeholder: there is no caustic renderer to install yet.
void MV2SetAtomicCaustics(int32_t) {}
