// Cost of the renderer's per-frame work and of a scene switch, each next to a memcpy of the same
// number of pixels as a yardstick. Run headless: SDL_VIDEODRIVER=dummy ./bench_render
#include "RenderFixture.h"

#include "platform/Clock.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace RenderFixture;
using Clock = std::chrono::steady_clock;

namespace {

uint32_t g_now = 1000;
uint32_t FakeClock() {
    return g_now;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Average time of one memcpy of `pixels` 32-bit pixels.
double MemcpyMs(size_t pixels, int repeats) {
    std::vector<uint32_t> src(pixels, 0x12345678), dst(pixels);
    volatile uint32_t sink = 0;
    const auto start = Clock::now();
    for (int i = 0; i < repeats; ++i) {
        src[size_t(i) % pixels] = uint32_t(i);
        std::memcpy(dst.data(), src.data(), pixels * 4);
        sink = sink + dst[size_t(i * 7) % pixels];
    }
    return Ms(Clock::now() - start) / repeats;
}

void Report(const char* what, double ms, size_t pixels, double yardstick) {
    std::printf("%-58s %9.3f ms   memcpy of %zu pixels: %7.3f ms   ratio %6.1f\n", what, ms, pixels,
                yardstick, ms / yardstick);
    std::fflush(stdout);
}

} // namespace

int main() {
    Platform::SetTimeSource(&FakeClock);
    World world;
    world.AddGif("brick", 53, 53, 10);
    std::string ani = "[Animation]\nname = Brick\n[Action1]\nname = Stay\npivotX = 26\npivotY = 52\n"
                      "gif1name = brick\ngif1size = 53,53,10\n";
    for (int f = 0; f < 10; ++f)
        ani += "srcstr " + std::to_string(f) + " = frame(" + std::to_string(f) + ");\n";
    ani += "srcstr 10 = goto(0);\n";
    world.WriteAni("brick.ani", ani);
    world.AddItem("brick", "Brick", "Stay");
    world.AddElement("board", Solid(800, 600, 0xFF406080));
    for (int i = 0; i < 4; ++i) {
        Bitmap piece = Solid(120, 90, 0xFF000000u | uint32_t(0x203040 * (i + 1)));
        for (uint32_t y = 0; y < 90; y += 3) // some transparent rows, as real pictures have
            for (uint32_t x = 0; x < 120; ++x)
                piece.SetPixel32(x, y, 0x10000000);
        world.AddElement("piece" + std::to_string(i), piece);
    }
    if (!world.Start()) {
        std::fprintf(stderr, "could not set up the world:\n%s", world.LogText().c_str());
        return 1;
    }
    Log::SetEnabled(false);

    Level* scene = GetActiveScene();
    // 20 elements: the board and 19 pieces; 4 lights that cast shadows from 3 closed polygons.
    scene->CreateObject("Element", "board", {0, 0});
    for (int i = 0; i < 19; ++i)
        scene->CreateObject("Element", "piece" + std::to_string(i % 4),
                            {float(37 * i % 700), float(53 * i % 520)});
    for (int i = 0; i < 4; ++i) {
        auto* light =
            static_cast<Light*>(scene->CreateObject("Light", "", {150.0f + 170 * i, 150.0f + 90 * i}));
        light->nRadius = 220;
        light->cColor = 0xC0E0FF;
        light->bCastShadow = 1;
    }
    for (int p = 0; p < 3; ++p) {
        auto* poly = static_cast<Polygon*>(scene->CreateObject("Polygon", "", {200.0f + 200 * p, 300}));
        poly->bCastShadow = 1;
        poly->AddVertex({0, 0}, false);
        poly->AddVertex({60, 0}, false);
        poly->AddVertex({60, 40}, false);
        poly->AddVertex({0, 40}, false);
    }
    // 100 animated items on a 10 x 10 grid, each started at another moment.
    for (int i = 0; i < 100; ++i) {
        auto* item = static_cast<Item*>(
            scene->CreateObject("Item", "brick", {float(120 + 55 * (i % 10)), float(80 + 52 * (i / 10))}));
        item->nSort = uint32_t(i % 7);
        g_now += 3;
        Animation::Play("Brick", "Stay", item->animation);
    }
    Renderer::bRenderSoftwareLightMap = 1;

    std::printf("renderer benchmark (800 x 600 x 32 back buffer, headless)\n");

    // Scene switch: composition, lighting with shadows and smoothing, conversion.
    const int switches = 20;
    SwitchScene("Board", "Level_00_00"); // warm-up: decodes and allocates once
    auto start = Clock::now();
    for (int i = 0; i < switches; ++i)
        Renderer::OnSceneChanged(scene);
    const double switchMs = Ms(Clock::now() - start) / switches;
    const size_t scenePixels = 800 * 600;
    Report("OnSceneChanged (20 elements, 4 shadowed lights, 3 polygons)", switchMs, scenePixels,
           MemcpyMs(scenePixels, 200));

    // One frame: both passes, the clock moving 16 ms per frame so that the items animate.
    SDL_Surface* back = Graphics::GetBackBuffer();
    Renderer::DrawScene(back);
    Renderer::DrawItems(back);
    const int frames = 500;
    start = Clock::now();
    for (int i = 0; i < frames; ++i) {
        g_now += 16;
        Renderer::DrawScene(back);
        Renderer::DrawItems(back);
    }
    const double frameMs = Ms(Clock::now() - start) / frames;
    const size_t framePixels = 800 * 600 + 100 * 53 * 53;
    Report("frame: DrawScene + DrawItems (100 animated 53 x 53 items)", frameMs, framePixels,
           MemcpyMs(framePixels, 500));

    start = Clock::now();
    for (int i = 0; i < frames; ++i)
        Renderer::DrawScene(back);
    Report("  of which DrawScene (one 800 x 600 keyed blit)", Ms(Clock::now() - start) / frames, scenePixels,
           MemcpyMs(scenePixels, 500));
    start = Clock::now();
    for (int i = 0; i < frames; ++i) {
        g_now += 16;
        Renderer::DrawItems(back);
    }
    Report("  of which DrawItems (sort, play, 100 keyed blits)", Ms(Clock::now() - start) / frames,
           size_t(100 * 53 * 53), MemcpyMs(100 * 53 * 53, 2000));

    Platform::SetTimeSource(nullptr);
    return 0;
}
