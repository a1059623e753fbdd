#include "input/Input.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "core/Log.h"
#include "core/Utf8.h"
#include "platform/Clock.h"
#include "platform/Display.h"

namespace Input {
namespace {

// SDL scan code -> the program's scan code. One table; everything else derives from it.
struct KeyMapping {
    SDL_Scancode sdl;
    uint8_t code;
};
constexpr KeyMapping kKeyTable[] = {
    {SDL_SCANCODE_ESCAPE, 0x01},      {SDL_SCANCODE_1, 0x02},           {SDL_SCANCODE_2, 0x03},
    {SDL_SCANCODE_3, 0x04},           {SDL_SCANCODE_4, 0x05},           {SDL_SCANCODE_5, 0x06},
    {SDL_SCANCODE_6, 0x07},           {SDL_SCANCODE_7, 0x08},           {SDL_SCANCODE_8, 0x09},
    {SDL_SCANCODE_9, 0x0A},           {SDL_SCANCODE_0, 0x0B},           {SDL_SCANCODE_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, 0x0D},      {SDL_SCANCODE_BACKSPACE, 0x0E},   {SDL_SCANCODE_TAB, 0x0F},
    {SDL_SCANCODE_Q, 0x10},           {SDL_SCANCODE_W, 0x11},           {SDL_SCANCODE_E, 0x12},
    {SDL_SCANCODE_R, 0x13},           {SDL_SCANCODE_T, 0x14},           {SDL_SCANCODE_Y, 0x15},
    {SDL_SCANCODE_U, 0x16},           {SDL_SCANCODE_I, 0x17},           {SDL_SCANCODE_O, 0x18},
    {SDL_SCANCODE_P, 0x19},           {SDL_SCANCODE_LEFTBRACKET, 0x1A}, {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
    {SDL_SCANCODE_RETURN, 0x1C},      {SDL_SCANCODE_LCTRL, 0x1D},       {SDL_SCANCODE_A, 0x1E},
    {SDL_SCANCODE_S, 0x1F},           {SDL_SCANCODE_D, 0x20},           {SDL_SCANCODE_F, 0x21},
    {SDL_SCANCODE_G, 0x22},           {SDL_SCANCODE_H, 0x23},           {SDL_SCANCODE_J, 0x24},
    {SDL_SCANCODE_K, 0x25},           {SDL_SCANCODE_L, 0x26},           {SDL_SCANCODE_SEMICOLON, 0x27},
    {SDL_SCANCODE_APOSTROPHE, 0x28},  {SDL_SCANCODE_GRAVE, 0x29},       {SDL_SCANCODE_LSHIFT, 0x2A},
    {SDL_SCANCODE_BACKSLASH, 0x2B},   {SDL_SCANCODE_Z, 0x2C},           {SDL_SCANCODE_X, 0x2D},
    {SDL_SCANCODE_C, 0x2E},           {SDL_SCANCODE_V, 0x2F},           {SDL_SCANCODE_B, 0x30},
    {SDL_SCANCODE_N, 0x31},           {SDL_SCANCODE_M, 0x32},           {SDL_SCANCODE_COMMA, 0x33},
    {SDL_SCANCODE_PERIOD, 0x34},      {SDL_SCANCODE_SLASH, 0x35},       {SDL_SCANCODE_RSHIFT, 0x36},
    {SDL_SCANCODE_KP_MULTIPLY, 0x37}, {SDL_SCANCODE_LALT, 0x38},        {SDL_SCANCODE_SPACE, 0x39},
    {SDL_SCANCODE_CAPSLOCK, 0x3A},    {SDL_SCANCODE_F1, 0x3B},          {SDL_SCANCODE_F2, 0x3C},
    {SDL_SCANCODE_F3, 0x3D},          {SDL_SCANCODE_F4, 0x3E},          {SDL_SCANCODE_F5, 0x3F},
    {SDL_SCANCODE_F6, 0x40},          {SDL_SCANCODE_F7, 0x41},          {SDL_SCANCODE_F8, 0x42},
    {SDL_SCANCODE_F9, 0x43},          {SDL_SCANCODE_F10, 0x44},         {SDL_SCANCODE_NUMLOCKCLEAR, 0x45},
    {SDL_SCANCODE_SCROLLLOCK, 0x46},  {SDL_SCANCODE_KP_7, 0x47},        {SDL_SCANCODE_KP_8, 0x48},
    {SDL_SCANCODE_KP_9, 0x49},        {SDL_SCANCODE_KP_MINUS, 0x4A},    {SDL_SCANCODE_KP_4, 0x4B},
    {SDL_SCANCODE_KP_5, 0x4C},        {SDL_SCANCODE_KP_6, 0x4D},        {SDL_SCANCODE_KP_PLUS, 0x4E},
    {SDL_SCANCODE_KP_1, 0x4F},        {SDL_SCANCODE_KP_2, 0x50},        {SDL_SCANCODE_KP_3, 0x51},
    {SDL_SCANCODE_KP_0, 0x52},        {SDL_SCANCODE_KP_PERIOD, 0x53},   {SDL_SCANCODE_NONUSBACKSLASH, 0x56},
    {SDL_SCANCODE_F11, 0x57},         {SDL_SCANCODE_F12, 0x58},         {SDL_SCANCODE_F13, 0x64},
    {SDL_SCANCODE_F14, 0x65},         {SDL_SCANCODE_F15, 0x66},         {SDL_SCANCODE_KP_EQUALS, 0x8D},
    {SDL_SCANCODE_KP_ENTER, 0x9C},    {SDL_SCANCODE_RCTRL, 0x9D},       {SDL_SCANCODE_KP_DIVIDE, 0xB5},
    {SDL_SCANCODE_PRINTSCREEN, 0xB7}, {SDL_SCANCODE_RALT, 0xB8},        {SDL_SCANCODE_PAUSE, 0xC5},
    {SDL_SCANCODE_HOME, 0xC7},        {SDL_SCANCODE_UP, 0xC8},          {SDL_SCANCODE_PAGEUP, 0xC9},
    {SDL_SCANCODE_LEFT, 0xCB},        {SDL_SCANCODE_RIGHT, 0xCD},       {SDL_SCANCODE_END, 0xCF},
    {SDL_SCANCODE_DOWN, 0xD0},        {SDL_SCANCODE_PAGEDOWN, 0xD1},    {SDL_SCANCODE_INSERT, 0xD2},
    {SDL_SCANCODE_DELETE, 0xD3},      {SDL_SCANCODE_LGUI, 0xDB},        {SDL_SCANCODE_RGUI, 0xDC},
    {SDL_SCANCODE_APPLICATION, 0xDD},
};

uint8_t FromSdl(SDL_Scancode sc) {
    static const auto table = [] {
        std::array<uint8_t, SDL_NUM_SCANCODES> t{};
        for (const KeyMapping& m : kKeyTable)
            t[m.sdl] = m.code;
        return t;
    }();
    int i = static_cast<int>(sc);
    return (i >= 0 && i < SDL_NUM_SCANCODES) ? table[i] : 0;
}

SDL_Scancode ToSdl(uint8_t code) {
    for (const KeyMapping& m : kKeyTable)
        if (m.code == code) return m.sdl;
    return SDL_SCANCODE_UNKNOWN;
}

// US layout, three parallel strings: scan code, unshifted and shifted character. Backspace and Tab
// give 7 and 8, the codes the text-entry screens test for.
constexpr uint8_t kCharCodes[] = {
    0x29, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11,
    0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24,
    0x25, 0x26, 0x27, 0x28, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x39};
constexpr char kUnshifted[] = "`1234567890-=\x07\x08qwertyuiop[]asdfghjkl;'\\zxcvbnm,./ ";
constexpr char kShifted[] = "~!@#$%^&*()_+\x07\x08QWERTYUIOP{}ASDFGHJKL:\"|ZXCVBNM<>? ";
static_assert(sizeof(kCharCodes) == sizeof(kUnshifted) - 1 && sizeof(kUnshifted) == sizeof(kShifted));

// Pushed (scripted) mouse events carry layout co-ordinates and this device id.
constexpr Uint32 kScriptedMouse = 0x5C41D7EDu;

constexpr int kQueueSize = 16;
constexpr int kMaxJoysticks = 2;
// Button transitions waiting for the next poll; a burst beyond this is dropped like a full queue.
constexpr size_t kMaxPending = 64;
// Typed characters waiting for the next poll (a paste into a name field is cut here).
constexpr size_t kMaxPendingText = 256;

// The four directions as controllers give them, and the keys they act as.
enum Direction : uint8_t { kUp = 1, kDown = 2, kLeft = 4, kRight = 8 };
constexpr uint8_t kDirectionKeys[4] = {Key::Up, Key::Down, Key::Left, Key::Right};
// The left stick counts as a direction beyond kStickOn and lets go below kStickOff, so a stick
// resting near the threshold does not chatter.
constexpr int kStickOn = 16000, kStickOff = 10000;

struct Controller {
    SDL_GameController* device = nullptr;
    SDL_JoystickID id = -1;
    uint8_t dpad = 0;  // Direction bits held on the D-pad
    uint8_t stick = 0; // Direction bits of the left stick
};

struct Joystick {
    SDL_Joystick* device = nullptr;
    SDL_JoystickID id = -1;
    int buttonCount = 0;
    JoystickState state;
};

struct State {
    uint32_t activity = 0; // player input events handled so far
    bool initialised = false;
    bool subsystems = false;
    bool fullscreen = false;
    // Events are taken before Init too, so code that feeds HandleEvent directly (tests) needs no setup.
    bool acquired = true;

    // Keyboard: what the events say now, this frame's presses, and how often each key went down and
    // is not yet reported: a tap shorter than one frame is still seen, and taps quicker than a slow
    // frame come one a frame instead of being merged into one.
    std::array<uint8_t, 256> keys{};
    std::array<uint8_t, 256> pressed{};
    std::array<uint8_t, 256> wentDown{};
    // Repeats: the keyboard's own since the last poll, and this frame's (keyboard and controllers).
    std::array<uint8_t, 256> repeatPending{};
    std::array<uint8_t, 256> repeated{};

    // Mouse buttons 0..3 and the transitions since the last poll, in order.
    std::array<uint8_t, 4> buttons{};
    std::array<uint32_t, kMaxPending> pending{};
    size_t pendingCount = 0;

    // Relative motion summed (fullscreen) and the last cursor position in layout pixels (windowed).
    // The fractions keep slow motion on a scaled display from being lost to rounding.
    int32_t accumX = 0, accumY = 0;
    float fracX = 0.0f, fracY = 0.0f;
    int32_t cursorX = 0, cursorY = 0;

    // Text typed since the last poll, and what the last poll handed over.
    std::u16string pendingText, typedText;

    std::array<uint32_t, kQueueSize> queue{};
    int readIndex = 0, writeIndex = 0;

    WindowMapping mapping = nullptr;

    std::array<Joystick, kMaxJoysticks> joysticks{};
    int joystickCount = 0;

    bool controllerSubsystem = false;
    std::array<Controller, kMaxControllers> controllers{};
    // Controller directions held at the last poll, when each began and when it last repeated.
    uint8_t heldDirections = 0;
    std::array<uint32_t, 4> heldSince{}, lastRepeat{};
};

State g;

int32_t Clamp(int32_t v, int32_t hi) {
    return std::clamp<int32_t>(v, 0, hi - 1);
}

void ClampAccumulator() {
    g.accumX = Clamp(g.accumX, ClientWidth);
    g.accumY = Clamp(g.accumY, ClientHeight);
}

void WindowToLayout(int32_t wx, int32_t wy, int32_t& x, int32_t& y) {
    (g.mapping ? g.mapping : Platform::WindowToLayout)(wx, wy, x, y);
}

// Relative motion in window pixels onto layout pixels, through the mapping's slope.
void AddMotion(int32_t dx, int32_t dy) {
    constexpr int32_t kSpan = 1 << 12;
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0; // a mapping always writes both
    WindowToLayout(0, 0, x0, y0);
    WindowToLayout(kSpan, kSpan, x1, y1);
    float sx = x1 > x0 ? static_cast<float>(x1 - x0) / kSpan : 1.0f;
    float sy = y1 > y0 ? static_cast<float>(y1 - y0) / kSpan : 1.0f;
    // Any single motion beyond the layout ends at its edge anyway; bounded, the sums stay exact.
    g.fracX += std::clamp(static_cast<float>(dx) * sx, -1e5f, 1e5f);
    g.fracY += std::clamp(static_cast<float>(dy) * sy, -1e5f, 1e5f);
    int32_t ix = static_cast<int32_t>(g.fracX), iy = static_cast<int32_t>(g.fracY);
    g.fracX -= static_cast<float>(ix);
    g.fracY -= static_cast<float>(iy);
    g.accumX += ix;
    g.accumY += iy;
}

void QueueEvent(uint32_t code) {
    int next = (g.writeIndex + 1) % kQueueSize;
    if (next == g.readIndex) return; // full: one slot always stays empty
    g.queue[g.writeIndex] = code;
    g.writeIndex = next;
}

int ButtonIndex(Uint8 sdlButton) {
    switch (sdlButton) {
    case SDL_BUTTON_LEFT:
        return 0;
    case SDL_BUTTON_RIGHT:
        return 1;
    case SDL_BUTTON_MIDDLE:
        return 2;
    case SDL_BUTTON_X1:
        return 3;
    default:
        return -1;
    }
}

void ApplyRelativeMode() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    SDL_SetRelativeMouseMode(g.fullscreen && g.acquired ? SDL_TRUE : SDL_FALSE);
}

void OpenJoysticks() {
    g.joystickCount = 0;
    g.joysticks = {};
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return;
    int n = SDL_NumJoysticks();
    for (int i = 0; i < n && g.joystickCount < kMaxJoysticks; ++i) {
        SDL_Joystick* js = SDL_JoystickOpen(i);
        if (!js) continue;
        const char* name = SDL_JoystickName(js);
        LogMsg("    Joystick has been found: %s\n", name ? name : "");
        LogMsg("    Joystick's type: 0x%x\n", static_cast<unsigned>(SDL_JoystickGetType(js)));
        Joystick& j = g.joysticks[g.joystickCount];
        j.device = js;
        j.id = SDL_JoystickInstanceID(js);
        j.buttonCount = std::min(SDL_JoystickNumButtons(js), 32);
        LogMsg("    %d buttons available\n", SDL_JoystickNumButtons(js));
        ++g.joystickCount;
        LogMsg("\n");
    }
}

void CloseJoysticks() {
    for (Joystick& j : g.joysticks)
        if (j.device) SDL_JoystickClose(j.device);
    g.joysticks = {};
    g.joystickCount = 0;
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

// A press not yet reported. A few are kept, not more: a long stall must not replay a burst.
void CountPress(uint8_t code) {
    constexpr uint8_t kMaxQueuedPresses = 8;
    if (g.wentDown[code] < kMaxQueuedPresses) ++g.wentDown[code];
}

Controller* FindController(SDL_JoystickID id) {
    for (Controller& c : g.controllers)
        if (c.device && c.id == id) return &c;
    return nullptr;
}

// A controller acts through the keys it stands for; a press goes down like a key tap, so one
// shorter than a frame is still seen.
void ControllerPress(uint8_t code) {
    CountPress(code);
}

void OpenController(int deviceIndex) {
    if (!SDL_IsGameController(deviceIndex)) return;
    if (FindController(SDL_JoystickGetDeviceInstanceID(deviceIndex))) return; // already open
    Controller* slot = nullptr;
    for (Controller& c : g.controllers)
        if (!c.device && !slot) slot = &c;
    if (!slot) {
        LogMsg("    Game controller ignored, %d are open already: %s\n", kMaxControllers,
               SDL_GameControllerNameForIndex(deviceIndex) ? SDL_GameControllerNameForIndex(deviceIndex)
                                                           : "");
        return;
    }
    SDL_GameController* device = SDL_GameControllerOpen(deviceIndex);
    if (!device) {
        LogMsg("    Game controller %d cannot be opened: %s\n", deviceIndex, SDL_GetError());
        return;
    }
    *slot = Controller{};
    slot->device = device;
    slot->id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(device));
    const char* name = SDL_GameControllerName(device);
    LogMsg("    Game controller: %s\n", name ? name : "");
}

void CloseController(SDL_JoystickID id) {
    Controller* c = FindController(id);
    if (!c) return;
    SDL_GameControllerClose(c->device);
    *c = Controller{};
    LogMsg("    Game controller removed\n");
}

void OpenControllers() {
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        LogMsg("Input: game controllers unavailable: %s\n", SDL_GetError());
        return;
    }
    g.controllerSubsystem = true;
    for (int i = 0, n = SDL_NumJoysticks(); i < n; ++i)
        OpenController(i);
}

void CloseControllers() {
    for (Controller& c : g.controllers)
        if (c.device) SDL_GameControllerClose(c.device);
    g.controllers = {};
    g.heldDirections = 0;
    if (g.controllerSubsystem) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    g.controllerSubsystem = false;
}

void ControllerButton(const SDL_ControllerButtonEvent& e) {
    Controller* c = FindController(e.which);
    if (!c) return;
    const bool down = e.state == SDL_PRESSED;
    uint8_t direction = 0;
    switch (e.button) {
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
        direction = kUp;
        break;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
        direction = kDown;
        break;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
        direction = kLeft;
        break;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
        direction = kRight;
        break;
    case SDL_CONTROLLER_BUTTON_A:
        if (down) ControllerPress(Key::Enter);
        return;
    case SDL_CONTROLLER_BUTTON_B:
    case SDL_CONTROLLER_BUTTON_START:
        if (down) ControllerPress(Key::Escape);
        return;
    default:
        return;
    }
    const uint8_t before = c->dpad | c->stick;
    c->dpad = down ? c->dpad | direction : c->dpad & ~direction;
    if (down && !(before & direction)) ControllerPress(kDirectionKeys[std::countr_zero(direction)]);
}

// One stick axis onto its two directions, with the hysteresis of kStickOn / kStickOff.
uint8_t StickDirections(uint8_t held, int value, uint8_t negative, uint8_t positive) {
    const uint8_t axis = held & (negative | positive);
    uint8_t now = 0;
    if (value <= -kStickOn || (value <= -kStickOff && (axis & negative)))
        now = negative;
    else if (value >= kStickOn || (value >= kStickOff && (axis & positive)))
        now = positive;
    return static_cast<uint8_t>((held & ~(negative | positive)) | now);
}

void ControllerAxis(const SDL_ControllerAxisEvent& e) {
    Controller* c = FindController(e.which);
    if (!c) return;
    const uint8_t before = c->dpad | c->stick;
    if (e.axis == SDL_CONTROLLER_AXIS_LEFTX)
        c->stick = StickDirections(c->stick, e.value, kLeft, kRight);
    else if (e.axis == SDL_CONTROLLER_AXIS_LEFTY)
        c->stick = StickDirections(c->stick, e.value, kUp, kDown);
    else
        return;
    const uint8_t went = static_cast<uint8_t>((c->dpad | c->stick) & ~before);
    for (int d = 0; d < 4; ++d)
        if (went & (1 << d)) ControllerPress(kDirectionKeys[d]);
}

// Held controller directions repeat their keys like a held key on the keyboard.
void RepeatControllerDirections() {
    uint8_t held = 0;
    for (const Controller& c : g.controllers)
        held |= c.dpad | c.stick;
    const uint32_t now = Platform::TimeMs();
    for (int d = 0; d < 4; ++d) {
        const uint8_t bit = static_cast<uint8_t>(1 << d);
        if (!(held & bit)) continue;
        if (!(g.heldDirections & bit)) {
            g.heldSince[d] = g.lastRepeat[d] = now;
        } else if (now - g.heldSince[d] >= kRepeatDelayMs && now - g.lastRepeat[d] >= kRepeatIntervalMs) {
            g.repeated[kDirectionKeys[d]] = 1;
            g.lastRepeat[d] = now;
        }
    }
    g.heldDirections = held;
}

// Axis -32768..32767 onto -10..10, nothing inside the central 10 %.
int16_t ScaleAxis(Sint16 raw) {
    int v = raw;
    if (v > -3277 && v < 3277) return 0;
    return static_cast<int16_t>(std::clamp(v * 10 / 32767, -10, 10));
}

} // namespace

bool Init(bool fullscreen) {
    LogMsg("Input::Init\n");
    if (g.initialised) Shutdown();
    if (SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) {
        LogMsg("DirectInputCreateEx Failed\n");
        return false;
    }
    g.subsystems = true;
    g.fullscreen = fullscreen;
    OpenJoysticks();
    OpenControllers();
    g.initialised = true;
    g.acquired = true;
    if (fullscreen && SDL_WasInit(SDL_INIT_VIDEO) && SDL_SetRelativeMouseMode(SDL_TRUE) != 0)
        LogMsg("Failed SetCooperativeLevel %s\n", SDL_GetError());
    return true;
}

void Shutdown() {
    if (!g.initialised) return;
    g.acquired = false;
    ApplyRelativeMode();
    CloseControllers();
    CloseJoysticks();
    if (g.subsystems) SDL_QuitSubSystem(SDL_INIT_EVENTS);
    g.subsystems = false;
    g.initialised = false;
}

void SetAcquired(bool acquired) {
    g.acquired = acquired;
    if (!acquired) {
        // Buttons held while the program loses the mouse would otherwise stay down for ever.
        g.buttons = {};
        g.pendingCount = 0;
        // Controllers fall silent in the background: nothing they held stays held.
        for (Controller& c : g.controllers)
            c.dpad = c.stick = 0;
    }
    ApplyRelativeMode();
}

bool IsAcquired() {
    return g.acquired;
}
bool IsFullscreen() {
    return g.fullscreen;
}

// Events the player made (as opposed to devices coming and going).
bool PlayerEvent(const SDL_Event& e, bool acquired) {
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
    case SDL_TEXTINPUT:
        return true;
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
    case SDL_CONTROLLERAXISMOTION:
        return acquired;
    default:
        return false;
    }
}

void HandleEvent(const SDL_Event& e) {
    if (PlayerEvent(e, g.acquired)) ++g.activity;
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        uint8_t code = FromSdl(e.key.keysym.scancode);
        if (code == 0) break;
        bool down = e.type == SDL_KEYDOWN;
        if (down && !g.keys[code]) CountPress(code);
        if (down && e.key.repeat) g.repeatPending[code] = 1;
        // Editing keys type a control code, held ones repeating as the desktop repeats them.
        if (down && (code == Key::Backspace || code == Key::Tab) && g.pendingText.size() < kMaxPendingText)
            g.pendingText.push_back(code == Key::Backspace ? u'\x07' : u'\x08');
        g.keys[code] = down ? 0x80 : 0;
        break;
    }
    case SDL_TEXTINPUT:
        for (char16_t c : Utf8::ToUtf16(e.text.text))
            if (c >= 32 && c != 127 && g.pendingText.size() < kMaxPendingText) g.pendingText.push_back(c);
        break;
    case SDL_MOUSEMOTION:
        if (!g.acquired) break;
        if (e.motion.which == kScriptedMouse) {
            g.accumX = g.cursorX = e.motion.x;
            g.accumY = g.cursorY = e.motion.y;
        } else {
            AddMotion(e.motion.xrel, e.motion.yrel);
            WindowToLayout(e.motion.x, e.motion.y, g.cursorX, g.cursorY);
        }
        ClampAccumulator();
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        if (!g.acquired) break;
        int b = ButtonIndex(e.button.button);
        if (b < 0) break;
        // Scripted clicks happen wherever the last scripted move put the mouse.
        if (e.button.which != kScriptedMouse) WindowToLayout(e.button.x, e.button.y, g.cursorX, g.cursorY);
        uint8_t down = e.type == SDL_MOUSEBUTTONDOWN ? 1 : 0;
        if (g.buttons[b] == down) break;
        g.buttons[b] = down;
        if (b < 3 && g.pendingCount < kMaxPending)
            g.pending[g.pendingCount++] = (down ? MousePressed : MouseReleased) | static_cast<uint32_t>(b);
        break;
    }
    case SDL_CONTROLLERDEVICEADDED:
        if (g.controllerSubsystem) OpenController(e.cdevice.which);
        break;
    case SDL_CONTROLLERDEVICEREMOVED:
        CloseController(e.cdevice.which);
        break;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
        if (g.acquired) ControllerButton(e.cbutton);
        break;
    case SDL_CONTROLLERAXISMOTION:
        if (g.acquired) ControllerAxis(e.caxis);
        break;
    case SDL_JOYDEVICEADDED:
    case SDL_JOYDEVICEREMOVED:
        // Joysticks are enumerated at Init; one plugged in later is picked up at the next Init.
        break;
    default:
        break;
    }
}

void Poll() {
    for (int i = 0; i < 256; ++i) {
        // Every key event that puts a key down counts it, so the count alone says pressed.
        g.pressed[i] = g.wentDown[i] ? 1 : 0;
        if (g.wentDown[i]) --g.wentDown[i];
    }
    g.repeated = g.repeatPending;
    g.repeatPending = {};
    RepeatControllerDirections();
    g.typedText.swap(g.pendingText);
    g.pendingText.clear();

    for (size_t i = 0; i < g.pendingCount; ++i)
        QueueEvent(g.pending[i]);
    g.pendingCount = 0;

    if (g.joystickCount > 0 && g.acquired) {
        SDL_JoystickUpdate();
        for (int n = 0; n < g.joystickCount; ++n) {
            Joystick& j = g.joysticks[n];
            if (!j.device || !SDL_JoystickGetAttached(j.device)) continue;
            j.state.x = ScaleAxis(SDL_JoystickGetAxis(j.device, 0));
            j.state.y = ScaleAxis(SDL_JoystickGetAxis(j.device, 1));
            for (int b = 0; b < 32; ++b)
                j.state.buttons[b] = b < j.buttonCount && SDL_JoystickGetButton(j.device, b) ? 1 : 0;
        }
    }
}

bool KeyPressed(uint8_t scanCode) {
    return g.pressed[scanCode] != 0;
}
bool KeyDown(uint8_t scanCode) {
    return (g.keys[scanCode] & 0x80) != 0;
}
bool KeyPressedOrRepeated(uint8_t scanCode) {
    return g.pressed[scanCode] != 0 || g.repeated[scanCode] != 0;
}

char PressedCharacter() {
    // The lowest scan code that is in the table: Left Shift (0x2A) going down in the same frame as
    // Z..M (0x2C..0x32) must not swallow the capital letter.
    const uint8_t* pos = std::end(kCharCodes);
    for (int code = 1; code < 256 && pos == std::end(kCharCodes); ++code)
        if (g.pressed[code])
            pos = std::find(std::begin(kCharCodes), std::end(kCharCodes), static_cast<uint8_t>(code));
    if (pos == std::end(kCharCodes)) return 0;
    size_t index = static_cast<size_t>(pos - std::begin(kCharCodes));
    bool shift = KeyDown(Key::LeftShift) || KeyDown(Key::RightShift);
    return shift ? kShifted[index] : kUnshifted[index];
}

const std::u16string& TypedText() {
    return g.typedText;
}

bool NextMouseEvent(uint32_t& out) {
    if (g.readIndex == g.writeIndex) return false;
    out = g.queue[g.readIndex];
    g.readIndex = (g.readIndex + 1) % kQueueSize;
    return true;
}

void MousePosition(int32_t& x, int32_t& y) {
    ClampAccumulator();
    if (g.fullscreen) {
        x = g.accumX;
        y = g.accumY;
    } else {
        x = g.cursorX;
        y = g.cursorY;
    }
}

void SetWindowMapping(WindowMapping mapping) {
    g.mapping = mapping;
}

int JoystickCount() {
    return g.joystickCount;
}

int ControllerCount() {
    int n = 0;
    for (const Controller& c : g.controllers)
        n += c.device ? 1 : 0;
    return n;
}

bool GetJoystick(int index, JoystickState& out) {
    if (index < 0 || index >= g.joystickCount) return false;
    out = g.joysticks[index].state;
    return true;
}

bool PushKey(uint8_t scanCode, bool down) {
    SDL_Scancode sc = ToSdl(scanCode);
    if (sc == SDL_SCANCODE_UNKNOWN) return false;
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = sc;
    e.key.keysym.sym = SDL_GetKeyFromScancode(sc);
    return SDL_PushEvent(&e) == 1;
}

bool PushMouseButton(uint32_t button, bool down) {
    static constexpr Uint8 kSdlButtons[] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE};
    if (button > 2) return false;
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.which = kScriptedMouse;
    e.button.button = kSdlButtons[button];
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = 1;
    return SDL_PushEvent(&e) == 1;
}

bool PushMouseMove(int32_t x, int32_t y) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.which = kScriptedMouse;
    e.motion.x = x;
    e.motion.y = y;
    return SDL_PushEvent(&e) == 1;
}

bool PushText(const char* utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    SDL_strlcpy(e.text.text, utf8 ? utf8 : "", sizeof e.text.text);
    return SDL_PushEvent(&e) == 1;
}

uint32_t ActivityCount() {
    return g.activity;
}

void PumpEvents() {
    SDL_Event e;
    while (SDL_PollEvent(&e))
        HandleEvent(e);
}

void UpdateDevices() {
    constexpr uint32_t kPassesBetweenLooks = 15;
    static uint32_t passes = 0;
    if (!g.controllerSubsystem && g.joystickCount == 0) return;
    const bool open =
        g.joystickCount > 0 || std::any_of(g.controllers.begin(), g.controllers.end(),
                                           [](const Controller& c) { return c.device != nullptr; });
    if (open || ++passes % kPassesBetweenLooks == 0) SDL_JoystickUpdate();
}

void Reset() {
    bool initialised = g.initialised, subsystems = g.subsystems, fullscreen = g.fullscreen;
    WindowMapping mapping = g.mapping;
    auto joysticks = g.joysticks;
    int joystickCount = g.joystickCount;
    auto controllers = g.controllers;
    bool controllerSubsystem = g.controllerSubsystem;
    g = State{};
    for (Controller& c : controllers)
        c.dpad = c.stick = 0;
    g.controllers = controllers;
    g.controllerSubsystem = controllerSubsystem;
    g.initialised = initialised;
    g.subsystems = subsystems;
    g.fullscreen = fullscreen;
    g.mapping = mapping;
    g.joysticks = joysticks;
    g.joystickCount = joystickCount;
}

} // namespace Input
