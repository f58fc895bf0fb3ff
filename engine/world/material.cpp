#include "engine/world/material.h"

#include <cstring>

#include "engine/core/bytes.h"
#include "engine/core/memory.h"
#include "engine/core/raster.h"
#include "engine/core/stream.h"
#include "engine/core/texture.h"
#include "engine/core/texture_stream.h"
#include "engine/world/world_plugin.h"

TvModuleGlobals TpMaterialModule;
TvPluginRegistry TpMaterialRegistry = TvPluginRegistryInitial(sizeof(TpMaterial));
const int32_t _TpMaterialModuleDataSize = sizeof(TpMaterialModuleData);

namespace {

constexpr int32_t kMaterialsPerChunk = 20;
constexpr uint8_t kLayout565 = 2;

TpMaterialModuleData* Data() {
    return TvEngineModuleData<TpMaterialModuleData>(TpMaterialModule);
}

} // namespace

void* _TpMaterialModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* data = static_cast<TpMaterialModuleData*>(TvEngineInstanceData(instance, offset));
    data->freeList = TvFreeListCreate(size_t(TpMaterialRegistry.sizeOfStruct), kMaterialsPerChunk);
    if (!data->freeList) return nullptr;
    return TvModuleOpened(TpMaterialModule, instance, offset);
}

void* _TpMaterialModuleClose(void* instance, int32_t offset, int32_t) {
    auto* data = static_cast<TpMaterialModuleData*>(TvEngineInstanceData(instance, offset));
    if (data->freeList) TvFreeListDestroy(data->freeList);
    data->freeList = nullptr;
    return TvModuleClosed(TpMaterialModule, instance);
}

TpMaterial* TpMaterialCreate() {
    if (!TvModuleIsOpen(TpMaterialModule)) {
        TpCommonError(E_TV_NOTOPEN);
        return nullptr;
    }
    auto* material = static_cast<TpMaterial*>(TvFreeListAlloc(Data()->freeList));
    if (!material) return nullptr;
    material->texture = nullptr;
    material->color = {255, 255, 255, 255};
    material->refCount = 1;
    material->counter = 0;
    // A failing plug-in constructor has undone the ones before it; the block goes back.
    if (!TvPluginInitObject(&TpMaterialRegistry, material)) {
        TvFreeListFree(Data()->freeList, material);
        return nullptr;
    }
    return material;
}

void TpMaterialAddRef(TpMaterial* material) {
    if (material) material->refCount++;
}

int32_t TpMaterialDestroy(TpMaterial* material) {
    if (!TpCheck(TpMaterialModule, material)) return 0;
    if (--material->refCount > 0) return 1;
    TvPluginDeinitObject(&TpMaterialRegistry, material);
    if (material->texture) TvTextureDestroy(material->texture);
    TvFreeListFree(Data()->freeList, material);
    return 1;
}

TpMaterial* TpMaterialSetTexture(TpMaterial* material, TvTexture* texture) {
    if (!TpCheck(TpMaterialModule, material)) return nullptr;
    if (texture) TvTextureAddRef(texture);
    if (material->texture) TvTextureDestroy(material->texture);
    material->texture = texture;
    material->counter++;
    return material;
}

TpMaterial* TpMaterialSetColor(TpMaterial* material, const TpRGBA* color) {
    if (!TpCheck(TpMaterialModule, material) || !TpCheck(TpMaterialModule, color)) return nullptr;
    material->color = *color;
    material->counter++;
    return material;
}

const TpRGBA* TpMaterialGetColor(const TpMaterial* material) {
    if (!TpCheck(TpMaterialModule, material)) return nullptr;
    return &material->color;
}

bool TpMaterialIsTransparent(const void* object) {
    auto* material = static_cast<const TpMaterial*>(object);
    if (!material) return false;
    if (material->color.alpha < 255) return true;
    const TvRaster* raster = material->texture ? material->texture->raster : nullptr;
    return raster && (raster->format & 0x0F) != kLayout565;
}

TpMaterialList* TpMaterialListInitialise(TpMaterialList* list) {
    list->materials = nullptr;
    list->count = 0;
    list->capacity = 0;
    return list;
}

TpMaterialList* TpMaterialListDeinitialise(TpMaterialList* list) {
    for (int32_t i = 0; i < list->count; i++)
        TpMaterialDestroy(list->materials[i]);
    if (list->materials) TvFree(list->materials);
    return TpMaterialListInitialise(list);
}

int32_t TpMaterialListAppendMaterial(TpMaterialList* list, TpMaterial* material) {
    if (list->count >= list->capacity) {
        const int32_t capacity = list->capacity + kTpMaterialListGrowth;
        auto* grown = static_cast<TpMaterial**>(
            TvRealloc(list->materials, sizeof(TpMaterial*) * size_t(capacity)));
        if (!grown) {
            TpCommonError(E_TV_NOMEM);
            return -1;
        }
        for (int32_t i = list->capacity; i < capacity; i++)
            grown[i] = nullptr;
        list->materials = grown;
        list->capacity = capacity;
    }
    TpMaterialAddRef(material);
    list->materials[list->count] = material;
    return list->count++;
}

TpMaterial* TpMaterialListGetMaterial(const TpMaterialList* list, int32_t index) {
    return list->materials[index];
}

TpMaterial* TpMaterialStreamRead(TvStream* stream) {
    // flags, colour, reserved, textured flag
    uint8_t body[16] = {};
    if (!TpReadStructBody(stream, body, sizeof body, nullptr)) return nullptr;
    TpMaterial* material = TpMaterialCreate();
    if (!material) return nullptr;
    std::memcpy(&material->color, body + 4, sizeof material->color);
    const uint32_t textured = TvLoadU32(body + 12);
    bool ok = true;
    if (textured) {
        TvTexture* texture = nullptr;
        ok = TpFindChunk(stream, TV_ID_TEXTURE, nullptr) &&
             (texture = TvTextureStreamRead(stream)) != nullptr;
        if (ok) {
            TpMaterialSetTexture(material, texture);
            TvTextureDestroy(texture); // the material holds its own reference now
        }
    }
    if (ok) ok = TvPluginStreamRead(&TpMaterialRegistry, stream, material) != nullptr;
    if (!ok) {
        TpMaterialDestroy(material);
        return nullptr;
    }
    return material;
}

TpMaterialList* TpMaterialListStreamRead(TvStream* stream, TpMaterialList* list) {
    uint32_t length = 0;
    if (!TpFindChunk(stream, TV_ID_STRUCT, &length)) return nullptr;
    int32_t count = 0;
    if (length < sizeof count || !TvStreamReadInt(stream, &count, sizeof count)) {
        TvErrorCore(E_TV_ENDOFSTREAM);
        return nullptr;
    }
    // The entries must lie inside the struct chunk before anything is allocated for them.
    if (count < 0 || uint64_t(count) > (length - sizeof count) / sizeof(int32_t)) {
        TpCommonError(E_TV_INVALIDPARAM, "negative parameter passed");
        return nullptr;
    }
    int32_t* entries = nullptr;
    if (count > 0) {
        entries = static_cast<int32_t*>(TvMalloc(sizeof(int32_t) * size_t(count)));
        if (!entries) return nullptr;
    }
    const uint32_t entryBytes = uint32_t(sizeof(int32_t)) * uint32_t(count);
    bool ok = (count == 0 || TvStreamReadInt(stream, entries, entryBytes)) &&
              TvStreamSkip(stream, length - sizeof count - entryBytes);
    TpMaterialListDeinitialise(list);
    for (int32_t i = 0; ok && i < count; i++) {
        TpMaterial* material = nullptr;
        if (entries[i] < 0) {
            material = TpFindChunk(stream, TV_ID_MATERIAL, nullptr) ? TpMaterialStreamRead(stream)
                                                                    : nullptr;
        } else if (entries[i] < list->count) {
            material = list->materials[entries[i]];
            TpMaterialAddRef(material);
        } else {
            // Only an earlier entry of the same list can be shared.
            TpCommonError(E_TV_INVALIDPARAM);
        }
        ok = material && TpMaterialListAppendMaterial(list, material) >= 0;
        if (material) TpMaterialDestroy(material); // the list holds its own reference
    }
    if (entries) TvFree(entries);
    if (!ok) {
        TpMaterialListDeinitialise(list);
        return nullptr;
    }
    return list;
}
