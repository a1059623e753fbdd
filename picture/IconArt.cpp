#include "picture/IconArt.h"

#include <algorithm>
#include <cmath>

namespace IconArt {
namespace {

struct Colour {
    double r, g, b, a;
};

// Signed distance to a rounded rectangle centred at (cx, cy) with half sizes (hw, hh), radius r.
double RoundedBox(double x, double y, double cx, double cy, double hw, double hh, double r) {
    double qx = std::fabs(x - cx) - (hw - r), qy = std::fabs(y - cy) - (hh - r);
    double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - r;
}

Colour Over(const Colour& top, const Colour& under) {
    double a = top.a + under.a * (1 - top.a);
    if (a <= 0) return {0, 0, 0, 0};
    auto mix = [&](double t, double u) { return (t * top.a + u * under.a * (1 - top.a)) / a; };
    return {mix(top.r, under.r), mix(top.g, under.g), mix(top.b, under.b), a};
}

// One sample of the picture at (x, y) in units of the icon's side (0..1).
Colour Sample(double x, double y) {
    Colour c{0, 0, 0, 0};
    // Gold rim, then the navy tile with a vertical gradient.
    if (RoundedBox(x, y, 0.5, 0.5, 0.47, 0.47, 0.12) < 0) c = {0.93, 0.72, 0.30, 1};
    if (RoundedBox(x, y, 0.5, 0.5, 0.43, 0.43, 0.09) < 0)
        c = {0.10 + 0.08 * y, 0.12 + 0.06 * y, 0.35 - 0.1 * y, 1};
    // The bricks: green, purple / orange, blue, as the game's first four colours.
    const Colour bricks[4] = {
        {0.26, 0.70, 0.25, 1}, {0.62, 0.34, 0.85, 1}, {0.95, 0.55, 0.15, 1}, {0.22, 0.52, 0.92, 1}};
    for (int i = 0; i < 4; ++i) {
        double cx = i % 2 ? 0.685 : 0.315, cy = i / 2 ? 0.685 : 0.315;
        double d = RoundedBox(x, y, cx, cy, 0.155, 0.155, 0.045);
        if (d >= 0) continue;
        Colour b = bricks[i];
        // Lighter towards the top left, with a darker edge and a white glint.
        double light = 1.15 - 0.9 * ((x - cx) + (y - cy));
        b = {std::min(1.0, b.r * light), std::min(1.0, b.g * light), std::min(1.0, b.b * light), 1};
        if (d > -0.018) b = {b.r * 0.7, b.g * 0.7, b.b * 0.7, 1};
        double gx = x - (cx - 0.06), gy = y - (cy - 0.07);
        if (gx * gx / 0.0016 + gy * gy / 0.0004 < 1) b = Over({1, 1, 1, 0.55}, b);
        c = b;
    }
    return c;
}

} // namespace

std::vector<uint8_t> DrawRgba(int size) {
    std::vector<uint8_t> out;
    if (size < 16 || size > 1024) return out;
    out.reserve(static_cast<size_t>(size) * size * 4);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    Colour c = Sample((px + (sx + 0.5) / 4) / size, (py + (sy + 0.5) / 4) / size);
                    r += c.r * c.a;
                    g += c.g * c.a;
                    b += c.b * c.a;
                    a += c.a;
                }
            }
            auto byte = [](double v) {
                return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
            };
            out.push_back(a > 0 ? byte(r / a) : 0);
            out.push_back(a > 0 ? byte(g / a) : 0);
            out.push_back(a > 0 ? byte(b / a) : 0);
            out.push_back(byte(a / 16));
        }
    }
    return out;
}

} // namespace IconArt
