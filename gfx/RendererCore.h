#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The software side of the renderer: composition of pictures into the scene canvas, the static
// light buffer with its shadows and smoothing, and line drawing. Works on plain 32-bit pixel
// memory (blue, green, red, alpha bytes; rows without gaps) so it can be used and tested without a
// display.
namespace RenderCore {

struct ClipRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0; // exclusive
    int32_t bottom = 0;
};

struct PixelView {
    uint8_t* pixels = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
};

struct ConstPixelView {
    const uint8_t* pixels = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
};

// Composes `src` into `canvas` with its top-left at (x, y), opacity in percent and flips. A pixel's
// colour is written only when its scaled alpha exceeds 128; the destination alpha keeps the
// strongest coverage. Only pixels inside both `clip` and the canvas are touched.
void ComposePicture(PixelView canvas, const ClipRect& clip, ConstPixelView src, int32_t x, int32_t y,
                    int32_t opacity, bool flipX, bool flipY);

// One straight line of a shadow-casting polygon: a·x − b·y + k = 0 through (x0, y0)–(x1, y1).
struct ShadowEdge {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    double a = 0, b = 0, k = 0;
};
ShadowEdge MakeEdge(double x0, double y0, double x1, double y1);

struct LightSource {
    double x = 0;
    double y = 0;
    int32_t radius = 0;
    uint32_t color = 0; // red bits 0-7, green 8-15, blue 16-23
    bool castShadow = false;
};

// Width × height cells of three u16 channels (0 blue, 1 green, 2 red).
struct LightBuffer {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint16_t> cells;

    uint32_t CellCount() const { return width * height; }
    uint16_t* Cell(uint32_t column, uint32_t row) { return &cells[(size_t(row) * width + column) * 3]; }
    const uint16_t* Cell(uint32_t column, uint32_t row) const {
        return &cells[(size_t(row) * width + column) * 3];
    }
    // Makes the buffer width × height; true when its size changed (the storage was replaced).
    [[nodiscard]] bool Resize(uint32_t w, uint32_t h);
};

// Fills the buffer with the ambient colour, adds every light (with hard shadows cast by `edges`),
// clamps to 255 and smooths. The buffer must already have its size.
void BuildLightBuffer(LightBuffer& buffer, uint32_t cellSize, uint32_t ambient,
                      const std::vector<LightSource>& lights, const std::vector<ShadowEdge>& edges);
// Adds one light's contribution (no clamping).
void AddLight(LightBuffer& buffer, uint32_t cellSize, const LightSource& light,
              const std::vector<ShadowEdge>& edges);
// Whether the segment from the light to (cx, cy) is cut by the edge (bounds inclusive).
bool Shadowed(const ShadowEdge& edge, double lx, double ly, double cx, double cy);
// 5 × 5 box average of every cell at least two cells from each border; buffers smaller than 5 × 5
// are left alone.
void SmoothLightBuffer(LightBuffer& buffer);
// Multiplies every pixel of each cell's square (inside the clip and the canvas) by the cell.
void ApplyLightBuffer(PixelView canvas, const ClipRect& clip, const LightBuffer& buffer, uint32_t cellSize);

// Bresenham line; pixels outside the canvas are skipped.
void DrawLine(PixelView canvas, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t pixel);

} // namespace RenderCore
