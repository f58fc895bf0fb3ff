#include "shell/heapcount.h"

#include "framework/core/memory.h"
#include "platform/winmm/winmm.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The block's size sits in a header as wide as the strictest alignment, so blocks stay aligned.
constexpr size_t kHeader = alignof(std::max_align_t);
std::atomic<size_t> g_live{0};

void* Allocate(size_t bytes) {
    if (bytes > SIZE_MAX - kHeader) return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(bytes + kHeader));
    if (!block) return nullptr;
    std::memcpy(block, &bytes, sizeof bytes);
    g_live.fetch_add(bytes, std::memory_order_relaxed);
    return block + kHeader;
}

size_t SizeOf(void* user) {
    size_t bytes = 0;
    std::memcpy(&bytes, static_cast<unsigned char*>(user) - kHeader, sizeof bytes);
    return bytes;
}

void Free(void* user) {
    if (!user) return;
    g_live.fetch_sub(SizeOf(user), std::memory_order_relaxed);
    std::free(static_cast<unsigned char*>(user) - kHeader);
}

void* Reallocate(void* user, size_t bytes) {
    if (!user) return Allocate(bytes);
    if (bytes > SIZE_MAX - kHeader) return nullptr;
    const size_t old = SizeOf(user);
    auto* block = static_cast<unsigned char*>(
        std::realloc(static_cast<unsigned char*>(user) - kHeader, bytes + kHeader));
    if (!block) return nullptr;
    std::memcpy(block, &bytes, sizeof bytes);
    g_live.fetch_add(bytes, std::memory_order_relaxed);
    g_live.fetch_sub(old, std::memory_order_relaxed);
    return block + kHeader;
}

void* ZeroAllocate(size_t count, size_t size) {
    if (size && count > SIZE_MAX / size) return nullptr;
    void* user = Allocate(count * size);
    if (user) std::memset(user, 0, count * size);
    return user;
}

constexpr TvMemoryFunctions kCounting = {Allocate, Free, Reallocate, ZeroAllocate};

struct HeapLog {
    bool started = false;
    bool minuteLogged = false;
    uint32_t firstFrame = 0;
};
HeapLog g_log;

const char* LogPath() {
    const char* path = getenv("MAROVANT_HEAP_LOG");
    return path && *path ? path : nullptr;
}

} // namespace

const TvMemoryFunctions* MV2CountingMemoryFunctions() {
    return &kCounting;
}

size_t MV2EngineLiveBytes() {
    return g_live.load(std::memory_order_relaxed);
}

const TvMemoryFunctions* MV2HeapLogMemoryFunctions() {
    return LogPath() ? &kCounting : nullptr;
}

void MV2HeapLog(const char* when) {
    const char* path = LogPath();
    if (!path) return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s engine %zu framework %zu\n", when, MV2EngineLiveBytes(), VkMemLiveBytes());
        std::fclose(f);
    }
}

void MV2HeapLogFrame() {
    if (g_log.minuteLogged || !LogPath()) return;
    const uint32_t now = timeGetTime();
    if (!g_log.started) {
        g_log.started = true;
        g_log.firstFrame = now;
        return;
    }
    if (int32_t(now - g_log.firstFrame) < 60000) return;
    g_log.minuteLogged = true;
    MV2HeapLog("minute");
}
