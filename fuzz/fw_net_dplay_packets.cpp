// Feeds arbitrary packets, as a peer machine could send them, to the session service's packet
// decoder and to the readers of every structured body.
#include "platform/dplay/dplay_packet.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DplayPacket p;
    if (!DplayDecodePacket(data, size, &p)) return 0;
    if (p.bodySize > size || p.body + p.bodySize != data + size) __builtin_trap();
    GUID instance;
    std::vector<uint32_t> ids;
    DplaySuccession succession;
    DplaySessionInfo info;
    DplayReadInstance(p, &instance);
    DplayReadRejoin(p, &instance, &ids);
    DplayReadSuccession(p, &succession);
    DplayReadSessionInfo(p, &info);
    return 0;
}
