#pragma once
#include <cstdint>
#include <string>

union SDL_Event;

// Keyboard, mouse and joysticks, read once per frame. The application drains SDL's event queue
// itself and hands every event to HandleEvent; Poll then turns what arrived since the last frame
// into the per-frame state the rest of the program reads.
namespace Input {

// Scan codes: the classic PC set-1 numbering (extended keys with bit 7 set). Every key the program
// asks for by code is listed here; letters and digits follow the same numbering
// (0x02..0x0B = 1..9,0, 0x10..0x19 = Q..P, 0x1E..0x26 = A..L, 0x2C..0x32 = Z..M).
namespace Key {
constexpr uint8_t Escape = 0x01;
constexpr uint8_t Backspace = 0x0E;
constexpr uint8_t Tab = 0x0F;
constexpr uint8_t T = 0x14;
constexpr uint8_t Enter = 0x1C;
constexpr uint8_t LeftShift = 0x2A;
constexpr uint8_t RightShift = 0x36;
constexpr uint8_t Space = 0x39;
constexpr uint8_t F1 = 0x3B;
constexpr uint8_t F12 = 0x58;
constexpr uint8_t KeypadEnter = 0x9C;
constexpr uint8_t PrintScreen = 0xB7;
constexpr uint8_t Home = 0xC7;
constexpr uint8_t Up = 0xC8;
constexpr uint8_t PageUp = 0xC9;
constexpr uint8_t Left = 0xCB;
constexpr uint8_t Right = 0xCD;
constexpr uint8_t End = 0xCF;
constexpr uint8_t Down = 0xD0;
constexpr uint8_t PageDown = 0xD1;
constexpr uint8_t Delete = 0xD3;
} // namespace Key

// Mouse event codes in the queue: bit 31 = pressed, bit 30 = released, low bits = button
// (0 left, 1 right, 2 middle).
constexpr uint32_t MousePressed = 0x80000000u;
constexpr uint32_t MouseReleased = 0x40000000u;
constexpr uint32_t MouseButtonMask = 0x0000FFFFu;
constexpr uint32_t MouseLeft = 0, MouseRight = 1, MouseMiddle = 2;

// Client area of the fixed layout.
constexpr int32_t ClientWidth = 800;
constexpr int32_t ClientHeight = 600;

// Starts the devices. fullscreen: the mouse is read as relative motion clamped to the layout;
// windowed: the cursor position is taken from the window. Logs "Input::Init\n". Called at start-up
// and after every display-mode switch; the position, previous states and event queue survive.
[[nodiscard]] bool Init(bool fullscreen);
void Shutdown();
// Deactivation releases the mouse and joysticks, activation takes them back.
void SetAcquired(bool acquired);
bool IsAcquired();
bool IsFullscreen();

// Feeds one SDL event (keyboard, mouse, joystick device events); others are ignored.
void HandleEvent(const SDL_Event& event);
// Once per frame, before the scene's update.
void Poll();
// Counts the player's input events (keys, typing, mouse, controller); it changes whenever the
// player did something.
uint32_t ActivityCount();

// True only in the frame in which the key went down.
bool KeyPressed(uint8_t scanCode);
// True while the key is held.
bool KeyDown(uint8_t scanCode);
// KeyPressed, or a repeat of a held key this frame: the keyboard's own repeat (the desktop's rate),
// or a held controller direction (after kRepeatDelayMs, every kRepeatIntervalMs). Menus and the
// board cursor move with this.
bool KeyPressedOrRepeated(uint8_t scanCode);
constexpr uint32_t kRepeatDelayMs = 400;
constexpr uint32_t kRepeatIntervalMs = 110;
// Character of the lowest scan code of the table that went down this frame (US layout; Backspace
// gives 7 and Tab 8), or 0. Keys outside the table (Shift going down in the same frame) do not
// hide a letter.
char PressedCharacter();

// What the player typed since the previous frame, in order: the characters their keyboard layout
// produced (SDL text input, so any layout, dead keys and input methods work), with 7 for each
// Backspace and 8 for each Tab press (held keys repeat). Name entry reads this.
const std::u16string& TypedText();

// Stores the oldest queued mouse event in `out` and removes it; leaves `out` untouched and returns
// false when the queue is empty.
[[nodiscard]] bool NextMouseEvent(uint32_t& out);
// Mouse position in pixels of the 800 x 600 layout.
void MousePosition(int32_t& x, int32_t& y);

// Window co-ordinates -> layout co-ordinates. The default is the display's own mapping
// (Platform::WindowToLayout: 1:1 windowed, letterboxed fullscreen); nullptr restores it. In
// fullscreen the same mapping scales the relative motion, so the pointer keeps the desktop's speed.
using WindowMapping = void (*)(int32_t wx, int32_t wy, int32_t& lx, int32_t& ly);
void SetWindowMapping(WindowMapping mapping);

// Joysticks (at most two): x and y in -10..10 with a 10 % dead zone, 32 button flags.
struct JoystickState {
    int16_t x = 0;
    int16_t y = 0;
    uint8_t buttons[32] = {};
};
int JoystickCount();
[[nodiscard]] bool GetJoystick(int index, JoystickState& out);

// Game controllers (SDL's game-controller interface), opened at Init and whenever one is plugged
// in. They act as keys: the D-pad and the left stick as the arrow keys (repeating while held),
// A as Enter, B and Start as Escape (back, pause and resume).
constexpr int kMaxControllers = 4;
int ControllerCount();

// Scripted input: pushes real SDL events onto SDL's queue, so they take the same road as the
// user's (the application drains them into HandleEvent). Positions are layout co-ordinates.
// Returns false when SDL's event queue is not available.
[[nodiscard]] bool PushKey(uint8_t scanCode, bool down);
[[nodiscard]] bool PushMouseButton(uint32_t button, bool down);
[[nodiscard]] bool PushMouseMove(int32_t x, int32_t y);
// A text event, as a keyboard layout produces it (UTF-8).
[[nodiscard]] bool PushText(const char* utf8);
// Drains SDL's queue into HandleEvent (tests and tools without a main loop of their own).
void PumpEvents();
// The program's loop, where SDL's pump leaves joysticks alone (SDL_HINT_AUTO_UPDATE_JOYSTICKS):
// reads the open controllers and joysticks on every pass, and with none open looks for one
// plugged in a few times a second.
void UpdateDevices();

// Forgets keys, buttons, queue and positions, keeping the devices (tests only).
void Reset();

} // namespace Input
