// Connections to the renderer, input and sound modules, kept apart so that programs using text
// and menus without them (tests, tools) do not link them.
#include "gfx/Renderer.h"
#include "input/Input.h"
#include "sound/SoundServer.h"
#include "ui/Font.h"
#include "ui/Menu.h"
#include "ui/TextCache.h"

namespace {

bool LoadDefaultFont(const char* path, uint32_t pixelSize) {
    if (!g_DefaultFont.Load(path)) return false;
    g_DefaultFont.SetSize(pixelSize);
    return true;
}

void NextEvent(uint32_t& event) {
    Input::NextMouseEvent(event);
}
bool KeyWentDown(uint32_t scanCode) {
    return scanCode < 256 && Input::KeyPressed(uint8_t(scanCode));
}
bool KeyRepeated(uint32_t scanCode) {
    return scanCode < 256 && Input::KeyPressedOrRepeated(uint8_t(scanCode));
}
void PlaySound(const char* name) {
    Sound::Play(name);
}

} // namespace

void Text::ConnectRenderer() {
    Renderer::SetDefaultFontLoader(LoadDefaultFont);
    SetCacheRegistry(&Renderer::Surfaces());
}

void Menu::UseDefaultDevices() {
    MenuDevices devices;
    devices.nextMouseEvent = NextEvent;
    devices.mousePosition = Input::MousePosition;
    devices.keyPressed = KeyWentDown;
    devices.keyRepeated = KeyRepeated;
    devices.playSound = PlaySound;
    devices.getPicture = Renderer::GetPicture;
    SetDevices(devices);
}
