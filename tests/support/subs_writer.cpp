#include "tests/support/subs_writer.h"

#include <cstring>
#include <fstream>

namespace {

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

void PutF(std::vector<uint8_t>& b, size_t at, float f) {
    uint32_t v;
    std::memcpy(&v, &f, sizeof v);
    Put32(b, at, v);
}

void PutText(std::vector<uint8_t>& b, size_t at, const std::string& text, size_t field) {
    for (size_t i = 0; i < text.size() && i < field; ++i)
        b[at + i] = uint8_t(text[i]);
}

} // namespace

std::vector<uint8_t> SubRecordBytes(const SubRecordSpec& r) {
    std::vector<uint8_t> b(800, 0);
    PutText(b, 0, r.name, 16);
    PutF(b, 16, r.value16);
    PutF(b, 20, r.maxSpeed);
    PutF(b, 24, r.minThrust);
    PutF(b, 28, r.acceleration);
    PutF(b, 32, r.turnLimit);
    b[36] = r.partCount;
    for (size_t i = 0; i < r.parts.size() && i < 10; ++i) {
        const size_t at = 40 + 20 * i;
        PutF(b, at, r.parts[i].factor);
        Put32(b, at + 4, 0xDEADBEEF); // axes: set by the reader
        Put32(b, at + 8, 0xDEADBEEF);
        Put32(b, at + 12, r.parts[i].tags);
        Put32(b, at + 16, r.parts[i].flags);
    }
    b[600] = r.attachmentCount;
    PutText(b, 601, r.soundName, 35);
    Put32(b, 636, uint32_t(r.soundId));
    Put32(b, 640, uint32_t(r.soundBase));
    Put32(b, 644, uint32_t(r.soundMax));
    Put32(b, 648, uint32_t(r.soundParamOther));
    Put32(b, 652, uint32_t(r.soundParamPlayer));
    PutF(b, 656, r.maxPitchRate);
    Put32(b, 660, r.specialFlags);
    for (int i = 0; i < 3; ++i)
        PutF(b, 676 + 4 * size_t(i), r.vector[i]);
    for (int i = 0; i < 28; ++i)
        Put32(b, 688 + 4 * size_t(i), uint32_t(r.ammunition[i]));
    return b;
}

std::vector<uint8_t> SubsFileBytes(int32_t count, const std::vector<SubRecordSpec>& records) {
    std::vector<uint8_t> b(32, 0);
    Put32(b, 8, uint32_t(count));
    for (const SubRecordSpec& r : records) {
        const std::vector<uint8_t> bytes = SubRecordBytes(r);
        b.insert(b.end(), bytes.begin(), bytes.end());
    }
    return b;
}

bool WriteSubsFile(const std::string& path, const std::vector<SubRecordSpec>& records) {
    const std::vector<uint8_t> b = SubsFileBytes(int32_t(records.size()), records);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return bool(out);
}
