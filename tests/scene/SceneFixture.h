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
#include "support/SceneFiles.h"
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
    std::string LogText() const {
        const std::string all = fx::LogText();
        return logStart_ <= all.size() ? all.substr(logStart_) : std::string();
    }
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

} // namespace SceneTesting
