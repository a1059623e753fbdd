#include <SDL.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "input/Input.h"
#include "platform/Clock.h"

namespace {

class InputTest : public ::testing::Test {
  protected:
    void SetUp() override { Start(false); }
    void TearDown() override {
        Input::Shutdown();
        Input::Reset();
    }

    void Start(bool fullscreen) {
        Input::Shutdown();
        Input::Reset();
        ASSERT_TRUE(Input::Init(fullscreen));
        Input::PumpEvents(); // whatever a previous case left behind
    }

    // One frame: the application drains the queue, then polls.
    void Frame() {
        Input::PumpEvents();
        Input::Poll();
    }

    static void Key(uint8_t code, bool down) { ASSERT_TRUE(Input::PushKey(code, down)); }
    void Click(uint32_t button) {
        ASSERT_TRUE(Input::PushMouseButton(button, true));
        ASSERT_TRUE(Input::PushMouseButton(button, false));
    }

    using P = std::pair<int32_t, int32_t>;
    static P Pointer() {
        P at{-1, -1};
        Input::MousePosition(at.first, at.second);
        return at;
    }

    static SDL_Event Motion(int x, int y, int xrel, int yrel) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.x = x;
        e.motion.y = y;
        e.motion.xrel = xrel;
        e.motion.yrel = yrel;
        return e;
    }

    static std::vector<uint32_t> DrainQueue() {
        std::vector<uint32_t> out;
        uint32_t ev = 0;
        while (Input::NextMouseEvent(ev))
            out.push_back(ev);
        return out;
    }
};

TEST_F(InputTest, KeyPressedOnlyInTheFrameTheKeyWentDownAndRepeatsAreNoPress) {
    Key(Input::Key::Escape, true);
    Frame();
    EXPECT_TRUE(Input::KeyPressed(Input::Key::Escape));
    EXPECT_TRUE(Input::KeyDown(Input::Key::Escape));

    // Held, a second down event, and the system's key repeat: no new press, only a repeat.
    Key(Input::Key::Escape, true);
    Frame();
    EXPECT_FALSE(Input::KeyPressed(Input::Key::Escape));
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.repeat = 1;
    e.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    Frame();
    EXPECT_FALSE(Input::KeyPressed(Input::Key::Escape));
    EXPECT_TRUE(Input::KeyPressedOrRepeated(Input::Key::Escape));
    Frame();
    EXPECT_FALSE(Input::KeyPressedOrRepeated(Input::Key::Escape));

    Key(Input::Key::Escape, false);
    Frame();
    EXPECT_FALSE(Input::KeyPressed(Input::Key::Escape));
    EXPECT_FALSE(Input::KeyDown(Input::Key::Escape));
    Key(Input::Key::Escape, true);
    Frame();
    EXPECT_TRUE(Input::KeyPressed(Input::Key::Escape));

    // A tap shorter than a frame is still seen, once.
    Key(Input::Key::PrintScreen, true);
    Key(Input::Key::PrintScreen, false);
    Frame();
    EXPECT_TRUE(Input::KeyPressed(Input::Key::PrintScreen));
    Frame();
    EXPECT_FALSE(Input::KeyPressed(Input::Key::PrintScreen));

    // Three taps within one slow frame are three presses, one a frame, the last held on.
    for (int i = 0; i < 3; ++i) {
        Key(Input::Key::Left, true);
        if (i < 2) Key(Input::Key::Left, false);
    }
    for (int i = 0; i < 3; ++i) {
        Frame();
        EXPECT_TRUE(Input::KeyPressed(Input::Key::Left)) << "tap " << i;
    }
    Frame();
    EXPECT_FALSE(Input::KeyPressed(Input::Key::Left));
    EXPECT_TRUE(Input::KeyDown(Input::Key::Left));
}

TEST_F(InputTest, PressedCharacterFollowsShiftAndTheTable) {
    using namespace Input::Key;
    // Backspace is 7 and Tab 8; keys without a character give 0. Two keys in one frame: the lower
    // scan code wins (Q 0x10 before A 0x1E). Right Shift (0x36) counts as Shift, even going down in
    // the same frame; Left Shift (0x2A) going down with X (0x2D) is not taken for the character.
    const struct {
        uint8_t key, also; // also: a second key in the same frame, 0 for none
        bool shift;        // Left Shift held from the frame before
        char want;
    } cases[] = {{0x1E, 0, false, 'a'},    {0x1E, 0, true, 'A'},    {0x03, 0, true, '@'},
                 {0x28, 0, true, '"'},     {0x2B, 0, false, '\\'},  {Space, 0, true, ' '},
                 {Backspace, 0, false, 7}, {Backspace, 0, true, 7}, {Tab, 0, false, 8},
                 {Left, 0, false, 0},      {Enter, 0, false, 0},    {0x1E, 0x10, false, 'q'},
                 {0x36, 0x2C, false, 'Z'}, {0x2A, 0x2D, false, 'X'}};
    for (const auto& c : cases) {
        if (c.shift) Key(LeftShift, true);
        Frame();
        Key(c.key, true);
        if (c.also) Key(c.also, true);
        Frame();
        EXPECT_EQ(Input::PressedCharacter(), c.want) << int(c.key) << (c.shift ? " with shift" : "");
        Key(c.key, false);
        if (c.also) Key(c.also, false);
        if (c.shift) Key(LeftShift, false);
        Frame();
    }
    // Nothing went down this frame.
    EXPECT_EQ(Input::PressedCharacter(), 0);
}

TEST_F(InputTest, TypedTextKeepsWhatTheLayoutProducedInOrder) {
    auto text = [](const char* utf8) {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
        Input::HandleEvent(e);
    };
    // A fast typist: "ZXCVBNM Test" with Shift going down and up between letters, all between two
    // frames. The capitals come from the layout, never from the scan-code table.
    Key(Input::Key::LeftShift, true);
    for (const char* c : {"Z", "X", "C", "V", "B", "N", "M"}) {
        ASSERT_TRUE(Input::PushText(c));
    }
    Key(Input::Key::LeftShift, false);
    for (const char* c : {" ", "T"})
        ASSERT_TRUE(Input::PushText(c));
    Input::PumpEvents();
    for (const char* c : {"e", "s", "t"})
        text(c);
    Input::Poll();
    EXPECT_EQ(Input::TypedText(), u"ZXCVBNM Test");
    Input::Poll();
    EXPECT_EQ(Input::TypedText(), u""); // handed over once

    // Letters no US key gives, an editing key between them, control characters dropped.
    text("Zo\xc3\xab"); // Zoë
    Key(Input::Key::Backspace, true);
    Key(Input::Key::Backspace, false);
    Frame();
    text("\xc4\x8c\x01\xd0\xb6"); // Č, a control code, ж
    Key(Input::Key::Tab, true);
    Frame();
    EXPECT_EQ(Input::TypedText(), u"\u010C\u0436\x08");
    text("\xff\xfe"); // not UTF-8
    Input::Poll();
    EXPECT_EQ(Input::TypedText(), u"");
}

TEST_F(InputTest, HeldButtonGivesOnePressAndOneRelease) {
    ASSERT_TRUE(Input::PushMouseButton(Input::MouseRight, true));
    Frame();
    Frame();
    EXPECT_EQ(DrainQueue(), std::vector<uint32_t>{0x80000001u});
    Frame();
    EXPECT_TRUE(DrainQueue().empty());
    ASSERT_TRUE(Input::PushMouseButton(Input::MouseRight, false));
    Frame();
    EXPECT_EQ(DrainQueue(), std::vector<uint32_t>{0x40000001u});

    // An empty queue leaves the caller's value alone.
    uint32_t ev = 1234;
    EXPECT_FALSE(Input::NextMouseEvent(ev));
    EXPECT_EQ(ev, 1234u);
}

TEST_F(InputTest, QueueKeepsFifteenEventsAndDropsTheRest) {
    // Eight clicks = sixteen events in one frame with no reader.
    for (int i = 0; i < 8; ++i)
        Click(i % 2 ? Input::MouseMiddle : Input::MouseLeft);
    Frame();
    std::vector<uint32_t> got = DrainQueue();
    ASSERT_EQ(got.size(), 15u);
    for (size_t i = 0; i < got.size(); ++i) {
        uint32_t button = (i / 2) % 2 ? Input::MouseMiddle : Input::MouseLeft;
        uint32_t kind = i % 2 ? Input::MouseReleased : Input::MousePressed;
        EXPECT_EQ(got[i], kind | button) << i;
    }
    // Once read, the queue takes new events again.
    Click(Input::MouseLeft);
    Frame();
    EXPECT_EQ(DrainQueue(), (std::vector<uint32_t>{0x80000000u, 0x40000000u}));

    // Across frames too: filling over several polls still keeps 15.
    for (int i = 0; i < 10; ++i) {
        Click(Input::MouseLeft);
        Frame();
    }
    EXPECT_EQ(DrainQueue().size(), 15u);
}

// A window twice the layout's size with a 100-pixel bar on the left.
void DoubleSizeLetterbox(int32_t wx, int32_t wy, int32_t& lx, int32_t& ly) {
    lx = (wx - 100) / 2;
    ly = wy / 2;
}

TEST_F(InputTest, FullscreenMouseIsClampedScaledAndRespondsAtOnce) {
    Start(true);
    EXPECT_EQ(Pointer(), P(0, 0));

    Input::HandleEvent(Motion(0, 0, -40, -40));
    EXPECT_EQ(Pointer(), P(0, 0));

    Input::HandleEvent(Motion(0, 0, 5000, 5000));
    EXPECT_EQ(Pointer(), P(Input::ClientWidth - 1, Input::ClientHeight - 1));

    // Coming back from beyond the edge moves the pointer in the very first event.
    Input::HandleEvent(Motion(0, 0, 5000, 0));
    Input::HandleEvent(Motion(0, 0, -10, -20));
    EXPECT_EQ(Pointer(), P(Input::ClientWidth - 11, Input::ClientHeight - 21));

    // Absolute window positions mean nothing in fullscreen.
    Input::HandleEvent(Motion(3, 3, 1, 1));
    EXPECT_EQ(Pointer().first, Input::ClientWidth - 10);

    // Motion follows the display's scale without losing slow moves.
    Start(true);
    Input::SetWindowMapping(DoubleSizeLetterbox);
    Input::HandleEvent(Motion(0, 0, 200, 100));
    for (int i = 0; i < 9; ++i)
        Input::HandleEvent(Motion(0, 0, 1, 1));
    EXPECT_EQ(Pointer(), P(104, 54));
    Input::HandleEvent(Motion(0, 0, 2000000000, -2000000000));
    EXPECT_EQ(Pointer(), P(Input::ClientWidth - 1, 0));
    Input::SetWindowMapping(nullptr);
}

TEST_F(InputTest, WindowedMouseUndoesTheDisplayScaling) {
    Input::HandleEvent(Motion(250, 120, 250, 120));
    EXPECT_EQ(Pointer(), P(250, 120));

    Input::SetWindowMapping(DoubleSizeLetterbox);
    Input::HandleEvent(Motion(900, 600, 0, 0));
    EXPECT_EQ(Pointer(), P(400, 300));
    Input::SetWindowMapping(nullptr);
}

TEST_F(InputTest, ScriptedMovesUseLayoutCoordinatesInBothModes) {
    for (bool fullscreen : {false, true}) {
        Start(fullscreen);
        Input::SetWindowMapping(DoubleSizeLetterbox);
        ASSERT_TRUE(Input::PushMouseMove(321, 123));
        Click(Input::MouseLeft);
        Frame();
        EXPECT_EQ(Pointer(), P(321, 123)) << fullscreen;
        EXPECT_EQ(DrainQueue().size(), 2u);
        Input::SetWindowMapping(nullptr);
    }
}

TEST_F(InputTest, ReleasedMouseIgnoresButtonsUntilAcquiredAgain) {
    ASSERT_TRUE(Input::PushMouseButton(Input::MouseLeft, true));
    Frame();
    EXPECT_EQ(DrainQueue().size(), 1u);

    // Switched away with the button held: the release is never seen by the device.
    Input::SetAcquired(false);
    Click(Input::MouseRight);
    Frame();
    EXPECT_TRUE(DrainQueue().empty());

    Input::SetAcquired(true);
    ASSERT_TRUE(Input::PushMouseButton(Input::MouseLeft, true));
    Frame();
    EXPECT_EQ(DrainQueue(), std::vector<uint32_t>{0x80000000u});
}

TEST_F(InputTest, StateSurvivesReinitialisation) {
    Start(true);
    Input::HandleEvent(Motion(0, 0, 30, 40));
    Click(Input::MouseLeft);
    Frame();
    ASSERT_TRUE(Input::Init(true)); // display-mode switch
    EXPECT_EQ(Pointer(), P(30, 40));
    EXPECT_EQ(DrainQueue().size(), 2u);
}

uint32_t g_now = 1000;
uint32_t FakeNow() {
    return g_now;
}

// Game controllers through SDL's own event queue: a virtual controller (SDL's virtual joystick
// driver, under the dummy video driver) is plugged in while input runs, and its buttons and stick
// are set the way a real pad would report them.
class ControllerTest : public InputTest {
  protected:
    void SetUp() override {
        InputTest::SetUp();
        Platform::SetTimeSource(&FakeNow);
        Frame();
    }
    void TearDown() override {
        if (pad_) SDL_JoystickClose(pad_);
        if (index_ >= 0) SDL_JoystickDetachVirtual(index_);
        Frame();
        Platform::SetTimeSource(nullptr);
        InputTest::TearDown();
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

} // namespace
