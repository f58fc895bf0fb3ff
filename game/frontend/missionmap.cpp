#include "game/frontend/missionmap.h"

#include "engine/core/im2d.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "game/frontend/hud.h"
#include "game/frontend/hudmessages.h"
#include "game/frontend/radar.h"
#include "game/creatures/creatures.h"
#include "game/creatures/repairdrone.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/player/player.h"
#include "shell/bytes.h"
#include "shell/cursor.h"
#include "shell/frametimer.h"
#include "shell/gameinit.h"
#include "shell/gamestate.h"
#include "shell/render.h"
#include "shell/sounds.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

MV2MapState gMV2Map = {};

namespace {

struct LegendSource {
    uint32_t textId, key, flags;
};
constexpr LegendSource kLegend[kMV2LegendRows] = {
    {1371, 65535, 4}, {1372, 65535, 12}, {463, 38, 8}, {551, 39, 8}, {428, 27, 1}, {429, 40, 1},
    {673, 19, 1},     {402, 26, 1},      {409, 23, 1}, {507, 15, 1}, {678, 41, 1}, {548, 4, 8},
    {498, 6, 8},      {504, 8, 8},       {433, 10, 8}, {505, 11, 8}, {53, 3, 8},   {682, 208, 1}};

void Rotate(float x, float z, int32_t rotation, float* a, float* b) {
    switch (rotation & 3) {
    case 1: *a = -z, *b = x; break;
    case 2: *a = -x, *b = -z; break;
    case 3: *a = z, *b = -x; break;
    default: *a = x, *b = z; break;
    }
}

void FreeLabels() {
    for (MV2MapLabel& l : gMV2Map.labels) l.id = -1;
}

void PlayUi(const char* name) {
    MV2PlayInterfaceSound(MV2FindSoundByName(name));
}

uint32_t TypeKey(const MV2Object* object) {
    const MV2ObjectType* type = MV2GetObjectType(MV2HudObjectType(object));
    return type ? type->words[33] & 0xFFFu : 0xFFFFu;
}

bool Visible(int32_t column, int32_t row) {
    for (int32_t dr = -1; dr <= 1; ++dr)
        for (int32_t dc = -1; dc <= 1; ++dc)
            if (MV2MapCellVisited(column + dc, row + dr)) return true;
    return false;
}

float ScreenX(float mapX) {
    return (mapX - gMV2Map.scrollX) * gMV2Map.zoom;
}
float ScreenY(float mapY) {
    return (mapY - gMV2Map.scrollY) * gMV2Map.zoom + float(kMV2MapPanel);
}

void Icon(int32_t sprite, float x, float y, float scale, uint32_t colour, float c, float s) {
    MV2SpriteDraw q = {};
    q.x = int32_t(x), q.y = int32_t(y), q.sprite = sprite, q.colour0 = q.colour1 = colour;
    q.scaleX = q.scaleY = scale, q.cosine = c, q.sine = s;
    MV2Draw2DSpriteRotated(&q);
}

// One cell of a tile as two triangles; `fade` makes the corners away from (fx, fy) clear.
void DrawCell(int32_t column, int32_t row, int32_t fx, int32_t fy, bool fade) {
    const int32_t tile = (row / 4) * 10 + column / 4;
    TvTexture* texture = gMV2Map.tiles[gMV2Map.tileSet ? 1 : 0][tile];
    if (!texture) return;
    const float u0 = float(column % 4) / 4.0f, v0 = float(row % 4) / 4.0f;
    const float x0 = ScreenX(float(column * 16)), y0 = ScreenY(float(row * 16));
    const float size = 16.0f * gMV2Map.zoom;
    TvIm2DVertex v[4];
    const float cx[4] = {0, 0, 1, 1}, cy[4] = {0, 1, 0, 1};
    for (int32_t i = 0; i < 4; ++i) {
        uint32_t colour = 0xFFFFFFFFu;
        if (fade) {
            // Corners on the visited neighbour's side stay; the others fade out.
            const bool nearX = fx == 0 || (fx < 0 ? cx[i] == 0 : cx[i] == 1);
            const bool nearY = fy == 0 || (fy < 0 ? cy[i] == 0 : cy[i] == 1);
            if (!(nearX && nearY)) colour = 0x00FFFFFFu;
        }
        v[i] = {x0 + cx[i] * size, y0 + cy[i] * size, 0.0f, 20.0f, colour, 0,
                u0 + cx[i] * 0.25f, v0 + cy[i] * 0.25f};
    }
    TvIm2DVertex a[3] = {v[0], v[1], v[2]}, b[3] = {v[2], v[1], v[3]};
    TvRaster* raster = TvTextureGetRaster(texture);
    MV2Draw2DTriangleClipped(a, raster);
    MV2Draw2DTriangleClipped(b, raster);
}

struct ObjectWalk {
    int32_t clickX, clickY;
    bool click;
    MV2Object* hit;
};

TpClump* DrawObject(TpClump* clump, void* data) {
    ObjectWalk* walk = static_cast<ObjectWalk*>(data);
    MV2Object* object = MV2GetClumpObject(clump);
    const TvV3d* p = MV2HudObjectPosition(object);
    if (!p) return clump;
    const float dx = p->x - gMV2Map.playerX, dy = p->y - gMV2Map.playerY, dz = p->z - gMV2Map.playerZ;
    const bool always = (object->flags & 32u) != 0;
    const bool near = (object->flags & 4u) && dx * dx + dy * dy + dz * dz < 2500.0f;
    if (!always && !near) return clump;
    float mx, my;
    if (!MV2MapWorldToMap(p->x, p->z, &mx, &my)) return clump;
    if (!Visible(int32_t(mx) / 16, int32_t(my) / 16)) return clump;
    const MV2ObjectType* type = MV2GetObjectType(MV2HudObjectType(object));
    const uint32_t kind = type ? type->words[32] >> 28 : 0;
    uint32_t colour = MV2RadarBlipColour(int32_t(kind), 255);
    const bool isPlayer = object == gMV2Map.player;
    if (isPlayer && gMV2Render.phase >= 500) colour = 0xFFFFFFFFu;
    const float x = ScreenX(mx), y = ScreenY(my);
    const uint32_t key = TypeKey(object);
    if (gMV2Map.freeScroll && key < uint32_t(kMV2Sprite2DRows)) {
        if (type && (type->words[7] & (1u << 13)) && object->matrix) {
            float fx, fz;
            Rotate(object->matrix->at.x, object->matrix->at.z, gMV2Map.level.rotation, &fx, &fz);
            if (gMV2Map.level.levelNumber == 1 || gMV2Map.level.levelNumber == 2) fx = -fx, fz = -fz;
            const float len = std::sqrt(fx * fx + fz * fz);
            Icon(int32_t(key), x, y, 1.0f, colour, len > 0 ? fx / len : 1.0f, len > 0 ? fz / len : 0.0f);
        } else {
            MV2Draw2DSpriteSized(int32_t(x) - 16, int32_t(y) - 16, 32, 32, int32_t(key), colour);
        }
    } else {
        MV2Set2DColourARGB(colour);
        MV2Draw2DRect(int32_t(x) - 1, int32_t(y) - 1, int32_t(x) + 2, int32_t(y) + 2, 0);
        if (object->scriptId == int32_t(0xFFFF0001)) MV2Draw2DIcon(int32_t(x), int32_t(y), 197, colour);
        if (object->scriptId == int32_t(0xFFFF0002)) MV2Draw2DIcon(int32_t(x), int32_t(y), 198, colour);
        if (isPlayer) Icon(94, x, y, 0.5f, colour, gMV2Map.spinCos, gMV2Map.spinSin);
    }
    if (gMV2Map.selectedKey != 65535 && key == gMV2Map.selectedKey) {
        const uint32_t alpha = 255 - std::min<uint32_t>(255, gMV2Map.selectedMs * 255 / 1000);
        Icon(94, x, y, 0.002f * float(gMV2Map.selectedMs), alpha << 24 | 0xFF, gMV2Map.spinCos,
             gMV2Map.spinSin);
    }
    if (walk->click && std::abs(walk->clickX - int32_t(x)) <= 8 && std::abs(walk->clickY - int32_t(y)) <= 8)
        walk->hit = object;
    return clump;
}

void DrawLegend() {
    float sx, sy;
    MV2GetScreenScale(&sx, &sy);
    MV2Set2DColourARGB((kMV2HudColour & 0xFFFFFF) | 0x20000000u);
    MV2Draw2DRect(160, 52, 560, 132, 0);
    int32_t x = 160, y = 52;
    for (MV2LegendRow& row : gMV2Map.legend) {
        const int32_t tab = int32_t((row.flags >> 3) & 3);
        if (row.flags & 4) {
            if (tab == gMV2Map.selectedTab) MV2Draw2DRect(160 + 130 * tab, 32, 290 + 130 * tab, 52, 0);
            MV2Set2DColourARGB(tab == gMV2Map.selectedTab ? 0xFFFFE000u : kMV2HudColour);
            MV2DrawText({(160.0f + 130.0f * float(tab) + 65.0f) * sx, 42.0f * sy}, {130, 20}, &row.text, 0, 8);
            continue;
        }
        if (tab != gMV2Map.selectedTab) continue;
        if (row.colour == 0) {
            for (int32_t t = 0; t < kMV2ObjectTypes; ++t) {
                const MV2ObjectType* type = MV2GetObjectType(t);
                if (type && (type->words[33] & 0xFFFu) == row.key) {
                    row.colour = MV2RadarBlipColour(int32_t(type->words[32] >> 28), 255);
                    break;
                }
            }
        }
        if (row.flags & 1) {
            MV2Draw2DIcon(x, y, int32_t(row.key < 320 ? row.key : 0), row.colour);
        } else {
            MV2Set2DColourARGB(row.colour);
            MV2Draw2DRect(x + 4, y + 6, x + 12, y + 14, 0);
        }
        MV2Set2DColourARGB(kMV2HudColour);
        MV2DrawText({float(x + 50), float(y + 10)}, {50, 20}, &row.text, 1, 8);
        y += 20;
        if (y > 112 || (row.flags & 2)) x += 200, y = 52;
    }
}

void LegendClick() {
    int32_t x, y;
    if (!MV2GetMouseClick(0, &x, &y)) return;
    if (y >= 33 && y <= 51 && x >= 160 && x <= 419) {
        gMV2Map.selectedTab = (x - 160) / 130;
        PlayUi("SCANNING");
        return;
    }
    if (y < 53 || y > 131 || x < 160 || x > 559) return;
    const int32_t column = (x - 160) / 200, line = (y - 52) / 20;
    int32_t c = 0, r = 0;
    for (const MV2LegendRow& row : gMV2Map.legend) {
        if ((row.flags & 4) || int32_t((row.flags >> 3) & 3) != gMV2Map.selectedTab) continue;
        if (c == column && r == line) {
            gMV2Map.selectedKey = row.key;
            gMV2Map.selectedMs = 0;
            PlayUi("SCANNING");
            return;
        }
        if (++r > 3 || (row.flags & 2)) ++c, r = 0;
    }
}

} // namespace

int32_t MV2MapReadLevelFields(const uint8_t* header, size_t size, uint8_t flags, int32_t levelNumber,
                              MV2LevelMapFields* out) {
    *out = {};
    if (!header || size < 34 * 4) return 0; // through word 33, past both names
    auto w = [header](int32_t i) { return int32_t(MV2ReadU32(header + 4 * i)); };
    out->flags = flags;
    out->firstReference = w(28), out->secondReference = w(27);
    out->firstX = w(31), out->firstY = w(32), out->secondX = w(29), out->secondY = w(30);
    out->rotation = w(33) & 3;
    // Stored names may lack their terminator: at most 16 characters are taken.
    std::memcpy(out->firstBase, header + 76, kMV2MapBaseName);
    std::memcpy(out->secondBase, header + 92, kMV2MapBaseName);
    out->firstBase[kMV2MapBaseName] = out->secondBase[kMV2MapBaseName] = 0;
    out->levelNumber = levelNumber;
    return 1;
}

void MV2MapSetLevelFields(const MV2LevelMapFields* fields) {
    gMV2Map.level = *fields;
    gMV2Map.transformSet = 0;
    MV2MapClearVisited();
}

void MV2MapInitialiseTransform() {
    MV2MapState& m = gMV2Map;
    m.zoom = 1.0f;
    MV2Object* first = MV2FindObjectByScriptID(m.level.firstReference);
    MV2Object* second = MV2FindObjectByScriptID(m.level.secondReference);
    const TvV3d* p0 = MV2HudObjectPosition(first);
    const TvV3d* p1 = MV2HudObjectPosition(second);
    if (!p0 || !p1) return;
    float a0, b0, a1, b1;
    Rotate(p0->x, p0->z, m.level.rotation, &a0, &b0);
    Rotate(p1->x, p1->z, m.level.rotation, &a1, &b1);
    // References sharing a coordinate give no scale: the map stays unavailable.
    if (a0 == a1 || b0 == b1) {
        m.transformSet = 0;
        return;
    }
    m.a0 = a0, m.b0 = b0, m.a1 = a1, m.b1 = b1;
    m.transformSet = 1;
}

int32_t MV2MapWorldToMap(float x, float z, float* mapX, float* mapY) {
    const MV2MapState& m = gMV2Map;
    if (!m.transformSet) return 0;
    float a, b;
    Rotate(x, z, m.level.rotation, &a, &b);
    *mapX = (a - m.a0) / (m.a1 - m.a0) * float(m.level.secondX - m.level.firstX) + float(m.level.firstX);
    *mapY = (b - m.b0) / (m.b1 - m.b0) * float(m.level.secondY - m.level.firstY) + float(m.level.firstY);
    return 1;
}

void MV2MapFreeTiles() {
    for (auto& set : gMV2Map.tiles)
        for (TvTexture*& t : set) {
            if (t) TvTextureDestroy(t);
            t = nullptr;
        }
}

int32_t MV2MapLoadTiles() {
    MV2MapFreeTiles();
    const char* bases[2] = {gMV2Map.level.firstBase, gMV2Map.level.secondBase};
    for (int32_t set = 0; set < 2; ++set) {
        if (!bases[set][0]) {
            if (set == 1) {
                FreeLabels();
                MV2InitialiseRadar();
            }
            continue;
        }
        for (int32_t i = 0; i < kMV2MapTiles; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "%.16s%02d", bases[set], i);
            gMV2Map.tiles[set][i] = TvTextureRead(name, nullptr);
        }
    }
    return 1;
}

void MV2MapReset() {
    FreeLabels();
}

void MV2MapClearVisited() {
    std::memset(gMV2Map.visited, 0, sizeof gMV2Map.visited);
}

void MV2MapAddLabel(MV2Object* object, int32_t labelId) {
    const TvV3d* p = MV2HudObjectPosition(object);
    for (MV2MapLabel& l : gMV2Map.labels) {
        if (l.id != -1) continue;
        l.id = labelId;
        l.text = {};
        l.text.id = uint32_t(labelId);
        MV2GetText(&l.text);
        l.x = p ? p->x : 0.0f, l.y = p ? p->y : 0.0f, l.z = p ? p->z : 0.0f;
        return;
    }
}

void MV2MapRemoveLabel(int32_t labelId) {
    for (MV2MapLabel& l : gMV2Map.labels)
        if (l.id == labelId) l.id = -1;
}

void MV2MapSetAvailable(int32_t flag) {
    gMV2Map.available = flag;
}

void MV2MapSelectTileSet(int32_t set) {
    gMV2Map.tileSet = set > 0 ? 1 : 0;
}

int32_t MV2MapObjectToGrid(MV2Object* object, float* x, float* y) {
    const TvV3d* p = MV2HudObjectPosition(object);
    if (!p || !object->clump) return 0;
    return MV2MapWorldToMap(p->x, p->z, x, y);
}

int32_t MV2MapCellVisited(int32_t column, int32_t row) {
    if (column < 0 || column >= kMV2MapColumns || row < 0 || row >= kMV2MapRows) return 0;
    return (gMV2Map.visited[row][column / 8] >> (column % 8)) & 1;
}

void MV2MapMarkVisitedAround(int32_t column, int32_t row) {
    if (column == 0 && row == 0) return;
    for (int32_t r = row - 1; r <= row + 1; ++r)
        for (int32_t c = column - 1; c <= column + 1; ++c)
            if (c >= 0 && c < kMV2MapColumns && r >= 0 && r < kMV2MapRows)
                gMV2Map.visited[r][c / 8] |= uint8_t(1u << (c % 8));
}

void MV2MapSetVisited(MV2Object* object) {
    if (!(gMV2Map.level.flags & 4) || !object || object != MV2GetPlayerObject()) return;
    float px, py;
    if (!MV2MapObjectToGrid(object, &px, &py)) return;
    const float zoom = gMV2Map.zoom > 0.0f ? gMV2Map.zoom : 1.0f;
    MV2MapMarkVisitedAround(int32_t((px / zoom + gMV2Map.scrollX) / 16.0f),
                            int32_t((py / zoom + gMV2Map.scrollY) / 16.0f));
}

int32_t MV2MapOpen(MV2Object* player) {
    MV2MapState& m = gMV2Map;
    m.zoom = 1.0f, m.scrollX = m.scrollY = 0.0f;
    m.savedView = MV2GetCameraMode();
    MV2SetCameraMode(m.savedView & ~0xFF);
    MV2ObjectSendMessage(player, 17, 0, 0);
    m.player = player;
    m.playerHandle = player ? player->handle : 0;
    float x, y;
    if (MV2MapObjectToGrid(player, &x, &y))
        m.scrollX = x - 320.0f, m.scrollY = y - 160.0f - float(kMV2MapPanel);
    for (int32_t i = 0; i < kMV2LegendRows; ++i) {
        MV2LegendRow& row = m.legend[i];
        row.textId = kLegend[i].textId, row.key = kLegend[i].key, row.flags = kLegend[i].flags;
        row.text = {};
        row.text.id = row.textId;
        MV2GetText(&row.text);
    }
    m.selectedKey = 65535;
    MV2ShowMouseCursor();
    m.open = 1;
    return 1;
}

void MV2MapClose() {
    MV2MapState& m = gMV2Map;
    if (!m.open) return;
    const int32_t mode = MV2GetCameraMode();
    if (mode == 0 || mode == 1) MV2SetCameraMode(2);
    MV2SetCameraMode(m.savedView);
    MV2HideMouseCursor();
    m.open = 0;
}

int32_t MV2SetMapMode(int32_t mode) {
    const bool onMap = gMV2GameState.current == 1;
    if (mode == 4) mode = onMap ? 0 : 1;
    if (mode == 0) {
        if (!onMap) return 0;
        gMV2GameState.requested = 0;
        MV2MapClose();
        return 1;
    }
    if (mode != 1 || onMap) return 0;
    MV2Object* player = MV2GetPlayerObject();
    if (!player || !gMV2Map.available || !gMV2Map.level.firstBase[0] || !MV2MapOpen(player)) return 0;
    gMV2GameState.requested = 1;
    return 1;
}

void MV2MapSetScrollMode(int32_t on) {
    on = on ? 1 : 0;
    if (on == gMV2Map.freeScroll) return;
    gMV2Map.freeScroll = on;
    if (on) gMV2Map.scrollX = 320.0f * 0.6f, gMV2Map.scrollY = float(240 - kMV2MapPanel) * 0.6f;
    PlayUi("SCANNING");
}

void MV2MapSetFreeScroll(int32_t on) {
    MV2MapSetScrollMode(on);
}

void MV2RenderMap() {
    MV2MapState& m = gMV2Map;
    const uint32_t ms = MV2GetFrameMilliseconds();
    if (!gMV2Paused) {
        if (m.selectedKey != 65535) {
            m.selectedMs += ms;
            if (m.selectedMs >= 1000) m.selectedKey = 65535;
        }
        m.blink = (m.blink + ms) % 4000;
    }
    MV2HudBeginDraw(0);
    MV2Object* player = MV2GetPlayerObject();
    if (player) MV2ObjectSendMessage(player, 68, 0, 0);
    const float spin = float(gMV2Render.phase) * 0.36f * 3.14159265f / 180.0f;
    m.spinCos = std::cos(spin) * m.zoom, m.spinSin = std::sin(spin) * m.zoom;
    const TvV3d* pp = m.player && MV2ObjectHandleAlive(m.playerHandle) ? MV2HudObjectPosition(m.player) : nullptr;
    m.playerX = pp ? pp->x : 0.0f, m.playerY = pp ? pp->y : 0.0f, m.playerZ = pp ? pp->z : 0.0f;
    int32_t dx = 0, dy = 0;
    MV2TakeMouseDelta(&dx, &dy);
    if (m.freeScroll) {
        m.zoom = 2.5f;
        m.scrollX = std::clamp(m.scrollX + float(dx), -256.0f, 640.0f);
        m.scrollY = std::clamp(m.scrollY + float(dy), -128.0f, 320.0f);
    } else {
        m.zoom = 1.0f, m.scrollX = m.scrollY = 0.0f;
    }
    MV2Rect2D saved;
    MV2Get2DClipRect(&saved);
    MV2Rect2D area = {0, kMV2MapPanel, MV2HudScreenWidth(), MV2HudScreenHeight()};
    MV2Set2DClipRect(&area);
    TvRenderStateSet(kTvRenderStateTextureAddress, 3);
    TvRenderStateSet(kTvRenderStateZTestEnable, 0);
    ObjectWalk walk = {};
    const bool chart = (m.level.flags & 4) != 0;
    if (chart) {
        for (int32_t r = 0; r < kMV2MapRows; ++r)
            for (int32_t c = 0; c < kMV2MapColumns; ++c) {
                if (!MV2MapCellVisited(c, r)) continue;
                DrawCell(c, r, 0, 0, false);
                for (int32_t nr = -1; nr <= 1; ++nr)
                    for (int32_t nc = -1; nc <= 1; ++nc)
                        if ((nr || nc) && c + nc >= 0 && c + nc < kMV2MapColumns && r + nr >= 0 &&
                            r + nr < kMV2MapRows && !MV2MapCellVisited(c + nc, r + nr))
                            DrawCell(c + nc, r + nr, -nc, -nr, true);
            }
    }
    if (!chart || gMV2GameState.menuDepth == 0) {
        if (chart) {
            MV2Set2DColourARGB((kMV2HudColour & 0xFFFFFF) | 0x20000000u);
            for (int32_t gx = 0; gx <= 640; gx += 32) {
                MV2Move2DPen(int32_t(ScreenX(float(gx))), kMV2MapPanel);
                MV2Draw2DLineTo(int32_t(ScreenX(float(gx))), 480);
            }
            for (int32_t gy = 0; gy <= 320; gy += 32) {
                MV2Move2DPen(0, int32_t(ScreenY(float(gy))));
                MV2Draw2DLineTo(640, int32_t(ScreenY(float(gy))));
            }
            const float band = float(kMV2MapPanel) + float(480 - kMV2MapPanel) * float(m.blink) / 4000.0f;
            MV2Set2DColourARGB((kMV2HudColour & 0xFFFFFF) | uint32_t(m.blink * 64 / 4000) << 24);
            MV2Draw2DRect(0, int32_t(band), 640, int32_t(band) + 5, 0);
        }
        walk.click = m.zoom == 1.0f && MV2GetMouseClick(1, &walk.clickX, &walk.clickY);
        if (TpWorld* world = TpWorldGetCurrent()) TpWorldForAllClumps(world, DrawObject, &walk);
        if (walk.hit && walk.hit != player) {
            MV2SetTargetedObject(walk.hit);
            PlayUi("TOOLSELECT");
        }
        if (chart) {
            int32_t cx, cy;
            if (MV2GetMouseClick(0, &cx, &cy) && cy >= kMV2MapPanel && m.transformSet) {
                // Back through the zoom, scroll and transform to a world (x, z).
                const float mx = float(cx) / m.zoom + m.scrollX;
                const float my = float(cy - kMV2MapPanel) / m.zoom + m.scrollY;
                const float a = (mx - float(m.level.firstX)) / float(m.level.secondX - m.level.firstX) *
                                    (m.a1 - m.a0) + m.a0;
                const float b = (my - float(m.level.firstY)) / float(m.level.secondY - m.level.firstY) *
                                    (m.b1 - m.b0) + m.b0;
                float x = a, z = b;
                switch (m.level.rotation & 3) {
                case 1: x = b, z = -a; break;
                case 2: x = -a, z = -b; break;
                case 3: x = -b, z = a; break;
                default: break;
                }
                MV2RadarSetMapFocus(x, z);
                PlayUi("SCANNING");
            }
            float fx, fz, mx, my;
            if (MV2RadarGetMapFocus(&fx, &fz) && MV2MapWorldToMap(fx, fz, &mx, &my))
                Icon(94, ScreenX(mx), ScreenY(my), 0.5f * m.zoom, 0xFFFFFFFFu, 1.0f, 0.0f);
            MV2Object* objective = nullptr;
            uint32_t handle = 0;
            MV2HudGetObjective(&objective, &handle);
            if (objective && MV2MapObjectToGrid(objective, &mx, &my))
                Icon(94, ScreenX(mx), ScreenY(my), 0.5f * m.zoom, 0xC000FFFFu, 1.0f, 0.0f);
            for (MV2MapLabel& l : m.labels) {
                if (l.id == -1 || !MV2MapWorldToMap(l.x, l.z, &mx, &my)) continue;
                if (ScreenY(my) < float(area.top)) continue;
                MV2Set2DColourARGB(0xFF00FFFFu);
                MV2DrawText({ScreenX(mx), ScreenY(my)}, {160, 20}, &l.text, 0, 8);
            }
            if (m.level.levelNumber == 0) {
                DrawLegend();
                LegendClick();
            }
            MV2DrawRepairDroneMapLabels();
            MV2DrawMapCursor(620, 440);
            MV2UpdateTarget();
            MV2DrawBuiltInSubtitle(MV2HudScreenWidth());
        }
    }
    MV2Set2DClipRect(&saved);
    TvRenderStateSet(kTvRenderStateTextureAddress, 1);
    MV2DrawHudOverlay();
}
