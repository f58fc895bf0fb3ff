// The object-type table: one native record per type, 0 to 460.
#pragma once

#include <cstdint>
#include <cstring>

struct TpClump;
struct TvFreeList;
struct TvTexture;

inline constexpr int32_t kMV2ObjectTypes = 461;
inline constexpr int32_t kMV2ObjectTypeWords = 71;

// Type flags (word 7).
inline constexpr uint32_t kMV2TypeCollidesObjects = 1u << 0;
inline constexpr uint32_t kMV2TypeCollidesWorld = 1u << 1;
inline constexpr uint32_t kMV2TypeCollisionTree = 1u << 2; // also "no collision" of other modules
inline constexpr uint32_t kMV2TypeNoSpin = 1u << 4;        // also "carries tools and weapons"
inline constexpr uint32_t kMV2TypeAnimate = 1u << 5;
inline constexpr uint32_t kMV2TypeModelLoaded = 1u << 15;
inline constexpr uint32_t kMV2TypeCanDie = 1u << 20;
inline constexpr uint32_t kMV2TypePuppet = 1u << 21;

// A type record. The stored words are kept by index as bit patterns; the words the game fills
// at run time are real members and their stored values are ignored.
struct MV2ObjectType {
    uint32_t words[kMV2ObjectTypeWords];
    TpClump* model;           // word 0
    TvTexture* shadowTexture; // word 6
    void* subDefinition;      // word 8
    void* collisionData;      // word 49
    TvFreeList* privateData;  // word 50
    uint32_t privateDataSize; // the answer to message 96
};

inline float MV2TypeFloat(const MV2ObjectType* type, int32_t word) {
    float value;
    std::memcpy(&value, &type->words[word], sizeof value);
    return value;
}

inline void MV2SetTypeFloat(MV2ObjectType* type, int32_t word, float value) {
    std::memcpy(&type->words[word], &value, sizeof value);
}

// A name field of a record, copied bounded: stored names may lack their terminator.
struct MV2TypeName {
    char name[17];
};
MV2TypeName MV2TypeNameField(const MV2ObjectType* type, int32_t firstWord, int32_t bytes);
// The model name without anything from its first ".".
MV2TypeName MV2TypeModelName(const MV2ObjectType* type);

// The table entry of a type, or null outside 0..460.
MV2ObjectType* MV2GetObjectType(int32_t type);
// Loads a type's model and sets up its collision and animation; 0 on failure.
int32_t MV2LoadObjectTypeModel(MV2ObjectType* type);
// Reads a model file (a clump chunk file); null on failure.
TpClump* MV2ClumpLoad(const char* path);
// Loads the models of the types the level's group uses and drops the others.
void MV2LoadLevelObjectModels(uint32_t levelId);
