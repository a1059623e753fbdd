#include "ui/Menu.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <map>
#include <tuple>
#include <utility>

#include "gfx/Graphics.h"
#include "input/Input.h"
#include "ui/Font.h"
#include "ui/MenuIds.h"
#include "ui/TextTable.h"

namespace {

std::deque<MenuItem> g_items; // stable addresses: Add* return pointers into it
char g_currentName[32] = {};
std::vector<MenuItem> g_current;
MenuDevices g_devices;

// Who owns the highlight, and where the mouse was at the last poll (a move hands it to the mouse).
struct Navigation {
    bool keysOwn = false;
    int32_t highlight = -1; // index into g_current while the keys own it
    bool mouseKnown = false;
    int32_t mouseX = 0, mouseY = 0;
};
Navigation g_nav;

constexpr MenuStyle kNormalStyle{30, 0xFF00FF00, {}};
constexpr MenuStyle kSelectedStyle{32, 0xFFFFFF00, {}};
constexpr MenuStyle kDisabledStyle{30, 0xFF808080, {}};

// Width and height of an image button's hit rectangle.
constexpr int32_t kButtonWidth = 137, kButtonHeight = 54;

MenuItem& NewItem(uint32_t kind, const char* menu, int32_t x, int32_t y, int32_t id, uint8_t shortcut) {
    MenuItem item;
    item.kind = kind;
    std::strncpy(item.menu, menu, sizeof item.menu - 1);
    item.x = item.screenX = x;
    item.y = item.screenY = y;
    item.font = &g_MainFont;
    item.normal = kNormalStyle;
    item.selected = kSelectedStyle;
    item.disabled = kDisabledStyle;
    item.id = id;
    item.shortcut = shortcut;
    g_items.push_back(item);
    return g_items.back();
}

bool SameMenu(const MenuItem& item, const char* menu) {
    return std::strncmp(item.menu, menu, sizeof item.menu - 1) == 0;
}

const MenuStyle& StyleOf(const MenuItem& item) {
    if (item.underMouse) return item.selected;
    return item.enabled ? item.normal : item.disabled;
}

bool Inside(int32_t mx, int32_t my, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return mx > left && mx < right && my > top && my < bottom;
}

// Where draw puts item i of n: automatically placed text items form a centred column.
void PlaceItem(MenuItem& item, int32_t i, int32_t n) {
    item.screenX = item.x;
    item.screenY = item.y;
    if (item.x == 0) {
        item.screenX = 400;
        item.screenY = item.y + (i - n / 2) * 40 + 300;
    }
}

// ---- Key navigation ------------------------------------------------------------------------------

struct Centre {
    int32_t x, y;
};

// The centre of item i as draw lays it out (independent of whether it was drawn yet).
Centre CentreOf(size_t i) {
    MenuItem item = g_current[i];
    PlaceItem(item, int32_t(i), int32_t(g_current.size()));
    const int32_t w = item.normal.hit.Width(), h = item.normal.hit.Height();
    if (item.kind == kMenuText) return {item.screenX, item.screenY + h / 2};
    return {item.screenX + w / 2, item.screenY + h / 2};
}

// Items the highlight can stand on: enabled, visible (keyboard-only items have no text and stand
// off the screen) and not a hot rectangle (which has no look of its own).
bool Navigable(size_t i) {
    const MenuItem& item = g_current[i];
    if (!item.enabled || item.kind == kMenuHotRect) return false;
    if (item.kind == kMenuText && (!item.text || !item.text[0])) return false;
    const Centre c = CentreOf(i);
    return c.x >= 0 && c.x < 800 && c.y >= 0 && c.y < 600;
}

// Items whose centres lie this close vertically share a row.
constexpr int32_t kRowSlack = 8;

int32_t FirstNavigable() {
    int32_t best = -1;
    for (size_t i = 0; i < g_current.size(); ++i) {
        if (!Navigable(i)) continue;
        if (best < 0) {
            best = int32_t(i);
            continue;
        }
        const Centre c = CentreOf(i), b = CentreOf(size_t(best));
        if (c.y < b.y - kRowSlack || (std::abs(c.y - b.y) <= kRowSlack && c.x < b.x)) best = int32_t(i);
    }
    return best;
}

// The item the highlight moves to from `from` for an arrow key: Up and Down go to the nearest row
// above or below (wrapping round), to its item nearest in x; Left and Right go along the row
// (wrapping round). Returns `from` when there is nowhere to go.
int32_t Step(int32_t from, uint8_t key) {
    using namespace Input::Key;
    const Centre f = CentreOf(size_t(from));
    const bool vertical = key == Up || key == Down;
    const int32_t sign = key == Down || key == Right ? 1 : -1;
    // Distance in the key's direction; > 0 ahead.
    auto along = [&](size_t i) {
        const Centre c = CentreOf(i);
        return (vertical ? c.y - f.y : c.x - f.x) * sign;
    };
    auto candidate = [&](size_t i) {
        if (int32_t(i) == from || !Navigable(i)) return false;
        const int32_t dy = std::abs(CentreOf(i).y - f.y);
        return vertical ? dy > kRowSlack : dy <= kRowSlack;
    };
    // The nearest row (or place along the row) ahead; with none ahead, round to the farthest behind.
    constexpr int32_t kNone = std::numeric_limits<int32_t>::max();
    int32_t nearestAhead = kNone, farthestBehind = kNone;
    for (size_t i = 0; i < g_current.size(); ++i) {
        if (!candidate(i)) continue;
        const int32_t d = along(i);
        if (d > 0)
            nearestAhead = std::min(nearestAhead, d);
        else
            farthestBehind = farthestBehind == kNone ? d : std::min(farthestBehind, d);
    }
    const int32_t goal = nearestAhead != kNone ? nearestAhead : farthestBehind;
    if (goal == kNone) return from;
    int32_t best = from, bestOffset = 0;
    for (size_t i = 0; i < g_current.size(); ++i) {
        if (!candidate(i) || std::abs(along(i) - goal) > (vertical ? kRowSlack : 0)) continue;
        const int32_t offset = vertical ? std::abs(CentreOf(i).x - f.x) : 0;
        if (best == from || offset < bestOffset) {
            best = int32_t(i);
            bestOffset = offset;
        }
    }
    return best;
}

bool IsShortcut(uint8_t key) {
    for (const MenuItem& item : g_current)
        if (item.shortcut == key) return true;
    return false;
}

bool KeyRepeated(uint8_t key) {
    return g_devices.keyRepeated(key);
}

// Reads the navigation keys for the current menu. Returns the index of the item chosen by Enter or
// Space, or -1.
int32_t NavigateByKeys() {
    using namespace Input::Key;
    if (g_current.empty()) return -1;
    const MenuKeyUse use = g_current.front().keyUse;
    uint8_t arrow = 0;
    for (uint8_t key : {Up, Down, Left, Right})
        if (!IsShortcut(key) && KeyRepeated(key)) arrow = key;
    bool choose = false;
    for (uint8_t key : {Enter, KeypadEnter, Space}) {
        if (key == Space && use == MenuKeyUse::Typing) continue;
        if (!IsShortcut(key) && g_devices.keyPressed(key)) choose = true;
    }
    int32_t chosen = -1;
    if (arrow || choose) {
        if (!g_nav.keysOwn) {
            // The first key only shows where the highlight is.
            g_nav.keysOwn = true;
            g_nav.highlight = -1;
        } else if (g_nav.highlight >= 0 && arrow) {
            g_nav.highlight = Step(g_nav.highlight, arrow);
        } else if (g_nav.highlight >= 0 && choose) {
            chosen = g_nav.highlight;
        }
    }
    if (use == MenuKeyUse::None) {
        g_nav.highlight = -1;
        return -1;
    }
    if (g_nav.keysOwn && (g_nav.highlight < 0 || !Navigable(size_t(g_nav.highlight))))
        g_nav.highlight = FirstNavigable();
    return chosen;
}

} // namespace

namespace Menu {

MenuItem* AddTextItem(const char* menu, int32_t x, int32_t y, const char16_t* text, int32_t id,
                      uint8_t shortcut) {
    MenuItem& item = NewItem(kMenuText, menu, x, y, id, shortcut);
    item.text = text;
    return &item;
}

MenuItem* AddButton(const char* menu, int32_t x, int32_t y, const char* imageName, int32_t id,
                    uint8_t shortcut) {
    MenuItem& item = NewItem(kMenuButton, menu, x, y, id, shortcut);
    item.buttonImage = imageName ? imageName : "";
    item.normal.hit = item.selected.hit = item.disabled.hit = TextRect{0, 0, kButtonWidth, kButtonHeight};
    return &item;
}

MenuItem* AddHotRect(const char* menu, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t id,
                     uint8_t shortcut) {
    MenuItem& item = NewItem(kMenuHotRect, menu, left, top, id, shortcut);
    item.normal.hit = item.selected.hit = item.disabled.hit = TextRect{0, 0, right - left, bottom - top};
    return &item;
}

void SetMenuProperty(const char* menu, const char* property, Font* font) {
    if (std::strcmp(property, "font") != 0) return;
    for (MenuItem& item : g_items)
        if (SameMenu(item, menu)) item.font = font;
}

void SetMenuProperty(const char* menu, const char* property, const char* a, uint32_t b) {
    if (!a || std::strcmp(a, "fontSize") != 0) return;
    const bool normal = std::strcmp(property, "normal") == 0;
    const bool select = std::strcmp(property, "select") == 0;
    if (!normal && !select) return;
    for (MenuItem& item : g_items)
        if (SameMenu(item, menu)) (normal ? item.normal : item.selected).size = b;
}

namespace {

// Items with the same text, size and colour share one measurement.
using Widths = std::map<std::tuple<const Font*, std::u16string, uint32_t, uint32_t>, int32_t>;

void MeasureItem(MenuItem& item, Widths& widths) {
    item.measurePending = 0;
    if (item.kind != kMenuText) return;
    for (MenuStyle* style : {&item.normal, &item.selected, &item.disabled}) {
        const std::u16string text = item.text ? item.text : u"";
        auto key = std::make_tuple(item.font, text, style->size, style->colour);
        auto found = widths.find(key);
        int32_t width = 0;
        if (found != widths.end()) {
            width = found->second;
        } else {
            width = item.font && item.font->IsLoaded() ? item.font->Measure(style->size, text.c_str()) : 0;
            widths.emplace(key, width);
        }
        style->hit = TextRect{0, 0, width + 2, 2 * int32_t(style->size) - 20};
    }
}

} // namespace

void MeasureMenus() {
    // Each glyph's advance comes from running the font's hinting program, which for every menu of
    // every screen made up a third of the start-up: a menu is measured when it is first shown.
    for (MenuItem& item : g_items)
        item.measurePending = 1;
}

void Retranslate() {
    for (MenuItem& item : g_items) {
        item.text = g_TextTable.Retranslate(item.text);
        item.measurePending = 1;
    }
    Widths widths;
    for (MenuItem& item : g_current) {
        item.text = g_TextTable.Retranslate(item.text);
        MeasureItem(item, widths);
    }
}

int32_t Poll(const char* menu, int32_t event) {
    if (event == kEventFromQueue) {
        uint32_t queued = uint32_t(event);
        g_devices.nextMouseEvent(queued);
        event = int32_t(queued);
    }
    int32_t mx = -1, my = -1;
    g_devices.mousePosition(mx, my);

    if (!menu) menu = "";
    if (std::strncmp(menu, g_currentName, sizeof g_currentName - 1) != 0) {
        std::strncpy(g_currentName, menu, sizeof g_currentName - 1);
        g_current.clear();
        Widths widths;
        for (MenuItem& item : g_items) {
            if (!SameMenu(item, g_currentName)) continue;
            if (item.measurePending) MeasureItem(item, widths);
            g_current.push_back(item);
        }
        // A new screen under the keys starts on its first item, quietly: nothing moved.
        g_nav.highlight = -1;
        if (g_nav.keysOwn && !g_current.empty() && g_current.front().keyUse != MenuKeyUse::None) {
            g_nav.highlight = FirstNavigable();
            if (g_nav.highlight >= 0) g_current[size_t(g_nav.highlight)].underMouse = 1;
        }
    }

    // The mouse takes the highlight back when it moves or clicks.
    const bool mouseMoved = !g_nav.mouseKnown || mx != g_nav.mouseX || my != g_nav.mouseY;
    g_nav.mouseKnown = true;
    g_nav.mouseX = mx;
    g_nav.mouseY = my;
    if (mouseMoved || (event != kEventFromQueue && event != 0)) {
        g_nav.keysOwn = false;
        g_nav.highlight = -1;
    }
    const int32_t chosenByKey = NavigateByKeys();

    for (size_t i = 0; i < g_current.size(); ++i) {
        MenuItem& item = g_current[i];
        const int32_t w = item.normal.hit.Width(), h = item.normal.hit.Height();
        bool inside = false;
        if (item.kind == kMenuText)
            inside =
                Inside(mx, my, item.screenX - w / 2, item.screenY, item.screenX + w / 2, item.screenY + h);
        else
            inside = Inside(mx, my, item.screenX, item.screenY, item.screenX + w, item.screenY + h);
        const uint8_t under = g_nav.keysOwn ? int32_t(i) == g_nav.highlight : item.enabled && inside;
        if (under && !item.underMouse && item.kind != kMenuHotRect) g_devices.playSound("move_menu");
        item.underMouse = under;
    }

    if (chosenByKey >= 0) {
        g_devices.playSound("select_menu");
        return g_current[size_t(chosenByKey)].id;
    }
    if (uint32_t(event) == kLeftReleased) {
        for (const MenuItem& item : g_current) {
            if (!item.underMouse) continue;
            g_devices.playSound("select_menu");
            return item.id;
        }
    }
    for (const MenuItem& item : g_current)
        if (item.enabled && item.shortcut && g_devices.keyPressed(item.shortcut)) return item.id;
    return 0;
}

void Draw(SDL_Surface* surface) {
    const int32_t n = int32_t(g_current.size());
    for (int32_t i = 0; i < n; ++i) {
        MenuItem& item = g_current[size_t(i)];
        PlaceItem(item, i, n);
        if (item.kind == kMenuText) {
            // Keyboard-only items have an empty text: nothing to show.
            if (!item.text || !item.text[0] || !item.font) continue;
            const MenuStyle& style = StyleOf(item);
            Text::DrawText(surface, *item.font, style.size, Text::kCentre, item.screenX, item.screenY,
                           style.colour, item.text);
        } else if (item.kind == kMenuButton) {
            const std::string name = item.buttonImage + (item.underMouse ? "02" : "01");
            if (SDL_Surface* picture = g_devices.getPicture(name.c_str()))
                Graphics::Blit(surface, item.screenX, item.screenY, picture, nullptr, true);
        }
    }
}

std::vector<MenuItem>& Current() {
    return g_current;
}
const char* CurrentName() {
    return g_currentName;
}

MenuItem* FindCurrent(int32_t id) {
    for (MenuItem& item : g_current)
        if (item.id == id) return &item;
    return nullptr;
}

bool KeysOwnHighlight() {
    return g_nav.keysOwn;
}

void SetKeyUse(const char* menu, MenuKeyUse use) {
    for (MenuItem& item : g_items)
        if (SameMenu(item, menu)) item.keyUse = use;
}

const std::deque<MenuItem>& AllItems() {
    return g_items;
}

void Reset() {
    g_items.clear();
    g_current.clear();
    g_currentName[0] = 0;
    g_nav = Navigation{};
}

void SetDevices(const MenuDevices& devices) {
    g_devices = devices;
}

MenuDevices QuietDevices() {
    MenuDevices quiet;
    quiet.nextMouseEvent = [](uint32_t&) {};
    quiet.mousePosition = [](int32_t&, int32_t&) {};
    quiet.keyPressed = [](uint32_t) { return false; };
    quiet.keyRepeated = quiet.keyPressed;
    quiet.playSound = [](const char*) {};
    quiet.getPicture = [](const char*) -> SDL_Surface* { return nullptr; };
    return quiet;
}

namespace {

const char16_t* T(const char* key) {
    return g_TextTable.GetText(key);
}

struct ColumnItem {
    const char* key;
    int32_t id;
    uint8_t shortcut = 0;
};

// Five automatically placed text items at the given y.
void AddColumn(const char* menu, int32_t y, const ColumnItem (&items)[5]) {
    for (const ColumnItem& item : items)
        AddTextItem(menu, 0, y, T(item.key), item.id, item.shortcut);
}

} // namespace

void CreateAllMenus() {
    using namespace Input::Key;
    using namespace MenuId;
    // The column stands where it stood with five items; Continue (shown only while a saved game
    // is offered) goes above it.
    AddColumn("main", 40,
              {{"Menu_PlayGame", Main::Play},
               {"Menu_Help", Main::Help},
               {"Menu_Options", Main::Options},
               {"Menu_HiScores", Main::Scores},
               {"Menu_Exit", Main::Exit}});
    AddTextItem("main", 400, 180, T("Menu_Continue"), Main::Continue, 0)->enabled = 0;

    AddTextItem("game", 130, 355, T("Menu_Game1"), GameSelect::Lines, 0);
    AddTextItem("game", 285, 355, T("Menu_Game2"), GameSelect::Squares, 0);
    AddTextItem("game", 520, 355, T("Menu_Game3"), GameSelect::Swaps, 0);
    AddTextItem("game", 670, 355, T("Menu_Game4"), GameSelect::Groups, 0);
    AddHotRect("game", 45, 390, 203, 546, GameSelect::Lines, 0);
    AddHotRect("game", 207, 187, 366, 343, GameSelect::Squares, 0);
    AddHotRect("game", 437, 187, 596, 343, GameSelect::Swaps, 0);
    AddHotRect("game", 592, 390, 751, 546, GameSelect::Groups, 0);
    MenuItem* back = AddTextItem("game", 400, 500, T("Menu_Back"), GameSelect::Back, Escape);
    SetMenuProperty("game", "font", &g_MenuFont);
    SetMenuProperty("game", "normal", "fontSize", 26);
    SetMenuProperty("game", "select", "fontSize", 28);
    back->font = &g_MainFont;
    back->normal = kNormalStyle;
    back->selected = kSelectedStyle;
    back->disabled = kDisabledStyle;

    AddTextItem("help", 130, 500, T("Menu_Prev"), Help::Previous, Left);
    AddTextItem("help", 670, 500, T("Menu_Next"), Help::Next, Right);
    AddTextItem("help", 900, 600, u"", Help::Previous, Up);
    AddTextItem("help", 900, 600, u"", Help::Previous, PageUp);
    AddTextItem("help", 900, 600, u"", Help::Next, Down);
    AddTextItem("help", 900, 600, u"", Help::Next, PageDown);
    AddTextItem("help", 400, 520, T("Menu_Back"), Help::Back, Escape);

    AddTextItem("postScores", 400, 520, T("Menu_Back"), PostScores::Back, Escape);
    AddTextItem("postScores", 400, 450, T("Menu_Submit"), PostScores::Submit, 0);

    // One tab per high-score page, in tab order.
    AddTextItem("hiScores", 205, 180, T("Menu_Game1"), Scores::FirstTab, 0);
    AddTextItem("hiScores", 335, 180, T("Menu_Game2"), Scores::FirstTab + 1, 0);
    AddTextItem("hiScores", 465, 180, T("Menu_Game3"), Scores::FirstTab + 2, 0);
    AddTextItem("hiScores", 595, 180, T("Menu_Game4"), Scores::LastTab, 0);
    SetMenuProperty("hiScores", "normal", "fontSize", 20);
    SetMenuProperty("hiScores", "select", "fontSize", 21);
    SetMenuProperty("hiScores", "font", &g_MenuFont);
    AddTextItem("hiScores", 400, 520, T("Menu_Back"), Scores::Back, Escape);

    AddButton("board", 620, 405, "Butmenu", Board::Menu, Escape);

    // The start panel says Restart instead of Play once a score was entered.
    const std::pair<const char*, const char*> startMenus[] = {{"startGame", "Menu_PlayGame"},
                                                              {"startGame2", "Menu_RestartGame"}};
    for (const auto& [menu, play] : startMenus)
        AddColumn(menu, -30,
                  {{play, Start::Play},
                   {"Menu_Help", Start::Help},
                   {"Menu_Options", Start::Options},
                   {"Menu_HiScores", Start::Scores},
                   {"Menu_MainMenu", Start::MainMenu}});
    AddColumn("inGame", -30,
              {{"Menu_Resume", Pause::Resume, Escape},
               {"Menu_Restart", Pause::Restart},
               {"Menu_Help", Pause::Help},
               {"Menu_Options", Pause::Options},
               {"Menu_MainMenu", Pause::MainMenu}});

    AddTextItem("endGame", 0, 5, T("Menu_Restart"), GameOver::Restart, 0);
    AddTextItem("endGame", 0, 5, T("Menu_Help"), GameOver::Help, 0);
    AddTextItem("endGame", 0, 5, T("Menu_Options"), GameOver::Options, 0);
    AddTextItem("endGame", 0, 5, T("Menu_MainMenu"), GameOver::MainMenu, 0);

    AddTextItem("enterScores", 0, 105, T("Menu_OK"), EnterScore::Ok, KeypadEnter);
    AddTextItem("enterScores", 800, 600, u"", EnterScore::Ok, Enter);

    AddTextItem("option", 590, 260, u"+", Option::SoundUp, 0);
    AddTextItem("option", 490, 260, u"-", Option::SoundDown, 0);
    AddTextItem("option", 590, 210, u"+", Option::MusicUp, 0);
    AddTextItem("option", 490, 210, u"-", Option::MusicDown, 0);
    AddTextItem("option", 540, 310, T("Menu_Off"), Option::OnOff, 0);
    AddTextItem("option", 580, 360, T("Menu_LanguageName"), Option::Language, 0);
    AddTextItem("option", 400, 510, T("Menu_SaveExit"), Option::SaveExit, 0);
    AddTextItem("option", 800, 600, u"", Option::Cancel, Escape);

    AddTextItem("reversiGame", 0, 105, T("Menu_Resume"), BoardCleared::Resume, KeypadEnter);
    AddTextItem("reversiGame", 800, 600, u"", BoardCleared::Resume, Enter);

    // During play the arrows move the board's cell cursor; names are typed on these two.
    SetKeyUse("board", MenuKeyUse::None);
    SetKeyUse("enterScores", MenuKeyUse::Typing);
    SetKeyUse("postScores", MenuKeyUse::Typing);
}

} // namespace Menu
