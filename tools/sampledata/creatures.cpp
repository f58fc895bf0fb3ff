// The submarine table of the sample folder: the player's craft, a patrol craft, a drone and a
// repair drone, each with a propeller and an engine sound of the sample sound list.
#include "tools/sampledata/sampledata.h"

#include <filesystem>

#include "tests/support/subs_writer.h"

namespace {

SubRecordSpec Craft(const char* name, float maxSpeed, float acceleration, const char* sound) {
    SubRecordSpec r;
    r.name = name;
    r.maxSpeed = maxSpeed;
    r.minThrust = -maxSpeed * 0.5f;
    r.acceleration = acceleration;
    r.turnLimit = 30.0f;
    r.maxPitchRate = 0.02f;
    r.partCount = 1;
    r.parts = {{0.1f, 0, 2 | 128 | 256}}; // pushes along the forward row and spins
    r.soundName = sound;
    r.soundBase = -2500;
    r.soundMax = -200;
    r.soundParamOther = 22050;
    r.soundParamPlayer = 22050;
    r.ammunition[3] = 20; // craft bolt launcher
    r.ammunition[21] = 200; // bullet gun
    return r;
}

} // namespace

bool SampleDataWriteCreatures(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(fs::path(folder) / "DATA", ec);
    return WriteSubsFile((fs::path(folder) / "DATA" / "SUBS.DAT").string(),
                         {Craft("PLAYERSUB", 0.12f, 0.02f, "GP1ENGINE"),
                          Craft("PATROL", 0.1f, 0.015f, "GP2ENGINE"),
                          Craft("DRONE", 0.08f, 0.02f, "FAN"),
                          Craft("REPAIRDRONE", 0.06f, 0.02f, "CARRIER")});
}
