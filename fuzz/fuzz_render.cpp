// Scene files through the renderer: static lighting with shadows, smoothing, polygons and
// composition, for every scene the file holds, with all the renderer's switches on.
#include "core/Config.h"
#include "fuzz/FuzzSupport.h"
#include "gfx/Graphics.h"
#include "gfx/Renderer.h"
#include "scene/Level.h"

#include <filesystem>
#include <fstream>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSetUp();
    // The renderer only needs its default font to exist.
    std::filesystem::create_directories("Data/Library/Font");
    std::ofstream("Data/Library/Font/Tahoma.ttf") << "font";
    // No texts, no keys held, no cursor.
    Renderer::Hooks hooks;
    hooks.loadDefaultFont = [](const char*, uint32_t) { return true; };
    hooks.keyDown = [](uint32_t) { return false; };
    hooks.cursorPosition = [](int32_t&, int32_t&) { return false; };
    Renderer::SetHooks(hooks);
    if (!Graphics::Init(800, 600, 32, false, nullptr) || !Renderer::Init(800, 600, g_Settings)) std::abort();
    Renderer::bRenderInvisible = 1;
    Renderer::bRenderLightSources = 1;
    Renderer::bRenderSoftwareLightMap = 1;
    Renderer::bRenderPoly = 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = WriteScratch(data, size, ".eed");
    if (LoadSceneFile(path.c_str())) {
        Episode* episode = GetCurrentEpisode();
        SDL_Surface* back = Graphics::GetBackBuffer();
        int composed = 0;
        for (const auto& cell : episode->cells) {
            // The renderer bounds the scene size itself; two scenes a unit keep the runs many.
            Level* scene = cell.second;
            if (!scene || ++composed > 2) continue;
            episode->ActivateByName(scene->sName);
            Renderer::OnSceneChanged(scene);
            Renderer::DrawScene(back);
            Renderer::DrawItems(back);
        }
    }
    ReleaseAllEpisodes();
    return 0;
}
