#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/Log.h"
#include "picture/Bitmap.h"
#include "scene/Level.h"
#include "scene/Library.h"
#include "scene/Object.h"
#include "support/PictureFiles.h"
#include "support/TempDir.h"

// Every scene test runs in a fresh folder with its own log, an empty scene manager and library,
// reading the pictures the test wrote.
namespace SceneTesting {

class SceneTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Log::Start(dir.path() + "/");
        ReleaseAllEpisodes();
        Library::Release(false);
        // No animations: templates show their own pictures; no renderer to tell of switches.
        Library::Hooks library;
        library.frameImage = [](const char*, const char*, uint32_t, Bitmap&) { return false; };
        Library::SetHooks(library);
        SceneHooks scene;
        scene.sceneChanged = [](Level*) {};
        SetSceneHooks(scene);
    }
    void TearDown() override {
        ReleaseAllEpisodes();
        Library::Release(false);
        Library::SetHooks({});
        SetSceneHooks({});
        Log::Reset();
    }

    // What was logged since the last ClearLog, and how often `line` appears in it.
    std::string LogText() const { return fx::LogText().substr(logStart_); }
    int LogCount(const std::string& line) const { return int(fx::Count(LogText(), line)); }
    void ClearLog() { logStart_ = fx::LogText().size(); }
    // Writes a 32-bit TGA of grey pixels whose alpha bytes are `alpha` (path relative to the folder).
    void WritePicture(const std::string& file, uint32_t w, uint32_t h, uint8_t alpha) {
        dir.Write(file, fx::Str(fx::Tga({w, h, std::vector<uint32_t>(size_t(w) * h, alpha << 24 | 0x808080u)},
                                        32)));
    }
    // library.ini for each group: the text given, or an empty data section.
    void WriteLibrary(const std::map<std::string, std::string>& files) {
        for (const char* g : {"Element", "Background", "Light", "AniGifs", "Item"}) {
            auto it = files.find(g);
            dir.Write(std::string("Data/Library/") + g + "/library.ini",
                      it == files.end() ? "[data]\n" : it->second);
        }
    }

    TempDir dir;
    size_t logStart_ = 0;
};

// Little-endian scene file assembly for the loader tests.
struct SceneFileWriter {
    std::vector<uint8_t> bytes;
    explicit SceneFileWriter(uint32_t width, uint32_t height) : bytes(SceneRecord::kFileHeaderSize, 0) {
        std::memcpy(bytes.data(), "0DEE", 4);
        ObjectRecord::PutU32(&bytes[SceneRecord::kGridWidth], width);
        ObjectRecord::PutU32(&bytes[SceneRecord::kGridHeight], height);
    }
    // Appends one scene record holding the objects' records (WriteRecord) and the polygons'.
    void AddScene(float column, float row, const std::string& name, const std::string& background,
                  const std::vector<const Object*>& objects, const std::vector<const Polygon*>& polygons = {},
                  uint32_t ambient = 0x202020) {
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

} // namespace SceneTesting
