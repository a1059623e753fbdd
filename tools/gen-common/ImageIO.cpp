#include "gen-common/ImageIO.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <gif_lib.h>
#include <jpeglib.h>
#include <unordered_map>
#include <zlib.h>

namespace Gen {

namespace {

struct Rgb {
    int r, g, b;
};

// Median cut over a histogram of 6-bit-per-channel colours.
struct Bucket {
    Rgb sum;
    uint32_t count;
    int key;
};

std::vector<Rgb> MedianCut(std::vector<Bucket> buckets, size_t maxColors) {
    struct Box {
        size_t begin, end; // range in `buckets`
    };
    std::vector<Box> boxes{{0, buckets.size()}};
    auto channel = [](const Bucket& b, int ch) {
        return ch == 0 ? (b.key >> 12) & 63 : ch == 1 ? (b.key >> 6) & 63 : b.key & 63;
    };
    while (boxes.size() < maxColors) {
        // Split the box with the largest (range x population) score.
        size_t best = SIZE_MAX;
        double bestScore = 0;
        int bestCh = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].end - boxes[i].begin < 2) continue;
            uint64_t pop = 0;
            int lo[3] = {63, 63, 63}, hi[3] = {0, 0, 0};
            for (size_t k = boxes[i].begin; k < boxes[i].end; ++k) {
                pop += buckets[k].count;
                for (int ch = 0; ch < 3; ++ch) {
                    lo[ch] = std::min(lo[ch], channel(buckets[k], ch));
                    hi[ch] = std::max(hi[ch], channel(buckets[k], ch));
                }
            }
            int ch = 0;
            // Green is weighted up: the eye sees its steps first.
            double w[3] = {1.0, 1.3, 0.8};
            for (int c = 1; c < 3; ++c)
                if ((hi[c] - lo[c]) * w[c] > (hi[ch] - lo[ch]) * w[ch]) ch = c;
            double score = double(hi[ch] - lo[ch]) * w[ch] * std::sqrt(double(pop));
            if (score > bestScore) {
                bestScore = score;
                best = i;
                bestCh = ch;
            }
        }
        if (best == SIZE_MAX) break;
        Box b = boxes[best];
        std::sort(buckets.begin() + long(b.begin), buckets.begin() + long(b.end),
                  [&](const Bucket& x, const Bucket& y) { return channel(x, bestCh) < channel(y, bestCh); });
        uint64_t total = 0;
        for (size_t k = b.begin; k < b.end; ++k)
            total += buckets[k].count;
        uint64_t acc = 0;
        size_t mid = b.begin + 1;
        for (size_t k = b.begin; k < b.end - 1; ++k) {
            acc += buckets[k].count;
            mid = k + 1;
            if (acc * 2 >= total) break;
        }
        boxes[best] = {b.begin, mid};
        boxes.push_back({mid, b.end});
    }
    std::vector<Rgb> pal;
    for (const Box& b : boxes) {
        uint64_t r = 0, g = 0, bl = 0, n = 0;
        for (size_t k = b.begin; k < b.end; ++k) {
            r += uint64_t(buckets[k].sum.r);
            g += uint64_t(buckets[k].sum.g);
            bl += uint64_t(buckets[k].sum.b);
            n += buckets[k].count;
        }
        if (n) pal.push_back({int(r / n), int(g / n), int(bl / n)});
    }
    return pal;
}

void PutBE32(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(uint8_t(x >> 24));
    v.push_back(uint8_t(x >> 16));
    v.push_back(uint8_t(x >> 8));
    v.push_back(uint8_t(x));
}

bool WriteAll(const std::string& path, const std::vector<uint8_t>& data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

bool WriteGif(const std::string& path, const std::vector<Image>& frames, const Color& matte, float threshold,
              bool forceKeyCorner) {
    if (frames.empty()) return false;
    const int w = frames[0].w, h = frames[0].h;
    // Flatten every frame: -1 for the key, otherwise a 24-bit colour.
    std::vector<std::vector<int32_t>> flat(frames.size());
    std::unordered_map<int, Bucket> hist;
    for (size_t f = 0; f < frames.size(); ++f) {
        flat[f].resize(size_t(w) * size_t(h));
        for (size_t i = 0; i < flat[f].size(); ++i) {
            const Color& c = frames[f].px[i];
            if (c.a < threshold) {
                flat[f][i] = -1;
                continue;
            }
            float k = 1 - Clamp01(c.a);
            int r = int(std::lround(Clamp01(c.r + matte.r * k) * 255));
            int g = int(std::lround(Clamp01(c.g + matte.g * k) * 255));
            int b = int(std::lround(Clamp01(c.b + matte.b * k) * 255));
            if ((uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b)) == kKeyRgb)
                g = 1; // never the key by accident
            flat[f][i] = r << 16 | g << 8 | b;
            int key = (r >> 2) << 12 | (g >> 2) << 6 | (b >> 2);
            Bucket& bk = hist[key];
            bk.key = key;
            bk.sum.r += r, bk.sum.g += g, bk.sum.b += b;
            ++bk.count;
        }
        if (forceKeyCorner && f == 0) flat[0][0] = -1;
    }
    std::vector<Bucket> buckets;
    buckets.reserve(hist.size());
    for (auto& [k, b] : hist)
        buckets.push_back(b);
    std::sort(buckets.begin(), buckets.end(), [](const Bucket& a, const Bucket& b) { return a.key < b.key; });
    std::vector<Rgb> pal = MedianCut(buckets, 255);

    ColorMapObject* cmap = GifMakeMapObject(256, nullptr);
    if (!cmap) return false;
    for (int i = 0; i < 256; ++i)
        cmap->Colors[i] = {0, 0, 0};
    cmap->Colors[0] = {0xFF, 0x00, 0xFF};
    for (size_t i = 0; i < pal.size(); ++i) {
        GifColorType c{GifByteType(pal[i].r), GifByteType(pal[i].g), GifByteType(pal[i].b)};
        if (c.Red == 0xFF && c.Green == 0 && c.Blue == 0xFF) c.Green = 1;
        cmap->Colors[i + 1] = c;
    }
    std::unordered_map<int32_t, uint8_t> nearest;
    auto lookup = [&](int32_t rgb) -> uint8_t {
        auto it = nearest.find(rgb);
        if (it != nearest.end()) return it->second;
        int r = rgb >> 16 & 255, g = rgb >> 8 & 255, b = rgb & 255;
        int best = 1;
        long bestD = LONG_MAX;
        for (size_t i = 0; i < pal.size(); ++i) {
            long dr = r - pal[i].r, dg = g - pal[i].g, db = b - pal[i].b;
            long d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
            if (d < bestD) {
                bestD = d;
                best = int(i) + 1;
            }
        }
        nearest[rgb] = uint8_t(best);
        return uint8_t(best);
    };

    int err = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &err);
    if (!gif) {
        GifFreeMapObject(cmap);
        return false;
    }
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, w, h, 8, 0, cmap) == GIF_OK;
    if (ok && frames.size() > 1) {
        const uint8_t loop[3] = {1, 0, 0};
        ok = EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
             EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_OK &&
             EGifPutExtensionBlock(gif, 3, loop) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
    }
    std::vector<GifPixelType> line(static_cast<size_t>(w), 0);
    for (size_t f = 0; ok && f < frames.size(); ++f) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSE_BACKGROUND;
        gcb.DelayTime = 4;
        gcb.TransparentColor = NO_TRANSPARENT_COLOR;
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK &&
             EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
        for (int y = 0; ok && y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                int32_t v = flat[f][size_t(y) * size_t(w) + size_t(x)];
                line[size_t(x)] = v < 0 ? 0 : lookup(v);
            }
            ok = EGifPutLine(gif, line.data(), w) == GIF_OK;
        }
    }
    if (EGifCloseFile(gif, &err) != GIF_OK) ok = false;
    GifFreeMapObject(cmap);
    return ok;
}

bool WriteJpeg(const std::string& path, const Image& img, int quality, const Color& background) {
    std::vector<Rgba8> px = Flatten(img, background);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = JDIMENSION(img.w);
    cinfo.image_height = JDIMENSION(img.h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    cinfo.write_JFIF_header = TRUE; // the game recognises JPEG by its "JFIF" marker
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.comp_info[0].h_samp_factor = 1; // 4:4:4 keeps the coloured edges crisp
    cinfo.comp_info[0].v_samp_factor = 1;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t(img.w) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        size_t y = cinfo.next_scanline;
        for (int x = 0; x < img.w; ++x) {
            const Rgba8& p = px[y * size_t(img.w) + size_t(x)];
            row[size_t(x) * 3] = p.r;
            row[size_t(x) * 3 + 1] = p.g;
            row[size_t(x) * 3 + 2] = p.b;
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(f) == 0;
}

bool WriteTga(const std::string& path, const Image& img) {
    std::vector<Rgba8> px = ToRgba8(img);
    std::vector<uint8_t> out(18, 0);
    out[2] = 2; // uncompressed true colour
    out[12] = uint8_t(img.w), out[13] = uint8_t(img.w >> 8);
    out[14] = uint8_t(img.h), out[15] = uint8_t(img.h >> 8);
    out[16] = 32;
    out[17] = 8; // 8 alpha bits, origin bottom left
    for (int y = img.h - 1; y >= 0; --y)
        for (int x = 0; x < img.w; ++x) {
            const Rgba8& p = px[size_t(y) * size_t(img.w) + size_t(x)];
            out.push_back(p.b);
            out.push_back(p.g);
            out.push_back(p.r);
            out.push_back(p.a);
        }
    return WriteAll(path, out);
}

bool WritePng(const std::string& path, const std::vector<Rgba8>& rgba, int w, int h) {
    std::vector<uint8_t> raw;
    raw.reserve(size_t(h) * (size_t(w) * 4 + 1));
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);
        for (int x = 0; x < w; ++x) {
            const Rgba8& p = rgba[size_t(y) * size_t(w) + size_t(x)];
            raw.insert(raw.end(), {p.r, p.g, p.b, p.a});
        }
    }
    uLongf zlen = compressBound(uLong(raw.size()));
    std::vector<uint8_t> z(zlen);
    if (compress2(z.data(), &zlen, raw.data(), uLong(raw.size()), 6) != Z_OK) return false;
    z.resize(zlen);
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
        PutBE32(out, uint32_t(data.size()));
        size_t start = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), data.begin(), data.end());
        uLong crc = crc32(0, out.data() + start, uInt(out.size() - start));
        PutBE32(out, uint32_t(crc));
    };
    std::vector<uint8_t> ihdr;
    PutBE32(ihdr, uint32_t(w));
    PutBE32(ihdr, uint32_t(h));
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    chunk("IHDR", ihdr);
    chunk("IDAT", z);
    chunk("IEND", {});
    return WriteAll(path, out);
}

bool ReadGif(const std::string& path, std::vector<Picture>& frames) {
    int err = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &err);
    if (!gif) return false;
    if (DGifSlurp(gif) != GIF_OK) {
        DGifCloseFile(gif, &err);
        return false;
    }
    frames.clear();
    Picture canvas;
    canvas.w = gif->SWidth;
    canvas.h = gif->SHeight;
    canvas.px.assign(size_t(canvas.w) * size_t(canvas.h), Rgba8{0, 0, 0, 255});
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& im = gif->SavedImages[i];
        const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
        if (!map) continue;
        for (int y = 0; y < im.ImageDesc.Height; ++y)
            for (int x = 0; x < im.ImageDesc.Width; ++x) {
                int tx = x + im.ImageDesc.Left, ty = y + im.ImageDesc.Top;
                if (tx >= canvas.w || ty >= canvas.h) continue;
                int idx = im.RasterBits[size_t(y) * size_t(im.ImageDesc.Width) + size_t(x)];
                if (idx >= map->ColorCount) continue;
                const GifColorType& c = map->Colors[idx];
                canvas.px[size_t(ty) * size_t(canvas.w) + size_t(tx)] = {c.Red, c.Green, c.Blue, 255};
            }
        frames.push_back(canvas);
    }
    DGifCloseFile(gif, &err);
    return !frames.empty();
}

bool ReadJpeg(const std::string& path, Picture& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    out.w = int(cinfo.output_width);
    out.h = int(cinfo.output_height);
    out.px.resize(size_t(out.w) * size_t(out.h));
    std::vector<uint8_t> row(size_t(out.w) * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        size_t y = cinfo.output_scanline;
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&cinfo, &r, 1);
        for (int x = 0; x < out.w; ++x)
            out.px[y * size_t(out.w) + size_t(x)] = {row[size_t(x) * 3], row[size_t(x) * 3 + 1],
                                                     row[size_t(x) * 3 + 2], 255};
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return true;
}

} // namespace Gen
