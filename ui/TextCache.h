#pragma once
#include <cstdint>
#include <string>

#include "core/Hook.h"
#include "gfx/Graphics.h"
#include "ui/Font.h"

class SurfaceRegistry;

// Rectangle in screen pixels; right and bottom exclusive.
using TextRect = Graphics::Rect;

// Shadowed text drawing onto display surfaces, directly or through the text cache (one named
// surface in the renderer's registry per font, size, colour, text, scene and position), and the
// justified paragraph layout of the help pages.
//
// Texts are drawn as they stand. Any formatting happens before, with Text::Format and the
// program's own format strings: texts from the text table or typed by the player are arguments,
// never formats. A text may begin with a size prefix, "<36>", which overrides the size argument.
namespace Text {

enum Align : int32_t { kLeft = 0, kCentre = 1, kRight = 2 };

// Draws without the cache; x is the left edge, centre or right edge by align, y the top of the
// text box. Returns the measured width of the text.
int32_t DrawTextDirect(SDL_Surface* surface, Font& font, uint32_t size, int32_t align, int32_t x, int32_t y,
                       uint32_t colour, const char16_t* text);
// Draws through the cache: rasterised once, then blitted.
void DrawText(SDL_Surface* surface, Font& font, uint32_t size, int32_t align, int32_t x, int32_t y,
              uint32_t colour, const char16_t* text);
// Word-wrapped, justified text inside rect's width, from its top. Returns rect with its top moved
// below the last line (unchanged when there is no text).
TextRect DrawParagraph(SDL_Surface* surface, Font& font, uint32_t size, uint32_t colour, const TextRect& rect,
                       const char16_t* text);

// The registry that holds the cached texts (the renderer's in the program). Without one,
// DrawText draws nothing.
void SetCacheRegistry(SurfaceRegistry* registry);
SurfaceRegistry* CacheRegistry();
// The renderer's default-font loader: the font becomes g_DefaultFont.
[[nodiscard]] bool LoadDefaultFont(const char* path, uint32_t pixelSize);

// While on, each newly cached text replaces the previous volatile one (texts that change every
// frame, such as counters).
void SetVolatile(bool on);
bool IsVolatile();
// The renderer's surfaces were released: the last volatile surface is gone.
void ForgetVolatile();

struct Hooks {
    // Name of the active scene, part of every cache key (the cached surface holds that scene's
    // background); nullptr counts as "".
    Hook<const char*()> activeSceneName{"Text.activeSceneName"};
};
void SetHooks(const Hooks& hooks);

// The cache key: "fontCash_%x_%d_%x_%s_%s_%d_%d" (font id, size, colour, the text's low bytes,
// scene, x, y).
std::string CacheKey(const Font& font, uint32_t size, uint32_t colour, const char16_t* text, int32_t x,
                     int32_t y);
// The same into `key`, which keeps its storage from one text to the next.
void CacheKeyInto(std::string& key, const Font& font, uint32_t size, uint32_t colour, const char16_t* text,
                  int32_t x, int32_t y);

// Splits off a leading "<digits>" size prefix: returns the text proper and sets size when
// there is one; returns text unchanged otherwise.
const char16_t* ApplySizePrefix(const char16_t* text, uint32_t& size);

// printf with the program's own format; the result widened to 16 bits (bytes as Latin-1).
std::u16string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::u16string Widen(const char* text);
// Low byte of each unit, at most maxUnits of them.
std::string Narrow(const char16_t* text, size_t maxUnits = SIZE_MAX);
// A text-table text that carries one "%d" (for example the name-entry prompt with the score):
// the first "%d" becomes the number, everything else stays as written.
std::u16string SubstituteInt(const char16_t* text, int32_t value);

} // namespace Text
