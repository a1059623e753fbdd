// Pictures to and from display surfaces: the one place where the picture data meets SDL.
#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "gfx/Graphics.h"
#include "picture/Bitmap.h"
#include "picture/PixelFormat.h"

using PixelFormat::Load16;
using PixelFormat::Load32;
using PixelFormat::Store16;
using PixelFormat::Store32;
using PixelFormat::To16;
using PixelFormat::To32;

namespace {

// Intersects a w x h rectangle at (sx, sy) in a picture of pw x ph with one at (dx, dy) in a
// picture of qw x qh; adjusts all of them. False when nothing is left.
bool ClipPair(int64_t& sx, int64_t& sy, int64_t& dx, int64_t& dy, int64_t& w, int64_t& h, int64_t pw,
              int64_t ph, int64_t qw, int64_t qh) {
    auto cut = [&](int64_t& s, int64_t& d, int64_t& len, int64_t slim, int64_t dlim) {
        if (s < 0) {
            d -= s;
            len += s;
            s = 0;
        }
        if (d < 0) {
            s -= d;
            len += d;
            d = 0;
        }
        len = std::min({len, slim - s, dlim - d});
    };
    cut(sx, dx, w, pw, qw);
    cut(sy, dy, h, ph, qh);
    return w > 0 && h > 0;
}

} // namespace

namespace Graphics {

bool Upload(const Bitmap& picture, const Rect& source, Surface* surface, int32_t x, int32_t y,
            bool colorKey) {
    if (!surface || picture.Empty()) return false;
    const int bpp = surface->format->BytesPerPixel;
    if (bpp != 2 && bpp != 4) return false;
    Locked lock;
    if (!Lock(surface, lock)) return false;
    // The key as this picture stores it: 16-bit pictures hold it converted already.
    const uint32_t bits = picture.Bits(), key = picture.KeyColor();
    const uint32_t key32 = bits == 16 ? (To32(static_cast<uint16_t>(key)) & 0xFFFFFF) : (key & 0xFFFFFF);
    const uint16_t key16 = bits == 16 ? static_cast<uint16_t>(key) : To16(key);

    int64_t sx = source.left, sy = source.top, dx = x, dy = y;
    int64_t w = source.Width(), h = source.Height();
    if (ClipPair(sx, sy, dx, dy, w, h, picture.Width(), picture.Height(), surface->w, surface->h)) {
        for (int64_t r = 0; r < h; ++r) {
            const uint8_t* in = picture.Row(static_cast<uint32_t>(sy + r));
            uint8_t* out = lock.pixels + (dy + r) * lock.pitch + dx * bpp;
            if (bpp == 4) {
                if (bits == 32 && !colorKey) {
                    std::memcpy(out, in + sx * 4, static_cast<size_t>(w) * 4);
                    continue;
                }
                for (int64_t c = 0; c < w; ++c) {
                    const uint32_t col = static_cast<uint32_t>(sx + c);
                    uint32_t p;
                    if (bits == 32) {
                        p = Load32(in + col * 4);
                        if (colorKey && (p >> 24) < 128) p = key32;
                    } else {
                        p = picture.ArgbAt(in, col) | 0xFF000000u;
                    }
                    Store32(out + c * 4, p);
                }
            } else {
                if (bits == 16) {
                    std::memcpy(out, in + sx * 2, static_cast<size_t>(w) * 2);
                    continue;
                }
                for (int64_t c = 0; c < w; ++c) {
                    const uint32_t col = static_cast<uint32_t>(sx + c);
                    uint16_t p;
                    if (bits == 32) {
                        const uint32_t v = Load32(in + col * 4);
                        p = colorKey && (v >> 24) < 128 ? key16 : To16(v);
                    } else {
                        p = To16(picture.ArgbAt(in, col));
                    }
                    Store16(out + c * 2, p);
                }
            }
        }
    }
    Unlock(surface);
    if (colorKey) SetColorKey(surface, bpp == 4 ? key32 : key16);
    return true;
}

bool ReadBack(Surface* surface, const Rect& rect, Bitmap& picture) {
    if (!surface || rect.Width() <= 0 || rect.Height() <= 0) return false;
    const int bpp = surface->format->BytesPerPixel;
    if (bpp != 2 && bpp != 4) return false;
    if (static_cast<uint32_t>(rect.Width()) > Bitmap::kMaxSide ||
        static_cast<uint32_t>(rect.Height()) > Bitmap::kMaxSide)
        return false;
    Locked lock;
    if (!Lock(surface, lock)) return false;
    if (!picture.Create(static_cast<uint32_t>(rect.Width()), static_cast<uint32_t>(rect.Height()), 32)) {
        Unlock(surface);
        return false;
    }
    picture.SetKeyColor(0);
    int64_t sx = rect.left, sy = rect.top, dx = 0, dy = 0, w = rect.Width(), h = rect.Height();
    if (ClipPair(sx, sy, dx, dy, w, h, surface->w, surface->h, picture.Width(), picture.Height())) {
        for (int64_t r = 0; r < h; ++r) {
            const uint8_t* in = lock.pixels + (sy + r) * lock.pitch + sx * bpp;
            uint8_t* out = picture.Row(static_cast<uint32_t>(dy + r)) + dx * 4;
            if (bpp == 4) {
                std::memcpy(out, in, static_cast<size_t>(w) * 4);
            } else {
                for (int64_t c = 0; c < w; ++c)
                    Store32(out + c * 4, To32(Load16(in + c * 2)) | 0xFF000000u);
            }
        }
    }
    Unlock(surface);
    return true;
}

} // namespace Graphics
