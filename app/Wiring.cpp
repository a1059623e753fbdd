// The one place that connects the modules. Each lower module states what it needs from above
// as a hook or host; this function fills every one of them before the first module starts.
//
// | Needs                                   | Who needs it          | Who provides it            |
// |-----------------------------------------|-----------------------|----------------------------|
// | default font loader, text surfaces      | renderer, text cache  | ui fonts, renderer surfaces|
// | key state (toggles), cursor position    | renderer              | input                      |
// | active scene name (volatile texts)      | ui text cache         | scene manager              |
// | scene switch, callback slots            | front-end screens     | scene manager              |
// | quit, display-mode switch               | front-end screens     | app (this module)          |
// | mouse events, keys, sounds, pictures    | menus                 | input, sound, renderer     |
// | game scenes, new game, previews         | front-end screens     | game screens               |
// | objects, animations, sounds, clock      | game board (its seam) | game screens' real seam    |
// | the game's title after a language change| language choice       | game board                 |
//
// Two hooks are still filled by their own module when it starts: the scene manager's
// scene-changed hook and the library's frame pictures (`Renderer::Init`, `Animation::LoadAll`).
#include "app/App.h"
#include "game/GameBoard.h"
#include "game/Preview.h"
#include "game/RealSeam.h"
#include "game/Resume.h"
#include "game/Screens.h"
#include "gfx/Renderer.h"
#include "input/Input.h"
#include "scene/Level.h"
#include "ui/Frontend.h"
#include "ui/Language.h"
#include "ui/Menu.h"
#include "ui/TextCache.h"
#include "ui/TextTable.h"

namespace App {

void ConnectModules() {
    Text::ConnectRenderer();
    Renderer::SetKeyStateSource([](uint32_t code) { return Input::KeyDown(static_cast<uint8_t>(code)); });
    Renderer::SetCursorSource([](int32_t& x, int32_t& y) {
        Input::MousePosition(x, y);
        return true;
    });
    Text::SetSceneNameSource([]() -> const char* {
        Level* s = GetActiveScene();
        return s ? s->sName.c_str() : "";
    });

    Frontend::UseDefaultSceneHost();
    Frontend::AppHooks app;
    app.quit = &Quit;
    app.requestModeSwitch = &RequestModeSwitch;
    Frontend::SetAppHooks(app);
    Menu::UseDefaultDevices();

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
    game.continueSavedGame = []() { Game::ContinueSavedGame(); };
    game.tickPreviews = &Game::TickPreviews;
    game.drawPreviews = &Game::DrawPreviews;
    Frontend::SetGameHooks(game);
    Game::g_Board.SetSeam(&Game::TheRealSeam());
    // The game's title on the Hud is a text kept by the board.
    Language::SetChangeHook([] { Game::g_Board.title = g_TextTable.Retranslate(Game::g_Board.title); });
}

} // namespace App
