// gen-icon <output.png> <size>: the desktop icon (IconArt's drawing), written as an RGBA PNG.
#include "picture/IconArt.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <zlib.h>

namespace {

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(static_cast<uint8_t>(v >> s));
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    PutBe32(png, static_cast<uint32_t>(data.size()));
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    uLong crc = crc32(0L, png.data() + start, static_cast<uInt>(png.size() - start));
    PutBe32(png, static_cast<uint32_t>(crc));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: gen-icon <output.png> <size>\n");
        return 2;
    }
    int size = std::atoi(argv[2]);
    if (size < 16 || size > 1024) {
        std::fprintf(stderr, "gen-icon: size must be 16..1024\n");
        return 2;
    }
    // Rows with filter byte 0.
    const std::vector<uint8_t> rgba = IconArt::DrawRgba(size);
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(size) * (size * 4 + 1));
    for (int py = 0; py < size; ++py) {
        raw.push_back(0);
        const auto row = rgba.begin() + static_cast<std::ptrdiff_t>(py) * size * 4;
        raw.insert(raw.end(), row, row + size * 4);
    }
    std::vector<uint8_t> packed(compressBound(static_cast<uLong>(raw.size())));
    uLongf packedSize = static_cast<uLongf>(packed.size());
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) {
        std::fprintf(stderr, "gen-icon: compression failed\n");
        return 1;
    }
    packed.resize(packedSize);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBe32(header, static_cast<uint32_t>(size));
    PutBe32(header, static_cast<uint32_t>(size));
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8 bits, RGBA, deflate, no filter choice, no interlace
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", {});

    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(png.data(), 1, png.size(), f) != png.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "gen-icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
