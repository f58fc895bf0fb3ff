#include "engine/core/texture.h"

#include <cstring>

#include "engine/core/bytes.h"
#include "engine/core/engine_modules.h"
#include "engine/core/error.h"
#include "engine/core/image.h"
#include "engine/core/link.h"
#include "engine/core/memory.h"
#include "engine/core/raster.h"
#include "engine/core/resample.h"

TvPluginRegistry TvTextureRegistry = TvPluginRegistryInitial(sizeof(TvTexture));
TvPluginRegistry TvTexDictionaryRegistry = TvPluginRegistryInitial(sizeof(TvTexDictionary));

namespace {

TvModuleGlobals textureModule;

TvTextureModule* Mod() {
    return TvEngineModuleData<TvTextureModule>(textureModule);
}

constexpr int32_t kStdTextureSetRaster = 8;

// Space the default reader leaves for a name's extension ("." and up to 18 characters, NUL).
constexpr size_t kExtensionRoom = 20;

TvTexture* FromLink(TvLink* link) {
    return TvContainerOf<TvTexture>(link, offsetof(TvTexture, inDictionary));
}
TvTexDictionary* DictionaryFromLink(TvLink* link) {
    return TvContainerOf<TvTexDictionary>(link, offsetof(TvTexDictionary, inDictionaries));
}

// Same length and the same characters once "a".."z" are mapped to "A".."Z".
bool NamesEqual(const char* a, const char* b) {
    auto up = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    while (*a && *b) {
        if (up(*a++) != up(*b++)) return false;
    }
    return *a == *b;
}

char* CopyString(const char* text) {
    const size_t length = std::strlen(text);
    auto* copy = static_cast<char*>(TvMalloc(length + 1));
    if (!copy) {
        TvErrorCore(E_TV_NOMEM);
        return nullptr;
    }
    std::memcpy(copy, text, length + 1);
    return copy;
}

TvTexture* SetString(TvTexture* texture, char*& field, const char* text) {
    if (field) TvFree(field);
    texture->counter++;
    field = CopyString(text);
    return field ? texture : nullptr;
}

bool GrowNameBuffer(size_t bytes) {
    TvTextureModule* m = Mod();
    if (bytes <= size_t(m->nameBufferCapacity) && m->nameBuffer) return true;
    if (bytes > INT16_MAX) { // the capacity is a 16-bit count
        TvErrorCore(E_TV_NOMEM);
        return false;
    }
    char* grown = static_cast<char*>(TvRealloc(m->nameBuffer, bytes));
    if (!grown) {
        TvErrorCore(E_TV_NOMEM);
        return false;
    }
    m->nameBuffer = grown;
    m->nameBufferCapacity = int16_t(bytes);
    return true;
}

// Writes `name` followed by the extension under which it exists along the search path (or
// nothing when none does) at `out`.
void NameWithExtension(char* out, const char* name) {
    const char* extension = TvImageFindFileExtension(name);
    std::strcpy(out, name);
    if (extension) std::strcat(out, extension);
}

// Brings an image to the driver's size: 8-bit pictures are widened first, then resampled.
TvImage* FitImage(TvImage* image, int32_t width, int32_t height) {
    if (image->width == width && image->height == height) return image;
    if (image->depth == 8) {
        TvImage* wide = TvImageCreate(image->width, image->height, 32);
        if (!wide || !TvImageAllocatePixels(wide) || !TvImageCopy(wide, image)) {
            if (wide) TvImageDestroy(wide);
            TvImageDestroy(image);
            return nullptr;
        }
        TvImageDestroy(image);
        image = wide;
    }
    TvImage* sized = TvImageCreate(width, height, 32);
    if (!sized || !TvImageAllocatePixels(sized) || !TvImageResample(sized, image)) {
        if (sized) TvImageDestroy(sized);
        TvImageDestroy(image);
        return nullptr;
    }
    TvImageDestroy(image);
    return sized;
}

} // namespace

TvTexture* TvTextureCreate(TvRaster* raster) {
    auto* texture = static_cast<TvTexture*>(TvFreeListAlloc(Mod()->textureFreeList));
    if (!texture) return nullptr;
    std::memset(texture, 0, sizeof(TvTexture));
    texture->raster = raster;
    TvLinkInit(&texture->inDictionary);
    texture->refCount = 1;
    texture->filterMode = 1;
    texture->addressing = 1;
    TvPluginInitObject(&TvTextureRegistry, texture);
    return texture;
}

TvTexture* TvTextureCreateNamed(TvRaster* raster, const char* name, const char* maskName) {
    TvTexture* texture = TvTextureCreate(raster);
    if (!texture) {
        TvRasterDestroy(raster);
        return nullptr;
    }
    if (!TvTextureSetName(texture, name) ||
        !TvTextureSetMaskName(texture, maskName ? maskName : "")) {
        TvTextureDestroy(texture); // takes the raster with it
        return nullptr;
    }
    return texture;
}

bool TvTextureDestroy(TvTexture* texture) {
    if (--texture->refCount >= 1) return true;
    TvPluginDeinitObject(&TvTextureRegistry, texture);
    TvLinkRemove(&texture->inDictionary);
    if (texture->raster) TvRasterDestroy(texture->raster);
    if (texture->name) TvFree(texture->name);
    if (texture->maskName) TvFree(texture->maskName);
    TvFreeListFree(Mod()->textureFreeList, texture);
    return true;
}

void TvTextureAddRef(TvTexture* texture) {
    texture->refCount++;
}

TvTexture* TvTextureSetRaster(TvTexture* texture, TvRaster* raster) {
    if (!raster) {
        texture->raster = nullptr;
        return texture;
    }
    if (raster->type != kTvRasterTypeTexture) return nullptr;
    if (!TV_ENGINE->standardFunctions[kStdTextureSetRaster](texture, raster, 0)) return nullptr;
    texture->counter++;
    return texture;
}

TvRaster* TvTextureGetRaster(const TvTexture* texture) {
    return texture->raster;
}

TvTexture* TvTextureSetName(TvTexture* texture, const char* name) {
    return SetString(texture, texture->name, name);
}

TvTexture* TvTextureSetMaskName(TvTexture* texture, const char* maskName) {
    return SetString(texture, texture->maskName, maskName);
}

TvTexture* TvTextureSetFilterMode(TvTexture* texture, uint32_t mode) {
    texture->filterMode = mode;
    texture->counter++;
    return texture;
}

TvTexture* TvTextureSetAddressing(TvTexture* texture, uint32_t mode) {
    texture->addressing = mode;
    texture->counter++;
    return texture;
}

uint32_t TvTextureGetFilterMode(const TvTexture* texture) {
    return texture->filterMode;
}
uint32_t TvTextureGetAddressing(const TvTexture* texture) {
    return texture->addressing;
}

bool TvTextureSetMipmapping(bool on) {
    Mod()->mipmapping = on ? 1 : 0;
    return true;
}
bool TvTextureGetMipmapping() {
    return Mod()->mipmapping != 0;
}

bool TvTextureSetReadCallBack(TvTextureReadCallBack callBack) {
    Mod()->readCallBack = callBack;
    return true;
}
TvTextureReadCallBack TvTextureGetReadCallBack() {
    return Mod()->readCallBack;
}

TvTexDictionary* TvTexDictionaryCreate() {
    auto* dictionary = static_cast<TvTexDictionary*>(TvFreeListAlloc(Mod()->dictionaryFreeList));
    if (!dictionary) return nullptr;
    std::memset(dictionary, 0, sizeof(TvTexDictionary));
    dictionary->object.type = kTvTexDictionaryType;
    TvLinkInit(&dictionary->textures);
    TvLinkInsertHead(&Mod()->dictionaries, &dictionary->inDictionaries);
    TvPluginInitObject(&TvTexDictionaryRegistry, dictionary);
    return dictionary;
}

bool TvTexDictionaryDestroy(TvTexDictionary* dictionary) {
    TvTextureModule* m = Mod();
    if (m->current == dictionary) m->current = nullptr;
    // Every texture goes, whoever else still holds a reference.
    while (!TvLinkEmpty(&dictionary->textures)) {
        TvTexture* texture = FromLink(dictionary->textures.next);
        texture->refCount = 1;
        TvTextureDestroy(texture);
    }
    TvPluginDeinitObject(&TvTexDictionaryRegistry, dictionary);
    TvLinkRemove(&dictionary->inDictionaries);
    TvFreeListFree(m->dictionaryFreeList, dictionary);
    return true;
}

TvTexture* TvTexDictionaryAddTexture(TvTexDictionary* dictionary, TvTexture* texture) {
    TvLinkRemove(&texture->inDictionary);
    texture->dictionary = dictionary;
    TvLinkInsertHead(&dictionary->textures, &texture->inDictionary);
    texture->counter++;
    dictionary->counter++;
    return texture;
}

TvTexture* TvTexDictionaryFindNamedTexture(TvTexDictionary* dictionary, const char* name) {
    for (TvLink* l = dictionary->textures.next; l != &dictionary->textures; l = l->next) {
        TvTexture* texture = FromLink(l);
        if (texture->name && NamesEqual(texture->name, name)) return texture;
    }
    return nullptr;
}

TvTexDictionary* TvTexDictionaryGetCurrent() {
    return Mod()->current;
}

TvTexture* TvTextureRead(const char* name, const char* maskName) {
    TvTextureModule* m = Mod();
    TvTexture* found = nullptr;
    if (m->current) {
        found = TvTexDictionaryFindNamedTexture(m->current, name);
    } else {
        for (TvLink* l = m->dictionaries.next; l != &m->dictionaries && !found; l = l->next)
            found = TvTexDictionaryFindNamedTexture(DictionaryFromLink(l), name);
    }
    if (found) {
        found->refCount++;
        return found;
    }
    TvTexture* texture = m->readCallBack ? m->readCallBack(name, maskName) : nullptr;
    if (texture) {
        // The callback may have changed the current dictionary.
        if (Mod()->current) TvTexDictionaryAddTexture(Mod()->current, texture);
        return texture;
    }
    TvErrorCore(E_TV_TEXTURENOTFOUND);
    return nullptr;
}

TvTexture* TvTextureDefaultRead(const char* name, const char* maskName) {
    const bool useMask = maskName && maskName[0] != '\0';
    const size_t nameLength = std::strlen(name);
    const size_t maskLength = useMask ? std::strlen(maskName) : 0;
    // The mask's name sits after room for the texture's name and its longest extension.
    const size_t maskOffset = nameLength + kExtensionRoom;
    if (!GrowNameBuffer(maskOffset + (useMask ? maskLength + kExtensionRoom : 0))) return nullptr;
    NameWithExtension(Mod()->nameBuffer, name);
    if (useMask) NameWithExtension(Mod()->nameBuffer + maskOffset, maskName);

    char* buffer = Mod()->nameBuffer;
    TvImage* image = TvImageReadMasked(buffer, useMask ? buffer + maskOffset : nullptr);
    if (!image) return nullptr;

    const uint32_t wanted =
        Mod()->mipmapping ? kTvRasterFormatMipMap | kTvRasterTypeTexture : kTvRasterTypeTexture;
    int32_t width, height, depth;
    uint32_t flags;
    if (!TvImageFindRasterFormat(image, wanted, &width, &height, &depth, &flags)) {
        TvImageDestroy(image);
        TvErrorCore(E_TV_FORMATCONVERSION);
        return nullptr;
    }
    image = FitImage(image, width, height);
    if (!image) return nullptr;
    TvImageGammaCorrect(image);

    TvRaster* raster = TvRasterCreate(width, height, depth, flags);
    if (!raster || !TvRasterSetFromImage(raster, image)) {
        if (raster) TvRasterDestroy(raster);
        TvImageDestroy(image);
        return nullptr;
    }
    TvImageDestroy(image);

    return TvTextureCreateNamed(raster, name, useMask ? maskName : "");
}

int32_t TvTextureRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                                TvPluginObjectDestructor dtor, TvPluginObjectCopy copy) {
    return TvPluginRegister(&TvTextureRegistry, size, pluginId, ctor, dtor, copy);
}

int32_t TvTexDictionaryRegisterPlugin(int32_t size, uint32_t pluginId,
                                      TvPluginObjectConstructor ctor, TvPluginObjectDestructor dtor,
                                      TvPluginObjectCopy copy) {
    return TvPluginRegister(&TvTexDictionaryRegistry, size, pluginId, ctor, dtor, copy);
}

const int32_t _TvTextureModuleDataSize = sizeof(TvTextureModule);

void* _TvTextureModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* m = static_cast<TvTextureModule*>(TvEngineInstanceData(instance, offset));
    std::memset(m, 0, sizeof(TvTextureModule));
    TvLinkInit(&m->dictionaries);
    m->textureFreeList = TvFreeListCreate(size_t(TvTextureRegistry.sizeOfStruct), 7);
    m->dictionaryFreeList = TvFreeListCreate(size_t(TvTexDictionaryRegistry.sizeOfStruct), 3);
    if (!m->textureFreeList || !m->dictionaryFreeList) {
        if (m->textureFreeList) TvFreeListDestroy(m->textureFreeList);
        if (m->dictionaryFreeList) TvFreeListDestroy(m->dictionaryFreeList);
        return nullptr;
    }
    TvModuleOpened(textureModule, instance, offset);
    m->current = TvTexDictionaryCreate();
    if (!m->current) {
        TvFreeListDestroy(m->textureFreeList);
        TvFreeListDestroy(m->dictionaryFreeList);
        TvModuleClosed(textureModule, instance);
        return nullptr;
    }
    m->readCallBack = TvTextureDefaultRead;
    m->mipmapping = 0;
    return instance;
}

void* _TvTextureModuleClose(void* instance, int32_t offset, int32_t) {
    auto* m = static_cast<TvTextureModule*>(TvEngineInstanceData(instance, offset));
    if (m->nameBuffer) TvFree(m->nameBuffer);
    m->nameBuffer = nullptr;
    while (!TvLinkEmpty(&m->dictionaries))
        TvTexDictionaryDestroy(DictionaryFromLink(m->dictionaries.next));
    TvFreeListDestroy(m->textureFreeList);
    TvFreeListDestroy(m->dictionaryFreeList);
    return TvModuleClosed(textureModule, instance);
}
