#include "game/objects/budgets.h"

#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"

namespace {

constexpr int32_t kCapacityWord = 12;
constexpr int32_t kCostWord = 52;
constexpr int32_t kCostWords = 16;

MV2ClassBudget g_budgets[kMV2BudgetClasses] = {
    {0, 0, 510, 2000, {}, 0}, {0, 0, 516, 2000, {}, 0}, {0, 0, 515, 2000, {}, 0},
    {0, 0, 514, 2000, {}, 0}, {0, 0, 521, 2000, {}, 0}, {0, 0, 512, 2000, {}, 0},
    {0, 0, 511, 2000, {}, 0}, {0, 0, 519, 2000, {}, 0}, {0, 0, 517, 2000, {}, 0},
    {0, 0, 520, 2000, {}, 0}, {0, 0, 509, 2000, {}, 0}, {0, 0, 522, 2000, {}, 0},
    {0, 0, 518, 2000, {}, 0},
};

// Stored floats count in thousandths, truncated toward zero.
int32_t Thousandths(const MV2ObjectType* type, int32_t word) {
    return int32_t(MV2TypeFloat(type, word) * 1000.0f);
}

void AddCapacities(const MV2ObjectType* type) {
    for (int32_t c = 0; c < kMV2BudgetClasses; c++)
        MV2AddClassCount(c, Thousandths(type, kCapacityWord + c));
}

// Takes the type's costs (sign 1) or gives them back (sign -1); the available count only moves
// when it covers the charge, the total always does.
void Charge(const MV2ObjectType* type, int32_t sign) {
    for (int32_t c = 0; c < kMV2BudgetClasses; c++) {
        const int32_t cost = sign * Thousandths(type, kCostWord + c);
        if (g_budgets[c].available >= cost) g_budgets[c].available -= cost;
        g_budgets[c].total -= cost;
    }
}

} // namespace

const MV2ClassBudget* MV2GetClassBudget(int32_t cls) {
    return cls >= 0 && cls < kMV2BudgetClasses ? &g_budgets[cls] : nullptr;
}

void MV2ResetClassBudgets() {
    for (MV2ClassBudget& b : g_budgets) {
        b.available = 0;
        b.name.id = b.textId;
        MV2GetText(&b.name);
    }
}

void MV2AddClassCount(int32_t cls, int32_t amount) {
    if (cls < 0 || cls >= kMV2BudgetClasses) return;
    g_budgets[cls].available = int32_t(uint32_t(g_budgets[cls].available) + uint32_t(amount));
    g_budgets[cls].total = int32_t(uint32_t(g_budgets[cls].total) + uint32_t(amount));
}

void MV2AddObjectClassWeights(const MV2Object* object) {
    if (object && object->type) AddCapacities(object->type);
}

void MV2AddTypeClassWeights(int32_t type) {
    if (const MV2ObjectType* record = MV2GetObjectType(type)) AddCapacities(record);
}

int32_t MV2CheckClassBudget(const MV2ObjectType* type) {
    for (int32_t i = 0; i < kCostWords; i++) {
        const int32_t cost = Thousandths(type, kCostWord + i);
        const int32_t available = i < kMV2BudgetClasses ? g_budgets[i].available : 0;
        if (cost > available) return 0;
    }
    return 1;
}

void MV2TakeClassBudget(const MV2ObjectType* type) {
    Charge(type, 1);
}

void MV2ReturnClassBudget(const MV2ObjectType* type) {
    Charge(type, -1);
}

int32_t MV2GetTypeClassWeight(int32_t type, int32_t cls) {
    const MV2ObjectType* record = MV2GetObjectType(type);
    if (!record || cls < 0 || cls >= kMV2BudgetClasses) return 0;
    return Thousandths(record, kCapacityWord + cls);
}
