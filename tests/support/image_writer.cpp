#include "tests/support/image_writer.h"

// clang-format off
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
// clang-format on

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

} // namespace

std::vector<uint8_t> BmpFile(const BmpDesc& desc) {
    const bool core = desc.headerSize == 12;
    const uint32_t entry = core ? 3 : 4;
    const uint32_t offset = 14 + desc.headerSize + entry * uint32_t(desc.palette.size());
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + uint32_t(desc.data.size()));
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, desc.headerSize);
    if (core) {
        Put16(out, uint32_t(desc.width) & 0xFFFF);
        Put16(out, uint32_t(desc.height) & 0xFFFF);
        Put16(out, 1);
        Put16(out, desc.bits);
    } else {
        Put32(out, uint32_t(desc.width));
        Put32(out, uint32_t(desc.height));
        Put16(out, 1);
        Put16(out, desc.bits);
        Put32(out, desc.compression);
        Put32(out, uint32_t(desc.data.size()));
        Put32(out, 2835);
        Put32(out, 2835);
        Put32(out, desc.coloursUsed);
        Put32(out, 0);
        out.resize(14 + desc.headerSize, 0); // larger headers: the rest zero
    }
    for (const TvRGBA& c : desc.palette) {
        out.push_back(c.blue);
        out.push_back(c.green);
        out.push_back(c.red);
        if (!core) out.push_back(0);
    }
    out.insert(out.end(), desc.data.begin(), desc.data.end());
    return out;
}

std::vector<uint8_t> BmpRows(int32_t width, int32_t height, int32_t bits,
                             const std::function<uint32_t(int32_t, int32_t)>& value) {
    const size_t rowBytes = ((size_t(bits) * size_t(width) + 7) / 8 + 3) & ~size_t(3);
    std::vector<uint8_t> out(rowBytes * size_t(height), 0);
    for (int32_t k = 0; k < height; k++) {
        uint8_t* row = out.data() + size_t(k) * rowBytes;
        const int32_t y = height - 1 - k;
        for (int32_t x = 0; x < width; x++) {
            const uint32_t v = value(x, y);
            switch (bits) {
            case 1: row[x / 8] |= uint8_t((v & 1) << (7 - x % 8)); break;
            case 4: row[x / 2] |= uint8_t((v & 15) << (x % 2 ? 0 : 4)); break;
            case 8: row[x] = uint8_t(v); break;
            default:
                row[3 * x] = uint8_t(v);
                row[3 * x + 1] = uint8_t(v >> 8);
                row[3 * x + 2] = uint8_t(v >> 16);
            }
        }
    }
    return out;
}

std::vector<uint8_t> JpegFile(int32_t width, int32_t height, int components,
                              const std::function<TvRGBA(int32_t, int32_t)>& pixel, int quality,
                              bool progressive) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 3 ? JCS_RGB : components == 4 ? JCS_CMYK : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(size_t(width) * size_t(components));
    while (cinfo.next_scanline < cinfo.image_height) {
        const auto y = int32_t(cinfo.next_scanline);
        for (int32_t x = 0; x < width; x++) {
            const TvRGBA c = pixel(x, y);
            JSAMPLE* p = row.data() + size_t(x) * size_t(components);
            p[0] = c.red;
            if (components >= 3) {
                p[1] = c.green;
                p[2] = c.blue;
            }
            if (components == 4) p[3] = c.alpha;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

std::vector<uint8_t> DdsFile(const DdsDesc& s) {
    std::vector<uint8_t> out = {'D', 'D', 'S', ' '};
    Put32(out, s.descSize);
    Put32(out, s.flags);
    Put32(out, s.height);
    Put32(out, s.width);
    Put32(out, s.linearSize);
    Put32(out, 0);          // back buffers
    Put32(out, s.mipCount); // mip levels
    for (int i = 0; i < 11; i++)
        Put32(out, 0); // alpha depth, reserved, pointer slot, four colour keys
    Put32(out, 32);
    Put32(out, s.formatFlags);
    Put32(out, s.fourCC);
    Put32(out, s.bits);
    for (uint32_t m : s.masks)
        Put32(out, m);
    Put32(out, s.caps);
    for (int i = 0; i < 4; i++)
        Put32(out, 0); // caps 2-4, texture stage
    out.insert(out.end(), s.data.begin(), s.data.end());
    return out;
}
