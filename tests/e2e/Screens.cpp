#include "e2e/Screens.h"

#include "e2e/Harness.h"

#include <sstream>

namespace E2e {

namespace {

bool IsMenuText(const Rgb& c) {
    return IsMenuGreen(c) || IsMenuYellow(c);
}
bool IsLabel(const Rgb& c) {
    return IsWhite(c) || IsMenuYellow(c);
}

// Appends to `why` when the count of `pred` pixels in `box` is not within [low, high].
void Expect(std::string& why, const Bitmap& shot, const char* what, const Box& box, bool (*pred)(const Rgb&),
            int low, int high) {
    int n = Count(shot, box, pred);
    if (n < low || n > high) {
        std::ostringstream s;
        s << what << ": " << n << " pixels in (" << box.left << "," << box.top << ")-(" << box.right << ","
          << box.bottom << "), expected " << low << ".." << high << "; ";
        why += s.str();
    }
}

constexpr int kMany = 1 << 30;
// A menu of five items has thousands of text pixels; yellow bricks bring a few dozen each.
constexpr int kNone = 300;
// Where the automatically placed menus of the title and of the game panels stand.
constexpr Box kMainMenu{300, 220, 500, 420};
constexpr Box kPanelMenu{300, 190, 500, 390};
// "Lines" and "Swaps" beside their previews on the game selection; the middle of the screen there
// is empty.
constexpr Box kLinesLabel{60, 358, 200, 392};
constexpr Box kSwapsLabel{440, 358, 600, 392};
constexpr Box kSelectionMiddle{330, 225, 470, 300};
// The Hud: the game's title and the pause button.
constexpr Box kHudTitle{610, 135, 770, 165};
constexpr Box kPauseButton{620, 405, 757, 459};

} // namespace

std::string CheckTitle(const Bitmap& shot) {
    std::string why;
    Expect(why, shot, "main menu", kMainMenu, IsMenuText, 1500, kMany);
    Expect(why, shot, "no game labels", kSwapsLabel, IsMenuText, 0, kNone);
    Expect(why, shot, "version and title line", {0, 570, 800, 600}, IsWhite, 150, kMany);
    return why;
}

std::string CheckGameSelection(const Bitmap& shot) {
    std::string why;
    Expect(why, shot, "Lines label", kLinesLabel, IsMenuText, 150, kMany);
    Expect(why, shot, "Swaps label", kSwapsLabel, IsMenuText, 150, kMany);
    Expect(why, shot, "Back", {330, 500, 470, 545}, IsMenuText, 150, kMany);
    Expect(why, shot, "no main menu", kSelectionMiddle, IsMenuText, 0, kNone);
    return why;
}

std::string CheckBoardWithPanel(const Bitmap& shot) {
    std::string why;
    Expect(why, shot, "panel menu", kPanelMenu, IsMenuText, 1500, kMany);
    Expect(why, shot, "game title in the Hud", kHudTitle, IsWhite, 100, kMany);
    return why;
}

std::string CheckPlaying(const Bitmap& shot) {
    std::string why;
    Expect(why, shot, "no panel menu", kPanelMenu, IsMenuText, 0, kNone);
    Expect(why, shot, "game title in the Hud", kHudTitle, IsWhite, 100, kMany);
    Rgb button = Mean(shot, kPauseButton);
    if (button.b < button.r + 40) {
        std::ostringstream s;
        s << "pause button not shown (mean " << button.r << "," << button.g << "," << button.b << "); ";
        why += s.str();
    }
    return why;
}

std::string CheckOptions(const Bitmap& shot) {
    std::string why;
    Expect(why, shot, "volume and full-screen labels", {175, 205, 440, 345}, IsLabel, 800, kMany);
    Expect(why, shot, "sound -", {470, 262, 510, 292}, IsMenuText, 6, kMany);
    Expect(why, shot, "sound +", {570, 262, 610, 292}, IsMenuText, 12, kMany);
    Expect(why, shot, "Save and exit", {250, 510, 550, 550}, IsMenuText, 300, kMany);
    Expect(why, shot, "no main menu", {330, 380, 470, 420}, IsMenuText, 0, kNone);
    return why;
}

std::string CheckHighScores(const Bitmap& shot) {
    std::string why;
    Expect(why, shot, "game tabs", {150, 180, 650, 210}, IsMenuText, 300, kMany);
    Expect(why, shot, "Back", {330, 520, 470, 565}, IsMenuText, 150, kMany);
    Expect(why, shot, "no main menu", kSelectionMiddle, IsMenuText, 0, kNone);
    return why;
}

} // namespace E2e
