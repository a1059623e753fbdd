#pragma once
#include <string>

#include "game/SavedGame.h"

// An unfinished game outlives the program: when the program ends while a game is in play or
// paused, the game is written to its mode's file in the per-user data folder; at the next start
// the title offers to continue it, and it comes back paused with the PauseMenu up. A game that
// starts afresh or ends (game over, main menu) takes its saved game with it.
namespace Game {

// The file `path` replaced atomically by the saved game (the old file or the new one, never a part).
[[nodiscard]] bool WriteSavedGame(const std::string& path, const SavedGame& game, std::string& error);

// Start-up, before the title: reads the saved games of the four modes in `folder`. A damaged
// file or one of an unknown version is logged and set aside as "*.corrupt", never offered.
void FindSavedGames(const std::string& folder);
// The game the title's Continue line brings back (the most recently saved one); false when none.
[[nodiscard]] bool SavedGameOffered(GameMode& mode);
// The title's Continue: the offered game on its scene, paused. False when nothing was offered.
[[nodiscard]] bool ContinueSavedGame();
// Shut-down: the game in play or paused (PauseMenu, or a screen opened from it) goes to its
// mode's file. Nothing is written when no game is on.
void SaveUnfinishedGame();
// A game of `mode` starts afresh or ends: its saved game goes, on disk and on the title.
void DiscardSavedGame(GameMode mode);

} // namespace Game
