#include "gfx/Graphics.h"

#include <SDL.h>

#include <algorithm>
#include <vector>

#include "core/Log.h"
#include "picture/PixelFormat.h"
#include "platform/Blit.h"
#include "platform/Display.h"

namespace Graphics {

namespace {

struct State {
    bool initialised = false;
    bool fullscreen = false;
    uint32_t width = 0, height = 0, depth = 0;
    bool is32 = true;
    bool is15 = false;
    int32_t windowRect[4] = {0, 0, 0, 0};
    Surface* backBuffer = nullptr;
    int32_t pitch16 = 0;
};
State g_state;

// Surfaces live in system memory under SDL; the report measures them against a notional pool of
// the size the game was made for, so that the numbers still show growth and leaks.
constexpr uint64_t kNotionalVideoMemory = 256ull * 1024 * 1024;

// Drawing onto the back buffer kept between BeginFrame and EndFrame.
struct Command {
    Surface* source = nullptr; // a blit, or none for `draw`
    SDL_Rect rect{0, 0, 0, 0};
    bool whole = true;
    int32_t x = 0, y = 0;
    bool useColorKey = false;
    std::function<void()> draw;
};

// What one recorded command drew and where, to find the parts of a new picture that differ.
struct Drawn {
    uint64_t hash = 0;
    SDL_Rect area{0, 0, 0, 0};
    bool operator==(const Drawn& o) const {
        return hash == o.hash && area.x == o.area.x && area.y == o.area.y && area.w == o.area.w &&
               area.h == o.area.h;
    }
};

struct Recorder {
    bool active = false;
    bool replaying = false;
    bool touched = false; // the back buffer was drawn on during the recording
    bool invalid = true;  // the back buffer does not hold the last recorded picture
    uint64_t signature = 0;
    uint64_t lastDrawn = 0;
    std::vector<Command> pending;
    uint64_t presents = 0;
    std::vector<Drawn> current; // this recording's commands, kept through flushes
    std::vector<Drawn> last;    // those of the picture in the back buffer
    bool lastKnown = false;     // `last` alone made that picture
    bool changedAll = true;     // the last drawn frame changed everything
    bool sendAll = true;        // the next present shows everything
    std::vector<Platform::ViewRect> changed;
};
Recorder g_rec;
uint64_t g_stampCounter = 0;

void Stamp(Surface* surface) {
    if (surface) surface->userdata = reinterpret_cast<void*>(static_cast<uintptr_t>(++g_stampCounter));
}

bool RecordingBackBuffer(const Surface* surface) {
    return g_rec.active && !g_rec.replaying && surface && surface == g_state.backBuffer;
}

bool BlitNow(Surface* destination, int32_t x, int32_t y, Surface* source, SDL_Rect src);

bool BlitKeyed(Surface* destination, int32_t x, int32_t y, Surface* source, SDL_Rect src, bool useColorKey) {
    if (useColorKey || !SDL_HasColorKey(source)) return BlitNow(destination, x, y, source, src);
    // Copied without its key: the key comes off for this one blit.
    Uint32 key = 0;
    SDL_GetColorKey(source, &key);
    SDL_SetColorKey(source, SDL_FALSE, 0);
    const bool ok = BlitNow(destination, x, y, source, src);
    SDL_SetColorKey(source, SDL_TRUE, key);
    return ok;
}

void FlushPending() {
    g_rec.replaying = true;
    for (Command& c : g_rec.pending) {
        if (c.draw)
            c.draw();
        else
            BlitKeyed(g_state.backBuffer, c.x, c.y, c.source, c.rect, c.useColorKey);
    }
    g_rec.pending.clear();
    g_rec.replaying = false;
}

// Draws the recorded blits only inside `areas`; the rest of the back buffer already holds them.
// Copies without blending give the same pixels however often they are done over each other, so
// overlapping areas are fine; texts blend and are never drawn this way.
void FlushPendingInside(const std::vector<Platform::ViewRect>& areas) {
    g_rec.replaying = true;
    Surface* back = g_state.backBuffer;
    for (const Platform::ViewRect& a : areas) {
        const SDL_Rect clip{a.x, a.y, a.w, a.h};
        SDL_SetClipRect(back, &clip);
        for (const Command& c : g_rec.pending) {
            const SDL_Rect area{c.x, c.y, c.rect.w, c.rect.h};
            if (SDL_HasIntersection(&area, &clip)) BlitKeyed(back, c.x, c.y, c.source, c.rect, c.useColorKey);
        }
    }
    SDL_SetClipRect(back, nullptr);
    g_rec.pending.clear();
    g_rec.replaying = false;
}

bool OnlyBlitsPending() {
    return std::none_of(g_rec.pending.begin(), g_rec.pending.end(),
                        [](const Command& c) { return bool(c.draw); });
}

// The back buffer is about to be read or written outside the recording: what was recorded comes
// first, and the picture is no longer the one recorded before.
void TouchBackBuffer() {
    if (g_rec.replaying) return;
    if (!g_rec.active) {
        g_rec.invalid = true;
        return;
    }
    FlushPending();
    g_rec.touched = true;
}

// The back buffer's part that `area` covers.
SDL_Rect OnScreen(SDL_Rect area) {
    const int32_t x0 = std::max(area.x, 0), y0 = std::max(area.y, 0);
    const int32_t x1 = std::min<int64_t>(int64_t(area.x) + area.w, g_state.width);
    const int32_t y1 = std::min<int64_t>(int64_t(area.y) + area.h, g_state.height);
    if (x1 <= x0 || y1 <= y0) return SDL_Rect{0, 0, 0, 0};
    return SDL_Rect{x0, y0, x1 - x0, y1 - y0};
}

void Note(uint64_t hash, SDL_Rect area) {
    g_rec.signature = HashMix(g_rec.signature, hash);
    g_rec.current.push_back(Drawn{hash, OnScreen(area)});
}

std::vector<Platform::ViewRect> ChangedAreas(const std::vector<Drawn>& before,
                                             const std::vector<Drawn>& after, bool& all);

} // namespace

const char* ErrorName(int32_t code) {
    return Platform::ErrorName(code);
}

bool Init(int32_t width, int32_t height, int32_t depth, bool fullscreen, SDL_Window* window) {
    if (g_state.initialised) Shutdown();
    State& s = g_state;
    s.fullscreen = fullscreen;
    Platform::ClientRectOnScreen(s.windowRect[0], s.windowRect[1], s.windowRect[2], s.windowRect[3]);

    // Without a window (tests, tools, benchmarks) surfaces are plain memory: no video driver needed.
    if (window && !SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        LogMsg("Error: DirectDrawCreateEx-> %s\n",
               ErrorName(static_cast<int32_t>(Platform::DisplayError::DDERR_NODIRECTDRAWHW)));
        return false;
    }
    int32_t deskW = 0, deskH = 0, deskHz = 0;
    Platform::DesktopMode(deskW, deskH, deskHz);
    // The back buffer is ours in either mode, so the requested depth holds even in a window: the
    // presentation converts it. Only -1 sizes take the desktop's.
    if (!fullscreen) {
        if (width == -1) width = deskW;
        if (height == -1) height = deskH;
    }
    if (width <= 0 || height <= 0) {
        LogMsg("Error: CreatePrimarySurface-> %s\n",
               ErrorName(static_cast<int32_t>(Platform::DisplayError::DDERR_INVALIDPARAMS)));
        return false;
    }
    depth = depth == 16 ? 16 : 32;
    LogMsg("Graphics::Init( %d,%d,%d )\n", width, height, depth);
    LogMsg("Fullscreen = %d\n", fullscreen ? 1 : 0);

    Platform::DisplayError err =
        Platform::OpenDisplay(window, static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                              static_cast<uint32_t>(depth), fullscreen);
    if (err != Platform::DisplayError::Ok) {
        LogMsg("Error: CreatePrimarySurface-> %s\n", Platform::ErrorName(err));
        return false;
    }
    if (window) {
        const char* detail = Platform::PresentPathDetail();
        LogMsg("Presentation: %s%s%s%s\n", Platform::PresentPathName(Platform::CurrentPresentPath()),
               *detail ? " (" : "", detail, *detail ? ")" : "");
    }
    const Platform::DisplayFormat& f = Platform::CurrentFormat();
    s.width = static_cast<uint32_t>(width);
    s.height = static_cast<uint32_t>(height);
    s.is32 = f.redMask == 0xFF0000;
    s.is15 = !s.is32 && f.greenMask != 0x7E0;
    s.depth = s.is32 ? 32 : 16;
    PixelFormat::BuildConversionTables(s.is15);

    s.backBuffer = Platform::CreateDisplaySurface(s.width, s.height, &err);
    if (!s.backBuffer) {
        if (fullscreen)
            LogMsg("Error: GetAttachedSurface->%s\n", Platform::ErrorName(err));
        else
            LogMsg("Error: Create offscreen surface %s\n", Platform::ErrorName(err));
        Platform::CloseDisplay();
        return false;
    }
    Locked l;
    if (!Lock(s.backBuffer, l)) {
        LogMsg("Error: Lock surface (define lPitch) %s\n",
               ErrorName(static_cast<int32_t>(Platform::DisplayError::DDERR_SURFACEBUSY)));
        Platform::ReleaseDisplaySurface(s.backBuffer);
        s.backBuffer = nullptr;
        Platform::CloseDisplay();
        return false;
    }
    s.pitch16 = l.pitch16;
    Unlock(s.backBuffer);
    Stamp(s.backBuffer);
    InvalidateFrame();
    s.initialised = true;
    if (!fullscreen && window) SDL_ShowCursor(SDL_ENABLE);
    ReportVideoMemory();
    return true;
}

void Shutdown() {
    State& s = g_state;
    if (s.backBuffer) Platform::ReleaseDisplaySurface(s.backBuffer);
    s.backBuffer = nullptr;
    Platform::CloseDisplay();
    s.initialised = false;
    g_rec.pending.clear();
    g_rec.active = false;
    InvalidateFrame();
}

bool IsInitialised() {
    return g_state.initialised;
}

void Present(bool waitForRetrace) {
    if (!g_state.initialised || !g_state.backBuffer) return;
    const Platform::DisplayError err = g_rec.sendAll
                                           ? Platform::Present(g_state.backBuffer, waitForRetrace)
                                           : Platform::Present(g_state.backBuffer, waitForRetrace,
                                                               g_rec.changed.data(), g_rec.changed.size());
    g_rec.sendAll = true; // a present of anything not recorded shows it all
    // The moment the player first sees the game (the start-up benchmark waits for this line).
    if (g_rec.presents == 0 && err == Platform::DisplayError::Ok &&
        Platform::CurrentPresentPath() != Platform::PresentPath::None)
        LogMsg("First frame presented\n");
    ++g_rec.presents;
    if (err == Platform::DisplayError::Ok || err == Platform::DisplayError::DDERR_SURFACELOST) return;
    if (g_state.fullscreen)
        LogMsg("Error: DXFlip (fullscreen) %s\n", Platform::ErrorName(err));
    else
        LogMsg("Error: DXFlip (window blitting) %s\n", Platform::ErrorName(err));
}

Surface* GetBackBuffer() {
    return g_state.initialised ? g_state.backBuffer : nullptr;
}

// SDL surfaces live in system memory and never lose their contents; nothing to restore.
void RestoreAllSurfaces() {}

Surface* CreateSurface(uint32_t width, uint32_t height, Memory memory) {
    (void)memory;
    if (!g_state.initialised) {
        LogMsg("Error: DXCreateSurface-> %s\n",
               ErrorName(static_cast<int32_t>(Platform::DisplayError::DDERR_NOCOOPERATIVELEVELSET)));
        return nullptr;
    }
    if (width > g_state.width) {
        LogMsg("Warning! Trying to create surface wider than screen resolution(%d,%d)!\n",
               static_cast<int>(width), static_cast<int>(height));
        return nullptr;
    }
    Platform::DisplayError err = Platform::DisplayError::Ok;
    Surface* s = Platform::CreateDisplaySurface(width, height, &err);
    if (!s) LogMsg("Error: DXCreateSurface-> %s\n", Platform::ErrorName(err));
    Stamp(s);
    return s;
}

void ReleaseSurface(Surface* surface) {
    if (surface == g_state.backBuffer) return; // owned by the display
    // A recorded blit may still read it.
    if (surface && !g_rec.pending.empty()) TouchBackBuffer();
    Platform::ReleaseDisplaySurface(surface);
}

bool Lock(Surface* surface, Locked& out) {
    if (!surface) return false;
    if (surface == g_state.backBuffer) TouchBackBuffer();
    if (SDL_LockSurface(surface) != 0) return false;
    Stamp(surface); // a lock is taken to write, or to read what the stamp already covers
    out.pixels = static_cast<uint8_t*>(surface->pixels);
    out.pitch = surface->pitch;
    out.pitch16 = surface->pitch / 2;
    return true;
}

void Unlock(Surface* surface) {
    if (surface) SDL_UnlockSurface(surface);
}

void SetColorKey(Surface* surface, uint32_t color) {
    if (!surface) return;
    Uint32 key = 0;
    if (SDL_GetColorKey(surface, &key) == 0 && key == color) return;
    SDL_SetColorKey(surface, SDL_TRUE, color);
    Stamp(surface);
}

void ClearColorKey(Surface* surface) {
    if (!surface || !SDL_HasColorKey(surface)) return;
    SDL_SetColorKey(surface, SDL_FALSE, 0);
    Stamp(surface);
}

bool Blit(Surface* destination, int32_t x, int32_t y, Surface* source, const Rect* sourceRect,
          bool useColorKey) {
    if (!destination || !source) return false;
    SDL_Rect src{0, 0, source->w, source->h};
    if (sourceRect) {
        if (sourceRect->right <= sourceRect->left || sourceRect->bottom <= sourceRect->top) return true;
        src = SDL_Rect{sourceRect->left, sourceRect->top, sourceRect->Width(), sourceRect->Height()};
    }
    if (source == g_state.backBuffer) TouchBackBuffer();
    if (RecordingBackBuffer(destination)) {
        uint64_t h = HashMix(0xB117, reinterpret_cast<uintptr_t>(source));
        h = HashMix(h, ContentStamp(source));
        h = HashMix(h, (uint64_t(uint32_t(src.x)) << 32) | uint32_t(src.y));
        h = HashMix(h, (uint64_t(uint32_t(src.w)) << 32) | uint32_t(src.h));
        h = HashMix(h, (uint64_t(uint32_t(x)) << 32) | uint32_t(y));
        h = HashMix(h, useColorKey ? 1 : 2);
        Note(h, SDL_Rect{x, y, src.w, src.h});
        Command c;
        c.source = source;
        c.rect = src;
        c.x = x;
        c.y = y;
        c.useColorKey = useColorKey;
        g_rec.pending.push_back(std::move(c));
        return true;
    }
    if (destination == g_state.backBuffer) TouchBackBuffer();
    Stamp(destination);
    return BlitKeyed(destination, x, y, source, src, useColorKey);
}

namespace {

bool BlitNow(Surface* destination, int32_t x, int32_t y, Surface* source, SDL_Rect src) {
    SDL_Rect dst{x, y, 0, 0};

    // SDL clips the source against its surface and the destination against its clip rectangle,
    // moving the source's left/top edge for negative positions: the rules of this operation.
    int rc;
    if (source == destination) {
        // Overlapping copy within one surface: go through a copy of the source.
        SDL_Surface* copy = SDL_DuplicateSurface(source);
        if (!copy) return false;
        SDL_SetSurfaceBlendMode(copy, SDL_BLENDMODE_NONE);
        rc = SDL_BlitSurface(copy, &src, destination, &dst);
        SDL_FreeSurface(copy);
    } else {
        rc = Platform::BlitSurface(source, &src, destination, &dst);
    }
    return rc == 0;
}

} // namespace

// ---- Frame recording ----------------------------------------------------------------------------

uint64_t HashMix(uint64_t seed, uint64_t value) {
    uint64_t z = seed ^ (value + 0x9E3779B97F4A7C15ull + (seed << 6) + (seed >> 2));
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint64_t HashBytes(uint64_t seed, const void* data, size_t size) {
    // FNV-1a over the bytes, then mixed in.
    uint64_t h = 0xCBF29CE484222325ull;
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i)
        h = (h ^ p[i]) * 0x100000001B3ull;
    return HashMix(seed, h);
}

uint64_t ContentStamp(const Surface* surface) {
    return surface ? static_cast<uint64_t>(reinterpret_cast<uintptr_t>(surface->userdata)) : 0;
}

void BeginFrame() {
    g_rec.pending.clear();
    g_rec.current.clear();
    g_rec.signature = 0x5EED;
    g_rec.touched = false;
    g_rec.active = g_state.initialised && g_state.backBuffer;
}

bool Recording() {
    return g_rec.active;
}

void DrawOrDefer(Surface* surface, uint64_t signature, std::function<void()> draw) {
    if (!draw) return;
    if (!RecordingBackBuffer(surface)) {
        draw();
        return;
    }
    // Where a text lands is not known before it is drawn: it may touch any of the picture.
    Note(HashMix(0xD1EC7, signature), SDL_Rect{0, 0, int(g_state.width), int(g_state.height)});
    Command c;
    c.draw = std::move(draw);
    g_rec.pending.push_back(std::move(c));
}

void FlushRecorded() {
    TouchBackBuffer();
}

bool EndFrame() {
    if (!g_rec.active) return true; // nothing recorded: whatever was drawn is new
    const bool changed = g_rec.touched || g_rec.invalid || g_rec.signature != g_rec.lastDrawn;
    if (changed) {
        // Only what differs from the picture before is drawn and shown anew, when that picture is
        // known.
        g_rec.changedAll = true;
        if (g_rec.lastKnown && !g_rec.touched && !g_rec.invalid)
            g_rec.changed = ChangedAreas(g_rec.last, g_rec.current, g_rec.changedAll);
        if (!g_rec.changedAll && OnlyBlitsPending())
            FlushPendingInside(g_rec.changed);
        else
            FlushPending();
        g_rec.sendAll = g_rec.changedAll;
        g_rec.lastDrawn = g_rec.signature;
        g_rec.last.swap(g_rec.current);
        g_rec.lastKnown = !g_rec.touched;
        g_rec.invalid = false;
    }
    g_rec.pending.clear();
    g_rec.active = false;
    g_rec.touched = false;
    return changed;
}

void InvalidateFrame() {
    g_rec.invalid = true;
    g_rec.lastKnown = false;
}

namespace {

// Commands alike at the start and at the end of both lists drew the same pixels in the same order;
// every pixel outside the areas of the commands between them is therefore unchanged.
std::vector<Platform::ViewRect> ChangedAreas(const std::vector<Drawn>& before,
                                             const std::vector<Drawn>& after, bool& all) {
    size_t head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head])
        ++head;
    size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    std::vector<Platform::ViewRect> out;
    int64_t covered = 0;
    SDL_Rect box{0, 0, 0, 0};
    auto add = [&](const SDL_Rect& r) {
        if (r.w <= 0 || r.h <= 0) return;
        out.push_back(Platform::ViewRect{r.x, r.y, r.w, r.h});
        covered += int64_t(r.w) * r.h;
        SDL_UnionRect(&box, &r, &box);
    };
    for (size_t i = head; i < before.size() - tail; ++i)
        add(before[i].area);
    for (size_t i = head; i < after.size() - tail; ++i)
        add(after[i].area);
    // Many pieces, or most of the picture: one rectangle round them is cheaper to send, and
    // when that is nearly all of it, all of it.
    const int64_t screen = int64_t(g_state.width) * g_state.height;
    if (out.size() > 16 || covered * 2 > screen) {
        if (int64_t(box.w) * box.h * 4 > screen * 3) {
            all = true;
            return {};
        }
        out.assign(1, Platform::ViewRect{box.x, box.y, box.w, box.h});
    }
    all = false;
    return out;
}

} // namespace

std::vector<Rect> LastChangedAreas() {
    std::vector<Rect> out;
    if (!g_rec.changedAll)
        for (const Platform::ViewRect& r : g_rec.changed)
            out.push_back(Rect{r.x, r.y, r.x + r.w, r.y + r.h});
    return out;
}

uint64_t PresentCount() {
    return g_rec.presents;
}

void ReportVideoMemory() {
    const uint64_t used = Platform::SurfaceBytesInUse();
    const uint64_t freeBytes = used < kNotionalVideoMemory ? kNotionalVideoMemory - used : 0;
    LogMsg("Vram Free:%d Used:%d\n\n", static_cast<int>(freeBytes),
           static_cast<int>(std::min<uint64_t>(used, INT32_MAX)));
}

bool Fullscreen() {
    return g_state.fullscreen;
}
uint32_t Width() {
    return g_state.width;
}
uint32_t Height() {
    return g_state.height;
}
uint32_t Depth() {
    return g_state.depth;
}
bool Is32Bit() {
    return g_state.is32;
}
bool Is15Bit() {
    return g_state.is15;
}

} // namespace Graphics
