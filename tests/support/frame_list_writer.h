// Writes the body of a frame-list chunk: a struct chunk with the frame records, then one
// extension chunk per frame.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/chunk_writer.h"

struct FrameRecord {
    float rows[12]; // right, up, at, position
    int32_t parent; // -1 for none
    std::vector<ExtensionData> extension;
};

// A record with an identity rotation at `pos`.
FrameRecord FrameAt(float x, float y, float z, int32_t parent);

ChunkWriter& WriteFrameList(ChunkWriter& writer, const std::vector<FrameRecord>& frames);
