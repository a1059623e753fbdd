#pragma once
#include <cstdint>
#include <string>

#include "scene/Level.h"

struct SDL_Surface;

// The panels that slide in over the board while a game is on (StartPanel, PauseMenu,
// ResultScreen and, in Groups, BoardClearedScreen). A game never leaves its scene: the panels
// swap the game scene's update and overlay callbacks with the running game's.
namespace Game {

enum class GameMode : int32_t;

// Where a panel stands. The values are those the panels always had (tests and logs compare them).
enum class PanelPhase : int32_t {
    Entering = -1, // the next update sets the panel up
    SlidingIn = 0,
    Shown = 1,
    SlidingOut = 2,
    NameEntry = 3,    // ResultScreen only
    GameOverMenu = 4, // ResultScreen only
};

struct PanelState {
    PanelPhase phase = PanelPhase::Entering;
    uint32_t t0 = 0;
};

struct ScreenState {
    PanelState start, pause, result, cleared;
    uint32_t pauseStart = 0;
    // "startGame", or "startGame2" once a score has been entered.
    std::string startMenu = "startGame";
    // The player's name being typed on the ResultScreen.
    char16_t playerName[16] = {};
    int32_t playerNameLength = 0;
    // A game is on: in play, or paused (PauseMenu, BoardClearedScreen, or a screen opened from
    // them). What the program keeps when it ends.
    bool playing = false;
};
ScreenState& Screens();
// Back to the start values (tests).
void ResetScreens();

inline constexpr uint32_t kSlideMs = 500;
inline constexpr int32_t kMaxNameLength = 15;

// Table index, high-score scene and high-score page of a game mode.
int32_t ScoreTableOf(GameMode mode);
const char* ScoreSceneOf(GameMode mode);
int32_t ScorePageOf(GameMode mode);
// The help page that describes a game mode.
int32_t HelpPageOf(GameMode mode);

// A pressed character on the name-entry panel: 7 removes the last character, 8 and "%" are
// ignored, other control characters too; anything else is appended while the name is shorter
// than 15 characters. Returns whether the name changed.
bool ApplyNameCharacter(char16_t* name, int32_t& length, char16_t c);
// The name stored as "Player" in the settings store, cut to 15 characters.
void LoadPlayerName();
void StorePlayerName();

// ---- Callbacks ----------------------------------------------------------------------------------
// The running game: GameTick of the board with the frame's scene, and the Hud overlay.
void GameUpdate(uint32_t elapsedMs, FrameRecord* frame);
void StartPanelUpdate(uint32_t elapsedMs, FrameRecord* frame);
void StartPanelOverlay(SDL_Surface* surface);
void PauseMenuUpdate(uint32_t elapsedMs, FrameRecord* frame);
void PauseMenuOverlay(SDL_Surface* surface);
void ResultScreenUpdate(uint32_t elapsedMs, FrameRecord* frame);
void ResultScreenOverlay(SDL_Surface* surface);
void BoardClearedUpdate(uint32_t elapsedMs, FrameRecord* frame);
void BoardClearedOverlay(SDL_Surface* surface);

// Opened from GameTick: phase Entering and the panel's callbacks on the active scene.
void OpenPauseMenu();
void OpenResultScreen();
void OpenBoardClearedScreen();

// Whether a game is on (ScreenState::playing).
bool GameInProgress();
// A restored game's first frame: the PauseMenu entering on `scene`, which becomes the active one.
void ShowPausedOn(const char* scene);

// The game selection's set-up: start phase Entering and the StartPanel on both game scenes.
void PrepareGameScenes();

// Start-up: creates the previews and registers every scene callback together with the menus,
// scene by scene. Call once, after the scene file, the text table and the fonts are loaded, with
// the board already on its real seam (`App::ConnectModules`).
void RegisterScreens();

} // namespace Game
