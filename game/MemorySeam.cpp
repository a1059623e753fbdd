#include "game/MemorySeam.h"

#include <cstring>

namespace Game {

namespace {
MemorySeam::Object* AsObject(ObjectRef ref) {
    return static_cast<MemorySeam::Object*>(ref);
}
} // namespace

ObjectRef MemorySeam::CreateObject(const char* className, const char* templateName, float x, float y) {
    auto object = std::make_unique<Object>();
    object->className = className ? className : "";
    object->templateName = templateName ? templateName : "";
    // Named like the level names its objects: template name plus a running number.
    object->name = object->templateName + std::to_string(nextId_++);
    object->x = x;
    object->y = y;
    created.push_back(object->templateName);
    Object* raw = object.get();
    objects_[raw->name] = std::move(object);
    return raw;
}

const char* MemorySeam::ObjectName(ObjectRef object) {
    return object ? AsObject(object)->name.c_str() : "";
}

void MemorySeam::DeleteObject(const char* name) {
    if (name) objects_.erase(name);
}

void MemorySeam::SetWorldPosition(ObjectRef object, float x, float y) {
    if (!object) return;
    AsObject(object)->x = x;
    AsObject(object)->y = y;
}

void MemorySeam::WorldPosition(ObjectRef object, float& x, float& y) {
    x = object ? AsObject(object)->x : 0.0f;
    y = object ? AsObject(object)->y : 0.0f;
}

void MemorySeam::SetSort(ObjectRef object, int32_t sort) {
    if (object) AsObject(object)->sort = sort;
}

void MemorySeam::PlayAction(ObjectRef object, const char* animation, const char* action) {
    if (!object || !action) return;
    Object* o = AsObject(object);
    o->animation = animation ? animation : "";
    o->action = action;
    ++o->actionsPlayed;
    if (std::strcmp(action, "Appear") == 0)
        o->lastEvent = "BURN_END";
    else if (std::strcmp(action, "Disappear") == 0)
        o->lastEvent = "DESTROY_END";
    else if (std::strcmp(action, "Activate") == 0)
        o->lastEvent = "ActivateEnd";
}

const char* MemorySeam::LastEvent(ObjectRef object) {
    return object ? AsObject(object)->lastEvent.c_str() : "";
}

void MemorySeam::ClearLastEvent(ObjectRef object) {
    if (object) AsObject(object)->lastEvent.clear();
}

void MemorySeam::SetLastEvent(ObjectRef object, const char* event) {
    if (object) AsObject(object)->lastEvent = event ? event : "";
}

const char16_t* MemorySeam::Text(const char* key) {
    if (!key) return nullptr;
    auto it = texts.find(key);
    if (it != texts.end()) return it->second.c_str();
    std::u16string& wide = widenedKeys_[key];
    if (wide.empty())
        for (const char* p = key; *p; ++p)
            wide.push_back(static_cast<unsigned char>(*p));
    return wide.c_str();
}

int32_t MemorySeam::PollMenu(const char* menuName, uint32_t /*event*/) {
    if (!menuName || std::strcmp(menuName, "board") != 0 || boardMenuAnswers.empty()) return 0;
    const int32_t id = boardMenuAnswers.front();
    boardMenuAnswers.pop_front();
    return id;
}

bool MemorySeam::NextMouseEvent(uint32_t& event) {
    if (mouseEvents.empty()) return false;
    event = mouseEvents.front();
    mouseEvents.pop_front();
    return true;
}

uint32_t MemorySeam::BoardKeys() {
    if (boardKeys.empty()) return 0;
    const uint32_t keys = boardKeys.front();
    boardKeys.pop_front();
    return keys;
}

MemorySeam::Object* MemorySeam::Find(const std::string& name) {
    auto it = objects_.find(name);
    return it == objects_.end() ? nullptr : it->second.get();
}

} // namespace Game
