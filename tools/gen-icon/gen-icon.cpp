// gen-icon <output.png> <size>: the desktop icon (IconArt's drawing), written as an RGBA PNG.
// gen-icon --bytes <output.inc> <size>: the same pixels as C array elements, for the window's icon
// compiled into the program (drawing it costs more at start-up than creating the window).
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

bool WriteFile(const char* path, const void* data, size_t size) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    const bool written = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && written;
}

std::vector<uint8_t> Png(const std::vector<uint8_t>& rgba, int size) {
    // Rows with filter byte 0.
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(size) * (size * 4 + 1));
    for (int py = 0; py < size; ++py) {
        raw.push_back(0);
        const auto row = rgba.begin() + static_cast<std::ptrdiff_t>(py) * size * 4;
        raw.insert(raw.end(), row, row + size * 4);
    }
    std::vector<uint8_t> packed(compressBound(static_cast<uLong>(raw.size())));
    uLongf packedSize = static_cast<uLongf>(packed.size());
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBe32(header, static_cast<uint32_t>(size));
    PutBe32(header, static_cast<uint32_t>(size));
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8 bits, RGBA, deflate, no filter choice, no interlace
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", {});
    return png;
}

} // namespace

int main(int argc, char** argv) {
    const bool bytes = argc == 4 && std::string(argv[1]) == "--bytes";
    if (argc != 3 && !bytes) {
        std::fprintf(stderr, "usage: gen-icon [--bytes] <output> <size>\n");
        return 2;
    }
    const char* output = argv[argc - 2];
    const int size = std::atoi(argv[argc - 1]);
    if (size < 16 || size > 1024) {
        std::fprintf(stderr, "gen-icon: size must be 16..1024\n");
        return 2;
    }
    const std::vector<uint8_t> rgba = IconArt::DrawRgba(size);
    std::string out;
    if (bytes) {
        for (size_t i = 0; i < rgba.size(); ++i)
            out += std::to_string(rgba[i]) + (i % 16 == 15 ? ",\n" : ",");
    } else {
        const std::vector<uint8_t> png = Png(rgba, size);
        if (png.empty()) {
            std::fprintf(stderr, "gen-icon: compression failed\n");
            return 1;
        }
        out.assign(png.begin(), png.end());
    }
    if (!WriteFile(output, out.data(), out.size())) {
        std::fprintf(stderr, "gen-icon: cannot write %s\n", output);
        return 1;
    }
    return 0;
}
