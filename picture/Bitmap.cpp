#include "picture/Bitmap.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "core/FileLayer.h"
#include "core/Log.h"
#include "picture/Image.h"
#include "picture/PixelFormat.h"

namespace {

using PixelFormat::Load16;
using PixelFormat::Load32;
using PixelFormat::Store16;
using PixelFormat::Store32;

bool g_reportMissingFile = true;

// 16-bit pixel of the display's layout -> 32 bits by widening the fields (x8, and x4 for a six-bit
// green), opaque.
uint32_t Expand16(uint16_t p) {
    uint32_t r, g, b;
    if (PixelFormat::Is15Bit()) {
        r = ((p >> 10) & 0x1F) * 8;
        g = ((p >> 5) & 0x1F) * 8;
        b = (p & 0x1F) * 8;
    } else {
        r = ((p >> 11) & 0x1F) * 8;
        g = ((p >> 5) & 0x3F) * 4;
        b = (p & 0x1F) * 8;
    }
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

inline uint32_t ReadAs32(const Bitmap& b, const uint8_t* row, uint32_t x) {
    switch (b.Bits()) {
    case 32:
        return Load32(row + x * 4);
    case 16:
        return Expand16(Load16(row + x * 2));
    default: {
        const uint32_t* pal = b.Palette();
        return pal ? (pal[row[x]] & 0xFFFFFF) : 0;
    }
    }
}

} // namespace

void Bitmap::SetReportMissingFile(bool on) {
    g_reportMissingFile = on;
}
bool Bitmap::ReportMissingFile() {
    return g_reportMissingFile;
}

bool Bitmap::Create(uint32_t width, uint32_t height, uint32_t bits) {
    Free();
    if (bits != 8 && bits != 16 && bits != 32) return false;
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return false;
    if (static_cast<uint64_t>(width) * height > kMaxPixels) return false;
    width_ = width;
    height_ = height;
    bits_ = bits;
    key_ = kDefaultKey;
    pixels_.assign(static_cast<size_t>(width) * height * (bits / 8), 0);
    if (bits == 8) palette_.assign(256, 0);
    return true;
}

void Bitmap::Free() {
    width_ = height_ = bits_ = 0;
    std::vector<uint8_t>().swap(pixels_);
    std::vector<uint32_t>().swap(palette_);
}

void Bitmap::Clear() {
    std::fill(pixels_.begin(), pixels_.end(), 0);
}

void Bitmap::Assign(const Bitmap& other) {
    if (this == &other) return;
    width_ = other.width_;
    height_ = other.height_;
    bits_ = other.bits_;
    palette_ = other.palette_;
    pixels_ = other.pixels_;
    key_ = other.key_;
}

uint32_t Bitmap::ArgbAt(const uint8_t* row, uint32_t x) const {
    return ReadAs32(*this, row, x);
}

uint32_t Bitmap::Pixel32(uint32_t x, uint32_t y) const {
    assert(bits_ == 32 && x < width_ && y < height_);
    return Load32(Row(y) + static_cast<size_t>(x) * 4);
}

void Bitmap::SetPixel32(uint32_t x, uint32_t y, uint32_t argb) {
    assert(bits_ == 32 && x < width_ && y < height_);
    Store32(Row(y) + static_cast<size_t>(x) * 4, argb);
}

bool Bitmap::Load(const char* path) {
    Free();
    FileBuffer file(path ? path : "");
    if (!file.ok()) {
        if (g_reportMissingFile) LogMsg("Bitmap::Load( %s ). File not found\n", path ? path : "");
        g_reportMissingFile = true;
        return false;
    }
    g_reportMissingFile = true;
    return LoadFromMemory(file.data(), file.size());
}

bool Bitmap::LoadFromMemory(const uint8_t* data, size_t size) {
    Free();
    if (!data || size == 0) return false;
    bool ok;
    if (data[0] == 0x0A)
        // A TGA whose id field is ten bytes long starts with 0x0A too: fall back to it.
        ok = Image::DecodePcx(data, size, *this) || Image::DecodeTga(data, size, *this);
    else if (size >= 2 && data[0] == 'B' && data[1] == 'M')
        ok = Image::DecodeBmp(data, size, *this);
    else if (size >= 10 && std::memcmp(data + 6, "JFIF", 4) == 0)
        ok = Image::DecodeJpeg(data, size, *this);
    else
        ok = Image::DecodeTga(data, size, *this);
    if (!ok) Free();
    return ok;
}

void Bitmap::CopyFrom(const Bitmap& source) {
    if (Empty() || source.Empty() || (bits_ != 16 && bits_ != 32 && !(bits_ == source.bits_))) return;
    if (bits_ == source.bits_ && width_ == source.width_ && height_ == source.height_) {
        pixels_ = source.pixels_;
        if (bits_ == 8) palette_ = source.palette_;
        return;
    }
    if (bits_ == 8) return; // no conversion into palette pictures
    const uint32_t sw = source.width_, sh = source.height_, tw = width_, th = height_;
    struct Sum {
        uint32_t b, g, r, a, n;
    };
    std::vector<Sum> sums(static_cast<size_t>(tw) * th, Sum{0, 0, 0, 0, 0});
    // Integer mapping: the target index stays below the target size whatever the sizes are.
    std::vector<uint32_t> colOf(sw);
    for (uint32_t x = 0; x < sw; ++x)
        colOf[x] = static_cast<uint32_t>(static_cast<uint64_t>(x) * tw / sw);
    for (uint32_t y = 0; y < sh; ++y) {
        const uint32_t ty = static_cast<uint32_t>(static_cast<uint64_t>(y) * th / sh);
        const uint8_t* row = source.Row(y);
        Sum* trow = &sums[static_cast<size_t>(ty) * tw];
        for (uint32_t x = 0; x < sw; ++x) {
            const uint32_t p = ReadAs32(source, row, x);
            Sum& s = trow[colOf[x]];
            s.b += p & 0xFF;
            s.g += (p >> 8) & 0xFF;
            s.r += (p >> 16) & 0xFF;
            s.a += p >> 24;
            ++s.n;
        }
    }
    for (uint32_t y = 0; y < th; ++y) {
        uint8_t* out = Row(y);
        for (uint32_t x = 0; x < tw; ++x) {
            const Sum& s = sums[static_cast<size_t>(y) * tw + x];
            uint32_t p;
            if (s.n) {
                p = (s.b / s.n) | ((s.g / s.n) << 8) | ((s.r / s.n) << 16) | ((s.a / s.n) << 24);
            } else {
                // Enlarging leaves targets no source pixel fell on: take the nearest one.
                const uint32_t sx = static_cast<uint32_t>(static_cast<uint64_t>(x) * sw / tw);
                const uint32_t sy = static_cast<uint32_t>(static_cast<uint64_t>(y) * sh / th);
                p = ReadAs32(source, source.Row(sy), sx);
            }
            if (bits_ == 32)
                Store32(out + x * 4, p);
            else
                Store16(out + x * 2, PixelFormat::To16(p));
        }
    }
}

void Bitmap::SetAlpha(uint8_t value) {
    if (bits_ != 32) return;
    // Whole pixels rather than every fourth byte: several at once.
    const uint32_t alpha = static_cast<uint32_t>(value) << 24;
    uint8_t* p = pixels_.data();
    for (size_t i = 0, n = pixels_.size() / 4; i < n; ++i)
        Store32(p + i * 4, (Load32(p + i * 4) & 0xFFFFFFu) | alpha);
}

void Bitmap::SetAlphaFrom(const Bitmap& alpha) {
    if (bits_ != 32 || alpha.width_ != width_ || alpha.height_ != height_ || alpha.Empty()) return;
    for (uint32_t y = 0; y < height_; ++y) {
        uint8_t* out = Row(y);
        const uint8_t* in = alpha.Row(y);
        for (uint32_t x = 0; x < width_; ++x) {
            uint32_t level;
            if (alpha.bits_ == 32) {
                level = in[x * 4 + 3];
            } else {
                const uint32_t p = ReadAs32(alpha, in, x);
                level = ((p & 0xFF) + ((p >> 8) & 0xFF) + ((p >> 16) & 0xFF)) / 3;
            }
            out[x * 4 + 3] = static_cast<uint8_t>(level);
        }
    }
}

uint64_t Bitmap::ConvertFrom(const Bitmap& source, uint32_t threshold) {
    if (source.bits_ != 32 || source.width_ != width_ || source.height_ != height_ || Empty()) return 0;
    uint64_t keyed = 0;
    if (bits_ == 32) {
        // Sizes in locals, a wide index and a count per row, so that the compiler does several pixels
        // at once: every scene switch converts the whole scene.
        const uint32_t key = key_ & 0xFFFFFF, width = width_, height = height_;
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* in = source.Row(y);
            uint8_t* out = Row(y);
            uint32_t rowKeyed = 0;
            for (size_t x = 0; x < width; ++x) {
                const uint32_t p = Load32(in + x * 4);
                const uint32_t q = (p >> 24) < threshold ? key : (p | 0xFF000000u);
                rowKeyed += (q & 0xFFFFFF) == key ? 1u : 0u;
                Store32(out + x * 4, q);
            }
            keyed += rowKeyed;
        }
    } else if (bits_ == 16) {
        const uint16_t key = PixelFormat::To16(key_);
        key_ = key;
        for (uint32_t y = 0; y < height_; ++y) {
            const uint8_t* in = source.Row(y);
            uint8_t* out = Row(y);
            for (uint32_t x = 0; x < width_; ++x) {
                const uint32_t p = Load32(in + x * 4);
                const uint16_t q = (p >> 24) < threshold ? key : PixelFormat::To16(p);
                keyed += q == key;
                Store16(out + x * 2, q);
            }
        }
    }
    return keyed;
}
