// What the text and menu modules get from the renderer, input and sound modules, kept apart so
// that programs using text and menus without them (tests, tools) do not link them.
#include "gfx/Renderer.h"
#include "input/Input.h"
#include "sound/SoundServer.h"
#include "ui/Font.h"
#include "ui/Menu.h"
#include "ui/TextCache.h"

bool Text::LoadDefaultFont(const char* path, uint32_t pixelSize) {
    if (!g_DefaultFont.Load(path)) return false;
    g_DefaultFont.SetSize(pixelSize);
    return true;
}

MenuDevices Menu::DefaultDevices() {
    MenuDevices devices;
    // An empty queue leaves the caller's event as it was.
    devices.nextMouseEvent = [](uint32_t& event) {
        uint32_t next = 0;
        if (Input::NextMouseEvent(next)) event = next;
    };
    devices.mousePosition = &Input::MousePosition;
    devices.keyPressed = [](uint32_t scanCode) {
        return scanCode < 256 && Input::KeyPressed(uint8_t(scanCode));
    };
    devices.keyRepeated = [](uint32_t scanCode) {
        return scanCode < 256 && Input::KeyPressedOrRepeated(uint8_t(scanCode));
    };
    devices.playSound = [](const char* name) { Sound::Play(name); };
    devices.getPicture = &Renderer::GetPicture;
    return devices;
}
