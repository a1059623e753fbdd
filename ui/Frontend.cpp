#include "ui/Frontend.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "gfx/Graphics.h"
#include "gfx/Renderer.h"
#include "input/Input.h"
#include "platform/Clock.h"
#include "ui/Font.h"
#include "ui/FrontendCommon.h"
#include "ui/HighScores.h"
#include "ui/Menu.h"
#include "ui/MenuIds.h"
#include "ui/SceneNames.h"
#include "ui/TextCache.h"
#include "ui/TextTable.h"

namespace Frontend {
namespace {

State g_state;
SceneHost g_host;
AppHooks g_app;
GameHooks g_game;

const char* SceneManagerActiveName() {
    Level* scene = GetActiveScene();
    return scene ? scene->sName.c_str() : "";
}

void SceneManagerSwitch(const char* sceneName) {
    SwitchScene(SceneName::kEpisode, sceneName);
}

void SceneManagerSetUpdate(const char* sceneName, UpdateCallback function) {
    SetUpdateCallback(SceneName::kEpisode, sceneName, function);
}

void SceneManagerSetOverlay(const char* sceneName, DrawCallback function) {
    SetOverlayCallback(SceneName::kEpisode, sceneName, function);
}

void SceneManagerSetAfterScene(const char* sceneName, DrawCallback function) {
    SetAfterSceneCallback(SceneName::kEpisode, sceneName, function);
}

DrawCallback SceneManagerActiveOverlay() {
    Level* scene = GetActiveScene();
    return scene ? scene->overlay : nullptr;
}

} // namespace

// Back leads where the opener said; nobody said anything: the title screen.
void SwitchBack(const std::string& scene) {
    PollEmpty();
    SwitchTo(scene.empty() ? SceneName::kTitle : scene.c_str());
}

// ---- Shared helpers -----------------------------------------------------------------------------

void PollEmpty() {
    Menu::Poll("", Menu::kEventFromQueue);
}

const char16_t* Txt(const char* key) {
    return g_TextTable.GetText(key);
}

void BlitPicture(SDL_Surface* surface, const char* name, int32_t x, int32_t y, const Graphics::Rect* source) {
    if (!surface) return;
    SDL_Surface* picture = Renderer::GetPicture(name);
    if (picture) Graphics::Blit(surface, x, y, picture, source, true);
}

// ---- Hosts and hooks ----------------------------------------------------------------------------

void SetSceneHost(const SceneHost& host) {
    g_host = host;
}

SceneHost SceneManagerHost() {
    SceneHost host;
    host.activeSceneName = &SceneManagerActiveName;
    host.switchScene = &SceneManagerSwitch;
    host.setUpdate = &SceneManagerSetUpdate;
    host.setOverlay = &SceneManagerSetOverlay;
    host.setAfterScene = &SceneManagerSetAfterScene;
    host.activeOverlay = &SceneManagerActiveOverlay;
    return host;
}

const SceneHost& Host() {
    return g_host;
}

const char* ActiveSceneName() {
    const char* name = g_host.activeSceneName();
    return name ? name : "";
}

void SwitchTo(const char* sceneName) {
    if (sceneName) g_host.switchScene(sceneName);
}

void InstallOnActive(UpdateCallback update, DrawCallback overlay) {
    const std::string scene = ActiveSceneName();
    if (scene.empty()) return;
    g_host.setUpdate(scene.c_str(), update);
    g_host.setOverlay(scene.c_str(), overlay);
}

void SetAppHooks(const AppHooks& hooks) {
    g_app = hooks;
}

const AppHooks& App() {
    return g_app;
}

void SetGameHooks(const GameHooks& hooks) {
    g_game = hooks;
}

// ---- State, slider, title text ------------------------------------------------------------------

State& Screen() {
    return g_state;
}

void ResetState() {
    g_state = State();
}

int32_t TableOfTab(int32_t tab) {
    static constexpr int32_t kTable[4] = {0, 2, 3, 1};
    return tab >= 0 && tab < 4 ? kTable[tab] : 0;
}

namespace {
void StepSlider(uint32_t steps) {
    for (uint32_t i = 0; i < steps; ++i) {
        g_state.sliderX += static_cast<float>(g_state.sliderStep);
        if (std::fabs(g_state.sliderX - 373.0f) > 180.0f) g_state.sliderStep = -g_state.sliderStep;
    }
}
} // namespace

void AdvanceSlider() {
    State& s = g_state;
    const uint32_t now = Platform::TimeMs();
    const uint32_t activity = Input::ActivityCount();
    if (!s.sliderClockSet || activity != s.sliderActivity) {
        s.sliderActivity = activity;
        s.sliderActivityMs = now;
    }
    if (!s.sliderClockSet) s.sliderClockMs = now;
    s.sliderClockSet = true;
    // After a pause (the window inactive) the slider goes on from where it was, it does not jump.
    const uint32_t elapsed = std::min<uint32_t>(now - s.sliderClockMs, 100);
    s.sliderClockMs = now;
    s.sliderLastSteps = 0;
    if (now - s.sliderActivityMs >= kSliderRestMs) {
        s.sliderThirds = 0;
        return;
    }
    // Rounded to the nearest step, so a 60 Hz display's frames, a little early or late, still
    // take one step each.
    const int32_t thirds = s.sliderThirds + static_cast<int32_t>(elapsed) * 3;
    const int32_t steps = (thirds + 25) / 50;
    s.sliderThirds = thirds - steps * 50;
    s.sliderLastSteps = static_cast<uint32_t>(steps);
    StepSlider(s.sliderLastSteps);
}

void AdvanceSliderAgain() {
    StepSlider(g_state.sliderLastSteps);
}

void DrawSlider(SDL_Surface* surface, int32_t yOffset) {
    BlitPicture(surface, "begunok", static_cast<int32_t>(g_state.sliderX),
                static_cast<int32_t>(g_state.sliderY + static_cast<float>(yOffset)), nullptr);
}

void DrawTitleText(SDL_Surface* surface) {
    if (!surface) return;
    Text::DrawText(surface, g_MenuFont, 12, Text::kCentre, 400, 576, kWhite, Txt("Menu_Title"));
}

// ---- Title screen -------------------------------------------------------------------------------

namespace {
// The Continue line is there only while a saved game is offered: hidden, it draws nothing and
// takes no click.
bool ShowContinue() {
    const bool offered = g_game.savedGameOffered();
    if (MenuItem* item = Menu::FindCurrent(MenuId::Main::Continue)) {
        item->enabled = offered ? 1 : 0;
        item->text = offered ? Txt("Menu_Continue") : nullptr;
    }
    return offered;
}
} // namespace

void TitleUpdate(uint32_t, FrameRecord*) {
    AdvanceSlider();
    int32_t id = Menu::Poll("main", Menu::kEventFromQueue);
    const bool offered = ShowContinue();
    if (id == MenuId::Main::Continue) {
        if (!offered) return;
        g_game.continueSavedGame();
        return;
    }
    if (id < MenuId::Main::Play || id > MenuId::Main::Exit) return;
    if (id == MenuId::Main::Exit) {
        g_app.quit();
        return;
    }
    const std::string here = ActiveSceneName();
    PollEmpty();
    switch (id) {
    case MenuId::Main::Play:
        SwitchTo(SceneName::kGameSelect);
        break;
    case MenuId::Main::Help:
        g_state.helpReturn = here;
        SwitchTo(SceneName::kHelp);
        break;
    case MenuId::Main::Options:
        g_state.optionsReturn = here;
        SwitchTo(SceneName::kOptions);
        break;
    case MenuId::Main::Scores:
        g_state.scoresReturn = here;
        SwitchTo(SceneName::kScores[0]);
        break;
    default:
        break;
    }
}

void TitleDraw(SDL_Surface* surface) {
    DrawTitleText(surface);
    if (surface) Text::DrawText(surface, g_MenuFont, 12, Text::kLeft, 10, 576, kWhite, Txt("Version"));
    Menu::Draw(surface);
    DrawSlider(surface, 0);
}

// ---- Game selection -----------------------------------------------------------------------------

void GameSelectUpdate(uint32_t, FrameRecord*) {
    g_game.prepareGameScenes();
    g_game.tickPreviews();
    // Item ids follow the selection's order; the board's mode values are Lines 0, Groups 1,
    // Squares 2, Swaps 3.
    int32_t mode = -1;
    const char* scene = SceneName::kBoard;
    switch (Menu::Poll("game", Menu::kEventFromQueue)) {
    case MenuId::GameSelect::Lines:
        mode = 0;
        break;
    case MenuId::GameSelect::Squares:
        mode = 2;
        break;
    case MenuId::GameSelect::Swaps:
        mode = 3;
        break;
    case MenuId::GameSelect::Groups:
        mode = 1;
        scene = SceneName::kGroupsBoard;
        break;
    case MenuId::GameSelect::Back:
        PollEmpty();
        SwitchTo(SceneName::kTitle);
        return;
    default:
        return;
    }
    PollEmpty();
    g_game.newGame(mode);
    SwitchTo(scene);
}

void GameSelectDraw(SDL_Surface* surface) {
    DrawTitleText(surface);
    Menu::Draw(surface);
    g_game.drawPreviews(surface);
    AdvanceSlider();
    DrawSlider(surface, 0);
}

// ---- High-score screens -------------------------------------------------------------------------

void ScoresUpdate(uint32_t, FrameRecord*) {
    const int32_t id = Menu::Poll("hiScores", Menu::kEventFromQueue);
    if (id < MenuId::Scores::FirstTab || id > MenuId::Scores::PostScores) return;
    HighScores::ClearMarks(TableOfTab(g_state.shownTab));
    if (id <= MenuId::Scores::LastTab) {
        g_state.shownTab = id - MenuId::Scores::FirstTab;
        PollEmpty();
        SwitchTo(SceneName::kScores[g_state.shownTab]);
    } else if (id == MenuId::Scores::Back) {
        g_state.shownTab = 0;
        SwitchBack(g_state.scoresReturn);
    } else {
        g_state.shownTab = 0;
        PollEmpty();
        SwitchTo(SceneName::kPostScores);
    }
}

void DrawScoreRows(SDL_Surface* surface) {
    if (!surface) return;
    const HighScores::Table& table = HighScores::Get(TableOfTab(g_state.shownTab));
    for (int32_t row = 0; row < HighScores::kEntries; ++row) {
        const HighScores::Entry& entry = table.entries[row];
        const int32_t y = kScoreRowTop + row * kScoreRowStep;
        const uint32_t colour = table.marks[row] ? kYellow : kWhite;
        const std::u16string rank = Text::Format("%d.", row + 1);
        Text::DrawText(surface, g_MenuFont, 24, Text::kRight, 250, y, colour, rank.c_str());
        if (entry.name[0] != 0)
            Text::DrawText(surface, g_MenuFont, 24, Text::kLeft, 270, y, colour, entry.name);
        if (entry.name[0] != 0 || entry.score != 0) {
            const std::u16string score = Text::Format("%u", entry.score);
            Text::DrawText(surface, g_MenuFont, 24, Text::kRight, 560, y, colour, score.c_str());
        }
    }
}

// A table whose newest result did not reach the disk says so under its rows, until a later
// save (the next result, or the one at exit) succeeds.
void DrawSaveFailure(SDL_Surface* surface) {
    if (surface && HighScores::SaveFailed(TableOfTab(g_state.shownTab)))
        Text::DrawText(surface, g_MenuFont, 18, Text::kCentre, 400, 472, kRed, Txt("Menu_ScoreNotSaved"));
}

void ScoresDraw(SDL_Surface* surface) {
    AdvanceSlider();
    DrawSlider(surface, -1);
    DrawTitleText(surface);
    DrawScoreRows(surface);
    DrawSaveFailure(surface);
    Menu::Draw(surface);
}

// ---- Post-scores form ---------------------------------------------------------------------------

ScoreForm::ScoreForm() {
    fields_[0] = FormField{u"", 20, false, 400, 250};
    fields_[1] = FormField{u"", 3, true, 400, 300};
    fields_[2] = FormField{u"", 20, false, 400, 350};
}

void ScoreForm::TakeCharacter(char16_t c) {
    const char16_t ch = c;
    FormField& field = fields_[focus_];
    if (ch == 0) return;
    if (ch == 7) {
        if (!field.text.empty()) field.text.pop_back();
        return;
    }
    if (ch == 8) {
        focus_ = (focus_ + 1) % kFields;
        return;
    }
    if (ch < 32 || ch == 127 || ch == u'%') return;
    if (g_MenuFont.IsLoaded() && !g_MenuFont.HasGlyph(ch)) return; // the form draws in the menu font
    if (field.text.size() >= field.limit) return;
    if (field.digitsOnly && (ch < u'0' || ch > u'9')) return;
    field.text.push_back(ch);
}

ScoreForm& Form() {
    static ScoreForm form;
    return form;
}

void PostScoresUpdate(uint32_t, FrameRecord*) {
    for (char16_t c : Input::TypedText())
        Form().TakeCharacter(c);
    const int32_t id = Menu::Poll("postScores", Menu::kEventFromQueue);
    if (id == MenuId::PostScores::Back) SwitchBack(g_state.scoresReturn);
    // Submit: there is nowhere to send the form to.
}

void PostScoresDraw(SDL_Surface* surface) {
    DrawTitleText(surface);
    if (surface) {
        Text::DrawText(surface, g_MainFont, 30, Text::kCentre, 400, 100, 0xFFFF00FF, Txt("Post_Form"));
        const char* const labels[ScoreForm::kFields] = {"Post_Name", "Post_Age", "Post_Country"};
        ScoreForm& form = Form();
        for (int32_t i = 0; i < ScoreForm::kFields; ++i) {
            const FormField& field = form.Field(i);
            Text::DrawText(surface, g_MainFont, 30, Text::kCentre, 250, field.y, kWhite, Txt(labels[i]));
            if (i == form.Focus()) {
                // The caret blinks: the focused field is drawn anew every frame.
                std::u16string shown = field.text;
                if (Platform::TimeMs() % 300 > 150) shown.push_back(u'|');
                if (!shown.empty())
                    Text::DrawTextDirect(surface, g_MenuFont, 20, Text::kLeft, field.x, field.y, kYellow,
                                         shown.c_str());
            } else if (!field.text.empty()) {
                Text::DrawText(surface, g_MenuFont, 20, Text::kLeft, field.x, field.y, kWhite,
                               field.text.c_str());
            }
        }
    }
    Menu::Draw(surface);
}

// ---- Registration -------------------------------------------------------------------------------

namespace {

void Register(const char* scene, UpdateCallback update, DrawCallback overlay) {
    g_host.setUpdate(scene, update);
    g_host.setOverlay(scene, overlay);
}

} // namespace

void RegisterTitle() {
    Register(SceneName::kTitle, &TitleUpdate, &TitleDraw);
}

void RegisterGameSelect() {
    Register(SceneName::kGameSelect, &GameSelectUpdate, &GameSelectDraw);
}

void RegisterHelp() {
    Register(SceneName::kHelp, &HelpUpdate, &HelpDraw);
}

void RegisterPostScores() {
    Register(SceneName::kPostScores, &PostScoresUpdate, &PostScoresDraw);
}

void RegisterScores() {
    for (const char* scene : SceneName::kScores)
        Register(scene, &ScoresUpdate, &ScoresDraw);
}

void RegisterOptions() {
    Register(SceneName::kOptions, &OptionsUpdate, &OptionsDraw);
}

void RegisterAll() {
    RegisterTitle();
    RegisterGameSelect();
    RegisterHelp();
    RegisterPostScores();
    RegisterScores();
    RegisterOptions();
}

} // namespace Frontend
