#include "game/objects/objecttypes.h"

#include <cstring>

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
