#include "tests/support/chunk_writer.h"

#include <cstring>

ChunkWriter& ChunkWriter::Begin(uint32_t type, uint32_t version) {
    U32(type);
    open_.push_back(data_.size());
    U32(0);
    return U32(version);
}

ChunkWriter& ChunkWriter::End() {
    size_t at = open_.back();
    open_.pop_back();
    uint32_t length = uint32_t(data_.size() - at - 8);
    for (int i = 0; i < 4; i++)
        data_[at + size_t(i)] = uint8_t(length >> (8 * i));
    return *this;
}

ChunkWriter& ChunkWriter::Header(uint32_t type, uint32_t length, uint32_t version) {
    return U32(type).U32(length).U32(version);
}

ChunkWriter& ChunkWriter::U32(uint32_t value) {
    for (int i = 0; i < 4; i++)
        data_.push_back(uint8_t(value >> (8 * i)));
    return *this;
}

ChunkWriter& ChunkWriter::F32(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return U32(bits);
}

ChunkWriter& ChunkWriter::Bytes(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    data_.insert(data_.end(), p, p + size);
    return *this;
}

ChunkWriter& ChunkWriter::Chunk(uint32_t type, const std::vector<uint8_t>& body, uint32_t version) {
    return Header(type, uint32_t(body.size()), version).Bytes(body.data(), body.size());
}

ChunkWriter& ChunkWriter::String(const std::string& text) {
    std::vector<uint8_t> body(text.begin(), text.end());
    body.resize((text.size() + 4) & ~size_t(3), 0);
    return Chunk(TV_ID_STRING, body);
}

ChunkWriter& WriteExtension(ChunkWriter& writer, const std::vector<ExtensionData>& plugins) {
    writer.Begin(TV_ID_EXTENSION);
    for (const ExtensionData& p : plugins)
        writer.Chunk(p.pluginId, p.body);
    return writer.End();
}

TvStream* OpenReadStream(const std::vector<uint8_t>& bytes) {
    TvMemory memory = {const_cast<uint8_t*>(bytes.data()), bytes.size()};
    return TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_READ, &memory);
}
