#include "game/multiplayer/nethud.h"

#include <cstdio>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/core/raster.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "game/frontend/hud.h"
#include "game/frontend/menus.h"
#include "game/multiplayer/netclient.h"
#include "game/multiplayer/remoteplayers.h"
#include "game/objects/camera.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "platform/winmm/winmm.h"
#include "shell/gamemain.h"
#include "shell/settings.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kGold = 0xFFFFE000u;
// The craft's brightness byte the tags and the glow fade with: full until the player module
// reports it per craft.
constexpr int32_t kBrightness = 255;

bool Alive(const MV2NetRemotePlayer& r) {
    return r.inUse && r.craft && MV2ObjectHandleAlive(r.handle);
}

int32_t ScreenWidth() {
    TvRaster* raster = gMV2MainCamera ? TvCameraGetRaster(gMV2MainCamera) : nullptr;
    return raster ? raster->width : 640;
}

int32_t ScreenHeight() {
    TvRaster* raster = gMV2MainCamera ? TvCameraGetRaster(gMV2MainCamera) : nullptr;
    return raster ? raster->height : 480;
}

uint32_t WithAlpha(uint32_t colour, int32_t alpha) {
    alpha = alpha < 0 ? 0 : alpha > 255 ? 255 : alpha;
    return (colour & 0x00FFFFFFu) | uint32_t(alpha) << 24;
}

void DrawNameTag(const MV2NetRemotePlayer& r) {
    TvCamera* camera = gMV2MainCamera;
    if (!camera || !camera->object.frame) return;
    TvMatrix* cm = TvFrameGetLTM(camera->object.frame);
    const TvV3d at = r.craft->matrix->pos;
    if (TvV3dDot(cm->at, TvV3dSub(cm->pos, at)) >= 0.0f) return;
    if (MV2World && MV2IntersectWorldLine(MV2World, &cm->pos, &at, nullptr, nullptr)) return;
    TvV3d view;
    TvV3dTransformPoints(&view, &at, 1, TvCameraGetViewMatrix(camera));
    if (view.z <= 0.0f || camera->viewWindow.x <= 0.0f || camera->viewWindow.y <= 0.0f) return;
    const float w = float(ScreenWidth()), h = float(ScreenHeight());
    const float sx = w * 0.5f + view.x / view.z * (w * 0.5f / camera->viewWindow.x);
    const float sy = h * 0.5f - view.y / view.z * (h * 0.5f / camera->viewWindow.y);
    const int32_t textWidth = MV2FontGetTextWidth(r.name, 0);
    const int32_t x = int32_t(sx) - textWidth / 2, y = int32_t(sy) - 20;
    if (x < 0 || y < 0 || x >= int32_t(w) || y >= int32_t(h)) return;
    if ((r.powerUps & 0x40) || kBrightness <= 64) return;
    const int32_t alpha = kBrightness - 64;
    MV2Draw2DSpriteSized(x, y + 12, textWidth, 4, 297, WithAlpha(kWhite, alpha / 2));
    const uint32_t bar = r.energy > 128 ? 0xFF00FFFFu : r.energy > 64 ? 0xFFFFFF00u : 0xFFFF0000u;
    MV2Draw2DSpriteSized(x, y + 12, int32_t(textWidth * r.energy / 255), 4, 297,
                         WithAlpha(bar, alpha));
    MV2FontDrawText(r.name, x, y, WithAlpha(kWhite, alpha), 0);
}

void DrawPlayerList(bool withCraft) {
    int32_t widest = MV2FontGetTextWidth(gMV2Settings.playerName, 0);
    for (const MV2NetRemotePlayer& r : gMV2NetPlayers)
        if (r.inUse) {
            const int32_t w = MV2FontGetTextWidth(r.name, 0);
            if (w > widest) widest = w;
        }
    const int32_t x = widest + 8;
    char text[16];
    MV2FontDrawTextAnchored(gMV2Settings.playerName, x, 8, kWhite, 0, 2);
    std::snprintf(text, sizeof text, "%d", gMV2Net.frags);
    MV2FontDrawText(text, widest + 72, 8, kWhite, 0);
    if (!withCraft) return;
    int32_t y = 28;
    for (const MV2NetRemotePlayer& r : gMV2NetPlayers) {
        if (!r.inUse || !r.craft || r.networkId == gMV2Net.localId) continue;
        MV2FontDrawTextAnchored(r.name, x, y, kWhite, 0, 2);
        std::snprintf(text, sizeof text, "%d", r.frags);
        MV2FontDrawText(text, x + 64, y, kWhite, 0);
        if (r.powerUps & 0x10) MV2Draw2DSpriteSized(x + 4, y, 16, 16, 315, kWhite);
        if (r.powerUps & 0x20) MV2Draw2DSpriteSized(x + 24, y, 16, 16, 313, kWhite);
        if (r.powerUps & 0x40) MV2Draw2DSpriteSized(x + 44, y, 16, 16, 314, kWhite);
        y += 20;
    }
}

} // namespace

void MV2NetDrawTicker() {
    const uint32_t now = timeGetTime();
    float sx = 1.0f, sy = 1.0f;
    MV2GetScreenScale(&sx, &sy);
    for (int32_t i = 0; i < 3; ++i) {
        MV2NetTickerLine& l = gMV2NetTicker[i];
        if (!l.text[0]) continue;
        if (int32_t(l.expiry - now) <= 0) {
            l.text[0] = '\0';
            continue;
        }
        MV2FontDrawText(l.text, ScreenWidth() / 2 - l.width / 2, int32_t(420.0f * sy) + 16 * i,
                        kWhite, 0);
    }
}

int32_t MV2NetScoreOrder(int32_t order[8]) {
    int32_t n = 0;
    for (int32_t i = 0; i < kMV2NetMaxPlayers; ++i)
        if (gMV2NetPlayers[i].inUse) order[n++] = i;
    // Insertion sort by frags, highest first; equal frags keep their record order.
    for (int32_t i = 1; i < n; ++i) {
        const int32_t v = order[i];
        int32_t j = i;
        while (j > 0 && gMV2NetPlayers[order[j - 1]].frags < gMV2NetPlayers[v].frags) {
            order[j] = order[j - 1];
            --j;
        }
        order[j] = v;
    }
    return n;
}

void MV2NetDrawScoreTable() {
    char text[64];
    std::snprintf(text, sizeof text, "%s  ", gMV2Settings.playerName);
    int32_t widest = MV2FontGetTextWidth(text, 1);
    int32_t order[8];
    const int32_t n = MV2NetScoreOrder(order);
    int32_t best = 0;
    for (int32_t i = 0; i < n; ++i) {
        const MV2NetRemotePlayer& r = gMV2NetPlayers[order[i]];
        std::snprintf(text, sizeof text, "%s  ", r.name);
        const int32_t w = MV2FontGetTextWidth(text, 1);
        if (w > widest) widest = w;
        if (i == 0 || r.frags > best) best = r.frags;
    }
    const int32_t cx = ScreenWidth() / 2, cy = ScreenHeight() / 2;
    const int32_t h = n * 66 / 4;
    const int32_t half = (widest + MV2FontGetTextWidth("00", 1)) / 2;
    MV2Set2DColourARGB(0x80000000u);
    MV2Draw2DRect(cx - half - 16, cy - h - 16, cx + half + 16, cy + h + 16, 0);
    int32_t y = cy - h + 11;
    const int32_t limit = gMV2Net.fragLimit;
    for (int32_t i = 0; i < n; ++i, y += 33) {
        MV2NetRemotePlayer& r = gMV2NetPlayers[order[i]];
        if (Alive(r) && r.networkId != gMV2Net.localId) r.craft->energy = -1.0f;
        if (limit > 0 && r.frags > limit) r.frags = limit;
        const uint32_t colour = r.frags == best ? kGold : kWhite;
        MV2FontDrawText(r.name, cx - half, y, colour, 1);
        std::snprintf(text, sizeof text, "%d", r.frags);
        MV2FontDrawText(text, cx - half + widest, y, colour, 1);
    }
}

void MV2NetDrawHud() {
    if (MV2MenuGetCurrentInstance()) {
        MV2HudBeginDraw(1);
        MV2NetDrawTicker();
        MV2DrawHudOverlay();
        return;
    }
    if (gMV2Net.gameOver) {
        MV2NetCloseSession();
        MV2NetDrawScoreTable();
        MV2NetDrawTicker();
        MV2DrawHudOverlay();
        return;
    }
    if (!gMV2Net.created || !gMV2Net.inSession) return;
    MV2NetDrawTicker();
    MV2Object* craft = MV2GetPlayerObject();
    if (craft) {
        const int32_t x = ScreenWidth() - 40;
        if (MV2IsPowerUpActive(2)) MV2Draw2DSpriteSized(x, 60, 32, 32, 318, kWhite);
        if (MV2IsPowerUpActive(3)) MV2Draw2DSpriteSized(x, 96, 32, 32, 316, kWhite);
        if (MV2IsPowerUpActive(4)) MV2Draw2DSpriteSized(x, 132, 32, 32, 317, kWhite);
        else if (kBrightness > 64)
            MV2Draw2DSpriteSized(x, 132, 32, 32, 319, WithAlpha(kWhite, kBrightness - 64));
    }
    DrawPlayerList(craft != nullptr);
    if (!craft) return;
    for (const MV2NetRemotePlayer& r : gMV2NetPlayers)
        if (Alive(r) && r.networkId != gMV2Net.localId && r.craft->matrix) DrawNameTag(r);
}
