#include "gfx/Renderer.h"

#include "core/Config.h"
#include "core/FileLayer.h"
#include "core/Log.h"
#include "gfx/Animation.h"
#include "gfx/Graphics.h"
#include "gfx/RendererCore.h"
#include "gfx/RendererInternal.h"
#include "gfx/SurfaceRegistry.h"
#include "picture/Bitmap.h"
#include "platform/Clock.h"
#include "scene/Level.h"
#include "scene/Library.h"
#include "scene/Variables.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Renderer {

uint8_t bMmxEnable = 1;
uint8_t bRenderInvisible = 0;
uint8_t bRenderLightSources = 0;
uint8_t bRenderObstaclesMap = 0;
uint8_t bLogRenderTime = 0;
uint8_t bRenderSoftwareLightMap = 0;
uint8_t bRenderPoly = 0;
uint32_t mainLightCellSize = 4;
uint32_t backLightCellSize = 2;

namespace {

// The process-wide renderer's state. Held through a pointer that is never freed, so that objects
// destroyed at exit (animation sheets) can still reach the registry.
struct State {
    uint32_t screenWidth = 0;
    uint32_t screenHeight = 0;
    RenderLayer layers[4];
    Bitmap canvas;
    Bitmap textBitmap;
    SurfaceRegistry surfaces;
    RenderCore::ClipRect clip;
    uint32_t lightCellSize = 4;
    RenderCore::LightBuffer lightBuffer;
    Hooks hooks;
};

State& S() {
    static State* state = new State;
    return *state;
}

class RendererVariables : public VariableHolder {
  public:
    void GetVariableList(std::vector<VariableInfo>& list) const override {
        for (const char* name :
             {"bMmxEnable", "bRenderInvisible", "bRenderLightSources", "bRenderObstaclesMap",
              "bLogRenderTime", "bRenderSoftwareLightMap", "bRenderPoly"})
            list.push_back({name, VAR_BOOL, {}});
    }
    bool Variable(std::string name, std::string& value, bool set) override {
        struct Switch {
            const char* name;
            uint8_t* field;
        };
        const Switch switches[] = {{"bMmxEnable", &bMmxEnable},
                                   {"bRenderInvisible", &bRenderInvisible},
                                   {"bRenderLightSources", &bRenderLightSources},
                                   {"bRenderObstaclesMap", &bRenderObstaclesMap},
                                   {"bLogRenderTime", &bLogRenderTime},
                                   {"bRenderSoftwareLightMap", &bRenderSoftwareLightMap},
                                   {"bRenderPoly", &bRenderPoly}};
        for (const Switch& s : switches) {
            if (name == s.name) {
                VarBool(*s.field, value, set);
                return true;
            }
        }
        if (VariableHolder::Variable(name, value, set)) return true;
        LogVariableNotFound(name, "Renderer");
        return false;
    }
};

RenderCore::PixelView View(Bitmap& b) {
    return {b.Pixels(), b.Width(), b.Height()};
}
RenderCore::ConstPixelView View(const Bitmap& b) {
    return {b.Pixels(), b.Width(), b.Height()};
}

// Float pixel co-ordinate to an int that stays far from overflow.
int32_t Trunc(float v) {
    if (!(v > -1e8f)) return -100000000;
    if (!(v < 1e8f)) return 100000000;
    return int32_t(v);
}

// Whether a rectangle (left, top, width, height) meets the clip rectangle.
bool MeetsClip(float left, float top, float width, float height) {
    const RenderCore::ClipRect& c = S().clip;
    return left < float(c.right) && left + width > float(c.left) && top < float(c.bottom) &&
           top + height > float(c.top);
}

void ComposeBitmap(const Bitmap* picture, int32_t x, int32_t y, int32_t opacity, bool flipX, bool flipY) {
    if (!picture || picture->Bits() != 32 || picture->Empty()) return;
    RenderCore::ComposePicture(View(S().canvas), S().clip, View(*picture), x, y, opacity, flipX, flipY);
}

uint32_t SceneDimension(float v) {
    if (!(v >= 1.0f)) return 0;
    if (v > float(Bitmap::kMaxSide)) return Bitmap::kMaxSide;
    return uint32_t(v);
}

} // namespace

// ---- Light buffer and composition ---------------------------------------------------------------

void CollectShadowEdges(const Level& scene, std::vector<RenderCore::ShadowEdge>& edges) {
    edges.clear();
    for (const Polygon* poly : scene.polygons) {
        if (!poly->bActive || !poly->bCastShadow || poly->vertices.empty()) continue;
        std::vector<Vec2> points;
        for (const PolygonVertex* v : poly->vertices)
            points.push_back(v->GetWorldPosition());
        if (poly->bClosed) points.push_back(points.front());
        for (size_t i = 0; i + 1 < points.size(); ++i)
            edges.push_back(RenderCore::MakeEdge(points[i].x, points[i].y, points[i + 1].x, points[i + 1].y));
    }
}

void BuildStaticLightBuffer(const Level& scene) {
    State& s = S();
    const uint32_t c = std::max<uint32_t>(s.lightCellSize, 1);
    const uint32_t w = SceneDimension(scene.vSize.x) / c;
    const uint32_t h = SceneDimension(scene.vSize.y) / c;
    if (s.lightBuffer.Resize(w, h))
        LogMsg("Static light buffer size %d * %d = %dKb\n", int(w), int(h), int(uint64_t(w) * h * 6 / 1024));

    std::vector<RenderCore::ShadowEdge> edges;
    CollectShadowEdges(scene, edges);
    std::vector<RenderCore::LightSource> lights;
    for (const Light* light : scene.lights) {
        if (!light->bActive) continue;
        const Vec2 p = light->GetWorldPosition();
        lights.push_back({p.x, p.y, light->nRadius, light->cColor, light->bCastShadow != 0});
    }
    RenderCore::BuildLightBuffer(s.lightBuffer, c, scene.cAmbient, lights, edges);
}

const RenderCore::LightBuffer& StaticLightBuffer() {
    return S().lightBuffer;
}
Bitmap& SceneCanvas() {
    return S().canvas;
}
RenderLayer& Layer(int slot) {
    return S().layers[slot];
}
void SetLightCellSize(uint32_t size) {
    S().lightCellSize = size;
}

void ComposeScene(const Level& scene) {
    State& s = S();
    const uint32_t w = SceneDimension(scene.vSize.x);
    const uint32_t h = SceneDimension(scene.vSize.y);
    if (w == 0 || h == 0) {
        s.canvas.Free();
        return;
    }
    if (s.canvas.Width() != w || s.canvas.Height() != h || s.canvas.Bits() != 32) {
        if (!s.canvas.Create(w, h, 32)) return;
    }
    s.clip = {0, 0, int32_t(w), int32_t(h)};
    const uint32_t start = Platform::TimeMs();

    // Background: tiled, or transparent black so that a parallax scene's back layer shows through.
    const Bitmap* background = nullptr;
    if (!scene.background.empty() && !scene.bUseParallax)
        background = Library::GetPicture("Background", scene.background);
    if (background && background->Bits() == 32 && background->Width() > 0 && background->Height() > 0) {
        for (uint32_t y = 0; y < h; y += background->Height())
            for (uint32_t x = 0; x < w; x += background->Width())
                ComposeBitmap(background, int32_t(x), int32_t(y), 100, false, false);
    } else {
        s.canvas.Clear();
    }

    int drawn = 0;
    for (const Element* e : scene.elements) {
        const Vec2 pos = e->GetWorldPosition();
        const float left = pos.x - e->pivot.x;
        const float top = pos.y - e->pivot.y;
        if (!MeetsClip(left, top, e->vSize.x, e->vSize.y)) continue;
        int32_t opacity = e->nOpaque;
        if (!e->bVisible) {
            if (!bRenderInvisible) continue;
            opacity /= 2;
        }
        const Bitmap* picture = Library::GetPictureByType(e->sType);
        if (!picture) continue;
        ComposeBitmap(picture, Trunc(left), Trunc(top), opacity, e->bFlipX != 0, e->bFlipY != 0);
        ++drawn;
    }

    if (bRenderSoftwareLightMap)
        RenderCore::ApplyLightBuffer(View(s.canvas), s.clip, s.lightBuffer,
                                     std::max<uint32_t>(s.lightCellSize, 1));

    if (bRenderLightSources) {
        for (const Light* light : scene.lights) {
            const Vec2 pos = light->GetWorldPosition();
            const float left = pos.x - light->pivot.x;
            const float top = pos.y - light->pivot.y;
            if (!MeetsClip(left, top, light->vSize.x, light->vSize.y)) continue;
            ComposeBitmap(Library::GetPictureByType(light->sType), Trunc(left), Trunc(top), 100, false,
                          false);
        }
    }

    if (bRenderPoly) {
        for (const Polygon* poly : scene.polygons) {
            if (poly->vertices.empty()) continue;
            std::vector<Vec2> points;
            for (const PolygonVertex* v : poly->vertices)
                points.push_back(v->GetWorldPosition());
            if (poly->bClosed) points.push_back(points.front());
            const uint32_t c = poly->cColor;
            const uint32_t pixel = 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
            for (size_t i = 0; i + 1 < points.size(); ++i) {
                const int32_t x0 = Trunc(points[i].x), y0 = Trunc(points[i].y);
                RenderCore::DrawLine(View(s.canvas), x0, y0, Trunc(points[i + 1].x), Trunc(points[i + 1].y),
                                     pixel);
                RenderCore::DrawLine(View(s.canvas), x0 - 3, y0, x0 + 3, y0, pixel);
                RenderCore::DrawLine(View(s.canvas), x0, y0 - 3, x0, y0 + 3, pixel);
            }
        }
    }

    if (bLogRenderTime)
        LogMsg("Render time: %f sec (%d objects)\n", double(Platform::TimeMs() - start) * 0.001, drawn);
}

// ---- Layers -------------------------------------------------------------------------------------

void BuildLayer(int slot, const char* name, Level* scene, bool isMain) {
    State& s = S();
    RenderLayer& layer = s.layers[slot];
    layer.active = false;

    // Screen-sized surfaces of the same names are kept: the upload below rewrites them.
    for (int k = 1; k <= 2; ++k) {
        char surfaceName[96];
        std::snprintf(surfaceName, sizeof surfaceName, "%s #%d", name, k);
        uint32_t w = 0, h = 0;
        if (layer.names[k - 1] == surfaceName && layer.surfaces.Find(surfaceName, &w, &h) &&
            w == s.screenWidth && h == s.screenHeight)
            continue;
        if (k == 1) layer.surfaces.ReleaseAll();
        layer.names[k - 1] = surfaceName;
        if (!layer.surfaces.Create(surfaceName, s.screenWidth, s.screenHeight)) {
            LogMsg("Can't create layer surface\n");
            layer.surfaces.ReleaseAll();
            layer.picture.Free();
            return;
        }
    }
    // A damaged scene file may declare any size: composition and lighting cost grows with the
    // area, so a scene far beyond any screen is refused instead of stalling every switch.
    if (scene->vSize.x > float(kMaxSceneSide) || scene->vSize.y > float(kMaxSceneSide)) {
        LogMsg("Scene '%s' is too large to draw (%.0f x %.0f, at most %u x %u)\n", scene->sName.c_str(),
               double(scene->vSize.x), double(scene->vSize.y), kMaxSceneSide, kMaxSceneSide);
        layer.picture.Free();
        return;
    }
    layer.active = true;
    layer.dirty = true;
    layer.scene = scene;
    layer.isMain = isMain;

    // The light buffer is only ever seen through the software light map.
    if (bRenderSoftwareLightMap) BuildStaticLightBuffer(*scene);
    ComposeScene(*scene);
    if (s.canvas.Empty()) {
        layer.picture.Free();
        return;
    }

    // The picture's memory is kept from one build to the next when the size stays: every pixel
    // is written again below.
    const uint32_t bits = Graphics::Is32Bit() ? 32 : 16;
    if (layer.picture.Width() != s.canvas.Width() || layer.picture.Height() != s.canvas.Height() ||
        layer.picture.Bits() != bits) {
        if (!layer.picture.Create(s.canvas.Width(), s.canvas.Height(), bits)) return;
    }
    layer.picture.SetKeyColor(Bitmap::kDefaultKey); // a 16-bit conversion replaces it
    layer.hasKeyPixels = layer.picture.ConvertFrom(s.canvas, 128) > 0;
    LogMsg("Layer memory size:  %dK\n",
           int(uint64_t(layer.picture.Width()) * layer.picture.Height() * bits / 8192));
}

void OnSceneChanged(Level* scene) {
    if (!scene) return;
    State& s = S();
    const uint32_t start = Platform::TimeMs();
    for (RenderLayer& layer : s.layers)
        layer.dirty = true;

    if (scene->bUseParallax) {
        Episode* episode = GetCurrentEpisode();
        Level* back = episode ? episode->FindScene(scene->sParallaxName) : nullptr;
        if (back) {
            s.lightCellSize = backLightCellSize;
            BuildLayer(1, "Back layer", back, false);
        }
    }
    s.lightCellSize = mainLightCellSize;
    BuildLayer(0, "Main layer", scene, true);

    LogMsg("OnSceneChanged time %f\n", double(Platform::TimeMs() - start) * 0.001);
    Graphics::ReportVideoMemory();
}

namespace {

void DrawLayer(RenderLayer& layer, SDL_Surface* backBuffer) {
    if (!layer.active || layer.picture.Empty()) return;
    Surface* surface = layer.surfaces.Find(layer.names[0].c_str());
    if (!surface) return;
    if (layer.dirty) {
        const Graphics::Rect window{0, 0, int32_t(std::min<uint32_t>(S().screenWidth, layer.picture.Width())),
                                    int32_t(std::min<uint32_t>(S().screenHeight, layer.picture.Height()))};
        Graphics::Upload(layer.picture, window, surface, 0, 0, false);
        layer.dirty = false;
    }
    const bool keyed = layer.isMain && layer.hasKeyPixels;
    if (keyed)
        Graphics::SetColorKey(surface, layer.picture.KeyColor());
    else
        Graphics::ClearColorKey(surface);
    Graphics::Blit(backBuffer, 0, 0, surface, nullptr, keyed);
}

} // namespace

void DrawScene(SDL_Surface* backBuffer) {
    if (!backBuffer) return;
    State& s = S();
    const Level* active = GetActiveScene();
    if (active && active->bUseParallax) DrawLayer(s.layers[1], backBuffer);
    DrawLayer(s.layers[0], backBuffer);
}

void SortItems(std::vector<Item*>& items) {
    std::stable_sort(items.begin(), items.end(),
                     [](const Item* a, const Item* b) { return a->nSort < b->nSort; });
}

void DrawItems(SDL_Surface* backBuffer) {
    State& s = S();
    if (!backBuffer) return;
    if (s.hooks.keyDown(0x14)) return;
    Level* scene = GetActiveScene();
    if (!scene) return;

    std::vector<Item*> items = scene->items;
    SortItems(items);
    for (Item* item : items) {
        if (!bRenderInvisible && (!item->bActive || !item->bVisible)) continue;
        if (const GCD_ITEM* desc = Library::GetItemDescriptionByType(item->sType))
            Animation::Play(desc->sAnimation.c_str(), desc->sActionOnIdle.c_str(), item->animation);
        item->pivot.x = item->animation.pivotX;
        item->pivot.y = item->animation.pivotY;
        const Vec2 pos = item->GetWorldPosition();
        SDL_Surface* surface = nullptr;
        FrameRect rect;
        Animation::GetFrame(item->animation, surface, rect);
        if (!surface) continue;
        const Graphics::Rect src{rect.left, rect.top, rect.right, rect.bottom};
        Graphics::Blit(backBuffer, Trunc(pos.x - item->pivot.x), Trunc(pos.y - item->pivot.y), surface, &src,
                       true);
    }
}

// ---- Pictures, cursor, surfaces -----------------------------------------------------------------

SDL_Surface* GetPicture(const char* name) {
    if (!name) return nullptr;
    State& s = S();
    if (Surface* found = s.surfaces.Find(name)) return found;

    Bitmap* frame = nullptr;
    uint32_t count = 0;
    if (!Library::GetGifFrame(name, 0, frame, count) || !frame || frame->Bits() != 32 || frame->Empty() ||
        count == 0)
        return nullptr;
    const uint32_t fw = frame->Width();
    const uint32_t fh = frame->Height();
    const uint32_t key = frame->Pixel32(0, 0) & 0x00FFFFFF;
    // A frame wider than the layout cannot be laid out in rows of 800 pixels.
    const uint32_t perRow = 800 / fw;
    if (perRow == 0) return nullptr;
    const uint32_t rows = (count + perRow - 1) / perRow;
    Surface* surface = s.surfaces.Create(name, fw * std::min(perRow, count), fh * rows);
    if (!surface) return nullptr;

    Bitmap work;
    if (!work.Create(fw, fh, 32)) return surface;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t n = 0;
        if (!Library::GetGifFrame(name, i, frame, n) || !frame || frame->Bits() != 32) continue;
        for (uint32_t y = 0; y < fh; ++y) {
            for (uint32_t x = 0; x < fw; ++x) {
                uint32_t p = (x < frame->Width() && y < frame->Height()) ? frame->Pixel32(x, y) : key;
                p &= 0x00FFFFFF;
                work.SetPixel32(x, y, p == key ? p : (p | 0xFF000000u));
            }
        }
        const Graphics::Rect all{0, 0, int32_t(fw), int32_t(fh)};
        Graphics::Upload(work, all, surface, int32_t((i % perRow) * fw), int32_t((i / perRow) * fh), true);
    }
    return surface;
}

void DrawCursor(SDL_Surface* backBuffer) {
    State& s = S();
    if (!backBuffer || !Graphics::Fullscreen()) return;
    int32_t x = 0, y = 0;
    if (!s.hooks.cursorPosition(x, y)) return;
    if (Surface* cursor = GetPicture("kursor")) Graphics::Blit(backBuffer, x, y, cursor, nullptr, true);
}

void ReleaseSurfaces() {
    State& s = S();
    s.lightBuffer = RenderCore::LightBuffer();
    s.surfaces.ReleaseAll();
    for (RenderLayer& layer : s.layers) {
        layer.surfaces.ReleaseAll();
        layer.picture.Free();
        layer.active = false;
        layer.scene = nullptr;
    }
}

SurfaceRegistry& Surfaces() {
    return S().surfaces;
}

SDL_Surface* CreateSurface(const char* name, uint32_t width, uint32_t height) {
    return S().surfaces.Create(name, width, height);
}

Bitmap& TextBitmap() {
    return S().textBitmap;
}
uint32_t ScreenWidth() {
    return S().screenWidth;
}
uint32_t ScreenHeight() {
    return S().screenHeight;
}

VariableHolder& Variables() {
    static RendererVariables* holder = new RendererVariables;
    return *holder;
}

void SetHooks(const Hooks& hooks) {
    S().hooks = hooks;
}

void ConnectScene() {
    SceneHooks scene;
    scene.sceneChanged = &OnSceneChanged;
    SetSceneHooks(scene);
    Library::Hooks library;
    library.frameImage = &Animation::GetFrameImage;
    Library::SetHooks(library);
}

bool Init(uint32_t screenWidth, uint32_t screenHeight, ConfigDoc& settings) {
    (void)settings; // nothing in the program reads the switches from the settings store
    State& s = S();
    s.screenWidth = screenWidth;
    s.screenHeight = screenHeight;

    if (!FileLayer::Exists(kDefaultFontPath)) {
        LogMsg("Default font file '%s' not found\n", kDefaultFontPath);
        return false;
    }
    if (!s.hooks.loadDefaultFont(kDefaultFontPath, kDefaultFontSize)) {
        LogMsg("Default font file '%s' not found\n", kDefaultFontPath);
        return false;
    }
    if (!s.textBitmap.Create(128, 64, 32)) return false;

    if (!s.surfaces.Create("Layer1 #1", screenWidth, screenHeight)) return false;
    Surface* cell = s.surfaces.Create("ObstacleCell", 8, 8);
    if (!cell) return false;
    Graphics::Locked locked;
    if (Graphics::Lock(cell, locked)) {
        for (int y = 0; y < 8; ++y)
            std::memset(locked.pixels + size_t(y) * size_t(locked.pitch), 0xFF,
                        size_t(cell->w) * cell->format->BytesPerPixel);
        Graphics::Unlock(cell);
    }

    bMmxEnable = 1;
    mainLightCellSize = 4;
    backLightCellSize = 2;
    bRenderObstaclesMap = 0;
    return true;
}

} // namespace Renderer
