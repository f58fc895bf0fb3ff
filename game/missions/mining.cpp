#include "game/missions/mining.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "engine/core/matrix.h"
#include "engine/world/random.h"
#include "game/creatures/subai.h"
#include "game/missions/city.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/objecttypes.h"
#include "shell/bytes.h"
#include "shell/frametimer.h"

MV2Mining gMV2Mining = {};

namespace {

constexpr int32_t kCargoType = 45;
constexpr float kRepairBelow = 0.7f;
constexpr float kOutputFloor = 0.2f;
constexpr float kProductionTime = 1800000.0f;

// The part ids of the four sites: output, middle, base 0, base 1, main, station, and each
// part's two warning lights.
struct SiteIds {
    int32_t output, outputLights[2];
    int32_t middle, middleLights[2];
    int32_t base[2], baseLights[2];
    int32_t main, mainLights[2];
    int32_t station;
    int32_t baseCount;
    uint32_t cargoClass;
};
constexpr SiteIds kSites[kMV2MiningSites] = {
    {0x20026, {0x20057, 0x20058}, 0x20022, {0x20052, 0x20053}, {0x20024, 0x20025}, {0x20056, 0x20059},
     0x20023, {0x20054, 0x20055}, 0x20021, 2, 3},
    {0x2002C, {0x20035, 0x20034}, 0x2002F, {0x2000E, 0x20011}, {0x20030, 0x20031}, {0x20051, 0x20012},
     0x2002D, {0x2004F, 0x20050}, 0x2002E, 2, 1},
    {0x20033, {0x20008, 0x20009}, 0x20032, {0x2000A, 0x2000B}, {0x20037, 0x2001B}, {0x2000C, 0x2000D},
     0x20036, {0x20006, 0x20007}, 0x20038, 2, 2},
    {0x2003B, {0, 0}, 0, {0, 0}, {0x2003A, 0}, {0, 0}, 0x20039, {0, 0}, 0x2003C, 1, 7},
};

void SetLight(MV2MiningLight& light, int32_t id, float threshold) {
    light = {};
    light.id = id;
    light.threshold = threshold;
}

void SetPart(MV2MiningPart& part, int32_t id, int32_t light0, int32_t light1) {
    part = {};
    part.id = id;
    SetLight(part.lights[0], light0, 0.5f);
    SetLight(part.lights[1], light1, 0.2f);
}

// The sites' fixed make-up, with the figures still to come from the file.
void BuildSites() {
    for (int32_t i = 0; i < kMV2MiningSites; ++i) {
        const SiteIds& ids = kSites[i];
        MV2MiningSite& s = gMV2Mining.sites[i];
        s = {};
        s.siteWord = 0x40u + uint32_t(i);
        s.baseCount = ids.baseCount;
        s.cargoClass = ids.cargoClass;
        SetPart(s.parts[kMV2MiningOutput], ids.output, ids.outputLights[0], ids.outputLights[1]);
        SetPart(s.parts[kMV2MiningMiddle], ids.middle, ids.middleLights[0], ids.middleLights[1]);
        SetPart(s.parts[kMV2MiningBase0], ids.base[0], ids.baseLights[0], 0);
        SetPart(s.parts[kMV2MiningBase0 + 1], ids.base[1], ids.baseLights[1], 0);
        SetPart(s.parts[kMV2MiningMain], ids.main, ids.mainLights[0], ids.mainLights[1]);
        SetPart(s.parts[kMV2MiningStation], ids.station, 0, 0);
    }
}

float ReadF32(const uint8_t* p) {
    const uint32_t bits = MV2ReadU32(p);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

MV2Object* PartObject(MV2MiningPart& part) {
    return part.id ? MV2GetObjectRef(&part.object) : nullptr;
}

bool SiteIndexOk(int32_t site) {
    return site >= 0 && site < kMV2MiningSites;
}

// The site whose station is the object, or null.
MV2MiningSite* SiteOfStation(MV2Object* station, int32_t* index = nullptr) {
    if (!station) return nullptr;
    for (int32_t i = 0; i < kMV2MiningSites; ++i)
        if (PartObject(gMV2Mining.sites[i].parts[kMV2MiningStation]) == station) {
            if (index) *index = i;
            return &gMV2Mining.sites[i];
        }
    return nullptr;
}

// The answer of a part to message 13 (its state).
float AskState(MV2Object* part) {
    float value = 0.0f;
    if (part) MV2ObjectSendMessage(part, 13, 0, reinterpret_cast<intptr_t>(&value));
    return value;
}

void SendValue(MV2Object* part, float value) {
    if (part) MV2ObjectSendMessage(part, 12, 0, reinterpret_cast<intptr_t>(&value));
}

float Output(float value) {
    return value < kOutputFloor ? 0.0f : value;
}

void UpdateLights(MV2MiningPart& part) {
    MV2Object* object = PartObject(part);
    const float health = object ? MV2MiningPartHealth(object) : 0.0f;
    for (MV2MiningLight& light : part.lights) {
        MV2Object* lamp = light.id ? MV2GetObjectRef(&light.object) : nullptr;
        if (!lamp) continue;
        const int32_t lit = object && health < light.threshold ? 1 : 0;
        if (lit == light.lit) continue;
        light.lit = lit;
        MV2ObjectSendMessage(lamp, 12, lit, 0);
    }
}

void UpdateRepair(MV2MiningPart& part, int32_t site) {
    if (part.repairState == 1 && !MV2GetObjectRef(&part.repairer)) part.repairState = 0;
    MV2Object* object = PartObject(part);
    if (!object || part.repairState || !gMV2Mining.repairEnabled) return;
    if (!(MV2MiningPartHealth(object) < kRepairBelow)) return;
    if (MV2Object* drone = MV2CityLaunchRepairDrone(site, object)) {
        MV2SetObjectRef(&part.repairer, drone);
        part.repairState = 1;
    }
}

void DeliverCargo(MV2MiningSite& s) {
    MV2Object* craft = MV2GetObjectRef(&s.docked);
    MV2Object* station = PartObject(s.parts[kMV2MiningStation]);
    if (!craft) {
        s.state = 0;
        return;
    }
    const float* at = station && station->matrix ? &station->matrix->pos.x : nullptr;
    MV2Object* cargo = MV2CreateObject(kCargoType, at, nullptr);
    if (cargo) {
        MV2ObjectSendMessage(cargo, 12, intptr_t(s.cargoClass), 0);
        float amount = s.loadAmount;
        MV2ObjectSendMessage(cargo, 33, 0, reinterpret_cast<intptr_t>(&amount));
        MV2ObjectSendMessage(craft, 38, 0, reinterpret_cast<intptr_t>(cargo));
    }
    s.stock -= s.loadAmount;
    MV2ObjectSendMessage(craft, 40, 0, reinterpret_cast<intptr_t>(station));
    s.state = 3;
}

void UpdateSite(int32_t index, int32_t frameMs) {
    MV2MiningSite& s = gMV2Mining.sites[index];
    MV2MiningPart* parts = s.parts;
    const float m = AskState(PartObject(parts[kMV2MiningMain]));
    for (int32_t slot : {int32_t(kMV2MiningMain), int32_t(kMV2MiningOutput), int32_t(kMV2MiningMiddle), int32_t(kMV2MiningBase0), kMV2MiningBase0 + 1})
        UpdateLights(parts[slot]);
    for (int32_t i = 0; i < s.baseCount; ++i)
        UpdateRepair(parts[kMV2MiningBase0 + i], index);
    for (int32_t i = 0; i < s.sideCount; ++i)
        UpdateRepair(parts[kMV2MiningSide0 + i], index);
    for (int32_t slot : {int32_t(kMV2MiningOutput), int32_t(kMV2MiningMiddle), int32_t(kMV2MiningMain)})
        UpdateRepair(parts[slot], index);

    const bool full = !(s.capacity > 0.0f) || s.stock >= s.capacity;
    float outputs = 0.0f, baseHealth = 0.0f;
    for (int32_t i = 0; i < s.baseCount; ++i) {
        MV2Object* part = PartObject(parts[kMV2MiningBase0 + i]);
        const float h = part ? MV2MiningPartHealth(part) : 0.0f;
        const float value = Output(full ? 0.0f : h);
        SendValue(part, value);
        outputs += value;
        baseHealth += h;
    }
    const float p = s.baseCount > 0 ? outputs / float(s.baseCount) : 0.0f;
    float r = 1.0f, middleHealth = 1.0f;
    if (MV2Object* middle = PartObject(parts[kMV2MiningMiddle])) {
        middleHealth = MV2MiningPartHealth(middle);
        r = Output(middleHealth * p);
        SendValue(middle, r);
    }
    MV2Object* output = PartObject(parts[kMV2MiningOutput]);
    const float outputHealth = output ? MV2MiningPartHealth(output) : 0.0f;
    const float f = Output(outputHealth * p * r);
    SendValue(output, f);
    MV2Object* main = PartObject(parts[kMV2MiningMain]);
    const float mainHealth = main ? MV2MiningPartHealth(main) : 0.0f;
    SendValue(main, Output(mainHealth));
    float sideHealth = 0.0f;
    for (int32_t i = 0; i < s.sideCount; ++i)
        if (MV2Object* side = PartObject(parts[kMV2MiningSide0 + i])) sideHealth += MV2MiningPartHealth(side);
    float fill = s.capacity > 0.0f ? s.stock / s.capacity : 0.0f;
    if (MV2Object* station = PartObject(parts[kMV2MiningStation]))
        MV2ObjectSendMessage(station, 12, 0, reinterpret_cast<intptr_t>(&fill));

    s.efficiency = (middleHealth + baseHealth + mainHealth + sideHealth + outputHealth) /
                   float(s.sideCount + s.baseCount + 3);
    s.productionFactor = f;
    const float amount = s.rate / kProductionTime * float(frameMs);
    if (amount > 0.0f) s.stock += f * amount;

    if (s.state == 0 && s.stock >= s.loadAmount && m > 0.5f) {
        if (MV2Object* drone = MV2CityLaunchDrone(index)) {
            MV2SetObjectRef(&s.docked, drone);
            s.state = 1;
        }
    }
    if ((s.state == 1 || s.state == 3) && !MV2GetObjectRef(&s.docked)) s.state = 0;
    if (s.state == 4) {
        if (s.loadingLeft >= frameMs)
            s.loadingLeft -= frameMs;
        else
            DeliverCargo(s);
    }
}

void Link() {
    for (int32_t i = 0; i < kMV2MiningSites; ++i) {
        MV2MiningSite& s = gMV2Mining.sites[i];
        for (MV2MiningPart& part : s.parts) {
            if (!part.id) continue;
            if (MV2Object* object = MV2FindObjectByScriptID(part.id))
                MV2SetObjectRef(&part.object, object);
            else
                MV2ClearObjectRef(&part.object);
            for (MV2MiningLight& light : part.lights) {
                if (!light.id) continue;
                MV2Object* lamp = MV2FindObjectByScriptID(light.id);
                light.lit = 0;
                if (!lamp) {
                    MV2ClearObjectRef(&light.object);
                    continue;
                }
                MV2SetObjectRef(&light.object, lamp);
                MV2ObjectSendMessage(lamp, 12, 0, 0);
            }
        }
        if (MV2Object* station = PartObject(s.parts[kMV2MiningStation]))
            MV2ObjectSendMessage(station, 56, i, 0);
        MV2ClearObjectRef(&s.docked);
        s.state = 0;
    }
}

} // namespace

float MV2MiningPartHealth(MV2Object* part) {
    if (!part || !part->type) return 0.0f;
    const float initial = MV2TypeFloat(part->type, 1);
    return initial != 0.0f ? part->energy / initial : 0.0f;
}

int32_t MV2MiningParseFile(const uint8_t* bytes, size_t size) {
    if (!bytes || size < kMV2MiningFileSize) return 0;
    float values[16];
    for (int32_t i = 0; i < 16; ++i) {
        values[i] = ReadF32(bytes + 4 * i);
        if (!std::isfinite(values[i])) return 0;
    }
    BuildSites();
    for (int32_t i = 0; i < kMV2MiningSites; ++i) {
        MV2MiningSite& s = gMV2Mining.sites[i];
        s.rate = values[4 * i];
        s.capacity = values[4 * i + 1];
        s.stock = values[4 * i + 2];
        s.loadAmount = values[4 * i + 3];
    }
    return 1;
}

int32_t MV2MiningLoad() {
    MV2CurrentLevelWorld current;
    gMV2Mining.loadRequested = 1;
    TvFileInterface* files = TvEngineGetFileInterface();
    void* f = files && files->open ? files->open(".\\DATA\\MINING.DAT", "rb") : nullptr;
    if (!f) return 0;
    uint8_t bytes[kMV2MiningFileSize];
    const size_t read = files->read(bytes, 1, sizeof bytes, f);
    files->close(f);
    if (!MV2MiningParseFile(bytes, read)) return 0;
    Link();
    gMV2Mining.loaded = 1;
    gMV2Mining.repairEnabled = 1;
    return 1;
}

void MV2MiningLinkSiteObjects() {
    MV2CurrentLevelWorld current;
    if (!gMV2Mining.loadRequested) {
        MV2MiningLoad();
        return;
    }
    if (gMV2Mining.loaded) Link();
}

void MV2UpdateMining() {
    MV2UpdateMining(int32_t(MV2GetFrameMilliseconds()));
}

void MV2UpdateMining(int32_t frameMs) {
    MV2CurrentLevelWorld current;
    if (!gMV2Mining.loaded) return;
    for (int32_t i = 0; i < kMV2MiningSites; ++i) {
        if (i == 1 && MV2TestLevelSwitch(9)) continue;
        UpdateSite(i, frameMs);
    }
}

int32_t MV2MiningFindNearestSite(const TvV3d* position, float* distance) {
    if (!position) return -1;
    int32_t best = -1;
    float bestSquared = 1e8f;
    for (int32_t i = 0; i < kMV2MiningSites; ++i) {
        MV2Object* main = PartObject(gMV2Mining.sites[i].parts[kMV2MiningMain]);
        if (!main || !main->matrix) continue;
        const TvV3d d = TvV3dSub(main->matrix->pos, *position);
        const float squared = d.x * d.x + d.y * d.y + d.z * d.z;
        if (squared < bestSquared) {
            bestSquared = squared;
            best = i;
        }
    }
    if (best >= 0 && distance) *distance = std::sqrt(bestSquared);
    return best;
}

MV2Object* MV2MiningPickTargetPart(int32_t site) {
    if (!SiteIndexOk(site)) return nullptr;
    MV2MiningPart* parts = gMV2Mining.sites[site].parts;
    int32_t kind = int32_t(uint32_t(TvRandom()) % 5);
    for (int32_t tries = 0; tries < 11; ++tries) {
        MV2Object* part = nullptr;
        int32_t next = kind + 1;
        switch (kind) {
        case 0: {
            const int32_t slot = TvRandom() & 3;
            part = PartObject(parts[kMV2MiningSide0 + slot]);
            next = slot + 1;
            break;
        }
        case 1: part = PartObject(parts[kMV2MiningMain]); break;
        case 2: {
            const int32_t slot = TvRandom() & 1;
            part = PartObject(parts[kMV2MiningBase0 + slot]);
            next = slot + 1;
            break;
        }
        case 3: part = PartObject(parts[kMV2MiningOutput]); break;
        case 4: part = PartObject(parts[kMV2MiningMiddle]); break;
        default: break;
        }
        if (part) return part;
        kind = next;
    }
    return nullptr;
}

MV2Object* MV2MiningClaimDamagedPart(int32_t site, MV2Object* repairer) {
    if (!SiteIndexOk(site)) return nullptr;
    MV2MiningPart* parts = gMV2Mining.sites[site].parts;
    static constexpr int32_t kOrder[] = {kMV2MiningMain, 0, 1, 2, 3, kMV2MiningBase0, kMV2MiningBase0 + 1,
                                         kMV2MiningOutput, kMV2MiningMiddle, kMV2MiningStation};
    for (int32_t slot : kOrder) {
        MV2MiningPart& part = parts[slot];
        MV2Object* object = PartObject(part);
        if (!object || part.repairState || !(MV2MiningPartHealth(object) < 0.95f)) continue;
        part.repairState = 1;
        if (repairer)
            MV2SetObjectRef(&part.repairer, repairer);
        else
            MV2ClearObjectRef(&part.repairer);
        return object;
    }
    return nullptr;
}

MV2Object* MV2MiningGetWeakestPart(int32_t site) {
    if (!SiteIndexOk(site)) return nullptr;
    MV2MiningSite& s = gMV2Mining.sites[site];
    MV2Object* weakest = nullptr;
    float lowest = 1.0f;
    if (MV2Object* middle = PartObject(s.parts[kMV2MiningMiddle])) {
        const float v = AskState(middle);
        if (v < 1.0f) {
            weakest = middle;
            lowest = v;
        }
    }
    auto consider = [&](int32_t slot) {
        MV2Object* part = PartObject(s.parts[slot]);
        if (!part) return;
        const float v = AskState(part);
        if (v < lowest) {
            lowest = v;
            weakest = part;
        }
    };
    consider(kMV2MiningMain);
    consider(kMV2MiningOutput);
    for (int32_t i = 0; i < s.sideCount; ++i)
        consider(kMV2MiningSide0 + i);
    for (int32_t i = 0; i < s.baseCount; ++i)
        consider(kMV2MiningBase0 + i);
    return weakest;
}

void MV2MiningGetSiteStatus(int32_t site, float* efficiency, float* production, float* fill,
                            uint32_t* siteWord) {
    if (!SiteIndexOk(site)) return;
    const MV2MiningSite& s = gMV2Mining.sites[site];
    if (efficiency) *efficiency = s.efficiency;
    if (production) *production = s.productionFactor;
    if (fill) *fill = s.capacity > 0.0f ? s.stock / s.capacity : 0.0f;
    if (siteWord) *siteWord = s.siteWord;
}

MV2Object* MV2MiningGetSiteObject(int32_t site) {
    if (!SiteIndexOk(site)) return nullptr;
    return PartObject(gMV2Mining.sites[site].parts[kMV2MiningStation]);
}

void MV2MiningStartLoading(MV2Object* station) {
    if (MV2MiningSite* s = SiteOfStation(station)) {
        s->state = 4;
        s->loadingLeft = kMV2LoadingMs;
    }
}

int32_t MV2MiningDockCraft(MV2Object* station, MV2Object* craft) {
    MV2MiningSite* s = SiteOfStation(station);
    if (!s || !craft || (s->state != 0 && s->state != 1)) return 0;
    if (MV2GetObjectRef(&s->docked) != craft) MV2SetObjectRef(&s->docked, craft);
    s->state = 2;
    return 1;
}

void MV2MiningReleaseSite(MV2Object* station) {
    if (MV2MiningSite* s = SiteOfStation(station)) s->state = 0;
}

int32_t MV2MiningGetSiteState(MV2Object* station) {
    MV2MiningSite* s = SiteOfStation(station);
    return s ? s->state : 0;
}

int32_t MV2MiningAssignCraft(int32_t site, MV2Object* craft) {
    if (!SiteIndexOk(site) || !craft) return 0;
    MV2MiningSite& s = gMV2Mining.sites[site];
    if (s.state >= 2 && s.state <= 4) return 0;
    if (s.state == 1)
        if (MV2Object* drone = MV2GetObjectRef(&s.docked)) MV2SubAIOrderCityRoute(drone, 3);
    MV2SetObjectRef(&s.docked, craft);
    s.state = 3;
    MV2ObjectSendMessage(craft, 40, 0, reinterpret_cast<intptr_t>(MV2MiningGetSiteObject(site)));
    return 1;
}

void MV2MiningSetRepairEnabled(int32_t flag) {
    gMV2Mining.repairEnabled = flag;
}
