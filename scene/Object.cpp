#include "scene/Object.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "scene/Library.h"

// ---------------------------------------------------------------------------------------------
// Record field access

namespace ObjectRecord {

uint16_t GetU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

float GetF32(const uint8_t* p) {
    uint32_t bits = GetU32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutF32(uint8_t* p, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    PutU32(p, bits);
}

std::string GetText(const uint8_t* p, size_t cap) {
    const void* end = std::memchr(p, 0, cap);
    size_t length = end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - p) : cap;
    return std::string(reinterpret_cast<const char*>(p), length);
}

void PutText(uint8_t* p, size_t cap, const std::string& text) {
    if (cap == 0) return;
    size_t n = std::min(text.size(), cap - 1);
    std::memcpy(p, text.data(), n);
    p[n] = 0;
}

} // namespace ObjectRecord

using namespace ObjectRecord;

bool SameNameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

void SplitType(const std::string& type, std::string& className, std::string& templateName) {
    size_t dot = type.rfind('.');
    if (dot == std::string::npos) {
        className = type;
        templateName.clear();
    } else {
        className = type.substr(0, dot);
        templateName = type.substr(dot + 1);
    }
}

namespace {

// Truncation toward zero that stays defined for any float (files may hold NaN or huge values).
int64_t Trunc(float v) {
    if (!(v == v)) return 0;
    if (v >= 9.0e18f) return INT64_MAX;
    if (v <= -9.0e18f) return INT64_MIN;
    return static_cast<int64_t>(v);
}

void AddInfo(std::vector<VariableInfo>& list, const char* name, uint32_t kind) {
    VariableInfo info;
    info.name = name;
    info.kind = kind;
    list.push_back(std::move(info));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Object

void Object::GetVariableList(std::vector<VariableInfo>& list) const {
    AddInfo(list, "sName", VAR_STRING);
    AddInfo(list, "sType", VAR_STRING);
    AddInfo(list, "nLife", VAR_INT);
    AddInfo(list, "vPosition", VAR_VECTOR);
}

bool Object::Variable(std::string name, std::string& value, bool set) {
    if (name == "sName")
        VarString(sName, value, set);
    else if (name == "sType")
        VarString(sType, value, set);
    else if (name == "nLife")
        VarUInt(nLife, value, set);
    else if (name == "vPosition.x")
        VarFloat(vPosition.x, value, set);
    else if (name == "vPosition.y")
        VarFloat(vPosition.y, value, set);
    else if (name == "vSize.x")
        VarFloat(vSize.x, value, set);
    else if (name == "vSize.y")
        VarFloat(vSize.y, value, set);
    else if (name == "bActive")
        VarBool(bActive, value, set);
    else if (name == "bBreakable")
        VarBool(bBreakable, value, set);
    else if (name == "bObstacle")
        VarBool(bObstacle, value, set);
    else if (name == "bLadder")
        VarBool(bLadder, value, set);
    else if (name == "bWater")
        VarBool(bWater, value, set);
    else if (name == "bVisible")
        VarBool(bVisible, value, set);
    else if (name == "bFlipX")
        VarBool(bFlipX, value, set);
    else if (name == "bFlipY")
        VarBool(bFlipY, value, set);
    else if (name == "bCastShadow")
        VarBool(bCastShadow, value, set);
    else if (VariableHolder::Variable(name, value, set))
        return true;
    else {
        LogVariableNotFound(name, "Object");
        return false;
    }
    return true;
}

LibraryTemplate* Object::GetTemplate() {
    return nullptr;
}

bool Object::HitTest(Vec2 point, Object*&) {
    float left = vPosition.x - pivot.x;
    float top = vPosition.y - pivot.y;
    return left <= point.x && point.x < left + vSize.x && top <= point.y && point.y < top + vSize.y;
}

bool Object::DeleteChild(const std::string&) {
    return true;
}

void Object::WriteRecord(uint8_t* record) const {
    std::memset(record, 0, kSize);
    PutU32(record + kLength, kSize);
    PutText(record + kName, kTextField, GetName(true));
    PutText(record + kType, kTextField, sType);
    PutF32(record + kPosX, vPosition.x);
    PutF32(record + kPosY, vPosition.y);
    PutU16(record + kLife, static_cast<uint16_t>(nLife));
    uint8_t f1 = 0;
    const uint8_t flags[8] = {bActive, bBreakable, bObstacle, bLadder, bWater, bVisible, bFlipX, bFlipY};
    for (int i = 0; i < 8; ++i)
        if (flags[i]) f1 |= static_cast<uint8_t>(1u << i);
    record[kFlags1] = f1;
    record[kFlags2] = bCastShadow ? 1 : 0;
}

void Object::LoadRecord(const uint8_t* record) {
    sName = GetText(record + kName, kTextField);
    sType = GetText(record + kType, kTextField);
    vPosition.x = GetF32(record + kPosX);
    vPosition.y = GetF32(record + kPosY);
    nLife = GetU16(record + kLife);
    uint8_t f1 = record[kFlags1];
    uint8_t* flags[8] = {&bActive, &bBreakable, &bObstacle, &bLadder, &bWater, &bVisible, &bFlipX, &bFlipY};
    for (int i = 0; i < 8; ++i)
        *flags[i] = (f1 >> i) & 1;
    bCastShadow = record[kFlags2] & 1;
}

std::string Object::GetName(bool withParents) const {
    if (withParents && parent) return parent->GetName(true) + "." + sName;
    return sName;
}

Vec2 Object::GetWorldPosition() const {
    if (!parent) return vPosition;
    Vec2 p = parent->GetWorldPosition();
    return {p.x + vPosition.x, p.y + vPosition.y};
}

void Object::SetWorldPosition(Vec2 position) {
    if (parent) {
        Vec2 p = parent->GetWorldPosition();
        vPosition = {position.x - p.x, position.y - p.y};
    } else {
        vPosition = position;
    }
}

// ---------------------------------------------------------------------------------------------
// Element

void Element::GetVariableList(std::vector<VariableInfo>& list) const {
    AddInfo(list, "sName", VAR_STRING);
    AddInfo(list, "sType", VAR_STRING);
    AddInfo(list, "vPosition", VAR_VECTOR);
    AddInfo(list, "nSort", VAR_INT);
    AddInfo(list, "bFirstPlane", VAR_BOOL);
    AddInfo(list, "bVisible", VAR_BOOL);
    AddInfo(list, "nOpaque", VAR_INT);
    AddInfo(list, "bFlipX", VAR_BOOL);
    AddInfo(list, "bFlipY", VAR_BOOL);
    AddInfo(list, "bBreakable", VAR_BOOL);
    AddInfo(list, "nLife", VAR_INT);
}

bool Element::Variable(std::string name, std::string& value, bool set) {
    if (name == "nSort")
        VarInt(nSort, value, set);
    else if (name == "nOpaque")
        VarInt(nOpaque, value, set);
    else if (name == "bFirstPlane")
        VarBool(bFirstPlane, value, set);
    else if (Object::Variable(name, value, set))
        return true;
    else {
        LogVariableNotFound(name, "Element");
        return false;
    }
    return true;
}

bool Element::HitTest(Vec2 point, Object*& child) {
    if (!Object::HitTest(point, child)) return false;
    Vec2 world = GetWorldPosition();
    float left = world.x - pivot.x;
    float top = world.y - pivot.y;
    const Bitmap* picture = Library::GetPictureByType(sType);
    if (!picture || picture->Bits() != 32) return false; // nothing to test against
    int64_t column = Trunc(point.x) - Trunc(left);
    int64_t row = Trunc(point.y) - Trunc(top);
    // The picture may be smaller than the element's size (or the element moved under a parent):
    // a point outside the picture is not on it.
    if (column < 0 || row < 0 || column >= picture->Width() || row >= picture->Height()) return false;
    const uint8_t* pixel = picture->Row(static_cast<uint32_t>(row)) + static_cast<size_t>(column) * 4;
    return pixel[3] > 25;
}

void Element::WriteRecord(uint8_t* record) const {
    Object::WriteRecord(record);
    PutU16(record + kSort, static_cast<uint16_t>(static_cast<int16_t>(nSort)));
    PutU16(record + kOpaque, static_cast<uint16_t>(nOpaque));
    if (bFirstPlane) record[kFlags2] |= 4;
}

void Element::LoadRecord(const uint8_t* record) {
    Object::LoadRecord(record);
    nSort = static_cast<int16_t>(GetU16(record + kSort));
    nOpaque = GetU16(record + kOpaque);
    bFirstPlane = (record[kFlags2] >> 2) & 1;
}

// ---------------------------------------------------------------------------------------------
// Light

void Light::GetVariableList(std::vector<VariableInfo>& list) const {
    AddInfo(list, "sName", VAR_STRING);
    AddInfo(list, "sType", VAR_STRING);
    AddInfo(list, "vPosition", VAR_VECTOR);
    AddInfo(list, "bActive", VAR_BOOL);
    AddInfo(list, "cColor", VAR_COLOR);
    AddInfo(list, "nRadius", VAR_INT);
    AddInfo(list, "bCastShadow", VAR_BOOL);
}

bool Light::Variable(std::string name, std::string& value, bool set) {
    if (name == "cColor")
        VarUInt(cColor, value, set);
    else if (name == "nRadius")
        VarInt(nRadius, value, set);
    else if (Object::Variable(name, value, set))
        return true;
    else {
        LogVariableNotFound(name, "Light");
        return false;
    }
    return true;
}

void Light::WriteRecord(uint8_t* record) const {
    Object::WriteRecord(record);
    PutU16(record + kRadius, static_cast<uint16_t>(nRadius));
    PutU32(record + kColor, cColor);
}

void Light::LoadRecord(const uint8_t* record) {
    Object::LoadRecord(record);
    nRadius = GetU16(record + kRadius);
    cColor = GetU32(record + kColor);
}

// ---------------------------------------------------------------------------------------------
// Item

void Item::GetVariableList(std::vector<VariableInfo>& list) const {
    AddInfo(list, "sName", VAR_STRING);
    AddInfo(list, "sType", VAR_STRING);
    AddInfo(list, "nScore", VAR_INT);
    AddInfo(list, "sOnPickupSound", VAR_STRING);
    AddInfo(list, "vPosition", VAR_VECTOR);
    AddInfo(list, "bVisible", VAR_BOOL);
}

bool Item::Variable(std::string name, std::string& value, bool set) {
    if (name == "nScore")
        VarInt(nScore, value, set);
    else if (name == "sOnPickupSound")
        VarString(sOnPickupSound, value, set);
    else if (Object::Variable(name, value, set))
        return true;
    else {
        LogVariableNotFound(name, "Item");
        return false;
    }
    return true;
}

LibraryTemplate* Item::GetTemplate() {
    return Library::FindTemplateByType(sType);
}

void Item::WriteRecord(uint8_t* record) const {
    Object::WriteRecord(record);
    PutU16(record + kScore, static_cast<uint16_t>(nScore));
}

void Item::LoadRecord(const uint8_t* record) {
    Object::LoadRecord(record);
    nScore = GetU16(record + kScore);
}

// ---------------------------------------------------------------------------------------------
// PolygonVertex

PolygonVertex::PolygonVertex(Vec2 position) {
    vPosition = position;
    vSize = {6.0f, 6.0f};
    pivot = {3.0f, 3.0f};
    sType = "Vertex";
}

void PolygonVertex::GetVariableList(std::vector<VariableInfo>& list) const {
    AddInfo(list, "sName", VAR_STRING);
    AddInfo(list, "sType", VAR_STRING);
    AddInfo(list, "vPosition", VAR_VECTOR);
}

bool PolygonVertex::Variable(std::string name, std::string& value, bool set) {
    if (Object::Variable(name, value, set)) return true;
    LogVariableNotFound(name, "PolygonVertex");
    return false;
}

// ---------------------------------------------------------------------------------------------
// Polygon

Polygon::~Polygon() {
    for (PolygonVertex* v : vertices)
        delete v;
}

void Polygon::GetVariableList(std::vector<VariableInfo>& list) const {
    AddInfo(list, "sName", VAR_STRING);
    AddInfo(list, "sType", VAR_STRING);
    AddInfo(list, "vPosition", VAR_VECTOR);
    AddInfo(list, "cColor", VAR_COLOR);
    AddInfo(list, "bActive", VAR_BOOL);
    AddInfo(list, "bCastShadow", VAR_BOOL);
    AddInfo(list, "bObstacle", VAR_BOOL);
    AddInfo(list, "bClosed", VAR_BOOL);
}

bool Polygon::Variable(std::string name, std::string& value, bool set) {
    if (name == "cColor")
        VarUInt(cColor, value, set);
    else if (name == "bClosed")
        VarBool(bClosed, value, set);
    else if (Object::Variable(name, value, set))
        return true;
    else {
        LogVariableNotFound(name, "Poly");
        return false;
    }
    return true;
}

bool Polygon::HitTest(Vec2 point, Object*& child) {
    Vec2 origin = GetWorldPosition();
    std::vector<Vec2> points;
    points.reserve(vertices.size() + 1);
    for (PolygonVertex* v : vertices) {
        Vec2 p{origin.x + v->vPosition.x, origin.y + v->vPosition.y};
        float dx = point.x - p.x, dy = point.y - p.y;
        if (std::sqrt(dx * dx + dy * dy) < 5.0f) {
            child = v;
            return true;
        }
        points.push_back(p);
    }
    if (bClosed && !points.empty()) points.push_back(points.front());
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        Vec2 a = points[i], b = points[i + 1];
        float ex = b.x - a.x, ey = b.y - a.y;
        float length = std::sqrt(ex * ex + ey * ey);
        if (length == 0.0f) continue; // a zero-length edge has no line through it
        // Distance of the point from the straight line through the edge (not the segment).
        float distance = std::fabs(ey * point.x - ex * point.y + (ex * a.y - ey * a.x)) / length;
        if (distance < 2.0f) return true;
    }
    return false;
}

bool Polygon::DeleteChild(const std::string& name) {
    for (auto it = vertices.begin(); it != vertices.end(); ++it) {
        if (SameNameNoCase((*it)->sName, name)) {
            delete *it;
            vertices.erase(it);
            return true;
        }
    }
    return false;
}

void Polygon::WriteRecord(uint8_t* record) const {
    Object::WriteRecord(record);
    PutU32(record + kColor, cColor);
    if (bClosed) record[kFlags2] |= 8;
    PutU16(record + kVertices, static_cast<uint16_t>(vertices.size()));
    PutU32(record + kLength, RecordSize());
}

void Polygon::WriteVertices(uint8_t* out) const {
    for (size_t i = 0; i < vertices.size(); ++i) {
        PutF32(out + 8 * i, vertices[i]->vPosition.x);
        PutF32(out + 8 * i + 4, vertices[i]->vPosition.y);
    }
}

void Polygon::LoadRecord(const uint8_t* record) {
    Object::LoadRecord(record);
    cColor = GetU32(record + kColor);
    bClosed = (record[kFlags2] >> 3) & 1;
}

void Polygon::AddVertex(Vec2 point, bool world) {
    if (world) {
        Vec2 origin = GetWorldPosition();
        point = {point.x - origin.x, point.y - origin.y};
    }
    PolygonVertex* vertex = new PolygonVertex(point);
    vertex->parent = this;
    vertices.push_back(vertex);
    std::string base = GetName(true);
    for (size_t i = 0; i < vertices.size(); ++i)
        vertices[i]->sName = base + "_V" + std::to_string(i + 1);
}
