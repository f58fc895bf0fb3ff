#include "shell/savegame.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "engine/core/stream.h"
#include "game/frontend/font.h"
#include "game/objects/camera.h"
#include "platform/crt/crt.h"
#include "shell/bytes.h"
#include "shell/errors.h"
#include "shell/frametimer.h"
#include "shell/gameinit.h"
#include "shell/gamestate.h"

MV2SaveState gMV2Save = {-1, {}, 0, 0, {-1, 0, 0, 0}, {}, 0.0f, 0, 1};

namespace {

constexpr int32_t kGameModeLoadedGame = 8;
constexpr int32_t kSequenceGameRunning = 9;
constexpr const char* kSaveTextFile = ".\\DATA\\vmulang.dat";

// Reads fields in stored order from a bounded buffer; once a field runs past the end every
// later read fails too.
struct Cursor {
    const uint8_t* data;
    size_t length;
    size_t at = 0;
    bool ok = true;

    bool Bytes(void* out, size_t n) {
        if (!ok || n > length - at) return ok = false;
        std::memcpy(out, data + at, n);
        at += n;
        return true;
    }
    bool Int(int32_t* out) {
        uint8_t b[4];
        if (!Bytes(b, 4)) return false;
        *out = int32_t(MV2ReadU32(b));
        return true;
    }
    bool Real(float* out) {
        uint8_t b[4];
        if (!Bytes(b, 4)) return false;
        uint32_t bits = MV2ReadU32(b);
        std::memcpy(out, &bits, 4);
        return true;
    }
};

bool WriteInt(TvStream* s, int32_t v) {
    return TvStreamWriteInt(s, &v, 4) != nullptr;
}
bool WriteReal(TvStream* s, float v) {
    return TvStreamWriteReal(s, &v, 4) != nullptr;
}

bool WriteRecord(TvStream* s, const MV2SaveRecord& r) {
    bool ok = TvStreamWrite(s, r.name, kMV2SaveNameSize) && WriteInt(s, r.missionRow) &&
              WriteInt(s, r.counter0) && WriteInt(s, r.counter2) && WriteInt(s, r.equipmentLevel) &&
              WriteReal(s, r.hullFraction) && WriteInt(s, r.counter1) &&
              TvStreamWrite(s, r.levelSwitches, kMV2LevelSwitchStateSize) &&
              TvStreamWrite(s, r.missionState, kMV2MissionStateSize) && WriteInt(s, r.subType);
    const MV2PlayerLoadout& l = r.loadout;
    ok = ok && WriteInt(s, l.numWeapons);
    for (int32_t i = 0; ok && i < l.numWeapons; i++) {
        ok = WriteInt(s, l.weapons[i].slot) && WriteInt(s, l.weapons[i].ammunition) &&
             WriteInt(s, l.weapons[i].mount);
    }
    ok = ok && WriteInt(s, l.currentWeaponSlot) && WriteInt(s, l.numTools);
    for (int32_t i = 0; ok && i < l.numTools; i++) {
        ok = WriteInt(s, l.tools[i].kind) && WriteInt(s, l.tools[i].word);
    }
    ok = ok && WriteInt(s, l.currentTool);
    for (int32_t c : r.script41.counters)
        ok = ok && WriteInt(s, c);
    for (float v : r.script41.values)
        ok = ok && WriteReal(s, v);
    return ok;
}

// The whole record of a slot file (the caller frees it); null when the file is missing or its
// record is shorter than `minimum` or longer than any save.
uint8_t* ReadRecord(int32_t slot, uint32_t minimum, uint32_t* length) {
    char name[32];
    if (!MV2SaveFileName(slot, name, sizeof name)) return nullptr;
    TvStream* s = TvStreamOpen(TV_STREAM_FILENAME, TV_STREAM_READ, name);
    if (!s) return nullptr;
    int32_t stored = 0;
    uint8_t* data = nullptr;
    if (TvStreamReadInt(s, &stored, 4) && stored > 0 && uint32_t(stored) <= kMV2MaxSaveRecord &&
        uint32_t(stored) >= minimum) {
        data = static_cast<uint8_t*>(TvMalloc(uint32_t(stored)));
        if (data && TvStreamRead(s, data, uint32_t(stored)) != uint32_t(stored)) {
            TvFree(data);
            data = nullptr;
        }
    }
    TvStreamClose(s, nullptr);
    *length = uint32_t(stored);
    return data;
}

} // namespace

const char* MV2SaveFileName(int32_t slot, char* out, size_t size) {
    if (slot < 0 || slot >= kMV2SaveSlots) return nullptr;
    std::snprintf(out, size, "MAROVANT.%03d", int(slot));
    return out;
}

int32_t MV2CollectSaveRecord(MV2SaveRecord* out) {
    if (!MV2GetPlayerObject()) return 0;
    *out = {};
    out->hullFraction = MV2GetPlayerHullFraction();
    MV2GetAwardCounter(0, 0, &out->counter0);
    MV2GetAwardCounter(0, 1, &out->counter1);
    MV2GetAwardCounter(0, 2, &out->counter2);
    out->equipmentLevel = MV2GetEquipmentLevel();
    out->missionRow = MV2GetCurrentMission();
    MV2GetLevelSwitchState(out->levelSwitches);
    std::memcpy(out->missionState, MV2GetMissionStateBlock(), kMV2MissionStateSize);
    out->subType = MV2GetCurrentSubType();
    MV2GetPlayerLoadout(&out->loadout);
    MV2GetScript41State(&out->script41);
    return 1;
}

int32_t MV2WriteSaveRecord(int32_t slot, const MV2SaveRecord* record) {
    char name[32], temporary[40];
    if (!MV2SaveFileName(slot, name, sizeof name)) return 0;
    const MV2PlayerLoadout& l = record->loadout;
    if (l.numWeapons < 0 || l.numWeapons > kMV2MaxLoadoutEntries || l.numTools < 0 ||
        l.numTools > kMV2MaxLoadoutEntries)
        return 0;
    TvStream* memory = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_WRITE, nullptr);
    if (!memory) return 0;
    bool ok = WriteRecord(memory, *record);
    TvMemory buffer = {nullptr, 0};
    ok = TvStreamClose(memory, &buffer) && ok;

    // The new save goes to a file of its own first and replaces the old one only when whole.
    std::snprintf(temporary, sizeof temporary, "%s.tmp", name);
    TvStream* file = ok ? TvStreamOpen(TV_STREAM_FILENAME, TV_STREAM_WRITE, temporary) : nullptr;
    if (file) {
        int32_t length = int32_t(buffer.length);
        ok = TvStreamWriteInt(file, &length, 4) &&
             TvStreamWrite(file, buffer.start, uint32_t(buffer.length));
        ok = TvStreamClose(file, nullptr) && ok;
        std::string from = PlatformResolvePath(temporary);
        ok = ok && std::rename(from.c_str(), PlatformResolvePath(name).c_str()) == 0;
        if (!ok) std::remove(from.c_str());
    } else {
        ok = false;
    }
    TvFree(buffer.start);
    return ok ? 1 : 0;
}

int32_t MV2ParseSaveRecord(const uint8_t* data, size_t length, MV2SaveRecord* out) {
    *out = {};
    Cursor c{data, length};
    c.Bytes(out->name, kMV2SaveNameSize);
    out->name[kMV2SaveNameSize - 1] = 0;
    c.Int(&out->missionRow);
    c.Int(&out->counter0);
    c.Int(&out->counter2);
    c.Int(&out->equipmentLevel);
    c.Real(&out->hullFraction);
    c.Int(&out->counter1);
    c.Bytes(out->levelSwitches, kMV2LevelSwitchStateSize);
    c.Bytes(out->missionState, kMV2MissionStateSize);
    c.Int(&out->subType);
    MV2PlayerLoadout& l = out->loadout;
    if (!c.Int(&l.numWeapons) || l.numWeapons < 0 || l.numWeapons > kMV2MaxLoadoutEntries) return 0;
    for (int32_t i = 0; i < l.numWeapons; i++) {
        c.Int(&l.weapons[i].slot);
        c.Int(&l.weapons[i].ammunition);
        c.Int(&l.weapons[i].mount);
    }
    c.Int(&l.currentWeaponSlot);
    if (!c.Int(&l.numTools) || l.numTools < 0 || l.numTools > kMV2MaxLoadoutEntries) return 0;
    for (int32_t i = 0; i < l.numTools; i++) {
        c.Int(&l.tools[i].kind);
        c.Int(&l.tools[i].word);
    }
    c.Int(&l.currentTool);
    for (int32_t& v : out->script41.counters)
        c.Int(&v);
    for (float& v : out->script41.values)
        c.Real(&v);
    return c.ok ? 1 : 0;
}

int32_t MV2ReadSaveRecord(int32_t slot, MV2SaveRecord* out) {
    uint32_t length = 0;
    uint8_t* data = ReadRecord(slot, 1, &length);
    if (!data) return 0;
    int32_t result = MV2ParseSaveRecord(data, length, out);
    TvFree(data);
    return result;
}

int32_t MV2CheckSaveRecord(const MV2SaveRecord* r) {
    if (r->missionRow < 0 || r->missionRow >= kMV2MissionRows) return 0;
    // -1 would reset the load-out choices instead of selecting a type.
    if (r->subType < 0) return 0;
    const MV2PlayerLoadout& l = r->loadout;
    for (int32_t i = 0; i < l.numWeapons; i++) {
        if (l.weapons[i].slot < 0 || l.weapons[i].slot >= kMV2WeaponSlots) return 0;
        if (l.weapons[i].mount < 0 || l.weapons[i].mount >= kMV2SubMounts) return 0;
    }
    for (int32_t i = 0; i < l.numTools; i++) {
        if (l.tools[i].kind < 0 || l.tools[i].kind >= kMV2ToolKinds) return 0;
    }
    if (l.currentWeaponSlot < -1 || l.currentWeaponSlot >= kMV2WeaponSlots) return 0;
    if (l.currentTool < -1 || l.currentTool >= kMV2ToolKinds) return 0;
    return 1;
}

int32_t MV2SaveGame(int32_t, int32_t slot, const char* name) {
    if (gMV2Save.loading) return 1;
    if (gMV2Save.savingForbidden || slot < 0 || slot >= kMV2SaveSlots) return 0;
    MV2SaveRecord record;
    if (!MV2CollectSaveRecord(&record)) return 0;
    std::snprintf(record.name, sizeof record.name, "%s", name ? name : "");
    if (!MV2WriteSaveRecord(slot, &record)) return 0;
    gMV2Save.currentSlot = slot;
    std::memcpy(gMV2Save.currentName, record.name, kMV2SaveNameSize);
    gMV2Save.indicatorCountdown = kMV2SaveIndicatorSeconds;
    return 1;
}

void MV2AutoSave() {
    if (gMV2Save.loading) return;
    MV2SaveGame(0, gMV2Save.currentSlot, gMV2Save.currentName);
}

int32_t MV2LoadGame(int32_t slot) {
    gMV2Save.loading = 1;
    MV2SaveRecord r;
    if (!MV2ReadSaveRecord(slot, &r) || !MV2CheckSaveRecord(&r)) {
        gMV2Save.loading = 0;
        return 0;
    }
    std::memcpy(gMV2Save.currentName, r.name, kMV2SaveNameSize);
    // Mode 8, requested then current; a pending sequence change completes first.
    gMV2GameState.requested = kGameModeLoadedGame;
    MV2SetGameMode();
    gMV2GameState.current = kGameModeLoadedGame;
    MV2ShowTitleScreen();
    gMV2GameState.sequence = kSequenceGameRunning;
    gMV2GameStateCompanion.requestedSequence = kSequenceGameRunning;
    MV2MissionSelect(r.missionRow);
    MV2SetLevelSwitchState(r.levelSwitches);
    std::memcpy(MV2GetMissionStateBlock(), r.missionState, kMV2MissionStateSize);
    if (!MV2StartLevel()) {
        MV2ErrorBox("Couldn't start a one player game");
        gMV2Save.loading = 0;
        return 0;
    }
    if (!MV2GetPlayerObject()) { // a level without the player's craft has nothing to restore
        gMV2Save.loading = 0;
        return 0;
    }
    MV2SetAwardCounter(0, 0, r.counter0);
    MV2SetAwardCounter(0, 2, r.counter2);
    MV2SetAwardCounter(0, 1, r.counter1);
    MV2SelectSub(r.subType);
    MV2SetEquipmentLevel(r.equipmentLevel);
    MV2SetPlayerLoadout(&r.loadout);
    MV2SetCameraMode(1);
    MV2SetScript41State(&r.script41);
    MV2MissionStart(r.missionRow, 0);
    gMV2Save.currentSlot = slot;
    gMV2Save.loading = 0;
    return 1;
}

int32_t MV2ReadSaveName(int32_t slot, char* out) {
    uint32_t length = 0;
    uint8_t* data = ReadRecord(slot, kMV2SaveNameSize, &length);
    if (!data) return 0;
    std::memcpy(out, data, kMV2SaveNameSize);
    out[kMV2SaveNameSize - 1] = 0;
    TvFree(data);
    return 1;
}

int32_t MV2ReadSaveHeader(int32_t slot) {
    uint32_t length = 0;
    uint8_t* data = ReadRecord(slot, kMV2SaveNameSize + 12, &length);
    if (!data) return 0;
    const uint8_t* p = data + kMV2SaveNameSize;
    gMV2Save.header = {slot, int32_t(MV2ReadU32(p)), int32_t(MV2ReadU32(p + 4)),
                       int32_t(MV2ReadU32(p + 8))};
    TvFree(data);
    return 1;
}

const char* MV2RankTitle(int32_t score, int32_t set) {
    static const int32_t kThresholds[6] = {100, 80, 50, 20, 2, 0};
    for (int32_t i = 0; i < 6; i++) {
        if (score >= kThresholds[i]) return gMV2Save.texts[(set ? 12 : 18) - i];
    }
    return nullptr;
}

void MV2DrawSaveStats(int32_t x, int32_t y) {
    const MV2SaveHeader& h = gMV2Save.header;
    if (h.missionRow < 0 || h.missionRow >= kMV2MissionRows) return;
    const auto& t = gMV2Save.texts;
    const char* title = MV2RankTitle(MV2GetMissionRankValue(h.missionRow), 1);
    char line[3][160];
    std::snprintf(line[0], sizeof line[0], "%s: %s", t[2], title ? title : "");
    std::snprintf(line[1], sizeof line[1], "%s: %d    %s: %d", t[3], int(h.counter0), t[4],
                  int(h.counter2));
    std::snprintf(line[2], sizeof line[2], "%s: %d%% %s", t[5],
                  int(MV2GetMissionCompletion(h.missionRow)), t[6]);
    for (int32_t i = 0; i < 3; i++)
        MV2FontDrawTextAnchored(line[i], x, y + 20 * i, kMV2SaveStatsColour, 1, 0);
}

int32_t MV2LoadSaveScreenText() {
    TvFileInterface* f = TV_ENGINE ? TvEngineGetFileInterface() : nullptr;
    void* file = f ? f->open(kSaveTextFile, "rb") : nullptr;
    if (!file) {
        MV2ErrorBox("vmulang.dat could not be opened or does not exist");
        return 0;
    }
    long length = f->length(file);
    if (length < 0 || size_t(length) > kMV2SaveTextSize) {
        f->close(file);
        MV2ErrorBox("vmulang.dat bigger than string array");
        return 0;
    }
    std::memset(gMV2Save.texts, 0, sizeof gMV2Save.texts);
    size_t read = length > 0 ? f->read(gMV2Save.texts, 1, size_t(length), file) : 0;
    f->close(file);
    for (auto& field : gMV2Save.texts)
        field[kMV2SaveTextFieldSize - 1] = 0;
    return read == size_t(length) ? 1 : 0;
}

void MV2UpdateSaveClock() {
    gMV2Save.clockMs += MV2GetFrameMilliseconds();
    if (gMV2Save.clockFlag && gMV2Save.clockMs > 5000) gMV2Save.clockFlag = 0;
}
