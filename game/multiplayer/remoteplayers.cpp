#include "game/multiplayer/remoteplayers.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/random.h"
#include "framework/network/network.h"
#include "game/effects/cracks.h"
#include "game/frontend/font.h"
#include "game/multiplayer/netclient.h"
#include "game/multiplayer/netmessages.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/levels.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"
#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"
#include "shell/controls.h"
#include "shell/frametimer.h"
#include "shell/gameinit.h"
#include "shell/gamestate.h"
#include "shell/sounds.h"
#include "shell/window.h"

MV2NetRemotePlayer gMV2NetPlayers[8] = {};
MV2NetTickerLine gMV2NetTicker[3] = {};

namespace {

constexpr int32_t kSpawnPointType = 450;

bool Multiplayer() {
    return gMV2GameType == 3 || gMV2GameType == 4;
}

void SyncFrame(MV2Object* object) {
    if (object->clump && object->clump->frame) TvFrameUpdateObjects(object->clump->frame);
}

template <class F> void ForEachSpawnPoint(F&& f) {
    auto visit = [](MV2Object* o, void* data) {
        if (!o->matrix || int32_t(o->typeWord & kMV2ObjectTypeMask) != kSpawnPointType) return true;
        return (*static_cast<F*>(data))(o);
    };
    MV2NetForEachWorldObject(visit, &f);
}

// The rotation that takes `from` to `to`, as an axis and an angle (radians); false near 0.
bool RotationBetween(const TvMatrix& from, const TvMatrix& to, TvV3d* axis, float* angle) {
    const TvV3d a[3] = {from.right, from.up, from.at};
    const TvV3d b[3] = {to.right, to.up, to.at};
    // R = sum over rows of b_i a_i^T takes each of from's axes onto to's.
    float r[3][3] = {};
    for (int32_t i = 0; i < 3; ++i) {
        const float av[3] = {a[i].x, a[i].y, a[i].z}, bv[3] = {b[i].x, b[i].y, b[i].z};
        for (int32_t j = 0; j < 3; ++j)
            for (int32_t k = 0; k < 3; ++k)
                r[j][k] += bv[j] * av[k];
    }
    float c = (r[0][0] + r[1][1] + r[2][2] - 1.0f) * 0.5f;
    c = c > 1.0f ? 1.0f : c < -1.0f ? -1.0f : c;
    *angle = std::acos(c);
    if (!std::isfinite(*angle) || *angle < 1e-4f) return false;
    TvV3d v = {r[2][1] - r[1][2], r[0][2] - r[2][0], r[1][0] - r[0][1]};
    if (TvV3dNormalize(axis, &v) > 1e-3f) return true;
    // Near a half turn: the axis from the diagonal, else any axis across the at axis.
    v = {std::sqrt(std::fmax(0.0f, (r[0][0] + 1.0f) * 0.5f)),
         std::sqrt(std::fmax(0.0f, (r[1][1] + 1.0f) * 0.5f)),
         std::sqrt(std::fmax(0.0f, (r[2][2] + 1.0f) * 0.5f))};
    if (r[0][1] + r[1][0] < 0.0f) v.y = -v.y;
    if (r[0][2] + r[2][0] < 0.0f) v.z = -v.z;
    if (TvV3dNormalize(axis, &v) > 1e-3f) return true;
    TvV3d across = TvV3dCross(from.at, {0.0f, 1.0f, 0.0f});
    if (TvV3dNormalize(axis, &across) < 1e-3f) *axis = {1.0f, 0.0f, 0.0f};
    return true;
}

TvV3d Rotate(const TvV3d& v, const TvV3d& k, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    const TvV3d kxv = TvV3dCross(k, v);
    const float kv = TvV3dDot(k, v);
    return {v.x * c + kxv.x * s + k.x * kv * (1.0f - c), v.y * c + kxv.y * s + k.y * kv * (1.0f - c),
            v.z * c + kxv.z * s + k.z * kv * (1.0f - c)};
}

void EndOfGame() {
    MV2NetClearTicker();
    gMV2Net.gameOver = 0;
    for (MV2NetRemotePlayer& r : gMV2NetPlayers) {
        r.inUse = 0;
        r.networkId = 0;
    }
    gMV2Net.running = 0;
    gMV2NetBackFromGame = 1;
    MV2ClearLevelState();
    MV2ResetSounds();
    gMV2GameState.requested = 7;
    MV2ShowTitleScreen();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char title[64];
    std::snprintf(title, sizeof title, "Marovant %02d:%02d:%02d", local.tm_hour, local.tm_min,
                  local.tm_sec);
    SetWindowTextA(MV2GetWindow(), title);
}

void ReplayControls(MV2NetRemotePlayer* r) {
    MV2Object* craft = r->craft;
    float plus = 1.0f, minus = -1.0f;
    if (r->flags & 0x01) MV2ObjectSendMessage(craft, 5, reinterpret_cast<intptr_t>(&plus), 0);
    if (r->flags & 0x02) MV2ObjectSendMessage(craft, 5, reinterpret_cast<intptr_t>(&minus), 0);
    if (r->flags & 0x04) MV2ObjectSendMessage(craft, 8, 1, 0);
    if (r->flags & 0x08) MV2ObjectSendMessage(craft, 8, 0, 0);
    if (r->flags & 0x10) MV2ObjectSendMessage(craft, 7, reinterpret_cast<intptr_t>(&plus), 0);
    if (r->flags & 0x20) MV2ObjectSendMessage(craft, 7, reinterpret_cast<intptr_t>(&minus), 0);
    uint32_t wanted = (r->flags >> 6) & 1u;
    if (r->powerUps & 0x40) wanted = 0; // a hidden craft never switches on
    if (wanted != r->toggle) {
        r->toggle = wanted;
        MV2ObjectSendMessage(craft, 11, intptr_t(wanted), 0);
    }
}

void Respawn() {
    MV2ResetControls(timeGetTime());
    MV2ResetSounds();
    TvV3d position = gMV2Level.startPosition, direction = {0.0f, 0.0f, 1.0f};
    MV2NetGetRandomSpawnPoint(&position, &direction);
    const float at[3] = {position.x, position.y, position.z};
    const int32_t type = MV2NetChosenCraftType();
    MV2CurrentLevelWorld current; // the new craft joins the level's world
    MV2Object* craft = MV2CreateObject(type, at, nullptr);
    // Nothing made: the next frame tries again.
    if (!craft || !craft->matrix) return;
    MV2SetPlayerSub(craft);
    MV2SetPlayerObject(craft);
    MV2SetCameraMatrix(craft->matrix);
    MV2ObjectSendMessage(craft, 29, 0, reinterpret_cast<intptr_t>(&MV2PlayerHandler));
    // On the active list: the brain runs every frame, whether or not the craft is drawn.
    MV2ObjectSendMessage(craft, 0, 1, 0);
    MV2SetCameraMode(0);
    MV2ResetScreenCracks();
    MV2ObjectSendMessage(craft, 21, 21, 0);
    if (craft->type) craft->energy = MV2TypeFloat(craft->type, 1) * 0.5f;
    TvV3d unit;
    if (TvV3dNormalize(&unit, &direction) > 1e-6f) {
        TvV3d right = TvV3dCross({0.0f, 1.0f, 0.0f}, unit);
        if (TvV3dNormalize(&right, &right) > 1e-6f) {
            TvV3d up = TvV3dCross(unit, right);
            TvV3dNormalize(&up, &up);
            craft->matrix->at = unit;
            craft->matrix->right = right;
            craft->matrix->up = up;
        }
    }
    SyncFrame(craft);
    if (type == 84) {
        if (MV2GetWaterHeight(&position) < 0.0f) MV2ObjectSendMessage(craft, 63, 0, 0);
        MV2ObjectSendMessage(craft, 48, 10, 0);
    }
    gMV2Net.sequence = 0;
}

} // namespace

void MV2NetForEachWorldObject(bool (*f)(MV2Object* object, void* data), void* data) {
    if (!MV2World) return;
    for (TpClump* c = MV2GetFirstWorldClump(MV2World); c; c = MV2GetNextWorldClump(MV2World, c))
        if (MV2Object* o = MV2GetClumpObject(c))
            if (!f(o, data)) return;
}

MV2NetRemotePlayer* MV2NetFindRemotePlayer(uint32_t id) {
    for (MV2NetRemotePlayer& r : gMV2NetPlayers)
        if (r.inUse && r.networkId == id) return &r;
    return nullptr;
}

MV2NetRemotePlayer* MV2NetFindRecordAny(uint32_t id) {
    for (MV2NetRemotePlayer& r : gMV2NetPlayers)
        if (r.networkId == id && (r.inUse || id != 0)) return &r;
    return nullptr;
}

MV2NetRemotePlayer* MV2NetFirstFreeRecord() {
    for (MV2NetRemotePlayer& r : gMV2NetPlayers)
        if (!r.inUse) return &r;
    return nullptr;
}

MV2NetRemotePlayer* MV2NetFindRecordOfCraft(const MV2Object* craft) {
    if (!craft) return nullptr;
    for (MV2NetRemotePlayer& r : gMV2NetPlayers)
        if (r.inUse && r.craft == craft && MV2ObjectHandleAlive(r.handle)) return &r;
    return nullptr;
}

void MV2NetClearRecords() {
    for (MV2NetRemotePlayer& r : gMV2NetPlayers) {
        r = MV2NetRemotePlayer{};
        r.toggle = 1;
    }
}

void MV2NetClearTicker() {
    for (MV2NetTickerLine& l : gMV2NetTicker)
        l = MV2NetTickerLine{};
}

int32_t MV2NetTickerPush(const char* text) {
    gMV2NetTicker[0] = gMV2NetTicker[1];
    gMV2NetTicker[1] = gMV2NetTicker[2];
    MV2NetTickerLine& l = gMV2NetTicker[2];
    std::snprintf(l.text, sizeof l.text, "%s", text ? text : "");
    l.expiry = timeGetTime() + 5000;
    l.width = MV2FontGetTextWidth(l.text, 0);
    return l.width;
}

int32_t MV2NetShowMessage(int32_t line) {
    if (line < 0 || line >= kMV2NetTextLines) return 0;
    return MV2NetTickerPush(gMV2Net.texts[line]);
}

void MV2NetSmoothCraft(MV2NetRemotePlayer* r, float step) {
    MV2Object* craft = r->craft;
    TvMatrix* m = craft->matrix;
    const float t = std::fmin(step / 30.0f, 1.0f);
    TvV3d axis;
    float angle;
    if (t >= 1.0f) {
        m->right = r->targetMatrix.right;
        m->up = r->targetMatrix.up;
        m->at = r->targetMatrix.at;
    } else if (t > 0.0f && RotationBetween(*m, r->targetMatrix, &axis, &angle)) {
        m->right = Rotate(m->right, axis, angle * t);
        m->up = Rotate(m->up, axis, angle * t);
        m->at = Rotate(m->at, axis, angle * t);
    }
    const float f = std::fmin(step * 0.1f, 1.0f);
    if (f > 0.0f) {
        const TvV3d toward = TvV3dSub(m->pos, r->targetPosition);
        m->pos = f >= 1.0f ? r->targetPosition : TvV3dSub(m->pos, TvV3dScale(toward, f));
    }
    craft->previousPosition = m->pos;
    SyncFrame(craft);
}

void MV2NetUpdate() {
    if (gMV2Net.running && Multiplayer() && gMV2Net.gameOver) EndOfGame();
    if (!gMV2Net.created || !gMV2Net.inSession || !gMV2Net.network) return;
    if (gMV2Net.network->Poll() < 0) {
        gMV2Net.created = 0;
        gMV2Net.inSession = 0;
    }
    MV2NetFillPlayerState();
    const uint32_t now = timeGetTime();
    const float step = gMV2FrameTimer.ticks;
    for (MV2NetRemotePlayer& r : gMV2NetPlayers) {
        // The local player's own score-table record has no remote craft.
        if (!r.inUse || r.networkId == gMV2Net.localId) continue;
        if (r.craft && MV2ObjectHandleAlive(r.handle)) {
            r.craft->energy = (r.flags & 0x80) ? -1.0f : 1000000.0f;
            MV2NetSmoothCraft(&r, step);
            ReplayControls(&r);
        }
        if (int32_t(now - r.nextSend) > 0) {
            MV2NetSendPlayerState(r.networkId);
            r.nextSend = now + r.interval;
            if (!r.named) {
                // The name answer may have been lost: ask again, timing from now.
                r.nameRequestTime = now;
                MV2NetSendSimple(kMV2NetNameRequest, r.networkId);
            }
        }
    }
    if (!MV2GetPlayerObject() && gMV2Net.running && Multiplayer()) Respawn();
}

int32_t MV2NetNumberSpawnPoints() {
    int32_t count = 0;
    ForEachSpawnPoint([&](MV2Object* o) {
        // The spawn point takes its index through a pointer to a 32-bit value.
        const uint32_t index = uint32_t(count++);
        MV2ObjectSendMessage(o, 12, 0, reinterpret_cast<intptr_t>(&index));
        return true;
    });
    return count;
}

int32_t MV2NetGetSpawnPoint(TvV3d* position, TvV3d* direction) {
    if (!gMV2NetHost && gMV2Net.spawnData) {
        *position = gMV2Net.spawnPosition;
        *direction = gMV2Net.spawnDirection;
        return 1;
    }
    int32_t count = 0;
    MV2Object* chosen = nullptr;
    ForEachSpawnPoint([&](MV2Object* o) {
        uint32_t index = 0xFFFFFFFFu; // answered as a 32-bit value
        MV2ObjectSendMessage(o, 13, 0, reinterpret_cast<intptr_t>(&index));
        if (int64_t(index) == int64_t(gMV2Net.spawnCursor) && !chosen) chosen = o;
        ++count;
        return true;
    });
    if (count == 0 || !chosen) {
        *position = gMV2Level.startPosition;
        if (count > 0) gMV2Net.spawnCursor = (gMV2Net.spawnCursor + 1) % count;
        return 0;
    }
    *position = chosen->matrix->pos;
    *direction = chosen->matrix->at;
    gMV2Net.spawnCursor = (gMV2Net.spawnCursor + 1) % count;
    return 1;
}

void MV2NetGetRandomSpawnPoint(TvV3d* position, TvV3d* direction) {
    int32_t count = 0;
    ForEachSpawnPoint([&](MV2Object*) {
        ++count;
        return true;
    });
    if (count == 0) {
        *position = gMV2Level.startPosition;
        *direction = {0.0f, 0.0f, 1.0f};
        return;
    }
    int32_t pick = int32_t(uint32_t(TvRandom()) % uint32_t(count));
    ForEachSpawnPoint([&](MV2Object* o) {
        if (pick-- > 0) return true;
        *position = o->matrix->pos;
        *direction = o->matrix->at;
        return false;
    });
}
