#include "app/App.h"

#include "core/Config.h"
#include "core/Log.h"
#include "gfx/Graphics.h"
#include "gfx/Renderer.h"
#include "gfx/SurfaceRegistry.h"
#include "input/Input.h"
#include "picture/Bitmap.h"
#include "picture/Image.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "scene/Level.h"
#include "sound/SoundServer.h"
#include "ui/Font.h"

#include <SDL.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

namespace App {

namespace {
uint32_t g_lastFrame = 0;
FpsMeter g_fps;
ScreenshotTaker g_shots;
bool g_showFps = false;
bool g_presented = false;

// Copies the back buffer into a 32-bit picture and writes it as JPEG at quality 80 into the
// current folder. A shot that cannot be written (a full disk, a read-only folder) leaves no file
// and says why in the log.
bool TakeScreenshot(SDL_Surface* back) {
    SDL_Surface* copy = SDL_ConvertSurfaceFormat(back, SDL_PIXELFORMAT_ARGB8888, 0);
    if (!copy) {
        LogMsg("Screenshot '%s' not written: %s\n", g_shots.NextName().c_str(), SDL_GetError());
        return false;
    }
    std::vector<uint8_t> jpeg;
    bool encoded = false;
    if (SDL_LockSurface(copy) == 0) {
        encoded = Image::EncodeJpeg(jpeg, static_cast<const uint8_t*>(copy->pixels),
                                    static_cast<uint32_t>(copy->w), static_cast<uint32_t>(copy->h),
                                    static_cast<size_t>(copy->pitch), Image::PixelOrder::BGRA, 80);
        SDL_UnlockSurface(copy);
    }
    SDL_FreeSurface(copy);
    std::string name, error = "the picture could not be encoded";
    if (encoded && g_shots.Write(".", jpeg, name, error)) return true;
    LogMsg("Screenshot '%s' not written: %s\n", name.empty() ? g_shots.NextName().c_str() : name.c_str(),
           error.c_str());
    return false;
}

// The white flash that tells a shot was taken, laid over the frame after the shot was copied.
void DrawFlash(SDL_Surface* back, uint8_t alpha) {
    const uint64_t signature =
        Graphics::HashMix(Graphics::HashMix(0x46'4C'41'53'48ull, alpha),
                          static_cast<uint64_t>(back->w) << 32 | static_cast<uint32_t>(back->h));
    Graphics::DrawOrDefer(back, signature, [back, alpha] {
        SDL_Surface* white =
            SDL_CreateRGBSurfaceWithFormat(0, back->w, back->h, 32, SDL_PIXELFORMAT_ARGB8888);
        if (!white) return;
        SDL_FillRect(white, nullptr, SDL_MapRGB(white->format, 255, 255, 255));
        SDL_SetSurfaceBlendMode(white, SDL_BLENDMODE_BLEND);
        SDL_SetSurfaceAlphaMod(white, alpha);
        SDL_BlitSurface(white, nullptr, back, nullptr);
        SDL_FreeSurface(white);
    });
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
    if (surface && Graphics::Upload(bmp, all, surface, 0, 0, false))
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

uint32_t ScreenshotTaker::NumberAfterExisting(const std::string& folder) {
    uint32_t next = 0;
    std::vector<Platform::DirEntry> entries;
    // A folder that cannot be listed holds no earlier screenshots to count past.
    if (!Platform::ListDirectory(folder, entries)) return 0;
    for (const Platform::DirEntry& e : entries) {
        const std::string& n = e.name;
        if (e.isDirectory || n.size() != 14 || n.compare(0, 6, "screen") != 0 ||
            n.compare(10, 4, ".jpg") != 0 ||
            !std::all_of(n.begin() + 6, n.begin() + 10, [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        next = std::max(next, static_cast<uint32_t>(std::stoul(n.substr(6, 4))) + 1);
    }
    return next;
}

bool ScreenshotTaker::Write(const std::string& folder, const std::vector<uint8_t>& jpeg, std::string& name,
                            std::string& error) {
    if (!numbered) {
        counter = std::max(counter, NumberAfterExisting(folder));
        numbered = true;
    }
    const std::string data(jpeg.begin(), jpeg.end());
    // Another program may take a name meanwhile: the next number is tried then.
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = NextName();
        if (Platform::WriteNewFileAtomically(folder + "/" + name, data, &error, 0644)) {
            ++counter;
            return true;
        }
        if (errno != EEXIST) return false;
        ++counter;
    }
    return false;
}

bool ScreenshotTaker::Due(bool printScreenPressed, uint32_t nowMs) const {
    return printScreenPressed && nowMs - lastTime > 500;
}

uint8_t ScreenshotTaker::FlashAlpha(uint32_t nowMs) const {
    if (!flashing) return 0;
    const uint32_t age = nowMs - flashTime;
    if (age >= kFlashMs) return 0;
    // Bright at once, then fading out quickly.
    const float left = 1.0f - static_cast<float>(age) / static_cast<float>(kFlashMs);
    return static_cast<uint8_t>(kFlashPeak * left * left + 0.5f);
}

void SetShowFps(bool on) {
    g_showFps = on;
}
bool ShowFps() {
    return g_showFps;
}
bool LastFramePresented() {
    return g_presented;
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
    // The drawing is recorded; only a picture that differs from the last one is drawn and shown.
    Graphics::BeginFrame();
    // The update may have switched scenes.
    Level* scene = GetActiveScene();
    Renderer::DrawScene(back);
    if (scene && scene->afterScene) scene->afterScene(back);
    Renderer::DrawItems(back);
    if (scene && scene->overlay) scene->overlay(back);

    // Desktops take Print Screen for themselves; F12 is the key the game always sees.
    const bool shotKey = Input::KeyPressed(Input::Key::PrintScreen) || Input::KeyPressed(Input::Key::F12);
    if (g_shots.Due(shotKey, Platform::TimeMs())) {
        Graphics::FlushRecorded();
        // The sign that a picture was taken comes after it: neither the flash nor anything
        // else of it is in the picture.
        if (TakeScreenshot(back)) {
            g_shots.flashing = true;
            g_shots.flashTime = Platform::TimeMs();
            Sound::Play("shutter");
        }
        g_shots.lastTime = Platform::TimeMs();
    }
    if (const uint8_t flash = g_shots.FlashAlpha(Platform::TimeMs())) DrawFlash(back, flash);
    float rate = g_fps.Tick(Platform::TimeMs());
    if (g_showFps) DrawFps(back, rate);
    Renderer::DrawCursor(back);
    g_presented = Graphics::EndFrame();
    if (g_presented) Graphics::Present(g_Settings.GetBool("bVerticalRetrace", "Renderer") != 0);
    return true;
}

bool Frame() {
    UpdateFrame();
    return DrawFrame();
}

} // namespace App
