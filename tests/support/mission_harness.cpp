#include "tests/support/mission_harness.h"

#include <cstring>

#include "engine/core/camera.h"
#include "engine/core/engine.h"
#include "engine/core/frame.h"
#include "engine/core/memory.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/random.h"
#include "engine/world/world.h"
#include "engine/world/world_plugin.h"
#include "game/frontend/hud.h"
#include "game/frontend/hudmessages.h"
#include "game/missions/lightobject.h"
#include "game/missions/missions.h"
#include "game/objects/budgets.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/modeltags.h"
#include "game/objects/objecttypes.h"
#include "game/objects/lighting.h"
#include "game/player/player.h"
#include "game/player/playercraft.h"
#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"
#include "shell/frametimer.h"
#include "shell/gamemain.h"
#include "shell/gameinit.h"
#include "shell/gamestate.h"
#include "shell/pack.h"
#include "shell/resfile.h"
#include "game/objects/sky.h"
#include "tests/support/data_folder.h"
#include "tests/support/level_writer.h"
#include "tests/support/pack_writer.h"
#include "tests/support/resfile_writer.h"
#include "tests/support/world_grid.h"
#include "tests/support/world_stream_writer.h"
#include "tests/support/world_writer.h"

MissionHarness* MissionHarness::current_ = nullptr;

namespace {

bool AttachPlugins() {
    return TvRandomPluginAttach() == 1 && TpAnimPluginAttach() == 1 &&
           TpAtomicCollDataPluginAttach() == 1 && TpAtomicDataPluginAttach() == 1 &&
           TpClumpDataPluginAttach() != 0 && TpFrameTagPluginAttach() == 1 &&
           TpCustonLightPluginAttach() == 1;
}

TpClump* SphereClump(float radius) {
    TpClump* clump = TpClumpCreate();
    TvFrame* frame = TvFrameCreate();
    TpClumpSetFrame(clump, frame);
    TpGeometry* geometry = TpGeometryCreate(3, 1, 0);
    const TvSphere sphere{{0, 0, 0}, radius};
    TpMorphTargetSetBoundingSphere(TpGeometryGetMorphTarget(geometry, 0), &sphere);
    TpAtomic* atomic = TpAtomicCreate();
    TpAtomicSetGeometry(atomic, geometry, 0);
    TpGeometryDestroy(geometry);
    TpAtomicSetFrame(atomic, frame);
    TpClumpAddAtomic(clump, atomic);
    return clump;
}

// A flat landscape of two triangles, 50 units square.
std::vector<uint8_t> Landscape() {
    LeafRecord leaf;
    leaf.vertices = {{0, 0, 0}, {50, 0, 0}, {50, 0, 50}, {0, 0, 50}};
    leaf.triangles = {{0, 0, 1, 2}, {0, 0, 2, 3}};
    leaf.collisionTree = SingleNodeTree(2);
    leaf.box = {{0, 0, 0, 200, 100, 200}};
    WorldRecord w;
    w.origin = {0.0f, 0.0f, 0.0f};
    w.root = LeafNode(leaf);
    return WorldBytes(w);
}

const char* OutcomeName(int32_t outcome) {
    switch (outcome) {
    case kMV2OutcomeMessageQueued: return "queued";
    case kMV2OutcomeMessageShown: return "shown";
    case kMV2OutcomeMissionFailed: return "failed";
    case kMV2OutcomeRestart: return "restart";
    case kMV2OutcomeCutScene: return "cutscene";
    case kMV2OutcomeAutoSave: return "autosave";
    case kMV2OutcomeLevelChange: return "level";
    default: return "?";
    }
}

std::vector<MissionType> g_types;

// Objects of the fixture's types take their flags and AI category at creation.
intptr_t TypedHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    const int32_t t = int32_t(object->typeWord & kMV2ObjectTypeMask);
    const MissionType* desc = nullptr;
    for (const MissionType& d : g_types)
        if (d.type == t) desc = &d;
    if (message == 3 && desc) {
        object->flags |= desc->flags;
        object->aiCategory = desc->aiCategory;
    }
    if (message == 96) return desc ? intptr_t(desc->privateBytes) : 0;
    if (desc && desc->handler) return desc->handler(object, message, p1, p2);
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

} // namespace

void AddCityObjects(MissionLevel& level) {
    level.types.push_back({kMissionDoorType});
    level.types.push_back({kMissionBayType});
    level.types.push_back({kMissionPostType});
    level.types.push_back({kMissionDropPointType});
    level.types.push_back({kMissionDropDoorType});
    level.types.push_back({kMissionSignType});
    level.types.push_back({kMissionPartType});
    level.types.push_back({kMissionLightType, 100.0f, 0, 0, MV2LightObjectHandler,
                           uint32_t(sizeof(MV2LightObjectData)), true});
    static const uint32_t kBays[6][3] = {{0x20020, 0x2006E, 0x20027}, {0x2001F, 0x2006F, 0x20028},
                                         {0x2001E, 0x20070, 0x20029}, {0x2001D, 0x20071, 0x2002A},
                                         {0x2001C, 0x20072, 0x2002B}, {0x40039, 0x2006D, 0x40038}};
    for (int i = 0; i < 6; i++) {
        const float x = 10.0f + 10.0f * float(i);
        level.objects.push_back({kBays[i][0], kMissionDoorType, x, 5, 10});
        level.objects.push_back({kBays[i][1], kMissionPostType, x, 5, 5});
        level.objects.push_back({kBays[i][2], kMissionBayType, x, 5, 10});
    }
    level.objects.push_back({0x20014, kMissionDropPointType, 70, 5, 70});
    level.objects.push_back({0x20013, kMissionDropPointType, 90, 5, 70});
    level.objects.push_back({0x20010, kMissionDropDoorType, 70, 5, 75});
    level.objects.push_back({0x2000F, kMissionDropDoorType, 90, 5, 75});
    level.objects.push_back({0x20004, kMissionPostType, 72, 5, 70});
    level.objects.push_back({0x20005, kMissionPostType, 92, 5, 70});
    level.objects.push_back({0x20000, kMissionSignType, 70, 10, 70});
    level.objects.push_back({0x2006C, kMissionSignType, 90, 10, 70});
    for (uint32_t id : {0x2004Eu, 0x20001u, 0x20003u, 0x20002u})
        level.objects.push_back({id, kMissionPartType, 50, 20, 50});
    for (uint32_t id : {0x5000Du, 0x5000Cu, 0x5003Bu, 0x5003Cu, 0x5001Bu, 0x5001Cu, 0x5001Du, 0x5001Eu})
        level.objects.push_back({id, kMissionLightType, 50, 30, 50});
}

void AddMiningObjects(MissionLevel& level) {
    level.types.push_back({kMissionPartType});
    level.types.push_back({kMissionStationType});
    static const uint32_t kParts[4][6] = {{0x20026, 0x20022, 0x20024, 0x20025, 0x20023, 0x20021},
                                          {0x2002C, 0x2002F, 0x20030, 0x20031, 0x2002D, 0x2002E},
                                          {0x20033, 0x20032, 0x20037, 0x2001B, 0x20036, 0x20038},
                                          {0x2003B, 0, 0x2003A, 0, 0x20039, 0x2003C}};
    for (int s = 0; s < 4; s++)
        for (int p = 0; p < 6; p++)
            if (kParts[s][p])
                level.objects.push_back({kParts[s][p], p == 5 ? kMissionStationType : kMissionPartType,
                                         10.0f + 30.0f * float(s), 5, 110.0f + float(p)});
}

struct MissionHarness::Parts {
    WorldEngine engine{AttachPlugins};
    DataFolder folder;
    TvCamera* camera = nullptr;
    TvFrame* cameraFrame = nullptr;
    TvCamera* savedCamera = nullptr;
};

MissionHarness::MissionHarness() : parts_(std::make_unique<Parts>()) {
    if (!parts_->engine.ok()) return;
    current_ = this;
    PlatformClearMessageBoxes();
    PlatformUseManualClock(true, 1000);
    TvRandomSeed(1);
    if (MV2InitialiseObjects() != 1 || MV2InitialiseDynamics() != 1) return;
    for (int32_t t = 0; t < kMV2ObjectTypes; t++) {
        *MV2GetObjectType(t) = MV2ObjectType{};
        MV2SetObjectTypeHandler(t, nullptr);
    }
    for (int32_t c = 0; c < kMV2BudgetClasses; c++)
        MV2AddClassCount(c, -MV2GetClassBudget(c)->available);
    gMV2FrameTimer.ticks = 1.0f;
    MV2UpdateDragTable(1.0f);
    // The main camera that cut-scenes fly.
    parts_->camera = TvCameraCreate();
    parts_->cameraFrame = TvFrameCreate();
    TvCameraSetFrame(parts_->camera, parts_->cameraFrame);
    parts_->savedCamera = gMV2MainCamera;
    gMV2MainCamera = parts_->camera;
    MV2MissionSystemReset();
    gMV2MissionOutcomeHook = OnOutcome;
    gMV2MissionToolCommandHook = OnToolCommand;
    ok_ = true;
}

MissionHarness::~MissionHarness() {
    Unload();
    gMV2MissionOutcomeHook = nullptr;
    gMV2MissionToolCommandHook = MV2SendToolCommand;
    for (int32_t row = 0; row < kMV2MissionRows; ++row)
        MV2SetMissionScriptForTest(row, nullptr);
    MV2ClearMissionNotify();
    gMV2MissionFlow = {}; // no mission stays in play for later suites
    MV2DestroyMissionTimers();
    MV2FreeObjectTypes();
    MV2ShutdownDynamics();
    g_types.clear();
    if (parts_->camera) {
        gMV2MainCamera = parts_->savedCamera;
        TvCameraSetFrame(parts_->camera, nullptr); // the engine frees the camera when it closes
        TvFrameDestroy(parts_->cameraFrame);
    }
    PlatformUseManualClock(false);
    PlatformClearMessageBoxes();
    if (current_ == this) current_ = nullptr;
}

void MissionHarness::Unload() {
    if (!loaded_) return;
    MV2ShutdownMissionScripts();
    {
        MV2CurrentLevelWorld world;
        MV2DestroyAllObjects();
    }
    MV2SetPlayerObject(nullptr);
    MV2SetPlayerSub(nullptr);
    player_ = nullptr;
    MV2DestroyLandscape();
    MV2FreeTextureList(&gMV2Level.lat);
    MV2FreeTextureList(&gMV2Level.cat);
    MV2FreeMenuResourceFile();
    MV2ClearLevelHeader(); // its records lived in the file just freed
    MV2UnmountAllPacks();
    gMV2Level.currentLevelId = kMV2NoLevel;
    gMV2GameType = 0;
    loaded_ = false;
}

bool MissionHarness::Load(const MissionLevel& level) {
    if (!ok_) return false;
    Unload();
    g_types = level.types;
    // The level start spawns the current sub type; the fixture's player takes its place.
    if (level.playerType) g_types.push_back({level.playerType});
    const int32_t spawned = MV2GetCurrentSubType();
    if (spawned != level.playerType) g_types.push_back({spawned});
    for (const MissionType& d : g_types) {
        MV2ObjectType* type = MV2GetObjectType(d.type);
        if (!type) return false;
        if (!type->model) type->model = SphereClump(1.0f);
        type->words[7] = kMV2TypeModelLoaded;
        type->words[30] = 0xFFFF; // every level group keeps the model
        MV2SetTypeFloat(type, 1, d.energy);
        MV2SetTypeFloat(type, 10, 1.0f);
        if (d.privateBytes && !type->privateData) {
            type->privateDataSize = d.privateBytes;
            type->privateData = TvFreeListCreate(d.privateBytes, 4);
        }
        MV2SetObjectTypeHandler(d.type, d.own ? d.handler : TypedHandler);
    }

    // The level: its objects in records by their record byte, and the cut-scene records.
    LevelDesc desc{level.levelId};
    desc.levelName = "mlev";
    desc.packName = "mlev";
    std::map<uint32_t, LevelRecordDesc> records;
    for (const MissionObject& o : level.objects) {
        const uint32_t id = (o.scriptId & 0xFFFF0000u) | 0xFFFF;
        LevelRecordDesc& r = records[id];
        r.id = id;
        r.flags = kMV2RecordFullLoad;
        LevelItem item{o.scriptId, uint32_t(o.type)};
        item.flags = kMV2ItemActivate;
        item.position[0] = o.x, item.position[1] = o.y, item.position[2] = o.z;
        item.at[0] = o.atX, item.at[1] = o.atY, item.at[2] = o.atZ;
        r.items.push_back(item);
    }
    for (auto& [id, r] : records)
        desc.records.push_back(r);
    for (const CutSceneRecordDesc& c : level.cutScenes)
        desc.rawRecords.push_back(BuildCutSceneRecord(c));

    DataFolder& folder = parts_->folder;
    folder.Write("BSP/mlev.bsp", Landscape());
    folder.Write("mlev.pak", BuildPack({{"readme.txt", "mission level"}}));
    folder.Write("data/default.fog", std::string(256, '\x10'));
    if (level.writeMiningFile) folder.Write("DATA/MINING.DAT", BuildMiningFile(level.mining));
    ResourceFile file;
    file.levels = {LevelResource(desc)};
    folder.Write("data/menu.mv2", BuildResourceFile(file));
    if (MV2LoadMenuResourceFile(".\\data\\menu.mv2") != 1) return false;

    // The real level start with the level to load, as a mission select leaves it.
    TV_ENGINE->worldLibrary = nullptr;
    gMV2Level.currentLevelId = level.levelId;
    loaded_ = true;
    if (!MV2StartLevel()) return false;
    {
        MV2CurrentLevelWorld world;
        if (MV2Object* made = MV2GetPlayerSub()) MV2ObjectSendMessage(made, 4, 0, 0);
        MV2SetPlayerObject(nullptr);
        MV2SetPlayerSub(nullptr);
        if (level.playerType) {
            player_ = MV2CreateObject(level.playerType, level.playerPosition, nullptr);
            if (!player_) return false;
            MV2SetPlayerSub(player_);
            MV2SetPlayerObject(player_);
        }
    }
    MV2SetEquipmentLevel(level.equipmentLevel);
    gMV2GameState.current = 0;
    gMV2GameState.requested = 0;
    gMV2DayClock.gameClock = 0;
    lastObjective_ = nullptr;
    lastBanner_ = 0;
    gMV2Hud.bannerRow = 0; // a banner an earlier fixture left is not this level's
    return true;
}

void MissionHarness::Step(uint32_t ms, bool paused) {
    PlatformAdvanceClock(ms);
    time_ += paused ? 0 : ms;
    gMV2FrameTimer.milliseconds = paused ? 0 : int32_t(ms);
    gMV2FrameTimer.seconds = float(gMV2FrameTimer.milliseconds) * 0.001f;
    gMV2FrameTimer.ticks = gMV2FrameTimer.seconds * 30.0f;
    gMV2FrameTimer.previousClock = gMV2FrameTimer.frameClock;
    gMV2FrameTimer.frameClock = timeGetTime();
    if (!paused) gMV2DayClock.gameClock += ms;
    TvFrameSyncDirty(); // as the last frame's render left them
    MV2CurrentLevelWorld world;
    if (gMV2GameType == 2) {
        if ((MV2GetCurrentLevelId() >> 24) == 0) {
            MV2UpdateMining();
            MV2UpdateCity();
        }
        MV2UpdateMissions();
    }
    MV2CheckLevelChange();
    MV2UpdateHudMessages();
    PollHud();
}

void MissionHarness::Run(uint32_t ms, uint32_t step) {
    for (uint32_t t = 0; t < ms; t += step)
        Step(step);
}

void MissionHarness::Notify(int32_t event, MV2Object* object, intptr_t argument) {
    MV2CurrentLevelWorld world;
    MV2NotifyScripts(object, event, argument);
    PollHud();
}

intptr_t MissionHarness::Send(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    MV2CurrentLevelWorld world;
    const intptr_t result = MV2ObjectSendMessage(object, message, p1, p2);
    PollHud();
    return result;
}

void MissionHarness::Kill(MV2Object* object, MV2Object* killer) {
    if (!object) return;
    MV2CurrentLevelWorld world;
    const int32_t type = int32_t(object->typeWord & kMV2ObjectTypeMask);
    const MV2ObjectHandle handle = object->handle;
    MV2NotifyObjectScript(object, kMV2ScriptObjectKilled, 0, reinterpret_cast<intptr_t>(killer));
    switch (type) {
    case 4: case 13: case 14: case 16: case 39: case 363: break;
    default: MV2NotifyScripts(killer, 2, type); break;
    }
    if (MV2ObjectHandleAlive(handle)) MV2ObjectSendMessage(object, 4, 0, 0);
    PollHud();
}

void MissionHarness::SetToolAnswer(int32_t command, intptr_t value) {
    tools_[command] = value;
}

void MissionHarness::ClearToolAnswers() {
    tools_.clear();
}

MV2Object* MissionHarness::Find(uint32_t scriptId) const {
    MV2CurrentLevelWorld world;
    return MV2FindObjectByScriptID(int32_t(scriptId));
}

std::vector<MissionLogEntry> MissionHarness::Log(const std::string& what) const {
    std::vector<MissionLogEntry> out;
    for (const MissionLogEntry& e : log_)
        if (what.empty() || e.what == what) out.push_back(e);
    return out;
}

std::vector<std::string> MissionHarness::Boxes() const {
    std::vector<std::string> texts;
    for (const PlatformMessageBoxRecord& r : PlatformMessageBoxes())
        texts.push_back(r.text);
    return texts;
}

void MissionHarness::OnOutcome(int32_t outcome, intptr_t value) {
    if (current_) current_->log_.push_back({current_->time_, OutcomeName(outcome), value});
}

intptr_t MissionHarness::OnToolCommand(MV2Object*, int32_t, int32_t command, intptr_t, void* out) {
    if (!current_) return 0;
    auto it = current_->tools_.find(command);
    if (it == current_->tools_.end()) return 0;
    if (out) *static_cast<intptr_t*>(out) = it->second;
    return 1;
}

void MissionHarness::PollHud() {
    MV2Object* objective = nullptr;
    uint32_t handle = 0;
    MV2HudGetObjective(&objective, &handle);
    if (objective != lastObjective_) {
        log_.push_back({time_, "objective", reinterpret_cast<intptr_t>(objective)});
        lastObjective_ = objective;
    }
    const int32_t banner = gMV2Hud.bannerRow;
    if (banner != lastBanner_) {
        if (banner) log_.push_back({time_, "banner", banner == 76 ? 1 : 0});
        lastBanner_ = banner;
    }
}
