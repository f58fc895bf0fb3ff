#include "shell/pack.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/core/camera.h"
#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "engine/core/raster.h"
#include "shell/bytes.h"
#include "shell/gamemain.h"

MV2Packs gMV2Packs = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 1, 0, {}, nullptr};

namespace {

// Mounted packs, newest first; the head is its own sentinel.
MV2PackFile g_head = {&g_head, &g_head, {}, nullptr, 0, 0, nullptr, 0, nullptr, 0};
TvFileInterface g_saved;
bool g_installed = false;
int32_t g_count = 0;
// Handles handed out and not yet closed. A handle is ours only when it is in this list, so a
// foreign handle is never read to decide. Few are open at once, so a plain list is quickest.
std::vector<const void*> g_liveHandles;

// The functions that reach the disk: the saved slots while the layer is installed.
const TvFileInterface& Base() {
    return g_installed ? g_saved : TV_ENGINE->fileFuncs;
}

MV2PackHandle* Own(void* handle) {
    if (!handle ||
        std::find(g_liveHandles.begin(), g_liveHandles.end(), handle) == g_liveHandles.end())
        return nullptr;
    return static_cast<MV2PackHandle*>(handle);
}

void Forget(const void* handle) {
    auto it = std::find(g_liveHandles.begin(), g_liveHandles.end(), handle);
    *it = g_liveHandles.back();
    g_liveHandles.pop_back();
}

// Names compare with ASCII letters folded to lower case and either separator as "\".
unsigned char Fold(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c - 'A' + 'a');
    if (c == '/') return '\\';
    return c;
}

// The folded form of `name` into `key` (kMV2PackNameSize bytes); false when it does not fit.
bool MakeKey(const char* name, char* key) {
    for (size_t i = 0; i < kMV2PackNameSize; i++) {
        key[i] = char(Fold(static_cast<unsigned char>(name[i])));
        if (!key[i]) return true;
    }
    return false;
}

bool HasPrefix(const char* name, const char* prefix) {
    for (; *prefix; name++, prefix++) {
        if (Fold(static_cast<unsigned char>(*name)) != Fold(static_cast<unsigned char>(*prefix)))
            return false;
    }
    return true;
}

MV2PackFile* FindPackFor(const char* name) {
    for (MV2PackFile* p = g_head.next; p != &g_head; p = p->next) {
        if (HasPrefix(name, p->prefix)) return p;
    }
    return nullptr;
}

// Moves the pack's own handle to `wanted` (clamped to the file) unless it is there already.
bool PositionPack(MV2PackFile* pack, long wanted) {
    wanted = std::clamp(wanted, 0L, pack->length);
    if (wanted == pack->position) return true;
    if (Base().seek(pack->file, wanted, 0) != 0) {
        pack->position = -1; // unknown: the next transfer seeks again
        return false;
    }
    pack->position = wanted;
    return true;
}

void* PackOpen(const char* name, const char* mode) {
    MV2PackFile* pack = name ? FindPackFor(name) : nullptr;
    if (!pack || (mode && mode[0] != 'r')) return g_saved.open(name, mode);
    const MV2PackEntry* entry = MV2PackFindEntry(pack, name + std::strlen(pack->prefix));
    if (!entry) return nullptr; // the disk is not searched under a pack's prefix
    void* block = pack->handleFreeList ? TvFreeListAlloc(pack->handleFreeList)
                                       : TvMalloc(sizeof(MV2PackHandle));
    if (!block) return nullptr;
    auto* handle = static_cast<MV2PackHandle*>(block);
    *handle = {kMV2PackTag, pack, entry, 0, 0};
    pack->openHandles++;
    g_liveHandles.push_back(handle);
    return handle;
}

int32_t PackClose(void* handle) {
    MV2PackHandle* h = Own(handle);
    if (!h) return g_saved.close(handle);
    Forget(h);
    MV2PackFile* pack = h->pack;
    pack->openHandles--;
    h->tag = 0;
    if (pack->handleFreeList) {
        TvFreeListFree(pack->handleFreeList, h);
    } else {
        TvFree(h);
    }
    return 0;
}

// Counts whole elements like the standard read does for disk files.
size_t PackRead(void* buffer, size_t size, size_t count, void* handle) {
    MV2PackHandle* h = Own(handle);
    if (!h) return g_saved.read(buffer, size, count, handle);
    if (h->atEnd || size == 0 || count == 0 || !buffer) return 0;
    size_t left = h->entry->size - h->position;
    size_t bytes = count > left / size ? left : size * count;
    MV2PackFile* pack = h->pack;
    if (bytes > 0) {
        if (!PositionPack(pack, long(h->entry->offset) + long(h->position))) return 0;
        bytes = Base().read(buffer, 1, bytes, pack->file);
        pack->position += long(bytes);
        h->position += uint32_t(bytes);
    }
    if (h->position >= h->entry->size) h->atEnd = 1;
    return bytes / size;
}

// One line, at most up to the entry's end; a closing CR LF becomes LF.
char* PackReadLine(char* buffer, int32_t capacity, void* handle) {
    MV2PackHandle* h = Own(handle);
    if (!h) return g_saved.readLine(buffer, capacity, handle);
    if (h->atEnd || !buffer || capacity <= 0) return nullptr;
    size_t left = h->entry->size - h->position;
    if (left == 0) {
        h->atEnd = 1;
        return nullptr;
    }
    size_t limit = std::min(size_t(capacity) - 1, left);
    MV2PackFile* pack = h->pack;
    if (limit > 0 && !PositionPack(pack, long(h->entry->offset) + long(h->position))) {
        return nullptr;
    }
    size_t n = 0;
    const TvFileInterface& base = Base();
    while (n < limit) {
        char c;
        if (base.read(&c, 1, 1, pack->file) != 1) break;
        buffer[n++] = c;
        if (c == '\n') break;
    }
    pack->position += long(n);
    h->position += uint32_t(n);
    buffer[n] = 0;
    if (n == 0 && limit > 0) {
        h->atEnd = 1;
        return nullptr;
    }
    if (h->position >= h->entry->size) h->atEnd = 1;
    if (n >= 2 && buffer[n - 2] == '\r' && buffer[n - 1] == '\n') {
        buffer[n - 2] = '\n';
        buffer[n - 1] = 0;
    }
    return buffer;
}

int32_t PackAtEnd(void* handle) {
    MV2PackHandle* h = Own(handle);
    if (!h) return g_saved.atEnd(handle);
    return h->atEnd ? -1 : 0;
}

// The position is kept within the entry; moving before its end clears the end flag.
int32_t PackSeek(void* handle, long offset, int32_t origin) {
    MV2PackHandle* h = Own(handle);
    if (!h) return g_saved.seek(handle, offset, origin);
    long long size = h->entry->size;
    long long pos;
    switch (origin) {
    case 0: pos = offset; break;
    case 1: pos = (long long)h->position + offset; break;
    case 2: pos = size + offset; break;
    default: return 1;
    }
    pos = std::clamp(pos, 0LL, size);
    h->position = uint32_t(pos);
    if (pos < size) h->atEnd = 0;
    MV2PackFile* pack = h->pack;
    long wanted = std::clamp(long(h->entry->offset) + long(pos), 0L, pack->length);
    int32_t result = Base().seek(pack->file, wanted, 0);
    pack->position = result == 0 ? wanted : -1;
    return result;
}

long PackLength(void* handle) {
    MV2PackHandle* h = Own(handle);
    if (!h) return g_saved.length(handle);
    return long(h->entry->size);
}

void Install() {
    TvFileInterface& f = TV_ENGINE->fileFuncs;
    g_saved = f;
    f.open = PackOpen;
    f.close = PackClose;
    f.read = PackRead;
    f.readLine = PackReadLine;
    f.atEnd = PackAtEnd;
    f.seek = PackSeek;
    f.length = PackLength;
    g_installed = true;
    g_head.next = g_head.prev = &g_head;
}

void FreePack(MV2PackFile* pack) {
    TvFree(pack->directory);
    if (pack->file) Base().close(pack->file);
    if (pack->handleFreeList) TvFreeListDestroy(pack->handleFreeList);
    TvFree(pack);
}

bool MakePrefix(MV2PackFile* pack, const char* path, const char* prefix) {
    size_t n;
    if (prefix) {
        n = std::strlen(prefix);
    } else {
        prefix = path;
        const char* dot = std::strrchr(path, '.');
        n = dot ? size_t(dot - path) : std::strlen(path);
    }
    bool slash = n > 0 && prefix[n - 1] == '\\';
    if (n + (slash ? 0 : 1) > kMV2PackPrefixMax) return false;
    std::memcpy(pack->prefix, prefix, n);
    if (!slash) pack->prefix[n++] = '\\';
    pack->prefix[n] = 0;
    return true;
}

// Reads and checks the header and the whole directory against the file's length.
bool ReadDirectory(MV2PackFile* pack) {
    const TvFileInterface& base = Base();
    pack->length = base.length(pack->file);
    if (pack->length < long(kMV2PackHeaderSize)) return false;
    uint8_t header[kMV2PackHeaderSize];
    if (base.seek(pack->file, 0, 0) != 0) return false;
    if (base.read(header, 1, sizeof header, pack->file) != sizeof header) return false;
    if (MV2ReadU32(header) != kMV2PackTag) return false;
    uint64_t dirOffset = MV2ReadU32(header + 4);
    int32_t dirSize = int32_t(MV2ReadU32(header + 8));
    if (dirSize < 0) return false;
    uint64_t count = uint64_t(dirSize) / kMV2PackEntrySize;
    if (dirOffset + count * kMV2PackEntrySize > uint64_t(pack->length)) return false;
    pack->numEntries = int32_t(count);
    if (count == 0) return true;
    pack->directory = static_cast<MV2PackEntry*>(TvMalloc(count * sizeof(MV2PackEntry)));
    if (!pack->directory) return false;
    if (base.seek(pack->file, long(dirOffset), 0) != 0) return false;
    for (uint64_t i = 0; i < count; i++) {
        uint8_t raw[kMV2PackEntrySize];
        if (base.read(raw, 1, sizeof raw, pack->file) != sizeof raw) return false;
        MV2PackEntry& e = pack->directory[i];
        if (!std::memchr(raw, 0, kMV2PackNameSize)) return false;
        std::memcpy(e.name, raw, kMV2PackNameSize);
        e.offset = MV2ReadU32(raw + 56);
        e.size = MV2ReadU32(raw + 60);
        if (uint64_t(e.offset) + e.size > uint64_t(pack->length)) return false;
        std::replace(e.name, e.name + kMV2PackNameSize, '/', '\\');
        MakeKey(e.name, e.key);
    }
    pack->position = long(dirOffset + count * kMV2PackEntrySize);
    // Stable, so entries that compare equal keep their stored order.
    std::stable_sort(
        pack->directory, pack->directory + count,
        [](const MV2PackEntry& a, const MV2PackEntry& b) { return std::strcmp(a.key, b.key) < 0; });
    return true;
}

} // namespace

const MV2PackEntry* MV2PackFindEntry(const MV2PackFile* pack, const char* name) {
    char key[kMV2PackNameSize];
    if (!pack || !name || !MakeKey(name, key)) return nullptr;
    int32_t lo = 0, hi = pack->numEntries - 1;
    while (lo <= hi) {
        int32_t mid = lo + (hi - lo) / 2;
        int c = std::strcmp(key, pack->directory[mid].key);
        if (c == 0) return &pack->directory[mid];
        if (c < 0) {
            hi = mid - 1;
        } else {
            lo = mid + 1;
        }
    }
    return nullptr;
}

MV2PackFile* MV2MountPackFile(const char* path, const char* prefix) {
    if (!TV_ENGINE || !path) return nullptr;
    auto* pack = static_cast<MV2PackFile*>(TvCalloc(1, sizeof(MV2PackFile)));
    if (!pack) return nullptr;
    if (!MakePrefix(pack, path, prefix)) {
        FreePack(pack);
        return nullptr;
    }
    pack->handleFreeList = TvFreeListCreate(sizeof(MV2PackHandle), 10);
    void* file = TV_ENGINE->fileFuncs.open(path, "rb");
    if (file && Own(file)) {
        // The path lies inside another pack; the layer reads its packs from the disk only.
        TV_ENGINE->fileFuncs.close(file);
        file = nullptr;
    }
    pack->file = file;
    if (!file || !ReadDirectory(pack)) {
        FreePack(pack);
        return nullptr;
    }
    if (g_count == 0) Install();
    pack->next = g_head.next;
    pack->prev = &g_head;
    g_head.next->prev = pack;
    g_head.next = pack;
    g_count++;
    return pack;
}

int32_t MV2UnmountPackFile(MV2PackFile* pack) {
    if (!pack || pack->openHandles > 0) return 0;
    if (pack->next) {
        pack->prev->next = pack->next;
        pack->next->prev = pack->prev;
        pack->next = pack->prev = nullptr;
        g_count--;
    }
    if (g_count == 0 && g_installed) {
        TV_ENGINE->fileFuncs = g_saved;
        g_installed = false;
    }
    FreePack(pack);
    return 1;
}

int32_t MV2CountMountedPacks() {
    return g_count;
}

namespace {

// Unmounts the pack a pointer holds; the pointer keeps a pack that refuses.
void Unmount(MV2PackFile*& pack) {
    if (pack && MV2UnmountPackFile(pack)) pack = nullptr;
}

void MountLevel() {
    if (gMV2Packs.level || !gMV2Packs.levelName[0]) return;
    char path[sizeof gMV2Packs.levelName + 8];
    std::snprintf(path, sizeof path, ".\\%s.pak", gMV2Packs.levelName);
    gMV2Packs.level = MV2MountPackFile(path);
}

} // namespace

void MV2MountLevelPack(const char* levelName) {
    Unmount(gMV2Packs.level);
    if (gMV2Packs.level) return; // the old one is still in use
    std::snprintf(gMV2Packs.levelName, sizeof gMV2Packs.levelName, "%s",
                  levelName ? levelName : "");
    MountLevel();
}

namespace {
void UnmountGamePacks() {
    Unmount(gMV2Packs.clump);
    Unmount(gMV2Packs.texture);
    Unmount(gMV2Packs.sound);
    Unmount(gMV2Packs.data);
    Unmount(gMV2Packs.level);
}
} // namespace

namespace {
const TvV2d kGameWindow = {0.55f, 0.55f};
} // namespace

void MV2ClosePacks() {
    if (gMV2MainCamera) MV2SetWholeScreenView(gMV2MainCamera);
    // The picture is read while the texture pack is still there.
    if (!gMV2Packs.switchPicture) gMV2Packs.switchPicture = MV2LoadScreenPicture("gdswitch");
    UnmountGamePacks();
    gMV2Packs.packsClosed = 1;
}

void MV2OpenPacks(int32_t missionRow) {
    if (missionRow >= 40) return;
    int32_t disc = missionRow < 27 ? 1 : 2;
    if (disc == gMV2Packs.discInUse) return;
    MV2ClosePacks();
    // The prompt of the switch is not shown: there is no second disc to put in, and the
    // prompt has no button to dismiss it.
    if (gMV2MainCamera) TvCameraSetViewWindow(gMV2MainCamera, &kGameWindow);
    if (gMV2Packs.switchPicture) TvRasterDestroy(gMV2Packs.switchPicture);
    gMV2Packs.switchPicture = nullptr;
    if (!gMV2Packs.clump) gMV2Packs.clump = MV2MountPackFile(".\\clump.pak");
    if (!gMV2Packs.texture) gMV2Packs.texture = MV2MountPackFile(".\\texture.pak");
    if (!gMV2Packs.sound) gMV2Packs.sound = MV2MountPackFile(".\\sound.pak");
    if (!gMV2Packs.data) gMV2Packs.data = MV2MountPackFile(".\\data.pak");
    MountLevel();
    gMV2Packs.packsClosed = 0;
    gMV2Packs.discInUse = disc;
}

void MV2UnmountAllPacks() {
    UnmountGamePacks();
    Unmount(gMV2Packs.unused);
    gMV2Packs.packsClosed = 0;
    gMV2Packs.levelName[0] = 0;
}
