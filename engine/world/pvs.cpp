#include "engine/world/pvs.h"

#include <cstring>

#include "engine/core/bytes.h"
#include "engine/core/error.h"
#include "engine/core/memory.h"
#include "engine/core/stream.h"
#include "engine/world/intersect.h"
#include "engine/world/world_plugin.h"

namespace {

int32_t g_worldOffset = -1;
int32_t g_sectorOffset = -1;
TpWorld* g_hookedWorld = nullptr;

// Heap index of the first node of a byte-coded collision tree and its node size.
constexpr uint32_t kTreeRoot = 1;
constexpr uint32_t kTreeNodeBytes = 3;

template <typename T> T* At(const void* object, int32_t offset) {
    return reinterpret_cast<T*>(reinterpret_cast<uint8_t*>(const_cast<void*>(object)) + offset);
}
TpPVSSectorData* SectorData(const TpWorldSector* sector) {
    return At<TpPVSSectorData>(sector, g_sectorOffset);
}

float Coordinate(const TvV3d& v, uint32_t byteOffset) {
    return byteOffset == 0 ? v.x : byteOffset == 4 ? v.y : v.z;
}

void FreeSectorData(TpPVSSectorData* data) {
    if (data->owned) TvFree(data->data);
    *data = TpPVSSectorData{nullptr, 0, 0};
}

TpWorldSector* ClearSector(TpWorldSector* sector, void*) {
    FreeSectorData(SectorData(sector));
    return sector;
}

// Removes the filter and forgets every sector's data; the world keeps drawing every sector.
void DropData(TpWorld* world, TpPVSWorldData* data) {
    if (data->hooked) {
        if (data->savedRenderCallBack)
            TpWorldSetSectorRenderCallBack(world, data->savedRenderCallBack);
        data->hooked = 0;
        data->savedRenderCallBack = nullptr;
    }
    if (g_hookedWorld == world) g_hookedWorld = nullptr;
    if (world->root) TpWorldForAllWorldSectors(world, ClearSector, nullptr);
    TvFree(data->block);
    data->block = nullptr;
    data->set = nullptr;
    data->viewSector = nullptr;
}

TpWorldSector* FirstSector(TpIntersection*, TpWorldSector* sector, void* data) {
    *static_cast<TpWorldSector**>(data) = sector;
    return nullptr; // the first sector found is the one
}

// The set of the cell holding `p` in `sector`, or null when the sector's data has no such cell.
const uint8_t* CellSet(const TpPVSWorldData* world, const TpWorldSector* sector, const TvV3d& p) {
    const TpPVSSectorData* data = SectorData(sector);
    if (!data->data) return nullptr;
    uint64_t node = kTreeRoot;
    const auto* tree = static_cast<const uint8_t*>(sector->collisionTree);
    if (sector->numTriangles == 0 || !tree) {
        node = world->numCells;
    } else {
        // The reader checked that every node reached through split nodes is stored.
        for (uint32_t step = 0; step < world->cellDepth; step++) {
            const uint8_t* bytes = tree + kTreeNodeBytes * node;
            if (!(bytes[0] & 0x80)) break;
            const uint32_t axis = (bytes[0] >> 3) & 12;
            const float split = Coordinate(sector->vertices[bytes[1]], axis);
            node = Coordinate(p, axis) - split >= 0.0f ? 2 * node + 1 : 2 * node;
        }
        while (node < world->numCells)
            node *= 2;
    }
    const uint64_t offset = 4 + (node - world->numCells) * uint64_t(world->bytesPerCellSet);
    if (offset + world->bytesPerCellSet > world->bytesPerSector) return nullptr;
    return data->data + offset;
}

TpWorldSector* Filter(TpWorldSector* sector) {
    TpWorld* world = TpWorldGetCurrent();
    if (!world) world = g_hookedWorld;
    if (!world) return sector;
    TpPVSWorldData* data = TpPVSGetWorldData(world);
    const uint8_t* block = SectorData(sector)->data;
    if (sector->numTriangles && data->block && data->set && block) {
        data->trianglesConsidered += sector->numTriangles;
        const uint32_t bit = TvLoadU32(block);
        // A bit number outside the set leaves the sector visible.
        if (bit / 8 < data->bytesPerCellSet && !(data->set[bit / 8] & (1u << (bit % 8))))
            return nullptr;
        data->trianglesDrawn += sector->numTriangles;
    }
    return data->savedRenderCallBack ? data->savedRenderCallBack(sector) : sector;
}

void* WorldConstruct(void* object, int32_t offset, int32_t) {
    *At<TpPVSWorldData>(object, offset) = TpPVSWorldData{};
    return object;
}
void* WorldDestruct(void* object, int32_t offset, int32_t) {
    auto* world = static_cast<TpWorld*>(object);
    auto* data = At<TpPVSWorldData>(object, offset);
    if (data->hooked && data->savedRenderCallBack)
        world->renderCallBack = data->savedRenderCallBack;
    if (g_hookedWorld == world) g_hookedWorld = nullptr;
    TvFree(data->block);
    *data = TpPVSWorldData{};
    return object;
}
void* NoCopy(void* dest, const void*, int32_t, int32_t) {
    return dest;
}

void* SectorConstruct(void* object, int32_t offset, int32_t) {
    *At<TpPVSSectorData>(object, offset) = TpPVSSectorData{nullptr, 0, 0};
    return object;
}
// A buffer not yet moved into the world's block (the world's read failed) is the sector's own.
void* SectorDestruct(void* object, int32_t offset, int32_t) {
    FreeSectorData(At<TpPVSSectorData>(object, offset));
    return object;
}

struct Gather {
    TpPVSWorldData* world;
    bool ok;
};
// Moves the sector's own buffer into the world's block at the cursor.
TpWorldSector* GatherSector(TpWorldSector* sector, void* context) {
    auto* gather = static_cast<Gather*>(context);
    TpPVSWorldData* w = gather->world;
    TpPVSSectorData* data = SectorData(sector);
    if (!data->owned || data->length < w->bytesPerSector ||
        uint64_t(w->cursor) + w->bytesPerSector > uint64_t(w->numSectors) * w->bytesPerSector) {
        gather->ok = false;
        return nullptr;
    }
    uint8_t* copy = w->block + w->cursor;
    std::memcpy(copy, data->data, w->bytesPerSector);
    FreeSectorData(data);
    data->data = copy;
    data->length = w->bytesPerSector;
    w->cursor += w->bytesPerSector;
    return sector;
}

TvStream* WorldRead(TvStream* stream, int32_t length, void* object, int32_t offset, int32_t) {
    auto* world = static_cast<TpWorld*>(object);
    auto* data = At<TpPVSWorldData>(object, offset);
    uint8_t header[kTpPVSHeaderSize];
    if (length < int32_t(kTpPVSHeaderSize) ||
        TvStreamRead(stream, header, kTpPVSHeaderSize) != kTpPVSHeaderSize) {
        TvErrorCore(E_TV_ENDOFSTREAM);
        return nullptr;
    }
    TvFree(data->block);
    data->block = nullptr;
    data->numSectors = TvLoadU32(header);
    data->bytesPerCellSet = TvLoadU32(header + 4);
    data->bytesPerSector = TvLoadU32(header + 8);
    data->cellDepth = TvLoadU32(header + 12);
    data->numCells = TvLoadU32(header + 16);
    data->cursor = 0;
    const uint64_t expected =
        (uint64_t(data->bytesPerCellSet) * data->numCells + 11) & ~uint64_t(3);
    const uint64_t total = uint64_t(data->numSectors) * data->bytesPerSector;
    // Data that does not fit its header leaves the world without visibility data.
    if (data->bytesPerSector != expected || data->bytesPerSector < 4 || total == 0 ||
        total > UINT32_MAX) {
        DropData(world, data);
        return stream;
    }
    data->block = static_cast<uint8_t*>(TvMalloc(size_t(total)));
    if (!data->block) {
        DropData(world, data);
        return nullptr;
    }
    Gather gather{data, true};
    TpWorldForAllWorldSectors(world, GatherSector, &gather);
    if (!gather.ok) DropData(world, data);
    return stream;
}

TvStream* WorldWrite(TvStream* stream, int32_t, const void* object, int32_t offset, int32_t) {
    const auto* data = At<TpPVSWorldData>(object, offset);
    uint8_t header[kTpPVSHeaderSize];
    const uint32_t words[] = {data->numSectors, data->bytesPerCellSet, data->bytesPerSector,
                              data->cellDepth, data->numCells};
    for (int i = 0; i < 5; i++)
        TvStoreU32(header + 4 * i, words[i]);
    return TvStreamWrite(stream, header, kTpPVSHeaderSize);
}

int32_t WorldSize(const void* object, int32_t offset, int32_t) {
    return At<TpPVSWorldData>(object, offset)->block ? int32_t(kTpPVSHeaderSize) : 0;
}

TvStream* SectorRead(TvStream* stream, int32_t length, void* object, int32_t offset, int32_t) {
    auto* data = At<TpPVSSectorData>(object, offset);
    if (length < 4) {
        TvErrorCore(E_TV_ENDOFSTREAM);
        return nullptr;
    }
    auto* buffer = static_cast<uint8_t*>(TvMalloc(size_t(length)));
    if (!buffer) return nullptr;
    if (TvStreamRead(stream, buffer, uint32_t(length)) != uint32_t(length)) {
        TvFree(buffer);
        TvErrorCore(E_TV_ENDOFSTREAM);
        return nullptr;
    }
    FreeSectorData(data);
    *data = TpPVSSectorData{buffer, uint32_t(length), 1};
    return stream;
}

TvStream* SectorWrite(TvStream* stream, int32_t, const void* object, int32_t offset, int32_t) {
    const auto* data = At<TpPVSSectorData>(object, offset);
    const TpPVSWorldData* world =
        TpPVSGetWorldData(TpWorldSectorGetWorld(static_cast<const TpWorldSector*>(object)));
    if (!data->data || !world) return stream;
    return TvStreamWrite(stream, data->data, world->bytesPerSector);
}

int32_t SectorSize(const void* object, int32_t offset, int32_t) {
    const auto* sector = static_cast<const TpWorldSector*>(object);
    const TpWorld* world = TpWorldSectorGetWorld(sector);
    if (!At<TpPVSSectorData>(object, offset)->data || !TpPVSWorldHasData(world)) return 0;
    return int32_t(TpPVSGetWorldData(world)->bytesPerSector);
}

} // namespace

int32_t TpPVSPluginAttach() {
    g_worldOffset = TpWorldRegisterPlugin(sizeof(TpPVSWorldData), kTpPVSPluginId, WorldConstruct,
                                          WorldDestruct, NoCopy);
    g_sectorOffset = TpWorldSectorRegisterPlugin(sizeof(TpPVSSectorData), kTpPVSPluginId,
                                                 SectorConstruct, SectorDestruct, NoCopy);
    if (g_worldOffset < 0 || g_sectorOffset < 0) return 0;
    return TpWorldRegisterPluginStream(kTpPVSPluginId, WorldRead, WorldWrite, WorldSize) >= 0 &&
           TpWorldSectorRegisterPluginStream(kTpPVSPluginId, SectorRead, SectorWrite, SectorSize) >=
               0;
}

TpPVSWorldData* TpPVSGetWorldData(const TpWorld* world) {
    return world && g_worldOffset >= 0 ? At<TpPVSWorldData>(world, g_worldOffset) : nullptr;
}

int32_t TpPVSWorldHasData(const TpWorld* world) {
    const TpPVSWorldData* data = TpPVSGetWorldData(world);
    return data && data->block ? 1 : 0;
}

TpWorld* TpPVSHook(TpWorld* world) {
    TpPVSWorldData* data = TpPVSGetWorldData(world);
    if (!data || !data->block || data->hooked) return world;
    g_hookedWorld = world;
    data->savedRenderCallBack = TpWorldGetSectorRenderCallBack(world);
    TpWorldSetSectorRenderCallBack(world, Filter);
    data->hooked = 1;
    return world;
}

TpWorld* TpPVSSetViewPosition(TpWorld* world, const TvV3d* position) {
    TpPVSWorldData* data = TpPVSGetWorldData(world);
    if (!data || !data->block || !position) return world;
    TpIntersection point{};
    point.t.point = *position;
    point.type = kTpIntersectPoint;
    TpWorldSector* sector = nullptr;
    TpWorldForAllSectorIntersections(world, &point, FirstSector, &sector);
    if (!sector) return world;
    data->viewSector = sector;
    data->set = CellSet(data, sector, *position);
    return world;
}
