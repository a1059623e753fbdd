#include "scene/Level.h"

#include <cassert>
#include <cmath>
#include <memory>

#include "core/FileLayer.h"
#include "core/Log.h"
#include "scene/Library.h"

using namespace ObjectRecord;

namespace {

uint32_t g_objectCounter = 1; // names of generated objects; never reset while running
std::vector<Episode*> g_episodes;
Episode* g_current = nullptr;
SceneHooks g_hooks;

// Truncation toward zero, defined for any float a file may hold.
int64_t Trunc(float v) {
    if (!(v == v)) return 0;
    if (v >= 9.0e18f) return INT64_MAX;
    if (v <= -9.0e18f) return INT64_MIN;
    return static_cast<int64_t>(v);
}

// A variable every object of that class has: not handling it is a fault of this file.
void SetBuiltIn(VariableHolder* object, const char* name, const std::string& text) {
    [[maybe_unused]] bool handled = SetVariable(object, name, text);
    assert(handled && "a built-in variable");
}

int32_t ClampInt(int64_t v) {
    return static_cast<int32_t>(v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : v));
}

void AddInfo(std::vector<VariableInfo>& list, const char* name, uint32_t kind) {
    VariableInfo info;
    info.name = name;
    info.kind = kind;
    list.push_back(std::move(info));
}

template <class T>
bool RemoveByName(std::vector<T*>& list, const std::string& head, const std::string& tail) {
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (!SameNameNoCase((*it)->GetName(true), head)) continue;
        if (tail.empty()) {
            delete *it;
            list.erase(it);
        } else {
            (*it)->DeleteChild(tail);
        }
        return true;
    }
    return false;
}

std::string SceneName(uint32_t column, uint32_t row) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "Level_%02u_%02u", column, row);
    return buf;
}

} // namespace

uint32_t NextObjectNumber() {
    return g_objectCounter;
}

// ---------------------------------------------------------------------------------------------
// Level

Level::Level() {
    items.reserve(1000);
}

Level::~Level() {
    for (Element* o : elements)
        delete o;
    for (Item* o : items)
        delete o;
    for (Light* o : lights)
        delete o;
    for (Polygon* o : polygons)
        delete o;
}

void Level::GetVariableList(std::vector<VariableInfo>& list) const {
    AddInfo(list, "sName", VAR_STRING);
    AddInfo(list, "sType", VAR_STRING);
    AddInfo(list, "vSize", VAR_VECTOR);
    AddInfo(list, "cAmbient", VAR_COLOR);
    AddInfo(list, "bUseParallax", VAR_BOOL);
    AddInfo(list, "sParallaxName", VAR_STRING);
}

bool Level::Variable(std::string name, std::string& value, bool set) {
    if (name == "cAmbient")
        VarUInt(cAmbient, value, set);
    else if (name == "bUseParallax")
        VarBool(bUseParallax, value, set);
    else if (name == "sParallaxName")
        VarString(sParallaxName, value, set);
    else if (Object::Variable(name, value, set))
        return true;
    else {
        LogVariableNotFound(name, "Level");
        return false;
    }
    return true;
}

Object* Level::CreateObject(const std::string& className, const std::string& templateName, Vec2 position) {
    LibraryTemplate* t = Library::FindTemplate(className, templateName);
    Vec2 size{0.0f, 0.0f}, origin{0.0f, 0.0f};
    if (t) {
        size = t->size;
        origin = t->pivot;
    }

    Object* object = nullptr;
    if (className == "Item")
        object = new Item();
    else if (className == "Element")
        object = new Element();
    else if (className == "Light")
        object = new Light();
    else if (className == "Polygon")
        object = new Polygon();
    else {
        if (className == "Background") background = templateName;
        return nullptr; // Background, Sound, Actor and unknown classes make no object
    }

    object->sName = className + std::to_string(g_objectCounter++);
    SetBuiltIn(object, "sType", templateName.empty() ? className : className + "." + templateName);
    object->SetWorldPosition(position);
    object->vSize = size;
    object->pivot = origin;

    if (className == "Item")
        items.push_back(static_cast<Item*>(object));
    else if (className == "Element")
        elements.push_back(static_cast<Element*>(object));
    else if (className == "Light")
        lights.push_back(static_cast<Light*>(object));
    else
        polygons.push_back(static_cast<Polygon*>(object));

    if (t) {
        for (const auto& variable : t->variables) {
            if (!SetVariable(object, variable.first, variable.second))
                LogMsg("Template '%s' of %s: no variable '%s'\n", templateName.c_str(), className.c_str(),
                       variable.first.c_str());
        }
        ++t->instances;
    }
    return object;
}

void Level::DeleteObject(const std::string& name) {
    std::string head = name, tail;
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
        head = name.substr(0, dot);
        tail = name.substr(dot + 1);
    }
    if (RemoveByName(polygons, head, tail) || RemoveByName(elements, head, tail) ||
        RemoveByName(items, head, tail) || RemoveByName(lights, head, tail))
        return;
    LogMsg("ERROR: Unable delete %s\n", name.c_str());
}

uint32_t Level::LoadRecord(const uint8_t* record, uint32_t size) {
    using namespace SceneRecord;
    LogMsg("Loading scene %d,%d\n", ClampInt(Trunc(GetF32(record + kColumn))),
           ClampInt(Trunc(GetF32(record + kRow))));

    background = GetText(record + kBackground, kBackgroundField);
    cAmbient = GetU32(record + kAmbient);
    vSize = {GetF32(record + kSizeX), GetF32(record + kSizeY)};
    bUseParallax = record[kUseParallax];
    sParallaxName = ParallaxName(record, size);

    ForEachObject(record, size, [this](const uint8_t* o, int run, uint32_t vertices) {
        Vec2 position{GetF32(o + kPosX), GetF32(o + kPosY)};
        if (run != 0) {
            std::string className, templateName;
            SplitType(GetText(o + kType, kTextField), className, templateName);
            if (Object* object = CreateObject(className, templateName, position)) object->LoadRecord(o);
            return;
        }
        // Polygon records pass their whole type text as the class name.
        Object* object = CreateObject(GetText(o + kType, kTextField), "", position);
        if (!object) return;
        object->LoadRecord(o);
        object->sType = "Polygon";
        if (auto* polygon = dynamic_cast<Polygon*>(object))
            for (uint32_t v = 0; v < vertices; ++v) {
                const uint8_t* p = o + kSize + 8 * v;
                polygon->AddVertex({GetF32(p), GetF32(p + 4)}, false);
            }
    });

    std::string name = GetText(record + SceneRecord::kName, kNameField);
    if (!name.empty()) sName = name;
    return GetU32(record + kRecordLength);
}

// ---------------------------------------------------------------------------------------------
// Record walkers

namespace SceneRecord {

void ForEachRecord(const uint8_t* file, uint32_t size,
                   const std::function<void(const uint8_t* record, uint32_t available)>& visit) {
    for (uint64_t offset = kFileHeaderSize; offset + kMinRecord < size;) {
        const uint8_t* record = file + offset;
        visit(record, static_cast<uint32_t>(size - offset));
        const uint32_t length = GetU32(record + kRecordLength);
        // A length of zero would read the same record for ever, and one shorter than the record's
        // own fields or header cannot be where the next record starts: the rest is not followed.
        if (length < kParallaxName || length < GetU32(record + kHeaderLength)) break;
        offset += length;
    }
}

void ForEachObject(const uint8_t* record, uint32_t available,
                   const std::function<void(const uint8_t* object, int run, uint32_t vertices)>& visit) {
    uint64_t offset = GetU32(record + kHeaderLength);
    for (int run = 1; run <= 3; ++run) {
        const uint32_t count = GetU32(record + kRun1 + 4 * (run - 1));
        for (uint32_t i = 0; i < count && offset + ObjectRecord::kSize <= available; ++i) {
            visit(record + offset, run, 0);
            offset += ObjectRecord::kSize;
        }
    }
    const uint32_t polygons = GetU32(record + kPolygons);
    for (uint32_t i = 0; i < polygons && offset + ObjectRecord::kSize <= available; ++i) {
        const uint8_t* o = record + offset;
        // Only the vertices that lie inside the bytes are offered.
        uint64_t room = (available - offset - ObjectRecord::kSize) / 8;
        uint64_t vertices = GetU16(o + ObjectRecord::kVertices);
        visit(o, 0, static_cast<uint32_t>(vertices < room ? vertices : room));
        const uint32_t length = GetU32(o + ObjectRecord::kLength);
        if (length < ObjectRecord::kSize)
            break; // never shorter than an object record: what follows cannot be found
        offset += length;
    }
}

std::string ParallaxName(const uint8_t* record, uint32_t available) {
    const uint32_t header = GetU32(record + kHeaderLength);
    const uint32_t end = header > kParallaxName && header <= available ? header : available;
    return end > kParallaxName ? GetText(record + kParallaxName, end - kParallaxName) : std::string();
}

} // namespace SceneRecord

// ---------------------------------------------------------------------------------------------
// Episode

Episode::~Episode() {
    for (auto& cell : cells)
        delete cell.second;
}

Level* Episode::SceneAt(int32_t column, int32_t row) const {
    if (column < 0 || row < 0 || static_cast<uint32_t>(column) >= width ||
        static_cast<uint32_t>(row) >= height)
        return nullptr;
    auto it = cells.find(uint64_t(row) * width + uint32_t(column));
    return it == cells.end() ? nullptr : it->second;
}

Level* Episode::FindScene(const std::string& sceneName) const {
    for (const auto& cell : cells)
        if (SameNameNoCase(cell.second->sName, sceneName)) return cell.second;
    return nullptr;
}

Level* Episode::GetOrCreateScene(uint32_t column, uint32_t row) {
    if (column >= width || row >= height) return nullptr;
    Level*& cell = cells[uint64_t(row) * width + column];
    if (cell) return cell;
    cell = new Level();
    SetBuiltIn(cell, "sName", SceneName(column, row));
    SetBuiltIn(cell, "sType", "Level");
    SetBuiltIn(cell, "vPosition.x", std::to_string(column));
    SetBuiltIn(cell, "vPosition.y", std::to_string(row));
    SetBuiltIn(cell, "bActive", "1");
    cell->vSize = {800.0f, 600.0f};
    return cell;
}

void Episode::Activate(int32_t column, int32_t row) {
    Level* old = ActiveScene();
    if (column >= 0 && row >= 0 && static_cast<uint32_t>(column) < width &&
        static_cast<uint32_t>(row) < height) {
        currentColumn = column;
        currentRow = row;
    }
    Level* now = ActiveScene();
    if (old && now && old->background != now->background)
        Library::ReleasePicture("Background", old->background);
}

bool Episode::ActivateByName(const std::string& sceneName) {
    for (const auto& cell : cells) {
        if (SameNameNoCase(cell.second->sName, sceneName)) {
            Activate(static_cast<int32_t>(cell.first % width), static_cast<int32_t>(cell.first / width));
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Scene manager

bool LoadSceneFile(const char* path) {
    using namespace SceneRecord;
    if (!path) return false;
    FileBuffer file(path);
    if (!file.ok() || file.size() < kFileHeaderSize || GetU32(file.data()) != kMagic) return false;
    const uint8_t* data = file.data();
    const uint32_t size = file.size();

    auto episode = std::make_unique<Episode>();
    episode->width = GetU32(data + kGridWidth);
    episode->height = GetU32(data + kGridHeight);

    Episode* ep = episode.get();
    ForEachRecord(data, size, [ep](const uint8_t* record, uint32_t available) {
        int64_t column = Trunc(GetF32(record + kColumn));
        int64_t row = Trunc(GetF32(record + kRow));
        // Records for cells outside the declared grid are skipped.
        if (column >= 0 && row >= 0 && column < ep->width && row < ep->height)
            ep->GetOrCreateScene(uint32_t(column), uint32_t(row))->LoadRecord(record, available);
    });

    std::string name = path;
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    episode->name = name;

    episode->Activate(0, 0);
    g_current = episode.get();
    g_episodes.push_back(episode.release());
    return true;
}

Level* GetActiveScene() {
    return g_current ? g_current->ActiveScene() : nullptr;
}

Episode* GetCurrentEpisode() {
    return g_current;
}

Episode* FindEpisode(const char* name) {
    if (!name) return nullptr;
    for (Episode* e : g_episodes)
        if (SameNameNoCase(e->name, name)) return e;
    return nullptr;
}

const std::vector<Episode*>& LoadedEpisodes() {
    return g_episodes;
}

bool SwitchScene(const char* episodeName, const char* sceneName) {
    bool found = true;
    if (sceneName) {
        if (episodeName) g_current = FindEpisode(episodeName);
        found = g_current && g_current->ActivateByName(sceneName);
        if (!found)
            LogMsg("No scene '%s' in episode '%s'; the scene stays as it was\n", sceneName,
                   episodeName ? episodeName : "");
    }
    g_hooks.sceneChanged(GetActiveScene());
    return found;
}

namespace {
Level* FindSceneOf(const char* episodeName, const char* sceneName) {
    Episode* e = FindEpisode(episodeName);
    return e && sceneName ? e->FindScene(sceneName) : nullptr;
}
} // namespace

void SetUpdateCallback(const char* episodeName, const char* sceneName, UpdateCallback function) {
    if (Level* scene = FindSceneOf(episodeName, sceneName)) scene->update = function;
}

void SetOverlayCallback(const char* episodeName, const char* sceneName, DrawCallback function) {
    if (Level* scene = FindSceneOf(episodeName, sceneName)) scene->overlay = function;
}

void SetAfterSceneCallback(const char* episodeName, const char* sceneName, DrawCallback function) {
    if (Level* scene = FindSceneOf(episodeName, sceneName)) scene->afterScene = function;
}

void ReleaseAllEpisodes() {
    for (Episode* e : g_episodes)
        delete e;
    g_episodes.clear();
    g_current = nullptr;
}

void SetSceneHooks(const SceneHooks& hooks) {
    g_hooks = hooks;
}
