#pragma once
// What the end-to-end tests need to meet the program the way a player does: an X server of their
// own (Xvfb), the program started as a separate process with scratch XDG folders, xdotool for the
// mouse and keyboard, and the program's own screenshots decoded for pixel checks.
#include "picture/Bitmap.h"
#include "support/Process.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace E2e {

using TestProcess::Env;
using TestProcess::NowMs;
using TestProcess::Process;
using TestProcess::Sleep;
using TestProcess::WaitUntil;

// True when `name` is an executable on PATH.
bool HaveTool(const std::string& name);
// The tools of `names` that are not on PATH, as "a, b"; empty when all are there.
std::string MissingTools(std::initializer_list<const char*> names);

// Reads a whole file ("" when missing).
std::string ReadFile(const std::string& path);

// Runs `argv` to its end, collecting stdout and stderr into `output`; kills it after `timeoutMs`.
// Returns the exit code, or -1000 on timeout or when it could not be started.
int RunTool(const std::vector<std::string>& argv, const Env& env, int timeoutMs,
            std::string* output = nullptr, const std::string& cwd = "");

// Runs xdotool with `args` on `display`; its exit code.
int XdoOn(const std::string& display, const std::vector<std::string>& args, std::string* output = nullptr);

// Keeps a picture of a test's view in the build tree's e2e-shots folder as `<label>.jpg`.
void KeepShot(const std::string& label, const std::string& jpeg);

// An Xvfb server on a display number it picks itself (-displayfd), so parallel tests never meet.
class XServer {
  public:
    bool Start(std::string& error);
    void Stop() { process_.Stop(); }
    const std::string& Display() const { return display_; }
    // The screen's size and depth for the next Start, as Xvfb takes it ("1024x768x24").
    void SetScreen(const std::string& screen) { screen_ = screen; }

  private:
    Process process_;
    std::string display_;
    std::string screen_ = "1024x768x24";
};

// One run of the program: its process, its window and what it writes.
class Game : public Process {
  public:
    // `workDir` becomes the program's current directory; `home` holds its XDG folders
    // (config, runtime, data).
    Game(std::string binary, std::string workDir, std::string home, std::string display);
    ~Game() { Kill(); }

    bool Start();
    // Window-manager close (SIGTERM): the program saves and ends; returns the exit code.
    int Close(int ms = 10000) { return Stop(ms); }

    // Waits up to `ms` for the window titled "Parlorix" and its first frame.
    bool FindWindow(int ms);
    // The window that moves, clicks and keys go to (a mode switch makes a new one).
    const std::string& Window() const { return window_; }
    void UseWindow(const std::string& id) { window_ = id; }
    // Environment for the next Start, over the harness's own (an empty value unsets).
    void SetEnv(Env env) { env_ = std::move(env); }
    // Window ids titled "Parlorix" right now.
    std::vector<std::string> Windows() const;

    // The pointer to (x, y) of the 800 x 600 client area.
    void MoveMouse(int x, int y);
    // Move, then Press.
    void Click(int x, int y) {
        MoveMouse(x, y);
        Press();
    }
    // Let a few frames pass under the pointer (menus hit-test where they were drawn last), then
    // press and release the left button.
    void Press();
    // Press and release a key by its X keysym name, held long enough for one frame to see it.
    void Key(const std::string& keysym);
    // Taps keys in order at a quick typist's pace, from one xdotool run: a walk of many taps takes
    // a fraction of what separate presses would, so the board changes less under it.
    void Keys(const std::vector<std::string>& keysyms);

    // Presses Print Screen and decodes the newest "screen%04d.jpg" of `shotDir` (the working
    // directory unless given) once a new one has come; kept as `<label>.jpg` (KeepShot).
    bool Screenshot(Bitmap& out, const std::string& label);
    void SetShotDir(const std::string& dir) { shotDir_ = dir; }
    // Window managers take Print Screen for themselves (openbox runs its own tool): F12 there.
    void SetShotKey(const std::string& keysym) { shotKey_ = keysym; }

    const std::string& Home() const { return home_; }
    std::string RuntimeDir() const { return home_ + "/runtime"; }
    std::string DataHome() const { return home_ + "/data"; }
    std::string OptionsFile() const;

  private:
    int Xdo(const std::vector<std::string>& args, std::string* output = nullptr) const {
        return XdoOn(display_, args, output);
    }

    std::string binary_, workDir_, home_, display_, shotDir_;
    Env env_;
    std::string shotKey_ = "Print";
    std::string window_;
    long long lastShotMs_ = 0;
};

// Screenshots until `fits` finds the screen as expected (an empty reason) or `ms` pass; otherwise
// "<label>: <last reason>". The next screen is met when the program gets there, however loaded
// the machine.
std::string AwaitShot(Game& game, Bitmap& shot, const std::string& label,
                      const std::function<std::string(const Bitmap&)>& fits, int ms = 15000);

// ---- Pixels of a screenshot ----------------------------------------------------------------------
struct Rgb {
    int r = 0, g = 0, b = 0;
};
struct Box {
    int left, top, right, bottom; // right and bottom exclusive
};

Rgb At(const Bitmap& shot, int x, int y);
Rgb Mean(const Bitmap& shot, const Box& box);
// Hue in degrees, saturation 0..1, value 0..255.
void Hsv(const Rgb& c, double& h, double& s, double& v);

// Menu text colours: normal green, highlighted yellow, white labels.
bool IsMenuGreen(const Rgb& c);
bool IsMenuYellow(const Rgb& c);
bool IsWhite(const Rgb& c);
// Pixels of `box` for which `pred` holds.
int Count(const Bitmap& shot, const Box& box, bool (*pred)(const Rgb&));
// Mean absolute channel difference of two shots over `box`.
double Difference(const Bitmap& a, const Bitmap& b, const Box& box);

} // namespace E2e
