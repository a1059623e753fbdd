#include "platform/Blit.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Platform {

namespace {

// A source pixel whose colour (alpha aside) is the key is skipped; any other is copied whole.
void CopyRowKeyed(uint32_t* dst, const uint32_t* src, int n, uint32_t rgbMask, uint32_t key) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i mask = _mm_set1_epi32(static_cast<int>(rgbMask));
    const __m128i keys = _mm_set1_epi32(static_cast<int>(key));
    for (; i + 4 <= n; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i skip = _mm_cmpeq_epi32(_mm_and_si128(s, mask), keys);
        const int bits = _mm_movemask_epi8(skip);
        if (bits == 0xFFFF) continue; // all four are the key: the run round a sprite
        auto* d = reinterpret_cast<__m128i*>(dst + i);
        if (bits == 0) {
            _mm_storeu_si128(d, s);
            continue;
        }
        const __m128i kept = _mm_and_si128(skip, _mm_loadu_si128(d));
        _mm_storeu_si128(d, _mm_or_si128(kept, _mm_andnot_si128(skip, s)));
    }
#endif
    for (; i < n; ++i)
        if ((src[i] & rgbMask) != key) dst[i] = src[i];
}

bool Plain(SDL_Surface* s) {
    SDL_BlendMode blend = SDL_BLENDMODE_NONE;
    Uint8 r = 0, g = 0, b = 0, a = 0;
    SDL_GetSurfaceBlendMode(s, &blend);
    SDL_GetSurfaceColorMod(s, &r, &g, &b);
    SDL_GetSurfaceAlphaMod(s, &a);
    return blend == SDL_BLENDMODE_NONE && r == 255 && g == 255 && b == 255 && a == 255 &&
           !SDL_HasSurfaceRLE(s) && !s->locked;
}

} // namespace

bool FastBlit(SDL_Surface* source, const SDL_Rect* sourceRect, SDL_Surface* destination,
              SDL_Rect* destinationRect) {
    if (!source || !destination || !source->pixels || !destination->pixels ||
        source->pixels == destination->pixels)
        return false;
    if (source->format->format != destination->format->format || source->format->BytesPerPixel != 4)
        return false;
    if (!Plain(source) || destination->locked) return false;
    Uint32 key = 0;
    const bool keyed = SDL_GetColorKey(source, &key) == 0;
    // SDL keys a format without alpha by every bit of the pixel; only the alpha case is done here.
    if (keyed && source->format->Amask == 0) return false;

    // Clipped as SDL_UpperBlit does: the source to its surface, then the destination to its clip
    // rectangle, each cut moving the other's edge with it.
    int sx = 0, sy = 0, w = source->w, h = source->h;
    int dx = destinationRect ? destinationRect->x : 0, dy = destinationRect ? destinationRect->y : 0;
    if (sourceRect) {
        sx = sourceRect->x;
        sy = sourceRect->y;
        w = sourceRect->w;
        h = sourceRect->h;
        if (sx < 0) {
            w += sx;
            dx -= sx;
            sx = 0;
        }
        if (sy < 0) {
            h += sy;
            dy -= sy;
            sy = 0;
        }
        if (w > source->w - sx) w = source->w - sx;
        if (h > source->h - sy) h = source->h - sy;
    }
    const SDL_Rect& clip = destination->clip_rect;
    if (const int cut = clip.x - dx; cut > 0) {
        w -= cut;
        dx += cut;
        sx += cut;
    }
    if (const int cut = dx + w - clip.x - clip.w; cut > 0) w -= cut;
    if (const int cut = clip.y - dy; cut > 0) {
        h -= cut;
        dy += cut;
        sy += cut;
    }
    if (const int cut = dy + h - clip.y - clip.h; cut > 0) h -= cut;
    if (destinationRect) *destinationRect = SDL_Rect{dx, dy, w > 0 ? w : 0, h > 0 ? h : 0};
    if (w <= 0 || h <= 0) return true;

    const auto* from = static_cast<const uint8_t*>(source->pixels) + ptrdiff_t(sy) * source->pitch + sx * 4;
    auto* to = static_cast<uint8_t*>(destination->pixels) + ptrdiff_t(dy) * destination->pitch + dx * 4;
    if (keyed) {
        const uint32_t rgbMask = ~source->format->Amask;
        for (int y = 0; y < h; ++y, from += source->pitch, to += destination->pitch)
            CopyRowKeyed(reinterpret_cast<uint32_t*>(to), reinterpret_cast<const uint32_t*>(from), w, rgbMask,
                         key & rgbMask);
    } else {
        for (int y = 0; y < h; ++y, from += source->pitch, to += destination->pitch)
            std::memcpy(to, from, size_t(w) * 4);
    }
    return true;
}

int BlitSurface(SDL_Surface* source, const SDL_Rect* sourceRect, SDL_Surface* destination,
                SDL_Rect* destinationRect) {
    if (FastBlit(source, sourceRect, destination, destinationRect)) return 0;
    return SDL_BlitSurface(source, sourceRect, destination, destinationRect);
}

} // namespace Platform
