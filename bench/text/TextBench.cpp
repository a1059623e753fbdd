// Score text per frame: drawn directly (rasterised every frame) against the text cache (rasterised
// once, then blitted), and the cache with the volatile switch when the score changes every frame.
// Headless 800 x 600 display; run with SDL_VIDEODRIVER=dummy.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/Log.h"
#include "gfx/Graphics.h"
#include "gfx/SurfaceRegistry.h"
#include "ui/Font.h"
#include "ui/TextCache.h"

namespace {

template <typename F> double MicrosPerFrame(int frames, F&& frame) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i)
        frame(i);
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / frames;
}

} // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 2000;
    const std::string fontPath = argc > 2 ? argv[2] : PARLORIX_TEST_FONT;

    // The file layer reads relative names: give the font one in a scratch folder.
    const std::filesystem::path work = std::filesystem::temp_directory_path() / "parlorix-bench-text";
    std::filesystem::create_directories(work / "Data/Library/Font");
    std::filesystem::copy_file(fontPath, work / "Data/Library/Font/bench.ttf",
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::current_path(work);
    Log::SetEnabled(false);

    if (!Graphics::Init(800, 600, 32, false, nullptr)) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    Font font;
    if (!font.Load("Data\\Library\\Font\\bench.ttf")) {
        std::fprintf(stderr, "font %s did not load\n", fontPath.c_str());
        return 1;
    }
    SurfaceRegistry registry;
    Text::SetCacheRegistry(&registry);
    Text::Hooks hooks;
    hooks.activeSceneName = [] { return "Level_01_00"; };
    Text::SetHooks(hooks);
    Surface* back = Graphics::GetBackBuffer();

    // The game screen's score: menu font, size 30, centred at (690, 250), white.
    const std::u16string steady = Text::Format("%d", 125430);
    const double direct = MicrosPerFrame(frames, [&](int) {
        Text::DrawTextDirect(back, font, 30, Text::kCentre, 690, 250, 0xFFFFFFFF, steady.c_str());
    });
    const double cached = MicrosPerFrame(frames, [&](int) {
        Text::DrawText(back, font, 30, Text::kCentre, 690, 250, 0xFFFFFFFF, steady.c_str());
    });
    Text::SetVolatile(true);
    const double changing = MicrosPerFrame(frames, [&](int i) {
        const std::u16string score = Text::Format("%d", 125430 + i * 10);
        Text::DrawText(back, font, 30, Text::kCentre, 690, 250, 0xFFFFFFFF, score.c_str());
    });
    Text::SetVolatile(false);

    std::printf("score text, %d frames, size 30\n", frames);
    std::printf("  direct (rasterised every frame)      %8.2f us/frame\n", direct);
    std::printf("  cached, same score                   %8.2f us/frame  (%.1fx faster)\n", cached,
                direct / cached);
    std::printf("  cached, volatile, new score a frame  %8.2f us/frame\n", changing);
    std::printf("  surfaces left in the registry        %8zu\n", registry.Count());

    Text::SetCacheRegistry(nullptr);
    registry.ReleaseAll();
    Graphics::Shutdown();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(work);
    return 0;
}
