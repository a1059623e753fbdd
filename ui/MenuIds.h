#pragma once
#include <cstdint>

// The item ids of every menu, by menu name. The menu table (`Menu::CreateAllMenus`) gives the
// items these ids and the screens compare what `Menu::Poll` returns with them; 0 is "nothing".
namespace MenuId {

// "main", the title's menu (Continue only while a saved game is offered).
namespace Main {
enum : int32_t { Play = 1, Help, Options, Scores, Exit, Continue };
}
// "game", the game selection; its texts and the previews' hot rectangles share the ids.
namespace GameSelect {
enum : int32_t { Lines = 1, Squares, Swaps, Groups, Back };
}
// "help"
namespace Help {
enum : int32_t { Previous = 1, Next = 2, Back = 5 };
}
// "postScores"
namespace PostScores {
enum : int32_t { Back = 5, Submit = 6 };
}
// "hiScores": the four tabs in tab order, Back; an item 6 would open the post-scores form.
namespace Scores {
enum : int32_t { FirstTab = 1, LastTab = 4, Back = 5, PostScores = 6 };
}
// "board": the Hud's menu button (the game board polls it through its seam, by this id's value).
namespace Board {
enum : int32_t { Menu = 1 };
}
// "startGame" and "startGame2" (Play is Restart once a score was entered).
namespace Start {
enum : int32_t { Play = 1, Help, Options, Scores, MainMenu };
}
// "inGame", the pause menu.
namespace Pause {
enum : int32_t { Resume = 1, Restart, Help, Options, MainMenu };
}
// "endGame", the game-over menu (it has no Scores item).
namespace GameOver {
enum : int32_t { Restart = 1, Help, Options, Scores, MainMenu };
}
// "enterScores": OK under the typed name, also on Enter.
namespace EnterScore {
enum : int32_t { Ok = 1 };
}
// "reversiGame", the Groups board-cleared panel: Resume, also on Enter.
namespace BoardCleared {
enum : int32_t { Resume = 1 };
}
// "option"
namespace Option {
enum : int32_t {
    SoundUp = 2,
    SoundDown = 3,
    MusicUp = 5,
    MusicDown = 6,
    SaveExit = 7,
    OnOff = 8,
    Language = 9,
    Cancel = 10,
};
}

} // namespace MenuId
