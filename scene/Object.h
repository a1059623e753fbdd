#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "picture/AnimationState.h"
#include "scene/Variables.h"

struct LibraryTemplate;

struct Vec2 {
    float x = 0.0f;
    float y = 0.0f;
};

// Layout of the 128-byte object record shared by every class (little-endian). Polygon records
// carry their vertices after it, 8 bytes (x, y as f32) each.
namespace ObjectRecord {
inline constexpr uint32_t kSize = 128;
inline constexpr uint32_t kLength = 0x00;   // u32: 128, or 128 + 8 * vertices for a polygon
inline constexpr uint32_t kName = 0x04;     // char[32]
inline constexpr uint32_t kType = 0x24;     // char[32]
inline constexpr uint32_t kPosX = 0x44;     // f32
inline constexpr uint32_t kPosY = 0x48;     // f32
inline constexpr uint32_t kScore = 0x4C;    // u16, Item
inline constexpr uint32_t kSort = 0x4E;     // i16, Element
inline constexpr uint32_t kOpaque = 0x50;   // u16, Element
inline constexpr uint32_t kLife = 0x52;     // u16
inline constexpr uint32_t kRadius = 0x54;   // u16, Light
inline constexpr uint32_t kColor = 0x56;    // u32, Light and Polygon
inline constexpr uint32_t kVertices = 0x5A; // u16, Polygon
inline constexpr uint32_t kFlags1 = 0x5C;   // bActive..bFlipY, bits 0..7
inline constexpr uint32_t kFlags2 = 0x5D;   // bit 0 bCastShadow, bit 2 bFirstPlane, bit 3 bClosed
inline constexpr uint32_t kTextField = 32;

// Little-endian field access; callers guarantee the bytes are there.
uint16_t GetU16(const uint8_t* p);
uint32_t GetU32(const uint8_t* p);
float GetF32(const uint8_t* p);
void PutU16(uint8_t* p, uint16_t v);
void PutU32(uint8_t* p, uint32_t v);
void PutF32(uint8_t* p, float v);
// A text field of `cap` bytes: read up to the first NUL or the field's end, never beyond.
std::string GetText(const uint8_t* p, size_t cap);
// Writes at most cap-1 bytes and a terminating NUL.
void PutText(uint8_t* p, size_t cap, const std::string& text);
} // namespace ObjectRecord

// Base of everything placed on a scene.
class Object : public VariableHolder {
  public:
    Object() = default;
    ~Object() override = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    void GetVariableList(std::vector<VariableInfo>& list) const override;
    bool Variable(std::string name, std::string& value, bool set) override;

    // The library template of the object's type; only items have one.
    virtual LibraryTemplate* GetTemplate();
    // Rectangle test: position - pivot <= point < position - pivot + size. `child` is left alone.
    virtual bool HitTest(Vec2 point, Object*& child);
    virtual bool DeleteChild(const std::string& name);
    // `record` holds at least ObjectRecord::kSize bytes (more for a polygon's vertices).
    virtual void WriteRecord(uint8_t* record) const;
    virtual void LoadRecord(const uint8_t* record);

    std::string GetName(bool withParents) const;
    Vec2 GetWorldPosition() const;
    void SetWorldPosition(Vec2 position);
    // The class name used in "Variable ... not found" messages.
    virtual const char* ClassName() const { return "Object"; }

    Object* parent = nullptr; // never owned
    uint8_t bActive = 1;
    uint8_t bBreakable = 0;
    uint8_t bObstacle = 0;
    uint8_t bLadder = 0;
    uint8_t bWater = 0;
    uint8_t bVisible = 1;
    uint8_t bFlipX = 0;
    uint8_t bFlipY = 0;
    uint8_t bCastShadow = 0;
    std::string sName;
    std::string sType;
    Vec2 vPosition;
    Vec2 vSize{1.0f, 1.0f};
    Vec2 pivot;
    uint32_t nLife = 0;
};

class Element : public Object {
  public:
    void GetVariableList(std::vector<VariableInfo>& list) const override;
    bool Variable(std::string name, std::string& value, bool set) override;
    // Rectangle test, then the alpha of the library picture's pixel under the point (> 25).
    bool HitTest(Vec2 point, Object*& child) override;
    void WriteRecord(uint8_t* record) const override;
    void LoadRecord(const uint8_t* record) override;
    const char* ClassName() const override { return "Element"; }

    uint8_t bFirstPlane = 0;
    int32_t nSort = 50;
    int32_t nOpaque = 100;
};

class Light : public Object {
  public:
    Light() { bCastShadow = 1; }
    void GetVariableList(std::vector<VariableInfo>& list) const override;
    bool Variable(std::string name, std::string& value, bool set) override;
    void WriteRecord(uint8_t* record) const override;
    void LoadRecord(const uint8_t* record) override;
    const char* ClassName() const override { return "Light"; }

    uint32_t cColor = 0xffffff; // red bits 0-7, green 8-15, blue 16-23
    int32_t nRadius = 100;
};

class Item : public Object {
  public:
    void GetVariableList(std::vector<VariableInfo>& list) const override;
    bool Variable(std::string name, std::string& value, bool set) override;
    // The template named by sType (class and template split at the last ".").
    LibraryTemplate* GetTemplate() override;
    void WriteRecord(uint8_t* record) const override;
    void LoadRecord(const uint8_t* record) override;
    const char* ClassName() const override { return "Item"; }

    int32_t nScore = 0;
    uint32_t nSort = 0; // drawing order among items, set by the game; not a variable
    std::string sOnPickupSound;
    AnimationState animation;
};

class PolygonVertex : public Object {
  public:
    explicit PolygonVertex(Vec2 position);
    void GetVariableList(std::vector<VariableInfo>& list) const override;
    bool Variable(std::string name, std::string& value, bool set) override;
    const char* ClassName() const override { return "PolygonVertex"; }
};

class Polygon : public Object {
  public:
    ~Polygon() override;
    void GetVariableList(std::vector<VariableInfo>& list) const override;
    bool Variable(std::string name, std::string& value, bool set) override;
    // A vertex within 5 pixels (returned in `child`), or an edge line within 2 pixels.
    bool HitTest(Vec2 point, Object*& child) override;
    // Removes the first vertex whose own name matches, ignoring case; no renumbering.
    bool DeleteChild(const std::string& name) override;
    // The 128-byte record, with the vertex count and the length of the whole polygon record.
    void WriteRecord(uint8_t* record) const override;
    // The vertices that follow the record: 8 bytes each, `out` holds 8 * vertices.size() bytes.
    void WriteVertices(uint8_t* out) const;
    void LoadRecord(const uint8_t* record) override;
    const char* ClassName() const override { return "Poly"; }

    // world: the point is in scene co-ordinates and is made relative to the polygon first.
    void AddVertex(Vec2 point, bool world);
    uint32_t RecordSize() const { return ObjectRecord::kSize + 8u * static_cast<uint32_t>(vertices.size()); }

    uint32_t cColor = 0xffffff;
    std::vector<PolygonVertex*> vertices; // owned
    uint8_t bClosed = 1;
};

// Equality ignoring ASCII letter case (scene, episode and object names).
bool SameNameNoCase(const std::string& a, const std::string& b);
// Splits a type text at its last "." into class and template (no ".": all class, empty template).
void SplitType(const std::string& type, std::string& className, std::string& templateName);
