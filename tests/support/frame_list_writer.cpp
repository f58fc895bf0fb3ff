#include "tests/support/frame_list_writer.h"

FrameRecord FrameAt(float x, float y, float z, int32_t parent) {
    return FrameRecord{{1, 0, 0, 0, 1, 0, 0, 0, 1, x, y, z}, parent, {}};
}

ChunkWriter& WriteFrameList(ChunkWriter& writer, const std::vector<FrameRecord>& frames) {
    writer.Begin(TV_ID_STRUCT).U32(uint32_t(frames.size()));
    for (const FrameRecord& f : frames) {
        for (float v : f.rows)
            writer.F32(v);
        writer.I32(f.parent).U32(0);
    }
    writer.End();
    for (const FrameRecord& f : frames)
        WriteExtension(writer, f.extension);
    return writer;
}
