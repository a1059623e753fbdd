#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "core/Config.h"
#include "core/Log.h"
#include "gfx/Graphics.h"
#include "sound/SoundServer.h"
#include "ui/Font.h"
#include "ui/FrontendCommon.h"
#include "ui/Language.h"
#include "ui/Menu.h"
#include "ui/MenuIds.h"
#include "ui/TextCache.h"

// Options: sound and music volumes (heard at once, the sound server applies them every frame)
// and the display mode, which changes only on "Save and exit".
namespace Frontend {
namespace {

namespace Option = MenuId::Option;

uint32_t RegistryFullscreen() {
    uint32_t value = 0;
    return g_Settings.ReadDword(value, "fullscreen") ? value : 0;
}

bool OptionMenuCurrent() {
    return std::strcmp(Menu::CurrentName(), "option") == 0;
}

// Whether one of the row's items is under the mouse.
bool RowHot(std::initializer_list<int32_t> ids) {
    if (!OptionMenuCurrent()) return false;
    for (const MenuItem& item : Menu::Current())
        for (int32_t id : ids)
            if (item.id == id && item.underMouse) return true;
    return false;
}

void SetEnabled(int32_t id, bool enabled) {
    if (!OptionMenuCurrent()) return;
    for (MenuItem& item : Menu::Current())
        if (item.id == id) item.enabled = enabled ? 1 : 0;
}

void DrawRow(SDL_Surface* surface, const char* label, int32_t y, bool hot, const uint32_t* volume) {
    const uint32_t colour = hot ? kYellow : kWhite;
    Text::DrawText(surface, g_MainFont, 30, Text::kLeft, 175, y, colour, Txt(label));
    if (volume) {
        const std::u16string number = Text::Format("%u", *volume);
        Text::DrawTextDirect(surface, g_MainFont, 30, Text::kCentre, 540, y, colour, number.c_str());
    }
}

} // namespace

uint32_t StepVolume(uint32_t volume, int32_t delta) {
    if (delta > 0 && volume < 100) return std::min<uint32_t>(volume + static_cast<uint32_t>(delta), 100);
    if (delta < 0 && volume > 0) {
        const uint32_t down = static_cast<uint32_t>(-delta);
        return volume > down ? volume - down : 0;
    }
    return volume;
}

void OptionsUpdate(uint32_t, FrameRecord*) {
    const int32_t id = Menu::Poll("option", Menu::kEventFromQueue);
    const uint32_t fullscreen = RegistryFullscreen();
    if (MenuItem* item = Menu::FindCurrent(Option::OnOff))
        item->text = Txt(fullscreen ? "Menu_On" : "Menu_Off");
    if (MenuItem* item = Menu::FindCurrent(Option::Language)) item->text = Txt("Menu_LanguageName");
    switch (id) {
    case Option::SoundUp:
        Sound::SetSoundVolume(StepVolume(Sound::GetSoundVolume(), 10));
        break;
    case Option::SoundDown:
        Sound::SetSoundVolume(StepVolume(Sound::GetSoundVolume(), -10));
        break;
    case Option::MusicUp:
        Sound::SetMusicVolume(StepVolume(Sound::GetMusicVolume(), 10));
        break;
    case Option::MusicDown:
        Sound::SetMusicVolume(StepVolume(Sound::GetMusicVolume(), -10));
        break;
    case Option::OnOff:
        g_Settings.WriteDword(fullscreen ? 0 : 1, "fullscreen");
        break;
    case Option::Language:
        // Heard at once like the volumes: every text of the screen changes, nothing moves.
        Language::Apply(Language::Next(Language::Current()));
        break;
    case Option::SaveExit:
        if ((fullscreen != 0) != Graphics::Fullscreen()) App().requestModeSwitch();
        g_Settings.Key().Begin();
        g_Settings.WriteDword(Sound::GetSoundVolume(), "SoundVolume");
        g_Settings.WriteDword(Sound::GetMusicVolume(), "MusicVolume");
        // Stored only when chosen here, so that a player who never picks one follows the desktop.
        if (Language::Current() != Language::Preferred())
            g_Settings.WriteString(Language::Current().c_str(), "Language");
        // The store says why it could not save; the values stay for its next save.
        if (!g_Settings.Key().Commit()) LogMsg("The options were not saved\n");
        SwitchBack(Screen().optionsReturn);
        break;
    case Option::Cancel: {
        g_Settings.WriteDword(Graphics::Fullscreen() ? 1 : 0, "fullscreen");
        uint32_t volume = 0;
        if (g_Settings.ReadDword(volume, "SoundVolume")) Sound::SetSoundVolume(volume);
        if (g_Settings.ReadDword(volume, "MusicVolume")) Sound::SetMusicVolume(volume);
        if (Language::Current() != Language::Preferred()) Language::Apply(Language::Preferred());
        SwitchBack(Screen().optionsReturn);
        break;
    }
    default:
        break;
    }
}

void OptionsDraw(SDL_Surface* surface) {
    AdvanceSlider();
    DrawSlider(surface, -1);
    DrawTitleText(surface);
    SetEnabled(Option::SoundUp, Sound::SamplesAvailable());
    SetEnabled(Option::SoundDown, Sound::SamplesAvailable());
    SetEnabled(Option::MusicUp, Sound::MusicAvailable());
    SetEnabled(Option::MusicDown, Sound::MusicAvailable());
    if (surface) {
        const uint32_t music = Sound::GetMusicVolume();
        const uint32_t sound = Sound::GetSoundVolume();
        DrawRow(surface, "Menu_MusicVolume", 209, RowHot({Option::MusicUp, Option::MusicDown}), &music);
        DrawRow(surface, "Menu_SoundVolume", 259, RowHot({Option::SoundUp, Option::SoundDown}), &sound);
        DrawRow(surface, "Menu_FullScreen", 309, RowHot({Option::OnOff}), nullptr);
        DrawRow(surface, "Menu_Language", 359, RowHot({Option::Language}), nullptr);
    }
    Menu::Draw(surface);
}

} // namespace Frontend
