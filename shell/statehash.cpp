#include "shell/statehash.h"

#include "engine/core/matrix.h"
#include "game/frontend/hud.h"
#include "game/frontend/hudmessages.h"
#include "game/missions/missionflow.h"
#include "game/multiplayer/netclient.h"
#include "game/multiplayer/remoteplayers.h"
#include "game/objects/objects.h"
#include "shell/gamestate.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {

struct Fnv {
    uint64_t h = 0xcbf29ce484222325ull;
    void Bytes(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        for (size_t i = 0; i < n; ++i) {
            h ^= b[i];
            h *= 0x100000001b3ull;
        }
    }
    void I32(int32_t v) {
        uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        Bytes(b, 4);
    }
    // A value rounded to 1/64; values beyond the 32-bit range or not finite hash as one mark.
    void Sixtyfourths(float v) {
        double scaled = std::nearbyint(double(v) * 64.0);
        I32(std::isfinite(scaled) && std::fabs(scaled) < 2147483647.0 ? int32_t(scaled)
                                                                        : INT32_MIN);
    }
};

} // namespace

uint64_t MV2GameStateHash() {
    Fnv f;
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o)) {
        f.I32(int32_t(o->typeWord & kMV2ObjectTypeMask));
        if (o->matrix) {
            f.Sixtyfourths(o->matrix->pos.x);
            f.Sixtyfourths(o->matrix->pos.y);
            f.Sixtyfourths(o->matrix->pos.z);
        }
        f.Sixtyfourths(o->energy);
    }
    f.I32(MV2GetCurrentMission());
    if (const uint8_t* block = MV2GetMissionStateBlock()) f.Bytes(block, kMV2MissionStateSize);
    f.I32(gMV2Net.frags);
    for (const MV2NetRemotePlayer& p : gMV2NetPlayers) {
        if (!p.inUse) continue;
        f.Bytes(p.name, strnlen(p.name, sizeof p.name));
        f.I32(p.frags);
    }
    return f.h;
}

void MV2WriteStateHashIfAsked() {
    const char* path = std::getenv("MAROVANT_STATE_HASH");
    if (!path || !*path) return;
    FILE* file = std::fopen(path, "w");
    if (!file) {
        std::fprintf(stderr, "state hash: cannot write %s\n", path);
        return;
    }
    int32_t objects = 0;
    std::map<uint32_t, int32_t> types;
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o)) {
        ++objects;
        ++types[o->typeWord & kMV2ObjectTypeMask];
    }
    std::fprintf(file, "%016llx\nmode %d sequence %d objects %d mission %d frags %d",
                 static_cast<unsigned long long>(MV2GameStateHash()), int(gMV2GameState.current),
                 int(gMV2GameState.sequence), int(objects), int(MV2GetCurrentMission()),
                 int(gMV2Net.frags));
    // The mission result banner while it shows (its text row: 76 success, 77 failure).
    if (int32_t(gMV2Hud.bannerEnd - MV2GetGameTime()) > 0)
        std::fprintf(file, " banner %d", int(gMV2Hud.bannerRow));
    std::fputs("\ntypes", file);
    for (const auto& [type, count] : types) std::fprintf(file, " %u:%d", type, int(count));
    std::fputc('\n', file);
    std::fclose(file);
}
