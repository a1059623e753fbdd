#pragma once
#include <cstdint>
#include <string>

#include "core/Hook.h"
#include "scene/Level.h"

struct SDL_Surface;

// The front-end screens: title with the main menu, game selection with the four previews, the
// eight help pages, the options, the four high-score pages and the post-scores form. Each is a
// scene of "Board" with an update and an overlay callback; moving between screens is a scene
// switch by name.
namespace Frontend {

// ---- What the screens need from outside ---------------------------------------------------------

// Scene access (the scene manager in the program; tests record instead). Scene names are those of
// episode "Board".
struct SceneHost {
    Hook<const char*()> activeSceneName{"Frontend.activeSceneName"};
    Hook<void(const char* sceneName)> switchScene{"Frontend.switchScene"};
    Hook<void(const char* sceneName, UpdateCallback function)> setUpdate{"Frontend.setUpdate"};
    Hook<void(const char* sceneName, DrawCallback function)> setOverlay{"Frontend.setOverlay"};
    Hook<void(const char* sceneName, DrawCallback function)> setAfterScene{"Frontend.setAfterScene"};
    // The active scene's overlay callback (nullptr when none or no scene).
    Hook<DrawCallback()> activeOverlay{"Frontend.activeOverlay"};
};
void SetSceneHost(const SceneHost& host);
// The scene manager's episode "Board" as the host (what `App::ConnectModules` installs).
SceneHost SceneManagerHost();
const SceneHost& Host();

// Convenience over the host.
const char* ActiveSceneName();
void SwitchTo(const char* sceneName);
// Installs both callbacks on the active scene (the game panels swap them while a game runs).
void InstallOnActive(UpdateCallback update, DrawCallback overlay);

// From the application: end the program (the Exit item), and ask the loop to re-create the
// window and display after the options stored a new `fullscreen` value.
struct AppHooks {
    Hook<void()> quit{"Frontend.quit"};
    Hook<void()> requestModeSwitch{"Frontend.requestModeSwitch"};
};
void SetAppHooks(const AppHooks& hooks);

// From the game screens: the game selection prepares the game scenes, starts a new game and
// runs the four previews.
struct GameHooks {
    // Start phase Entering and the StartPanel installed on both game scenes.
    Hook<void()> prepareGameScenes{"Frontend.prepareGameScenes"};
    Hook<void(int32_t mode)> newGame{"Frontend.newGame"};
    Hook<void()> tickPreviews{"Frontend.tickPreviews"};
    Hook<void(SDL_Surface* surface)> drawPreviews{"Frontend.drawPreviews"};
    // The title's Continue line: shown while a saved game is offered; choosing it brings the
    // game back (and leaves the title).
    Hook<bool()> savedGameOffered{"Frontend.savedGameOffered"};
    Hook<void()> continueSavedGame{"Frontend.continueSavedGame"};
};
void SetGameHooks(const GameHooks& hooks);

// ---- Screen state -------------------------------------------------------------------------------

struct State {
    float sliderX = 400.0f;
    float sliderY = 140.0f;
    int32_t sliderStep = 1;
    // The slider's clock: the time of its last advance, thirds of a millisecond not yet turned into
    // steps (a step is 50 thirds), the steps of the last advance, and when the player last did
    // something (with the input count seen then).
    bool sliderClockSet = false;
    uint32_t sliderClockMs = 0;
    int32_t sliderThirds = 0;
    uint32_t sliderLastSteps = 0;
    uint32_t sliderActivity = 0;
    uint32_t sliderActivityMs = 0;
    int32_t helpPage = 0; // 0 ... 7
    int32_t shownTab = 0; // 0 ... 3
    // Where Back leads from help, options and the high scores; set by whoever opens them (the
    // title screen, or a game panel with the game scene's name). Empty leads to the title.
    std::string helpReturn;
    std::string optionsReturn;
    std::string scoresReturn;
};
State& Screen();
// Back to the start values (tests).
void ResetState();

inline constexpr int32_t kHelpPages = 8;
// The help pages' text area, (150, 190) to (650, 550).
inline constexpr int32_t kHelpAreaLeft = 150, kHelpAreaTop = 190, kHelpAreaRight = 650, kHelpAreaBottom = 550;
// The top of the page counter's text box ("Page 1 of 8", size 16, centred on 400): the page's
// text has to end above it.
inline constexpr int32_t kHelpCounterTop = 472;
// Lays out the page's paragraphs in the text area, drawing them when there is a surface, and
// returns the y below the last line (the content check measures the pages without drawing).
int32_t LayOutHelpPage(SDL_Surface* surface, int32_t page);

// High-score tab -> table (tables are indexed by game mode: tabs follow the game selection's
// order Lines, Squares, Swaps, Groups).
int32_t TableOfTab(int32_t tab);

// The slider `begunok`: one step moves it by its step and turns it round past 180 pixels from
// x 373. An advance takes the steps due since the last one, one per 1/60 s (one a frame on a 60 Hz
// display, the same speed on any other); after kSliderRestMs without the player's input it comes
// to rest where it is, so an untouched screen stands still, and it moves on at the next input.
// AdvanceSliderAgain repeats the last advance's steps (the help screen moves it twice a frame).
// Draw blits it at (x, y + yOffset).
constexpr uint32_t kSliderRestMs = 10000;
void AdvanceSlider();
void AdvanceSliderAgain();
void DrawSlider(SDL_Surface* surface, int32_t yOffset);
// "Menu_Title" at the foot of every screen.
void DrawTitleText(SDL_Surface* surface);

// One press of a volume button: steps of `delta`, never beyond 0 or 100.
uint32_t StepVolume(uint32_t volume, int32_t delta);

// ---- Callbacks ----------------------------------------------------------------------------------
void TitleUpdate(uint32_t elapsedMs, FrameRecord* frame);
void TitleDraw(SDL_Surface* surface);
void GameSelectUpdate(uint32_t elapsedMs, FrameRecord* frame);
void GameSelectDraw(SDL_Surface* surface);
void HelpUpdate(uint32_t elapsedMs, FrameRecord* frame);
void HelpDraw(SDL_Surface* surface);
void OptionsUpdate(uint32_t elapsedMs, FrameRecord* frame);
void OptionsDraw(SDL_Surface* surface);
void ScoresUpdate(uint32_t elapsedMs, FrameRecord* frame);
void ScoresDraw(SDL_Surface* surface);
void PostScoresUpdate(uint32_t elapsedMs, FrameRecord* frame);
void PostScoresDraw(SDL_Surface* surface);

// Registers the front-end callbacks on their scenes (part of the start-up registration).
void RegisterTitle();
void RegisterGameSelect();
void RegisterHelp();
void RegisterPostScores();
void RegisterScores();
void RegisterOptions();
// All six of them, in the order above.
void RegisterAll();

// ---- Post-scores form ---------------------------------------------------------------------------

struct FormField {
    std::u16string text;
    size_t limit = 0;
    bool digitsOnly = false;
    int32_t x = 0, y = 0;
};

// Three fields (name, age, country); typed characters go to the focused one.
class ScoreForm {
  public:
    ScoreForm();
    // A pressed character: 0 nothing, 7 deletes the focused field's last character, 8 moves the
    // focus on (round to the first), anything else is appended when the field has room, it is
    // not "%" and, for a digits-only field, a digit. Other control characters are ignored.
    void TakeCharacter(char16_t c);
    FormField& Field(int32_t index) { return fields_[index]; }
    int32_t Focus() const { return focus_; }
    static constexpr int32_t kFields = 3;

  private:
    FormField fields_[kFields];
    int32_t focus_ = 0;
};
ScoreForm& Form();

} // namespace Frontend
