#pragma once
// A small game world on disk for the renderer and animation tests (and the render benchmark): a
// working folder with the five library groups, animated GIFs, .ani and .item files, a one-scene
// episode file, a headless 800 x 600 display and an initialised renderer.

#include "core/Config.h"
#include "core/Log.h"
#include "gfx/Animation.h"
#include "gfx/Graphics.h"
#include "gfx/Renderer.h"
#include "gfx/SurfaceRegistry.h"
#include "picture/Bitmap.h"
#include "picture/Image.h"
#include "scene/Level.h"
#include "scene/Library.h"
#include "support/PictureFiles.h"
#include "support/SceneFiles.h"
#include "support/TempDir.h"

#include <SDL.h>

#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace RenderFixture {

// A 32-bit picture of one colour (0xAARRGGBB).
inline Bitmap Solid(uint32_t w, uint32_t h, uint32_t argb) {
    Bitmap b;
    if (!b.Create(w, h, 32)) return b; // empty: every comparison with it fails
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            b.SetPixel32(x, y, argb);
    return b;
}

// Palette colour of index i: distinct, never the magenta key. Index 0 is the GIF's background.
inline uint32_t PaletteRgb(uint32_t i) {
    if (i == 0) return 0x000000;
    return ((i * 37) & 0xFF) << 16 | ((i * 91) & 0xFF) << 8 | ((i * 53 + 1) & 0xFF);
}

// GIF file bytes whose frame f has index 0 on its outer border (the colour key) and 1 + f inside.
inline std::string GifFile(uint32_t w, uint32_t h, uint32_t frames) {
    std::vector<uint32_t> palette;
    for (uint32_t i = 0; i < 256; ++i)
        palette.push_back(PaletteRgb(i));
    std::vector<fx::GifFrame> list;
    for (uint32_t f = 0; f < frames; ++f) {
        list.push_back({0, 0, int(w), int(h), std::vector<uint8_t>(size_t(w) * h, uint8_t(1 + f))});
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                if (x == 0 || y == 0 || x + 1 == w || y + 1 == h) list.back().idx[y * w + x] = 0;
    }
    return fx::Str(fx::Gif(int(w), int(h), palette, 0, list));
}

// A scene of the episode file; a parallax name makes it use parallax.
struct SceneDesc {
    uint32_t column, row;
    std::string name;
    uint32_t ambient = 0x808080;
    std::string parallaxName = "";
};

// library.ini of one template group holding a template per data entry (none for groups without
// templates); data entries are (file, "width,height").
inline std::string LibraryIni(const std::vector<std::pair<std::string, std::string>>& data, bool templates) {
    std::string s = "[data]\nsize = " + std::to_string(data.size()) + "\n";
    for (size_t i = 0; i < data.size(); ++i)
        s += "data" + std::to_string(i + 1) + " = " + data[i].first + "," + data[i].second + "\n";
    s += "\n[groups]\nsize = 1\nname1 = Default\nvariables1 = \nvalues1 = \n\n[objects]\nsize = " +
         std::to_string(templates ? data.size() : 0) + "\n";
    for (size_t i = 0; templates && i < data.size(); ++i) {
        const std::string n = std::to_string(i + 1), name = data[i].first.substr(0, data[i].first.rfind('.'));
        s += "name" + n + " = " + name + "\ngroup" + n + " = Default\ndata" + n + " = " + name +
             "\nvariables" + n + " = \nvalues" + n + " = \n\n";
    }
    return s;
}

// The world: call the Add* and Write* functions, then Start(). The renderer's keys, cursor and font
// loader are the world's; scene switches and item pictures reach the renderer and the animations
// as in the program.
class World {
  public:
    World() {
        Log::Start(dir.path() + "/");
        Log::SetEnabled(true);
        Renderer::Hooks renderer;
        renderer.loadDefaultFont = [this](const char* path, uint32_t size) {
            fontPath = path;
            fontSize = size;
            return true;
        };
        renderer.keyDown = [this](uint32_t code) { return keysDown.count(code) > 0; };
        renderer.cursorPosition = [this](int32_t& x, int32_t& y) {
            x = cursorX;
            y = cursorY;
            return true;
        };
        Renderer::SetHooks(renderer);
        Renderer::ConnectScene();
    }
    std::string LogText() const { return fx::LogText(); }
    ~World() {
        Stop();
        Renderer::SetHooks({});
        SetSceneHooks({});
        Library::SetHooks({});
    }

    TempDir dir;
    std::vector<std::pair<std::string, std::string>> gifData, elementData, itemData;
    std::vector<SceneDesc> scenes{{0, 0, "Level_00_00", 0x808080, ""}};
    uint32_t gridW = 1, gridH = 1;
    uint32_t depth = 32;
    bool writeEpisode = true; // false: the test put its own Data/Levels/Board.eed in place
    bool started = false;
    std::set<uint32_t> keysDown;
    int32_t cursorX = 0, cursorY = 0;
    std::string fontPath; // what the renderer loaded as its default font
    uint32_t fontSize = 0;

    static std::string Size(uint32_t w, uint32_t h) { return std::to_string(w) + "," + std::to_string(h); }
    void AddGif(const std::string& name, uint32_t w, uint32_t h, uint32_t frames) {
        dir.Write("Data/Library/AniGifs/" + name + ".gif", GifFile(w, h, frames));
        gifData.push_back({name + ".gif", Size(w, h)});
    }
    void AddElement(const std::string& name, const Bitmap& picture) {
        dir.Write("Data/Library/Element/" + name + ".tga", fx::Str(fx::Tga(fx::FromBitmap(picture), 32)));
        elementData.push_back({name + ".tga", Size(picture.Width(), picture.Height())});
    }
    // An item template whose .item file names its animation and idle action.
    void AddItem(const std::string& name, const std::string& animation, const std::string& action) {
        itemData.push_back({name + ".item", "53,53"});
        dir.Write("Data/Library/Item/" + name + ".item", "[item]\nsAnimation    = " + animation +
                                                             "\nsActionOnIdle = " + action +
                                                             "\nsSndOnPickup  = \n");
    }
    void WriteAni(const std::string& fileName, const std::string& text) {
        dir.Write("Data/Library/Animation/" + fileName, text);
    }

    // Writes the libraries, opens the display and the renderer, loads library, animations and scenes.
    bool Start() {
        dir.Write("Data/Library/AniGifs/library.ini", LibraryIni(gifData, false));
        dir.Write("Data/Library/Element/library.ini", LibraryIni(elementData, true));
        dir.Write("Data/Library/Item/library.ini", LibraryIni(itemData, true));
        dir.Write("Data/Library/Background/library.ini", LibraryIni({}, false));
        dir.Write("Data/Library/Light/library.ini", LibraryIni({}, false));
        dir.Write("Data/Library/Font/Tahoma.ttf", "not really a font");
        SceneFileWriter episode(gridW, gridH); // empty scenes: objects come through Level::CreateObject
        for (const SceneDesc& sc : scenes)
            episode.AddScene(float(sc.column), float(sc.row), sc.name, "", {}, {}, sc.ambient,
                             sc.parallaxName);
        if (writeEpisode) dir.Write("Data/Levels/Board.eed", episode.Text());

        if (!Graphics::Init(800, 600, int32_t(depth), false, nullptr)) return false;
        started = true;
        return Renderer::Init(800, 600, g_Settings) && Library::Init(dir.path() + "/") &&
               Animation::LoadAll() && LoadSceneFile("Data\\Levels\\Board.eed");
    }

    void Stop() {
        if (!started) return;
        started = false;
        ReleaseAllEpisodes();
        Animation::ReleaseAll();
        Renderer::ReleaseSurfaces();
        Library::Release(false);
        Graphics::Shutdown();
    }
};

// Pixel (x, y) of a 32-bit surface as 0xAARRGGBB.
inline uint32_t SurfacePixel(SDL_Surface* s, int x, int y) {
    uint32_t v;
    std::memcpy(&v, static_cast<uint8_t*>(s->pixels) + size_t(y) * s->pitch + size_t(x) * 4, 4);
    return v;
}

} // namespace RenderFixture
