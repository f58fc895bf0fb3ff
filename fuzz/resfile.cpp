// The menu resource file comes from the data folder: load any bytes, then create the language
// and look up every text, object type and level record it names.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "engine/core/engine.h"
#include "platform/win32/win32.h"
#include "game/objects/objecttypes.h"
#include "shell/bytes.h"
#include "shell/resfile.h"

namespace {

// Textures stand in for the engine's, so that loading goes on past the texture rows.
int g_texture;
TvTexture* ReadTexture(const char*, const char*) {
    return reinterpret_cast<TvTexture*>(&g_texture);
}
bool DestroyTexture(TvTexture*) {
    return true;
}
bool g_mipmapping;
bool GetMipmapping() {
    return g_mipmapping;
}
bool SetMipmapping(bool on) {
    return g_mipmapping = on, true;
}

bool Start() {
    gMV2ResourceTextureCalls = {ReadTexture, DestroyTexture, GetMipmapping, SetMipmapping};
    return TvEngineInit(nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = Start();
    static const std::string path = "/tmp/marovant-fuzz-menu-" + std::to_string(getpid()) + ".mv2";
    if (!ready) return 0;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return 0;
    std::fwrite(data, 1, size, out);
    std::fclose(out);

    if (MV2LoadMenuResourceFile(path.c_str())) {
        const MV2MenuResource& r = gMV2MenuResource;
        for (uint32_t locale : {2057u, 1031u}) {
            if (!MV2CreateLanguage(locale)) continue;
            for (uint32_t i = 0; i < r.dir[MV2_CHUNK_LANGUAGES].count2 && i < 256; i++) {
                MV2TextDescriptor d{nullptr, MV2ReadU32(r.language.textIndex + 8 * i), 0, 0, 0, 0,
                                    0};
                MV2GetText(&d);
            }
        }
        uint8_t record[kMV2ObjectTypeRecordSize];
        for (uint32_t i = 0; i < r.dir[MV2_CHUNK_OBJECT_TYPES].count && i < 64; i++) {
            const uint32_t id =
                MV2ReadU32(r.chunks[MV2_CHUNK_OBJECT_TYPES] + i * kMV2ObjectTypeRecordSize + 204);
            MV2GetObjectTypeRecord(record, id);
            // The type table is filled from the record, names copied bounded.
            if (MV2ObjectType* type = MV2GetObjectType(int32_t(id % kMV2ObjectTypes))) {
                MV2ParseObjectTypeRecord(type, record);
                for (const MV2TypeName& name :
                     {MV2TypeModelName(type), MV2TypeNameField(type, 38, 16),
                      MV2TypeNameField(type, 42, 16), MV2TypeNameField(type, 46, 12)})
                    if (name.name[sizeof name.name - 1] != '\0') __builtin_trap();
            }
        }
        MV2GetObjectTypeRecord(record, 0x7FFFFFFF);
        MV2MenuResourceFindRecord(0x00FFFFFF);
        MV2MenuResourceFindRecord(0xFFFFFFFF);
        MV2DestroyLanguage();
        MV2FreeMenuResourceFile();
    }
    PlatformClearMessageBoxes();
    return 0;
}
