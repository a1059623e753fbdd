#include "SceneFixture.h"

#include <fstream>
#include <iterator>

namespace SceneTesting {

Bitmap MakePicture(uint32_t width, uint32_t height, uint8_t alpha) {
    Bitmap b;
    EXPECT_TRUE(b.Create(width, height, 32));
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = b.Row(y) + 4 * x;
            p[0] = p[1] = p[2] = 0x80;
            p[3] = alpha;
        }
    return b;
}

void SceneTest::WritePicture(const std::string& file, const Bitmap& picture) {
    dir.Write(file, fx::Str(fx::Tga(fx::FromBitmap(picture), 32)));
}

void SceneTest::SetUp() {
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
    ClearLog();
}

void SceneTest::TearDown() {
    ReleaseAllEpisodes();
    Library::Release(false);
    Library::SetHooks({});
    SetSceneHooks({});
    Log::Reset();
}

std::string SceneTest::LogText() const {
    std::ifstream in(Log::Path(), std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return logStart_ <= all.size() ? all.substr(logStart_) : std::string();
}

int SceneTest::LogCount(const std::string& line) const {
    std::string text = LogText();
    int n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
        ++n;
    return n;
}

void SceneTest::ClearLog() {
    logStart_ = 0;
    logStart_ = LogText().size();
}

SceneFileWriter::SceneFileWriter(uint32_t width, uint32_t height) : bytes(SceneRecord::kFileHeaderSize, 0) {
    std::memcpy(bytes.data(), "0DEE", 4);
    ObjectRecord::PutU32(&bytes[SceneRecord::kGridWidth], width);
    ObjectRecord::PutU32(&bytes[SceneRecord::kGridHeight], height);
}

void SceneFileWriter::AddScene(float column, float row, const std::string& name,
                               const std::string& background, const std::vector<const Object*>& objects,
                               const std::vector<const Polygon*>& polygons, uint32_t ambient) {
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
        uint8_t record[kSize];
        o->WriteRecord(record);
        r.insert(r.end(), record, record + kSize);
    }
    for (const Polygon* p : polygons) {
        std::vector<uint8_t> record(p->RecordSize());
        p->WriteRecord(record.data());
        p->WriteVertices(record.data() + kSize);
        r.insert(r.end(), record.begin(), record.end());
    }
    PutU32(&r[SR::kRecordLength], static_cast<uint32_t>(r.size()));
    bytes.insert(bytes.end(), r.begin(), r.end());
}

} // namespace SceneTesting
