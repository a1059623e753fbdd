#pragma once
#include "core/FileLayer.h"
#include "core/Log.h"
#include "gfx/Graphics.h"
#include "gfx/SurfaceRegistry.h"
#include "ui/Font.h"
#include "ui/TextCache.h"

#include "UiTestSupport.h"
#include "support/TempDir.h"

#include <SDL.h>
#include <cstring>
#include <gtest/gtest.h>

// A headless 800 x 600 display, the test font as main and menu font, and a registry of our own
// for the text cache.
class UiFixture : public ::testing::Test {
  protected:
    static constexpr uint32_t kBackground = 0xFF405060;

    void SetUp() override {
        FileLayer::UnmountAll();
        Log::Reset();
        Log::Start(dir.path() + "/");
        ASSERT_TRUE(Graphics::Init(800, 600, 32, false, nullptr));
        dir.Write("Data/Library/Font/test.ttf", UiTest::TestFontBytes());
        ASSERT_TRUE(g_MainFont.Load("Data\\Library\\Font\\test.ttf"));
        ASSERT_TRUE(g_MenuFont.Load("Data\\Library\\Font\\test.ttf"));
        Text::SetCacheRegistry(&registry);
        Text::SetVolatile(false);
        Text::Hooks hooks;
        hooks.activeSceneName = [this] { return scene; };
        Text::SetHooks(hooks);
        scene = "Level_00_00";
        screen = Graphics::CreateSurface(800, 600);
        ASSERT_NE(screen, nullptr);
        Fill(screen, kBackground);
    }
    void TearDown() override {
        Text::SetCacheRegistry(nullptr);
        Text::SetHooks({});
        Text::SetVolatile(false);
        registry.ReleaseAll();
        Graphics::ReleaseSurface(screen);
        Graphics::Shutdown();
        Log::Reset();
    }

  public:
    static void Fill(Surface* s, uint32_t colour) { SDL_FillRect(s, nullptr, colour); }
    static uint32_t Pixel(Surface* s, int32_t x, int32_t y) {
        uint32_t v;
        std::memcpy(&v, static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * 4, 4);
        return v;
    }

  protected:
    const char* scene = "";
    TempDir dir;
    SurfaceRegistry registry;
    Surface* screen = nullptr;
};
