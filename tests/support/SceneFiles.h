#pragma once
// Episode files assembled byte by byte for the loader, renderer and animation tests.
#include <cstring>
#include <string>
#include <vector>

#include "scene/Level.h"
#include "scene/Object.h"

// A file header for a grid of `width` x `height` cells, then one scene record per AddScene.
struct SceneFileWriter {
    std::vector<uint8_t> bytes;
    explicit SceneFileWriter(uint32_t width, uint32_t height) : bytes(SceneRecord::kFileHeaderSize, 0) {
        std::memcpy(bytes.data(), "0DEE", 4);
        ObjectRecord::PutU32(&bytes[SceneRecord::kGridWidth], width);
        ObjectRecord::PutU32(&bytes[SceneRecord::kGridHeight], height);
    }
    // Appends one 800 x 600 scene record holding the objects' records (WriteRecord) and the
    // polygons'; a parallax name makes the scene use parallax.
    void AddScene(float column, float row, const std::string& name, const std::string& background,
                  const std::vector<const Object*>& objects, const std::vector<const Polygon*>& polygons = {},
                  uint32_t ambient = 0x202020, const std::string& parallaxName = "") {
        using namespace ObjectRecord;
        namespace SR = SceneRecord;
        std::vector<uint8_t> r(SR::kWrittenHeader, 0);
        PutU32(&r[SR::kHeaderLength], SR::kWrittenHeader);
        PutF32(&r[SR::kColumn], column);
        PutF32(&r[SR::kRow], row);
        PutText(&r[SR::kBackground], SR::kBackgroundField, background);
        PutU32(&r[SR::kAmbient], ambient);
        PutU32(&r[SR::kRun1], static_cast<uint32_t>(objects.size()));
        PutText(&r[SR::kName], SR::kNameField, name);
        PutU32(&r[SR::kPolygons], static_cast<uint32_t>(polygons.size()));
        PutF32(&r[SR::kSizeX], 800.0f);
        PutF32(&r[SR::kSizeY], 600.0f);
        r[SR::kUseParallax] = parallaxName.empty() ? 0 : 1;
        PutText(&r[SR::kParallaxName], SR::kWrittenHeader - SR::kParallaxName, parallaxName);
        for (const Object* o : objects) {
            r.resize(r.size() + kSize);
            o->WriteRecord(&r[r.size() - kSize]);
        }
        for (const Polygon* p : polygons) {
            r.resize(r.size() + p->RecordSize());
            uint8_t* at = &r[r.size() - p->RecordSize()];
            p->WriteRecord(at);
            p->WriteVertices(at + kSize);
        }
        PutU32(&r[SR::kRecordLength], static_cast<uint32_t>(r.size()));
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    std::string Text() const { return std::string(bytes.begin(), bytes.end()); }
};
