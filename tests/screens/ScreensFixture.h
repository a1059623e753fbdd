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
#include "game/Screens.h"
#include "gfx/Animation.h"
#include "platform/Clock.h"
#include "platform/Registry.h"
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

inline World*& TheWorld() {
    static World* world = nullptr;
    return world;
}

class ScreensFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        world_ = std::make_unique<World>();
        TheWorld() = world_.get();
        Platform::SetRegistryRoot(dir_.path());
        g_Settings.OpenKey("Software\\Quillmarsh\\Parlorix\\Options");
        Platform::SetTimeSource([] { return TheWorld()->now; });

        Frontend::SceneHost host;
        host.activeSceneName = [] { return TheWorld()->active.c_str(); };
        host.switchScene = [](const char* name) {
            TheWorld()->active = name;
            TheWorld()->switches.push_back(name);
        };
        host.setUpdate = [](const char* scene, UpdateCallback f) { TheWorld()->scenes[scene].update = f; };
        host.setOverlay = [](const char* scene, DrawCallback f) { TheWorld()->scenes[scene].overlay = f; };
        host.setAfterScene = [](const char* scene, DrawCallback f) {
            TheWorld()->scenes[scene].afterScene = f;
        };
        host.activeOverlay = [] { return TheWorld()->scenes[TheWorld()->active].overlay; };
        Frontend::SetSceneHost(host);
        Frontend::AppHooks app;
        app.quit = [] { ++TheWorld()->quitCalls; };
        app.requestModeSwitch = [] { ++TheWorld()->modeSwitchCalls; };
        Frontend::SetAppHooks(app);
        Frontend::ResetState();

        MenuDevices devices;
        devices.nextMouseEvent = [](uint32_t& event) {
            World* w = TheWorld();
            if (w->mouseEvents.empty()) return;
            event = w->mouseEvents.front();
            w->mouseEvents.pop_front();
        };
        devices.mousePosition = [](int32_t& x, int32_t& y) {
            x = TheWorld()->mouseX;
            y = TheWorld()->mouseY;
        };
        devices.keyPressed = [](uint32_t code) { return TheWorld()->keysPressed.count(code) > 0; };
        devices.playSound = [](const char* name) { TheWorld()->menuSounds.push_back(name ? name : ""); };
        Menu::Reset();
        Menu::SetDevices(devices);
        Menu::CreateAllMenus();

        HighScores::Reset();
        Game::ResetScreens();
        Animation::SetFrozen(false);
        seam_.clock = world_->now;
        Game::g_Board.SetSeam(&seam_);
    }

    void TearDown() override {
        // The items' objects belong to this test's seam.
        Game::g_Board.ClearBoard();
        Game::g_Board.SetSeam(nullptr);
        Menu::Reset();
        Menu::UseDefaultDevices();
        Frontend::UseDefaultSceneHost();
        Frontend::SetAppHooks(Frontend::AppHooks());
        HighScores::Reset();
        Platform::SetTimeSource(nullptr);
        Platform::SetRegistryRoot("");
        TheWorld() = nullptr;
    }

    // One frame of the active scene's update at the current clock; keys are pressed for that
    // frame only.
    void Frame(std::set<uint32_t> keys = {}) {
        world_->keysPressed = std::move(keys);
        seam_.clock = world_->now;
        Callbacks& c = world_->scenes[world_->active];
        if (c.update) c.update(16, nullptr);
        world_->keysPressed.clear();
    }

    void Advance(uint32_t ms) {
        world_->now += ms;
        seam_.clock = world_->now;
    }

    Callbacks& Active() { return world_->scenes[world_->active]; }

    TempDir dir_{false};
    std::unique_ptr<World> world_;
    Game::MemorySeam seam_;
};

} // namespace ScreensTest
