#include "platform/Blit.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace {

struct Owned {
    SDL_Surface* s;
    Owned(int w, int h, Uint32 format) : s(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, format)) {
        SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_NONE);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { SDL_FreeSurface(s); }
    Uint32& At(int x, int y) { return static_cast<Uint32*>(s->pixels)[y * (s->pitch / 4) + x]; }
    bool SameAs(const Owned& o) const {
        return std::memcmp(s->pixels, o.s->pixels, size_t(s->pitch) * s->h) == 0;
    }
};

// Random pixels, a quarter of them the key's colour under any alpha (the key compares colour only).
void Fill(Owned& o, std::mt19937& rng, Uint32 key) {
    for (int y = 0; y < o.s->h; ++y)
        for (int x = 0; x < o.s->w; ++x)
            o.At(x, y) = rng() % 4 == 0 ? (key & 0xFFFFFF) | (rng() & 0xFF000000) : Uint32(rng());
}

// Against SDL's own blitter, over source rectangles and positions that reach past every edge,
// odd widths (the four-pixel loop's tail), clip rectangles, with and without the key: the same
// pixels and the same clipped destination rectangle.
TEST(FastBlit, MatchesSdlForEveryClipAndKey) {
    std::mt19937 rng(7);
    for (int round = 0; round < 400; ++round) {
        const bool keyed = round % 2 == 0;
        const Uint32 key = 0xFF000000u | (rng() & 0xFFFFFF);
        Owned src(1 + int(rng() % 40), 1 + int(rng() % 30), SDL_PIXELFORMAT_ARGB8888);
        Owned ours(50, 40, SDL_PIXELFORMAT_ARGB8888), theirs(50, 40, SDL_PIXELFORMAT_ARGB8888);
        Fill(src, rng, key);
        Fill(ours, rng, key);
        std::memcpy(theirs.s->pixels, ours.s->pixels, size_t(ours.s->pitch) * ours.s->h);
        if (keyed) SDL_SetColorKey(src.s, SDL_TRUE, key);
        if (round % 3 == 0) {
            const SDL_Rect clip{int(rng() % 20), int(rng() % 20), int(rng() % 40), int(rng() % 30)};
            SDL_SetClipRect(ours.s, &clip);
            SDL_SetClipRect(theirs.s, &clip);
        }
        const SDL_Rect part{int(rng() % 50) - 10, int(rng() % 40) - 10, int(rng() % 60), int(rng() % 50)};
        const SDL_Rect* srcRect = round % 5 == 0 ? nullptr : &part;
        SDL_Rect at{int(rng() % 80) - 20, int(rng() % 70) - 20, 0, 0};
        SDL_Rect atTheirs = at;
        ASSERT_TRUE(Platform::FastBlit(src.s, srcRect, ours.s, &at)) << round;
        ASSERT_EQ(SDL_BlitSurface(src.s, srcRect, theirs.s, &atTheirs), 0) << SDL_GetError();
        ASSERT_TRUE(ours.SameAs(theirs)) << "round " << round;
        if (atTheirs.w > 0 && atTheirs.h > 0)
            EXPECT_EQ(std::tuple(at.x, at.y, at.w, at.h),
                      std::tuple(atTheirs.x, atTheirs.y, atTheirs.w, atTheirs.h))
                << round;
        else
            EXPECT_TRUE(at.w == 0 || at.h == 0) << round;
    }
}

// Whatever it does not do exactly as SDL would is left to SDL, untouched.
TEST(FastBlit, LeavesOtherCasesToSdl) {
    Owned argb(8, 8, SDL_PIXELFORMAT_ARGB8888), xrgb(8, 8, SDL_PIXELFORMAT_RGB888),
        other(8, 8, SDL_PIXELFORMAT_ARGB8888);
    SDL_Rect at{1, 1, 0, 0};
    EXPECT_FALSE(Platform::FastBlit(argb.s, nullptr, xrgb.s, &at));     // a conversion
    EXPECT_EQ(std::tuple(at.x, at.y, at.w), std::tuple(1, 1, 0));       // and nothing moved
    EXPECT_FALSE(Platform::FastBlit(argb.s, nullptr, argb.s, nullptr)); // onto itself

    SDL_SetColorKey(xrgb.s, SDL_TRUE, 0);
    Owned xrgb2(8, 8, SDL_PIXELFORMAT_RGB888);
    EXPECT_FALSE(Platform::FastBlit(xrgb.s, nullptr, xrgb2.s, nullptr)); // a key without alpha

    SDL_SetSurfaceBlendMode(argb.s, SDL_BLENDMODE_BLEND);
    EXPECT_FALSE(Platform::FastBlit(argb.s, nullptr, other.s, nullptr));
    SDL_SetSurfaceBlendMode(argb.s, SDL_BLENDMODE_NONE);
    SDL_SetSurfaceColorMod(argb.s, 200, 255, 255);
    EXPECT_FALSE(Platform::FastBlit(argb.s, nullptr, other.s, nullptr));
    SDL_SetSurfaceColorMod(argb.s, 255, 255, 255);
    EXPECT_TRUE(Platform::FastBlit(argb.s, nullptr, other.s, nullptr));
}

} // namespace
