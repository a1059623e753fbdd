#include "ui/Menu.h"
#include "input/Input.h"
#include "ui/TextTable.h"

#include "UiFixture.h"

#include <deque>
#include <set>
#include <string>
#include <vector>

namespace {

// Scripted devices: a mouse event queue, a mouse position, keys that went down, sounds heard.
// What the menus read and play, recorded.
struct FakeDevices {
    std::deque<uint32_t> events;
    int32_t mouseX = 0, mouseY = 0;
    std::set<uint32_t> keys;
    std::vector<std::string> sounds;
    std::vector<std::string> pictures;

    void Install() {
        MenuDevices d;
        d.nextMouseEvent = [this](uint32_t& e) {
            if (events.empty()) return;
            e = events.front();
            events.pop_front();
        };
        d.mousePosition = [this](int32_t& x, int32_t& y) { x = mouseX, y = mouseY; };
        d.keyPressed = [this](uint32_t code) { return keys.count(code) > 0; };
        d.keyRepeated = d.keyPressed;
        d.playSound = [this](const char* name) { sounds.push_back(name); };
        d.getPicture = [this](const char* name) -> SDL_Surface* {
            pictures.push_back(name);
            return nullptr;
        };
        Menu::SetDevices(d);
    }
};

class MenuTest : public UiFixture {
  protected:
    FakeDevices devices;
    void SetUp() override {
        UiFixture::SetUp();
        g_TextTable.Clear();
        UiTest::AddTexts(g_TextTable,
                         u"Menu_PlayGame=Play game\nMenu_Help=Help\nMenu_Options=Options\n"
                         u"Menu_HiScores=High scores\nMenu_Exit=Exit\nMenu_Back=Back\n"
                         u"Menu_Prev=Previous\nMenu_Next=Next\nMenu_Game1=Lines\nMenu_Game2=Squares\n"
                         u"Menu_Game3=Swaps\nMenu_Game4=Groups\nMenu_SaveExit=Save and exit\n"
                         u"Menu_Resume=Resume\nMenu_Restart=Restart\nMenu_MainMenu=Main menu\nMenu_OK=OK\n");
        Menu::Reset();
        devices.Install();
        Menu::CreateAllMenus();
        Menu::MeasureMenus();
    }
    void TearDown() override {
        Menu::Reset();
        Menu::SetDevices({});
        g_TextTable.Clear();
        UiFixture::TearDown();
    }
    // One frame of a screen with these keys gone down: poll (mouse event from the queue), then draw.
    int32_t Frame(const char* menu, std::set<uint32_t> keys = {}) {
        devices.keys = std::move(keys);
        const int32_t id = Menu::Poll(menu, Menu::kEventFromQueue);
        Menu::Draw(screen);
        devices.keys.clear();
        return id;
    }
    // One frame in which the mouse reports `event` (a left release unless said).
    int32_t MouseFrame(const char* menu, uint32_t event = Input::MouseReleased) {
        devices.events = {event};
        return Frame(menu);
    }
    // The id of the item the keys highlight now (0 when none).
    static int32_t Highlighted() {
        for (const MenuItem& item : Menu::Current())
            if (item.underMouse) return item.id;
        return 0;
    }
    // Presses each key in turn on `menu`, the highlight landing on each id.
    void Walk(const char* menu, std::initializer_list<std::pair<uint8_t, int32_t>> steps) {
        int32_t step = 0;
        for (auto [key, id] : steps) {
            Frame(menu, {key});
            EXPECT_EQ(Highlighted(), id) << menu << " step " << step++;
        }
    }
    void MouseTo(const MenuItem& item) {
        devices.mouseX = item.screenX;
        devices.mouseY = item.screenY + item.normal.hit.Height() / 2;
    }
    size_t Count(const std::string& sound) const {
        return size_t(std::count(devices.sounds.begin(), devices.sounds.end(), sound));
    }
};

TEST_F(MenuTest, AutomaticColumnIsCentredAround300) {
    Frame("main");
    const auto& items = Menu::Current();
    ASSERT_EQ(items.size(), 6u);
    const int32_t ys[] = {220, 260, 300, 340, 380};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(items[i].screenX, 400);
        EXPECT_EQ(items[i].screenY, ys[i]);
        EXPECT_EQ(items[i].id, int32_t(i) + 1);
    }
    // Continue sits above the column and starts disabled: the title shows it only for a saved game.
    EXPECT_EQ(items[5].id, 6);
    EXPECT_EQ(items[5].screenY, 180);
    EXPECT_EQ(items[5].enabled, 0);
    // The StartPanel's column sits 30 pixels higher; ResultScreen's four items around y 5.
    Frame("startGame");
    EXPECT_EQ(Menu::Current()[0].screenY, 190);
    Frame("endGame");
    EXPECT_EQ(Menu::Current()[0].screenY, 5 - 2 * 40 + 300);
    // Every drawn text landed in the cache under its own key; nothing for the empty items.
    EXPECT_NE(registry.Find(Text::CacheKey(g_MainFont, 30, 0xFF00FF00, u"Exit", 400, 380).c_str()), nullptr);
}

TEST_F(MenuTest, MoveSoundOncePerNewItemAndClickIsReleaseOverItem) {
    Frame("main");
    const std::vector<MenuItem> items = Menu::Current();
    MouseTo(items[1]);
    EXPECT_EQ(Frame("main"), 0);
    EXPECT_TRUE(Menu::Current()[1].underMouse);
    EXPECT_EQ(Count("move_menu"), 1u);
    Frame("main");
    Frame("main");
    EXPECT_EQ(Count("move_menu"), 1u);
    MouseTo(items[2]);
    Frame("main");
    EXPECT_EQ(Count("move_menu"), 2u);
    devices.mouseX = 20; // off every item
    Frame("main");
    MouseTo(items[2]);
    Frame("main");
    EXPECT_EQ(Count("move_menu"), 3u);

    // Press over "Help", move off, release elsewhere: nothing chosen.
    MouseTo(items[1]);
    EXPECT_EQ(MouseFrame("main", Input::MousePressed), 0);
    devices.mouseX = 20;
    EXPECT_EQ(MouseFrame("main"), 0);
    EXPECT_EQ(Count("select_menu"), 0u);
    // Release of the right button over an item is not a click either.
    MouseTo(items[3]);
    EXPECT_EQ(MouseFrame("main", Input::MouseReleased | Input::MouseRight), 0);
    // Release of the left button over "High scores" chooses it.
    EXPECT_EQ(MouseFrame("main"), 4);
    EXPECT_EQ(Count("select_menu"), 1u);
    // An event handed in directly is used as it is.
    EXPECT_EQ(Menu::Poll("main", int32_t(Input::MouseReleased)), 4);
}

TEST_F(MenuTest, DisabledItemsNeitherHighlightNorReact) {
    Frame("help");
    MenuItem* prev = Menu::FindCurrent(1);
    ASSERT_NE(prev, nullptr);
    prev->enabled = 0;
    MouseTo(*prev);
    EXPECT_EQ(MouseFrame("help"), 0);
    EXPECT_FALSE(Menu::FindCurrent(1)->underMouse);
    EXPECT_EQ(Count("move_menu"), 0u);
    // Its shortcut is gone too, but the keyboard-only items with the same id still answer.
    EXPECT_EQ(Frame("help", {Input::Key::Left}), 0);
    EXPECT_EQ(Frame("help", {Input::Key::Up}), 1);
    // The disabled style is what gets drawn: grey at size 30.
    EXPECT_NE(registry.Find(Text::CacheKey(g_MainFont, 30, 0xFF808080, u"Previous", 130, 500).c_str()),
              nullptr);
}

TEST_F(MenuTest, HelpShortcutsAndKeyboardOnlyItems) {
    const std::pair<uint8_t, int32_t> cases[] = {
        {Input::Key::Left, 1}, {Input::Key::Up, 1},       {Input::Key::PageUp, 1}, {Input::Key::Right, 2},
        {Input::Key::Down, 2}, {Input::Key::PageDown, 2}, {Input::Key::Escape, 5}};
    for (auto [key, id] : cases) {
        devices.keys = {key};
        EXPECT_EQ(Menu::Poll("help", 0), id) << int(key);
    }
    EXPECT_TRUE(devices.sounds.empty()); // shortcuts choose silently
    // Enter is no shortcut here: it shows the key highlight, choosing nothing yet.
    devices.keys = {Input::Key::Enter};
    EXPECT_EQ(Menu::Poll("help", 0), 0);
    EXPECT_EQ(Count("move_menu"), 1u);
    // Shortcuts work before the menu was ever drawn; the mouse does not.
    devices.keys = {Input::Key::KeypadEnter};
    EXPECT_EQ(Menu::Poll("enterScores", 0), 1);
    devices.keys = {Input::Key::Enter};
    EXPECT_EQ(Menu::Poll("reversiGame", 0), 1);
}

TEST_F(MenuTest, SwitchingMenusRebuildsTheWorkingCopy) {
    Frame("main");
    MouseTo(Menu::Current()[0]);
    Frame("main");
    ASSERT_TRUE(Menu::Current()[0].underMouse);
    Menu::Current()[0].text = u"changed";
    Frame("game");
    Menu::Poll("main", 0);
    EXPECT_STREQ(Menu::CurrentName(), "main");
    for (const MenuItem& item : Menu::Current())
        EXPECT_FALSE(item.underMouse);
    EXPECT_EQ(std::u16string(Menu::Current()[0].text), u"Play game");
    // The empty name empties the current menu.
    Menu::Poll("", 0);
    EXPECT_TRUE(Menu::Current().empty());
}

TEST_F(MenuTest, HitRectanglesAreMeasuredPerStyleAndAMissingTextKeepsItsShortcut) {
    // Measured hit rectangles: advance + 2 wide, 2 x size - 20 high, per style.
    Menu::Poll("game", 0);
    const MenuItem& lines = Menu::Current()[0];
    EXPECT_EQ(lines.normal.hit.Width(), g_MenuFont.Measure(26, u"Lines") + 2);
    EXPECT_EQ(lines.normal.hit.Height(), 32);
    EXPECT_EQ(lines.selected.hit.Height(), 36);
    // A missing text key gives an item without text that still has its shortcut.
    Menu::Poll("option", 0);
    EXPECT_EQ(Menu::FindCurrent(8)->text, nullptr);
}

TEST_F(MenuTest, HotRectanglesClickSilentlyOnHoverAndButtonsSwapPictures) {
    Frame("game");
    devices.mouseX = 100, devices.mouseY = 450; // inside the first game's picture
    Frame("game");
    EXPECT_EQ(Count("move_menu"), 0u);
    EXPECT_EQ(MouseFrame("game"), 1);
    EXPECT_EQ(Count("select_menu"), 1u);
    devices.mouseX = 45; // on the edge: strictly inside only
    EXPECT_EQ(MouseFrame("game"), 0);

    devices.pictures.clear();
    Frame("board");
    devices.mouseX = 700, devices.mouseY = 430;
    Frame("board");
    EXPECT_EQ(Count("move_menu"), 1u);
    ASSERT_EQ(devices.pictures.size(), 2u);
    EXPECT_EQ(devices.pictures[0], "Butmenu01");
    EXPECT_EQ(devices.pictures[1], "Butmenu02");
    devices.mouseX = 758; // 620 + 137 is outside
    Frame("board");
    EXPECT_FALSE(Menu::Current()[0].underMouse);
}

TEST_F(MenuTest, SetMenuPropertyTouchesOnlyExistingItemsOfThatMenu) {
    Menu::SetMenuProperty("main", "normal", "fontSize", 40);
    Menu::SetMenuProperty("main", "select", "colour", 99);    // unknown: nothing
    Menu::SetMenuProperty("main", "disabled", "fontSize", 1); // unknown: nothing
    Menu::SetMenuProperty("main", "size", &g_MenuFont);       // unknown: nothing
    MenuItem* late = Menu::AddTextItem("main", 0, 0, u"Late", 7, 0);
    Menu::Poll("main", 0);
    for (const MenuItem& item : Menu::Current()) {
        EXPECT_EQ(item.normal.size, item.id == 7 ? 30u : 40u);
        EXPECT_EQ(item.selected.size, 32u);
        EXPECT_EQ(item.disabled.size, 30u);
        EXPECT_EQ(item.font, &g_MainFont);
    }
    EXPECT_EQ(late->id, 7);
    Menu::Draw(screen);
    EXPECT_EQ(Menu::Current()[6].screenY, 0 + (6 - 3) * 40 + 300);
}

// ---- Keys and the highlight ---------------------------------------------------------------------

TEST_F(MenuTest, KeysMoveAHighlightAndTheMouseTakesItBack) {
    using namespace Input::Key;
    Frame("main");
    EXPECT_EQ(Highlighted(), 0);
    // The first key shows the highlight on the first item, with the hover sound.
    EXPECT_EQ(Frame("main", {Down}), 0);
    EXPECT_EQ(Highlighted(), 1);
    EXPECT_EQ(Count("move_menu"), 1u);
    // Round from the top to the bottom; one item to a row: Left goes nowhere.
    Walk("main", {{Down, 2}, {Up, 1}, {Up, 5}, {Left, 5}});
    EXPECT_EQ(Count("move_menu"), 4u);
    // It is drawn with the hover look.
    EXPECT_NE(registry.Find(Text::CacheKey(g_MainFont, 32, 0xFFFFFF00, u"Exit", 400, 380).c_str()), nullptr);
    // Enter and Space choose it, with the same id and sound as a click.
    EXPECT_EQ(Frame("main", {Enter}), 5);
    EXPECT_EQ(Frame("main", {Space}), 5);
    EXPECT_EQ(Count("select_menu"), 2u);
    EXPECT_TRUE(Menu::KeysOwnHighlight());

    // The mouse resting over an item does not fight the keys...
    MouseTo(Menu::Current()[1]);
    Frame("main");
    EXPECT_EQ(Highlighted(), 2) << "the mouse moved onto Help";
    EXPECT_FALSE(Menu::KeysOwnHighlight());
    // ...and the keys start again where they begin
    Frame("main", {Down});
    EXPECT_EQ(Highlighted(), 1);
    Frame("main");
    EXPECT_EQ(Highlighted(), 1) << "the resting mouse over Help leaves the keys' highlight alone";
    // A click hands it back to the mouse even without a move.
    EXPECT_EQ(MouseFrame("main"), 2);
}

TEST_F(MenuTest, ItemsSideBySideTakeLeftAndRightAndRowsTakeUpAndDown) {
    using namespace Input::Key;
    // Lines first; round along the row; the row below is Back; up to the game nearest above;
    // round from the top row to the bottom one.
    Frame("game");
    Walk(
        "game",
        {{Right, 1}, {Right, 2}, {Right, 3}, {Right, 4}, {Right, 1}, {Left, 4}, {Down, 5}, {Up, 2}, {Up, 5}});
    for (const MenuItem& item : Menu::Current())
        if (item.kind == kMenuHotRect) {
            EXPECT_FALSE(item.underMouse) << "hot rectangles have no look";
        }

    // A new menu under the keys starts on its first item in reading order, quietly.
    const size_t sounds = devices.sounds.size();
    Frame("");
    Frame("hiScores");
    EXPECT_EQ(Highlighted(), 1);
    EXPECT_EQ(devices.sounds.size(), sounds);
    Walk("hiScores", {{Left, 4}, {Down, 5}});

    // Options: two rows of -/+, then Save (the On/Off item has no text in this table: skipped).
    Frame("");
    Frame("option");
    // Music - stands first; sound + lies straight below; round to the top, nearest to Save's x.
    EXPECT_EQ(Highlighted(), 6);
    Walk("option", {{Right, 5}, {Down, 2}, {Down, 7}, {Down, 6}});
    // Escape keeps its shortcut.
    EXPECT_EQ(Frame("option", {Escape}), 10);
}

TEST_F(MenuTest, DisabledItemsTypingAndTheBoardKeepTheirKeys) {
    using namespace Input::Key;
    // A highlighted item that becomes disabled gives the highlight to the first enabled one.
    Frame("inGame");
    Frame("inGame", {Down});
    Frame("inGame", {Down});
    ASSERT_EQ(Highlighted(), 2);
    Menu::FindCurrent(2)->enabled = 0;
    Menu::FindCurrent(1)->enabled = 0;
    Frame("inGame");
    EXPECT_EQ(Highlighted(), 3);
    Frame("inGame", {Up});
    EXPECT_EQ(Highlighted(), 5) << "disabled items are stepped over";

    // Name entry: Space is a character, Enter keeps its shortcut.
    Frame("");
    Frame("enterScores");
    EXPECT_EQ(Frame("enterScores", {Space}), 0);
    EXPECT_EQ(Frame("enterScores", {Enter}), 1);

    // During play the arrows belong to the board: no highlight on the pause button.
    Frame("board");
    for (uint8_t key : {Down, Right, Enter, Space}) {
        EXPECT_EQ(Frame("board", {key}), 0);
        EXPECT_EQ(Highlighted(), 0);
    }
    EXPECT_EQ(Frame("board", {Escape}), 1);
    // Keys used on the board still own the highlight of the panel that follows.
    Frame("");
    Frame("inGame");
    EXPECT_EQ(Highlighted(), 1);
}

} // namespace
