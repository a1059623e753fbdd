#include "ui/Menu.h"

#include <cstring>
#include <deque>
#include <map>
#include <tuple>

#include "gfx/Graphics.h"
#include "input/Input.h"
#include "ui/Font.h"
#include "ui/TextTable.h"

namespace {

std::deque<MenuItem> g_items; // stable addresses: Add* return pointers into it
char g_currentName[32] = {};
std::vector<MenuItem> g_current;
MenuDevices g_devices;

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

template <typename Items> void MeasureItems(Items& items) {
    // Items with the same text, size and colour share one measurement.
    std::map<std::tuple<const Font*, std::u16string, uint32_t, uint32_t>, int32_t> widths;
    for (MenuItem& item : items) {
        if (item.kind != kMenuText) continue;
        for (MenuStyle* style : {&item.normal, &item.selected, &item.disabled}) {
            const std::u16string text = item.text ? item.text : u"";
            auto key = std::make_tuple(item.font, text, style->size, style->colour);
            auto found = widths.find(key);
            int32_t width = 0;
            if (found != widths.end()) {
                width = found->second;
            } else {
                width =
                    item.font && item.font->IsLoaded() ? item.font->Measure(style->size, text.c_str()) : 0;
                widths.emplace(key, width);
            }
            style->hit = TextRect{0, 0, width + 2, 2 * int32_t(style->size) - 20};
        }
    }
}

} // namespace

void MeasureMenus() {
    MeasureItems(g_items);
}

void Retranslate() {
    for (MenuItem& item : g_items)
        item.text = g_TextTable.Retranslate(item.text);
    for (MenuItem& item : g_current)
        item.text = g_TextTable.Retranslate(item.text);
    MeasureItems(g_items);
    MeasureItems(g_current);
}

int32_t Poll(const char* menu, int32_t event) {
    if (event == kEventFromQueue && g_devices.nextMouseEvent) {
        uint32_t queued = uint32_t(event);
        g_devices.nextMouseEvent(queued);
        event = int32_t(queued);
    }
    int32_t mx = -1, my = -1;
    if (g_devices.mousePosition) g_devices.mousePosition(mx, my);

    if (!menu) menu = "";
    if (std::strncmp(menu, g_currentName, sizeof g_currentName - 1) != 0) {
        std::strncpy(g_currentName, menu, sizeof g_currentName - 1);
        g_current.clear();
        for (const MenuItem& item : g_items)
            if (SameMenu(item, g_currentName)) g_current.push_back(item);
    }

    for (MenuItem& item : g_current) {
        const int32_t w = item.normal.hit.Width(), h = item.normal.hit.Height();
        bool inside = false;
        if (item.kind == kMenuText)
            inside =
                Inside(mx, my, item.screenX - w / 2, item.screenY, item.screenX + w / 2, item.screenY + h);
        else
            inside = Inside(mx, my, item.screenX, item.screenY, item.screenX + w, item.screenY + h);
        const uint8_t under = item.enabled && inside;
        if (under && !item.underMouse && item.kind != kMenuHotRect && g_devices.playSound)
            g_devices.playSound("move_menu");
        item.underMouse = under;
    }

    if (uint32_t(event) == kLeftReleased) {
        for (const MenuItem& item : g_current) {
            if (!item.underMouse) continue;
            if (g_devices.playSound) g_devices.playSound("select_menu");
            return item.id;
        }
    }
    if (g_devices.keyPressed) {
        for (const MenuItem& item : g_current)
            if (item.enabled && item.shortcut && g_devices.keyPressed(item.shortcut)) return item.id;
    }
    return 0;
}

void Draw(SDL_Surface* surface) {
    const int32_t n = int32_t(g_current.size());
    for (int32_t i = 0; i < n; ++i) {
        MenuItem& item = g_current[size_t(i)];
        item.screenX = item.x;
        item.screenY = item.y;
        if (item.x == 0) {
            item.screenX = 400;
            item.screenY = item.y + (i - n / 2) * 40 + 300;
        }
        if (item.kind == kMenuText) {
            // Keyboard-only items have an empty text: nothing to show.
            if (!item.text || !item.text[0] || !item.font) continue;
            const MenuStyle& style = StyleOf(item);
            Text::DrawText(surface, *item.font, style.size, Text::kCentre, item.screenX, item.screenY,
                           style.colour, item.text);
        } else if (item.kind == kMenuButton && g_devices.getPicture) {
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

const std::deque<MenuItem>& AllItems() {
    return g_items;
}

void Reset() {
    g_items.clear();
    g_current.clear();
    g_currentName[0] = 0;
}

void SetDevices(const MenuDevices& devices) {
    g_devices = devices;
}

namespace {

const char16_t* T(const char* key) {
    return g_TextTable.GetText(key);
}

// Five automatically placed text items with ids 1 to 5 at the given y.
void AddColumn(const char* menu, int32_t y, const char* const (&keys)[5],
               const uint8_t (&shortcuts)[5] = {}) {
    for (int32_t i = 0; i < 5; ++i)
        AddTextItem(menu, 0, y, T(keys[i]), i + 1, shortcuts[i]);
}

} // namespace

void CreateAllMenus() {
    using namespace Input::Key;
    // The running program reads the real devices unless someone (a test) installed others.
    if (!g_devices.nextMouseEvent && !g_devices.mousePosition && !g_devices.keyPressed &&
        !g_devices.playSound)
        UseDefaultDevices();

    AddColumn("main", 0, {"Menu_PlayGame", "Menu_Help", "Menu_Options", "Menu_HiScores", "Menu_Exit"});

    AddTextItem("game", 130, 355, T("Menu_Game1"), 1, 0);
    AddTextItem("game", 285, 355, T("Menu_Game2"), 2, 0);
    AddTextItem("game", 520, 355, T("Menu_Game3"), 3, 0);
    AddTextItem("game", 670, 355, T("Menu_Game4"), 4, 0);
    AddHotRect("game", 45, 390, 203, 546, 1, 0);
    AddHotRect("game", 207, 187, 366, 343, 2, 0);
    AddHotRect("game", 437, 187, 596, 343, 3, 0);
    AddHotRect("game", 592, 390, 751, 546, 4, 0);
    MenuItem* back = AddTextItem("game", 400, 500, T("Menu_Back"), 5, Escape);
    SetMenuProperty("game", "font", &g_MenuFont);
    SetMenuProperty("game", "normal", "fontSize", 26);
    SetMenuProperty("game", "select", "fontSize", 28);
    back->font = &g_MainFont;
    back->normal = kNormalStyle;
    back->selected = kSelectedStyle;
    back->disabled = kDisabledStyle;

    AddTextItem("help", 130, 500, T("Menu_Prev"), 1, Left);
    AddTextItem("help", 670, 500, T("Menu_Next"), 2, Right);
    AddTextItem("help", 900, 600, u"", 1, Up);
    AddTextItem("help", 900, 600, u"", 1, PageUp);
    AddTextItem("help", 900, 600, u"", 2, Down);
    AddTextItem("help", 900, 600, u"", 2, PageDown);
    AddTextItem("help", 400, 520, T("Menu_Back"), 5, Escape);

    AddTextItem("postScores", 400, 520, T("Menu_Back"), 5, Escape);
    AddTextItem("postScores", 400, 450, T("Menu_Submit"), 6, 0);

    AddTextItem("hiScores", 205, 180, T("Menu_Game1"), 1, 0);
    AddTextItem("hiScores", 335, 180, T("Menu_Game2"), 2, 0);
    AddTextItem("hiScores", 465, 180, T("Menu_Game3"), 3, 0);
    AddTextItem("hiScores", 595, 180, T("Menu_Game4"), 4, 0);
    SetMenuProperty("hiScores", "normal", "fontSize", 20);
    SetMenuProperty("hiScores", "select", "fontSize", 21);
    SetMenuProperty("hiScores", "font", &g_MenuFont);
    AddTextItem("hiScores", 400, 520, T("Menu_Back"), 5, Escape);

    AddButton("board", 620, 405, "Butmenu", 1, Escape);

    AddColumn("startGame", -30,
              {"Menu_PlayGame", "Menu_Help", "Menu_Options", "Menu_HiScores", "Menu_MainMenu"});
    AddColumn("startGame2", -30,
              {"Menu_RestartGame", "Menu_Help", "Menu_Options", "Menu_HiScores", "Menu_MainMenu"});
    AddColumn("inGame", -30, {"Menu_Resume", "Menu_Restart", "Menu_Help", "Menu_Options", "Menu_MainMenu"},
              {Escape, 0, 0, 0, 0});

    AddTextItem("endGame", 0, 5, T("Menu_Restart"), 1, 0);
    AddTextItem("endGame", 0, 5, T("Menu_Help"), 2, 0);
    AddTextItem("endGame", 0, 5, T("Menu_Options"), 3, 0);
    AddTextItem("endGame", 0, 5, T("Menu_MainMenu"), 5, 0);

    AddTextItem("enterScores", 0, 105, T("Menu_OK"), 1, KeypadEnter);
    AddTextItem("enterScores", 800, 600, u"", 1, Enter);

    AddTextItem("option", 590, 260, u"+", 2, 0);
    AddTextItem("option", 490, 260, u"-", 3, 0);
    AddTextItem("option", 590, 210, u"+", 5, 0);
    AddTextItem("option", 490, 210, u"-", 6, 0);
    AddTextItem("option", 540, 310, T("Menu_Off"), 8, 0);
    AddTextItem("option", 580, 360, T("Menu_LanguageName"), 9, 0);
    AddTextItem("option", 400, 510, T("Menu_SaveExit"), 7, 0);
    AddTextItem("option", 800, 600, u"", 10, Escape);

    AddTextItem("reversiGame", 0, 105, T("Menu_Resume"), 1, KeypadEnter);
    AddTextItem("reversiGame", 800, 600, u"", 1, Enter);
}

} // namespace Menu
