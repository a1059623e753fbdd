#pragma once
// What a desktop adds around the game's window: a window manager (openbox) beside the X server, a
// headless Wayland compositor (weston), other clients' windows, and what the X server itself shows
// and says of the game's window (state, focus, geometry, pixels on the screen).
#include "e2e/Harness.h"
#include "picture/Bitmap.h"

#include <string>

namespace E2e {

// Debian's openbox on `display`, its configuration under `home`; Start returns once it manages the
// screen (the root window names its check window).
bool StartOpenbox(Process& wm, const std::string& display, const std::string& home, std::string& error);

// weston with its headless backend and the module `seatModule` (which gives it a seat), listening
// on `socket` in `runtimeDir`; returns once the socket is there.
bool StartWeston(Process& compositor, const std::string& runtimeDir, const std::string& socket,
                 const std::string& seatModule, std::string& error);

// What the X server and the window manager say of a top-level window.
struct WindowInfo {
    bool viewable = false;                   // mapped and not hidden under an unmapped parent
    bool iconic = false;                     // WM_STATE Iconic
    bool hidden = false;                     // _NET_WM_STATE_HIDDEN
    bool fullscreen = false;                 // _NET_WM_STATE_FULLSCREEN
    bool hasIcon = false;                    // _NET_WM_ICON set
    int x = 0, y = 0, width = 0, height = 0; // client area on the screen
};
bool Inspect(const std::string& display, const std::string& window, WindowInfo& out);
// The window that has the keyboard focus (decimal id, as xdotool prints it), "" when unknown.
std::string FocusedWindow(const std::string& display);

// The screen's pixels inside `box` (screen co-ordinates), as a 32-bit picture in the layout of the
// game's screenshots. A copy goes to the build tree's e2e-shots folder as `<label>.jpg`.
bool GrabScreen(const std::string& display, const Box& box, Bitmap& out, const std::string& label);

// Where an 800 x 600 layout shows inside a client area of `width` x `height`: the largest rectangle
// of its aspect, centred (the bars around it black).
Box LetterboxIn(int width, int height);
// A layout point -> the window point whose pixel shows it.
void LayoutToWindow(const Box& letterbox, int lx, int ly, int& wx, int& wy);
// The 800 x 600 layout read back from a grab of the client area, one sample per layout pixel.
void SampleLayout(const Bitmap& grab, const Box& letterbox, Bitmap& layout);

} // namespace E2e
