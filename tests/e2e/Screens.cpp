#include "e2e/Screens.h"

#include "e2e/Harness.h"

#include <initializer_list>
#include <sstream>

namespace E2e {

namespace {

bool IsMenuText(const Rgb& c) {
    return IsMenuGreen(c) || IsMenuYellow(c);
}
bool IsLabel(const Rgb& c) {
    return IsWhite(c) || IsMenuYellow(c);
}

// A count of `pred` pixels in `box` that must be within [low, high].
struct Rule {
    const char* what;
    Box box;
    bool (*pred)(const Rgb&);
    int low, high;
};

// What is wrong with `shot` by `rules`: one "what: n pixels in (box), expected low..high; " each.
std::string Check(const Bitmap& shot, std::initializer_list<Rule> rules) {
    std::ostringstream why;
    for (const Rule& r : rules) {
        const int n = Count(shot, r.box, r.pred);
        if (n < r.low || n > r.high)
            why << r.what << ": " << n << " pixels in (" << r.box.left << "," << r.box.top << ")-("
                << r.box.right << "," << r.box.bottom << "), expected " << r.low << ".." << r.high << "; ";
    }
    return why.str();
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
    return Check(shot, {{"main menu", kMainMenu, IsMenuText, 1500, kMany},
                        {"no game labels", kSwapsLabel, IsMenuText, 0, kNone},
                        {"version and title line", {0, 570, 800, 600}, IsWhite, 150, kMany}});
}

std::string CheckGameSelection(const Bitmap& shot) {
    return Check(shot, {{"Lines label", kLinesLabel, IsMenuText, 150, kMany},
                        {"Swaps label", kSwapsLabel, IsMenuText, 150, kMany},
                        {"Back", {330, 500, 470, 545}, IsMenuText, 150, kMany},
                        {"no main menu", kSelectionMiddle, IsMenuText, 0, kNone}});
}

std::string CheckBoardWithPanel(const Bitmap& shot) {
    return Check(shot, {{"panel menu", kPanelMenu, IsMenuText, 1500, kMany},
                        {"game title in the Hud", kHudTitle, IsWhite, 100, kMany}});
}

std::string CheckPlaying(const Bitmap& shot) {
    std::string why = Check(shot, {{"no panel menu", kPanelMenu, IsMenuText, 0, kNone},
                                   {"game title in the Hud", kHudTitle, IsWhite, 100, kMany}});
    const Rgb button = Mean(shot, kPauseButton);
    if (button.b < button.r + 40)
        why += "pause button not shown (mean " + std::to_string(button.r) + "," + std::to_string(button.g) +
               "," + std::to_string(button.b) + "); ";
    return why;
}

std::string CheckOptions(const Bitmap& shot) {
    return Check(shot, {{"volume and full-screen labels", {175, 205, 440, 345}, IsLabel, 800, kMany},
                        {"sound -", {470, 262, 510, 292}, IsMenuText, 6, kMany},
                        {"sound +", {570, 262, 610, 292}, IsMenuText, 12, kMany},
                        {"Save and exit", {250, 510, 550, 550}, IsMenuText, 300, kMany},
                        {"no main menu", {330, 380, 470, 420}, IsMenuText, 0, kNone}});
}

std::string CheckHighScores(const Bitmap& shot) {
    return Check(shot, {{"game tabs", {150, 180, 650, 210}, IsMenuText, 300, kMany},
                        {"Back", {330, 520, 470, 565}, IsMenuText, 150, kMany},
                        {"no main menu", kSelectionMiddle, IsMenuText, 0, kNone}});
}

} // namespace E2e
