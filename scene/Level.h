#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/Hook.h"
#include "scene/Object.h"

struct SDL_Surface;
class Episode;
class Level;

// Handed to every update callback; filled by the frame before the call.
struct FrameRecord {
    float elapsedSeconds = 0.0f;
    Episode* episode = nullptr;
    Level* scene = nullptr;
};

using UpdateCallback = void (*)(uint32_t elapsedMs, FrameRecord* frame);
using DrawCallback = void (*)(SDL_Surface* surface);

// Layout of a scene record's header (little-endian) and of the scene file's header.
namespace SceneRecord {
inline constexpr uint32_t kFileHeaderSize = 4096;
inline constexpr uint32_t kMagic = 0x45454430; // "0DEE"
inline constexpr uint32_t kGridWidth = 0x108;
inline constexpr uint32_t kGridHeight = 0x10C;
inline constexpr uint32_t kMinRecord = 0x192; // a record needs more than this many bytes left

inline constexpr uint32_t kHeaderLength = 0x00; // u32: offset of the first object record
inline constexpr uint32_t kRecordLength = 0x04; // u32: whole scene record
inline constexpr uint32_t kColumn = 0x08;       // f32
inline constexpr uint32_t kRow = 0x0C;          // f32
inline constexpr uint32_t kBackground = 0x10;   // char[32]
inline constexpr uint32_t kAmbient = 0x30;      // u32
inline constexpr uint32_t kRun1 = 0x34;         // u32 object record counts of the three runs
inline constexpr uint32_t kRun2 = 0x38;
inline constexpr uint32_t kRun3 = 0x3C;
inline constexpr uint32_t kName = 0x48;         // char[64]
inline constexpr uint32_t kPolygons = 0x88;     // u32
inline constexpr uint32_t kSizeX = 0x8C;        // f32
inline constexpr uint32_t kSizeY = 0x90;        // f32
inline constexpr uint32_t kUseParallax = 0x94;  // u8
inline constexpr uint32_t kParallaxName = 0x96; // text up to the header's end
inline constexpr uint32_t kBackgroundField = 32;
inline constexpr uint32_t kNameField = 64;
// The header length writers use: long enough that a record without objects still passes the
// loader's "more than 0x192 bytes left" test, with room for a parallax name of 265 characters.
inline constexpr uint32_t kWrittenHeader = 0x1A0;

// Walkers shared by the loader and the tools; they never look outside the bytes they are given.
// Scene records from offset 4096 while more than kMinRecord bytes remain, stopping at a record too
// short to lead on to the next one. `available` counts the bytes from the record to the file's end.
void ForEachRecord(const uint8_t* file, uint32_t size,
                   const std::function<void(const uint8_t* record, uint32_t available)>& visit);
// The object records of runs 1, 2 and 3 (run 1..3, vertices 0), then the polygon records (run 0)
// with the number of their vertices that lie inside the bytes.
void ForEachObject(const uint8_t* record, uint32_t available,
                   const std::function<void(const uint8_t* object, int run, uint32_t vertices)>& visit);
// The parallax name, which ends within the header (or the bytes available, whichever is shorter).
std::string ParallaxName(const uint8_t* record, uint32_t available);
} // namespace SceneRecord

// A scene: an object that owns the objects placed on it.
class Level : public Object {
  public:
    Level();
    ~Level() override;

    void GetVariableList(std::vector<VariableInfo>& list) const override;
    bool Variable(std::string name, std::string& value, bool set) override;
    const char* ClassName() const override { return "Level"; }

    using Object::LoadRecord;
    // Fills the scene from one scene record of `size` bytes (the bytes available from the record's
    // start to the end of the file); returns the record's length (field 0x04). Object records
    // and polygon records that do not fit inside `size` are not read.
    uint32_t LoadRecord(const uint8_t* record, uint32_t size);

    // The object factory: the only way objects come into being while loading.
    Object* CreateObject(const std::string& className, const std::string& templateName, Vec2 position);
    // "Poly1" removes that object; "Poly1.Poly1_V2" asks Poly1 to delete its child Poly1_V2.
    void DeleteObject(const std::string& name);

    UpdateCallback update = nullptr;   // slot 1
    DrawCallback overlay = nullptr;    // slot 2
    DrawCallback afterScene = nullptr; // slot 3
    std::string background;            // template of library group Background
    uint8_t bUseParallax = 0;
    std::string sParallaxName;
    std::vector<Element*> elements; // owned
    std::vector<Item*> items;       // owned; 1000 reserved so play does not move it
    std::vector<Light*> lights;     // owned
    std::vector<Polygon*> polygons; // owned
    uint32_t cAmbient = 0x202020;
};

// One loaded scene file: a grid of scenes addressed by column and row.
class Episode {
  public:
    Episode() = default;
    ~Episode();
    Episode(const Episode&) = delete;
    Episode& operator=(const Episode&) = delete;

    // First scene, row by row from row 0, whose name equals `name` ignoring case.
    Level* FindScene(const std::string& name) const;
    // Makes the cell current when it lies inside the grid; releases the old background when the
    // scene's background changes.
    void Activate(int32_t column, int32_t row);
    // False when the episode has no scene of that name.
    bool ActivateByName(const std::string& name);
    // nullptr when the cell lies outside the grid.
    Level* GetOrCreateScene(uint32_t column, uint32_t row);
    // nullptr when the cell is outside the grid or empty.
    Level* SceneAt(int32_t column, int32_t row) const;
    Level* ActiveScene() const { return SceneAt(currentColumn, currentRow); }

    uint32_t width = 0;
    uint32_t height = 0;
    // Occupied cells only, keyed by row * width + column (so iteration is row-major); owned. Kept
    // sparse so that a file declaring a huge grid costs nothing for the cells it leaves empty.
    std::map<uint64_t, Level*> cells;
    int32_t currentColumn = 0;
    int32_t currentRow = 0;
    std::string name;
};

// Scene manager (process-wide).
[[nodiscard]] bool LoadSceneFile(const char* path);
Level* GetActiveScene();
Episode* GetCurrentEpisode();
// Always tells the renderer (scene-changed hook); false (logged) when the scene is not found.
bool SwitchScene(const char* episodeName, const char* sceneName);
void SetUpdateCallback(const char* episodeName, const char* sceneName, UpdateCallback function);
void SetOverlayCallback(const char* episodeName, const char* sceneName, DrawCallback function);
void SetAfterSceneCallback(const char* episodeName, const char* sceneName, DrawCallback function);
void ReleaseAllEpisodes();
// First loaded episode of that name, ignoring case.
Episode* FindEpisode(const char* name);
const std::vector<Episode*>& LoadedEpisodes();

// What the scene manager takes from above: after every switch, the new active scene (nullptr
// when none) goes to the renderer's Renderer::OnSceneChanged.
struct SceneHooks {
    Hook<void(Level* scene)> sceneChanged{"Scene.sceneChanged"};
};
void SetSceneHooks(const SceneHooks& hooks);

// The factory's name counter (process-wide, starts at 1, never reset while running).
uint32_t NextObjectNumber();
