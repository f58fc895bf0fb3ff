// Game messages come from any peer: hand arbitrary payloads from a few senders to the game's
// network callback, on a host and on a joining machine, over a network stand-in that takes every
// send, then run the per-frame update over the records they made.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "engine/core/engine.h"
#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/random.h"
#include "engine/world/world_plugin.h"
#include "fuzz/world_input.h"
#include "game/objects/clumpdata.h"
#include "game/objects/lighting.h"
#include "game/objects/modeltags.h"
#include "game/objects/objecttypes.h"
#include "framework/network/network.h"
#include "game/multiplayer/multiplayer.h"
#include "game/objects/objects.h"
#include "platform/winmm/winmm.h"
#include "tests/support/stub_network.h"

namespace {

// Takes every send; the callback's answers go nowhere.
class QuietNetwork final : public StubNetwork {
public:
    VkResult GetPlayerOwner(uint32_t id, uint32_t* outOwner) override {
        *outOwner = id % 5; // some players belong to a sender below
        return VK_OK;
    }
    VkResult Send(VkNetMessage* m, uint32_t) override { return Check(m); }
    VkResult SendToAll(VkNetMessage* m, uint32_t) override { return Check(m); }

private:
    static VkResult Check(VkNetMessage* m) {
        // Every block the game sends holds its header and a game payload of a known size.
        if (m->length < kVkNetHeaderSize + 8 || m->length > kVkNetHeaderSize + kMV2NetMaxPayload)
            __builtin_trap();
        return VK_OK;
    }
};

QuietNetwork g_network;

bool Attach() {
    return TpWorldPluginAttach() == 1 && TvRandomPluginAttach() == 1 &&
           TpAtomicCollDataPluginAttach() == 1 &&
           TpAtomicDataPluginAttach() == 1 && TpClumpDataPluginAttach() != 0 &&
           TpFrameTagPluginAttach() == 1;
}

// The four craft types get a model of one frame, so that remote craft are made and moved.
bool Start() {
    if (!WorldFuzzStart(Attach) || !MV2InitialiseObjects()) return false;
    for (int32_t t : MV2NetRemoteCraftTypes) {
        MV2ObjectType* type = MV2GetObjectType(t);
        type->model = TpClumpCreate();
        TpClumpSetFrame(type->model, TvFrameCreate());
        type->words[7] = kMV2TypeModelLoaded;
        type->words[30] = 0xFFFF;
        MV2SetTypeFloat(type, 1, 100.0f);
    }
    PlatformUseManualClock(true, 5000);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = Start();
    if (!ready || size < 1) return 0;
    gMV2Net = MV2NetClient{};
    gMV2Net.network = &g_network;
    gMV2Net.created = 1;
    gMV2Net.inSession = 1;
    gMV2Net.localId = 1;
    gMV2Net.hostId = 2;
    gMV2Net.textsLoaded = 1;
    std::strcpy(gMV2Net.texts[9], "%s joined %d %n %%");
    gMV2NetHost = data[0] & 1;
    gMV2Net.fragLimit = data[0] >> 4;
    MV2NetClearRecords();
    MV2NetClearTicker();
    // Messages: a length byte, a sender byte (ids 0-4), then that many payload bytes.
    size_t at = 1;
    while (at + 2 <= size) {
        const size_t length = data[at];
        const uint32_t sender = data[at + 1] % 5;
        at += 2;
        const size_t n = length < size - at ? length : size - at;
        // A block of exactly the message's size, so that a read past it is caught.
        std::unique_ptr<uint8_t[]> block(new uint8_t[kVkNetHeaderSize + n]);
        auto* m = reinterpret_cast<VkNetMessage*>(block.get());
        *m = {kVkNetHeaderWord, sender, 1, uint32_t(n), block.get() + kVkNetHeaderSize};
        if (n) std::memcpy(m->payload, data + at, n);
        const int32_t answer = MV2NetMessageCallBack(m);
        if (answer != 0 && answer != kMV2NetRefusePlayer) __builtin_trap();
        at += n;
        PlatformAdvanceClock(40);
    }
    MV2NetUpdate();
    MV2DestroyAllObjects();
    return 0;
}
