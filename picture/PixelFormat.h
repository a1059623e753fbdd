#pragma once
#include <cstdint>
#include <cstring>

// The 16-bit pixel layout pictures are converted to: 5-6-5, or 5-5-5 when the display has that
// layout. The display sets it when it opens; tests and tools may set it directly.
namespace PixelFormat {

struct ConversionTables {
    uint16_t blue[256];
    uint16_t green[256];
    uint16_t red[256];
    uint32_t to32[65536];
};
// Before the first call the tables hold the 5-6-5 layout.
void BuildConversionTables(bool fifteenBit);
const ConversionTables& Tables();
// True when the tables were last built for 5-5-5.
bool Is15Bit();

// 32-bit pixel (blue, green, red, alpha in memory order, i.e. 0xAARRGGBB as a value) -> 16 bits.
inline uint16_t To16(uint32_t argb) {
    const ConversionTables& t = Tables();
    return static_cast<uint16_t>(t.blue[argb & 0xFF] | t.green[(argb >> 8) & 0xFF] |
                                 t.red[(argb >> 16) & 0xFF]);
}
// 16-bit pixel -> 32 bits, alpha 0.
inline uint32_t To32(uint16_t pixel) {
    return Tables().to32[pixel];
}

// Pixels at any byte address of a picture's rows (no alignment assumed).
inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void Store32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}
inline uint16_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void Store16(uint8_t* p, uint16_t v) {
    std::memcpy(p, &v, 2);
}

} // namespace PixelFormat
