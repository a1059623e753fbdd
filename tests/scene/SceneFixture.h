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

// A 32-bit picture whose alpha bytes are `alpha` everywhere.
Bitmap MakePicture(uint32_t width, uint32_t height, uint8_t alpha);

class SceneTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string LogText() const;
    // Number of times `line` appears in the log.
    int LogCount(const std::string& line) const;
    // Forget what was logged so far.
    void ClearLog();
    // Writes `picture` as a 32-bit TGA file (path relative to the test's folder).
    void WritePicture(const std::string& file, const Bitmap& picture);

    TempDir dir;
    size_t logStart_ = 0;
};

// Little-endian scene file assembly for the loader tests.
struct SceneFileWriter {
    std::vector<uint8_t> bytes;
    explicit SceneFileWriter(uint32_t width, uint32_t height);
    // Appends one scene record holding the objects' records (WriteRecord) and the polygons'.
    void AddScene(float column, float row, const std::string& name, const std::string& background,
                  const std::vector<const Object*>& objects, const std::vector<const Polygon*>& polygons = {},
                  uint32_t ambient = 0x202020);
    std::string Text() const { return std::string(bytes.begin(), bytes.end()); }
};

} // namespace SceneTesting
