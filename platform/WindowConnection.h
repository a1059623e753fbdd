#pragma once

struct SDL_Window;

namespace Platform {

// The file descriptor of the X server connection behind an x11 window; -1 for any other video
// driver. Kept apart so that Xlib's names stay out of the rest of the platform layer.
int X11ConnectionFd(SDL_Window* window);

} // namespace Platform
