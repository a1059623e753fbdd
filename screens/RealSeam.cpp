#include "screens/RealSeam.h"

#include <cstring>

#include "gfx/Animation.h"
#include "input/Input.h"
#include "platform/Clock.h"
#include "scene/Level.h"
#include "scene/Object.h"
#include "screens/Screens.h"
#include "sound/SoundServer.h"
#include "ui/Menu.h"
#include "ui/TextTable.h"

namespace Game {
namespace {

Item* AsItem(ObjectRef object) {
    return object ? dynamic_cast<Item*>(static_cast<Object*>(object)) : nullptr;
}

} // namespace

Level* RealSeam::CurrentLevel() const {
    return level_ ? level_ : GetActiveScene();
}

uint32_t RealSeam::Now() {
    return Platform::TimeMs();
}

ObjectRef RealSeam::CreateObject(const char* className, const char* templateName, float x, float y) {
    Level* level = CurrentLevel();
    if (!level || !className || !templateName) return nullptr;
    return level->CreateObject(className, templateName, Vec2{x, y});
}

const char* RealSeam::ObjectName(ObjectRef object) {
    name_ = object ? static_cast<Object*>(object)->GetName(false) : std::string();
    return name_.c_str();
}

void RealSeam::DeleteObject(const char* name) {
    Level* level = CurrentLevel();
    if (level && name && *name) level->DeleteObject(name);
}

void RealSeam::SetWorldPosition(ObjectRef object, float x, float y) {
    if (object) static_cast<Object*>(object)->SetWorldPosition(Vec2{x, y});
}

void RealSeam::WorldPosition(ObjectRef object, float& x, float& y) {
    const Vec2 p = object ? static_cast<Object*>(object)->GetWorldPosition() : Vec2{0.0f, 0.0f};
    x = p.x;
    y = p.y;
}

void RealSeam::SetSort(ObjectRef object, int32_t sort) {
    if (Item* item = AsItem(object)) item->nSort = static_cast<uint32_t>(sort);
}

void RealSeam::PlayAction(ObjectRef object, const char* animation, const char* action) {
    if (Item* item = AsItem(object)) Animation::Play(animation, action, item->animation);
}

const char* RealSeam::LastEvent(ObjectRef object) {
    Item* item = AsItem(object);
    return item ? item->animation.lastEvent : "";
}

void RealSeam::ClearLastEvent(ObjectRef object) {
    if (Item* item = AsItem(object)) item->animation.lastEvent[0] = '\0';
}

void RealSeam::SetLastEvent(ObjectRef object, const char* event) {
    Item* item = AsItem(object);
    if (!item) return;
    const size_t cap = sizeof item->animation.lastEvent;
    std::strncpy(item->animation.lastEvent, event ? event : "", cap - 1);
    item->animation.lastEvent[cap - 1] = '\0';
}

void RealSeam::PlaySound(const char* name) {
    if (name) Sound::Play(name);
}

void RealSeam::StopAllSamples() {
    Sound::StopAllSamples();
}

const char16_t* RealSeam::Text(const char* key) {
    return key ? g_TextTable.GetText(key) : nullptr;
}

void RealSeam::OpenPauseMenu() {
    Game::OpenPauseMenu();
}

void RealSeam::OpenResultScreen() {
    Game::OpenResultScreen();
}

void RealSeam::OpenBoardClearedScreen() {
    Game::OpenBoardClearedScreen();
}

int32_t RealSeam::PollMenu(const char* menuName, uint32_t event) {
    return Menu::Poll(menuName, static_cast<int32_t>(event));
}

bool RealSeam::NextMouseEvent(uint32_t& event) {
    return Input::NextMouseEvent(event);
}

void RealSeam::MousePosition(int32_t& x, int32_t& y) {
    Input::MousePosition(x, y);
}

uint32_t RealSeam::BoardKeys() {
    using namespace Input::Key;
    uint32_t keys = 0;
    if (Input::KeyPressedOrRepeated(Left)) keys |= BoardKeyLeft;
    if (Input::KeyPressedOrRepeated(Right)) keys |= BoardKeyRight;
    if (Input::KeyPressedOrRepeated(Up)) keys |= BoardKeyUp;
    if (Input::KeyPressedOrRepeated(Down)) keys |= BoardKeyDown;
    if (Input::KeyPressed(Enter) || Input::KeyPressed(KeypadEnter) || Input::KeyPressed(Space))
        keys |= BoardKeyAct;
    return keys;
}

RealSeam& TheRealSeam() {
    static RealSeam seam;
    return seam;
}

} // namespace Game
