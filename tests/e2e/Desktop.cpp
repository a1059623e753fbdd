#include "e2e/Desktop.h"

#include "picture/Image.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <regex>

namespace fs = std::filesystem;

namespace E2e {

namespace {

// Starts `args` and waits up to `ms` for `ready`; otherwise says why, with its log, and stops it.
bool StartReady(Process& p, const std::vector<std::string>& args, const Env& env, const std::string& log,
                const std::string& waitingFor, int ms, const std::function<bool()>& ready,
                std::string& error) {
    if (!p.Start(args, env, log)) {
        error = args[0] + " could not be started";
        return false;
    }
    if (WaitUntil(ms, [&] { return ready() || !p.Running(); }) && p.Running()) return true;
    error =
        args[0] + " did not " + waitingFor + " within " + std::to_string(ms / 1000) + " s: " + ReadFile(log);
    p.Stop();
    return false;
}

} // namespace

bool StartOpenbox(Process& wm, const std::string& display, const std::string& home, std::string& error) {
    fs::create_directories(home + "/config");
    // A window manager that took the screen names its check window on the root.
    return StartReady(
        wm, {"openbox", "--sm-disable"},
        {{"DISPLAY", display}, {"HOME", home}, {"XDG_CONFIG_HOME", home + "/config"}}, home + "/openbox.txt",
        "take the screen", 10000,
        [&] {
            std::string out;
            RunTool({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, {{"DISPLAY", display}}, 5000, &out);
            return out.find("window id #") != std::string::npos;
        },
        error);
}

bool StartWeston(Process& compositor, const std::string& runtimeDir, const std::string& socket,
                 const std::string& seatModule, std::string& error) {
    return StartReady(
        compositor,
        {"weston", "--backend=headless-backend.so", "--socket=" + socket, "--idle-time=0", "--no-config",
         "--modules=" + seatModule},
        {{"XDG_RUNTIME_DIR", runtimeDir}, {"WAYLAND_DISPLAY", ""}, {"DISPLAY", ""}},
        runtimeDir + "/../weston.txt", "open its socket", 15000,
        [&] { return fs::exists(runtimeDir + "/" + socket); }, error);
}

// ---- What the X server says ------------------------------------------------------------------------

namespace {

int Field(const std::string& text, const char* label) {
    std::smatch m;
    const std::regex re(std::string(label) + R"(:\s*(-?[0-9]+))");
    return std::regex_search(text, m, re) ? std::stoi(m[1]) : 0;
}

} // namespace

bool Inspect(const std::string& display, const std::string& window, WindowInfo& out) {
    out = {};
    std::string geometry, props;
    if (RunTool({"xwininfo", "-id", window}, {{"DISPLAY", display}}, 5000, &geometry) != 0) return false;
    out.viewable = geometry.find("Map State: IsViewable") != std::string::npos;
    out.x = Field(geometry, "Absolute upper-left X");
    out.y = Field(geometry, "Absolute upper-left Y");
    out.width = Field(geometry, "Width");
    out.height = Field(geometry, "Height");
    // Eight bytes of the icon are its width and height: enough to know there is one.
    if (RunTool({"xprop", "-len", "8", "-id", window, "WM_STATE", "_NET_WM_STATE", "_NET_WM_ICON"},
                {{"DISPLAY", display}}, 5000, &props) != 0)
        return false;
    out.iconic = props.find("window state: Iconic") != std::string::npos;
    out.hidden = props.find("_NET_WM_STATE_HIDDEN") != std::string::npos;
    out.fullscreen = props.find("_NET_WM_STATE_FULLSCREEN") != std::string::npos;
    out.hasIcon = props.find("_NET_WM_ICON(CARDINAL) =") != std::string::npos;
    return true;
}

std::string FocusedWindow(const std::string& display) {
    std::string out;
    if (XdoOn(display, {"getwindowfocus"}, &out) != 0) return "";
    out.erase(std::remove_if(out.begin(), out.end(), [](char c) { return c < '0' || c > '9'; }), out.end());
    return out;
}

bool GrabScreen(const std::string& display, const Box& box, Bitmap& out, const std::string& label) {
    const int w = box.right - box.left, h = box.bottom - box.top;
    if (w <= 0 || h <= 0) return false;
    Display* x = XOpenDisplay(display.c_str());
    if (!x) return false;
    XImage* image = XGetImage(x, DefaultRootWindow(x), box.left, box.top, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    bool ok = image && out.Create(static_cast<uint32_t>(w), static_cast<uint32_t>(h), 32);
    if (ok) {
        // Masks to 8-bit channels, whatever the visual's layout.
        auto channel = [](unsigned long pixel, unsigned long mask) {
            if (mask == 0) return 0;
            int shift = 0;
            while (!((mask >> shift) & 1))
                ++shift;
            const unsigned long max = mask >> shift;
            return static_cast<int>(((pixel & mask) >> shift) * 255 / max);
        };
        for (int y = 0; y < h; ++y) {
            uint8_t* row = out.Row(static_cast<uint32_t>(y));
            for (int xx = 0; xx < w; ++xx) {
                const unsigned long p = XGetPixel(image, xx, y);
                row[xx * 4 + 0] = static_cast<uint8_t>(channel(p, image->blue_mask));
                row[xx * 4 + 1] = static_cast<uint8_t>(channel(p, image->green_mask));
                row[xx * 4 + 2] = static_cast<uint8_t>(channel(p, image->red_mask));
                row[xx * 4 + 3] = 255;
            }
        }
    }
    if (image) XDestroyImage(image);
    XCloseDisplay(x);
    if (!ok) return false;
    std::vector<uint8_t> jpeg;
    if (Image::EncodeJpeg(jpeg, out.Row(0), out.Width(), out.Height(), out.RowBytes(),
                          Image::PixelOrder::BGRA, 85))
        KeepShot(label, std::string(jpeg.begin(), jpeg.end()));
    return true;
}

Box LetterboxIn(int width, int height) {
    const double scale = std::min(width / 800.0, height / 600.0);
    const int w = static_cast<int>(800 * scale + 0.5), h = static_cast<int>(600 * scale + 0.5);
    const int left = (width - w) / 2, top = (height - h) / 2;
    return {left, top, left + w, top + h};
}

void LayoutToWindow(const Box& letterbox, int lx, int ly, int& wx, int& wy) {
    const double sx = (letterbox.right - letterbox.left) / 800.0,
                 sy = (letterbox.bottom - letterbox.top) / 600.0;
    wx = letterbox.left + static_cast<int>((lx + 0.5) * sx);
    wy = letterbox.top + static_cast<int>((ly + 0.5) * sy);
}

void SampleLayout(const Bitmap& grab, const Box& letterbox, Bitmap& layout) {
    if (!layout.Create(800, 600, 32)) return; // out of memory: the comparisons with it fail
    for (int y = 0; y < 600; ++y) {
        uint8_t* row = layout.Row(static_cast<uint32_t>(y));
        for (int x = 0; x < 800; ++x) {
            int gx = 0, gy = 0;
            LayoutToWindow(letterbox, x, y, gx, gy);
            const Rgb c = At(grab, gx, gy);
            row[x * 4 + 0] = static_cast<uint8_t>(c.b);
            row[x * 4 + 1] = static_cast<uint8_t>(c.g);
            row[x * 4 + 2] = static_cast<uint8_t>(c.r);
            row[x * 4 + 3] = 255;
        }
    }
}

} // namespace E2e
