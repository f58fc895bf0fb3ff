#include "game/objects/objecttypes.h"
#include "game/objects/levels.h"
#include "game/objects/world.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/core/memory.h"
#include "engine/core/stream.h"
#include "engine/core/texture.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/creatures/creatures.h"
#include "game/effects/effects.h"
#include "game/objects/collision.h"
#include "game/objects/modeltags.h"
#include "game/objects/objects.h"
#include "game/objects/utilities.h"
#include "game/objects/world.h"
#include "game/player/player.h"
#include "shell/errors.h"
#include "shell/render.h"
#include "shell/resfile.h"

namespace {

MV2ObjectType g_types[kMV2ObjectTypes];

} // namespace

MV2ObjectType* MV2GetObjectType(int32_t type) {
    return type >= 0 && type < kMV2ObjectTypes ? &g_types[type] : nullptr;
}

MV2TypeName MV2TypeNameField(const MV2ObjectType* type, int32_t firstWord, int32_t bytes) {
    MV2TypeName out{};
    const auto* stored = reinterpret_cast<const uint8_t*>(&type->words[firstWord]);
    for (int32_t i = 0; i < bytes && i < int32_t(sizeof out.name) - 1 && stored[i]; i++)
        out.name[i] = char(stored[i]);
    return out;
}

MV2TypeName MV2TypeModelName(const MV2ObjectType* type) {
    MV2TypeName out = MV2TypeNameField(type, 34, 16);
    if (char* dot = std::strchr(out.name, '.')) *dot = '\0';
    return out;
}

namespace {

// Level groups by the top byte of the level id.
struct LevelGroup {
    uint32_t level;
    uint32_t bit;
};
constexpr LevelGroup kLevelGroups[] = {
    {0x00, 0x1},  {0x01, 0x4},   {0x02, 0x2},   {0x03, 0x8},   {0x04, 0x40},  {0x05, 0x80},
    {0x06, 0x20}, {0x07, 0x100}, {0x09, 0x200}, {0x0A, 0x400}, {0x0B, 0x800},
};

// Types whose sub-structure goes with their model.
constexpr int32_t kSubWithModel[] = {104, 125, 147, 148, 393, 428, 429};

bool g_modelsLoadedForLevel = false;
uint32_t g_modelLevel = 0;

uint32_t StoredU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

TpAtomic* TagFrameAndRender(TpAtomic* atomic, void*) {
    if (TvFrame* frame = atomic->object.frame) MV2FrameSetTag(frame, MV2AtomicGetPartTag(atomic));
    TpAtomicSetRenderCallBack(atomic, MV2ObjectAtomicRender);
    return atomic;
}

TpMaterial* FilterMode4(TpMaterial* material, void*) {
    if (material->texture) TvTextureSetFilterMode(material->texture, 4);
    return material;
}

TpAtomic* FilterTextures(TpAtomic* atomic, void*) {
    if (TpGeometry* g = TpAtomicGetGeometry(atomic))
        TpGeometryForAllMaterials(g, FilterMode4, nullptr);
    return atomic;
}

TpAtomic* FullBright(TpAtomic* atomic, void*) {
    if (TpGeometry* g = TpAtomicGetGeometry(atomic)) MV2SetGeometryFullBright(g);
    return atomic;
}

// Reads the collision file at `path` for the clump, building it first when it is missing or
// cannot be read; the block, or null (with "Could not create collision file" when building
// failed).
void* ReadOrBuildCollision(TpClump* clump, const char* path) {
    if (void* block = MV2ReadCollisionFile(path, clump)) return block;
    if (!MV2WriteCollisionFile(clump, path)) {
        MV2ErrorBox("Could not create collision file");
        return nullptr;
    }
    return MV2ReadCollisionFile(path, clump);
}

void FreeCollision(MV2ObjectType* type) {
    if (type->collisionData) TvFree(type->collisionData);
    type->collisionData = nullptr;
}

void DropModel(int32_t t, MV2ObjectType* type) {
    if (type->model) TpClumpDestroy(type->model);
    type->model = nullptr;
    type->words[7] &= ~kMV2TypeModelLoaded;
    for (int32_t s : kSubWithModel)
        if (s == t) type->subDefinition = nullptr;
}

} // namespace

void MV2ParseObjectTypeRecord(MV2ObjectType* type, const uint8_t* bytes) {
    *type = MV2ObjectType{};
    for (int32_t i = 0; i < kMV2ObjectTypeWords; i++)
        type->words[i] = StoredU32(bytes + 4 * i);
    // The run-time words are the pointer members; their stored values mean nothing here.
    for (int32_t w : {0, 6, 8, 49, 50})
        type->words[w] = 0;
}

int32_t MV2InitialiseObjectTypes() {
    // A spare object to ask the type handlers with.
    static MV2Object spare;
    static TvMatrix scratch;
    uint8_t bytes[kMV2ObjectTypeBytes];
    g_modelsLoadedForLevel = false;
    for (int32_t t = 0; t < kMV2ObjectTypes; t++) {
        MV2ObjectType* type = &g_types[t];
        const bool present = MV2GetObjectTypeRecord(bytes, uint32_t(t)) != 0;
        MV2ParseObjectTypeRecord(type, bytes);
        if (!present) continue;
        type->words[7] &= ~kMV2TypeModelLoaded;
        const MV2TypeName sub = MV2TypeNameField(type, 38, 16);
        if (sub.name[0]) {
            type->subDefinition = MV2FindSubDefinition(sub.name);
            if (!type->subDefinition) {
                MV2ErrorBox("Could not read sub structure file");
                return 0;
            }
        }
        const MV2TypeName shadow = MV2TypeNameField(type, 46, 12);
        if (shadow.name[0]) {
            // The first four letters and "ALPH" (a shorter name is kept whole).
            char name[sizeof shadow.name + 4];
            std::snprintf(name, sizeof name, "%.4sALPH", shadow.name);
            TvTexDictionary* dictionary = TvTexDictionaryGetCurrent();
            TvTexture* texture =
                dictionary ? TvTexDictionaryFindNamedTexture(dictionary, name) : nullptr;
            if (!texture) texture = TvTextureRead(name, shadow.name);
            if (!texture) {
                MV2ErrorBox("Could not read object shadow map");
                return 0;
            }
            TvTextureSetFilterMode(texture, 2);
            type->shadowTexture = texture;
        }
        const uint32_t blocks = (type->words[32] >> 16) & 0xFF;
        if (!blocks) continue;
        spare = MV2Object{};
        spare.type = type;
        spare.typeWord = uint32_t(t);
        spare.matrix = &scratch;
        spare.typeHandler = MV2GetObjectTypeHandler(t);
        intptr_t size = 0;
        if (!spare.typeHandler(&spare, 96, 0, reinterpret_cast<intptr_t>(&size)) || size <= 0)
            continue;
        type->privateDataSize = uint32_t(size);
        type->privateData = TvFreeListCreate(size_t(size), int32_t(blocks));
        if (!type->privateData) MV2ErrorBox("Cannot create freelist for object type");
    }
    // The models of the current level group are loaded at start-up; before any level that is
    // the title level's group, where the game starts.
    const uint32_t level = MV2GetCurrentLevelId();
    MV2LoadLevelObjectModels(level == kMV2NoLevel ? kMV2TitleLevel : level);
    return 1;
}

TpClump* MV2ClumpLoad(const char* path) {
    TvStream* stream = TvStreamOpen(TV_STREAM_FILENAME, TV_STREAM_READ, path);
    char text[300];
    if (!stream) {
        std::snprintf(text, sizeof text, "Cannot open clump %s\n", path);
        MV2ErrorBox(text);
        return nullptr;
    }
    TpClump* clump = nullptr;
    const char* failure = nullptr;
    if (!TvStreamFindChunk(stream, TV_ID_CLUMP, nullptr, nullptr))
        failure = "Clump in wrong format %s\n";
    else if (!(clump = TpClumpStreamRead(stream)))
        failure = "Clump chunk error %s\n";
    TvStreamClose(stream, nullptr);
    if (failure) {
        std::snprintf(text, sizeof text, failure, path);
        MV2ErrorBox(text);
        return nullptr;
    }
    MV2ComputeClumpNormals(clump);
    if (clump->frame) {
        TvMatrixSetIdentity(TvFrameGetMatrix(clump->frame));
        TvFrameUpdateObjects(clump->frame);
    }
    TpClumpForAllAtomics(clump, TagFrameAndRender, nullptr);
    return clump;
}

int32_t MV2SetupObjectTypeCollision(MV2ObjectType* type) {
    TpClump* clump = type->model;
    if (!clump) {
        FreeCollision(type);
        return 1;
    }
    MV2SetAllAtomicFlags(clump, kTpAtomicRender);
    TpAtomic* root = MV2FindRootAtomic(clump);
    const uint32_t mode = (type->words[33] >> 12) & 3;
    if (mode == 2) {
        MV2SetAllAtomicFlags(clump, kTpAtomicRender | kTpAtomicCollisionTest);
        const MV2TypeName file = MV2TypeNameField(type, 42, 16);
        if (type->collisionData) {
            MV2LinkCollisionData(type->collisionData, clump);
        } else if (file.name[0]) {
            char path[64];
            std::snprintf(path, sizeof path, ".\\CLUMP\\%s", file.name);
            type->collisionData = ReadOrBuildCollision(clump, path);
            if (!type->collisionData) return 0;
        }
    } else {
        if (mode == 1 && root) TpAtomicSetFlags(root, kTpAtomicRender | kTpAtomicCollisionTest);
        FreeCollision(type);
    }
    if (!root) return 1;
    TpGeometry* geometry = TpAtomicGetGeometry(root);
    if (!geometry) return 1;
    float extent = 0.0f;
    if (const TvV3d* v = TpMorphTargetGetVertices(TpGeometryGetMorphTarget(geometry, 0)))
        for (int32_t i = 0; i < geometry->numVertices; i++)
            extent = std::fmax(extent, std::sqrt(TvV3dDot(v[i], v[i])));
    const TvSphere sphere{{0, 0, 0}, extent};
    for (int32_t m = 0; m < geometry->numMorphTargets; m++)
        TpMorphTargetSetBoundingSphere(TpGeometryGetMorphTarget(geometry, m), &sphere);
    TpAtomicGetInterpolator(root)->flags |= kTpInterpolateSphere;
    if (!(type->words[7] & kMV2TypeRadiusScaled)) {
        MV2SetTypeFloat(type, 10, MV2TypeFloat(type, 10) * extent);
        MV2SetTypeFloat(type, 11, MV2TypeFloat(type, 11) * extent);
        type->words[7] |= kMV2TypeRadiusScaled;
    }
    return 1;
}

int32_t MV2SetupObjectTypeAnimation(MV2ObjectType* type) {
    if (!type->model || ((type->words[33] >> 19) & 3) != 2) return 1;
    TpAtomic* atomic = MV2FindRootAtomic(type->model);
    if (!atomic) atomic = MV2GetFirstAtomic(type->model);
    TpGeometry* geometry = atomic ? TpAtomicGetGeometry(atomic) : nullptr;
    const int32_t n = geometry ? TpGeometryGetNumMorphTargets(geometry) : 0;
    if (n <= 1) return 1;
    bool ok = TpAnimSequenceGeometryCreateKeys(geometry, n) != nullptr;
    for (int32_t i = 0; ok && i < n; i++) {
        const int32_t next = (i + 1) % n;
        ok = TpAnimSequenceGeometrySetKey(geometry, i, uint16_t(next), uint16_t(i), 1.0f) &&
             TpAnimSequenceGeometrySetKeyNext(geometry, i, next);
    }
    if (ok) ok = TpAnimSequenceAtomicSetCurrentKey(atomic, 0) != nullptr;
    if (!ok) {
        MV2ErrorBox("Could not create interps for animation");
        return 0;
    }
    type->words[7] |= kMV2TypeAnimKeys;
    type->words[32] = (type->words[32] & ~0xFF00u) | (uint32_t(n & 0xFF) << 8);
    return 1;
}

int32_t MV2LoadObjectTypeModel(MV2ObjectType* type) {
    const MV2TypeName name = MV2TypeModelName(type);
    if (name.name[0]) {
        char path[64];
        std::snprintf(path, sizeof path, ".\\CLUMP\\%s.DFF", name.name);
        type->model = MV2ClumpLoad(path);
        if (!type->model) {
            MV2ErrorBox("Cannot load object sub structure file");
            return 0;
        }
        TpClumpForAllAtomics(type->model, FilterTextures, nullptr);
    }
    if (!MV2SetupObjectTypeCollision(type)) {
        MV2ErrorBox("Cannot set collision properties");
        return 0;
    }
    if (!MV2SetupObjectTypeAnimation(type)) {
        MV2ErrorBox("Cannot set animation for object");
        return 0;
    }
    if ((type->words[33] & (1u << 16)) && type->model)
        TpClumpForAllAtomics(type->model, FullBright, nullptr);
    const int32_t number = int32_t(type - g_types);
    if (number >= 439 && number <= 460 && type->model) MV2BakePickupModel(type->model, number);
    type->words[7] |= kMV2TypeModelLoaded;
    return 1;
}

uint32_t MV2LevelGroupBit(uint32_t levelId) {
    for (const LevelGroup& g : kLevelGroups)
        if (g.level == levelId >> 24) return g.bit;
    return 0;
}

void MV2LoadLevelObjectModels(uint32_t levelId) {
    if (g_modelsLoadedForLevel && levelId >> 24 == g_modelLevel >> 24) return;
    g_modelsLoadedForLevel = true;
    g_modelLevel = levelId;
    const uint32_t bit = MV2LevelGroupBit(levelId);
    for (int32_t t = 0; t < kMV2ObjectTypes; t++) {
        if (t && t % 28 == 0) MV2RenderFrame(1);
        MV2ObjectType* type = &g_types[t];
        const bool loaded = type->words[7] & kMV2TypeModelLoaded;
        const bool wanted = (type->words[30] & 0xFFFF) & bit;
        if (loaded && !wanted)
            DropModel(t, type);
        else if (!loaded && wanted && !MV2LoadObjectTypeModel(type))
            return;
    }
}

void* MV2LoadWallCollision(TpClump* clump, const char* name) {
    char path[300];
    std::snprintf(path, sizeof path, ".\\CLUMP\\%s", name);
    return ReadOrBuildCollision(clump, path);
}
