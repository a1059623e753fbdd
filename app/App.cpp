#include "app/App.h"

#include "core/Config.h"
#include "core/FileLayer.h"
#include "core/Log.h"
#include "game/GameBoard.h"
#include "game/GameRandom.h"
#include "gfx/Animation.h"
#include "gfx/Graphics.h"
#include "gfx/Renderer.h"
#include "gfx/SurfaceRegistry.h"
#include "input/Input.h"
#include "platform/Clock.h"
#include "platform/Display.h"
#include "platform/Files.h"
#include "platform/Instance.h"
#include "platform/Memory.h"
#include "platform/Registry.h"
#include "scene/Level.h"
#include "scene/Library.h"
#include "screens/Resume.h"
#include "screens/Screens.h"
#include "sound/SoundServer.h"
#include "ui/Font.h"
#include "ui/Frontend.h"
#include "ui/HighScores.h"
#include "ui/Language.h"
#include "ui/Menu.h"
#include "ui/SceneNames.h"
#include "ui/TextCache.h"
#include "ui/TextTable.h"

#include <SDL.h>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace App {

namespace {

constexpr const char* kOptionsKey = "Software\\Quillmarsh\\Parlorix\\Options";
constexpr const char* kSceneFile = "Data\\Levels\\Board.eed";
constexpr uint32_t kWidth = 800, kHeight = 600, kDepth = 32;

uint32_t g_fullscreen = 0;
bool g_quit = false;
int g_exitCode = 0;
bool g_active = true;
bool g_hasArea = true;
bool g_modeSwitch = false;
bool g_initialised = false;
std::string g_workingDirectory;

// The windowed size the player chose, kept across mode switches and runs.
Platform::WindowPlacement g_placement;

// A stored number, or `absent` when the store has none (a first run, a value never written).
uint32_t Stored(const char* name, uint32_t absent = 0) {
    uint32_t value = 0;
    return g_Settings.ReadDword(value, name) ? value : absent;
}

void ReadPlacement() {
    const uint32_t w = Stored("WindowWidth"), h = Stored("WindowHeight"),
                   maximised = Stored("WindowMaximized");
    g_placement.width = static_cast<int32_t>(std::min<uint32_t>(w, 16384));
    g_placement.height = static_cast<int32_t>(std::min<uint32_t>(h, 16384));
    g_placement.maximised = maximised != 0;
}

void WritePlacement() {
    if (g_placement.width <= 0 || g_placement.height <= 0) return;
    g_Settings.WriteDword(static_cast<uint32_t>(g_placement.width), "WindowWidth");
    g_Settings.WriteDword(static_cast<uint32_t>(g_placement.height), "WindowHeight");
    g_Settings.WriteDword(g_placement.maximised ? 1 : 0, "WindowMaximized");
}

void NotePlacement() {
    Platform::WindowPlacement now = g_placement;
    if (!Platform::CurrentPlacement(now)) return;
    g_placement = now;
}

void SetIcon() {
    constexpr int kIconSize = 64;
    // IconArt's drawing at 64 x 64, red, green, blue and alpha bytes, made by tools/gen-icon.
    static constexpr uint8_t kIcon[] = {
#include "WindowIcon.inc"
    };
    static_assert(sizeof kIcon == kIconSize * kIconSize * 4);
    if (!Platform::SetMainWindowIcon(kIcon, kIconSize, kIconSize))
        LogMsg("Unable to set the window icon: %s\n", SDL_GetError());
}

void SetCursor() {
    SDL_ShowCursor(g_fullscreen ? SDL_DISABLE : SDL_ENABLE);
}

bool CreateWindow() {
    SDL_Window* w = Platform::CreateMainWindow(g_fullscreen != 0, g_placement);
    if (!w) {
        LogMsg("Unable to create window: %s\n", SDL_GetError());
        return false;
    }
    SetIcon();
    SDL_RaiseWindow(w);
    return true;
}

void ReenterActiveScene() {
    if (Level* scene = GetActiveScene()) SwitchScene(SceneName::kEpisode, scene->sName.c_str());
}

// Re-activation and the display-mode switch rebuild what they released. A part that fails has
// logged its own message; the program goes on, and without a display the next frame finds no
// back buffer, so the program saves and ends as after a window close.
void Rebuilt(bool ok, const char* part) {
    if (!ok) LogMsg("Unable to re-create the %s\n", part);
}

void Deactivate() {
    Input::SetAcquired(false);
    // Closing the output stops the audio library's thread, so a game in the background never wakes.
    Sound::Suspend();
    // Fullscreen hands the desktop back; a window simply stays where it is.
    if (g_fullscreen && Platform::MainWindow()) SDL_MinimizeWindow(Platform::MainWindow());
}

void Activate() {
    Renderer::Surfaces().ReleaseAll();
    Text::ForgetVolatile();
    Animation::ReleaseAll();
    if (SDL_Window* w = Platform::MainWindow()) SDL_RaiseWindow(w);
    Graphics::RestoreAllSurfaces();
    Rebuilt(Renderer::Init(kWidth, kHeight, g_Settings), "renderer");
    Rebuilt(Animation::LoadAll(), "animations");
    Input::SetAcquired(true);
    ReenterActiveScene();
    Sound::Resume();
    Sound::RestartMusic();
}

void SwitchDisplayMode() {
    NotePlacement();
    Renderer::Surfaces().ReleaseAll();
    Text::ForgetVolatile();
    Animation::ReleaseAll();
    Input::Shutdown();
    Graphics::Shutdown();
    Platform::DestroyMainWindow();
    g_fullscreen = Stored("fullscreen", g_fullscreen);
    if (!CreateWindow()) return;
    Rebuilt(Graphics::Init(kWidth, kHeight, kDepth, g_fullscreen != 0, Platform::MainWindow()), "display");
    Rebuilt(Renderer::Init(kWidth, kHeight, g_Settings), "renderer");
    Rebuilt(Animation::LoadAll(), "animations");
    Rebuilt(Input::Init(g_fullscreen != 0), "input");
    ReenterActiveScene();
}

void HandleWindowEvent(const SDL_WindowEvent& e) {
    // A window destroyed by a mode switch leaves its last events (focus lost, hidden) in the queue;
    // they are not about the window the game now has.
    if (e.windowID != Platform::MainWindowId()) return;
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
        // No frame may come for a while (inactive): show the kept picture again at once.
        Platform::Repaint();
        if (e.event == SDL_WINDOWEVENT_RESTORED) NotePlacement();
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_MAXIMIZED:
        NotePlacement();
        Platform::Repaint();
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
        // Ctrl+C, SIGTERM, SIGHUP and the last window's close all arrive here; one that comes
        // while a mode switch is pending still ends the program (the switch makes no quit event
        // of its own).
        g_quit = true;
        g_exitCode = 0;
        break;
    case SDL_WINDOWEVENT:
        HandleWindowEvent(e.window);
        break;
    case SDL_AUDIODEVICEADDED:
    case SDL_AUDIODEVICEREMOVED:
        // A headset unplugged, a sound server restarted, a device plugged in.
        if (!e.adevice.iscapture) Sound::DeviceChanged(e.type == SDL_AUDIODEVICEREMOVED);
        break;
    default:
        Input::HandleEvent(e);
        break;
    }
}

// The options at exit, as one replacement of the store: a kill part-way leaves the old options or
// the new ones. A high-score table whose save failed earlier is tried once more.
void SaveAtExit() {
    g_Settings.Key().Begin();
    g_Settings.WriteDword(Sound::GetSoundVolume(), "SoundVolume");
    g_Settings.WriteDword(Sound::GetMusicVolume(), "MusicVolume");
    g_Settings.WriteDword(Graphics::Fullscreen() ? 1 : 0, "fullscreen");
    NotePlacement();
    WritePlacement();
    // The store says why a save failed (its own log line); these say what was lost.
    if (!g_Settings.Key().Commit()) LogMsg("The settings were not saved at exit\n");
    if (!HighScores::SaveUnsaved()) LogMsg("The high scores were not saved at exit\n");
}

std::string g_archive; // the archive start-up mounted

// The first of `names` the file layer cannot load, or "" when all load.
std::string FirstMissing(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        uint8_t* buf = FileLayer::Load(name);
        if (!buf) return name;
        FileLayer::Free(buf);
    }
    return {};
}

// A start-up step found the game's content missing or damaged: say what, where the game looked
// and what to do, on stderr, in the log and in a message box, rather than leave a window that
// flashes or stays black.
void StartupFailure(const std::string& what) {
    std::string archive = g_archive;
    if (!archive.empty() && archive[0] != '/') archive = g_workingDirectory + archive;
    const std::string text =
        "Parlorix cannot start: " + what + " is missing or damaged.\n" + "It looked in the folder '" +
        g_workingDirectory + "Data' and in the archive '" + archive + "'" +
        (Platform::FileExists(archive) ? "" : " (not found)") + ".\n" +
        "Reinstall the package, or rebuild the game's content (the build writes Data and " + "game.dat).\n";
    // The log echoes to stderr; without a log file, stderr alone.
    if (Log::Path().empty())
        std::fputs(text.c_str(), stderr);
    else
        LogMsg("%s", text.c_str());
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Parlorix cannot start", text.c_str(),
                                 Platform::MainWindow()) != 0)
        LogMsg("Message box not shown: %s\n", SDL_GetError());
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

bool QuitRequested() {
    return g_quit;
}
int ExitCode() {
    return g_exitCode;
}

void DispatchEvents() {
    SDL_Event e;
    while (SDL_PollEvent(&e))
        Dispatch(e);
}

bool StartUp(StartOptions options) {
    g_quit = false;
    g_exitCode = 0;
    g_active = true;
    g_hasArea = true;
    g_modeSwitch = false;
    g_initialised = false;
    ResetFrameState();
    Platform::KeepLargeBlocksForReuse();

    // 1. One copy at a time.
    static Platform::InstanceLock instance;
    if (options.instanceLock && !instance.Acquire("Selvane running", Platform::RegistryRoot())) return false;

    // 2. The user's options.
    const bool keyOpen = g_Settings.OpenKey(kOptionsKey);

    // 3. Working directory, log, archive.
    // Found from the executable, never from the current folder.
    Platform::GameLocation at{Platform::CurrentDirectory(), "game.dat", "Game.ini", false};
    bool entered = true;
    if (options.locate) {
        at = Platform::LocateGame(Platform::ExecutableDirectory());
        entered = Platform::SetCurrentDirectory(at.workDir);
    }
    g_archive = at.archive;
    g_workingDirectory = Platform::CurrentDirectory() + "/";
    Log::Start(options.logDirectory.empty() ? g_workingDirectory : options.logDirectory);
    if (!entered) LogMsg("Unable to enter the game folder '%s'\n", at.workDir.c_str());
    if (!keyOpen) LogMsg("Unable to open registry key '%s'\n", kOptionsKey);
    FileLayer::Mount(at.archive.c_str(), "", 3);
    // The settings file is optional; without it `bVerticalRetrace` stays false.
    if (options.settingsFile && Platform::FileExists(at.settings) && !g_Settings.Load(at.settings.c_str()))
        LogMsg("Unable to read settings file '%s'\n", at.settings.c_str());

    // 4.-7. Window in the stored mode.
    g_fullscreen = Stored("fullscreen") ? 1 : 0;
    Platform::PreferSessionVideoDriver();
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        LogMsg("Unable to initialize SDL: %s\n", SDL_GetError());
        return false;
    }
    LogMsg("Video driver: %s\n", SDL_GetCurrentVideoDriver());
    // Kept up on its own, so device arrivals are reported even while the game runs silent.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) LogMsg("Audio: %s\n", SDL_GetError());
    ConnectModules();
    // A closed terminal or a session logout (SIGHUP) saves and ends like SIGTERM, whose handler
    // SDL has just installed: it turns the signal into a quit event.
    struct sigaction hup = {};
    hup.sa_handler = [](int) { ::kill(::getpid(), SIGTERM); };
    sigemptyset(&hup.sa_mask);
    ::sigaction(SIGHUP, &hup, nullptr);
    ReadPlacement();
    if (options.window) {
        SDL_DisableScreenSaver(); // keep display and system awake
        if (!CreateWindow()) return false;
        SetCursor();
    }

    // 8. Display, input, renderer, library, animations, sound. (No 10 ms system timer: nothing
    // reads its count, and it would wake the process a hundred times a second.)
    if (!Graphics::Init(kWidth, kHeight, kDepth, g_fullscreen != 0, Platform::MainWindow())) return false;
    if (!Input::Init(g_fullscreen != 0)) return false;
    // The loop looks at controllers itself (Input::UpdateDevices): SDL's pump would ask the
    // system for new devices on every pass.
    SDL_SetHint(SDL_HINT_AUTO_UPDATE_JOYSTICKS, "0");
    if (!Renderer::Init(kWidth, kHeight, g_Settings)) {
        StartupFailure("the font '" + std::string(Renderer::kDefaultFontPath) + "'");
        return false;
    }
    if (!Library::Init(g_workingDirectory)) {
        std::string missing =
            FirstMissing({"Data\\Library\\Element\\library.ini", "Data\\Library\\Background\\library.ini",
                          "Data\\Library\\Light\\library.ini", "Data\\Library\\Item\\library.ini",
                          "Data\\Library\\AniGifs\\library.ini"});
        StartupFailure(missing.empty() ? std::string("the object library")
                                       : "the object library file '" + missing + "'");
        return false;
    }
    Animation::SetWorkingDirectory(g_workingDirectory.c_str());
    if (!Animation::LoadAll()) return false;
    // Without a sound device the game goes on silent; the server logs why.
    if (!Sound::Start(std::move(options.sound))) LogMsg("Sound Server: not started\n");

    // 9.-11.
    SetShowFps(Stored("bShowFPS") != 0);
    g_TextTable.Load();
    Language::ChooseAtStartUp();
    HighScores::Load();
    g_initialised = true;

    // 12. Fonts.
    if (!LoadFonts()) {
        const std::string font = FirstMissing({kMainFontPath, kMenuFontPath});
        StartupFailure(font.empty() ? std::string("a font of 'Data\\Library\\Font'")
                                    : "the font '" + font + "'");
        g_exitCode = -1;
        return false;
    }

    // 13.-15. Scenes, callbacks and menus. Without the scene file, or without its title scene,
    // there is nothing to show: the program ends with the reason instead of a black window.
    if (!LoadSceneFile(kSceneFile) || !GetCurrentEpisode() ||
        !GetCurrentEpisode()->FindScene(SceneName::kTitle)) {
        StartupFailure("the scene file '" + std::string(kSceneFile) + "'");
        return false;
    }
    Game::RegisterScreens();
    Menu::MeasureMenus();
    // The unfinished games kept from the last run, offered on the title.
    Game::FindSavedGames(options.savedGamesFolder.empty() ? Platform::DataDirectory()
                                                          : options.savedGamesFolder);

    // 16.-17.
    Game::SeedRandom(Platform::TimeMs());
    SwitchScene(SceneName::kEpisode, SceneName::kTitle);
    return true;
}

void RunLoop() {
    bool pumped = false; // the idle wait left the window's events in the queue already
    while (!g_quit) {
        // One pump a pass: each pump reads the window system's connection several times over.
        if (!pumped) SDL_PumpEvents();
        pumped = false;
        Input::UpdateDevices();
        SDL_Event e;
        while (!g_quit && SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0)
            Dispatch(e);
        if (g_quit) break;
        if (!g_active || !g_hasArea) {
            if (SDL_WaitEvent(&e)) Dispatch(e);
            continue;
        }
        if (g_modeSwitch) {
            SwitchDisplayMode();
            g_modeSwitch = false;
        }
        SetCursor();
        if (!Frame()) {
            g_quit = true;
        } else if (!LastFramePresented() && g_Settings.GetBool("bVerticalRetrace", "Renderer")) {
            // Nothing new to show: sleep until the next refresh, or less when input comes.
            pumped = Platform::WaitForNextRefresh();
        }
    }
}

int ShutDown(bool processEnds) {
    // A game in play or paused is kept for the next start, while its scene still holds its items.
    Game::SaveUnfinishedGame();
    SaveAtExit();
    // The board's items hold scene objects: they go before the episodes do.
    Game::g_Board.ClearBoard();
    Input::Shutdown();
    Animation::SetFrozen(false);
    Animation::ReleaseAll();
    Renderer::ReleaseSurfaces();
    Text::ForgetVolatile();
    ReleaseAllEpisodes();
    Graphics::Shutdown();
    Library::Release(Animation::SaveLibrary());
    Sound::Shutdown(processEnds);
    Platform::DestroyMainWindow();

    // What the screens remember, so that a new start-up in this process begins afresh.
    Menu::Reset();
    g_TextTable.Clear();
    HighScores::Reset();
    Frontend::ResetState();
    Game::ResetScreens();
    g_initialised = false;
    if (processEnds)
        SDL_QuitSubSystem(SDL_WasInit(0) & ~SDL_INIT_AUDIO); // closing the audio waits a buffer out
    else
        SDL_Quit();
    return g_exitCode;
}

int Run() {
    if (!StartUp()) return ExitCode();
    RunLoop();
    return ShutDown(true);
}

} // namespace App
