// Class budgets: how many objects of costed types the level has room for.
#pragma once

#include <cstdint>

#include "shell/resfile.h"

struct MV2Object;
struct MV2ObjectType;

inline constexpr int32_t kMV2BudgetClasses = 13;

struct MV2ClassBudget {
    int32_t available;
    int32_t total;
    uint32_t textId;
    uint32_t displayValue;
    MV2TextDescriptor name;
    uint32_t word5;
};

const MV2ClassBudget* MV2GetClassBudget(int32_t cls);
void MV2ResetClassBudgets();
void MV2AddClassCount(int32_t cls, int32_t amount);
void MV2AddObjectClassWeights(const MV2Object* object);
void MV2AddTypeClassWeights(int32_t type);
int32_t MV2CheckClassBudget(const MV2ObjectType* type);
void MV2TakeClassBudget(const MV2ObjectType* type);
void MV2ReturnClassBudget(const MV2ObjectType* type);
int32_t MV2GetTypeClassWeight(int32_t type, int32_t cls);
