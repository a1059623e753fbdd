#pragma once
// Small pictures written by the tests themselves, byte by byte, in each format the decoders read.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gif_lib.h>

#include "core/Log.h"
#include "picture/Bitmap.h"

namespace fx {

using Bytes = std::vector<uint8_t>;

inline void U16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void U32(Bytes& b, uint32_t v) {
    U16(b, v & 0xFFFF);
    U16(b, v >> 16);
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
    U16(b, p.w);
    U16(b, p.h);
    b.push_back(static_cast<uint8_t>(depth));
    b.push_back(static_cast<uint8_t>((depth == 32 ? 8 : 0) | (topDown ? 0x20 : 0)));
    for (int i = 0; i < idLength; ++i)
        b.push_back(static_cast<uint8_t>('a' + i));
    auto pixel = [&](Bytes& o, uint32_t c) {
        if (depth == 16) {
            const uint32_t r = (c >> 19) & 31, g = (c >> 11) & 31, bl = (c >> 3) & 31;
            U16(o, (r << 10) | (g << 5) | bl);
            return;
        }
        o.push_back(static_cast<uint8_t>(c));
        o.push_back(static_cast<uint8_t>(c >> 8));
        o.push_back(static_cast<uint8_t>(c >> 16));
        if (depth == 32) o.push_back(static_cast<uint8_t>(c >> 24));
    };
    std::vector<uint32_t> order;
    for (uint32_t r = 0; r < p.h; ++r) {
        const uint32_t y = topDown ? r : p.h - 1 - r;
        for (uint32_t x = 0; x < p.w; ++x)
            order.push_back(p.at(x, y));
    }
    if (!rle) {
        for (uint32_t c : order)
            pixel(b, c);
        return b;
    }
    // Runs of equal pixels as run packets, everything else as raw packets of one.
    for (size_t i = 0; i < order.size();) {
        size_t n = 1;
        while (i + n < order.size() && n < 128 && order[i + n] == order[i])
            ++n;
        b.push_back(static_cast<uint8_t>(n > 1 ? 0x80 | (n - 1) : 0));
        pixel(b, order[i]);
        i += n;
    }
    return b;
}

// Colour-mapped TGA (type 1) with a 24-bit map.
inline Bytes TgaMapped(uint32_t w, uint32_t h, const std::vector<uint32_t>& palette,
                       const std::vector<uint8_t>& idx) {
    Bytes b{0, 1, 1};
    U16(b, 0);
    U16(b, static_cast<uint32_t>(palette.size()));
    b.push_back(24);
    U16(b, 0);
    U16(b, 0);
    U16(b, w);
    U16(b, h);
    b.push_back(8);
    b.push_back(0);
    for (uint32_t c : palette) {
        b.push_back(static_cast<uint8_t>(c));
        b.push_back(static_cast<uint8_t>(c >> 8));
        b.push_back(static_cast<uint8_t>(c >> 16));
    }
    for (uint32_t r = 0; r < h; ++r) {
        const uint32_t y = h - 1 - r;
        for (uint32_t x = 0; x < w; ++x)
            b.push_back(idx[y * w + x]);
    }
    return b;
}

// Bottom-up BMP, 24 bits (rows padded to four bytes) or 8 bits with a palette.
inline Bytes Bmp24(const Picture& p) {
    const uint32_t stride = (p.w * 3 + 3) & ~3u;
    Bytes b{'B', 'M'};
    U32(b, 54 + stride * p.h);
    U32(b, 0);
    U32(b, 54);
    U32(b, 40);
    U32(b, p.w);
    U32(b, p.h);
    U16(b, 1);
    U16(b, 24);
    U32(b, 0);
    U32(b, stride * p.h);
    U32(b, 2835);
    U32(b, 2835);
    U32(b, 0);
    U32(b, 0);
    for (uint32_t r = 0; r < p.h; ++r) {
        const uint32_t y = p.h - 1 - r;
        for (uint32_t x = 0; x < p.w; ++x) {
            const uint32_t c = p.at(x, y);
            b.push_back(static_cast<uint8_t>(c));
            b.push_back(static_cast<uint8_t>(c >> 8));
            b.push_back(static_cast<uint8_t>(c >> 16));
        }
        for (uint32_t i = p.w * 3; i < stride; ++i)
            b.push_back(0);
    }
    return b;
}

inline Bytes Bmp8(uint32_t w, uint32_t h, const std::vector<uint32_t>& palette,
                  const std::vector<uint8_t>& idx) {
    const uint32_t stride = (w + 3) & ~3u;
    const uint32_t off = 54 + static_cast<uint32_t>(palette.size()) * 4;
    Bytes b{'B', 'M'};
    U32(b, off + stride * h);
    U32(b, 0);
    U32(b, off);
    U32(b, 40);
    U32(b, w);
    U32(b, h);
    U16(b, 1);
    U16(b, 8);
    U32(b, 0);
    U32(b, stride * h);
    U32(b, 0);
    U32(b, 0);
    U32(b, static_cast<uint32_t>(palette.size()));
    U32(b, 0);
    for (uint32_t c : palette)
        U32(b, c & 0xFFFFFF);
    for (uint32_t r = 0; r < h; ++r) {
        const uint32_t y = h - 1 - r;
        for (uint32_t x = 0; x < w; ++x)
            b.push_back(idx[y * w + x]);
        for (uint32_t i = w; i < stride; ++i)
            b.push_back(0);
    }
    return b;
}

// PCX with run-length rows. planes 1: `idx` with `palette` (0xRRGGBB); planes 3: `p`.
inline void PcxRun(Bytes& b, const std::vector<uint8_t>& row) {
    for (size_t i = 0; i < row.size();) {
        size_t n = 1;
        while (i + n < row.size() && n < 63 && row[i + n] == row[i])
            ++n;
        if (n > 1 || (row[i] & 0xC0) == 0xC0) {
            b.push_back(static_cast<uint8_t>(0xC0 | n));
            b.push_back(row[i]);
        } else {
            b.push_back(row[i]);
        }
        i += n;
    }
}

inline Bytes PcxHeader(uint32_t w, uint32_t h, uint32_t planes, uint32_t bytesPerLine) {
    Bytes b(128, 0);
    b[0] = 0x0A;
    b[1] = 5;
    b[2] = 1;
    b[3] = 8;
    b[8] = static_cast<uint8_t>(w - 1);
    b[9] = static_cast<uint8_t>((w - 1) >> 8);
    b[10] = static_cast<uint8_t>(h - 1);
    b[11] = static_cast<uint8_t>((h - 1) >> 8);
    b[65] = static_cast<uint8_t>(planes);
    b[66] = static_cast<uint8_t>(bytesPerLine);
    b[67] = static_cast<uint8_t>(bytesPerLine >> 8);
    return b;
}

inline Bytes Pcx8(uint32_t w, uint32_t h, const std::vector<uint32_t>& palette,
                  const std::vector<uint8_t>& idx) {
    const uint32_t bpl = (w + 1) & ~1u;
    Bytes b = PcxHeader(w, h, 1, bpl);
    for (uint32_t y = 0; y < h; ++y) {
        std::vector<uint8_t> row(bpl, 0);
        for (uint32_t x = 0; x < w; ++x)
            row[x] = idx[y * w + x];
        PcxRun(b, row);
    }
    b.push_back(0x0C);
    for (uint32_t i = 0; i < 256; ++i) {
        const uint32_t c = i < palette.size() ? palette[i] : 0;
        b.push_back(static_cast<uint8_t>(c >> 16));
        b.push_back(static_cast<uint8_t>(c >> 8));
        b.push_back(static_cast<uint8_t>(c));
    }
    return b;
}

inline Bytes Pcx24(const Picture& p) {
    const uint32_t bpl = (p.w + 1) & ~1u;
    Bytes b = PcxHeader(p.w, p.h, 3, bpl);
    for (uint32_t y = 0; y < p.h; ++y) {
        std::vector<uint8_t> row(bpl * 3, 0);
        for (uint32_t x = 0; x < p.w; ++x) {
            const uint32_t c = p.at(x, y);
            row[x] = static_cast<uint8_t>(c >> 16);
            row[bpl + x] = static_cast<uint8_t>(c >> 8);
            row[2 * bpl + x] = static_cast<uint8_t>(c);
        }
        PcxRun(b, row);
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

inline int GifWrite(GifFileType* gif, const GifByteType* data, int len) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + len);
    return len;
}

inline Bytes Gif(int sw, int sh, const std::vector<uint32_t>& palette, int background,
                 const std::vector<GifFrame>& frames) {
    Bytes out;
    int err = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &err);
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
        std::vector<GifPixelType> line(static_cast<size_t>(f.w));
        if (!f.interlace) {
            for (int y = 0; y < f.h; ++y) {
                std::memcpy(line.data(), f.idx.data() + y * f.w, static_cast<size_t>(f.w));
                EGifPutLine(gif, line.data(), f.w);
            }
        } else {
            const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = start[pass]; y < f.h; y += step[pass]) {
                    std::memcpy(line.data(), f.idx.data() + y * f.w, static_cast<size_t>(f.w));
                    EGifPutLine(gif, line.data(), f.w);
                }
        }
    }
    EGifCloseFile(gif, &err);
    GifFreeMapObject(map);
    return out;
}

// Everything logged since the test started the log in `dir` (path with trailing slash).
inline std::string LogText() {
    const std::string& p = Log::Path();
    if (p.empty()) return {};
    FILE* f = std::fopen(p.c_str(), "rb");
    if (!f) return {};
    std::string s;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    std::fclose(f);
    return s;
}

inline size_t Count(const std::string& hay, const std::string& needle) {
    size_t n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1))
        ++n;
    return n;
}

} // namespace fx
