#include "screens/Screens.h"

#include <algorithm>
#include <cstring>

#include "core/Config.h"
#include "core/Log.h"
#include "core/Utf8.h"
#include "game/GameBoard.h"
#include "gfx/Animation.h"
#include "gfx/Graphics.h"
#include "gfx/Renderer.h"
#include "input/Input.h"
#include "platform/Clock.h"
#include "screens/Hud.h"
#include "screens/Preview.h"
#include "screens/RealSeam.h"
#include "screens/Resume.h"
#include "sound/SoundServer.h"
#include "ui/Font.h"
#include "ui/Frontend.h"
#include "ui/HighScores.h"
#include "ui/Menu.h"
#include "ui/MenuIds.h"
#include "ui/SceneNames.h"
#include "ui/TextCache.h"
#include "ui/TextTable.h"

namespace Game {
namespace {

ScreenState g_state;

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kCyan = 0xFF00FFFF;

uint32_t Now() {
    return Platform::TimeMs();
}

// Polling the empty menu empties the current one: the next screen starts with nothing lit.
void PollEmpty() {
    Menu::Poll("", Menu::kEventFromQueue);
}

const char16_t* Txt(const char* key) {
    return g_TextTable.GetText(key);
}

// Common entering step of every panel.
void Enter(PanelState& panel) {
    PollEmpty();
    panel.phase = PanelPhase::SlidingIn;
    Animation::SetFrozen(true);
    panel.t0 = Now();
    Sound::PauseAllChannels();
}

void SlideIn(PanelState& panel) {
    if (panel.phase == PanelPhase::SlidingIn && Now() > panel.t0 + kSlideMs) panel.phase = PanelPhase::Shown;
}

bool SlideOutDone(const PanelState& panel) {
    return Now() > panel.t0 + kSlideMs;
}

void StartSlideOut(PanelState& panel) {
    panel.phase = PanelPhase::SlidingOut;
    panel.t0 = Now();
    PollEmpty();
}

void ResumePlay(PanelState& panel) {
    Animation::SetFrozen(false);
    Frontend::InstallOnActive(&GameUpdate, &HudOverlay);
    panel.phase = PanelPhase::Entering;
    g_state.playing = true;
}

enum class Away { Help, Options, Scores };

GameMode CurrentMode();

// The panel stays installed with its phase, so coming back shows it again.
void LeaveTo(Away where) {
    PollEmpty();
    Animation::SetFrozen(false);
    Frontend::State& screen = Frontend::Screen();
    const std::string here = Frontend::ActiveSceneName();
    switch (where) {
    case Away::Help:
        screen.helpReturn = here;
        // Help opened from a game starts on that game's own page.
        screen.helpPage = HelpPageOf(CurrentMode());
        Frontend::SwitchTo(SceneName::kHelp);
        break;
    case Away::Options:
        screen.optionsReturn = here;
        Frontend::SwitchTo(SceneName::kOptions);
        break;
    case Away::Scores:
        screen.scoresReturn = here;
        Frontend::SwitchTo(SceneName::kScores[0]);
        break;
    }
}

void LeaveToMainMenu(PanelState& panel) {
    PollEmpty();
    Animation::SetFrozen(false);
    Sound::StopAllSamples();
    panel.phase = PanelPhase::Entering;
    // Leaving for the main menu ends the game, saved or not.
    g_state.playing = false;
    DiscardSavedGame(g_Board.mode);
    // The items' objects live on the game scene, which is still the active one.
    TheRealSeam().SetLevel(nullptr);
    g_Board.ClearBoard();
    Frontend::SwitchTo(SceneName::kTitle);
}

// The panel picture: grows out to the left from x 559 while sliding, whole when shown.
void DrawPanelPicture(SDL_Surface* surface, const PanelState& panel) {
    SDL_Surface* picture = Renderer::GetPicture("new menu");
    if (!picture || !surface) return;
    if (panel.phase == PanelPhase::SlidingIn || panel.phase == PanelPhase::SlidingOut) {
        const int64_t elapsed = static_cast<uint32_t>(Now() - panel.t0);
        int64_t w = elapsed * 350 / 500;
        if (panel.phase == PanelPhase::SlidingOut) w = 350 - w;
        w = std::clamp<int64_t>(w, 0, 350);
        const Graphics::Rect strip{350, 0, 380, 293};
        Graphics::Blit(surface, 559, 140, picture, &strip, true);
        const Graphics::Rect part{0, 0, static_cast<int32_t>(w), 293};
        if (w > 0) Graphics::Blit(surface, 559 - static_cast<int32_t>(w), 140, picture, &part, true);
    } else if (panel.phase != PanelPhase::Entering) {
        Graphics::Blit(surface, 209, 140, picture, nullptr, true);
    }
}

// Below the four items of the game-over menu, inside the panel.
constexpr int32_t kGameOverScoreY = 385;

// "Your score: N" (the text's "%d" takes the score).
void DrawScoreLine(SDL_Surface* surface, int32_t y) {
    const char16_t* format = Txt("Menu_EnterName1");
    if (!format) return;
    const std::u16string line = Text::SubstituteInt(format, g_Board.score);
    Text::DrawTextDirect(surface, g_MainFont, 24, Text::kCentre, 400, y, kWhite, line.c_str());
}

bool Shown(const PanelState& panel) {
    return panel.phase == PanelPhase::Shown || panel.phase == PanelPhase::NameEntry ||
           panel.phase == PanelPhase::GameOverMenu;
}

void CurrentMenuEnabled(const char* menu, bool enabled) {
    if (std::strcmp(Menu::CurrentName(), menu) != 0) return;
    for (MenuItem& item : Menu::Current())
        item.enabled = enabled ? 1 : 0;
}

GameMode CurrentMode() {
    return g_Board.mode;
}

} // namespace

ScreenState& Screens() {
    return g_state;
}

void ResetScreens() {
    g_state = ScreenState();
}

uint32_t ResultScore() {
    return g_Board.score > 0 ? static_cast<uint32_t>(g_Board.score) : 0;
}

int32_t ScoreTableOf(GameMode mode) {
    return static_cast<int32_t>(mode);
}

const char* ScoreSceneOf(GameMode mode) {
    return SceneName::kScores[ScorePageOf(mode)];
}

int32_t HelpPageOf(GameMode mode) {
    switch (mode) {
    case GameMode::Squares:
        return 1;
    case GameMode::Swaps:
        return 2;
    case GameMode::Groups:
        return 3;
    default:
        return 0;
    }
}

int32_t ScorePageOf(GameMode mode) {
    switch (mode) {
    case GameMode::Groups:
        return 3;
    case GameMode::Squares:
        return 1;
    case GameMode::Swaps:
        return 2;
    default:
        return 0;
    }
}

bool ApplyNameCharacter(char16_t* name, int32_t& length, char16_t c) {
    const char16_t ch = c;
    if (ch == 0) return false;
    if (ch == 7) {
        if (length <= 0) return false;
        name[--length] = 0;
        return true;
    }
    // Tab, "%" and the other control characters never enter the name.
    if (ch == 8 || ch == u'%' || ch < 32 || ch == 127) return false;
    // A name shows in the menu font: a character it has no glyph for would be an empty box.
    if (g_MenuFont.IsLoaded() && !g_MenuFont.HasGlyph(ch)) return false;
    if (length >= kMaxNameLength) return false;
    name[length++] = ch;
    name[length] = 0;
    return true;
}

void LoadPlayerName() {
    char stored[64] = {};
    // None stored yet: the name starts empty.
    if (!g_Settings.ReadString(stored, sizeof stored, "Player")) stored[0] = '\0';
    std::fill(std::begin(g_state.playerName), std::end(g_state.playerName), u'\0');
    // UTF-8 since names take any letter; older stores hold one byte per character.
    const std::u16string name = Utf8::StoredToUtf16(stored);
    int32_t length = 0;
    while (length < kMaxNameLength && static_cast<size_t>(length) < name.size()) {
        g_state.playerName[length] = name[static_cast<size_t>(length)];
        ++length;
    }
    g_state.playerNameLength = length;
}

void StorePlayerName() {
    const std::string utf8 =
        Utf8::FromUtf16(g_state.playerName, static_cast<size_t>(std::max(g_state.playerNameLength, 0)));
    g_Settings.WriteString(utf8.c_str(), "Player");
}

// ---- Running game -----------------------------------------------------------------------------

void GameUpdate(uint32_t elapsedMs, FrameRecord* frame) {
    TheRealSeam().SetLevel(frame ? frame->scene : nullptr);
    g_Board.GameTick(elapsedMs);
}

void OpenPauseMenu() {
    g_state.pause.phase = PanelPhase::Entering;
    Frontend::InstallOnActive(&PauseMenuUpdate, &PauseMenuOverlay);
}

void OpenResultScreen() {
    // The game is over: nothing left to continue.
    g_state.playing = false;
    DiscardSavedGame(g_Board.mode);
    g_state.result.phase = PanelPhase::Entering;
    Frontend::InstallOnActive(&ResultScreenUpdate, &ResultScreenOverlay);
}

void OpenBoardClearedScreen() {
    g_state.cleared.phase = PanelPhase::Entering;
    Frontend::InstallOnActive(&BoardClearedUpdate, &BoardClearedOverlay);
}

bool GameInProgress() {
    return g_state.playing;
}

void ShowPausedOn(const char* scene) {
    PollEmpty();
    const Frontend::SceneHost& host = Frontend::Host();
    host.setUpdate(scene, &PauseMenuUpdate);
    host.setOverlay(scene, &PauseMenuOverlay);
    g_state.pause.phase = PanelPhase::Entering;
    g_state.playing = true;
    Frontend::SwitchTo(scene);
}

void PrepareGameScenes() {
    g_state.start.phase = PanelPhase::Entering;
    const Frontend::SceneHost& host = Frontend::Host();
    for (const char* scene : {SceneName::kBoard, SceneName::kGroupsBoard}) {
        host.setUpdate(scene, &StartPanelUpdate);
        host.setOverlay(scene, &StartPanelOverlay);
    }
}

// ---- StartPanel -------------------------------------------------------------------------------

void StartPanelUpdate(uint32_t, FrameRecord*) {
    PanelState& panel = g_state.start;
    if (panel.phase == PanelPhase::Entering) Enter(panel);
    switch (panel.phase) {
    case PanelPhase::SlidingIn:
        SlideIn(panel);
        break;
    case PanelPhase::Shown: {
        const std::string menu = g_state.startMenu;
        switch (Menu::Poll(menu.c_str(), Menu::kEventFromQueue)) {
        case MenuId::Start::Play:
            PollEmpty();
            panel.phase = PanelPhase::SlidingOut;
            panel.t0 = Now();
            g_state.startMenu = "startGame";
            break;
        case MenuId::Start::Help:
            LeaveTo(Away::Help);
            break;
        case MenuId::Start::Options:
            LeaveTo(Away::Options);
            break;
        case MenuId::Start::Scores:
            LeaveTo(Away::Scores);
            break;
        case MenuId::Start::MainMenu:
            LeaveToMainMenu(panel);
            g_state.startMenu = "startGame";
            break;
        default:
            break;
        }
        break;
    }
    case PanelPhase::SlidingOut:
        if (SlideOutDone(panel)) ResumePlay(panel);
        break;
    default:
        break;
    }
}

void StartPanelOverlay(SDL_Surface* surface) {
    HudOverlay(surface);
    DrawPanelPicture(surface, g_state.start);
    Menu::Draw(surface);
}

// ---- PauseMenu --------------------------------------------------------------------------------

void PauseMenuUpdate(uint32_t, FrameRecord*) {
    PanelState& panel = g_state.pause;
    if (panel.phase == PanelPhase::Entering) {
        Enter(panel);
        g_state.pauseStart = panel.t0;
    }
    switch (panel.phase) {
    case PanelPhase::SlidingIn:
        SlideIn(panel);
        break;
    case PanelPhase::Shown:
        switch (Menu::Poll("inGame", Menu::kEventFromQueue)) {
        case MenuId::Pause::Resume:
            StartSlideOut(panel);
            break;
        case MenuId::Pause::Restart:
            DiscardSavedGame(CurrentMode());
            g_Board.NewGame(CurrentMode());
            StartSlideOut(panel);
            break;
        case MenuId::Pause::Help:
            LeaveTo(Away::Help);
            break;
        case MenuId::Pause::Options:
            LeaveTo(Away::Options);
            break;
        case MenuId::Pause::MainMenu:
            Frontend::InstallOnActive(&GameUpdate, &HudOverlay);
            LeaveToMainMenu(panel);
            break;
        default:
            break;
        }
        break;
    case PanelPhase::SlidingOut:
        if (SlideOutDone(panel)) {
            ResumePlay(panel);
            // Moves, waits, flights and spawns go on as if no time had passed.
            const uint32_t paused = Now() - g_state.pauseStart;
            g_Board.ShiftTimers(paused);
            Sound::ResumeAllChannels();
        }
        break;
    default:
        break;
    }
}

void PauseMenuOverlay(SDL_Surface* surface) {
    HudOverlay(surface);
    DrawPanelPicture(surface, g_state.pause);
    Menu::Draw(surface);
}

// ---- ResultScreen -----------------------------------------------------------------------------

void ResultScreenUpdate(uint32_t, FrameRecord*) {
    PanelState& panel = g_state.result;
    if (panel.phase == PanelPhase::Entering) {
        Enter(panel);
        LoadPlayerName();
    }
    switch (panel.phase) {
    case PanelPhase::SlidingIn:
        SlideIn(panel);
        break;
    case PanelPhase::Shown:
        panel.phase = HighScores::Qualifies(ScoreTableOf(CurrentMode()), ResultScore())
                          ? PanelPhase::NameEntry
                          : PanelPhase::GameOverMenu;
        break;
    case PanelPhase::NameEntry: {
        const bool hasName = g_state.playerNameLength > 0;
        CurrentMenuEnabled("enterScores", hasName);
        int32_t id = Menu::Poll("enterScores", Menu::kEventFromQueue);
        CurrentMenuEnabled("enterScores", hasName);
        // The menu was only just made current: its items were not disabled in time.
        if (!hasName) id = 0;
        if (id == 0) {
            // What the player's keyboard layout typed, capitals and all, in the order typed.
            for (char16_t c : Input::TypedText())
                ApplyNameCharacter(g_state.playerName, g_state.playerNameLength, c);
            break;
        }
        const GameMode mode = CurrentMode();
        // A failed save is logged by the store and shown on the high-score screen that follows.
        if (!HighScores::Insert(ScoreTableOf(mode), g_state.playerName, ResultScore()))
            LogMsg("High score not saved: %s\n", HighScores::LastSaveError());
        Frontend::Screen().shownTab = ScorePageOf(mode);
        Frontend::InstallOnActive(&StartPanelUpdate, &StartPanelOverlay);
        g_state.startMenu = "startGame2";
        Frontend::Screen().scoresReturn = Frontend::ActiveSceneName();
        Frontend::SwitchTo(ScoreSceneOf(mode));
        g_Board.NewGame(mode);
        Sound::Play("cheers");
        StorePlayerName();
        break;
    }
    case PanelPhase::GameOverMenu:
        switch (Menu::Poll("endGame", Menu::kEventFromQueue)) {
        case MenuId::GameOver::Restart:
            g_Board.NewGame(CurrentMode());
            StartSlideOut(panel);
            break;
        case MenuId::GameOver::Help:
            LeaveTo(Away::Help);
            break;
        case MenuId::GameOver::Options:
            LeaveTo(Away::Options);
            break;
        case MenuId::GameOver::Scores:
            LeaveTo(Away::Scores);
            break;
        case MenuId::GameOver::MainMenu:
            Frontend::InstallOnActive(&GameUpdate, &HudOverlay);
            LeaveToMainMenu(panel);
            break;
        default:
            break;
        }
        break;
    case PanelPhase::SlidingOut:
        if (SlideOutDone(panel)) {
            ResumePlay(panel);
            g_state.start.phase = PanelPhase::Entering;
        }
        break;
    default:
        break;
    }
}

void ResultScreenOverlay(SDL_Surface* surface) {
    const PanelState& panel = g_state.result;
    HudOverlay(surface);
    DrawPanelPicture(surface, panel);
    if (surface && (panel.phase == PanelPhase::Shown || panel.phase == PanelPhase::GameOverMenu)) {
        Text::DrawText(surface, g_MainFont, 30, Text::kCentre, 400, 180, kRed, Txt("Menu_GameOver"));
        // A result that stays out of the table still shows what it was worth, below the menu.
        DrawScoreLine(surface, kGameOverScoreY);
    } else if (surface && panel.phase == PanelPhase::NameEntry) {
        Text::DrawText(surface, g_MainFont, 30, Text::kCentre, 400, 172, kRed, Txt("Menu_GameOver"));
        DrawScoreLine(surface, 220);
        Text::DrawText(surface, g_MainFont, 24, Text::kCentre, 400, 255, kWhite, Txt("Menu_EnterName2"));
        Text::DrawText(surface, g_MainFont, 24, Text::kCentre, 400, 290, kWhite, Txt("Menu_EnterName3"));
        // The typed name is drawn as it stands, never used as a format.
        Text::DrawTextDirect(surface, g_MenuFont, 28, Text::kCentre, 400, 325, kCyan, g_state.playerName);
    }
    Menu::Draw(surface);
}

// ---- BoardClearedScreen -----------------------------------------------------------------------

void BoardClearedUpdate(uint32_t, FrameRecord*) {
    PanelState& panel = g_state.cleared;
    if (panel.phase == PanelPhase::Entering) Enter(panel);
    switch (panel.phase) {
    case PanelPhase::SlidingIn:
        SlideIn(panel);
        break;
    case PanelPhase::Shown:
        if (Menu::Poll("reversiGame", Menu::kEventFromQueue) != 0) panel.phase = PanelPhase::SlidingOut;
        break;
    case PanelPhase::SlidingOut:
        if (SlideOutDone(panel)) {
            ResumePlay(panel);
            // The next board: one colour more, level and score kept.
            const int32_t level = g_Board.level;
            const int32_t score = g_Board.score;
            const int32_t colours = g_Board.colours;
            g_Board.NewGame(GameMode::Groups);
            g_Board.colours = std::min(colours + 1, 6);
            g_Board.level = level;
            g_Board.score = score;
        }
        break;
    default:
        break;
    }
}

void BoardClearedOverlay(SDL_Surface* surface) {
    const PanelState& panel = g_state.cleared;
    HudOverlay(surface);
    DrawPanelPicture(surface, panel);
    if (surface && Shown(panel)) {
        Text::DrawText(surface, g_MenuFont, 30, Text::kCentre, 400, 170, kRed, Txt("Menu_Rev1"));
        const char* const keys[] = {"Menu_Rev2", "Menu_Rev3", "Menu_Rev4", "Menu_Rev5"};
        for (int32_t i = 0; i < 4; ++i)
            Text::DrawText(surface, g_MenuFont, 20, Text::kCentre, 400, 215 + 35 * i, kWhite, Txt(keys[i]));
    }
    Menu::Draw(surface);
}

// ---- Start-up ---------------------------------------------------------------------------------

void RegisterScreens() {
    // The previews exist from program start on; their clocks run from here.
    for (int32_t i = 0; i < kPreviews; ++i)
        Preview(i);

    const Frontend::SceneHost& host = Frontend::Host();
    host.setUpdate(SceneName::kBoard, &StartPanelUpdate);
    host.setOverlay(SceneName::kBoard, &StartPanelOverlay);
    host.setAfterScene(SceneName::kBoard, &TargetMarkers);
    host.setUpdate(SceneName::kGroupsBoard, &StartPanelUpdate);
    host.setOverlay(SceneName::kGroupsBoard, &StartPanelOverlay);
    Frontend::RegisterAll();
    Menu::CreateAllMenus();
}

} // namespace Game
