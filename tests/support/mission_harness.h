// The mission test harness: a level fixture (objects by type, script id and position; object
// types with energy, flags and AI category; cut-scene records), the level's mission set-up
// in the order of the level start, frames stepped by hand in the per-frame order, events sent
// by hand, scripted tool answers, and a log of every outward effect of the mission layer.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "game/objects/objects.h"
#include "tests/support/cutscene_writer.h"

struct MissionType {
    int32_t type;
    float energy = 100.0f;
    uint32_t flags = 0; // object flags bits set at creation (e.g. 0x8 friendly, 0x10 hostile)
    int32_t aiCategory = 0;
    MV2ObjectHandler handler = nullptr; // null: the default handler
    uint32_t privateBytes = 0;
    bool own = false; // the handler is the type's own (no fixture wrapper for flags and category)
};

// Types of the standard city and mining objects.
inline constexpr int32_t kMissionDoorType = 300, kMissionBayType = 301, kMissionPostType = 302,
                         kMissionDropPointType = 303, kMissionDropDoorType = 304,
                         kMissionSignType = 306, kMissionPartType = 307, kMissionLightType = 69,
                         kMissionStationType = 311;

struct MissionObject {
    uint32_t scriptId; // level byte, record byte, item number
    int32_t type;
    float x = 0, y = 0, z = 0;
    float atX = 0, atY = 0, atZ = 1;
};

struct MissionLevel {
    uint32_t levelId = 0x00FFFFFF;
    std::vector<MissionType> types{};
    std::vector<MissionObject> objects{};
    std::vector<CutSceneRecordDesc> cutScenes{};
    bool writeMiningFile = true;
    float mining[4][4] = {{1800000, 100, 0, 50}, {1800000, 100, 0, 50}, {1800000, 100, 0, 50},
                          {1800000, 100, 0, 50}};
    int32_t playerType = 1; // 0: no player craft
    float playerPosition[3] = {100, 20, 100};
    int32_t equipmentLevel = 5;
};

// One outward effect, at the game time it happened.
struct MissionLogEntry {
    uint32_t time;
    std::string what; // "queued", "shown", "banner", "objective", "failed", "restart",
                      // "level", "cutscene", "autosave"
    intptr_t value;
    bool operator==(const MissionLogEntry& o) const {
        return what == o.what && value == o.value;
    }
};

// What level 0's start needs: the six city door bays, the drop points with their doors,
// posts, signs and the city lights (light objects), and the four mining sites' parts.
void AddCityObjects(MissionLevel& level);
void AddMiningObjects(MissionLevel& level);

class MissionHarness {
public:
    MissionHarness();
    ~MissionHarness();
    MissionHarness(const MissionHarness&) = delete;
    MissionHarness& operator=(const MissionHarness&) = delete;

    bool ok() const { return ok_; }
    // Builds the level, spawns its objects and runs the level start's mission set-up (scripts
    // reset, mining, city, drop points, mission level); false when a step failed.
    bool Load(const MissionLevel& level);
    // One frame of `ms` game milliseconds (0 while paused) in the per-frame order: mining,
    // city, missions, level-change check, HUD messages.
    void Step(uint32_t ms, bool paused = false);
    // Steps of `step` ms until `ms` have passed.
    void Run(uint32_t ms, uint32_t step = 100);

    void Notify(int32_t event, MV2Object* object, intptr_t argument);
    intptr_t Send(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
    // A kill as the damage code reports it: script message 13 to the owner, then event 2.
    void Kill(MV2Object* object, MV2Object* killer);
    // The answer of tool command `command` (any kind): written to the out word, handled.
    void SetToolAnswer(int32_t command, intptr_t value);
    void ClearToolAnswers();

    MV2Object* Find(uint32_t scriptId) const;
    MV2Object* Player() const { return player_; }
    uint32_t Time() const { return time_; }
    // Entries of one kind (all when empty).
    std::vector<MissionLogEntry> Log(const std::string& what = "") const;
    void ClearLog() { log_.clear(); }
    std::vector<std::string> Boxes() const;

private:
    static void OnOutcome(int32_t outcome, intptr_t value);
    static intptr_t OnToolCommand(MV2Object* object, int32_t kind, int32_t command, intptr_t parameter,
                                  void* out);
    void PollHud();
    void Unload();

    struct Parts;
    std::unique_ptr<Parts> parts_;
    bool ok_ = false;
    bool loaded_ = false;
    uint32_t time_ = 0;
    MV2Object* player_ = nullptr;
    MV2Object* lastObjective_ = nullptr;
    int32_t lastBanner_ = 0;
    std::vector<MissionLogEntry> log_;
    std::map<int32_t, intptr_t> tools_;
    std::vector<uint8_t> header_;
    static MissionHarness* current_;
};
