#pragma once
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>
#include <zlib.h>

// Shared by the ui tests: the shipped test font and a PNG writer for pictures a person reviews.
namespace UiTest {

inline std::string SourceDir() {
    const char* dir = std::getenv("PARLORIX_SOURCE_DIR");
    return dir ? dir : PARLORIX_TEST_SOURCE_DIR;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A text file as stored: byte-order mark, then UTF-16 little-endian units.
inline std::string Utf16File(const std::u16string& text) {
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

// DejaVu Sans (fonts-dejavu-core, free licence), shipped under tests/ui/data.
inline std::string TestFontBytes() {
    return ReadFile(SourceDir() + "/tests/ui/data/DejaVuSans.ttf");
}

// Writes 32-bit pixels (blue, green, red, alpha bytes) as an opaque RGB PNG.
inline bool WritePng(const std::string& path, const uint8_t* bgra, uint32_t width, uint32_t height) {
    auto put32 = [](std::string& s, uint32_t v) {
        for (int i = 3; i >= 0; --i)
            s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    auto chunk = [&](std::string& out, const char* type, const std::string& data) {
        put32(out, static_cast<uint32_t>(data.size()));
        std::string body = std::string(type, 4) + data;
        out += body;
        put32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
    };
    std::string raw;
    for (uint32_t y = 0; y < height; ++y) {
        raw.push_back(0);
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = bgra + (size_t(y) * width + x) * 4;
            raw.push_back(static_cast<char>(p[2]));
            raw.push_back(static_cast<char>(p[1]));
            raw.push_back(static_cast<char>(p[0]));
        }
    }
    uLongf packedLen = compressBound(raw.size());
    std::string packed(packedLen, '\0');
    if (compress(reinterpret_cast<Bytef*>(packed.data()), &packedLen,
                 reinterpret_cast<const Bytef*>(raw.data()), raw.size()) != Z_OK)
        return false;
    packed.resize(packedLen);
    std::string header;
    put32(header, width);
    put32(header, height);
    header += std::string("\x08\x02\x00\x00\x00", 5);
    std::string png = "\x89PNG\r\n\x1a\n";
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", "");
    std::ofstream(path, std::ios::binary) << png;
    return true;
}

} // namespace UiTest
