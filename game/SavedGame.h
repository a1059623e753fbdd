#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "game/GameBoard.h"

// An unfinished game kept across runs of the program: the board's whole state, so that the rest
// of the game is the same game (the random generator included). Times are kept relative to the
// board's frame clock and put back relative to the clock of the frame that restores them.
//
// The model only makes and reads the text and its files; the program writes them atomically
// (`WriteSavedGame`, with the screens), which needs the platform layer.
//
// The text form is line based: a header with the format version, one line per value, one line
// per item, and a closing line with a checksum of everything before it, so a damaged or cut file
// is refused instead of being half restored.
namespace Game {

inline constexpr int32_t kSavedGameVersion = 1;

struct SavedItem {
    uint32_t slot = 0; // table entry: the table order decides ties in the rules
    BoardItem item;    // object not used; times relative to the frame clock
    int64_t moveStart = 0, activationTime = 0;
    float posX = 0.0f, posY = 0.0f; // where its scene object stood
    std::string lastEvent;          // an animation event not read yet
};

struct SavedGame {
    GameMode mode = GameMode::Lines;
    int32_t colours = 4, level = 1, score = 0, spawnCountdown = 20;
    bool dealFlag = false;
    ScorePopup popups[GameBoard::PopupCount];
    int64_t popupTimes[GameBoard::PopupCount] = {};
    int32_t spawnX = 0, spawnY = 0;
    int64_t nextSpawnTime = 0, levelUpTime = 0;
    int32_t lastColour = -1;
    bool clockSoundFlag = false;
    int32_t moveTime = 400;
    int32_t selectedSlot = -1;
    bool boardClearArmed = false, alertFlag = false;
    int32_t stuckCounter = 0, nonBrickCount = 0, emptyCount = 0, currentColour = 0;
    bool spawnEnabled = true;
    uint32_t randomState = 1;
    std::vector<SavedItem> items;
};

// The board's game as it stands after its last tick (objects asked through the board's seam)
// and the random generator's state.
SavedGame CaptureGame(GameBoard& board);
// Replaces whatever the board holds with the saved game: the items get new scene objects through
// the board's seam at their saved positions, playing their state's action; `now` is the clock
// the saved times are put back against. Seeds the random generator with the saved state.
void RestoreGame(GameBoard& board, const SavedGame& game, uint32_t now);

std::string FormatSavedGame(const SavedGame& game);
// False with the reason in `error` for anything but a whole, consistent file of this version;
// `game` is left as it was then.
[[nodiscard]] bool ParseSavedGame(const std::string& text, SavedGame& game, std::string& error);

enum class SavedGameFile { Missing, Loaded, Damaged };
// Missing when there is no file; Damaged (the reason in `error`) when it cannot be read or is
// refused by ParseSavedGame.
SavedGameFile ReadSavedGame(const std::string& path, SavedGame& game, std::string& error);
// A refused file is kept beside as "<path>.corrupt" (replacing an older one), never offered
// again and never lost. False with the reason when it cannot be renamed.
[[nodiscard]] bool SetAsideDamaged(const std::string& path, std::string& error);

// A saved game's file for each mode, in the per-user data folder `folder` ("lines.save", ...).
std::string SavedGamePath(const std::string& folder, GameMode mode);

} // namespace Game
