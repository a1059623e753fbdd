// Our own PCX, BMP and TGA decoders. Every read goes through a bounds-checked cursor: a file that
// ends early is cut short (the rest of the picture stays zero), a header that makes no sense fails.
#include <algorithm>
#include <cstring>

#include "picture/Image.h"
#include "picture/PixelFormat.h"

namespace Image {

namespace {

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void Put32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}
inline void Put16(uint8_t* p, uint16_t v) {
    std::memcpy(p, &v, 2);
}

// 1-5-5-5 file pixel -> 32 bits, opaque.
uint32_t From555(uint16_t v) {
    const uint32_t r = ((v >> 10) & 0x1F) << 3, g = ((v >> 5) & 0x1F) << 3, b = (v & 0x1F) << 3;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

} // namespace

// ---- PCX -------------------------------------------------------------------------------------------

bool DecodePcx(const uint8_t* data, size_t size, Bitmap& out) {
    out.Free();
    if (!data || size < 128 || data[0] != 0x0A) return false;
    const uint32_t bitsPerPlane = data[3];
    const uint32_t xmin = U16(data + 4), ymin = U16(data + 6), xmax = U16(data + 8), ymax = U16(data + 10);
    const uint32_t planes = data[65];
    uint32_t bytesPerLine = U16(data + 66);
    if (bitsPerPlane != 8 || (planes != 1 && planes != 3) || xmax < xmin || ymax < ymin) return false;
    const uint32_t width = xmax - xmin + 1, height = ymax - ymin + 1;
    // Rows are bytesPerLine long per plane (even); a header that claims less than the width is
    // read as the width rounded up to even.
    if (bytesPerLine < width) bytesPerLine = (width + 1) & ~1u;

    size_t dataEnd = size;
    const uint8_t* paletteBytes = nullptr;
    if (planes == 1) {
        if (size < 128 + 768) return false;
        paletteBytes = data + size - 768;
        dataEnd = size - 768;
        if (data[dataEnd - 1] == 0x0C && dataEnd - 1 >= 128) --dataEnd; // palette marker
    }
    if (!out.Create(width, height, planes == 1 ? 8 : 32)) return false;
    if (planes == 1) {
        uint32_t* pal = out.Palette();
        for (uint32_t i = 0; i < 256; ++i) {
            const uint8_t* e = paletteBytes + i * 3;
            pal[i] =
                0xFF000000u | (static_cast<uint32_t>(e[0]) << 16) | (static_cast<uint32_t>(e[1]) << 8) | e[2];
        }
    }

    std::vector<uint8_t> line(static_cast<size_t>(bytesPerLine) * planes);
    size_t pos = 128;
    uint32_t runLeft = 0;
    uint8_t runValue = 0;
    for (uint32_t y = 0; y < height; ++y) {
        std::fill(line.begin(), line.end(), 0);
        // Runs may carry over from one row into the next.
        size_t i = 0;
        while (i < line.size()) {
            if (runLeft == 0) {
                if (pos >= dataEnd) break;
                const uint8_t b = data[pos++];
                if ((b & 0xC0) == 0xC0) {
                    if (pos >= dataEnd) break;
                    runLeft = b & 0x3F; // may be 0: an empty run
                    runValue = data[pos++];
                    continue;
                }
                runLeft = 1;
                runValue = b;
            }
            line[i++] = runValue;
            --runLeft;
        }
        uint8_t* row = out.Row(y);
        if (planes == 1) {
            std::memcpy(row, line.data(), width);
        } else {
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t r = line[x], g = line[bytesPerLine + x], b = line[2 * bytesPerLine + x];
                Put32(row + x * 4, 0xFF000000u | (r << 16) | (g << 8) | b);
            }
        }
    }
    return true;
}

// ---- BMP -------------------------------------------------------------------------------------------

bool DecodeBmp(const uint8_t* data, size_t size, Bitmap& out) {
    out.Free();
    if (!data || size < 26 || data[0] != 'B' || data[1] != 'M') return false;
    const uint32_t offBits = U32(data + 10);
    const uint32_t infoSize = U32(data + 14);
    int64_t width, height;
    uint32_t bpp, compression = 0, colours = 0;
    size_t paletteEntry = 4;
    if (infoSize == 12) {
        width = U16(data + 18);
        height = static_cast<int16_t>(U16(data + 20));
        bpp = U16(data + 24);
        paletteEntry = 3;
    } else {
        if (infoSize < 40 || size < 54) return false;
        width = static_cast<int32_t>(U32(data + 18));
        height = static_cast<int32_t>(U32(data + 22));
        bpp = U16(data + 28);
        compression = U32(data + 30);
        colours = U32(data + 46);
    }
    // Plain and bit-field layouts only; the masks of the latter are taken as the usual ones.
    if (compression != 0 && compression != 3) return false;
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0 || width > Bitmap::kMaxSide || height > Bitmap::kMaxSide) return false;
    if (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
    const uint32_t w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
    if (!out.Create(w, h, bpp == 8 ? 8 : 32)) return false;

    if (bpp == 8) {
        if (colours == 0 || colours > 256) colours = 256;
        const size_t palStart = 14 + static_cast<size_t>(infoSize);
        uint32_t* pal = out.Palette();
        for (uint32_t i = 0; i < colours; ++i) {
            const size_t at = palStart + i * paletteEntry;
            if (at + paletteEntry > size) break;
            const uint8_t* e = data + at;
            pal[i] = static_cast<uint32_t>(e[0]) | (static_cast<uint32_t>(e[1]) << 8) |
                     (static_cast<uint32_t>(e[2]) << 16) |
                     (paletteEntry == 4 ? static_cast<uint32_t>(e[3]) << 24 : 0);
        }
    }
    const size_t stride = (static_cast<size_t>(w) * bpp + 31) / 32 * 4;
    const size_t bytesPerPixel = bpp / 8;
    for (uint32_t y = 0; y < h; ++y) {
        const size_t fileRow = topDown ? y : (h - 1 - y);
        const size_t at = static_cast<size_t>(offBits) + fileRow * stride;
        if (at >= size) continue; // cut short: the row stays zero
        const size_t avail = std::min(stride, size - at);
        const uint8_t* in = data + at;
        uint8_t* row = out.Row(y);
        if (bpp == 8) {
            std::memcpy(row, in, std::min<size_t>(avail, w));
            continue;
        }
        for (uint32_t x = 0; x < w; ++x) {
            const size_t o = x * bytesPerPixel;
            if (o + bytesPerPixel > avail) break;
            uint32_t p;
            if (bpp == 16)
                p = From555(U16(in + o)) & 0xFFFFFF;
            else
                p = static_cast<uint32_t>(in[o]) | (static_cast<uint32_t>(in[o + 1]) << 8) |
                    (static_cast<uint32_t>(in[o + 2]) << 16);
            Put32(row + x * 4, p); // alpha 0: BMP pictures carry no coverage
        }
    }
    return true;
}

// ---- TGA -------------------------------------------------------------------------------------------

bool DecodeTga(const uint8_t* data, size_t size, Bitmap& out) {
    out.Free();
    if (!data || size < 18) return false;
    const uint32_t idLength = data[0], mapType = data[1], type = data[2];
    const uint32_t mapFirst = U16(data + 3), mapLength = U16(data + 5), mapEntryBits = data[7];
    const uint32_t width = U16(data + 12), height = U16(data + 14), depth = data[16], descriptor = data[17];
    const bool mapped = type == 1 || type == 9;
    const bool trueColour = type == 2 || type == 10;
    if (!mapped && !trueColour) return false;
    if (width == 0 || height == 0) return false;
    const bool rle = type == 9 || type == 10;

    size_t pos = 18 + idLength;
    const size_t mapEntryBytes = (mapEntryBits + 7) / 8;
    const size_t mapBytes = mapType == 1 ? static_cast<size_t>(mapLength) * mapEntryBytes : 0;
    if (pos + mapBytes > size) return false;

    uint32_t bits;
    size_t pixelBytes;
    if (mapped) {
        if (mapType != 1 || depth != 8) return false;
        if (mapEntryBits != 24 && mapEntryBits != 32 && mapEntryBits != 15 && mapEntryBits != 16)
            return false;
        bits = 8;
        pixelBytes = 1;
    } else if (depth == 15 || depth == 16) {
        bits = 16;
        pixelBytes = 2;
    } else if (depth == 24 || depth == 32) {
        bits = 32;
        pixelBytes = depth / 8;
    } else {
        return false;
    }
    if (!out.Create(width, height, bits)) return false;

    if (mapped) {
        uint32_t* pal = out.Palette();
        for (uint32_t i = 0; i < mapLength; ++i) {
            const uint32_t index = mapFirst + i;
            if (index >= 256) break;
            const uint8_t* e = data + pos + i * mapEntryBytes;
            uint32_t c;
            if (mapEntryBytes == 2)
                c = From555(U16(e));
            else
                c = 0xFF000000u | (static_cast<uint32_t>(e[2]) << 16) | (static_cast<uint32_t>(e[1]) << 8) |
                    e[0];
            pal[index] = c;
        }
    }
    pos += mapBytes;

    // Pixel stream in file order (rows bottom-up unless the descriptor says top-down). The place is
    // followed row by row: a division per pixel made large pictures slow to load.
    const bool topDown = (descriptor & 0x20) != 0;
    const uint64_t total = static_cast<uint64_t>(width) * height;
    uint64_t n = 0;
    uint32_t x = 0, fy = 0;
    uint8_t* row = out.Row(topDown ? 0 : height - 1);
    auto advance = [&](uint32_t count) {
        x += count;
        n += count;
        if (x == width) {
            x = 0;
            if (++fy < height) row = out.Row(topDown ? fy : height - 1 - fy);
        }
    };
    auto put = [&](const uint8_t* p) {
        switch (bits) {
        case 8:
            row[x] = p[0];
            break;
        case 16:
            Put16(row + x * 2, PixelFormat::To16(From555(U16(p))));
            break;
        default: {
            const uint32_t a = pixelBytes == 4 ? p[3] : 0xFF;
            Put32(row + x * 4, (a << 24) | (static_cast<uint32_t>(p[2]) << 16) |
                                   (static_cast<uint32_t>(p[1]) << 8) | p[0]);
        }
        }
        advance(1);
    };
    while (n < total) {
        if (!rle) {
            if (pos + pixelBytes > size) break; // cut short
            if (pixelBytes == 4) {
                // Stored as the bitmap holds them (blue, green, red, alpha): the rest of the row at once.
                const uint32_t count = static_cast<uint32_t>(std::min<size_t>(width - x, (size - pos) / 4));
                std::memcpy(row + x * 4, data + pos, static_cast<size_t>(count) * 4);
                pos += static_cast<size_t>(count) * 4;
                advance(count);
                continue;
            }
            put(data + pos);
            pos += pixelBytes;
            continue;
        }
        if (pos >= size) break;
        const uint8_t head = data[pos++];
        const uint32_t count = (head & 0x7F) + 1u;
        if (head & 0x80) {
            if (pos + pixelBytes > size) break;
            const uint8_t* p = data + pos;
            pos += pixelBytes;
            for (uint32_t i = 0; i < count && n < total; ++i)
                put(p);
        } else {
            for (uint32_t i = 0; i < count && n < total; ++i) {
                if (pos + pixelBytes > size) {
                    n = total;
                    break;
                }
                put(data + pos);
                pos += pixelBytes;
            }
        }
    }
    return true;
}

} // namespace Image
