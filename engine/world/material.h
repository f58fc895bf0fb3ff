// Materials: reference-counted texture and colour pairs, and the growable material lists that
// geometry and worlds keep.
#pragma once

#include <cstdint>

struct TvTexture;
struct TvStream;
struct TvFreeList;

struct TpRGBA {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    uint8_t alpha;
};

struct TpMaterial {
    TvTexture* texture; // referenced; null when untextured
    TpRGBA color;
    int32_t refCount; // every triangle holds one: 16 bits would wrap on large models
    uint16_t counter;
    // material plug-in data follows
};

struct TpMaterialList {
    TpMaterial** materials; // slots from count to capacity hold null
    int32_t count;
    int32_t capacity;
};

inline constexpr int32_t kTpMaterialListGrowth = 5;

// Material module data (module 0x501).
struct TpMaterialModuleData {
    TvFreeList* freeList;
};

using TpMaterialCallBack = TpMaterial* (*)(TpMaterial* material, void* data);

TpMaterial* TpMaterialCreate();
void TpMaterialAddRef(TpMaterial* material);
int32_t TpMaterialDestroy(TpMaterial* material);
TpMaterial* TpMaterialSetTexture(TpMaterial* material, TvTexture* texture);
TpMaterial* TpMaterialSetColor(TpMaterial* material, const TpRGBA* color);
const TpRGBA* TpMaterialGetColor(const TpMaterial* material);
// True when the material draws after opaque ones: alpha below 255 or a texture whose raster has
// a pixel layout other than 565.
bool TpMaterialIsTransparent(const void* material);

TpMaterialList* TpMaterialListInitialise(TpMaterialList* list);
TpMaterialList* TpMaterialListDeinitialise(TpMaterialList* list);
int32_t TpMaterialListAppendMaterial(TpMaterialList* list, TpMaterial* material);
TpMaterial* TpMaterialListGetMaterial(const TpMaterialList* list, int32_t index);

// Reads the body of a material chunk (7); the caller has found the chunk.
TpMaterial* TpMaterialStreamRead(TvStream* stream);
// Reads the body of a material list chunk (8) into `list`; the caller has found the chunk.
TpMaterialList* TpMaterialListStreamRead(TvStream* stream, TpMaterialList* list);
