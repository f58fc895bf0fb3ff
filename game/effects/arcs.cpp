#include "game/effects/arcs.h"

#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "game/effects/effectbase.h"
#include "game/effects/effects.h"
#include "game/effects/sfx.h"
#include "game/objects/camera.h"
#include "game/objects/objects.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "game/player/weapons.h"

uint32_t MV2RandomPeriodTable[8] = {};

namespace {

MV2ElectricArc g_arcs[kMV2ElectricArcs];
int32_t g_cursor = 0;

TvIm3DVertex g_strand[kMV2ArcStrandVertices];
uint16_t g_strandIndices[kMV2ArcStrandIndices];
bool g_indicesBuilt = false;

void BuildIndices() {
    int32_t n = 0;
    auto add = [&n](int32_t a, int32_t b, int32_t c) {
        g_strandIndices[n++] = uint16_t(a);
        g_strandIndices[n++] = uint16_t(b);
        g_strandIndices[n++] = uint16_t(c);
    };
    add(0, 1, 2);
    add(0, 2, 3);
    for (int32_t k = 1; k <= 14; k++) {
        add(3 * k - 2, 3 * k + 1, 3 * k - 1);
        add(3 * k - 1, 3 * k + 1, 3 * k + 2);
        add(3 * k - 1, 3 * k + 2, 3 * k);
        add(3 * k, 3 * k + 2, 3 * k + 3);
    }
    add(43, 46, 44);
    add(44, 46, 45);
    g_indicesBuilt = true;
}

MV2ElectricArc* Slot(uint32_t id) {
    return id >= 1 && id <= uint32_t(kMV2ElectricArcs) ? &g_arcs[id - 1] : nullptr;
}

bool Alive(uint32_t handle) {
    return MV2ObjectHandleAlive(handle) != 0;
}

// Whether the arc may still be refreshed and drawn: a pair needs its object, other object
// ends theirs.
bool EndsAlive(const MV2ElectricArc& a) {
    if (a.flags & kMV2ArcPair) return Alive(a.pairHandle);
    if (!(a.flags & kMV2ArcPointA) && !Alive(a.endAHandle)) return false;
    if (!(a.flags & kMV2ArcPointB) && !Alive(a.endBHandle)) return false;
    return true;
}

float RandomSeconds() {
    return float(MV2EffectRandom() & 0x3ff) / 1023.0f * 5.0f;
}

// The 30-unit line from the object's position, cut where it meets the world.
TvV3d PairEnd(const TvV3d& position, const TvV3d& offset) {
    TvV3d end = TvV3dAdd(position, offset);
    MV2TriangleHit hit;
    float fraction = 1.0f;
    if (MV2IntersectWorldLine(MV2World, &position, &end, &hit, &fraction))
        end = TvV3dAdd(position, TvV3dScale(offset, fraction));
    return end;
}

void Refresh(MV2ElectricArc& a, MV2Object* player) {
    a.phase = (a.phase + 101) & 8191;
    if (a.flags & kMV2ArcPair) {
        const TvMatrix* m = a.pairObject->matrix;
        const TvV3d up = TvV3dScale(m->up, 30.0f);
        a.endAPoint = PairEnd(m->pos, up);
        a.endBPoint = (a.flags & kMV2ArcPairCentre) ? m->pos : PairEnd(m->pos, TvV3dScale(up, -1.0f));
    } else {
        a.endBPoint = *a.endBPosition;
    }
    if (!(a.flags & kMV2ArcNoContact) && player && player->matrix) {
        const TvV3d A = *a.endAPosition, B = *a.endBPosition, P = player->matrix->pos;
        const TvV3d ab = TvV3dSub(A, B), pa = TvV3dSub(P, A), pb = TvV3dSub(P, B);
        // The player lies strictly inside the sphere whose diameter is AB.
        if (TvV3dDot(ab, ab) > TvV3dDot(pa, pa) + TvV3dDot(pb, pb)) {
            a.endBPoint = P;
            if (a.flags & (kMV2ArcLit | kMV2ArcShown)) {
                const float at[3] = {P.x, P.y, P.z};
                const MV2ObjectHandle handle = player->handle;
                MV2DamageObject(nullptr, player, at, MV2EffectSeconds() * 5.0f, 0);
                if (MV2ObjectHandleAlive(handle))
                    MV2AttachPlasmaSparks(player, MV2FindRootAtomic(player->clump));
            }
            return;
        }
    }
    if ((a.flags & kMV2ArcFlicker) && (MV2EffectRandom() & 8)) a.flags ^= kMV2ArcLit;
    a.crackleTimer -= MV2EffectSeconds();
    if (a.crackleTimer < 0.0f) {
        a.crackleTimer = RandomSeconds();
        const TvV3d at = (MV2EffectRandom() & 16) ? *a.endAPosition : a.endBPoint;
        const char* name = "MUMMYMAGIC1";
        if (!(MV2EffectRandom() & 8)) name = (MV2EffectRandom() & 1) ? "MUMMYMAGIC2" : "MUMMYMAGIC3";
        MV2PlaySoundAt(&at, 20.0f, MV2EffectSound(name), 0, 0, 0);
    }
}

// Seventeen points from A to B, the inner ones displaced sideways by halving the spans.
void Displace(TvV3d* p, const TvV3d& n, int32_t lo, int32_t hi, uint32_t s) {
    do {
        const int32_t m = (lo + hi) / 2;
        const TvV3d d = TvV3dSub(p[hi], p[lo]);
        p[m] = TvV3dAdd(TvV3dScale(TvV3dAdd(p[lo], p[hi]), 0.5f),
                        TvV3dScale(n, MV2EffectLength(d) * (float(s) - 4095.5f) * 2.4417044e-5f));
        if (m - lo > 1) Displace(p, n, lo, m, (53 * s - 1143) & 8191);
        s = (59 * s + 3549) & 8191;
        lo = m;
    } while (hi - lo >= 2);
}

void DrawStrand(const TvV3d& A, const TvV3d& B, uint32_t phase, uint8_t alpha, float halfWidth) {
    const TvV3d camera = MV2EffectCameraMatrix()->pos;
    // The side across the arc; this way round the strand's triangles face the camera.
    const TvV3d unit = MV2EffectUnit(TvV3dCross(TvV3dSub(camera, B), TvV3dSub(camera, A)));
    TvV3d p[17];
    p[0] = A;
    p[16] = B;
    Displace(p, unit, 0, 16, phase);
    const TvV3d n = TvV3dScale(unit, halfWidth);
    const TvIm3DVertex core = {{0, 0, 0}, 0, 0, 255, 255, 255, alpha};
    const TvIm3DVertex fringe = {{0, 0, 0}, 0, 0, 0, 64, 255, 0};
    g_strand[0] = core;
    g_strand[0].objVertex = A;
    for (int32_t k = 1; k <= 15; k++) {
        g_strand[3 * k - 2] = fringe;
        g_strand[3 * k - 2].objVertex = TvV3dAdd(p[k], n);
        g_strand[3 * k - 1] = core;
        g_strand[3 * k - 1].objVertex = p[k];
        g_strand[3 * k] = fringe;
        g_strand[3 * k].objVertex = TvV3dSub(p[k], n);
    }
    g_strand[46] = core;
    g_strand[46].objVertex = B;
    if (!TvIm3DTransform(g_strand, kMV2ArcStrandVertices, nullptr, 0)) return;
    TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, g_strandIndices, kMV2ArcStrandIndices);
    TvIm3DEnd();
}

} // namespace

int32_t MV2InitialiseElectricArcs() {
    for (int32_t i = 0; i < kMV2ElectricArcs; i++) {
        g_arcs[i] = MV2ElectricArc{};
        g_arcs[i].phase = uint32_t(i);
    }
    g_cursor = 0;
    if (!g_indicesBuilt) BuildIndices();
    return 1;
}

uint32_t MV2CreateElectricArc(const void* endA, const void* endB, uint32_t flags) {
    if (!endA || (!(flags & kMV2ArcPair) && !endB)) return 0;
    // The search starts at the cursor and wraps, so a slot freed before it is found again.
    int32_t index = -1;
    for (int32_t i = 0; i < kMV2ElectricArcs; i++) {
        const int32_t s = (g_cursor + i) % kMV2ElectricArcs;
        if (!(g_arcs[s].flags & kMV2ArcInUse)) {
            index = s;
            break;
        }
    }
    if (index < 0) return 0;
    auto* objectA = static_cast<MV2Object*>(const_cast<void*>(endA));
    auto* objectB = static_cast<MV2Object*>(const_cast<void*>(endB));
    const bool pair = flags & kMV2ArcPair;
    if ((pair || !(flags & kMV2ArcPointA)) && !objectA->matrix) return 0;
    if (!pair && !(flags & kMV2ArcPointB) && !objectB->matrix) return 0;
    g_cursor = index;
    MV2ElectricArc& a = g_arcs[index];
    const uint32_t phase = a.phase;
    a = MV2ElectricArc{};
    a.phase = phase;
    a.flags = flags | kMV2ArcInUse | kMV2ArcShown | kMV2ArcLit;
    if (pair) {
        a.pairObject = objectA;
        a.pairHandle = objectA->handle;
        a.endAPosition = &a.endAPoint;
        a.endBPosition = &a.endBPoint;
        a.endAPoint = a.endBPoint = objectA->matrix->pos;
    } else {
        if (flags & kMV2ArcPointA) {
            a.endAPosition = static_cast<const TvV3d*>(endA);
        } else {
            a.endAPosition = &objectA->matrix->pos;
            a.endAHandle = objectA->handle;
        }
        if (flags & kMV2ArcPointB) {
            a.endBPosition = static_cast<const TvV3d*>(endB);
        } else {
            a.endBPosition = &objectB->matrix->pos;
            a.endBHandle = objectB->handle;
        }
    }
    Refresh(a, MV2GetPlayerObject());
    a.crackleTimer = RandomSeconds();
    return uint32_t(index + 1);
}

void MV2DestroyElectricArc(uint32_t id) {
    if (MV2ElectricArc* a = Slot(id)) a->flags = 0;
}

void MV2HideElectricArc(uint32_t id) {
    MV2ElectricArc* a = Slot(id);
    if (a && (a->flags & kMV2ArcInUse)) a->flags &= ~kMV2ArcShown;
}

void MV2ShowElectricArc(uint32_t id) {
    MV2ElectricArc* a = Slot(id);
    if (a && (a->flags & kMV2ArcInUse)) a->flags |= kMV2ArcShown;
}

void MV2ClearElectricArcs() {
    for (MV2ElectricArc& a : g_arcs)
        a.flags = 0;
}

void MV2UpdateElectricArcs() {
    MV2Object* player = MV2GetPlayerObject();
    for (MV2ElectricArc& a : g_arcs) {
        if (!(a.flags & kMV2ArcInUse)) continue;
        if (EndsAlive(a))
            Refresh(a, player);
        else
            a.flags = 0;
    }
}

void MV2RenderElectricArcs() {
    intptr_t fog = 0;
    TvRenderStateGet(kTvRenderStateFogEnable, &fog);
    TvRenderStateSet(kTvRenderStateShadeMode, 2);
    TvRenderStateSet(kTvRenderStateFogEnable, 0);
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1);
    TvRenderStateSet(kTvRenderStateSrcBlend, 5);
    TvRenderStateSet(kTvRenderStateDestBlend, 2);
    TvRenderStateSet(kTvRenderStateZWriteEnable, 0);
    if (!g_indicesBuilt) BuildIndices();
    for (MV2ElectricArc& a : g_arcs) {
        const uint32_t shown = kMV2ArcInUse | kMV2ArcLit | kMV2ArcShown;
        if ((a.flags & shown) != shown || !EndsAlive(a)) continue;
        TvRenderStateSet(kTvRenderStateTextureRaster, 0);
        const TvV3d A = *a.endAPosition, B = a.endBPoint;
        DrawStrand(A, B, a.phase, 255, 0.1f);
        DrawStrand(A, B, (a.phase + 3641) & 8191, 128, 0.05f);
        DrawStrand(A, B, (a.phase + 3713) & 8191, 128, 0.05f);
        MV2DrawSpriteFogged(gMV2CoronaTexture, &A, 1.0f);
        MV2DrawSpriteFogged(gMV2CoronaTexture, &B, 1.0f);
    }
    TvRenderStateSet(kTvRenderStateFogEnable, fog);
}

void MV2RandomiseElectricArcJitter() {
    for (uint32_t i = 0; i < 8; i++)
        MV2RandomPeriodTable[i] = MV2EffectRandom() & (31u << i);
}

const MV2ElectricArc* MV2GetElectricArc(uint32_t id) {
    return Slot(id);
}

const uint16_t* MV2ArcStrandIndices() {
    return g_strandIndices;
}
