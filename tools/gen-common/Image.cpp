#include "gen-common/Image.h"

#include <algorithm>

namespace Gen {

Color Hex(uint32_t rgb, float a) {
    return {float((rgb >> 16) & 0xFF) / 255.f, float((rgb >> 8) & 0xFF) / 255.f, float(rgb & 0xFF) / 255.f,
            a};
}

Color Mix(const Color& x, const Color& y, float t) {
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

Color Scale(const Color& c, float k) {
    return {c.r * k, c.g * k, c.b * k, c.a};
}
Color Lighten(const Color& c, float t) {
    return Mix(c, Color{1, 1, 1, c.a}, t);
}
Color Darken(const Color& c, float t) {
    return Mix(c, Color{0, 0, 0, c.a}, t);
}

void Image::Blend(int x, int y, const Color& c, float coverage) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    float a = Clamp01(c.a * coverage);
    if (a <= 0) return;
    Color& d = at(x, y);
    float k = 1 - a;
    d.r = Clamp01(c.r) * a + d.r * k;
    d.g = Clamp01(c.g) * a + d.g * k;
    d.b = Clamp01(c.b) * a + d.b * k;
    d.a = a + d.a * k;
}

Rect Image::Area() const {
    if (clip.x1 < 0) return {0, 0, w, h};
    return {std::max(0, clip.x0), std::max(0, clip.y0), std::min(w, clip.x1), std::min(h, clip.y1)};
}

ClipScope::ClipScope(Image& img, float x0, float y0, float x1, float y1) : img_(img), saved_(img.clip) {
    Rect a = img.Area();
    Rect r{int(std::floor(x0)), int(std::floor(y0)), int(std::ceil(x1)), int(std::ceil(y1))};
    img.clip = {std::max(a.x0, r.x0), std::max(a.y0, r.y0), std::min(a.x1, r.x1), std::min(a.y1, r.y1)};
    if (img.clip.x1 < img.clip.x0) img.clip.x1 = img.clip.x0;
    if (img.clip.y1 < img.clip.y0) img.clip.y1 = img.clip.y0;
}

void Image::Fill(const Color& c) {
    for (auto& p : px)
        p = {c.r * c.a, c.g * c.a, c.b * c.a, c.a};
}

float SdCircle(float x, float y, float cx, float cy, float r) {
    return std::hypot(x - cx, y - cy) - r;
}

float SdRoundBox(float x, float y, float cx, float cy, float hw, float hh, float radius) {
    float qx = std::fabs(x - cx) - hw + radius;
    float qy = std::fabs(y - cy) - hh + radius;
    float ox = std::max(qx, 0.f), oy = std::max(qy, 0.f);
    return std::hypot(ox, oy) + std::min(std::max(qx, qy), 0.f) - radius;
}

float SdSegment(float x, float y, float ax, float ay, float bx, float by, float halfWidth) {
    float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    float len2 = dx * dx + dy * dy;
    float t = len2 > 0 ? Clamp01((px * dx + py * dy) / len2) : 0.f;
    return std::hypot(px - dx * t, py - dy * t) - halfWidth;
}

float SdPolygon(float x, float y, const std::vector<float>& v) {
    size_t n = v.size() / 2;
    if (n < 3) return 1e9f;
    float d = 1e30f;
    bool inside = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        float xi = v[2 * i], yi = v[2 * i + 1], xj = v[2 * j], yj = v[2 * j + 1];
        float ex = xj - xi, ey = yj - yi, wx = x - xi, wy = y - yi;
        float len2 = ex * ex + ey * ey;
        float t = len2 > 0 ? Clamp01((wx * ex + wy * ey) / len2) : 0.f;
        float bx = wx - ex * t, by = wy - ey * t;
        d = std::min(d, bx * bx + by * by);
        if (((yi > y) != (yj > y)) && (x < (xj - xi) * (y - yi) / (yj - yi) + xi)) inside = !inside;
    }
    return inside ? -std::sqrt(d) : std::sqrt(d);
}

float SdRing(float x, float y, float cx, float cy, float r, float halfWidth) {
    return std::fabs(std::hypot(x - cx, y - cy) - r) - halfWidth;
}

std::vector<float> StarPoints(float cx, float cy, float r, float inner, int points, float rot) {
    std::vector<float> v;
    for (int i = 0; i < points * 2; ++i) {
        float a = rot - kPi / 2 + float(i) * kPi / float(points);
        float rr = (i % 2) ? r * inner : r;
        v.push_back(cx + std::cos(a) * rr);
        v.push_back(cy + std::sin(a) * rr);
    }
    return v;
}

std::vector<float> RegularPoints(float cx, float cy, float r, int sides, float rot) {
    std::vector<float> v;
    for (int i = 0; i < sides; ++i) {
        float a = rot - kPi / 2 + float(i) * 2 * kPi / float(sides);
        v.push_back(cx + std::cos(a) * r);
        v.push_back(cy + std::sin(a) * r);
    }
    return v;
}

std::vector<float> HeartPoints(float cx, float cy, float r) {
    std::vector<float> v;
    for (int i = 0; i < 72; ++i) {
        float t = float(i) / 72.f * 2 * kPi;
        float hx = 16 * std::pow(std::sin(t), 3.f);
        float hy = -(13 * std::cos(t) - 5 * std::cos(2 * t) - 2 * std::cos(3 * t) - std::cos(4 * t));
        v.push_back(cx + hx / 17.f * r);
        v.push_back(cy + (hy + 2.5f) / 17.f * r);
    }
    return v;
}

std::vector<float> DropPoints(float cx, float cy, float r) {
    // The teardrop curve x = sin t sin(t/2), y = -cos t: the tip points up.
    std::vector<float> v;
    for (int i = 0; i < 72; ++i) {
        float t = float(i) / 72.f * 2 * kPi;
        v.push_back(cx + std::sin(t) * std::sin(t / 2) * r * 1.05f);
        v.push_back(cy + 0.1f * r - std::cos(t) * r);
    }
    return v;
}

void FillShape(Image& img, const Sdf& sdf, const Shader& shade, float opacity) {
    Rect r = img.Area();
    for (int y = r.y0; y < r.y1; ++y)
        for (int x = r.x0; x < r.x1; ++x) {
            float fx = float(x) + 0.5f, fy = float(y) + 0.5f;
            float d = sdf(fx, fy);
            float cov = Clamp01(0.5f - d);
            if (cov <= 0) continue;
            img.Blend(x, y, shade(fx, fy), cov * opacity);
        }
}

void FillBevel(Image& img, const Sdf& sdf, const Color& base, float bevel, float gloss, float opacity) {
    const float lx = -0.5f, ly = -0.68f, lz = 0.53f; // light from the top left
    float hx0 = lx, hy0 = ly, hz0 = lz + 1.f;
    float hl = std::sqrt(hx0 * hx0 + hy0 * hy0 + hz0 * hz0);
    hx0 /= hl, hy0 /= hl, hz0 /= hl;
    auto height = [&](float x, float y) { return Smooth(0.f, bevel, -sdf(x, y)); };
    Rect r = img.Area();
    for (int y = r.y0; y < r.y1; ++y)
        for (int x = r.x0; x < r.x1; ++x) {
            float fx = float(x) + 0.5f, fy = float(y) + 0.5f;
            float d = sdf(fx, fy);
            float cov = Clamp01(0.5f - d);
            if (cov <= 0) continue;
            float gx = (height(fx + 0.5f, fy) - height(fx - 0.5f, fy)) * bevel * 0.9f;
            float gy = (height(fx, fy + 0.5f) - height(fx, fy - 0.5f)) * bevel * 0.9f;
            float nx = -gx, ny = -gy, nz = 1.f;
            float nl = std::sqrt(nx * nx + ny * ny + nz * nz);
            nx /= nl, ny /= nl, nz /= nl;
            float diff = nx * lx + ny * ly + nz * lz;
            float k = 0.5f + 0.75f * diff;
            Color c = Scale(base, k);
            float specular = std::pow(std::max(0.f, nx * hx0 + ny * hy0 + nz * hz0), 24.f) * gloss;
            // Only the slopes shine; the flat top gets the sheen its caller paints.
            specular *= Clamp01(std::sqrt(gx * gx + gy * gy) * 2.f);
            c = Mix(c, Color{1, 1, 1, 1}, Clamp01(specular));
            c.a = base.a;
            img.Blend(x, y, c, cov * opacity);
        }
}

void Blur(Image& img, float radius) {
    int r = int(std::lround(radius / 1.7f));
    if (r < 1) return;
    std::vector<Color> tmp(img.px.size());
    auto pass = [&](bool horizontal) {
        int len = horizontal ? img.w : img.h;
        int lines = horizontal ? img.h : img.w;
        for (int l = 0; l < lines; ++l) {
            auto idx = [&](int i) {
                return horizontal ? size_t(l) * size_t(img.w) + size_t(i)
                                  : size_t(i) * size_t(img.w) + size_t(l);
            };
            Color acc{0, 0, 0, 0};
            for (int i = -r; i <= r; ++i)
                if (i >= 0 && i < len) {
                    const Color& c = img.px[idx(i)];
                    acc.r += c.r, acc.g += c.g, acc.b += c.b, acc.a += c.a;
                }
            float inv = 1.f / float(2 * r + 1);
            for (int i = 0; i < len; ++i) {
                tmp[idx(i)] = {acc.r * inv, acc.g * inv, acc.b * inv, acc.a * inv};
                int out = i - r, in = i + r + 1;
                if (out >= 0) {
                    const Color& c = img.px[idx(out)];
                    acc.r -= c.r, acc.g -= c.g, acc.b -= c.b, acc.a -= c.a;
                }
                if (in < len) {
                    const Color& c = img.px[idx(in)];
                    acc.r += c.r, acc.g += c.g, acc.b += c.b, acc.a += c.a;
                }
            }
        }
        img.px.swap(tmp);
    };
    for (int k = 0; k < 3; ++k) {
        pass(true);
        pass(false);
    }
}

void DropShadow(Image& img, const Sdf& sdf, float dx, float dy, float radius, const Color& c) {
    // Work on the clip grown by the blur's reach; the shape is sampled where the shadow can fall.
    Rect a = img.Area();
    int m = int(std::ceil(radius * 2 + std::fabs(dx) + std::fabs(dy))) + 2;
    Rect r{std::max(0, a.x0 - m), std::max(0, a.y0 - m), std::min(img.w, a.x1 + m),
           std::min(img.h, a.y1 + m)};
    if (r.x1 <= r.x0 || r.y1 <= r.y0) return;
    Image sh(r.x1 - r.x0, r.y1 - r.y0);
    for (int y = 0; y < sh.h; ++y)
        for (int x = 0; x < sh.w; ++x) {
            float cov = Clamp01(0.5f - sdf(float(x + r.x0) + 0.5f - dx, float(y + r.y0) + 0.5f - dy));
            sh.at(x, y) = {cov, cov, cov, cov};
        }
    Blur(sh, radius);
    for (int y = a.y0; y < a.y1; ++y)
        for (int x = a.x0; x < a.x1; ++x)
            img.Blend(x, y, c, sh.at(x - r.x0, y - r.y0).a);
}

void VerticalGradient(Image& img, const Color& top, const Color& bottom) {
    for (int y = 0; y < img.h; ++y) {
        Color c = Mix(top, bottom, img.h > 1 ? float(y) / float(img.h - 1) : 0.f);
        for (int x = 0; x < img.w; ++x)
            img.Blend(x, y, c, 1.f);
    }
}

void Composite(Image& dst, const Image& src, int ox, int oy, float opacity) {
    for (int y = 0; y < src.h; ++y)
        for (int x = 0; x < src.w; ++x) {
            int tx = x + ox, ty = y + oy;
            if (tx < 0 || ty < 0 || tx >= dst.w || ty >= dst.h) continue;
            const Color& s = src.at(x, y);
            float a = s.a * opacity;
            if (a <= 0) continue;
            Color& d = dst.at(tx, ty);
            float k = 1 - a;
            d.r = s.r * opacity + d.r * k;
            d.g = s.g * opacity + d.g * k;
            d.b = s.b * opacity + d.b * k;
            d.a = a + d.a * k;
        }
}

Image Resize(const Image& src, int w, int h) {
    Image out(w, h);
    // Area average when shrinking keeps thin details; bilinear is enough when growing.
    float sx = float(src.w) / float(w), sy = float(src.h) / float(h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Color acc{0, 0, 0, 0};
            float n = 0;
            int x0 = int(float(x) * sx), x1 = std::max(x0 + 1, int(float(x + 1) * sx));
            int y0 = int(float(y) * sy), y1 = std::max(y0 + 1, int(float(y + 1) * sy));
            for (int yy = y0; yy < y1 && yy < src.h; ++yy)
                for (int xx = x0; xx < x1 && xx < src.w; ++xx) {
                    const Color& c = src.at(xx, yy);
                    acc.r += c.r, acc.g += c.g, acc.b += c.b, acc.a += c.a;
                    n += 1;
                }
            if (n > 0) out.at(x, y) = {acc.r / n, acc.g / n, acc.b / n, acc.a / n};
        }
    return out;
}

float Hash2(int x, int y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return float(h & 0xFFFFFF) / float(0xFFFFFF);
}

float ValueNoise(float x, float y, uint32_t seed) {
    int ix = int(std::floor(x)), iy = int(std::floor(y));
    float fx = x - float(ix), fy = y - float(iy);
    float ux = fx * fx * (3 - 2 * fx), uy = fy * fy * (3 - 2 * fy);
    float a = Hash2(ix, iy, seed), b = Hash2(ix + 1, iy, seed);
    float c = Hash2(ix, iy + 1, seed), d = Hash2(ix + 1, iy + 1, seed);
    return (a + (b - a) * ux) + ((c + (d - c) * ux) - (a + (b - a) * ux)) * uy;
}

float Fbm(float x, float y, uint32_t seed, int octaves) {
    float sum = 0, amp = 0.5f, norm = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += ValueNoise(x, y, seed + uint32_t(i) * 101u) * amp;
        norm += amp;
        x *= 2.03f, y *= 2.03f;
        amp *= 0.5f;
    }
    return sum / norm;
}

std::vector<Rgba8> ToRgba8(const Image& img) {
    std::vector<Rgba8> out(img.px.size());
    for (size_t i = 0; i < img.px.size(); ++i) {
        const Color& c = img.px[i];
        float a = Clamp01(c.a);
        float k = a > 0 ? 1.f / a : 0.f;
        out[i] = {uint8_t(std::lround(Clamp01(c.r * k) * 255)), uint8_t(std::lround(Clamp01(c.g * k) * 255)),
                  uint8_t(std::lround(Clamp01(c.b * k) * 255)), uint8_t(std::lround(a * 255))};
    }
    return out;
}

std::vector<Rgba8> Flatten(const Image& img, const Color& bg) {
    std::vector<Rgba8> out(img.px.size());
    for (size_t i = 0; i < img.px.size(); ++i) {
        const Color& c = img.px[i];
        float k = 1 - Clamp01(c.a);
        out[i] = {uint8_t(std::lround(Clamp01(c.r + bg.r * k) * 255)),
                  uint8_t(std::lround(Clamp01(c.g + bg.g * k) * 255)),
                  uint8_t(std::lround(Clamp01(c.b + bg.b * k) * 255)), 255};
    }
    return out;
}

} // namespace Gen
