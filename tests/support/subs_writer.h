// Writer of the submarine table ".\DATA\SUBS.DAT": a 32-byte header whose word at offset 8 is
// the record count, then 800-byte records. Usable by tests and the sample data generator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SubPartSpec {
    float factor = 0.0f;
    uint32_t tags = 0;
    uint32_t flags = 0;
};

struct SubRecordSpec {
    std::string name; // bytes 0-15 as given: 16 characters leave no terminator
    float value16 = 0.0f;
    float maxSpeed = 0.1f;
    float minThrust = -0.05f;
    float acceleration = 0.01f;
    float turnLimit = 30.0f;
    uint8_t partCount = 0; // written as given, even above 10
    std::vector<SubPartSpec> parts; // at most 10 written
    uint8_t attachmentCount = 0;
    std::string soundName; // bytes 601-635 as given
    int32_t soundId = 0;   // stored at 636; a reader replaces it
    int32_t soundBase = -2000;
    int32_t soundMax = 0;
    int32_t soundParamOther = 0;
    int32_t soundParamPlayer = 0;
    float maxPitchRate = 0.02f;
    uint32_t specialFlags = 0;
    float vector[3] = {0.0f, 0.0f, 2.0f};
    int32_t ammunition[28] = {};
};

std::vector<uint8_t> SubRecordBytes(const SubRecordSpec& record);
// The header with `count` (any value) and the records back to back.
std::vector<uint8_t> SubsFileBytes(int32_t count, const std::vector<SubRecordSpec>& records);
bool WriteSubsFile(const std::string& path, const std::vector<SubRecordSpec>& records);
