#include "app/Screens.h"

#include "app/App.h"
#include "game/Screens.h"
#include "ui/Frontend.h"
#include "ui/HighScores.h"

namespace App {

void RegisterScreens() {
    Frontend::AppHooks hooks;
    hooks.quit = &App::Quit;
    hooks.requestModeSwitch = &App::RequestModeSwitch;
    Frontend::SetAppHooks(hooks);
    Game::RegisterScreens();
}

void LoadHighScores() {
    HighScores::Load();
}

} // namespace App
