#pragma once
// A small float canvas for drawing the game's pictures procedurally.
//
// Pixels are premultiplied RGBA in 0..1. Shapes are given as signed distance functions in pixels
// (negative inside), which gives anti-aliased edges, bevels (height from the distance to the
// edge) and outlines from one description.
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Gen {

struct Color {
    float r = 0, g = 0, b = 0, a = 1;
};

Color Hex(uint32_t rgb, float a = 1.0f);
Color Mix(const Color& x, const Color& y, float t);
Color Scale(const Color& c, float k);   // rgb times k, alpha kept
Color Lighten(const Color& c, float t); // toward white
Color Darken(const Color& c, float t);  // toward black

inline float Clamp01(float v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}
inline float Smooth(float e0, float e1, float x) {
    float t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}
constexpr float kPi = 3.14159265358979f;

struct Rect {
    int x0 = 0, y0 = 0, x1 = -1, y1 = -1; // right and bottom exclusive; x1 < 0: no clip
};

struct Image {
    int w = 0, h = 0;
    std::vector<Color> px; // premultiplied
    Rect clip;             // drawing is limited to it (shapes are evaluated only there)
    Rect Area() const;     // the clip within the image

    Image() = default;
    Image(int width, int height)
        : w(width), h(height), px(size_t(width) * size_t(height), Color{0, 0, 0, 0}) {}
    Color& at(int x, int y) { return px[size_t(y) * size_t(w) + size_t(x)]; }
    const Color& at(int x, int y) const { return px[size_t(y) * size_t(w) + size_t(x)]; }
    // Composites a straight-alpha colour over the pixel with extra coverage.
    void Blend(int x, int y, const Color& c, float coverage);
    void Fill(const Color& c);
};

// Limits drawing to a rectangle (intersected with the current clip) while it lives. Drawing a
// small shape on a big picture costs only the rectangle.
class ClipScope {
  public:
    ClipScope(Image& img, float x0, float y0, float x1, float y1);
    ~ClipScope() { img_.clip = saved_; }
    ClipScope(const ClipScope&) = delete;
    ClipScope& operator=(const ClipScope&) = delete;

  private:
    Image& img_;
    Rect saved_;
};

using Sdf = std::function<float(float x, float y)>;
using Shader = std::function<Color(float x, float y)>;

// --- distance functions (pixels, negative inside) ---
float SdCircle(float x, float y, float cx, float cy, float r);
float SdRoundBox(float x, float y, float cx, float cy, float hw, float hh, float radius);
float SdSegment(float x, float y, float ax, float ay, float bx, float by, float halfWidth);
float SdPolygon(float x, float y, const std::vector<float>& xy); // closed, any simple polygon
float SdRing(float x, float y, float cx, float cy, float r, float halfWidth);

// Polygons for the symbols, centred on (cx, cy) with outer radius r; `rot` in radians.
std::vector<float> StarPoints(float cx, float cy, float r, float inner, int points, float rot);
std::vector<float> RegularPoints(float cx, float cy, float r, int sides, float rot);
std::vector<float> HeartPoints(float cx, float cy, float r);
std::vector<float> DropPoints(float cx, float cy, float r);

// --- drawing ---
// Fills the shape with the shader's straight-alpha colour, anti-aliased over about one pixel.
void FillShape(Image& img, const Sdf& sdf, const Shader& shade, float opacity = 1.0f);
inline void FillShape(Image& img, const Sdf& sdf, const Color& c, float opacity = 1.0f) {
    FillShape(
        img, sdf, [c](float, float) { return c; }, opacity);
}
// A raised shape: base colour shaded by a bevel of the given width lit from the top left, with a
// specular highlight; `gloss` 0..1.
void FillBevel(Image& img, const Sdf& sdf, const Color& base, float bevel, float gloss, float opacity = 1.0f);
// A soft shadow or glow of the shape: its coverage blurred by `radius`, moved by (dx, dy).
void DropShadow(Image& img, const Sdf& sdf, float dx, float dy, float radius, const Color& c);
// Linear vertical gradient over the whole image, composited.
void VerticalGradient(Image& img, const Color& top, const Color& bottom);
// Box-blurs the image three times (close to a Gaussian of that radius).
void Blur(Image& img, float radius);
// Composites `src` over `dst` at (x, y), with opacity.
void Composite(Image& dst, const Image& src, int x, int y, float opacity = 1.0f);
// Scales a picture (bilinear, premultiplied) to a new size.
Image Resize(const Image& src, int w, int h);

// --- noise (deterministic) ---
float Hash2(int x, int y, uint32_t seed);
float ValueNoise(float x, float y, uint32_t seed);
float Fbm(float x, float y, uint32_t seed, int octaves = 4);

// A small deterministic random generator for scattering things.
struct Rng {
    uint32_t s;
    explicit Rng(uint32_t seed) : s(seed * 2654435761u + 12345u) {}
    uint32_t Next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    float Float() { return float(Next() & 0xFFFFFF) / float(0x1000000); }
    float Range(float a, float b) { return a + (b - a) * Float(); }
};

// --- output conversion ---
struct Rgba8 {
    uint8_t r, g, b, a;
};
// Straight 8-bit RGBA.
std::vector<Rgba8> ToRgba8(const Image& img);
// Opaque 8-bit RGB over a background colour.
std::vector<Rgba8> Flatten(const Image& img, const Color& background);

} // namespace Gen
