#pragma once
// What each screen must show in a screenshot, as pixel counts in the places where the screen draws
// its menus and texts. Each check returns an empty string when the shot fits, or what is wrong.
#include "picture/Bitmap.h"

#include <string>

namespace E2e {

std::string CheckTitle(const Bitmap& shot);
std::string CheckGameSelection(const Bitmap& shot);
// The Lines board with the StartPanel or the PauseMenu over it.
std::string CheckBoardWithPanel(const Bitmap& shot);
// The Lines board in play: no panel, the pause button shown.
std::string CheckPlaying(const Bitmap& shot);
std::string CheckOptions(const Bitmap& shot);
std::string CheckHighScores(const Bitmap& shot);

} // namespace E2e
