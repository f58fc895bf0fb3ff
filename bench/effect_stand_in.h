// Header-only: what the effect benchmarks share on the Direct3D stand-in: small textures for
// every name read, the engine plug-ins the object system needs, and a one-triangle clump for
// the objects that carry or own effects.
#pragma once

#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/random.h"
#include "engine/world/world_plugin.h"
#include "game/objects/clumpdata.h"

#include <SDL.h>
#include <GL/glcorearb.h>

#include <cstdio>

inline TvTexture* EffectBenchTexture(const char* name, const char*) {
    TvTexture* t = TvTextureCreate(TvRasterCreate(4, 4, 0, kTvRasterTypeTexture | 0x200));
    if (t) TvTextureSetName(t, name);
    return t;
}

inline bool EffectBenchAttach() {
    return TpWorldPluginAttach() == 1 && TvRandomPluginAttach() == 1 &&
           TpClumpDataPluginAttach() != 0;
}

// A clump of one tiny triangle.
inline TpClump* EffectBenchDot() {
    TpClump* clump = TpClumpCreate();
    TvFrame* frame = TvFrameCreate();
    TpGeometry* g = TpGeometryCreate(3, 1, 0);
    TpAtomic* a = TpAtomicCreate();
    if (!clump || !frame || !g || !a) return nullptr;
    TpMorphTarget* m = TpGeometryGetMorphTarget(g, 0);
    m->vertices[0] = {0, 0, 0};
    m->vertices[1] = {0.001f, 0, 0};
    m->vertices[2] = {0, 0.001f, 0};
    g->triangles[0] = {{0, 1, 2}, kTpNoMaterial};
    const TvSphere s{{0, 0, 0}, 0.01f};
    TpMorphTargetSetBoundingSphere(m, &s);
    TpGeometryUnlock(g);
    TpAtomicSetGeometry(a, g, 0);
    TpGeometryDestroy(g);
    TpClumpSetFrame(clump, frame);
    TpAtomicSetFrame(a, frame);
    TpClumpAddAtomic(clump, a);
    return clump;
}

// Waits until OpenGL has drawn everything sent, so that a timed frame holds its drawing.
inline void EffectBenchFinish() {
    static auto finish = reinterpret_cast<PFNGLFINISHPROC>(SDL_GL_GetProcAddress("glFinish"));
    if (finish) finish();
}

// Prints the ratio of the two timings measured in turn, when both ran.
inline void EffectBenchPrintRatio(const char* what, const double seconds[2]) {
    if (seconds[0] > 0 && seconds[1] > 0)
        std::printf("ratio in turn, %s / one batch: %.2f (%.3f ms / %.3f ms a frame)\n", what,
                    seconds[0] / seconds[1], seconds[0] * 1e3, seconds[1] * 1e3);
}
