#include "platform/Display.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <poll.h>
#include <sys/stat.h>
#include <vector>

#include "platform/Blit.h"
#include "platform/Clock.h"
#include "platform/WindowConnection.h"

namespace Platform {

namespace {

const char* const kErrorNames[] = {
    "E_HANDLE",
    "DDERR_GENERIC",
    "DDERR_UNSUPPORTED",
    "DDERR_OUTOFMEMORY",
    "DDERR_EXCEPTION",
    "DDERR_INVALIDPARAMS",
    "DIERR_NOTINITIALIZED",
    "DDERR_INCOMPATIBLEPRIMARY",
    "DDERR_INVALIDCAPS",
    "DDERR_INVALIDOBJECT",
    "DDERR_INVALIDPIXELFORMAT",
    "DDERR_NOALPHAHW",
    "DDERR_NOCOOPERATIVELEVELSET",
    "DDERR_NOEXCLUSIVEMODE",
    "DDERR_INVALIDRECT",
    "DDERR_NOFLIPHW",
    "DDERR_OUTOFVIDEOMEMORY",
    "DDERR_NOZBUFFERHW",
    "DDERR_NOOVERLAYHW",
    "DDERR_SURFACEBUSY",
    "DDERR_INVALIDDIRECTDRAWGUID",
    "DDERR_WASSTILLDRAWING",
    "DDERR_SURFACELOST",
    "DDERR_DIRECTDRAWALREADYCREATED",
    "DDERR_NODIRECTDRAWHW",
    "DDERR_NOEMULATION",
    "DDERR_NOMIPMAPHW",
    "DDERR_PRIMARYSURFACEALREADYEXISTS",
    "DDERR_UNSUPPORTEDMODE",
    "DDERR_NOBLTHW",
};
static_assert(sizeof(kErrorNames) / sizeof(kErrorNames[0]) == static_cast<size_t>(DisplayError::Count) - 1);

constexpr int32_t kWindowW = 800;
constexpr int32_t kWindowH = 600;
// What a window manager typically adds around the client area (borders, caption).
constexpr int32_t kFrameW = 16;
constexpr int32_t kFrameH = 64;

SDL_Window* g_window = nullptr;
bool g_windowFullscreen = false;

struct DisplayState {
    bool open = false;
    SDL_Window* window = nullptr;
    PresentPath path = PresentPath::None;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    // Window-surface path: the last frame in the window surface's format at the layout's size (so
    // a resized or exposed window is drawn again without a new frame), and the surface it was
    // last drawn into. When the back buffer's bytes already read as the window's pixels, staging
    // is a view of the back buffer's memory instead of a copy (`stagingIsView`).
    SDL_Surface* staging = nullptr;
    bool stagingIsView = false;
    Uint32 windowFormat = 0;
    SDL_Surface* shown = nullptr;
    int32_t shownW = 0, shownH = 0;
    uint32_t width = 0, height = 0;
    bool fullscreen = false;
    DisplayFormat format;
    bool vsyncOn = false;    // what the renderer currently does
    bool vsyncWorks = false; // the driver accepted vsync at least once
    bool presented = false;  // the texture (or the staging surface) holds a frame
    char pathDetail[32] = {};
    SDL_ScaleMode scaleMode = SDL_ScaleModeLinear;
    RefreshPacer pacer;
    int32_t refreshHz = 60;
    int x11Fd = -1; // the X server connection an idle wait blocks on; -1 without one
};
DisplayState g_display;
std::atomic<uint64_t> g_surfaceBytes{0};

bool EnsureVideo() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

void FillFormat(DisplayFormat& f, uint32_t depth) {
    f.depth = depth == 16 ? 16 : 32;
    f.sdlFormat = f.depth == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_ARGB8888;
    int bpp = 0;
    uint32_t a = 0;
    SDL_PixelFormatEnumToMasks(f.sdlFormat, &bpp, &f.redMask, &f.greenMask, &f.blueMask, &a);
}

// Sleeps until the next refresh is due, and counts it served.
void PaceToRefresh() {
    RefreshPacer& pacer = g_display.pacer;
    SleepUs(pacer.WaitUs(SteadyUs()));
    pacer.Served(SteadyUs());
}

// True when the machine shows no sign of a GPU the OpenGL stack could use: no DRM device, or
// Mesa told to rasterise in software. Loading that stack only to draw with llvmpipe costs far more
// start-up time and memory than copying the frame into the window ourselves.
bool NoGpuDevice() {
    const char* software = SDL_getenv("LIBGL_ALWAYS_SOFTWARE");
    if (software && *software && SDL_strcmp(software, "0") != 0) return true;
    struct stat st {};
    return ::stat("/dev/dri", &st) != 0;
}

// The renderer's OpenGL implementation is Mesa's (or another) software rasteriser.
bool SoftwareOpenGl(SDL_Renderer* renderer) {
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer, &info) != 0 || !info.name) return false;
    if (SDL_strncmp(info.name, "opengl", 6) != 0) return false;
    using GetString = const unsigned char* (*)(unsigned int);
    auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    if (!getString) return false;
    const auto* name = reinterpret_cast<const char*>(getString(0x1F01)); // GL_RENDERER
    if (!name) return false;
    for (const char* soft : {"llvmpipe", "softpipe", "Software Rasterizer", "SWR"})
        if (std::strstr(name, soft)) return true;
    return false;
}

bool OpenRenderer(DisplayState& d, Uint32 flags) {
    d.renderer = SDL_CreateRenderer(d.window, -1, flags);
    if (!d.renderer) return false;
    d.texture = SDL_CreateTexture(d.renderer, d.format.sdlFormat, SDL_TEXTUREACCESS_STREAMING,
                                  static_cast<int>(d.width), static_cast<int>(d.height));
    if (!d.texture) {
        SDL_DestroyRenderer(d.renderer);
        d.renderer = nullptr;
        return false;
    }
    // The back buffer's alpha bytes are coverage left over from composition, not transparency.
    SDL_SetTextureBlendMode(d.texture, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(d.texture, d.scaleMode);
    d.vsyncOn = false;
    d.vsyncWorks = SDL_RenderSetVSync(d.renderer, 0) == 0;
    d.path = PresentPath::Renderer;
    return true;
}

void CloseRenderer(DisplayState& d) {
    if (d.texture) SDL_DestroyTexture(d.texture);
    if (d.renderer) SDL_DestroyRenderer(d.renderer);
    d.texture = nullptr;
    d.renderer = nullptr;
}

// The window's own surface, filled by the CPU and sent to the window system (MIT-SHM on X11).
bool OpenWindowSurface(DisplayState& d) {
    // Without this SDL would put its own OpenGL texture behind the window surface.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_Surface* surface = SDL_GetWindowSurface(d.window);
    if (!surface) return false;
    d.windowFormat = surface->format->format; // staging is made at the first present
    d.path = PresentPath::WindowSurface;
    return true;
}

} // namespace

const char* PresentPathName(PresentPath path) {
    switch (path) {
    case PresentPath::None:
        return "none";
    case PresentPath::Renderer:
        return "renderer";
    case PresentPath::WindowSurface:
        return "window surface";
    }
    return "none";
}

const char* ErrorName(int32_t code) {
    if (code >= 1 && code < static_cast<int32_t>(DisplayError::Count)) return kErrorNames[code - 1];
    return "Not defined error";
}

// ---- Main window ---------------------------------------------------------------------------------

void PreferSessionVideoDriver() {
    const char* forced = SDL_getenv("SDL_VIDEODRIVER");
    if (forced && *forced) return;
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    const char* session = SDL_getenv("XDG_SESSION_TYPE");
    if ((wayland && *wayland) || (session && SDL_strcmp(session, "wayland") == 0))
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "wayland,x11");
}

int32_t ChooseWindowScale(int32_t usableW, int32_t usableH, int32_t layoutW, int32_t layoutH) {
    if (layoutW <= 0 || layoutH <= 0) return 1;
    // Room for the window manager's frame and caption, which the usable area does not subtract.
    const int32_t roomW = usableW - kFrameW, roomH = usableH - kFrameH;
    const int32_t scale = std::min(roomW / layoutW, roomH / layoutH);
    return std::max(scale, 1);
}

WindowPlacement FitPlacement(const WindowPlacement& remembered, int32_t usableW, int32_t usableH) {
    WindowPlacement p = remembered;
    const bool fits =
        p.width >= kMinWindowW && p.height >= kMinWindowH && p.width <= usableW && p.height <= usableH;
    if (!fits) p.width = p.height = 0;
    return p;
}

SDL_Window* CreateMainWindow(bool fullscreen, const WindowPlacement& remembered) {
    if (g_window) return g_window;
    if (!EnsureVideo()) return nullptr;
    // A windowed game is one window among others: compositing stays on (shadows, previews, no
    // tearing); full screen may have the compositor step aside.
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, fullscreen ? "1" : "0");
    Uint32 flags = SDL_WINDOW_SHOWN | SDL_WINDOW_ALLOW_HIGHDPI;
    int w = kWindowW, h = kWindowH;
    bool maximise = false;
    if (fullscreen) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
    } else {
        flags |= SDL_WINDOW_RESIZABLE;
        SDL_Rect usable{0, 0, kWindowW, kWindowH};
        if (SDL_GetDisplayUsableBounds(0, &usable) != 0) SDL_GetDisplayBounds(0, &usable);
        const WindowPlacement fit = FitPlacement(remembered, usable.w, usable.h);
        if (fit.width > 0) {
            w = fit.width;
            h = fit.height;
        } else {
            const int32_t scale = ChooseWindowScale(usable.w, usable.h, kWindowW, kWindowH);
            w = kWindowW * scale;
            h = kWindowH * scale;
        }
        maximise = remembered.maximised;
    }
    g_window = SDL_CreateWindow("Parlorix", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, w, h, flags);
    if (g_window && !fullscreen) {
        SDL_SetWindowMinimumSize(g_window, kMinWindowW, kMinWindowH);
        if (maximise) SDL_MaximizeWindow(g_window);
    }
    g_windowFullscreen = fullscreen && g_window;
    return g_window;
}

void DestroyMainWindow() {
    if (g_display.open && g_display.window == g_window) CloseDisplay();
    if (g_window) SDL_DestroyWindow(g_window);
    g_window = nullptr;
    g_windowFullscreen = false;
}

SDL_Window* MainWindow() {
    return g_window;
}
bool MainWindowFullscreen() {
    return g_windowFullscreen;
}
uint32_t MainWindowId() {
    return g_window ? SDL_GetWindowID(g_window) : 0;
}

bool CurrentPlacement(WindowPlacement& out) {
    if (!g_window || g_windowFullscreen) return false;
    const Uint32 flags = SDL_GetWindowFlags(g_window);
    out.maximised = (flags & SDL_WINDOW_MAXIMIZED) != 0;
    // A maximised window keeps the size it had before, so un-maximising next time feels right.
    if (!out.maximised) SDL_GetWindowSize(g_window, &out.width, &out.height);
    return true;
}

bool SetMainWindowIcon(const uint8_t* rgba, uint32_t width, uint32_t height) {
    if (!g_window || !rgba || width == 0 || height == 0 || width > 1024 || height > 1024) return false;
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint8_t*>(rgba), static_cast<int>(width), static_cast<int>(height), 32,
        static_cast<int>(width * 4), SDL_PIXELFORMAT_RGBA32);
    if (!icon) return false;
    SDL_SetWindowIcon(g_window, icon);
    SDL_FreeSurface(icon);
    return true;
}

// ---- Display -------------------------------------------------------------------------------------

DisplayError OpenDisplay(SDL_Window* window, uint32_t width, uint32_t height, uint32_t depth,
                         bool fullscreen) {
    CloseDisplay();
    if (width == 0 || height == 0 || width > 16384 || height > 16384)
        return DisplayError::DDERR_INVALIDPARAMS;
    if (window && !EnsureVideo()) return DisplayError::DDERR_NODIRECTDRAWHW;
    DisplayState& d = g_display;
    d.window = window;
    d.x11Fd = X11ConnectionFd(window);
    d.width = width;
    d.height = height;
    d.fullscreen = fullscreen;
    FillFormat(d.format, depth);
    int32_t dw = 0, dh = 0;
    DesktopMode(dw, dh, d.refreshHz);
    if (window) {
        // An explicit SDL_RENDER_DRIVER is the player's choice; without a GPU the window surface is
        // the cheapest path; else the accelerated renderer unless it turns out to be a software
        // OpenGL; SDL's software renderer last.
        const char* forced = SDL_getenv("SDL_RENDER_DRIVER");
        const bool rendererAsked = forced && *forced;
        bool ready = !rendererAsked && NoGpuDevice() && OpenWindowSurface(d);
        if (!ready && OpenRenderer(d, SDL_RENDERER_ACCELERATED)) {
            ready = true;
            if (!rendererAsked && SoftwareOpenGl(d.renderer)) {
                CloseRenderer(d);
                ready = OpenWindowSurface(d) || OpenRenderer(d, SDL_RENDERER_ACCELERATED);
            }
        }
        if (!ready) ready = OpenRenderer(d, SDL_RENDERER_SOFTWARE);
        if (!ready) {
            CloseDisplay();
            return DisplayError::DDERR_INCOMPATIBLEPRIMARY;
        }
        if (d.renderer) {
            SDL_RendererInfo info{};
            if (SDL_GetRendererInfo(d.renderer, &info) == 0 && info.name)
                SDL_strlcpy(d.pathDetail, info.name, sizeof d.pathDetail);
        }
    }
    d.pacer.SetRate(d.refreshHz);
    d.pacer.Restart(SteadyUs());
    d.open = true;
    return DisplayError::Ok;
}

void CloseDisplay() {
    DisplayState& d = g_display;
    CloseRenderer(d);
    if (d.staging) SDL_FreeSurface(d.staging);
    d = DisplayState{};
}

PresentPath CurrentPresentPath() {
    return g_display.path;
}

const char* PresentPathDetail() {
    return g_display.pathDetail;
}

bool DisplayOpen() {
    return g_display.open;
}
const DisplayFormat& CurrentFormat() {
    return g_display.format;
}
uint32_t DisplayWidth() {
    return g_display.width;
}
uint32_t DisplayHeight() {
    return g_display.height;
}

void DesktopMode(int32_t& width, int32_t& height, int32_t& refreshHz) {
    width = kWindowW;
    height = kWindowH;
    refreshHz = 0;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    int index = g_window ? SDL_GetWindowDisplayIndex(g_window) : 0;
    if (index < 0) index = 0;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(index, &mode) == 0) {
        width = mode.w;
        height = mode.h;
        refreshHz = mode.refresh_rate;
    }
}

SDL_Surface* CreateDisplaySurface(uint32_t width, uint32_t height, DisplayError* error) {
    if (error) *error = DisplayError::Ok;
    if (width == 0 || height == 0 || width > 16384 || height > 16384) {
        if (error) *error = DisplayError::DDERR_INVALIDPARAMS;
        return nullptr;
    }
    const DisplayFormat& f = g_display.open ? g_display.format : DisplayFormat{};
    uint32_t fmt = f.sdlFormat;
    int depth = static_cast<int>(f.depth);
    if (fmt == 0) {
        fmt = SDL_PIXELFORMAT_ARGB8888;
        depth = 32;
    }
    SDL_Surface* s =
        SDL_CreateRGBSurfaceWithFormat(0, static_cast<int>(width), static_cast<int>(height), depth, fmt);
    if (!s) {
        if (error) *error = DisplayError::DDERR_OUTOFMEMORY;
        return nullptr;
    }
    // Blits copy pixels (with the source key when one is set); they never blend.
    SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_NONE);
    g_surfaceBytes += static_cast<uint64_t>(s->pitch) * s->h;
    return s;
}

void ReleaseDisplaySurface(SDL_Surface* surface) {
    if (!surface) return;
    DisplayState& d = g_display;
    if (d.stagingIsView && d.staging && d.staging->pixels == surface->pixels) {
        // The picture kept for a repaint goes with the memory it was a view of.
        SDL_FreeSurface(d.staging);
        d.staging = nullptr;
        d.stagingIsView = false;
        d.presented = false;
    }
    g_surfaceBytes -= static_cast<uint64_t>(surface->pitch) * surface->h;
    SDL_FreeSurface(surface);
}

uint64_t SurfaceBytesInUse() {
    return g_surfaceBytes;
}

namespace {

// The drawable's size in pixels (larger than the window's points on high-DPI outputs).
void OutputSize(const DisplayState& d, int& w, int& h) {
    w = h = 0;
    if (d.renderer) SDL_GetRendererOutputSize(d.renderer, &w, &h);
    if (d.path == PresentPath::WindowSurface && d.shown) {
        w = d.shownW;
        h = d.shownH;
    }
    if ((w <= 0 || h <= 0) && d.window) SDL_GetWindowSizeInPixels(d.window, &w, &h);
}

int32_t LayoutW() {
    return g_display.open ? static_cast<int32_t>(g_display.width) : kWindowW;
}
int32_t LayoutH() {
    return g_display.open ? static_cast<int32_t>(g_display.height) : kWindowH;
}

// Draws the texture into the letterbox of the current drawable and shows it.
DisplayError ShowTexture(DisplayState& d, bool pace) {
    int ow = 0, oh = 0;
    OutputSize(d, ow, oh);
    const ViewRect v = ComputeLetterbox(ow, oh, LayoutW(), LayoutH());
    const SDL_ScaleMode mode =
        IsWholeScale(v, LayoutW(), LayoutH()) ? SDL_ScaleModeNearest : SDL_ScaleModeLinear;
    if (mode != d.scaleMode && SDL_SetTextureScaleMode(d.texture, mode) == 0) d.scaleMode = mode;
    SDL_SetRenderDrawColor(d.renderer, 0, 0, 0, 255);
    SDL_RenderClear(d.renderer);
    const SDL_Rect dst{v.x, v.y, v.w, v.h};
    if (SDL_RenderCopy(d.renderer, d.texture, nullptr, &dst) != 0) return DisplayError::DDERR_GENERIC;
    if (pace) PaceToRefresh();
    SDL_RenderPresent(d.renderer);
    return DisplayError::Ok;
}

} // namespace

namespace {

// The layout rectangles `rects` of the staging surface into the window surface, scaled into the
// letterbox: whole scales pixel for pixel (only the changed rectangles), other scales smoothly
// (the whole picture: a smooth scale of a part would not match its neighbours). `all` draws the
// whole picture and the bars. Returns the window rectangles to send, or false on failure.
bool DrawIntoWindowSurface(DisplayState& d, const ViewRect* rects, size_t count, bool all,
                           std::vector<SDL_Rect>& sent) {
    SDL_Surface* target = SDL_GetWindowSurface(d.window);
    if (!target) return false;
    if (target != d.shown || target->w != d.shownW || target->h != d.shownH) {
        // A new surface (the window was resized): bars and picture are drawn afresh.
        d.shown = target;
        d.shownW = target->w;
        d.shownH = target->h;
        all = true;
    }
    const ViewRect v = ComputeLetterbox(target->w, target->h, LayoutW(), LayoutH());
    if (v.w <= 0 || v.h <= 0) return true;
    sent.clear();
    if (all) {
        SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
        sent.push_back(SDL_Rect{0, 0, target->w, target->h});
    }
    SDL_Rect dst{v.x, v.y, v.w, v.h};
    if (!IsWholeScale(v, LayoutW(), LayoutH())) {
        if (SDL_SoftStretchLinear(d.staging, nullptr, target, &dst) != 0) return false;
        if (!all) sent.push_back(dst);
        return true;
    }
    const int32_t scale = v.w / LayoutW();
    const ViewRect whole{0, 0, LayoutW(), LayoutH()};
    if (all) {
        rects = &whole;
        count = 1;
    }
    for (size_t i = 0; i < count; ++i) {
        SDL_Rect src{rects[i].x, rects[i].y, rects[i].w, rects[i].h};
        SDL_Rect out{v.x + src.x * scale, v.y + src.y * scale, src.w * scale, src.h * scale};
        const int rc = scale == 1 ? BlitSurface(d.staging, &src, target, &out)
                                  : SDL_BlitScaled(d.staging, &src, target, &out);
        if (rc != 0) return false;
        if (!all) sent.push_back(out);
    }
    return true;
}

// Sends the window surface (or the given rectangles of it) to the window.
DisplayError ShowWindowSurface(DisplayState& d, const ViewRect* rects, size_t count, bool all) {
    static std::vector<SDL_Rect> sent;
    if (!DrawIntoWindowSurface(d, rects, count, all, sent)) return DisplayError::DDERR_SURFACELOST;
    if (sent.empty()) return DisplayError::Ok;
    if (SDL_UpdateWindowSurfaceRects(d.window, sent.data(), static_cast<int>(sent.size())) != 0)
        return DisplayError::DDERR_SURFACELOST;
    return DisplayError::Ok;
}

// Whether 32-bit pixels of `from` read as the same colours in `to`: red, green and blue in the
// same bytes (a fourth byte is alpha in one and unused in the other, which the window ignores).
bool SameColourBytes(const SDL_PixelFormat* from, Uint32 to) {
    int bpp = 0;
    Uint32 r = 0, g = 0, b = 0, a = 0;
    if (!SDL_PixelFormatEnumToMasks(to, &bpp, &r, &g, &b, &a)) return false;
    return from->BytesPerPixel == 4 && bpp == 32 && from->Rmask == r && from->Gmask == g && from->Bmask == b;
}

// Makes the staging surface ready to take `backBuffer`: a view of its memory in the window's
// format when the bytes can be shown as they are (no copy, no conversion), else the owned
// surface the frame is converted into.
bool StageBackBuffer(DisplayState& d, SDL_Surface* backBuffer) {
    const bool viewable = backBuffer->w == static_cast<int>(d.width) &&
                          backBuffer->h == static_cast<int>(d.height) &&
                          SameColourBytes(backBuffer->format, d.windowFormat);
    if (viewable && d.stagingIsView && d.staging->pixels == backBuffer->pixels &&
        d.staging->pitch == backBuffer->pitch)
        return true;
    SDL_Surface* next = nullptr;
    if (viewable)
        next = SDL_CreateRGBSurfaceWithFormatFrom(backBuffer->pixels, backBuffer->w, backBuffer->h, 32,
                                                  backBuffer->pitch, d.windowFormat);
    else if (d.stagingIsView || !d.staging)
        next = SDL_CreateRGBSurfaceWithFormat(0, static_cast<int>(d.width), static_cast<int>(d.height), 32,
                                              d.windowFormat);
    else
        return true;
    if (!next) return false;
    SDL_SetSurfaceBlendMode(next, SDL_BLENDMODE_NONE);
    if (d.staging) SDL_FreeSurface(d.staging);
    d.staging = next;
    d.stagingIsView = viewable;
    if (!viewable) d.presented = false; // a new copy holds nothing yet: the next frame goes whole
    return true;
}

// Whole-layout rectangles, clipped; an empty list means the whole picture.
std::vector<ViewRect> ClipToLayout(const ViewRect* rects, size_t count) {
    std::vector<ViewRect> out;
    for (size_t i = 0; rects && i < count; ++i) {
        const int32_t x0 = std::max(rects[i].x, 0), y0 = std::max(rects[i].y, 0);
        const int32_t x1 = std::min(rects[i].x + rects[i].w, LayoutW());
        const int32_t y1 = std::min(rects[i].y + rects[i].h, LayoutH());
        if (x1 > x0 && y1 > y0) out.push_back(ViewRect{x0, y0, x1 - x0, y1 - y0});
    }
    return out;
}

} // namespace

DisplayError Present(SDL_Surface* backBuffer, bool waitRetrace, const ViewRect* changed, size_t count) {
    DisplayState& d = g_display;
    if (!d.open || !backBuffer) return DisplayError::DDERR_NOCOOPERATIVELEVELSET;
    if (d.path == PresentPath::WindowSurface && !StageBackBuffer(d, backBuffer))
        return DisplayError::DDERR_SURFACELOST;
    // Nothing shown yet: the first picture goes out whole whatever changed.
    const bool whole = !changed || !d.presented;
    const std::vector<ViewRect> parts = whole ? std::vector<ViewRect>{} : ClipToLayout(changed, count);
    if (!whole && parts.empty()) return DisplayError::Ok;
    if (d.path == PresentPath::WindowSurface) {
        const ViewRect all{0, 0, LayoutW(), LayoutH()};
        const ViewRect* list = whole ? &all : parts.data();
        const size_t n = whole ? 1 : parts.size();
        for (size_t i = 0; !d.stagingIsView && i < n; ++i) {
            SDL_Rect src{list[i].x, list[i].y, list[i].w, list[i].h};
            SDL_Rect dst = src;
            if (BlitSurface(backBuffer, &src, d.staging, &dst) != 0) return DisplayError::DDERR_SURFACELOST;
        }
        if (waitRetrace) PaceToRefresh();
        const DisplayError err = ShowWindowSurface(d, list, n, !d.presented);
        d.presented = true;
        if (!waitRetrace) d.pacer.Restart(SteadyUs());
        return err;
    }
    if (!d.renderer) {
        // No window: nothing to show, but keep the pace the caller asked for.
        if (waitRetrace)
            PaceToRefresh();
        else
            d.pacer.Restart(SteadyUs());
        return DisplayError::Ok;
    }
    if (waitRetrace != d.vsyncOn && d.vsyncWorks) {
        if (SDL_RenderSetVSync(d.renderer, waitRetrace ? 1 : 0) == 0)
            d.vsyncOn = waitRetrace;
        else
            d.vsyncWorks = false;
    }
    if (whole) {
        if (SDL_UpdateTexture(d.texture, nullptr, backBuffer->pixels, backBuffer->pitch) != 0)
            return DisplayError::DDERR_SURFACELOST;
    } else {
        const int bpp = backBuffer->format->BytesPerPixel;
        for (const ViewRect& r : parts) {
            const SDL_Rect rect{r.x, r.y, r.w, r.h};
            const auto* pixels = static_cast<const uint8_t*>(backBuffer->pixels) +
                                 static_cast<ptrdiff_t>(r.y) * backBuffer->pitch + r.x * bpp;
            if (SDL_UpdateTexture(d.texture, &rect, pixels, backBuffer->pitch) != 0)
                return DisplayError::DDERR_SURFACELOST;
        }
    }
    d.presented = true;
    const bool paced = waitRetrace && !d.vsyncOn;
    const DisplayError err = ShowTexture(d, paced);
    if (!paced) d.pacer.Restart(SteadyUs()); // shown when the driver chose (its vsync) or at once
    return err;
}

bool Repaint() {
    DisplayState& d = g_display;
    if (!d.open || !d.presented) return false;
    if (d.path == PresentPath::WindowSurface)
        return ShowWindowSurface(d, nullptr, 0, true) == DisplayError::Ok;
    if (!d.renderer) return false;
    return ShowTexture(d, false) == DisplayError::Ok;
}

bool WaitForNextRefresh() {
    DisplayState& d = g_display;
    const int64_t wait = d.pacer.WaitUs(SteadyUs());
    bool pumped = false;
    if (wait > 0) {
        // The window's event queue wakes the wait; without a window there is nothing to wake it.
        // SDL can only block on the queue where the video driver waits on its connection and no
        // joystick needs polling; otherwise it would poll every millisecond, so a plain sleep
        // costs less and input waits at most one refresh.
        const char* driver = SDL_GetCurrentVideoDriver();
        const bool canBlock = d.window && driver && SDL_strcmp(driver, "dummy") != 0 &&
                              SDL_strcmp(driver, "offscreen") != 0 && SDL_NumJoysticks() <= 0;
        if (canBlock && d.x11Fd >= 0) {
            // The last pump emptied Xlib's queue, so the socket alone tells of new events. SDL's
            // own wait would read the connection twice more on every idle pass.
            pollfd connection{d.x11Fd, POLLIN, 0};
            const timespec limit{static_cast<time_t>(wait / 1000000),
                                 static_cast<long>(wait % 1000000) * 1000};
            ::ppoll(&connection, 1, &limit, nullptr);
            SDL_PumpEvents();
            pumped = true;
        } else if (canBlock) {
            SDL_WaitEventTimeout(nullptr, static_cast<int>((wait + 999) / 1000)); // pumps as it returns
            pumped = true;
        } else {
            SleepUs(wait);
        }
    }
    // Woken early by an event, the refresh is still to come at the same moment.
    if (const int64_t now = SteadyUs(); d.pacer.WaitUs(now) == 0) d.pacer.Served(now);
    return pumped;
}

ViewRect ComputeLetterbox(int32_t windowW, int32_t windowH, int32_t layoutW, int32_t layoutH) {
    ViewRect r;
    if (windowW <= 0 || windowH <= 0 || layoutW <= 0 || layoutH <= 0) return r;
    // Largest size with the layout's aspect that fits; integer cross-multiplication avoids drift.
    if (static_cast<int64_t>(windowW) * layoutH <= static_cast<int64_t>(windowH) * layoutW) {
        r.w = windowW;
        r.h = static_cast<int32_t>(static_cast<int64_t>(windowW) * layoutH / layoutW);
    } else {
        r.h = windowH;
        r.w = static_cast<int32_t>(static_cast<int64_t>(windowH) * layoutW / layoutH);
    }
    r.x = (windowW - r.w) / 2;
    r.y = (windowH - r.h) / 2;
    return r;
}

bool IsWholeScale(const ViewRect& view, int32_t layoutW, int32_t layoutH) {
    if (layoutW <= 0 || layoutH <= 0 || view.w <= 0) return false;
    return view.w % layoutW == 0 && view.h == view.w / layoutW * layoutH;
}

void MapWindowToLayout(int32_t wx, int32_t wy, int32_t windowW, int32_t windowH, int32_t outputW,
                       int32_t outputH, int32_t layoutW, int32_t layoutH, int32_t& lx, int32_t& ly) {
    if (windowW <= 0 || windowH <= 0 || outputW <= 0 || outputH <= 0) {
        lx = wx;
        ly = wy;
        return;
    }
    const ViewRect v = ComputeLetterbox(outputW, outputH, layoutW, layoutH);
    if (v.w <= 0 || v.h <= 0) {
        lx = wx;
        ly = wy;
        return;
    }
    // The point's centre in drawable pixels, then into the layout; all in integers, twice the
    // resolution so the half pixel stays exact. Floor division keeps the bars on their side.
    auto map = [](int64_t p, int64_t points, int64_t pixels, int64_t origin, int64_t span, int64_t layout) {
        const int64_t num = ((2 * p + 1) * pixels - 2 * origin * points) * layout;
        const int64_t den = 2 * points * span;
        return static_cast<int32_t>(num >= 0 ? num / den : -((-num + den - 1) / den));
    };
    lx = map(wx, windowW, outputW, v.x, v.w, layoutW);
    ly = map(wy, windowH, outputH, v.y, v.h, layoutH);
}

ViewRect LayoutViewport() {
    const DisplayState& d = g_display;
    SDL_Window* w = d.window ? d.window : g_window;
    if (!w) return ViewRect{0, 0, LayoutW(), LayoutH()};
    int ww = 0, wh = 0;
    SDL_GetWindowSize(w, &ww, &wh);
    return ComputeLetterbox(ww, wh, LayoutW(), LayoutH());
}

void WindowToLayout(int32_t wx, int32_t wy, int32_t& lx, int32_t& ly) {
    const DisplayState& d = g_display;
    SDL_Window* w = d.window ? d.window : g_window;
    if (!w) {
        lx = wx;
        ly = wy;
        return;
    }
    int ww = 0, wh = 0, ow = 0, oh = 0;
    SDL_GetWindowSize(w, &ww, &wh);
    OutputSize(d, ow, oh);
    if (ow <= 0 || oh <= 0) SDL_GetWindowSizeInPixels(w, &ow, &oh);
    MapWindowToLayout(wx, wy, ww, wh, ow, oh, LayoutW(), LayoutH(), lx, ly);
}

void ClientRectOnScreen(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) {
    left = top = right = bottom = 0;
    SDL_Window* w = g_display.window ? g_display.window : g_window;
    if (!w) return;
    int x = 0, y = 0, ww = 0, wh = 0;
    SDL_GetWindowPosition(w, &x, &y);
    SDL_GetWindowSize(w, &ww, &wh);
    left = x;
    top = y;
    right = x + ww;
    bottom = y + wh;
}

} // namespace Platform
