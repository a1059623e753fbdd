#include "gfx/RendererCore.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace RenderCore {

namespace {

uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
void Store32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

// Pixels of ComposePicture; `step` 4 reads the source forwards, -4 backwards (a flipped picture).
// Without branches, in signed lanes (every value is below 2^16) and without the multiply at full
// opacity, so that the compiler composes several pixels at once with the plain vector
// instructions.
template <int step, bool fullOpacity>
void ComposePixels(uint8_t* dst, const uint8_t* src, int64_t count, int32_t scale) {
    for (int64_t i = 0; i < count; ++i) {
        const uint32_t s = Load32(src + i * step);
        const uint32_t d = Load32(dst + i * 4);
        const int32_t a = fullOpacity ? int32_t(s >> 24) : (int32_t(s >> 24) * scale) >> 8;
        const int32_t da = int32_t(d >> 24);
        const uint32_t colour = (a > 128 ? s : d) & 0xFFFFFFu;
        Store32(dst + i * 4, colour | (uint32_t(a > da ? a : da) << 24));
    }
}

template <int step> void ComposePixels(uint8_t* dst, const uint8_t* src, int64_t count, int32_t scale) {
    if (scale == 256)
        ComposePixels<step, true>(dst, src, count, scale);
    else
        ComposePixels<step, false>(dst, src, count, scale);
}

// One row, in runs of pixels: a run without any coverage changes nothing, and an opaque run at
// full opacity is a copy. A switch composes a whole background, mostly such runs.
template <int step> void ComposeRow(uint8_t* dst, const uint8_t* src, int64_t count, int32_t scale) {
    constexpr int64_t kRun = 64;
    int64_t i = 0;
    for (; i + kRun <= count; i += kRun) {
        const uint8_t* s = src + i * step;
        uint8_t* d = dst + i * 4;
        uint32_t all = 0xFFFFFFFFu, any = 0;
        for (int64_t k = 0; k < kRun; ++k) {
            const uint32_t v = Load32(s + k * step);
            all &= v;
            any |= v;
        }
        if ((any >> 24) == 0) continue;
        if (scale == 256 && (all >> 24) == 0xFF) {
            for (int64_t k = 0; k < kRun; ++k)
                Store32(d + k * 4, Load32(s + k * step));
            continue;
        }
        ComposePixels<step>(d, s, kRun, scale);
    }
    ComposePixels<step>(dst + i * 4, src + i * step, count - i, scale);
}

} // namespace

void ComposePicture(PixelView canvas, const ClipRect& clip, ConstPixelView src, int32_t x, int32_t y,
                    int32_t opacity, bool flipX, bool flipY) {
    if (!canvas.pixels || !src.pixels || src.width == 0 || src.height == 0) return;
    int32_t scale = int32_t(int64_t(opacity) * 256 / 100);
    scale = std::clamp(scale, 0, 256);

    // Region of the destination touched: the picture's rectangle cut by the clip and the canvas.
    const int64_t left = std::max<int64_t>({x, clip.left, 0});
    const int64_t top = std::max<int64_t>({y, clip.top, 0});
    const int64_t right = std::min<int64_t>({int64_t(x) + src.width, clip.right, canvas.width});
    const int64_t bottom = std::min<int64_t>({int64_t(y) + src.height, clip.bottom, canvas.height});
    if (left >= right || top >= bottom) return;

    const int64_t firstCol = left - x;
    const int64_t srcCol = flipX ? int64_t(src.width) - 1 - firstCol : firstCol;
    for (int64_t dy = top; dy < bottom; ++dy) {
        const int64_t row = dy - y;
        const int64_t srcRow = flipY ? int64_t(src.height) - 1 - row : row;
        const uint8_t* s = src.pixels + (size_t(srcRow) * src.width + size_t(srcCol)) * 4;
        uint8_t* dst = canvas.pixels + (size_t(dy) * canvas.width + size_t(left)) * 4;
        if (flipX)
            ComposeRow<-4>(dst, s, right - left, scale);
        else
            ComposeRow<4>(dst, s, right - left, scale);
    }
}

ShadowEdge MakeEdge(double x0, double y0, double x1, double y1) {
    ShadowEdge e;
    e.x0 = x0;
    e.y0 = y0;
    e.x1 = x1;
    e.y1 = y1;
    e.a = y1 - y0;
    e.b = x1 - x0;
    e.k = e.b * y0 - e.a * x0;
    return e;
}

bool LightBuffer::Resize(uint32_t w, uint32_t h) {
    if (w == width && h == height && cells.size() == size_t(w) * h * 3) return false;
    width = w;
    height = h;
    std::vector<uint16_t>(size_t(w) * h * 3).swap(cells);
    return true;
}

static bool Between(double v, double a, double b) {
    return v >= std::min(a, b) && v <= std::max(a, b);
}

bool Shadowed(const ShadowEdge& edge, double lx, double ly, double cx, double cy) {
    // The line through the light and the cell centre, in the same a·x − b·y + k = 0 form.
    const double a2 = cy - ly;
    const double b2 = cx - lx;
    const double k2 = b2 * ly - a2 * lx;
    const double det = a2 * edge.b - edge.a * b2;
    if (det == 0.0) return false; // parallel lines never shadow
    const double px = (edge.k * b2 - edge.b * k2) / det;
    const double py = (a2 * edge.k - edge.a * k2) / det;
    return Between(px, edge.x0, edge.x1) && Between(py, edge.y0, edge.y1) && Between(px, lx, cx) &&
           Between(py, ly, cy);
}

static void AddSaturated(uint16_t& channel, int32_t amount) {
    channel = uint16_t(std::min<int32_t>(int32_t(channel) + amount, 0xFFFF));
}

void AddLight(LightBuffer& buffer, uint32_t cellSize, const LightSource& light,
              const std::vector<ShadowEdge>& edges) {
    if (cellSize == 0 || buffer.width == 0 || buffer.height == 0 || light.radius <= 0) return;
    const int64_t c = cellSize;
    const double r = light.radius;
    const double lx = light.x;
    const double ly = light.y;
    // Far-away or broken positions cannot reach the buffer (and would overflow the cell maths).
    if (!(std::fabs(lx) < 1e12) || !(std::fabs(ly) < 1e12)) return;

    // Cell range around the light, clipped to the buffer and to the 3000 × 1500 pixel limit.
    auto first = [&](double p) { return std::max<int64_t>(int64_t(std::trunc((p - r) / c)) - 1, 0); };
    auto last = [&](double p, int64_t size, int64_t limit) {
        const double v = std::trunc((p + r) / c) + 1;
        return std::min<double>({v, double(size - 1), double(limit - 1)});
    };
    const int64_t col0 = first(lx);
    const int64_t row0 = first(ly);
    const int64_t col1 = int64_t(last(lx, buffer.width, 3000 / c));
    const int64_t row1 = int64_t(last(ly, buffer.height, 1500 / c));
    if (col0 > col1 || row0 > row1) return;

    std::vector<const ShadowEdge*> near;
    if (light.castShadow) {
        for (const ShadowEdge& e : edges) {
            const double len = std::sqrt(e.a * e.a + e.b * e.b);
            if (len == 0.0) continue; // a zero-length edge has no line
            if (std::fabs(e.a * lx - e.b * ly + e.k) / len < r) near.push_back(&e);
        }
    }

    const int32_t blue = (light.color >> 16) & 0xFF;
    const int32_t green = (light.color >> 8) & 0xFF;
    const int32_t red = light.color & 0xFF;
    for (int64_t row = row0; row <= row1; ++row) {
        const double cy = double(row * c + c / 2);
        for (int64_t col = col0; col <= col1; ++col) {
            const double cx = double(col * c + c / 2);
            const double d2 = (lx - cx) * (lx - cx) + (ly - cy) * (ly - cy);
            if (d2 > r * r) continue;
            bool shadow = false;
            for (const ShadowEdge* e : near) {
                if (Shadowed(*e, lx, ly, cx, cy)) {
                    shadow = true;
                    break;
                }
            }
            if (shadow) continue;
            const double f = 1.0 - std::sqrt(d2) / r;
            uint16_t* cell = buffer.Cell(uint32_t(col), uint32_t(row));
            AddSaturated(cell[0], int32_t(blue * f));
            AddSaturated(cell[1], int32_t(green * f));
            AddSaturated(cell[2], int32_t(red * f));
        }
    }
}

void SmoothLightBuffer(LightBuffer& buffer) {
    if (buffer.width < 5 || buffer.height < 5) return;
    const std::vector<uint16_t> copy = buffer.cells;
    const uint32_t w = buffer.width;
    for (uint32_t row = 2; row + 2 < buffer.height; ++row) {
        for (uint32_t col = 2; col + 2 < w; ++col) {
            for (int ch = 0; ch < 3; ++ch) {
                uint32_t sum = 0;
                for (uint32_t y = row - 2; y <= row + 2; ++y)
                    for (uint32_t x = col - 2; x <= col + 2; ++x)
                        sum += copy[(size_t(y) * w + x) * 3 + ch];
                buffer.Cell(col, row)[ch] = uint16_t(sum / 25);
            }
        }
    }
}

void BuildLightBuffer(LightBuffer& buffer, uint32_t cellSize, uint32_t ambient,
                      const std::vector<LightSource>& lights, const std::vector<ShadowEdge>& edges) {
    const uint16_t amb[3] = {uint16_t((ambient >> 16) & 0xFF), uint16_t((ambient >> 8) & 0xFF),
                             uint16_t(ambient & 0xFF)};
    for (size_t i = 0; i < buffer.cells.size(); i += 3)
        std::memcpy(&buffer.cells[i], amb, sizeof amb);
    for (const LightSource& light : lights)
        AddLight(buffer, cellSize, light, edges);
    for (uint16_t& v : buffer.cells)
        v = std::min<uint16_t>(v, 255);
    SmoothLightBuffer(buffer);
}

void ApplyLightBuffer(PixelView canvas, const ClipRect& clip, const LightBuffer& buffer, uint32_t cellSize) {
    if (!canvas.pixels || cellSize == 0) return;
    const int64_t left = std::max<int64_t>(clip.left, 0);
    const int64_t top = std::max<int64_t>(clip.top, 0);
    const int64_t right = std::min<int64_t>(clip.right, canvas.width);
    const int64_t bottom = std::min<int64_t>(clip.bottom, canvas.height);
    for (uint32_t row = 0; row < buffer.height; ++row) {
        const int64_t y0 = std::max<int64_t>(int64_t(row) * cellSize, top);
        const int64_t y1 = std::min<int64_t>(int64_t(row + 1) * cellSize, bottom);
        if (y0 >= y1) continue;
        for (uint32_t col = 0; col < buffer.width; ++col) {
            const int64_t x0 = std::max<int64_t>(int64_t(col) * cellSize, left);
            const int64_t x1 = std::min<int64_t>(int64_t(col + 1) * cellSize, right);
            if (x0 >= x1) continue;
            const uint16_t* cell = buffer.Cell(col, row);
            for (int64_t y = y0; y < y1; ++y) {
                uint8_t* p = canvas.pixels + (size_t(y) * canvas.width + size_t(x0)) * 4;
                for (int64_t x = x0; x < x1; ++x, p += 4) {
                    p[0] = uint8_t(p[0] * cell[0] / 256);
                    p[1] = uint8_t(p[1] * cell[1] / 256);
                    p[2] = uint8_t(p[2] * cell[2] / 256);
                }
            }
        }
    }
}

void DrawLine(PixelView canvas, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t pixel) {
    if (!canvas.pixels) return;
    int64_t x = x0, y = y0;
    const int64_t dx = std::llabs(int64_t(x1) - x0), dy = -std::llabs(int64_t(y1) - y0);
    const int64_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int64_t err = dx + dy;
    for (;;) {
        if (x >= 0 && y >= 0 && x < int64_t(canvas.width) && y < int64_t(canvas.height))
            std::memcpy(canvas.pixels + (size_t(y) * canvas.width + size_t(x)) * 4, &pixel, 4);
        if (x == x1 && y == y1) break;
        const int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

} // namespace RenderCore
