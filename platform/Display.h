#pragma once
#include <cstddef>
#include <cstdint>

struct SDL_Window;
struct SDL_Surface;

// SDL2 window and display layer under the Graphics module: one top-level window, a back buffer
// of the layout's size (800 x 600) presented into it, and plain off-screen surfaces in the
// display's pixel format. Failures come back as DisplayError codes; Graphics logs their names.
namespace Platform {

// Failure codes of the display layer. Their names are the ones the log shows (ErrorName).
enum class DisplayError : int32_t {
    Ok = 0,
    E_HANDLE,
    DDERR_GENERIC,
    DDERR_UNSUPPORTED,
    DDERR_OUTOFMEMORY,
    DDERR_EXCEPTION,
    DDERR_INVALIDPARAMS,
    DIERR_NOTINITIALIZED,
    DDERR_INCOMPATIBLEPRIMARY,
    DDERR_INVALIDCAPS,
    DDERR_INVALIDOBJECT,
    DDERR_INVALIDPIXELFORMAT,
    DDERR_NOALPHAHW,
    DDERR_NOCOOPERATIVELEVELSET,
    DDERR_NOEXCLUSIVEMODE,
    DDERR_INVALIDRECT,
    DDERR_NOFLIPHW,
    DDERR_OUTOFVIDEOMEMORY,
    DDERR_NOZBUFFERHW,
    DDERR_NOOVERLAYHW,
    DDERR_SURFACEBUSY,
    DDERR_INVALIDDIRECTDRAWGUID,
    DDERR_WASSTILLDRAWING,
    DDERR_SURFACELOST,
    DDERR_DIRECTDRAWALREADYCREATED,
    DDERR_NODIRECTDRAWHW,
    DDERR_NOEMULATION,
    DDERR_NOMIPMAPHW,
    DDERR_PRIMARYSURFACEALREADYEXISTS,
    DDERR_UNSUPPORTEDMODE,
    DDERR_NOBLTHW,
    Count
};

// "DDERR_GENERIC" and so on; "Not defined error" for any other code.
const char* ErrorName(int32_t code);
inline const char* ErrorName(DisplayError e) {
    return ErrorName(static_cast<int32_t>(e));
}

// ---- Main window -------------------------------------------------------------------------------
// Title "Parlorix". Windowed: resizable, with a caption; it opens at the remembered size or else at
// the largest whole-number multiple of the layout that fits the usable desktop area. Fullscreen:
// a borderless window covering the desktop at its own resolution (the monitor mode never changes).
// High-DPI aware: the drawable may have more pixels than the window has points.
// Initialises SDL's video subsystem on first use. Returns nullptr (with SDL_GetError set) on failure.
struct WindowPlacement {
    int32_t width = 0, height = 0; // window points; 0 = choose from the desktop
    bool maximised = false;
};
SDL_Window* CreateMainWindow(bool fullscreen, const WindowPlacement& remembered = {});
void DestroyMainWindow();
SDL_Window* MainWindow();
bool MainWindowFullscreen();
// SDL's id of the main window (0 when there is none): events of other (destroyed) windows are
// not the game's.
uint32_t MainWindowId();
// The windowed window's size and state, to be remembered; false in fullscreen or without a window.
[[nodiscard]] bool CurrentPlacement(WindowPlacement& out);
// 8-bit red, green, blue, alpha in memory order, `width` x `height`, rows packed.
[[nodiscard]] bool SetMainWindowIcon(const uint8_t* rgba, uint32_t width, uint32_t height);

// The largest whole-number scale (at least 1) at which a window showing the layout, plus its
// frame, fits the usable desktop area.
int32_t ChooseWindowScale(int32_t usableW, int32_t usableH, int32_t layoutW, int32_t layoutH);
// A remembered windowed size is taken when it still fits the usable area and is at least the
// smallest window the game allows; otherwise 0 x 0 (choose).
WindowPlacement FitPlacement(const WindowPlacement& remembered, int32_t usableW, int32_t usableH);
// Smallest windowed size the player can resize to (half the layout).
constexpr int32_t kMinWindowW = 400;
constexpr int32_t kMinWindowH = 300;

// Before SDL's video starts: in a Wayland session SDL's own preference (x11 first) is turned round,
// so a Wayland desktop gets native output; an explicit SDL_VIDEODRIVER still wins.
void PreferSessionVideoDriver();

// ---- Display -----------------------------------------------------------------------------------
struct DisplayFormat {
    uint32_t depth = 0;     // 32 or 16
    uint32_t sdlFormat = 0; // SDL_PIXELFORMAT_ARGB8888 or SDL_PIXELFORMAT_RGB565
    uint32_t redMask = 0, greenMask = 0, blueMask = 0;
};

// Opens the presentation path for `window` (may be nullptr: a display without a window, used by
// tests and tools; Present then only paces). depth 16 gives a 5-6-5 display, anything else 32 bits.
DisplayError OpenDisplay(SDL_Window* window, uint32_t width, uint32_t height, uint32_t depth,
                         bool fullscreen);
void CloseDisplay();
bool DisplayOpen();
const DisplayFormat& CurrentFormat();
uint32_t DisplayWidth();
uint32_t DisplayHeight();
// The desktop's size and refresh rate (0 when unknown).
void DesktopMode(int32_t& width, int32_t& height, int32_t& refreshHz);

// Plain surface in the display's format (no blending, no RLE). nullptr + error code on failure.
SDL_Surface* CreateDisplaySurface(uint32_t width, uint32_t height, DisplayError* error);
void ReleaseDisplaySurface(SDL_Surface* surface);
// Bytes held by the surfaces created through CreateDisplaySurface and not yet released.
uint64_t SurfaceBytesInUse();

// How frames reach the window: SDL's renderer (a GPU driver, or SDL's software renderer), or the
// window's own surface filled by the CPU where the only OpenGL is a software one.
enum class PresentPath { None, Renderer, WindowSurface };
PresentPath CurrentPresentPath();
const char* PresentPathName(PresentPath path);
// The renderer's name ("opengl", "software", ...); empty on the other paths.
const char* PresentPathDetail();

// Where the layout appears inside the window, in window co-ordinates (letterbox rectangle).
struct ViewRect {
    int32_t x = 0, y = 0, w = 0, h = 0;
};

// Copies `backBuffer` (display-sized) to the window, scaled with the aspect kept and black bars,
// in both modes. Whole-number scales are drawn with nearest-pixel sampling (sharp), any other
// scale smoothly. `waitRetrace` uses the driver's vsync where there is one and otherwise paces to
// the refresh rate. `changed` (layout pixels) lists the only rectangles that differ from the
// last presented frame; nullptr means all of it.
DisplayError Present(SDL_Surface* backBuffer, bool waitRetrace, const ViewRect* changed = nullptr,
                     size_t count = 0);
// Shows the last presented frame again (window exposed or resized while no frames are drawn).
// False when nothing was presented yet.
bool Repaint();

// Sleeps until the next refresh is due (one refresh period after the previous present or wait),
// waking at once when an event arrives; the event stays in the queue. True when the window's
// events were pumped into the queue on the way out, so the caller need not pump again.
bool WaitForNextRefresh();

// When the next refresh is due, in microseconds of a steady clock. Refreshes served one after
// another fall exactly one period apart, so that passes keep the display's rate instead of
// drifting faster with the rounding of each wait; one served more than a period late starts the
// count afresh.
class RefreshPacer {
  public:
    void SetRate(int32_t hz) { periodUs_ = 1000000 / (hz > 0 ? hz : 60); }
    int64_t PeriodUs() const { return periodUs_; }
    // How long until the next refresh is due (0: due now).
    int64_t WaitUs(int64_t nowUs) const { return nextUs_ > nowUs ? nextUs_ - nowUs : 0; }
    // The refresh that was due has been served (a paced present, or a wait to its end).
    void Served(int64_t nowUs) {
        nextUs_ += periodUs_;
        if (nextUs_ <= nowUs) nextUs_ = nowUs + periodUs_;
    }
    // A frame was shown at `nowUs` at a moment of someone else's choosing: the next is a period on.
    void Restart(int64_t nowUs) { nextUs_ = nowUs + periodUs_; }

  private:
    int64_t periodUs_ = 1000000 / 60;
    int64_t nextUs_ = 0;
};

// The letterbox in window points (what mouse events use).
ViewRect LayoutViewport();
// Window co-ordinates -> layout co-ordinates (may fall outside 0..width-1 in the black bars).
void WindowToLayout(int32_t wx, int32_t wy, int32_t& lx, int32_t& ly);
// Pure form of the mapping, for a window of the given size showing a layout of the given size.
ViewRect ComputeLetterbox(int32_t windowW, int32_t windowH, int32_t layoutW, int32_t layoutH);
// Pure form of WindowToLayout: a point of a window of windowW x windowH points, whose drawable has
// outputW x outputH pixels, lands in the layout pixel under the point's centre.
void MapWindowToLayout(int32_t wx, int32_t wy, int32_t windowW, int32_t windowH, int32_t outputW,
                       int32_t outputH, int32_t layoutW, int32_t layoutH, int32_t& lx, int32_t& ly);
// True when `view` shows the layout at a whole-number scale (drawn with nearest sampling).
bool IsWholeScale(const ViewRect& view, int32_t layoutW, int32_t layoutH);

// The window's client rectangle in screen co-ordinates (left, top, right, bottom).
void ClientRectOnScreen(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom);

} // namespace Platform
