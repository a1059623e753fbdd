// The one place that connects the modules. Each lower module states what it needs from above
// as a struct of `Hook`s (core/Hook.h); this function fills every one of them before the first
// module starts. A hook left empty is a wiring fault: calling it is logged and stops a debug build.
//
// | Needs                                   | Who needs it          | Who provides it            |
// |-----------------------------------------|-----------------------|----------------------------|
// | default font loader, text surfaces      | renderer, text cache  | ui fonts, renderer surfaces|
// | key state (toggles), cursor position    | renderer              | input                      |
// | scene switched                          | scene manager         | renderer                   |
// | a template's idle frame                 | object library        | animations                 |
// | active scene name (volatile texts)      | ui text cache         | scene manager              |
// | scene switch, callback slots            | front-end screens     | scene manager              |
// | quit, display-mode switch               | front-end screens     | app (this module)          |
// | mouse events, keys, sounds, pictures    | menus                 | input, sound, renderer     |
// | game scenes, new game, previews         | front-end screens     | game screens               |
// | objects, animations, sounds, clock      | game board (its seam) | game screens' real seam    |
// | the game's title after a language change| language choice       | game board                 |
//
// Not hooks, and so not here: the clock's time source, input's window mapping and the platform
// report sink are replaceable defaults (tests replace them; the log takes the reports when it
// starts), and the sound backend is chosen by `StartOptions`.
#include "app/App.h"
#include "core/Log.h"
#include "game/GameBoard.h"
#include "gfx/Animation.h"
#include "gfx/Renderer.h"
#include "input/Input.h"
#include "scene/Level.h"
#include "scene/Library.h"
#include "screens/Preview.h"
#include "screens/RealSeam.h"
#include "screens/Resume.h"
#include "screens/Screens.h"
#include "ui/Frontend.h"
#include "ui/Language.h"
#include "ui/Menu.h"
#include "ui/TextCache.h"
#include "ui/TextTable.h"

namespace App {

void ConnectModules() {
    Renderer::Hooks renderer;
    renderer.loadDefaultFont = &Text::LoadDefaultFont;
    renderer.keyDown = [](uint32_t code) { return Input::KeyDown(static_cast<uint8_t>(code)); };
    renderer.cursorPosition = [](int32_t& x, int32_t& y) {
        Input::MousePosition(x, y);
        return true;
    };
    Renderer::SetHooks(renderer);
    Text::SetCacheRegistry(&Renderer::Surfaces());

    Renderer::ConnectScene();

    Text::Hooks text;
    text.activeSceneName = []() -> const char* {
        Level* s = GetActiveScene();
        return s ? s->sName.c_str() : "";
    };
    Text::SetHooks(text);

    Frontend::SetSceneHost(Frontend::SceneManagerHost());
    Frontend::AppHooks app;
    app.quit = &Quit;
    app.requestModeSwitch = &RequestModeSwitch;
    Frontend::SetAppHooks(app);
    Menu::SetDevices(Menu::DefaultDevices());

    Frontend::GameHooks game;
    game.prepareGameScenes = &Game::PrepareGameScenes;
    game.newGame = [](int32_t mode) {
        // A new game of a mode takes the saved game of that mode with it.
        Game::DiscardSavedGame(static_cast<Game::GameMode>(mode));
        Game::g_Board.NewGame(static_cast<Game::GameMode>(mode));
    };
    game.savedGameOffered = []() {
        Game::GameMode mode;
        return Game::SavedGameOffered(mode);
    };
    game.continueSavedGame = []() {
        if (!Game::ContinueSavedGame()) LogMsg("No saved game to continue\n");
    };
    game.tickPreviews = &Game::TickPreviews;
    game.drawPreviews = &Game::DrawPreviews;
    Frontend::SetGameHooks(game);
    Game::g_Board.SetSeam(&Game::TheRealSeam());

    Language::Hooks language;
    // The game's title on the Hud is a text kept by the board.
    language.changed = [] { Game::g_Board.title = g_TextTable.Retranslate(Game::g_Board.title); };
    Language::SetHooks(language);
}

} // namespace App
