#include "picture/PixelFormat.h"

namespace PixelFormat {

namespace {

ConversionTables g_tables;
bool g_is15 = false;

struct TableInit {
    TableInit() { BuildConversionTables(false); }
};
TableInit g_tableInit;

} // namespace

void BuildConversionTables(bool fifteenBit) {
    g_is15 = fifteenBit;
    for (uint32_t i = 0; i < 256; ++i) {
        g_tables.blue[i] = static_cast<uint16_t>(i / 8);
        if (fifteenBit) {
            g_tables.green[i] = static_cast<uint16_t>((i / 8) * 32);
            g_tables.red[i] = static_cast<uint16_t>((i / 8) * 1024);
        } else {
            g_tables.green[i] = static_cast<uint16_t>((i / 4) * 32);
            g_tables.red[i] = static_cast<uint16_t>((i / 8) * 2048);
        }
    }
    for (uint32_t p = 0; p < 65536; ++p) {
        uint32_t r, g, b;
        if (fifteenBit) {
            r = (p >> 10) & 0x1F;
            g = (p >> 5) & 0x1F;
            b = p & 0x1F;
            g_tables.to32[p] = (r << 19) | (g << 11) | (b << 3);
        } else {
            r = (p >> 11) & 0x1F;
            g = (p >> 5) & 0x3F;
            b = p & 0x1F;
            g_tables.to32[p] = (r << 19) | (g << 10) | (b << 3);
        }
    }
}

const ConversionTables& Tables() {
    return g_tables;
}

bool Is15Bit() {
    return g_is15;
}

} // namespace PixelFormat
