// Game controllers through SDL's own event queue: a virtual controller (SDL's virtual joystick
// driver, under the dummy video driver) is plugged in while input runs, and its buttons and stick
// are set the way a real pad would report them.
#include <SDL.h>
#include <gtest/gtest.h>

#include "input/Input.h"
#include "platform/Clock.h"

namespace {

uint32_t g_now = 1000;
uint32_t FakeNow() {
    return g_now;
}

class ControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Input::Shutdown();
        Input::Reset();
        ASSERT_TRUE(Input::Init(false));
        Platform::SetTimeSource(&FakeNow);
        Frame();
    }
    void TearDown() override {
        if (pad_) SDL_JoystickClose(pad_);
        if (index_ >= 0) SDL_JoystickDetachVirtual(index_);
        Frame();
        Platform::SetTimeSource(nullptr);
        Input::Shutdown();
        Input::Reset();
    }

    void Frame() {
        Input::PumpEvents();
        Input::Poll();
    }

    // Plugs a controller in; the next frame sees it.
    void PlugIn() {
        index_ = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                           SDL_CONTROLLER_BUTTON_MAX, 0);
        ASSERT_GE(index_, 0) << SDL_GetError();
        pad_ = SDL_JoystickOpen(index_);
        ASSERT_NE(pad_, nullptr) << SDL_GetError();
        Frame();
    }
    void Button(SDL_GameControllerButton button, bool down) {
        ASSERT_EQ(SDL_JoystickSetVirtualButton(pad_, button, down ? 1 : 0), 0) << SDL_GetError();
    }
    void Axis(SDL_GameControllerAxis axis, Sint16 value) {
        ASSERT_EQ(SDL_JoystickSetVirtualAxis(pad_, axis, value), 0) << SDL_GetError();
    }

    int index_ = -1;
    SDL_Joystick* pad_ = nullptr;
};

TEST_F(ControllerTest, AControllerPluggedInWhileRunningWorksAtOnce) {
    EXPECT_EQ(Input::ControllerCount(), 0);
    PlugIn();
    EXPECT_EQ(Input::ControllerCount(), 1);

    // A is Enter, B and Start are Escape; each press is seen once, in its frame.
    Button(SDL_CONTROLLER_BUTTON_A, true);
    Frame();
    EXPECT_TRUE(Input::KeyPressed(Input::Key::Enter));
    EXPECT_FALSE(Input::KeyDown(Input::Key::Enter)) << "the keyboard's own state is untouched";
    Frame();
    EXPECT_FALSE(Input::KeyPressed(Input::Key::Enter));
    Button(SDL_CONTROLLER_BUTTON_A, false);
    for (SDL_GameControllerButton back : {SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_START}) {
        Button(back, true);
        Frame();
        EXPECT_TRUE(Input::KeyPressed(Input::Key::Escape)) << back;
        Button(back, false);
        Frame();
    }

    // A tap of the D-pad shorter than a frame still counts.
    Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    Input::PumpEvents();
    Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
    Frame();
    EXPECT_TRUE(Input::KeyPressed(Input::Key::Left));

    // Unplugged: forgotten, and nothing it held stays held.
    SDL_JoystickClose(pad_);
    pad_ = nullptr;
    ASSERT_EQ(SDL_JoystickDetachVirtual(index_), 0);
    index_ = -1;
    Frame();
    EXPECT_EQ(Input::ControllerCount(), 0);
}

TEST_F(ControllerTest, HeldDirectionsRepeatAndTheStickActsAsTheDpad) {
    PlugIn();
    Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
    Frame();
    EXPECT_TRUE(Input::KeyPressed(Input::Key::Down));
    int repeats = 0;
    // 1 s held: the first repeat after the delay, then one per interval.
    for (int ms = 10; ms <= 1000; ms += 10) {
        g_now += 10;
        Frame();
        EXPECT_FALSE(Input::KeyPressed(Input::Key::Down));
        repeats += Input::KeyPressedOrRepeated(Input::Key::Down) ? 1 : 0;
    }
    EXPECT_EQ(repeats, 1 + int((1000 - Input::kRepeatDelayMs) / Input::kRepeatIntervalMs));
    Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, false);
    g_now += 200;
    Frame();
    EXPECT_FALSE(Input::KeyPressedOrRepeated(Input::Key::Down));

    // The stick: a direction past the threshold, none inside it, and no chatter just below it.
    Axis(SDL_CONTROLLER_AXIS_LEFTX, 20000);
    Frame();
    EXPECT_TRUE(Input::KeyPressed(Input::Key::Right));
    Axis(SDL_CONTROLLER_AXIS_LEFTX, 14000); // still held: between the two thresholds
    Frame();
    Axis(SDL_CONTROLLER_AXIS_LEFTX, 20000);
    Frame();
    EXPECT_FALSE(Input::KeyPressed(Input::Key::Right));
    Axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
    Axis(SDL_CONTROLLER_AXIS_LEFTY, -32768);
    Frame();
    EXPECT_TRUE(Input::KeyPressed(Input::Key::Up));
    EXPECT_FALSE(Input::KeyPressed(Input::Key::Right));
    Axis(SDL_CONTROLLER_AXIS_LEFTY, 0);
    Frame();
    Axis(SDL_CONTROLLER_AXIS_LEFTX, -3000); // the dead middle
    Frame();
    EXPECT_FALSE(Input::KeyPressed(Input::Key::Left));
}

TEST_F(ControllerTest, KeyboardRepeatCountsAsRepeatNotAsPress) {
    ASSERT_TRUE(Input::PushKey(Input::Key::Right, true));
    Frame();
    EXPECT_TRUE(Input::KeyPressed(Input::Key::Right));
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.repeat = 1;
    e.key.keysym.scancode = SDL_SCANCODE_RIGHT;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    Frame();
    EXPECT_FALSE(Input::KeyPressed(Input::Key::Right));
    EXPECT_TRUE(Input::KeyPressedOrRepeated(Input::Key::Right));
    Frame();
    EXPECT_FALSE(Input::KeyPressedOrRepeated(Input::Key::Right));
}

} // namespace
