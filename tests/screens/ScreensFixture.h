#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/Config.h"
#include "game/GameBoard.h"
#include "game/MemorySeam.h"
#include "gfx/Animation.h"
#include "platform/Clock.h"
#include "platform/Registry.h"
#include "screens/Screens.h"
#include "support/TempDir.h"
#include "ui/Frontend.h"
#include "ui/HighScores.h"
#include "ui/Menu.h"

// The screens without a window: scenes are names in a recorder, the clock and the menu devices
// are the test's, the registry lives in a temporary folder and the board runs on the in-memory
// seam.
namespace ScreensTest {

struct Callbacks {
    UpdateCallback update = nullptr;
    DrawCallback overlay = nullptr;
    DrawCallback afterScene = nullptr;
};

struct World {
    uint32_t now = 100000;
    std::string active = "Level_00_00";
    std::vector<std::string> switches;
    std::map<std::string, Callbacks> scenes;
    // Menu devices
    std::deque<uint32_t> mouseEvents;
    int32_t mouseX = 0, mouseY = 0;
    std::set<uint32_t> keysPressed;
    std::vector<std::string> menuSounds;
    int32_t quitCalls = 0, modeSwitchCalls = 0;
};

class ScreensFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        Platform::SetRegistryRoot(dir_.path());
        EXPECT_TRUE(g_Settings.OpenKey("Software\\Quillmarsh\\Parlorix\\Options"));
        World& w = world_;
        Platform::SetTimeSource([&w] { return w.now; });

        Frontend::SceneHost host;
        host.activeSceneName = [&w] { return w.active.c_str(); };
        host.switchScene = [&w](const char* name) {
            w.active = name;
            w.switches.push_back(name);
        };
        host.setUpdate = [&w](const char* scene, UpdateCallback f) { w.scenes[scene].update = f; };
        host.setOverlay = [&w](const char* scene, DrawCallback f) { w.scenes[scene].overlay = f; };
        host.setAfterScene = [&w](const char* scene, DrawCallback f) { w.scenes[scene].afterScene = f; };
        host.activeOverlay = [&w] { return w.scenes[w.active].overlay; };
        Frontend::SetSceneHost(host);
        Frontend::AppHooks app;
        app.quit = [&w] { ++w.quitCalls; };
        app.requestModeSwitch = [&w] { ++w.modeSwitchCalls; };
        Frontend::SetAppHooks(app);
        // No previews and no saved game; tests that start games from the selection set more.
        game_.prepareGameScenes = [] {};
        game_.newGame = [](int32_t) {};
        game_.tickPreviews = [] {};
        game_.drawPreviews = [](SDL_Surface*) {};
        game_.savedGameOffered = [] { return false; };
        game_.continueSavedGame = [] {};
        Frontend::SetGameHooks(game_);
        Frontend::ResetState();

        MenuDevices devices;
        devices.nextMouseEvent = [&w](uint32_t& event) {
            if (w.mouseEvents.empty()) return;
            event = w.mouseEvents.front();
            w.mouseEvents.pop_front();
        };
        devices.mousePosition = [&w](int32_t& x, int32_t& y) {
            x = w.mouseX;
            y = w.mouseY;
        };
        devices.keyPressed = [&w](uint32_t code) { return w.keysPressed.count(code) > 0; };
        devices.keyRepeated = devices.keyPressed;
        devices.playSound = [&w](const char* name) { w.menuSounds.push_back(name ? name : ""); };
        devices.getPicture = [](const char*) -> SDL_Surface* { return nullptr; };
        Menu::Reset();
        Menu::SetDevices(devices);
        Menu::CreateAllMenus();

        HighScores::Reset();
        Game::ResetScreens();
        Animation::SetFrozen(false);
        seam_.clock = world_.now;
        Game::g_Board.SetSeam(&seam_);
    }

    void TearDown() override {
        // The items' objects belong to this test's seam.
        Game::g_Board.ClearBoard();
        Game::g_Board.SetSeam(nullptr);
        // Nothing may reach this test's world once it is gone.
        Menu::Reset();
        Menu::SetDevices({});
        Frontend::SetSceneHost({});
        Frontend::SetAppHooks({});
        Frontend::SetGameHooks({});
        HighScores::Reset();
        Platform::SetTimeSource(nullptr);
        Platform::SetRegistryRoot("");
    }

    // Makes the first enabled item with `id` of the current menu (with a text, or an off-screen
    // keyboard item) the one under the mouse, and runs a frame with a click there (positions
    // normally come from the menu's draw and the measured text sizes).
    void Click(int32_t id) {
        bool aimed = false;
        for (MenuItem& item : Menu::Current()) {
            const bool target = !aimed && item.id == id && item.enabled &&
                                (item.kind != kMenuText || (item.text && item.text[0]) || item.x < 800);
            aimed = aimed || target;
            item.screenX = target ? (item.kind == kMenuText ? 400 : 350) : -1000;
            item.screenY = target ? 300 : -1000;
            item.normal.hit = TextRect{0, 0, 100, 40};
        }
        world_.mouseX = 400;
        world_.mouseY = 310;
        world_.mouseEvents.push_back(Menu::kLeftReleased);
        Frame();
    }

    // One frame of the active scene's update at the current clock; keys are pressed for that
    // frame only.
    void Frame(std::set<uint32_t> keys = {}) {
        world_.keysPressed = std::move(keys);
        seam_.clock = world_.now;
        Callbacks& c = world_.scenes[world_.active];
        if (c.update) c.update(16, nullptr);
        world_.keysPressed.clear();
    }

    void Advance(uint32_t ms) {
        world_.now += ms;
        seam_.clock = world_.now;
    }

    // Past a panel's 500 ms slide, and a frame there.
    void Slide() {
        Advance(501);
        Frame();
    }

    Callbacks& Active() { return world_.scenes[world_.active]; }

    TempDir dir_{false};
    World world_;
    Frontend::GameHooks game_;
    Game::MemorySeam seam_;
};

} // namespace ScreensTest
