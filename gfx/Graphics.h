#pragma once
#include <cstdint>
#include <functional>
#include <vector>

struct SDL_Window;
struct SDL_Surface;
class Bitmap;

// A display surface. Plain SDL surface in the display's pixel format (32-bit ARGB8888, i.e. blue,
// green, red, alpha bytes in memory order, or 16-bit 5-6-5); `w`, `h`, `pitch` and `pixels` may be
// read directly by anyone who includes SDL.
using Surface = SDL_Surface;

// The display module: back buffer, presentation and the few surface operations the program uses.
namespace Graphics {

// Left, top, right, bottom; right and bottom exclusive.
struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
};

// Where Graphics::CreateSurface puts a surface.
enum class Memory { Default, System };

// Opens the display on `window` (may be nullptr for headless use: no presentation). In windowed
// mode a width or height of -1 means the desktop's. depth 16 gives a 5-6-5 display, else 32.
[[nodiscard]] bool Init(int32_t width, int32_t height, int32_t depth, bool fullscreen, SDL_Window* window);
void Shutdown();
bool IsInitialised();
void Present(bool waitForRetrace);
// nullptr before Init or after a failure.
Surface* GetBackBuffer();
void RestoreAllSurfaces();

// Off-screen surface; refuses widths above the display's ("Warning! Trying to create surface
// wider than screen resolution(%d,%d)!\n").
Surface* CreateSurface(uint32_t width, uint32_t height, Memory memory = Memory::Default);
// Frees a surface from CreateSurface (nullptr is fine).
void ReleaseSurface(Surface* surface);

struct Locked {
    uint8_t* pixels = nullptr;
    int32_t pitch = 0;   // bytes per row
    int32_t pitch16 = 0; // the same in 16-bit units
};
bool Lock(Surface* surface, Locked& out);
void Unlock(Surface* surface);

// Source colour key in the surface's pixel format.
void SetColorKey(Surface* surface, uint32_t color);
// Removes the source colour key.
void ClearColorKey(Surface* surface);
// Copies `source` (the whole surface when `sourceRect` is nullptr) to (x, y) of `destination`,
// clipped against both surfaces, no scaling; `useColorKey` skips pixels equal to the source's key.
bool Blit(Surface* destination, int32_t x, int32_t y, Surface* source, const Rect* sourceRect,
          bool useColorKey);

// Writes `source` (a rectangle of `picture`) to (x, y) of the surface, converting to the
// display's depth; with `colorKey` pixels of alpha below 128 become the key colour and the
// surface's source key is set. The rectangle is clipped to both.
bool Upload(const Bitmap& picture, const Rect& source, Surface* surface, int32_t x, int32_t y, bool colorKey);
// `picture` becomes a 32-bit copy (key 0) of the surface's `rect`; parts outside the surface are 0.
[[nodiscard]] bool ReadBack(Surface* surface, const Rect& rect, Bitmap& picture);

void ReportVideoMemory();

// ---- Frame recording ----------------------------------------------------------------------------
// An unchanged picture is neither composed nor presented again. Between BeginFrame and EndFrame the
// drawing onto the back buffer is kept as a list of commands and folded into a signature (which
// surface, which content of it, where, with which key) instead of being done. EndFrame compares
// the signature with the one of the last picture drawn: only a different picture is drawn, and
// only then is there anything new to present.
void BeginFrame();
bool Recording();
// Drawing onto `surface` that is not a blit (a text rasterised over its background): done at
// once, or kept for EndFrame when `surface` is the back buffer being recorded. `signature` must
// tell apart every picture the call can make.
void DrawOrDefer(Surface* surface, uint64_t signature, std::function<void()> draw);
// Does what was recorded so far (a screenshot needs the picture now); the frame then counts as
// changed.
void FlushRecorded();
// Ends the recording: true, with the picture drawn into the back buffer, when it differs from the
// last one drawn; false when the back buffer already holds it.
[[nodiscard]] bool EndFrame();
// The parts of the picture that the last drawn frame changed (and that its present sends); empty
// when the whole picture was drawn.
std::vector<Rect> LastChangedAreas();
// The next EndFrame draws whatever it records (the back buffer was lost or must be shown again).
void InvalidateFrame();
// A number that changes whenever the surface's pixels or colour key may have changed.
uint64_t ContentStamp(const Surface* surface);
// Frames presented so far (Present calls that reached the display).
uint64_t PresentCount();
// Mixes a value into a running signature.
uint64_t HashMix(uint64_t seed, uint64_t value);
uint64_t HashBytes(uint64_t seed, const void* data, size_t size);

// Names of the display layer's failure codes, "Not defined error" for unknown ones.
const char* ErrorName(int32_t code);

// ---- Display state ----------------------------------------------------------------------------
bool Fullscreen();
uint32_t Width();
uint32_t Height();
uint32_t Depth();
// True for a 32-bit display (red mask 0xFF0000), false for 16 bits.
bool Is32Bit();
// True when a 16-bit display has a 5-5-5 layout (green mask not 0x7E0).
bool Is15Bit();

} // namespace Graphics
