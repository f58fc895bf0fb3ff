// Entry points of effect modules not built yet, each doing the least its callers need.
#include "game/effects/effects.h"

// Placeholder: there are no electric arcs yet.
void MV2RefreshArcJitter() {}

// Placeholders: the effect modules are not built; each starts with nothing to show.
int32_t MV2InitialiseTrails() {
    return 1;
}
int32_t MV2InitialisePlasmaBeams() {
    return 1;
}
int32_t MV2InitialiseMTrails() {
    return 1;
}
int32_t MV2InitialiseBeams() {
    return 1;
}
int32_t MV2InitialiseElectricArcs() {
    return 1;
}
// Placeholders: nothing was started.
void MV2ShutdownTrails() {}
void MV2ShutdownPlasmaBeams() {}
void MV2ShutdownMTrails() {}

// Placeholders: the effect pools are not built; there is nothing live to end.
void MV2ResetPlasmaBeams() {}
void MV2ResetBeams() {}
void MV2ClearElectricArcs() {}

// Placeholders: nothing lives to be stepped.
void MV2UpdatePlasmaBeams() {}
void MV2UpdateBeams() {}
void MV2UpdateElectricArcs() {}
void MV2UpdateMTrails() {}
void MV2UpdateTrails() {}

// Placeholders: nothing is drawn yet.
void MV2DrawTrails() {}
void MV2DrawPlasmaBeams() {}
void MV2DrawBeams() {}
void MV2RenderElectricArcs() {}
void MV2DrawMTrails(TvCamera*) {}


// Placeholders: there are no streak records yet; a streak is reported finished at once.
MV2Streak* MV2CreateStreak(const float*, TvTexture*, float, float, float, uint32_t, float) {
    return nullptr;
}
void MV2InitialiseStreak(MV2Streak*, const float*, TvTexture*, float, float, float, uint32_t,
                         float) {}
int32_t MV2UpdateStreak(MV2Streak*, const float*) {
    return 1;
}
void MV2DrawStreak(MV2Streak*) {}

// Placeholders: motion trails and plasma sparks are not built; nothing is made.
void MV2EmitMTrail(uintptr_t, uint32_t, uint32_t, float, const TvMatrix*) {}
void MV2AttachPlasmaSparks(MV2Object*, TpAtomic*) {}

// Placeholder: the effect start-up does not fill it yet; all zero until it does.
uint32_t MV2RandomPeriodTable[8] = {};

// Placeholder: glow sprites are not built; the projectile flies without one.
void MV2AttachTrail(MV2Object*) {}
// Placeholders: beams are not built; none is made (id 0), none exists.
uint32_t MV2CreateBeam(const void*, const void*, float, uint32_t, uint32_t) {
    return 0;
}
int32_t MV2BeamExists(uint32_t) {
    return 0;
}
void MV2RemoveBeam(uint32_t) {}
void MV2SetBeamSource(uint32_t, MV2Object*) {}
