#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sound/SoundBackend.h"

// The program's spine: start-up in its fixed order, the main loop, one frame, window events, the
// display-mode switch and shut-down. The program (app/Main.cpp), the headless session test and
// the benchmark all run the same start-up, frame and shut-down through this API.
namespace App {

// What a start-up brings up besides the engine. The program takes everything; a headless caller
// leaves out what it has no use for.
struct StartOptions {
    // Step 1: one copy at a time.
    bool instanceLock = true;
    // The main window. Without it the display draws into a back buffer of its own.
    bool window = true;
    // The game's folders found from the executable (Platform::LocateGame); false: the current
    // folder, prepared by the caller, is the working directory.
    bool locate = true;
    // "Game.ini" beside the game (the renderer's switches, `bVerticalRetrace`).
    bool settingsFile = true;
    // Where the log file goes; empty: the working directory.
    std::string logDirectory;
    // Where unfinished games are kept; empty: the per-user data folder.
    std::string savedGamesFolder;
    // The audio device; nullptr opens the real one (and runs silent when there is none).
    std::unique_ptr<Sound::Backend> sound;
};

// Start-up steps 1 to 17, up to the title scene. False when the program must end; `ExitCode`
// then tells with what. After a successful start-up `ShutDown` must follow.
[[nodiscard]] bool StartUp(StartOptions options = {});

// The main loop: drains the window's events, waits while inactive or minimised, otherwise runs
// frames, until something asks to quit.
void RunLoop();

// Handles every event waiting in the queue (window, quit, input), as one pass of the loop does.
void DispatchEvents();

// One frame: `UpdateFrame` then `DrawFrame`. False when there is no back buffer (the loop then
// quits).
bool Frame();
// The frame's first half: clock, input, the active scene's update, sound.
void UpdateFrame();
// The frame's second half: scene, items, overlay, screenshot, FPS, cursor, present.
[[nodiscard]] bool DrawFrame();

// Step 19: the volumes and the display mode written, every module shut down in its order.
// Returns the exit code. A new `StartUp` may follow (tests run the program twice) unless
// `processEnds`: then the audio device is silenced and left to the system rather than waited on,
// and SDL's audio is not quit, so the process must end next.
int ShutDown(bool processEnds = false);

// Start-up, loop and shut-down; returns the process exit code.
int Run();

// The exit code a failed start-up asks for.
int ExitCode();
// Whether the last frame had a new picture to present (an unchanged one is neither drawn nor
// presented again).
bool LastFramePresented();

// Asked by the options screen after it stored the new `fullscreen` value; the loop re-creates
// window and display before the next frame.
void RequestModeSwitch();
bool Fullscreen();

// Ends the main loop as a window close would (the exit code is 0; settings are saved).
void Quit();
// Whether something asked the loop to end.
bool QuitRequested();

// The working directory with its trailing separator.
const std::string& WorkingDirectory();

// Connects the modules to one another: every hook and host the engine, the screens and the
// game take from outside. Start-up calls it before the first module starts.
void ConnectModules();

// Exposed for tests.
struct FpsMeter {
    uint32_t frames = 0;
    float lastTime = 0.0f;
    float rate = 0.0f;
    // Counts a frame at clock `nowMs`; the rate changes at most once a second.
    float Tick(uint32_t nowMs);
};

// Screenshots: at most one per 500 ms, only in the frame Print Screen or F12 went down.
struct ScreenshotTaker {
    uint32_t counter = 0;
    uint32_t lastTime = 0;
    // The file name the next shot gets ("screen%04d.jpg").
    std::string NextName() const;
    // True when a shot is due for this frame.
    bool Due(bool printScreenPressed, uint32_t nowMs) const;
    // Writes one shot (JPEG bytes) into `folder` under the next free number, never over a file
    // that is there: the first shot of a run continues after the highest "screenNNNN.jpg" of the
    // folder. The file appears whole or not at all. False, with the reason, when it could not be
    // written; `name` is the file's name either way.
    [[nodiscard]] bool Write(const std::string& folder, const std::vector<uint8_t>& jpeg, std::string& name,
                             std::string& error);
    // One past the highest "screenNNNN.jpg" in `folder` (0 when there is none).
    static uint32_t NumberAfterExisting(const std::string& folder);
    // How strongly the frames after a written shot are washed white (0 to 255): at most
    // kFlashPeak just after it, nothing from kFlashMs on, nothing before the first shot.
    uint8_t FlashAlpha(uint32_t nowMs) const;
    static constexpr uint32_t kFlashMs = 200;
    static constexpr float kFlashPeak = 160.0f;

    bool numbered = false;
    bool flashing = false;
    uint32_t flashTime = 0;
};

// Elapsed milliseconds of a frame: the very first frame (last time 0) gets 0.
uint32_t ElapsedMs(uint32_t nowMs, uint32_t lastFrameMs);

// The FPS display (registry `bShowFPS`), read at start-up.
void SetShowFps(bool on);
bool ShowFps();

// Frame state back to the start values (a new start-up in the same process).
void ResetFrameState();

} // namespace App
