#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "core/Hook.h"
#include "ui/TextCache.h"

struct SDL_Surface;
class Font;

// Every clickable thing on a screen is a menu item: a text that highlights under the mouse, an
// image button or an invisible hot rectangle. Items belong to a named menu; a screen polls its
// menu once per frame and gets back the id of the item chosen by a click or its shortcut key.

enum MenuItemKind : uint32_t { kMenuText = 0, kMenuButton = 1, kMenuHotRect = 2 };

// How a menu takes the navigation keys (the arrows, Enter and Space). Keys that are shortcuts of an
// item of the menu keep that meaning in every case.
enum class MenuKeyUse : uint8_t {
    Navigate, // the arrows move a highlight over the items; Enter and Space choose the highlighted one
    Typing,   // the same, but Space belongs to the text being typed
    None,     // the screen reads the arrows itself (the board during play): no highlight
};

struct MenuStyle {
    uint32_t size = 0;
    uint32_t colour = 0; // 0xAARRGGBB
    TextRect hit;        // measured: (0, 0) to (width, height)
    int32_t Width() const { return hit.right - hit.left; }
    int32_t Height() const { return hit.bottom - hit.top; }
};

struct MenuItem {
    uint32_t kind = kMenuText;
    char menu[32] = {};
    const char16_t* text = nullptr;   // text items; nullptr or empty draws nothing
    int32_t x = 0, y = 0;             // text items: x is the centre (0 = automatic placement), y the top
    int32_t screenX = 0, screenY = 0; // where the last draw put the item
    Font* font = nullptr;
    std::string buttonImage; // buttons: base name, "01"/"02" appended when drawn
    MenuStyle normal, selected, disabled;
    int32_t id = 0;
    uint8_t shortcut = 0; // scan code, 0 = none
    uint8_t underMouse = 0;
    uint8_t enabled = 1;
    MenuKeyUse keyUse = MenuKeyUse::Navigate;
    uint8_t measurePending = 0; // its hit rectangles are measured when its menu is next shown
};

// What poll reads and plays and where draw finds button pictures: the input module, the sound
// server and the renderer's picture cache in the program (`App::ConnectModules`); tests set
// their own.
struct MenuDevices {
    // Leaves event untouched when the queue is empty.
    Hook<void(uint32_t& event)> nextMouseEvent{"Menu.nextMouseEvent"};
    Hook<void(int32_t& x, int32_t& y)> mousePosition{"Menu.mousePosition"};
    // Went down this frame.
    Hook<bool(uint32_t scanCode)> keyPressed{"Menu.keyPressed"};
    // Went down or repeated this frame (a held arrow).
    Hook<bool(uint32_t scanCode)> keyRepeated{"Menu.keyRepeated"};
    Hook<void(const char* name)> playSound{"Menu.playSound"};
    Hook<SDL_Surface*(const char* name)> getPicture{"Menu.getPicture"};
};

namespace Menu {

inline constexpr int32_t kEventFromQueue = -1;
inline constexpr uint32_t kLeftReleased = 0x40000000;

MenuItem* AddTextItem(const char* menu, int32_t x, int32_t y, const char16_t* text, int32_t id,
                      uint8_t shortcut);
// Hit rectangle 137 x 54 from (x, y).
MenuItem* AddButton(const char* menu, int32_t x, int32_t y, const char* imageName, int32_t id,
                    uint8_t shortcut);
MenuItem* AddHotRect(const char* menu, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t id,
                     uint8_t shortcut);

// Applies to every item of the menu that exists now: ("font", font) sets the font;
// ("normal", "fontSize", n) and ("select", "fontSize", n) set the normal and selected sizes.
// Other combinations do nothing.
void SetMenuProperty(const char* menu, const char* property, Font* font);
void SetMenuProperty(const char* menu, const char* property, const char* a, uint32_t b);

// Sets the key use of every item of the menu that exists now.
void SetKeyUse(const char* menu, MenuKeyUse use);

// Gives every text item its hit rectangles, each menu's when it is next made current; called once
// after all menus are defined.
void MeasureMenus();
// After a change of language: every item's text from the text table becomes the same key's text
// in the new language (the current menu too), and the items are measured anew (the current menu
// at once, the others when next shown).
void Retranslate();

// Makes the menu current (rebuilding the working copy when the name changes), updates the items
// under the mouse and returns the id of the chosen item, or 0. event -1 takes the next event of
// the mouse queue; 0x40000000 (left button released) is a click.
//
// Beside the mouse, the keys move a highlight drawn like the hover look (with "move_menu"): the
// first arrow, Enter or Space shows it on the first item (in reading order); later arrows move it
// (Up/Down to the next row, Left/Right along the row, both wrapping), Enter or Space choose it with
// "select_menu". The last device used owns the highlight: moving or clicking the mouse hands it
// back to the mouse, and while the keys own it every new menu starts with its first item
// highlighted.
int32_t Poll(const char* menu, int32_t event);
// Draws the current menu and records where each item went (poll's hit boxes use that).
void Draw(SDL_Surface* surface);

// The working copy of the current menu; screens change texts and the enabled flag here.
std::vector<MenuItem>& Current();
const char* CurrentName();
// First item of the current menu with that id, or nullptr.
MenuItem* FindCurrent(int32_t id);
// True while the keys own the highlight.
bool KeysOwnHighlight();

// Every menu of the program, in start-up order (texts from g_TextTable, fonts g_MainFont and
// g_MenuFont).
void CreateAllMenus();

// The global list, in creation order.
const std::deque<MenuItem>& AllItems();
// Forgets every menu (tests).
void Reset();

void SetDevices(const MenuDevices& devices);
// The input module, the sound server and Renderer::GetPicture (what `App::ConnectModules` sets).
MenuDevices DefaultDevices();
// No events, no keys, the mouse nowhere, no sound and no pictures (tools and tests that only lay
// menus out).
MenuDevices QuietDevices();

} // namespace Menu
