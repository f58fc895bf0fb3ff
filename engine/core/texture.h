// Textures: named, reference-counted wrappers of texture rasters with their sampling settings,
// found by name in texture dictionaries or loaded through a replaceable read callback whose
// default reads an image file (and an optional mask) along the image search path.
#pragma once

#include <cstdint>

#include "engine/core/engine.h"
#include "engine/core/frame.h"
#include "engine/core/plugin.h"

struct TvRaster;
struct TvFreeList;
struct TvTexDictionary;

struct TvTexture {
    TvRaster* raster; // first, so that the record is also the driver's raster slot
    uint8_t counter;
    TvTexDictionary* dictionary;
    TvLink inDictionary; // newest first
    char* name;
    char* maskName;
    uint32_t refCount;
    uint32_t filterMode;
    uint32_t addressing;
    // texture plug-in data follows
};

inline constexpr uint8_t kTvTexDictionaryType = 6;

struct TvTexDictionary {
    TvObject object;
    void* parent;
    uint8_t counter;
    TvLink textures;       // newest first
    TvLink inDictionaries; // place in the module's list, newest first
    // dictionary plug-in data follows
};

using TvTextureReadCallBack = TvTexture* (*)(const char* name, const char* maskName);

// Texture module data (module 0x408).
struct TvTextureModule {
    TvLink dictionaries;
    TvFreeList* textureFreeList;
    TvFreeList* dictionaryFreeList;
    TvTexDictionary* current;
    TvTextureReadCallBack readCallBack;
    uint32_t mipmapping;
    char* nameBuffer;
    int16_t nameBufferCapacity;
};

extern TvPluginRegistry TvTextureRegistry;
extern TvPluginRegistry TvTexDictionaryRegistry;

TvTexture* TvTextureCreate(TvRaster* raster);
// A texture on `raster` with its name and mask name ("" for none); null when it cannot be made,
// in which case the raster is destroyed too.
TvTexture* TvTextureCreateNamed(TvRaster* raster, const char* name, const char* maskName);
bool TvTextureDestroy(TvTexture* texture);
void TvTextureAddRef(TvTexture* texture);
TvTexture* TvTextureSetRaster(TvTexture* texture, TvRaster* raster);
TvRaster* TvTextureGetRaster(const TvTexture* texture);
TvTexture* TvTextureSetName(TvTexture* texture, const char* name);
TvTexture* TvTextureSetMaskName(TvTexture* texture, const char* maskName);
TvTexture* TvTextureSetFilterMode(TvTexture* texture, uint32_t mode);
TvTexture* TvTextureSetAddressing(TvTexture* texture, uint32_t mode);
uint32_t TvTextureGetFilterMode(const TvTexture* texture);
uint32_t TvTextureGetAddressing(const TvTexture* texture);
bool TvTextureSetMipmapping(bool on);
bool TvTextureGetMipmapping();
bool TvTextureSetReadCallBack(TvTextureReadCallBack callBack);
TvTextureReadCallBack TvTextureGetReadCallBack();

TvTexDictionary* TvTexDictionaryCreate();
bool TvTexDictionaryDestroy(TvTexDictionary* dictionary);
TvTexture* TvTexDictionaryAddTexture(TvTexDictionary* dictionary, TvTexture* texture);
TvTexture* TvTexDictionaryFindNamedTexture(TvTexDictionary* dictionary, const char* name);
TvTexDictionary* TvTexDictionaryGetCurrent();

TvTexture* TvTextureRead(const char* name, const char* maskName);
TvTexture* TvTextureDefaultRead(const char* name, const char* maskName);

int32_t TvTextureRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                                TvPluginObjectDestructor dtor, TvPluginObjectCopy copy);
int32_t TvTexDictionaryRegisterPlugin(int32_t size, uint32_t pluginId,
                                      TvPluginObjectConstructor ctor, TvPluginObjectDestructor dtor,
                                      TvPluginObjectCopy copy);
