#pragma once
#include <SDL.h>

namespace Platform {

// The copies a frame is made of (a layer onto the back buffer, each item's frame with its colour
// key, the back buffer into the window) done with the C library's memcpy and four pixels at a time
// instead of SDL's per-pixel loops. Same clipping and the same pixels as SDL_BlitSurface; false
// (nothing done) for any case it does not cover: other pixel sizes, differing formats, blending,
// colour or alpha modulation, RLE or locked surfaces, a surface blitted onto itself.
// `destinationRect` as SDL's: the position in, the clipped rectangle out (may be null).
bool FastBlit(SDL_Surface* source, const SDL_Rect* sourceRect, SDL_Surface* destination,
              SDL_Rect* destinationRect);

// FastBlit where it applies, SDL_BlitSurface where not; SDL's return code.
int BlitSurface(SDL_Surface* source, const SDL_Rect* sourceRect, SDL_Surface* destination,
                SDL_Rect* destinationRect);

} // namespace Platform
