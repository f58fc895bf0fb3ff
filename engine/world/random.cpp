#include "engine/world/random.h"

#include "engine/core/engine.h"

namespace {

TvModuleGlobals g_randomModule;
constexpr uint32_t kInitialSeed = 0x9a319039u;
constexpr int kDiscard = 310;

TvRandomModule* Data() {
    return TvEngineModuleData<TvRandomModule>(g_randomModule);
}

uint32_t Draw(TvRandomModule* m) {
    *m->front += *m->rear;
    uint32_t result = *m->front >> 1;
    if (++m->front == m->end) {
        m->front = m->table;
        ++m->rear;
    } else if (++m->rear == m->end) {
        m->rear = m->table;
    }
    return result;
}

void Fill(TvRandomModule* m, uint32_t seed) {
    m->table[0] = seed;
    for (int i = 1; i < kTvRandomTableWords; i++)
        m->table[i] = m->table[i - 1] * 1103515245u + 12345u;
    m->front = m->table + 3;
    m->rear = m->table;
    for (int i = 0; i < kDiscard; i++)
        Draw(m);
}

void* Open(void* instance, int32_t offset, int32_t) {
    auto* m = static_cast<TvRandomModule*>(TvEngineInstanceData(instance, offset));
    m->table = static_cast<uint32_t*>(TvMalloc(sizeof(uint32_t) * kTvRandomTableWords));
    if (!m->table) return nullptr;
    m->end = m->table + kTvRandomTableWords;
    Fill(m, kInitialSeed);
    return TvModuleOpened(g_randomModule, instance, offset);
}

void* Close(void* instance, int32_t offset, int32_t) {
    auto* m = static_cast<TvRandomModule*>(TvEngineInstanceData(instance, offset));
    TvFree(m->table);
    m->table = m->front = m->rear = m->end = nullptr;
    return TvModuleClosed(g_randomModule, instance);
}

} // namespace

int32_t TvRandomPluginAttach() {
    return TvEngineRegisterPlugin(sizeof(TvRandomModule), kTvRandomModuleId, Open, Close) >= 0;
}

void TvRandomSeed(uint32_t seed) {
    if (TvModuleIsOpen(g_randomModule)) Fill(Data(), seed);
}

int32_t TvRandom() {
    return TvModuleIsOpen(g_randomModule) ? int32_t(Draw(Data())) : 0;
}
