#include "app/App.h"

#include "app/Screens.h"
#include "core/Config.h"
#include "core/FileLayer.h"
#include "core/Log.h"
#include "game/GameRandom.h"
#include "gfx/Animation.h"
#include "gfx/Graphics.h"
#include "gfx/Image.h"
#include "gfx/Renderer.h"
#include "gfx/SurfaceRegistry.h"
#include "input/Input.h"
#include "platform/Clock.h"
#include "platform/Display.h"
#include "platform/Files.h"
#include "platform/Instance.h"
#include "scene/Level.h"
#include "scene/Library.h"
#include "sound/SoundServer.h"
#include "ui/Font.h"
#include "ui/Menu.h"
#include "ui/TextCache.h"
#include "ui/TextTable.h"

#include <SDL.h>
#include <atomic>

namespace App {

namespace {

constexpr const char* kOptionsKey = "Software\\Quillmarsh\\Parlorix\\Options";
constexpr uint32_t kWidth = 800, kHeight = 600, kDepth = 32;

uint32_t g_fullscreen = 0;
bool g_quit = false;
int g_exitCode = 0;
bool g_active = true;
bool g_hasArea = true;
bool g_modeSwitch = false;
bool g_initialised = false;
std::string g_workingDirectory;

// The 10 ms system timer: runs on SDL's timer thread, so it only counts.
SDL_TimerID g_timer = 0;
std::atomic<uint32_t> g_timerMs{0};
Uint32 TimerTick(Uint32 interval, void*) {
    g_timerMs += 10;
    return interval;
}

void SetCursor() {
    SDL_ShowCursor(g_fullscreen ? SDL_DISABLE : SDL_ENABLE);
}

bool CreateWindow() {
    SDL_Window* w = Platform::CreateMainWindow(g_fullscreen != 0);
    if (!w) {
        LogMsg("Unable to create window: %s\n", SDL_GetError());
        return false;
    }
    SDL_RaiseWindow(w);
    return true;
}

void ReenterActiveScene() {
    if (Level* scene = GetActiveScene()) SwitchScene("Board", scene->sName.c_str());
}

void Deactivate() {
    Input::SetAcquired(false);
    Sound::PauseAllChannels();
    Sound::StopMusic();
    // Fullscreen hands the desktop back; a window simply stays where it is.
    if (g_fullscreen && Platform::MainWindow()) SDL_MinimizeWindow(Platform::MainWindow());
}

void Activate() {
    Renderer::Surfaces().ReleaseAll();
    Text::ForgetVolatile();
    Animation::ReleaseAll();
    if (SDL_Window* w = Platform::MainWindow()) SDL_RaiseWindow(w);
    Graphics::RestoreAllSurfaces();
    Renderer::Init(kWidth, kHeight, g_Settings);
    Animation::LoadAll();
    Input::SetAcquired(true);
    ReenterActiveScene();
    Sound::ResumeAllChannels();
    Sound::RestartMusic();
}

void SwitchDisplayMode() {
    Renderer::Surfaces().ReleaseAll();
    Text::ForgetVolatile();
    Animation::ReleaseAll();
    Input::Shutdown();
    Graphics::Shutdown();
    Platform::DestroyMainWindow();
    g_Settings.ReadDword(g_fullscreen, "fullscreen");
    if (!CreateWindow()) return;
    Graphics::Init(kWidth, kHeight, kDepth, g_fullscreen != 0, Platform::MainWindow());
    Renderer::Init(kWidth, kHeight, g_Settings);
    Animation::LoadAll();
    Input::Init(g_fullscreen != 0);
    ReenterActiveScene();
}

void HandleWindowEvent(const SDL_WindowEvent& e) {
    switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE:
        if (!g_modeSwitch) {
            g_quit = true;
            g_exitCode = 0;
        }
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
    case SDL_WINDOWEVENT_HIDDEN:
        g_hasArea = false;
        if (g_initialised) Input::SetAcquired(false);
        break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
        if (!g_hasArea) {
            g_hasArea = true;
            if (g_initialised) Input::SetAcquired(true);
        }
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
    case SDL_WINDOWEVENT_FOCUS_GAINED: {
        bool active = e.event == SDL_WINDOWEVENT_FOCUS_GAINED;
        if (active == g_active) break;
        g_active = active;
        if (!g_initialised || g_modeSwitch) break;
        if (active)
            Activate();
        else
            Deactivate();
        break;
    }
    default:
        break;
    }
}

void Dispatch(const SDL_Event& e) {
    switch (e.type) {
    case SDL_QUIT:
        if (!g_modeSwitch) {
            g_quit = true;
            g_exitCode = 0;
        }
        break;
    case SDL_WINDOWEVENT:
        HandleWindowEvent(e.window);
        break;
    default:
        Input::HandleEvent(e);
        break;
    }
}

void ShutDown() {
    g_Settings.WriteDword(Sound::GetSoundVolume(), "SoundVolume");
    g_Settings.WriteDword(Sound::GetMusicVolume(), "MusicVolume");
    Input::Shutdown();
    Animation::ReleaseAll();
    if (g_timer) SDL_RemoveTimer(g_timer);
    g_timer = 0;
    Renderer::ReleaseSurfaces();
    ReleaseAllEpisodes();
    Graphics::Shutdown();
    Library::Release(Animation::SaveLibrary());
    Sound::Shutdown();
    Platform::DestroyMainWindow();
}

// A build tree or an unpacked copy runs where it stands. An installed game reads its archive from
// the share folder beside its binary and keeps its log and screenshots in the user's data folder,
// never beside the read-only installed files. Returns the archive to mount.
std::string PrepareWorkingDirectory() {
    if (Platform::IsDirectory("Data") || Platform::FileExists("game.dat")) return "game.dat";
    std::string exeDir = Platform::ExecutableDirectory();
    std::string share = exeDir.substr(0, exeDir.rfind('/')) + "/share/parlorix/game.dat";
    if (!Platform::FileExists(share)) return "game.dat";
    Platform::SetCurrentDirectory(Platform::DataDirectory());
    return share;
}

} // namespace

void RequestModeSwitch() {
    g_modeSwitch = true;
}
bool Fullscreen() {
    return g_fullscreen != 0;
}
void Quit() {
    g_quit = true;
}
const std::string& WorkingDirectory() {
    return g_workingDirectory;
}

int Run() {
    // 1. One copy at a time.
    static Platform::InstanceLock instance;
    if (!instance.Acquire("Selvane running")) return 0;

    // 2. The user's options.
    g_Settings.OpenKey(kOptionsKey);

    // 3. Working directory, log, archive.
    std::string archive = PrepareWorkingDirectory();
    g_workingDirectory = Platform::CurrentDirectory() + "/";
    Log::Start(g_workingDirectory);
    FileLayer::Mount(archive.c_str(), "", 3);
    // The settings file is optional (beside the game, or beside an installed archive); without it
    // `bVerticalRetrace` stays false.
    std::string ini = archive.substr(0, archive.size() - std::string("game.dat").size()) + "Game.ini";
    if (Platform::FileExists(ini)) g_Settings.Load(ini.c_str());

    // 4.-7. Window in the stored mode.
    g_Settings.ReadDword(g_fullscreen, "fullscreen");
    g_fullscreen = g_fullscreen ? 1 : 0;
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
        LogMsg("Unable to initialize SDL: %s\n", SDL_GetError());
        return 0;
    }
    SDL_DisableScreenSaver(); // keep display and system awake
    if (!CreateWindow()) return 0;
    SetCursor();

    // 8. Display, input, timer, renderer, library, animations, sound.
    if (!Graphics::Init(kWidth, kHeight, kDepth, g_fullscreen != 0, Platform::MainWindow())) return 0;
    if (!Input::Init(g_fullscreen != 0)) return 0;
    g_timer = SDL_AddTimer(10, TimerTick, nullptr);
    if (!g_timer) {
        LogMsg("Unable to initialize timer\n");
        return 0;
    }
    Text::ConnectRenderer();
    Renderer::SetKeyStateSource([](uint32_t code) { return Input::KeyDown(static_cast<uint8_t>(code)); });
    Renderer::SetCursorSource([](int32_t& x, int32_t& y) {
        Input::MousePosition(x, y);
        return true;
    });
    if (!Renderer::Init(kWidth, kHeight, g_Settings)) return 0;
    Image::InstallLibraryHooks(); // the library decodes its pictures through the graphics module
    if (!Library::Init(g_workingDirectory)) return 0;
    Animation::SetWorkingDirectory(g_workingDirectory.c_str());
    Animation::LoadAll();
    Sound::Start();

    // 9.-11.
    uint32_t showFps = 0;
    g_Settings.ReadDword(showFps, "bShowFPS");
    SetShowFps(showFps != 0);
    g_TextTable.Load();
    LoadHighScores();
    g_initialised = true;

    // 12. Fonts.
    if (!LoadFonts()) return -1;

    // 13.-15. Scenes, callbacks and menus.
    LoadSceneFile("Data\\Levels\\Board.eed");
    Text::SetSceneNameSource([]() -> const char* {
        Level* s = GetActiveScene();
        return s ? s->sName.c_str() : "";
    });
    RegisterScreens();
    Menu::MeasureMenus();

    // 16.-17.
    Game::SeedRandom(Platform::TimeMs());
    SwitchScene("Board", "Level_00_00");

    // 18. The loop: drain events, wait while inactive or minimised, otherwise draw a frame.
    while (!g_quit) {
        SDL_Event e;
        if (SDL_PollEvent(&e)) {
            Dispatch(e);
            continue;
        }
        if (!g_active || !g_hasArea) {
            if (SDL_WaitEvent(&e)) Dispatch(e);
            continue;
        }
        if (g_modeSwitch) {
            SwitchDisplayMode();
            g_modeSwitch = false;
        }
        SetCursor();
        if (!Frame()) g_quit = true;
    }

    // 19. Save and shut down.
    g_Settings.WriteDword(Sound::GetSoundVolume(), "SoundVolume");
    g_Settings.WriteDword(Sound::GetMusicVolume(), "MusicVolume");
    g_Settings.WriteDword(Graphics::Fullscreen() ? 1 : 0, "fullscreen");
    ShutDown();
    SDL_Quit();
    return g_exitCode;
}

} // namespace App
