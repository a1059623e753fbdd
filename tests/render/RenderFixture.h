#pragma once
// A small game world on disk for the renderer and animation tests (and the render benchmark): a
// working folder with the five library groups, animated GIFs written with giflib, .ani and .item
// files, a one-scene episode file, a headless 800 x 600 display and an initialised renderer.

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
#include "support/TempDir.h"

#include <SDL.h>
#include <gif_lib.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace RenderFixture {

// Element pictures by name, written as TGA files when the world starts.
inline std::map<std::string, Bitmap>& Pictures() {
    static std::map<std::string, Bitmap> pictures;
    return pictures;
}

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

// Frame f of a test GIF: index 0 on the outer border (the colour key), 1 + f inside.
inline uint8_t GifIndex(uint32_t f, uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
    if (x == 0 || y == 0 || x + 1 == w || y + 1 == h) return 0;
    return uint8_t(1 + f);
}

inline bool WriteGif(const std::string& path, uint32_t w, uint32_t h, uint32_t frames) {
    int err = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &err);
    if (!gif) return false;
    GifColorType colors[256];
    for (uint32_t i = 0; i < 256; ++i) {
        const uint32_t rgb = PaletteRgb(i);
        colors[i] = {GifByteType(rgb >> 16), GifByteType(rgb >> 8), GifByteType(rgb)};
    }
    ColorMapObject* map = GifMakeMapObject(256, colors);
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, int(w), int(h), 8, 0, map) == GIF_OK;
    std::vector<GifByteType> row(w);
    for (uint32_t f = 0; ok && f < frames; ++f) {
        ok = EGifPutImageDesc(gif, 0, 0, int(w), int(h), false, nullptr) == GIF_OK;
        for (uint32_t y = 0; ok && y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x)
                row[x] = GifIndex(f, x, y, w, h);
            ok = EGifPutLine(gif, row.data(), int(w)) == GIF_OK;
        }
    }
    EGifCloseFile(gif, &err);
    GifFreeMapObject(map);
    return ok;
}

struct GifDesc {
    std::string name;
    uint32_t width, height, frames;
};
struct TemplateDesc {
    std::string name; // template and data name
    uint32_t width, height;
};

// Little-endian helpers for the episode file.
inline void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + i] = char((v >> (8 * i)) & 0xFF);
}
inline void PutF(std::string& s, size_t at, float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    Put32(s, at, u);
}
inline void PutText(std::string& s, size_t at, const std::string& text) {
    std::memcpy(&s[at], text.data(), text.size());
}

struct SceneDesc {
    uint32_t column = 0, row = 0;
    std::string name;
    uint32_t ambient = 0x808080;
    float width = 800, height = 600;
    bool parallax = false;
    std::string parallaxName;
    std::string background;
};

inline SceneDesc MakeScene(uint32_t column, uint32_t row, const std::string& name) {
    SceneDesc s;
    s.column = column;
    s.row = row;
    s.name = name;
    return s;
}

// An episode file of empty scenes (objects are added through Level::CreateObject).
inline std::string EpisodeFile(uint32_t gridW, uint32_t gridH, const std::vector<SceneDesc>& scenes) {
    using namespace SceneRecord;
    std::string file(kFileHeaderSize, '\0');
    Put32(file, 0, kMagic);
    Put32(file, kGridWidth, gridW);
    Put32(file, kGridHeight, gridH);
    for (const SceneDesc& sc : scenes) {
        std::string r(512, '\0');
        Put32(r, kHeaderLength, kWrittenHeader);
        Put32(r, kRecordLength, 512);
        PutF(r, kColumn, float(sc.column));
        PutF(r, kRow, float(sc.row));
        PutText(r, kBackground, sc.background);
        Put32(r, kAmbient, sc.ambient);
        PutText(r, kName, sc.name);
        PutF(r, kSizeX, sc.width);
        PutF(r, kSizeY, sc.height);
        r[kUseParallax] = sc.parallax ? 1 : 0;
        PutText(r, kParallaxName, sc.parallaxName);
        file += r;
    }
    return file;
}

inline std::string LibraryIni(const std::vector<std::pair<std::string, std::string>>& data,
                              const std::vector<TemplateDesc>& templates) {
    std::string s = "[data]\nsize = " + std::to_string(data.size()) + "\n";
    for (size_t i = 0; i < data.size(); ++i)
        s += "data" + std::to_string(i + 1) + " = " + data[i].first + "," + data[i].second + "\n";
    s += "\n[groups]\nsize = 1\nname1 = Default\nvariables1 = \nvalues1 = \n\n[objects]\nsize = " +
         std::to_string(templates.size()) + "\n";
    for (size_t i = 0; i < templates.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        s += "name" + n + " = " + templates[i].name + "\ngroup" + n + " = Default\ndata" + n + " = " +
             templates[i].name + "\nvariables" + n + " = \nvalues" + n + " = \n\n";
    }
    return s;
}

// The world: call the Write* functions, then Start(). The renderer's keys, cursor and font
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
    std::string LogText() const {
        std::ifstream in(Log::Path(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    ~World() {
        Stop();
        Renderer::SetHooks({});
        SetSceneHooks({});
        Library::SetHooks({});
    }

    TempDir dir;
    std::vector<GifDesc> gifs;
    std::vector<TemplateDesc> elements;
    std::vector<TemplateDesc> items; // item templates; their .item files name animation and action
    std::map<std::string, std::pair<std::string, std::string>> itemAnimations;
    std::vector<SceneDesc> scenes{MakeScene(0, 0, "Level_00_00")};
    uint32_t gridW = 1, gridH = 1;
    uint32_t depth = 32;
    bool writeEpisode = true; // false: the test put its own Data/Levels/Board.eed in place
    bool started = false;
    std::set<uint32_t> keysDown;
    int32_t cursorX = 0, cursorY = 0;
    std::string fontPath; // what the renderer loaded as its default font
    uint32_t fontSize = 0;

    void AddGif(const std::string& name, uint32_t w, uint32_t h, uint32_t frames) {
        gifs.push_back({name, w, h, frames});
    }
    void AddElement(const std::string& name, const Bitmap& picture) {
        Pictures()[name] = picture;
        elements.push_back({name, picture.Width(), picture.Height()});
    }
    void AddItem(const std::string& name, const std::string& animation, const std::string& action) {
        items.push_back({name, 53, 53});
        itemAnimations[name] = {animation, action};
    }
    void WriteAni(const std::string& fileName, const std::string& text) {
        dir.Write("Data/Library/Animation/" + fileName, text);
    }

    // Writes everything, opens the display and the renderer, loads library, animations and scenes.
    bool Start() {
        std::vector<std::pair<std::string, std::string>> gifData, elemData, itemData;
        dir.Write("Data/Library/AniGifs/.keep", "");
        for (const GifDesc& g : gifs) {
            if (!WriteGif(dir / ("Data/Library/AniGifs/" + g.name + ".gif"), g.width, g.height, g.frames))
                return false;
            gifData.push_back({g.name + ".gif", std::to_string(g.width) + "," + std::to_string(g.height)});
        }
        for (const TemplateDesc& e : elements) {
            dir.Write("Data/Library/Element/" + e.name + ".tga",
                      fx::Str(fx::Tga(fx::FromBitmap(Pictures()[e.name]), 32)));
            elemData.push_back({e.name + ".tga", std::to_string(e.width) + "," + std::to_string(e.height)});
        }
        for (const TemplateDesc& i : items) {
            itemData.push_back({i.name + ".item", "53,53"});
            const auto& [anim, action] = itemAnimations[i.name];
            dir.Write("Data/Library/Item/" + i.name + ".item", "[item]\nsAnimation    = " + anim +
                                                                   "\nsActionOnIdle = " + action +
                                                                   "\nsSndOnPickup  = \n");
        }
        dir.Write("Data/Library/Element/library.ini", LibraryIni(elemData, elements));
        dir.Write("Data/Library/Background/library.ini", LibraryIni({}, {}));
        dir.Write("Data/Library/Light/library.ini", LibraryIni({}, {}));
        dir.Write("Data/Library/AniGifs/library.ini", LibraryIni(gifData, {}));
        dir.Write("Data/Library/Item/library.ini", LibraryIni(itemData, items));
        dir.Write("Data/Library/Font/Tahoma.ttf", "not really a font");
        if (writeEpisode) dir.Write("Data/Levels/Board.eed", EpisodeFile(gridW, gridH, scenes));

        if (!Graphics::Init(800, 600, int32_t(depth), false, nullptr)) return false;
        started = true;
        if (!Renderer::Init(800, 600, g_Settings)) return false;
        if (!Library::Init(dir.path() + "/")) return false;
        if (!Animation::LoadAll()) return false;
        return LoadSceneFile("Data\\Levels\\Board.eed");
    }

    void Stop() {
        if (!started) return;
        started = false;
        ReleaseAllEpisodes();
        Animation::ReleaseAll();
        Renderer::ReleaseSurfaces();
        Library::Release(false);
        Graphics::Shutdown();
        Pictures().clear();
    }
};

// Pixel (x, y) of a 32-bit surface as 0xAARRGGBB.
inline uint32_t SurfacePixel(SDL_Surface* s, int x, int y) {
    uint32_t v;
    std::memcpy(&v, static_cast<uint8_t*>(s->pixels) + size_t(y) * s->pitch + size_t(x) * 4, 4);
    return v;
}

} // namespace RenderFixture
