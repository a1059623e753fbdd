#include "app/App.h"

#include "core/Config.h"
#include "core/Log.h"
#include "gfx/Bitmap.h"
#include "gfx/Graphics.h"
#include "gfx/Image.h"
#include "gfx/Renderer.h"
#include "gfx/SurfaceRegistry.h"
#include "input/Input.h"
#include "platform/Clock.h"
#include "scene/Level.h"
#include "sound/SoundServer.h"
#include "ui/Font.h"

#include <SDL.h>
#include <cstdio>
#include <vector>

namespace App {

namespace {
uint32_t g_lastFrame = 0;
FpsMeter g_fps;
ScreenshotTaker g_shots;
bool g_showFps = false;

// Copies the back buffer into a 32-bit picture and writes it as JPEG at quality 80.
void TakeScreenshot(SDL_Surface* back, const std::string& name) {
    SDL_Surface* copy = SDL_ConvertSurfaceFormat(back, SDL_PIXELFORMAT_ARGB8888, 0);
    if (!copy) return;
    if (SDL_LockSurface(copy) == 0) {
        Image::WriteJpeg(name.c_str(), static_cast<const uint8_t*>(copy->pixels),
                         static_cast<uint32_t>(copy->w), static_cast<uint32_t>(copy->h),
                         static_cast<size_t>(copy->pitch), Image::PixelOrder::BGRA, 80);
        SDL_UnlockSurface(copy);
    }
    SDL_FreeSurface(copy);
}

void DrawFps(SDL_Surface* back, float rate) {
    Bitmap& bmp = Renderer::TextBitmap();
    bmp.Clear();
    char text[32];
    std::snprintf(text, sizeof text, "Fps:%2.2f", static_cast<double>(rate));
    char16_t wide[32];
    size_t i = 0;
    for (; text[i] && i + 1 < std::size(wide); ++i)
        wide[i] = static_cast<char16_t>(text[i]);
    wide[i] = 0;
    Font::SetTarget(bmp);
    g_DefaultFont.SetSize(20);
    g_DefaultFont.Print(10, 30, 0xFFFFFFFF, wide);
    SDL_Surface* surface = Renderer::Surfaces().Find("fps");
    if (!surface) surface = Renderer::CreateSurface("fps", bmp.Width(), bmp.Height());
    Graphics::Rect all{0, 0, static_cast<int32_t>(bmp.Width()), static_cast<int32_t>(bmp.Height())};
    if (surface && bmp.Upload(all, surface, 0, 0, false))
        Graphics::Blit(back, 10, 10, surface, nullptr, false);
}

} // namespace

uint32_t ElapsedMs(uint32_t nowMs, uint32_t lastFrameMs) {
    uint32_t elapsed = nowMs - lastFrameMs;
    return elapsed == nowMs ? 0 : elapsed;
}

float FpsMeter::Tick(uint32_t nowMs) {
    ++frames;
    float now = static_cast<float>(nowMs) * 0.001f;
    float since = now - lastTime;
    if (since > 1.0f) {
        rate = static_cast<float>(frames) / since;
        frames = 0;
        lastTime = now;
    }
    return rate;
}

std::string ScreenshotTaker::NextName() const {
    char name[32];
    std::snprintf(name, sizeof name, "screen%04u.jpg", counter);
    return name;
}

bool ScreenshotTaker::Due(bool printScreenPressed, uint32_t nowMs) const {
    return printScreenPressed && nowMs - lastTime > 500;
}

void SetShowFps(bool on) {
    g_showFps = on;
}
bool ShowFps() {
    return g_showFps;
}

void ResetFrameState() {
    g_lastFrame = 0;
    g_fps = FpsMeter();
    g_shots = ScreenshotTaker();
}

void UpdateFrame() {
    uint32_t now = Platform::TimeMs();
    uint32_t elapsed = ElapsedMs(now, g_lastFrame);
    FrameRecord record;
    record.elapsedSeconds = static_cast<float>(elapsed) * 0.001f;
    record.episode = GetCurrentEpisode();
    record.scene = GetActiveScene();

    Input::Poll();
    if (record.scene && record.scene->update) record.scene->update(elapsed, &record);
    Sound::Update(static_cast<float>(elapsed) * 0.001f);
    g_lastFrame = now;
}

bool DrawFrame() {
    SDL_Surface* back = Graphics::GetBackBuffer();
    if (!back) return false;
    // The update may have switched scenes.
    Level* scene = GetActiveScene();
    Renderer::DrawScene(back);
    if (scene && scene->afterScene) scene->afterScene(back);
    Renderer::DrawItems(back);
    if (scene && scene->overlay) scene->overlay(back);

    if (g_shots.Due(Input::KeyPressed(Input::Key::PrintScreen), Platform::TimeMs())) {
        TakeScreenshot(back, g_shots.NextName());
        ++g_shots.counter;
        g_shots.lastTime = Platform::TimeMs();
    }
    float rate = g_fps.Tick(Platform::TimeMs());
    if (g_showFps) DrawFps(back, rate);
    Renderer::DrawCursor(back);
    Graphics::Present(g_Settings.GetBool("bVerticalRetrace", "Renderer") != 0);
    return true;
}

bool Frame() {
    UpdateFrame();
    return DrawFrame();
}

} // namespace App
