#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "gfx/RendererCore.h"
#include "gfx/SurfaceRegistry.h"
#include "picture/Bitmap.h"

// The renderer's layer building, exposed to its tests and benchmarks.

class Level;
class Item;

namespace Renderer {

// One layer slot: slot 0 the main layer, slot 1 the back layer.
struct RenderLayer {
    bool active = false;  // the slot has been built (owned by the renderer)
    Bitmap picture;       // the composed scene in the display's depth
    std::string names[2]; // "<layer> #1", "<layer> #2"; the first is drawn
    Level* scene = nullptr;
    bool dirty = false;        // upload the picture at the next draw
    bool isMain = false;       // drawn with its colour key
    bool hasKeyPixels = false; // a main layer without any is copied without the key
    SurfaceRegistry surfaces;
};

RenderLayer& Layer(int slot);
Bitmap& SceneCanvas();
const RenderCore::LightBuffer& StaticLightBuffer();
void SetLightCellSize(uint32_t size);

void CollectShadowEdges(const Level& scene, std::vector<RenderCore::ShadowEdge>& edges);
void BuildStaticLightBuffer(const Level& scene);
void ComposeScene(const Level& scene);
void BuildLayer(int slot, const char* name, Level* scene, bool isMain);
// Stable by nSort: equal keys keep their list order.
void SortItems(std::vector<Item*>& items);

} // namespace Renderer
