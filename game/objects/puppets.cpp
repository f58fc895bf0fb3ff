#include "game/objects/puppets.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/core/bytes.h"
#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "engine/core/memory.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/objects/objects.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"

namespace {

// Live instances, so that a puppet object's collisions find the instance posing its clump.
// Few puppets live at a time; the table grows only when an instance is made.
struct LiveInstances {
    MV2PuppetInstance** entries = nullptr;
    int32_t count = 0, capacity = 0;
};
LiveInstances g_live;

bool RememberInstance(MV2PuppetInstance* instance) {
    LiveInstances& l = g_live;
    if (l.count == l.capacity) {
        const int32_t capacity = l.capacity ? l.capacity * 2 : 8;
        auto* entries = static_cast<MV2PuppetInstance**>(
            TvRealloc(l.entries, size_t(capacity) * sizeof(MV2PuppetInstance*)));
        if (!entries) return false;
        l.entries = entries;
        l.capacity = capacity;
    }
    l.entries[l.count++] = instance;
    return true;
}

void ForgetInstance(MV2PuppetInstance* instance) {
    LiveInstances& l = g_live;
    for (int32_t i = 0; i < l.count; i++)
        if (l.entries[i] == instance) {
            l.entries[i] = l.entries[--l.count];
            break;
        }
    if (l.count == 0) {
        TvFree(l.entries);
        l = {};
    }
}

// The folder the readers use, set by MV2PuppetSetDirectory.
char g_folder[sizeof(MV2AnimSet{}.folder)] = "";

// ---------------------------------------------------------------------------------------------
// Reading

// A cursor over a file's bytes; any read past the end clears `ok` and yields zeros.
struct ByteReader {
    const uint8_t* p;
    size_t left;
    bool ok = true;

    bool Need(uint64_t bytes) {
        if (ok && bytes <= left) return true;
        ok = false;
        return false;
    }
    uint32_t U32() {
        if (!Need(4)) return 0;
        const uint32_t v = TvLoadU32(p);
        p += 4;
        left -= 4;
        return v;
    }
    float F32() { return std::bit_cast<float>(U32()); }
    TvV3d V3() {
        const float x = F32(), y = F32();
        return {x, y, F32()};
    }
    const uint8_t* Bytes(size_t bytes) {
        if (!Need(bytes)) return nullptr;
        const uint8_t* at = p;
        p += bytes;
        left -= bytes;
        return at;
    }
};

// Places records in one block. The walk that measures runs with no block and only counts bytes;
// the walk that fills runs the same takes over the block allocated from that count.
struct Arena {
    uint8_t* base = nullptr;
    size_t used = 0;

    template <typename T> T* Take(uint64_t count) {
        used = (used + alignof(T) - 1) & ~(alignof(T) - 1);
        T* at = base ? reinterpret_cast<T*>(base + used) : nullptr;
        used += sizeof(T) * size_t(count);
        return at;
    }
};

// The whole file through the engine file functions, at most `cap` bytes, plus two NUL bytes;
// null when it cannot be opened or read.
uint8_t* ReadWholeFile(const char* path, const char* mode, size_t cap, size_t* size) {
    TvFileInterface* files = TV_ENGINE ? TvEngineGetFileInterface() : nullptr;
    void* file = files && files->open ? files->open(path, mode) : nullptr;
    if (!file) return nullptr;
    const long length = files->length(file);
    uint8_t* bytes = nullptr;
    if (length >= 0) {
        const size_t wanted = std::min(size_t(length), cap);
        bytes = static_cast<uint8_t*>(TvMalloc(wanted + 2));
        if (bytes) {
            *size = wanted ? files->read(bytes, 1, wanted, file) : 0;
            bytes[*size] = 0;
            bytes[*size + 1] = 0;
        }
    }
    files->close(file);
    return bytes;
}

// Copies a stored name of `size` bytes (not always terminated) into a terminated field.
void CopyName(char* out, const uint8_t* in, size_t size) {
    size_t n = 0;
    while (n < size && in[n]) {
        out[n] = char(in[n]);
        n++;
    }
    out[n] = 0;
}

// Float to int32 by truncation, held inside the type's range (0 for NaN).
int32_t ToInt32(float v) {
    if (!(v == v)) return 0;
    if (v >= 2147483520.0f) return INT32_MAX;
    if (v <= -2147483648.0f) return INT32_MIN;
    return int32_t(v);
}

// A key value as stored at run time: value x 128 as a 16-bit integer, held inside its range.
int16_t KeyValue(float v) {
    return int16_t(std::clamp(ToInt32(v * 128.0f), -32768, 32767));
}

// Node ids in file order, sorted for lookups of the first node with an id.
struct NodeIndex {
    struct Entry {
        uint32_t id;
        int32_t index;
    };
    Entry* entries = nullptr;
    int32_t count = 0;

    bool Build(const MV2PuppetNode* nodes, int32_t n) {
        count = n;
        if (n == 0) return true;
        entries = static_cast<Entry*>(TvMalloc(sizeof(Entry) * size_t(n)));
        if (!entries) return false;
        for (int32_t i = 0; i < n; i++)
            entries[i] = {nodes[i].id, i};
        std::sort(entries, entries + n, [](const Entry& a, const Entry& b) {
            return a.id != b.id ? a.id < b.id : a.index < b.index;
        });
        return true;
    }
    // The entry of the first node with the id, or the first entry after it.
    const Entry* First(uint32_t id) const {
        return std::lower_bound(entries, entries + count, id,
                                [](const Entry& a, uint32_t v) { return a.id < v; });
    }
    const Entry* End() const { return entries + count; }
    // The first node with the id, or -1.
    int32_t Find(uint32_t id) const {
        const Entry* e = First(id);
        return e != End() && e->id == id ? e->index : -1;
    }
    ~NodeIndex() { TvFree(entries); }
};

// What the walk of "puppet.pup" needs besides the bytes.
struct PuppetSource {
    const TvV3d* vertices; // geometry arrays; null when the geometry has none
    const TvV3d* normals;
    uint32_t vertexCount;  // the geometry's vertices
};

// Walks "puppet.pup", checking every count against the bytes left and every index against its
// array. With a block in the arena it fills `puppet`; without one it only measures.
bool WalkPuppet(ByteReader r, const PuppetSource& src, Arena& arena, MV2Puppet* puppet) {
    const bool fill = arena.base != nullptr;
    const uint32_t nodeCount = r.U32();
    r.Bytes(16); // unused word and three totals
    const uint32_t duplicateCount = r.U32();
    const uint32_t shapeCount = r.U32();
    r.Bytes(8);
    if (!r.ok || duplicateCount > src.vertexCount) return false;
    const uint32_t v = src.vertexCount - duplicateCount;
    if (!r.Need(4ull * duplicateCount + 4ull * v)) return false;
    uint32_t* duplicates = arena.Take<uint32_t>(duplicateCount);
    for (uint32_t i = 0; i < duplicateCount; i++) {
        const uint32_t source = r.U32();
        if (source >= v) return false;
        if (fill) duplicates[i] = source;
    }
    uint32_t* counts = arena.Take<uint32_t>(v);
    uint32_t sharedCount = 0;
    for (uint32_t i = 0; i < v; i++) {
        const uint32_t c = r.U32();
        sharedCount += c > 1 ? 1 : 0;
        if (fill) counts[i] = c;
    }
    uint32_t* shared = arena.Take<uint32_t>(sharedCount);
    for (uint32_t i = 0, n = 0; fill && i < v; i++)
        if (counts[i] > 1) shared[n++] = i;
    // A node record is at least 120 bytes, a shape record at least 12.
    if (!r.Need(120ull * nodeCount + 12ull * shapeCount)) return false;
    MV2PuppetNode* nodes = arena.Take<MV2PuppetNode>(nodeCount);
    int32_t trackTotal = 0, nodeVertexTotal = 0;
    for (uint32_t k = 0; k < nodeCount; k++) {
        MV2PuppetNode scratch{};
        MV2PuppetNode& node = fill ? nodes[k] : scratch;
        node = MV2PuppetNode{};
        node.parentId = k ? r.U32() : 0;
        node.id = r.U32();
        const uint8_t* name = r.Bytes(kMV2PuppetNodeNameSize);
        const uint32_t m = r.U32();
        node.pivot = r.V3();
        if (!r.ok) return false;
        CopyName(node.name, name, kMV2PuppetNodeNameSize);
        std::replace(node.name, node.name + kMV2PuppetNodeNameSize, '_', ' ');
        if (m == 0) continue;
        if (!r.Need(4ull * m + 4)) return false;
        node.vertexCount = int32_t(m);
        nodeVertexTotal += int32_t(m);
        node.vertices = arena.Take<uint32_t>(m);
        node.restPositions = arena.Take<TvV3d>(m);
        node.restNormals = arena.Take<TvV3d>(m);
        for (uint32_t i = 0; i < m; i++) {
            const uint32_t index = r.U32();
            if (index >= src.vertexCount) return false;
            if (!fill) continue;
            node.vertices[i] = index;
            node.restPositions[i] =
                src.vertices ? TvV3dSub(src.vertices[index], node.pivot) : TvV3d{};
            node.restNormals[i] = src.normals ? src.normals[index] : TvV3d{};
        }
        const uint32_t trackCount = r.U32();
        if (!r.Need(20ull * trackCount)) return false;
        trackTotal += int32_t(trackCount);
        MV2PuppetTrack* tracks = arena.Take<MV2PuppetTrack>(trackCount);
        for (uint32_t t = 0; t < trackCount; t++) {
            MV2PuppetTrack track{};
            track.driverId = r.U32();
            track.channel = r.U32();
            const float start = r.F32();
            track.end = r.F32();
            const uint32_t q = r.U32();
            if (!r.ok || track.channel > 2 || !r.Need(28ull * q)) return false;
            track.start = int32_t(uint32_t(ToInt32(start * 128.0f)) << 8);
            const float range = track.end - start; // a zero range applies the keys whole
            track.inverseRange = range != 0.0f ? std::fabs(1.0f / range) : HUGE_VALF;
            track.keyCount = int32_t(q);
            track.keys = arena.Take<MV2PuppetKey>(q);
            for (uint32_t i = 0; i < q; i++) {
                const uint32_t vertex = r.U32();
                const TvV3d position = r.V3();
                const TvV3d normal = r.V3();
                if (vertex >= m) return false;
                node.keyedVertices = std::max(node.keyedVertices, int32_t(vertex) + 1);
                if (fill) track.keys[i] = {vertex, position, normal};
            }
            if (fill) {
                tracks[t] = track;
                tracks[t].next = t + 1 < trackCount ? &tracks[t + 1] : nullptr;
            }
        }
        if (fill) node.tracks = trackCount ? tracks : nullptr;
    }
    MV2PuppetShape* shapes = arena.Take<MV2PuppetShape>(shapeCount);
    int32_t shapeVertexTotal = 0;
    for (uint32_t k = 0; k < shapeCount; k++) {
        MV2PuppetShape shape{};
        shape.nodeId = r.U32();
        const uint32_t p = r.U32();
        const uint32_t t = r.U32();
        const uint64_t edges = uint64_t(t / 2) * 3;
        if (!r.ok || !r.Need(12ull * p + 36ull * t + 8 * edges)) return false;
        shape.vertexCount = int32_t(p);
        shape.triangleCount = int32_t(t);
        shapeVertexTotal += int32_t(p);
        shape.vertices = arena.Take<TvV3d>(p);
        shape.triangles = arena.Take<MV2PuppetTriangle>(t);
        TvV3d sum{};
        for (uint32_t i = 0; i < p; i++) {
            const TvV3d vertex = r.V3();
            sum = TvV3dAdd(sum, vertex);
            if (fill) shape.vertices[i] = vertex;
        }
        // A triangle: three vertex indices, then six words this reader does not use.
        for (uint32_t i = 0; i < t; i++) {
            MV2PuppetTriangle triangle;
            for (uint32_t& corner : triangle.vertex) {
                corner = r.U32();
                if (corner >= p) return false;
            }
            r.Bytes(24);
            if (fill) shape.triangles[i] = triangle;
        }
        r.Bytes(size_t(8 * edges)); // edges: rebuilt by the contact solver from the triangles
        if (!fill) continue;
        if (p) shape.centre = TvV3dScale(sum, 1.0f / float(p));
        for (uint32_t i = 0; i < p; i++) {
            const TvV3d d = TvV3dSub(shape.vertices[i], shape.centre);
            shape.radius = std::max(shape.radius, std::sqrt(TvV3dDot(d, d)));
        }
        shapes[k] = shape;
    }
    if (!r.ok) return false;
    // Which node vertex writes its geometry vertex first, and the vertices no node writes.
    uint8_t* firstWrites = arena.Take<uint8_t>(uint32_t(nodeVertexTotal));
    uint32_t* unwritten = arena.Take<uint32_t>(v);
    if (fill) {
        auto* seen = static_cast<uint8_t*>(TvCalloc(1, std::max<size_t>(src.vertexCount, 1)));
        if (!seen) return false;
        for (uint32_t k = 0; k < nodeCount; k++) {
            nodes[k].firstWrites = firstWrites;
            for (int32_t i = 0; i < nodes[k].vertexCount; i++) {
                *firstWrites++ = seen[nodes[k].vertices[i]] ? 0 : 1;
                seen[nodes[k].vertices[i]] = 1;
            }
        }
        for (uint32_t i = 0; i < v; i++)
            if (!seen[i]) unwritten[puppet->unwrittenCount++] = i;
        TvFree(seen);
        puppet->vertexCount = int32_t(v);
        puppet->vertexNodeCounts = counts;
        puppet->sharedCount = int32_t(sharedCount);
        puppet->shared = shared;
        puppet->unwritten = unwritten;
        puppet->duplicateCount = int32_t(duplicateCount);
        puppet->duplicates = duplicates;
        puppet->nodeCount = int32_t(nodeCount);
        puppet->nodes = nodeCount ? nodes : nullptr;
        puppet->trackCount = trackTotal;
        puppet->nodeVertexCount = nodeVertexTotal;
        puppet->shapeCount = int32_t(shapeCount);
        puppet->shapeVertexCount = shapeVertexTotal;
        puppet->shapes = shapeCount ? shapes : nullptr;
    }
    return true;
}

// Links the filled nodes into their tree and resolves the node ids of tracks and shapes; false
// when a parent is not among the nodes before it, or a driver or shape node does not exist.
bool LinkPuppet(MV2Puppet* puppet) {
    NodeIndex index;
    if (!index.Build(puppet->nodes, puppet->nodeCount)) return false;
    for (int32_t k = 0; k < puppet->nodeCount; k++) {
        MV2PuppetNode* node = &puppet->nodes[k];
        if (k > 0) {
            const int32_t parent = index.Find(node->parentId);
            if (parent < 0 || parent >= k) return false;
            node->parent = &puppet->nodes[parent];
            MV2PuppetNode** link = &node->parent->child;
            while (*link)
                link = &(*link)->next;
            *link = node;
        }
        for (MV2PuppetTrack* t = node->tracks; t; t = t->next) {
            const int32_t driver = index.Find(t->driverId);
            if (driver < 0) return false;
            t->driver = &puppet->nodes[driver];
            t->owner = node;
        }
    }
    for (int32_t k = 0; k < puppet->shapeCount; k++) {
        MV2PuppetShape& shape = puppet->shapes[k];
        shape.node = index.Find(shape.nodeId);
        if (shape.node < 0) return false;
    }
    return true;
}

// The first atomic's geometry of the clump, or null.
TpGeometry* ClumpGeometry(TpClump* clump, TpAtomic** atomic) {
    TpAtomic* first = MV2GetFirstAtomic(clump);
    if (atomic) *atomic = first;
    return first ? TpAtomicGetGeometry(first) : nullptr;
}

MV2Puppet* NewPuppet(TpClump* clump, int32_t flag) {
    auto* puppet = static_cast<MV2Puppet*>(TvCalloc(1, sizeof(MV2Puppet)));
    if (!puppet) return nullptr;
    puppet->clump = clump;
    puppet->flag = flag;
    return puppet;
}

// Walks "anims.bin" as WalkPuppet does "puppet.pup".
bool WalkAnims(ByteReader r, Arena& arena, MV2PuppetAnim** head, int32_t* countOut) {
    const bool fill = arena.base != nullptr;
    const uint32_t count = r.U32();
    // An animation is at least 24 bytes and two keyframes of 8.
    if (!r.ok || !r.Need(40ull * count)) return false;
    MV2PuppetAnim* anims = arena.Take<MV2PuppetAnim>(count);
    for (uint32_t a = 0; a < count; a++) {
        const uint8_t* name = r.Bytes(kMV2PuppetNameSize);
        const uint32_t k = r.U32();
        const uint32_t n = r.U32();
        if (!r.ok || k < 2 || !r.Need(4ull * n)) return false;
        uint32_t* ids = arena.Take<uint32_t>(n);
        for (uint32_t i = 0; i < n; i++) {
            const uint32_t id = r.U32();
            if (fill) ids[i] = id;
        }
        if (!r.Need(uint64_t(k) * (8 + 24ull * n))) return false;
        MV2PuppetKeyframe* keys = arena.Take<MV2PuppetKeyframe>(k);
        int16_t* values = arena.Take<int16_t>(uint64_t(k) * n * 6);
        for (uint32_t i = 0; i < k; i++) {
            const float t0 = r.F32(), t1 = r.F32();
            if (fill) keys[i] = {t0, t1, t1 > t0 ? 1.0f / (t1 - t0) : 0.0f, values + size_t(i) * n * 6};
            for (uint32_t j = 0; j < n * 6; j++) {
                const int16_t value = KeyValue(r.F32());
                if (fill) keys[i].values[j] = value;
            }
        }
        if (!fill) continue;
        MV2PuppetAnim& anim = anims[a];
        anim = MV2PuppetAnim{};
        anim.index = int32_t(a);
        CopyName(anim.name, name, kMV2PuppetNameSize);
        anim.run = 1;
        anim.nodeCount = int32_t(n);
        anim.nodeIds = ids;
        anim.keyCount = int32_t(k);
        anim.keys = keys;
        anim.footNode = -1;
        anim.next = a + 1 < count ? &anims[a + 1] : nullptr;
    }
    if (!r.ok) return false;
    if (fill) {
        *head = count ? anims : nullptr;
        *countOut = int32_t(count);
    }
    return true;
}

void FreeAnims(MV2Puppet* puppet) {
    TvFree(puppet->animBlock);
    puppet->animBlock = nullptr;
    puppet->anims = nullptr;
    puppet->animCount = 0;
}

// ---------------------------------------------------------------------------------------------
// Running

// Accumulator to degrees or units: (a >> 8) / 256.
float Fixed(int32_t a) {
    return float(a >> 8) / 256.0f;
}

TvV3d TransformPoint(const TvV3d& v, const TvMatrix& m) {
    return {v.x * m.right.x + v.y * m.up.x + v.z * m.at.x + m.pos.x,
            v.x * m.right.y + v.y * m.up.y + v.z * m.at.y + m.pos.y,
            v.x * m.right.z + v.y * m.up.z + v.z * m.at.z + m.pos.z};
}

TvV3d TransformVector(const TvV3d& v, const TvMatrix& m) {
    return {v.x * m.right.x + v.y * m.up.x + v.z * m.at.x,
            v.x * m.right.y + v.y * m.up.y + v.z * m.at.y,
            v.x * m.right.z + v.y * m.up.z + v.z * m.at.z};
}

// Unit length, or unchanged when of length 0.
TvV3d Normalised(const TvV3d& v) {
    const float sq = TvV3dDot(v, v);
    return sq > 0.0f ? TvV3dScale(v, 1.0f / std::sqrt(sq)) : v;
}

// Moves the state forward or back by its speed; true when it ran past its last (or first)
// keyframe and wrapped. A state that did not end keeps no speed.
bool AdvanceState(MV2PuppetAnimState* s) {
    const MV2PuppetAnim* a = s->anim;
    const int32_t k = a->keyCount;
    s->position += s->speed;
    if (s->speed > 0) {
        while (s->position >= a->keys[s->keyframe].t1) {
            if (++s->keyframe >= k) {
                s->position -= a->keys[k - 1].t1;
                s->keyframe = 1;
                return true;
            }
        }
    } else if (s->speed < 0) {
        while (s->position < a->keys[s->keyframe].t0) {
            if (--s->keyframe < 1) {
                s->position += a->keys[k - 1].t1;
                s->keyframe = k - 1;
                return true;
            }
        }
    }
    s->speed = 0;
    return false;
}

// The first playing state that ends when advanced; null when none does.
MV2PuppetAnimState* Advance(MV2PuppetInstance* in) {
    for (MV2PuppetAnimState* s = in->playing; s; s = s->nextPlaying)
        if (AdvanceState(s)) return s;
    return nullptr;
}

void RemovePlaying(MV2PuppetInstance* in, MV2PuppetAnimState* state) {
    if (!state->playing) return;
    for (MV2PuppetAnimState** link = &in->playing; *link; link = &(*link)->nextPlaying) {
        if (*link == state) {
            *link = state->nextPlaying;
            break;
        }
    }
    state->nextPlaying = nullptr;
    state->playing = 0;
}

// Starts the state again at `position`, moved forward over the keyframes it has passed (one wrap
// at most).
void Restart(MV2PuppetAnimState* s, float position) {
    const MV2PuppetAnim* a = s->anim;
    const int32_t k = a->keyCount;
    s->position = position;
    s->speed = 0;
    s->keyframe = 1;
    while (s->position >= a->keys[s->keyframe].t1) {
        if (++s->keyframe >= k) {
            s->position -= a->keys[k - 1].t1;
            s->keyframe = 1;
            break;
        }
    }
}

// Puts the state into the playing list (at the front or the end) when it is not in it, and
// restarts it.
void StartState(MV2PuppetInstance* in, MV2PuppetAnimState* s, bool front) {
    if (!s->playing) {
        s->playing = 1;
        if (front) {
            s->nextPlaying = in->playing;
            in->playing = s;
        } else {
            s->nextPlaying = nullptr;
            MV2PuppetAnimState** link = &in->playing;
            while (*link)
                link = &(*link)->nextPlaying;
            *link = s;
        }
    }
    Restart(s, in->restartPosition);
}

MV2PuppetStateFlag* FlagByIndex(MV2PuppetInstance* in, int32_t index) {
    return index >= 0 && index < in->flagIndexCount ? in->flagsByIndex[index] : nullptr;
}

MV2PuppetAnimState* StateByIndex(MV2PuppetInstance* in, int32_t index) {
    return index >= 0 && index < in->stateCount ? &in->states[index] : nullptr;
}

bool TriggerHolds(MV2PuppetInstance* in, const MV2AnimTrigger* trigger) {
    if (!trigger->items) return false;
    for (const MV2AnimScriptItem* item = trigger->items; item; item = item->next) {
        if (item->kind == kMV2ScriptState) {
            const MV2PuppetStateFlag* flag = FlagByIndex(in, item->index);
            const int32_t value = flag ? flag->value : 0;
            if (item->modifier == kMV2ScriptNoSign && value == 0) return false;
            if (item->modifier == kMV2ScriptNot && value != 0) return false;
        } else if (item->kind == kMV2ScriptAnim && item->modifier == kMV2ScriptMinus) {
            const MV2PuppetAnimState* s = StateByIndex(in, item->index);
            if (!s || !s->ended) return false;
        }
    }
    return true;
}

// Adds each playing animation's blend of its two current keyframes into the accumulators of the
// nodes it moves; several animations add up.
void MV2PuppetBlendKeys(MV2PuppetInstance* in) {
    for (int32_t i = 0; i < in->nodeCount; i++)
        std::fill_n(in->nodes[i].accumulators, 6, 0);
    for (const MV2PuppetAnimState* s = in->playing; s; s = s->nextPlaying) {
        const MV2PuppetAnim* a = s->anim;
        const MV2PuppetKeyframe& cur = a->keys[s->keyframe];
        const MV2PuppetKeyframe& prev = a->keys[s->keyframe - 1];
        // n = w x 512; a position outside the keyframe's span extrapolates. Products are taken
        // in 64 bits and the sums wrap, whatever the weight.
        const int64_t n = ToInt32((s->position - cur.t0) * cur.inverse * 512.0f);
        for (int32_t i = 0; i < in->nodeCount; i++) {
            const int32_t j = s->nodeSlots[i];
            if (j < 0) continue;
            const int16_t* from = prev.values + size_t(j) * 6;
            const int16_t* to = cur.values + size_t(j) * 6;
            int32_t* acc = in->nodes[i].accumulators;
            for (int c = 0; c < 6; c++)
                acc[c] = int32_t(uint32_t(acc[c]) + uint32_t(from[c] * (512 - n) + to[c] * n));
        }
    }
}

// The rows of r x m (r applied first), for the 3 x 3 parts.
void Rotate(TvMatrix& m, const TvV3d (&r)[3]) {
    const TvV3d right = m.right, up = m.up, at = m.at;
    TvV3d* rows[3] = {&m.right, &m.up, &m.at};
    for (int i = 0; i < 3; i++)
        *rows[i] = TvV3dAdd(TvV3dAdd(TvV3dScale(right, r[i].x), TvV3dScale(up, r[i].y)),
                            TvV3dScale(at, r[i].z));
}

// Local matrix from the accumulators, then the world matrix in the owner's frame. The turn about
// the up vector comes first; the turns about the matrix's own right and then at vectors follow
// it, which is the same as applying them before it: local = Rz x Rx x Ry.
void MV2PuppetPoseNode(MV2PuppetNodeInstance* n) {
    TvMatrix& m = n->local;
    TvMatrixSetIdentity(&m);
    const int32_t* a = n->accumulators;
    constexpr float kRadians = 0.017453292f;
    if (a[0]) {
        const float t = Fixed(a[0]) * kRadians, c = std::cos(t), s = std::sin(t);
        Rotate(m, {{c, 0, -s}, {0, 1, 0}, {s, 0, c}});
    }
    if (a[1]) {
        const float t = Fixed(a[1]) * kRadians, c = std::cos(t), s = std::sin(t);
        Rotate(m, {{1, 0, 0}, {0, c, s}, {0, -s, c}});
    }
    if (a[2]) {
        const float t = Fixed(a[2]) * kRadians, c = std::cos(t), s = std::sin(t);
        Rotate(m, {{c, s, 0}, {-s, c, 0}, {0, 0, 1}});
    }
    m.pos = {Fixed(a[3]), Fixed(a[4]), Fixed(a[5])};
    if (a[0] || a[1] || a[2] || m.pos.x != 0.0f || m.pos.y != 0.0f || m.pos.z != 0.0f)
        m.flags &= ~kTvMatrixIdentity;
    const TvV3d before = n->world.pos;
    if (n->parent) {
        TvMatrixMultiply(&n->world, &m, &n->parent->world);
    } else {
        n->world = m;
        n->world.pos.y -= 1.0f;
        n->world.flags &= ~kTvMatrixIdentity;
    }
    n->motion = TvV3dSub(n->world.pos, before);
}

void PoseAll(MV2PuppetInstance* in) {
    for (int32_t i = 0; i < in->nodeCount; i++)
        MV2PuppetPoseNode(&in->nodes[i]);
}

MV2PuppetNodeInstance* NodeById(MV2PuppetInstance* in, int64_t id) {
    for (int32_t i = 0; i < in->nodeCount; i++)
        if (in->nodes[i].node->id == id) return &in->nodes[i];
    return nullptr;
}

// Stored names compare on their first 16 bytes.
bool SameName(const char* stored, const char* name) {
    return std::strncmp(stored, name, kMV2PuppetNameSize) == 0;
}

// A node name as the script and callers write it: '_' stands for a blank.
bool SameNodeName(const char* stored, const char* name) {
    for (size_t i = 0; i <= kMV2PuppetNodeNameSize; i++) {
        const char c = name[i] == '_' ? ' ' : name[i];
        if (i == kMV2PuppetNodeNameSize) return c == 0;
        if (stored[i] != c) return false;
        if (c == 0) return true;
    }
    return false;
}

// Closest point of triangle abc to p.
TvV3d ClosestOnTriangle(const TvV3d& p, const TvV3d& a, const TvV3d& b, const TvV3d& c) {
    const TvV3d ab = TvV3dSub(b, a), ac = TvV3dSub(c, a), ap = TvV3dSub(p, a);
    const float d1 = TvV3dDot(ab, ap), d2 = TvV3dDot(ac, ap);
    if (d1 <= 0 && d2 <= 0) return a;
    const TvV3d bp = TvV3dSub(p, b);
    const float d3 = TvV3dDot(ab, bp), d4 = TvV3dDot(ac, bp);
    if (d3 >= 0 && d4 <= d3) return b;
    const float vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0) return TvV3dAdd(a, TvV3dScale(ab, d1 / (d1 - d3)));
    const TvV3d cp = TvV3dSub(p, c);
    const float d5 = TvV3dDot(ab, cp), d6 = TvV3dDot(ac, cp);
    if (d6 >= 0 && d5 <= d6) return c;
    const float vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0) return TvV3dAdd(a, TvV3dScale(ac, d2 / (d2 - d6)));
    const float va = d3 * d6 - d5 * d4;
    if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0)
        return TvV3dAdd(b, TvV3dScale(TvV3dSub(c, b), (d4 - d3) / ((d4 - d3) + (d5 - d6))));
    const float denom = 1.0f / (va + vb + vc);
    return TvV3dAdd(a, TvV3dAdd(TvV3dScale(ab, vb * denom), TvV3dScale(ac, vc * denom)));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Loading

int32_t MV2PuppetSetDirectory(MV2AnimSet* set) {
    if (!set) return 0;
    const size_t length = strnlen(set->folder, sizeof set->folder);
    if (length == sizeof set->folder) return 0;
    if (length > 0 && set->folder[length - 1] != '\\') {
        if (length + 1 >= sizeof set->folder) return 0;
        set->folder[length] = '\\';
        set->folder[length + 1] = 0;
    }
    std::memcpy(g_folder, set->folder, sizeof g_folder);
    return 1;
}

MV2Puppet* MV2PuppetReadBytes(TpClump* clump, const uint8_t* data, size_t size, int32_t flag) {
    TpGeometry* geometry = ClumpGeometry(clump, nullptr);
    TpMorphTarget* target = geometry ? TpGeometryGetMorphTarget(geometry, 0) : nullptr;
    PuppetSource src{};
    if (target) {
        src.vertices = TpMorphTargetGetVertices(target);
        src.normals = TpMorphTargetGetNormals(target);
        src.vertexCount = uint32_t(std::max(geometry->numVertices, 0));
    }
    Arena measure;
    if (!WalkPuppet(ByteReader{data, size}, src, measure, nullptr)) return nullptr;
    MV2Puppet* puppet = NewPuppet(clump, flag);
    if (!puppet) return nullptr;
    Arena arena;
    arena.base = static_cast<uint8_t*>(TvCalloc(1, std::max<size_t>(measure.used, 1)));
    puppet->block = arena.base;
    if (!arena.base || !WalkPuppet(ByteReader{data, size}, src, arena, puppet) ||
        !LinkPuppet(puppet)) {
        MV2PuppetDestroy(puppet);
        return nullptr;
    }
    return puppet;
}

MV2Puppet* MV2PuppetRead(TpClump* clump, int32_t flag) {
    char path[sizeof g_folder + 16];
    std::snprintf(path, sizeof path, "%spuppet.pup", g_folder);
    size_t size = 0;
    uint8_t* bytes = ReadWholeFile(path, "rb", SIZE_MAX - 2, &size);
    if (!bytes) return NewPuppet(clump, flag);
    MV2Puppet* puppet = MV2PuppetReadBytes(clump, bytes, size, flag);
    TvFree(bytes);
    return puppet;
}

int32_t MV2AnimsReadBytes(MV2Puppet* puppet, const uint8_t* data, size_t size) {
    if (!puppet) return 0;
    FreeAnims(puppet);
    Arena measure;
    if (!WalkAnims(ByteReader{data, size}, measure, nullptr, nullptr)) return 0;
    Arena arena;
    arena.base = static_cast<uint8_t*>(TvCalloc(1, std::max<size_t>(measure.used, 1)));
    if (!arena.base) return 0;
    puppet->animBlock = arena.base;
    if (!WalkAnims(ByteReader{data, size}, arena, &puppet->anims, &puppet->animCount)) {
        FreeAnims(puppet);
        return 0;
    }
    return 1;
}

int32_t MV2AnimsRead(MV2Puppet* puppet, const char* path) {
    size_t size = 0;
    uint8_t* bytes = ReadWholeFile(path, "rb", SIZE_MAX - 2, &size);
    if (!bytes) {
        if (puppet) FreeAnims(puppet);
        return 0;
    }
    const int32_t ok = MV2AnimsReadBytes(puppet, bytes, size);
    TvFree(bytes);
    return ok;
}

void MV2PuppetDestroy(MV2Puppet* puppet) {
    if (!puppet) return;
    FreeAnims(puppet);
    MV2PuppetFreeFlags(&puppet->flags);
    if (puppet->triggerList) TvFreeListDestroy(puppet->triggerList);
    if (puppet->itemList) TvFreeListDestroy(puppet->itemList);
    TvFree(puppet->block);
    TvFree(puppet);
}

int32_t MV2LoadAnimSet(MV2AnimSet* set, const MV2PuppetCallback* table, int32_t count) {
    if (!set || !MV2PuppetSetDirectory(set)) return 0;
    MV2PuppetDestroy(set->puppet);
    set->puppet = MV2PuppetRead(set->clump, 0);
    if (!set->puppet) return 0;
    set->puppet->callbacks = table;
    set->puppet->callbackCount = table ? std::max(count, 0) : 0;
    char path[sizeof set->folder + 16];
    std::snprintf(path, sizeof path, "%sanims.bin", set->folder);
    MV2AnimsRead(set->puppet, path);
    std::snprintf(path, sizeof path, "%sanim.txt", set->folder);
    return MV2AnimScriptParseFile(set->puppet, path);
}

void MV2DestroyAnimSet(MV2AnimSet* set) {
    if (!set) return;
    MV2PuppetDestroy(set->puppet);
    set->puppet = nullptr;
}

MV2PuppetInstance* MV2PuppetClone(MV2Puppet* puppet, TpClump* clump, void* userData) {
    if (!puppet) return nullptr;
    TpAtomic* atomic = nullptr;
    TpGeometry* geometry = ClumpGeometry(clump, &atomic);
    TpMorphTarget* target = geometry ? TpGeometryGetMorphTarget(geometry, 0) : nullptr;
    // Skinning writes the geometry the puppet was read for: the same vertex count.
    if (puppet->nodeCount > 0 &&
        (!target || !target->vertices ||
         geometry->numVertices != puppet->vertexCount + puppet->duplicateCount))
        return nullptr;

    const int32_t n = puppet->nodeCount, nv = puppet->nodeVertexCount;
    const int32_t a = puppet->animCount, f = puppet->flags.count;
    Arena arena;
    for (int pass = 0; pass < 2; pass++) {
        arena.used = 0;
        auto* in = arena.Take<MV2PuppetInstance>(1);
        auto* nodes = arena.Take<MV2PuppetNodeInstance>(n);
        auto* positionDeltas = arena.Take<TvV3d>(nv);
        auto* normalDeltas = arena.Take<TvV3d>(nv);
        auto* contributions = arena.Take<int32_t>(nv);
        auto* states = arena.Take<MV2PuppetAnimState>(a);
        auto* slots = arena.Take<int32_t>(uint64_t(a) * n);
        auto* flags = arena.Take<MV2PuppetStateFlag*>(f);
        auto* shapeVertices = arena.Take<TvV3d>(puppet->shapeVertexCount);
        if (pass == 0) {
            arena.base = static_cast<uint8_t*>(TvCalloc(1, arena.used));
            if (!arena.base) return nullptr;
            continue;
        }
        in->puppet = puppet;
        in->block = arena.base;
        in->blockSize = arena.used;
        in->clump = clump;
        in->atomic = atomic;
        in->geometry = geometry;
        in->vertices = target ? target->vertices : nullptr;
        in->normals = target ? TpMorphTargetGetNormals(target) : nullptr;
        in->userData = userData;
        in->shapeVertices = shapeVertices;

        in->nodeCount = n;
        in->nodes = n ? nodes : nullptr;
        int32_t first = 0;
        for (int32_t i = 0; i < n; i++) {
            const MV2PuppetNode* def = &puppet->nodes[i];
            MV2PuppetNodeInstance& node = nodes[i];
            node.node = &puppet->nodes[i];
            node.parent = def->parent ? &nodes[def->parent - puppet->nodes] : nullptr;
            node.child = def->child ? &nodes[def->child - puppet->nodes] : nullptr;
            node.next = def->next ? &nodes[def->next - puppet->nodes] : nullptr;
            node.positionDeltas = positionDeltas + first;
            node.normalDeltas = normalDeltas + first;
            node.contributions = contributions + first;
            first += def->vertexCount;
        }

        // States, with each node's values in every animation: the first listing of its id.
        NodeIndex index;
        if (!index.Build(puppet->nodes, n)) {
            TvFree(arena.base);
            return nullptr;
        }
        in->stateCount = a;
        in->states = a ? states : nullptr;
        int32_t k = 0;
        for (MV2PuppetAnim* anim = puppet->anims; anim && k < a; anim = anim->next, k++) {
            MV2PuppetAnimState& s = states[k];
            s.anim = anim;
            s.next = k + 1 < a ? &states[k + 1] : nullptr;
            s.keyframe = 1;
            s.nodeSlots = slots + size_t(k) * n;
            std::fill_n(s.nodeSlots, n, -1);
            // Later listings first, so that each node keeps the first listing of its id.
            for (int32_t j = anim->nodeCount - 1; j >= 0; j--)
                for (const NodeIndex::Entry* e = index.First(anim->nodeIds[j]);
                     e != index.End() && e->id == anim->nodeIds[j]; e++)
                    s.nodeSlots[e->index] = j;
        }

        // The script's state flags, all 0.
        for (const MV2PuppetStateFlag* src = puppet->flags.first; src; src = src->next) {
            if (MV2PuppetAddStateFlag(&in->flags, src->name) < 0) {
                MV2PuppetFreeFlags(&in->flags);
                TvFree(arena.base);
                return nullptr;
            }
        }
        in->flagIndexCount = f;
        in->flagsByIndex = f ? flags : nullptr;
        int32_t fi = 0;
        for (MV2PuppetStateFlag* e = in->flags.first; e && fi < f; e = e->next)
            flags[fi++] = e;

        PoseAll(in);
        for (int32_t i = 0; i < n; i++)
            nodes[i].motion = TvV3d{};
        if (!RememberInstance(in)) {
            MV2PuppetFreeFlags(&in->flags);
            TvFree(arena.base);
            return nullptr;
        }
        return in;
    }
    return nullptr;
}

MV2PuppetInstance* MV2CreateAnimInstance(MV2Puppet* puppet, TpClump* clump, void* userData) {
    return MV2PuppetClone(puppet, clump, userData);
}

void MV2PuppetFreeAnims(MV2PuppetInstance* instance) {
    if (!instance) return;
    ForgetInstance(instance);
    MV2PuppetFreeFlags(&instance->flags);
    TvFree(instance->block);
}

// ---------------------------------------------------------------------------------------------
// Running

int32_t MV2PuppetUpdate(MV2PuppetInstance* in, TvMatrix* owner, float step) {
    if (!in) return 0;
    for (MV2PuppetAnimState* s = in->playing; s; s = s->nextPlaying)
        if (s->anim->run) s->speed += step;
    for (int32_t i = 0; i < in->stateCount; i++)
        in->states[i].ended = 0;

    MV2PuppetNodeInstance* foot = nullptr;
    for (MV2PuppetAnimState* s = in->playing; s; s = s->nextPlaying) {
        if (s->anim->footNode >= 0) {
            foot = NodeById(in, s->anim->footNode);
            break;
        }
    }
    const TvV3d before = foot ? foot->world.pos : TvV3d{};

    in->restartPosition = 0;
    while (MV2PuppetAnimState* ended = Advance(in)) {
        RemovePlaying(in, ended);
        ended->ended = 1;
        MV2PuppetRunEvents(in, owner, ended->anim->endEvents);
        in->restartPosition = ended->position;
    }

    for (int32_t i = 0; i < in->stateCount; i++) {
        MV2PuppetAnimState* s = &in->states[i];
        int32_t ordinal = 0;
        for (const MV2AnimTrigger* t = s->anim->triggers; t; t = t->next) {
            ordinal++;
            if (!TriggerHolds(in, t)) continue;
            StartState(in, s, true);
            s->ordinal = ordinal;
            MV2PuppetRunEvents(in, owner, s->anim->startEvents);
            break;
        }
    }
    in->restartPosition = 0;

    MV2PuppetBlendKeys(in);
    if (in->puppet->hook) in->puppet->hook(in);
    PoseAll(in);

    if (!foot || !owner) return 0;
    const TvV3d d = TransformVector(TvV3dSub(before, foot->world.pos), *owner);
    owner->pos.x += d.x;
    owner->pos.z += d.z;
    if (d.x != 0.0f || d.z != 0.0f) owner->flags &= ~kTvMatrixIdentity;
    return d.x * d.x + d.z * d.z > kMV2PuppetFootThreshold ? 1 : 0;
}

void MV2PuppetBindClump(MV2PuppetInstance* in) {
    if (!in || in->nodeCount == 0 || !in->vertices) return;
    const MV2Puppet* p = in->puppet;
    TvV3d* vertices = in->vertices;
    TvV3d* normals = in->normals;
    TpGeometryLock(in->geometry, normals ? kTpLockVertices | kTpLockNormals : kTpLockVertices);
    // The sums start from 0: the first node to write a vertex stores it, the others add to it.
    for (int32_t i = 0; i < p->unwrittenCount; i++) {
        vertices[p->unwritten[i]] = TvV3d{};
        if (normals) normals[p->unwritten[i]] = TvV3d{};
    }
    for (int32_t i = 0; i < in->nodeCount; i++) {
        MV2PuppetNodeInstance& ni = in->nodes[i];
        const MV2PuppetNode* node = ni.node;
        bool deformed = false;
        for (const MV2PuppetTrack* t = node->tracks; t; t = t->next) {
            const MV2PuppetNodeInstance& driver = in->nodes[t->driver - p->nodes];
            const int64_t excess = std::llabs(int64_t(driver.accumulators[t->channel])) - t->start;
            if (excess < 1) continue;
            const float weight = float(excess >> 8) / 256.0f * t->inverseRange;
            const bool whole = !(weight < 1.0f);
            for (int32_t k = 0; k < t->keyCount; k++) {
                const MV2PuppetKey& key = t->keys[k];
                TvV3d& dp = ni.positionDeltas[key.vertex];
                TvV3d& dn = ni.normalDeltas[key.vertex];
                dp = TvV3dAdd(dp, whole ? key.position : TvV3dScale(key.position, weight));
                dn = TvV3dAdd(dn, whole ? key.normal : TvV3dScale(key.normal, weight));
                ni.contributions[key.vertex]++;
            }
            deformed = true;
        }
        const TvMatrix& m = ni.world;
        const int32_t keyed = deformed ? node->keyedVertices : 0;
        for (int32_t j = 0; j < node->vertexCount; j++) {
            TvV3d position = node->restPositions[j];
            TvV3d normal = node->restNormals[j];
            const int32_t c = j < keyed ? ni.contributions[j] : 0;
            if (c) {
                const float share = 1.0f / float(c);
                position = TvV3dAdd(position, TvV3dScale(ni.positionDeltas[j], share));
                normal = TvV3dAdd(normal, TvV3dScale(ni.normalDeltas[j], share));
                ni.positionDeltas[j] = TvV3d{};
                ni.normalDeltas[j] = TvV3d{};
                ni.contributions[j] = 0;
            }
            position = TransformPoint(position, m);
            normal = TransformVector(normal, m);
            if (c) normal = Normalised(normal);
            const uint32_t v = node->vertices[j];
            if (node->firstWrites[j]) {
                vertices[v] = position;
                if (normals) normals[v] = normal;
            } else {
                vertices[v] = TvV3dAdd(vertices[v], position);
                if (normals) normals[v] = TvV3dAdd(normals[v], normal);
            }
        }
    }
    for (int32_t i = 0; i < p->sharedCount; i++) {
        const uint32_t v = p->shared[i];
        vertices[v] = TvV3dScale(vertices[v], 1.0f / float(p->vertexNodeCounts[v]));
        if (normals) normals[v] = Normalised(normals[v]);
    }
    for (int32_t i = 0; i < p->duplicateCount; i++) {
        const size_t v = size_t(p->vertexCount) + size_t(i);
        vertices[v] = vertices[p->duplicates[i]];
        if (normals) normals[v] = normals[p->duplicates[i]];
    }
    if (!in->bound) {
        TpMorphTarget* target = TpGeometryGetMorphTarget(in->geometry, 0);
        TvSphere sphere;
        if (TpMorphTargetCalculateBoundingSphere(target, &sphere))
            TpMorphTargetSetBoundingSphere(target, &sphere);
        if (in->atomic) in->atomic->interpolator.flags |= kTpInterpolateSphere;
        in->bound = 1;
    }
    TpGeometryUnlock(in->geometry);
}

void MV2PuppetPlayAnim(MV2PuppetInstance* instance, int32_t index) {
    if (!instance) return;
    if (MV2PuppetAnimState* s = StateByIndex(instance, index)) StartState(instance, s, false);
}

void MV2PuppetStopAnim(MV2PuppetInstance* instance, int32_t index) {
    if (!instance) return;
    if (MV2PuppetAnimState* s = StateByIndex(instance, index)) RemovePlaying(instance, s);
}

MV2PuppetAnim* MV2PuppetFindAnim(const MV2Puppet* puppet, const char* name) {
    if (!puppet || !name) return nullptr;
    for (MV2PuppetAnim* a = puppet->anims; a; a = a->next)
        if (SameName(a->name, name)) return a;
    return nullptr;
}

int32_t MV2PuppetAddStateFlag(MV2PuppetFlagList* list, const char* name) {
    if (!list || !name) return -1;
    int32_t index = 0;
    for (const MV2PuppetStateFlag* f = list->first; f; f = f->next, index++)
        if (SameName(f->name, name)) return index;
    auto* flag = static_cast<MV2PuppetStateFlag*>(TvCalloc(1, sizeof(MV2PuppetStateFlag)));
    if (!flag) return -1;
    CopyName(flag->name, reinterpret_cast<const uint8_t*>(name),
             strnlen(name, kMV2PuppetNameSize));
    if (list->last)
        list->last->next = flag;
    else
        list->first = flag;
    list->last = flag;
    return list->count++;
}

int32_t* MV2PuppetGetEventSlot(MV2PuppetFlagList* list, int32_t index) {
    if (!list || index < 0) return nullptr;
    for (MV2PuppetStateFlag* f = list->first; f; f = f->next, index--)
        if (index == 0) return &f->value;
    return nullptr;
}

void MV2PuppetFreeFlags(MV2PuppetFlagList* list) {
    if (!list) return;
    for (MV2PuppetStateFlag* f = list->first; f;) {
        MV2PuppetStateFlag* next = f->next;
        TvFree(f);
        f = next;
    }
    *list = MV2PuppetFlagList{};
}

void MV2PuppetSetStateFlag(MV2PuppetInstance* instance, const char* name, int32_t value) {
    if (!instance) return;
    if (int32_t* slot = MV2PuppetGetEventSlot(&instance->flags,
                                              MV2PuppetAddStateFlag(&instance->flags, name)))
        *slot = value;
}

MV2PuppetNodeInstance* MV2PuppetFindNode(MV2PuppetInstance* instance, const char* name) {
    if (!instance || !name) return nullptr;
    for (int32_t i = 0; i < instance->nodeCount; i++)
        if (SameNodeName(instance->nodes[i].node->name, name)) return &instance->nodes[i];
    return nullptr;
}

MV2PuppetNode* MV2PuppetFindDefNode(MV2Puppet* puppet, const char* name) {
    if (!puppet || !name) return nullptr;
    for (int32_t i = 0; i < puppet->nodeCount; i++)
        if (SameNodeName(puppet->nodes[i].name, name)) return &puppet->nodes[i];
    return nullptr;
}

MV2PuppetNodeInstance* MV2PuppetFindNearestNode(MV2PuppetInstance* instance, const TvV3d* point) {
    if (!instance || !point) return nullptr;
    MV2PuppetNodeInstance* nearest = nullptr;
    float best = 1000000.0f;
    for (int32_t i = 0; i < instance->nodeCount; i++) {
        const TvV3d d = TvV3dSub(instance->nodes[i].world.pos, *point);
        const float sq = TvV3dDot(d, d);
        if (sq < best) {
            best = sq;
            nearest = &instance->nodes[i];
        }
    }
    return nearest;
}

int32_t MV2PuppetFindCallback(const MV2Puppet* puppet, const char* name) {
    if (!puppet || !name || !puppet->callbacks) return -1;
    const MV2PuppetCallback* table = puppet->callbacks;
    const int32_t count = puppet->callbackCount;
    // Over the name-sorted rows, column by column: skip rows whose character is smaller.
    int32_t row = 0;
    for (size_t i = 0; i < kMV2PuppetNameSize && name[i]; i++) {
        while (row < count && uint8_t(table[row].name[i]) < uint8_t(name[i]))
            row++;
        if (row >= count || uint8_t(table[row].name[i]) > uint8_t(name[i])) return -1;
    }
    // The walk ends on the first row that could match; it must be the whole name.
    char stored[kMV2PuppetNameSize + 1];
    CopyName(stored, reinterpret_cast<const uint8_t*>(table[row].name), kMV2PuppetNameSize);
    return row < count && SameName(stored, name) && std::strlen(stored) ==
                                                        strnlen(name, kMV2PuppetNameSize)
               ? row
               : -1;
}

void MV2PuppetRunEvents(MV2PuppetInstance* instance, TvMatrix*, MV2AnimScriptItem* list) {
    if (!instance) return;
    for (const MV2AnimScriptItem* item = list; item; item = item->next) {
        if (item->kind == kMV2ScriptState) {
            MV2PuppetStateFlag* flag = FlagByIndex(instance, item->index);
            if (!flag) continue;
            if (item->modifier == kMV2ScriptPlus) flag->value = 1;
            if (item->modifier == kMV2ScriptMinus) flag->value = 0;
            if (item->modifier == kMV2ScriptNot) flag->value = !flag->value;
        } else if (item->kind == kMV2ScriptAnim) {
            MV2PuppetAnimState* s = StateByIndex(instance, item->index);
            if (!s) continue;
            if (item->modifier == kMV2ScriptNoSign || item->modifier == kMV2ScriptPlus)
                StartState(instance, s, false);
            else if (item->modifier == kMV2ScriptMinus)
                RemovePlaying(instance, s);
        } else if (item->kind == kMV2ScriptCallback) {
            const MV2Puppet* p = instance->puppet;
            if (item->index >= 0 && item->index < p->callbackCount &&
                p->callbacks[item->index].function)
                p->callbacks[item->index].function(instance->userData);
        }
    }
}

int32_t MV2PuppetGetPartTriangles(MV2PuppetInstance* instance, const TvV3d* centre, float radius,
                                  int32_t max, MV2TriangleHit* out, MV2PuppetPart* parts) {
    if (!instance || !centre || !out || max <= 0) return 0;
    const MV2Puppet* p = instance->puppet;
    const float r2 = radius * radius;
    int32_t count = 0;
    TvV3d* posed = instance->shapeVertices;
    for (int32_t k = 0; k < p->shapeCount; k++) {
        const MV2PuppetShape& shape = p->shapes[k];
        TvV3d* v = posed;
        posed += shape.vertexCount;
        const MV2PuppetNodeInstance& node = instance->nodes[shape.node];
        const TvV3d c = TvV3dSub(TransformPoint(shape.centre, node.world), *centre);
        const float reach = radius + shape.radius;
        if (TvV3dDot(c, c) > reach * reach) continue;
        for (int32_t i = 0; i < shape.vertexCount; i++)
            v[i] = TransformPoint(shape.vertices[i], node.world);
        for (int32_t t = 0; t < shape.triangleCount; t++) {
            const uint32_t* corner = shape.triangles[t].vertex;
            TvV3d* a = &v[corner[0]];
            TvV3d* b = &v[corner[1]];
            TvV3d* e = &v[corner[2]];
            const TvV3d cross = TvV3dCross(TvV3dSub(*b, *a), TvV3dSub(*e, *a));
            const float length = std::sqrt(TvV3dDot(cross, cross));
            if (!(length > 0.0f)) continue;
            const TvV3d normal = TvV3dScale(cross, 1.0f / length);
            const float height = TvV3dDot(TvV3dSub(*centre, *a), normal);
            if (height < 0.0f || height > radius) continue; // behind, or its plane out of reach
            const TvV3d d = TvV3dSub(*centre, ClosestOnTriangle(*centre, *a, *b, *e));
            if (TvV3dDot(d, d) > r2) continue;
            out[count] = MV2TriangleHit{normal, *a, t, {a, b, e}};
            if (parts) parts[count] = MV2PuppetPart{shape.nodeId, node.motion};
            if (++count == max) return count;
        }
    }
    return count;
}

MV2PuppetInstance* MV2PuppetFindInstance(const TpClump* clump) {
    if (!clump) return nullptr;
    for (int32_t i = 0; i < g_live.count; i++)
        if (g_live.entries[i]->clump == clump) return g_live.entries[i];
    return nullptr;
}

int32_t MV2ObjectPuppetPartTriangles(MV2Object* object, const TvV3d* centre, float radius,
                                     int32_t max, MV2TriangleHit* out, uint32_t* parts,
                                     TvV3d* partVelocities) {
    MV2PuppetInstance* instance = object ? MV2PuppetFindInstance(object->clump) : nullptr;
    if (!instance) return 0;
    MV2PuppetPart found[kMV2PuppetMaxPartTriangles];
    const int32_t n = MV2PuppetGetPartTriangles(
        instance, centre, radius, std::min(max, kMV2PuppetMaxPartTriangles), out, found);
    for (int32_t i = 0; i < n; i++) {
        // The part's motion of the last pose, turned into world space, as a velocity: ten
        // times the motion at an animation rate of one.
        TvV3d motion = found[i].motion;
        if (object->matrix) TvV3dTransformVectors(&motion, &found[i].motion, 1, object->matrix);
        if (parts) parts[i] = found[i].id;
        if (partVelocities) partVelocities[i] = TvV3dScale(motion, 10.0f);
    }
    return n;
}
