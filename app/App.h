#pragma once
#include <cstdint>
#include <string>

// The program's spine: start-up in its fixed order, the main loop, one frame, window events, the
// display-mode switch and shut-down.
namespace App {

// Runs the whole program; returns the process exit code.
int Run();

// One frame: input, the scene's update, sound, drawing, screenshot, FPS, cursor, present.
// False when there is no back buffer (the loop then quits).
bool Frame();

// Asked by the options screen after it stored the new `fullscreen` value; the loop re-creates
// window and display before the next frame.
void RequestModeSwitch();
bool Fullscreen();

// Ends the main loop as a window close would (the exit code is 0; settings are saved).
void Quit();

// The working directory with its trailing separator.
const std::string& WorkingDirectory();

// Exposed for tests.
struct FpsMeter {
    uint32_t frames = 0;
    float lastTime = 0.0f;
    float rate = 0.0f;
    // Counts a frame at clock `nowMs`; the rate changes at most once a second.
    float Tick(uint32_t nowMs);
};

// Screenshots: at most one per 500 ms, only in the frame Print Screen went down.
struct ScreenshotTaker {
    uint32_t counter = 0;
    uint32_t lastTime = 0;
    // The file name the next shot gets ("screen%04d.jpg").
    std::string NextName() const;
    // True when a shot is due for this frame.
    bool Due(bool printScreenPressed, uint32_t nowMs) const;
};

// Elapsed milliseconds of a frame: the very first frame (last time 0) gets 0.
uint32_t ElapsedMs(uint32_t nowMs, uint32_t lastFrameMs);

} // namespace App
