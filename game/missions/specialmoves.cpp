#include "game/missions/specialmoves.h"

#include "engine/core/matrix.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/submarines.h"
#include "game/objects/dynamics.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"

MV2SpecialMove gMV2SpecialMove;

namespace {

constexpr uint32_t kMoveMs = 2000;

uint32_t SubFlags(const MV2Object* craft) {
    if (!craft->type || !craft->type->subDefinition) return 0;
    return static_cast<const MV2SubDefinition*>(craft->type->subDefinition)->specialFlags;
}

void SetBrain(MV2Object* object, MV2ObjectHandler brain) {
    MV2ObjectSendMessage(object, 31, 0, reinterpret_cast<intptr_t>(object->overrideHandler));
    MV2ObjectSendMessage(object, 29, 0, reinterpret_cast<intptr_t>(brain));
}

} // namespace

void MV2StartSpecialMove(MV2Object* craft) {
    MV2SpecialMove& m = gMV2SpecialMove;
    const uint32_t now = MV2GameClock();
    if (m.state != kMV2SpecialMoveNone) {
        m.end = now + kMoveMs;
        return;
    }
    if (!craft) return;
    const uint32_t flags = SubFlags(craft);
    if (flags & 1u) {
        m.state = kMV2SpecialMoveFrenzy;
        // The controls no longer reach the craft: the submarine handler drives it.
        if (MV2Object* player = MV2GetPlayerObject()) SetBrain(player, MV2SubmarineHandler);
    } else if (flags & 2u) {
        m.state = kMV2SpecialMoveHalfTurn;
        m.turned = 0.0f;
    } else if (flags & 4u) {
        m.state = kMV2SpecialMoveHalfTurnKeepAngle;
    } else {
        return;
    }
    m.end = now + kMoveMs;
}

int32_t MV2UpdateSpecialMove(MV2Object* player) {
    MV2SpecialMove& m = gMV2SpecialMove;
    if (m.state != kMV2SpecialMoveNone && int32_t(MV2GameClock() - m.end) > 0 && player) {
        m.state = kMV2SpecialMoveNone;
        SetBrain(player, MV2PlayerHandler);
        if (player->typeHandler) player->typeHandler(player, 64, 0, 0);
    }
    if (!player || !player->matrix) return 0;
    TvMatrix* mat = player->matrix;
    switch (m.state) {
    case kMV2SpecialMoveFrenzy: {
        if (player->body) {
            const TvV3d force = TvV3dScale(mat->up, 0.2f);
            const TvV3d point = TvV3dAdd(mat->pos, mat->right);
            MV2AddTorque(player, &force, &point);
        }
        if (player->typeHandler) {
            float full = 1.0f;
            player->typeHandler(player, 10, 0, 0);
            player->typeHandler(player, 5, 0, reinterpret_cast<intptr_t>(&full));
        }
        break;
    }
    case kMV2SpecialMoveHalfTurn:
    case kMV2SpecialMoveHalfTurnKeepAngle: {
        m.turned += 30.0f;
        if (m.turned >= 180.0f) m.state = kMV2SpecialMoveNone;
        const TvV3d up = mat->up;
        MV2RotateMatrixInPlace(mat, &up, 30.0f, 1);
        break;
    }
    default: break;
    }
    return 0;
}

int32_t MV2ResetSpecialMove() {
    gMV2SpecialMove.state = kMV2SpecialMoveNone;
    return 1;
}
