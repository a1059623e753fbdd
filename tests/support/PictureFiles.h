#pragma once
// Small pictures written by the tests themselves, byte by byte, in each format the decoders read.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gif_lib.h>

#include "core/Log.h"
#include "picture/Bitmap.h"

namespace fx {

using Bytes = std::vector<uint8_t>;

// Little-endian values of `n` bytes.
inline void Le(Bytes& b, uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline std::string Str(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

// 0xAARRGGBB pixels, rows top to bottom.
struct Picture {
    uint32_t w = 0, h = 0;
    std::vector<uint32_t> px;
    uint32_t at(uint32_t x, uint32_t y) const { return px[y * w + x]; }
};

// A 32-bit bitmap's pixels.
inline Picture FromBitmap(const Bitmap& b) {
    Picture p{b.Width(), b.Height(), {}};
    for (uint32_t y = 0; y < b.Height(); ++y)
        for (uint32_t x = 0; x < b.Width(); ++x)
            p.px.push_back(b.Pixel32(x, y));
    return p;
}

inline Picture Pattern(uint32_t w, uint32_t h, bool withAlpha) {
    Picture p{w, h, {}};
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t r = (x * 40 + 10) & 0xFF, g = (y * 60 + 5) & 0xFF, b = (x * 7 + y * 13) & 0xFF;
            const uint32_t a = withAlpha ? ((x + y * w) * 37) & 0xFF : 0xFF;
            p.px.push_back((a << 24) | (r << 16) | (g << 8) | b);
        }
    return p;
}

// Uncompressed (type 2) or run-length (type 10) true-colour TGA, bottom-up unless topDown.
inline Bytes Tga(const Picture& p, uint32_t depth, bool rle = false, bool topDown = false,
                 uint8_t idLength = 0) {
    Bytes b{idLength, 0, static_cast<uint8_t>(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Le(b, p.w, 2);
    Le(b, p.h, 2);
    b.push_back(static_cast<uint8_t>(depth));
    b.push_back(static_cast<uint8_t>((depth == 32 ? 8 : 0) | (topDown ? 0x20 : 0)));
    for (int i = 0; i < idLength; ++i)
        b.push_back(static_cast<uint8_t>('a' + i));
    auto pixel = [&](uint32_t c) {
        if (depth == 16) return Le(b, ((c >> 19) & 31) << 10 | ((c >> 11) & 31) << 5 | ((c >> 3) & 31), 2);
        Le(b, c, static_cast<int>(depth / 8));
    };
    std::vector<uint32_t> order;
    for (uint32_t r = 0; r < p.h; ++r)
        for (uint32_t x = 0; x < p.w; ++x)
            order.push_back(p.at(x, topDown ? r : p.h - 1 - r));
    // Run-length: runs of equal pixels as run packets, everything else as raw packets of one.
    for (size_t i = 0; i < order.size();) {
        size_t n = 1;
        while (rle && i + n < order.size() && n < 128 && order[i + n] == order[i])
            ++n;
        if (rle) b.push_back(static_cast<uint8_t>(n > 1 ? 0x80 | (n - 1) : 0));
        pixel(order[i]);
        i += n;
    }
    return b;
}

// Colour-mapped TGA (type 1) with a 24-bit map.
inline Bytes TgaMapped(uint32_t w, uint32_t h, const std::vector<uint32_t>& palette,
                       const std::vector<uint8_t>& idx) {
    Bytes b{0, 1, 1, 0, 0};
    Le(b, static_cast<uint32_t>(palette.size()), 2);
    b.push_back(24);
    Le(b, 0, 4);
    Le(b, w, 2);
    Le(b, h, 2);
    b.push_back(8);
    b.push_back(0);
    for (uint32_t c : palette)
        Le(b, c, 3);
    for (uint32_t r = 0; r < h; ++r)
        b.insert(b.end(), idx.begin() + (h - 1 - r) * w, idx.begin() + (h - r) * w);
    return b;
}

// Bottom-up BMP: 24 bits from `p` when the palette is empty, else 8 bits of `idx`; rows padded to
// four bytes.
inline Bytes Bmp(const Picture& p, const std::vector<uint32_t>& palette = {},
                 const std::vector<uint8_t>& idx = {}) {
    const uint32_t bpp = palette.empty() ? 3 : 1, stride = (p.w * bpp + 3) & ~3u;
    const uint32_t off = 54 + static_cast<uint32_t>(palette.size()) * 4;
    Bytes b{'B', 'M'};
    for (uint32_t v : {off + stride * p.h, 0u, off, 40u, p.w, p.h})
        Le(b, v, 4);
    Le(b, 1, 2);
    Le(b, bpp * 8, 2);
    for (uint32_t v : {0u, stride * p.h, 2835u, 2835u, static_cast<uint32_t>(palette.size()), 0u})
        Le(b, v, 4);
    for (uint32_t c : palette)
        Le(b, c & 0xFFFFFF, 4);
    for (uint32_t r = 0; r < p.h; ++r) {
        const uint32_t y = p.h - 1 - r;
        for (uint32_t x = 0; x < p.w; ++x)
            bpp == 3 ? Le(b, p.at(x, y), 3) : b.push_back(idx[y * p.w + x]);
        b.resize(b.size() + stride - p.w * bpp, 0);
    }
    return b;
}

// PCX with run-length rows: one plane of `idx` with `palette` (0xRRGGBB), or three planes of `p`
// when the palette is empty.
inline Bytes Pcx(const Picture& p, const std::vector<uint32_t>& palette = {},
                 const std::vector<uint8_t>& idx = {}) {
    const uint32_t bpl = (p.w + 1) & ~1u, planes = palette.empty() ? 3 : 1;
    Bytes b{0x0A, 5, 1, 8, 0, 0, 0, 0}; // version 5, run-length, 8 bits; xmin = ymin = 0
    Le(b, p.w - 1, 2);
    Le(b, p.h - 1, 2);
    b.resize(65, 0);
    b.push_back(static_cast<uint8_t>(planes));
    Le(b, bpl, 2);
    b.resize(128, 0);
    for (uint32_t y = 0; y < p.h; ++y) {
        std::vector<uint8_t> row(bpl * planes, 0);
        for (uint32_t x = 0; x < p.w; ++x)
            for (uint32_t k = 0; k < planes; ++k)
                row[k * bpl + x] =
                    planes == 1 ? idx[y * p.w + x] : static_cast<uint8_t>(p.at(x, y) >> (16 - 8 * k));
        for (size_t i = 0; i < row.size();) {
            size_t n = 1;
            while (i + n < row.size() && n < 63 && row[i + n] == row[i])
                ++n;
            if (n > 1 || (row[i] & 0xC0) == 0xC0) b.push_back(static_cast<uint8_t>(0xC0 | n));
            b.push_back(row[i]);
            i += n;
        }
    }
    if (planes == 1) {
        b.push_back(0x0C);
        for (uint32_t i = 0; i < 256; ++i)
            for (int shift : {16, 8, 0})
                b.push_back(static_cast<uint8_t>((i < palette.size() ? palette[i] : 0) >> shift));
    }
    return b;
}

// GIF writer through giflib's encoder. Each frame: rectangle, indices, disposal, transparent index.
struct GifFrame {
    int left, top, w, h;
    std::vector<uint8_t> idx;
    int disposal = 0;
    int transparent = -1;
    bool interlace = false;
};

inline Bytes Gif(int sw, int sh, const std::vector<uint32_t>& palette, int background,
                 const std::vector<GifFrame>& frames) {
    Bytes out;
    int err = 0;
    auto write = [](GifFileType* gif, const GifByteType* data, int len) {
        auto* o = static_cast<Bytes*>(gif->UserData);
        o->insert(o->end(), data, data + len);
        return len;
    };
    GifFileType* gif = EGifOpen(&out, write, &err);
    if (!gif) return out;
    EGifSetGifVersion(gif, true);
    std::vector<GifColorType> colours;
    for (uint32_t c : palette)
        colours.push_back(GifColorType{static_cast<GifByteType>(c >> 16), static_cast<GifByteType>(c >> 8),
                                       static_cast<GifByteType>(c)});
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
    EGifPutScreenDesc(gif, sw, sh, 8, background, map);
    for (const GifFrame& f : frames) {
        GraphicsControlBlock gcb{f.disposal, false, 0, f.transparent};
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
        EGifPutImageDesc(gif, f.left, f.top, f.w, f.h, f.interlace, nullptr);
        // Interlaced rows go in four passes; a plain frame is one pass over every row.
        const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        std::vector<GifPixelType> line(static_cast<size_t>(f.w));
        for (int pass = 0; pass < (f.interlace ? 4 : 1); ++pass)
            for (int y = f.interlace ? start[pass] : 0; y < f.h; y += f.interlace ? step[pass] : 1) {
                std::memcpy(line.data(), f.idx.data() + y * f.w, static_cast<size_t>(f.w));
                EGifPutLine(gif, line.data(), f.w);
            }
    }
    EGifCloseFile(gif, &err);
    GifFreeMapObject(map);
    return out;
}

// Everything logged since the log was started.
inline std::string LogText() {
    std::ifstream in(Log::Path(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline size_t Count(const std::string& hay, const std::string& needle) {
    size_t n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1))
        ++n;
    return n;
}

} // namespace fx
