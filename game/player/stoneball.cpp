// The rolling stone ball (type 286).
#include "game/player/stoneball.h"

#include <cmath>

#include "engine/core/matrix.h"
#include "game/objects/objectsounds.h"
#include "game/player/playercraft.h"
#include "game/player/shots.h"

namespace {

MV2StoneBallData g_ball;

void Roll(MV2Object* ball) {
    if (!g_ball.running || !ball->matrix) return;
    MV2Object* points[4];
    for (int32_t i = 0; i < 4; ++i) {
        points[i] = MV2GetObjectRef(&g_ball.waypoints[i]);
        if (!points[i] || !points[i]->matrix) return;
    }
    MV2StartObjectSound(ball, MV2ShotSound("STONEBALL"), &g_ball.sound, 0, 1000);
    const TvV3d d = TvV3dSub(ball->matrix->pos, points[g_ball.index & 3]->matrix->pos);
    if (MV2ShotLength(d) >= 0.25f) {
        ball->matrix->pos = TvV3dAdd(ball->matrix->pos, TvV3dScale(d, -0.1f * MV2ShotFrameStep()));
        MV2ShotSyncFrame(ball);
    } else {
        g_ball.index = (g_ball.index + 1) & 3;
    }
}

} // namespace

MV2StoneBallData* MV2GetStoneBallData() {
    return &g_ball;
}

int32_t MV2SetStoneBallWaypoints(MV2Object* ball, MV2Object* const waypoints[4]) {
    if (!ball || ball->privateData != &g_ball) return 0;
    for (int32_t i = 0; i < 4; ++i)
        MV2SetObjectRef(&g_ball.waypoints[i], waypoints[i]);
    return 1;
}

intptr_t MV2WaypointStoneBallHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 3: {
        const intptr_t made = MV2ObjectDefaultHandler(object, message, p1, p2);
        object->privateData = &g_ball;
        g_ball = MV2StoneBallData{};
        MV2ObjectSendMessage(object, 0, 1, 0);
        return made;
    }
    case 96: return MV2ShotAnswerSize(p2, 0);
    case 11: g_ball.running = int32_t(p1); break;
    case 2: Roll(object); break;
    case 19:
        if (MV2Object* player = MV2GetPlayerObject(); player && reinterpret_cast<MV2Object*>(p2) == player)
            player->energy -= MV2ShotFrameStep();
        break;
    case 4: MV2StopObjectSound(object, MV2ShotSound("STONEBALL"), &g_ball.sound); break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}
