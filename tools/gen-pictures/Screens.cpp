#include "Screens.h"

#include "Items.h"
#include "gen-common/TextRaster.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

using namespace Gen;

namespace Pics {

namespace {

const Color kGold = Hex(0xF2C04A);
const Color kGoldDark = Hex(0x9C6A18);
const Color kPanel = Hex(0x232A55);
const Color kPanelDeep = Hex(0x151A3A);
const Color kHelpInner = Hex(0x141935);

// A glass panel of any outline (a signed distance, negative inside, within x0..x1, y0..y1):
// translucent body, bright top edge, thin gold rim, soft shadow.
template <typename Shape>
void GlassShape(Image& img, const Shape& box, float x0, float y0, float x1, float y1, float alpha,
                bool gold) {
    ClipScope clip(img, x0 - 30, y0 - 30, x1 + 30, y1 + 36);
    const float hh = (y1 - y0) / 2;
    DropShadow(img, box, 0, 6, 10, Color{0, 0, 0.03f, 0.55f});
    FillShape(img, box, [=](float, float y) {
        Color c = Mix(Hex(0x2C3468), Hex(0x171C3E), Clamp01((y - y0) / (y1 - y0)));
        c.a = alpha;
        return c;
    });
    // light along the top inside edge
    FillShape(
        img, [=](float x, float y) { return std::max(box(x, y), -(box(x, y) + 3.f)); },
        [=](float, float y) {
            return Color{0.7f, 0.8f, 1, 0.25f * Clamp01(1 - (y - y0) / (2 * hh) * 2)};
        });
    if (gold)
        FillShape(
            img, [=](float x, float y) { return std::fabs(box(x, y) + 1.2f) - 1.1f; },
            [=](float, float y) { return Mix(Hex(0xFFE08A), kGoldDark, Clamp01((y - y0) / (y1 - y0))); });
}

void GlassPanel(Image& img, float x0, float y0, float x1, float y1, float radius, float alpha = 0.82f,
                bool gold = true) {
    float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, hw = (x1 - x0) / 2, hh = (y1 - y0) / 2;
    GlassShape(
        img, [=](float x, float y) { return SdRoundBox(x, y, cx, cy, hw, hh, radius); }, x0, y0, x1, y1,
        alpha, gold);
}

// The union of two outlines with a concave fillet of radius k where they meet.
float SmoothUnion(float a, float b, float k) {
    const float h = std::max(k - std::fabs(a - b), 0.f) / k;
    return std::min(a, b) - h * h * k * 0.25f;
}

// A recessed plate (for numbers and labels drawn by the game).
void Plate(Image& img, float x0, float y0, float x1, float y1, float radius) {
    float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, hw = (x1 - x0) / 2, hh = (y1 - y0) / 2;
    ClipScope clip(img, x0 - 2, y0 - 2, x1 + 2, y1 + 2);
    auto box = [=](float x, float y) { return SdRoundBox(x, y, cx, cy, hw, hh, radius); };
    FillShape(img, box, [=](float, float y) {
        return Mix(Hex(0x0E1230), Hex(0x1C2350), Clamp01((y - y0) / (y1 - y0)));
    });
    // inner shadow at the top
    FillShape(
        img, [=](float x, float y) { return std::max(box(x, y), -(box(x, y) + 4.f)); },
        [=](float, float y) {
            return Color{0, 0, 0, 0.45f * Clamp01(1 - (y - y0) / 10.f)};
        });
    FillShape(
        img, [=](float x, float y) { return std::fabs(box(x, y) + 0.8f) - 0.8f; },
        [=](float, float y) { return Mix(Hex(0x0A0C20), Hex(0x6A78C0), Clamp01((y - y0) / (y1 - y0))); });
}

// The night-sky backdrop shared by all screens.
void Backdrop(Image& img, uint32_t seed) {
    VerticalGradient(img, Hex(0x2A1856), Hex(0x0B1838));
    // big soft colour clouds
    Image clouds(img.w, img.h);
    Rng rng(seed);
    const uint32_t tints[] = {0x6A3CC8, 0x2A6AD8, 0xC83C9A, 0x2AB8C8, 0x4050E0};
    for (int i = 0; i < 7; ++i) {
        float cx = rng.Range(0, float(img.w)), cy = rng.Range(0, float(img.h)), r = rng.Range(120, 260);
        FillShape(
            clouds, [=](float x, float y) { return SdCircle(x, y, cx, cy, r); }, Hex(tints[i % 5], 0.22f));
    }
    Blur(clouds, 90);
    Composite(img, clouds, 0, 0, 1);
    // bokeh: small round lights out of focus
    Image bokeh(img.w, img.h);
    for (int i = 0; i < 40; ++i) {
        float cx = rng.Range(0, float(img.w)), cy = rng.Range(0, float(img.h)), r = rng.Range(4, 22);
        Color c = Hex(tints[rng.Next() % 5]);
        c = Lighten(c, 0.4f);
        c.a = rng.Range(0.08f, 0.25f);
        ClipScope clip(bokeh, cx - r - 2, cy - r - 2, cx + r + 2, cy + r + 2);
        FillShape(
            bokeh, [=](float x, float y) { return SdCircle(x, y, cx, cy, r); }, c);
        FillShape(
            bokeh, [=](float x, float y) { return SdRing(x, y, cx, cy, r - 1, 0.8f); },
            Color{1, 1, 1, c.a * 0.8f});
    }
    Blur(bokeh, 2.5f);
    Composite(img, bokeh, 0, 0, 1);
    // tiny stars
    for (int i = 0; i < 160; ++i) {
        int x = int(rng.Range(0, float(img.w))), y = int(rng.Range(0, float(img.h)));
        img.Blend(x, y, Color{1, 1, 1, rng.Range(0.2f, 0.7f)}, 1);
    }
    // fine grain so gradients do not band
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            float n = (Hash2(x, y, seed) - 0.5f) * 0.025f;
            Color& c = img.at(x, y);
            c.r = Clamp01(c.r + n), c.g = Clamp01(c.g + n), c.b = Clamp01(c.b + n);
        }
}

// Text drawn into a background (only the brand name, which is not translated).
void Title(Image& img, const std::string& font, const std::string& text, int size, float cx, float top) {
    Image t = RenderText(font, text, size, 24, size * 0.02f);
    if (t.w == 0) return;
    int ox = int(cx - float(t.w) / 2), oy = int(top) - 24;
    // shadow and glow
    Image glow = t;
    for (auto& c : glow.px)
        c = {c.a * 1.0f, c.a * 0.6f, c.a * 0.9f, c.a};
    Blur(glow, float(size) * 0.25f);
    Composite(img, glow, ox, oy, 0.8f);
    Image shadow = t;
    for (auto& c : shadow.px)
        c = {0, 0, 0, c.a};
    Blur(shadow, 3);
    Composite(img, shadow, ox + 3, oy + 5, 0.8f);
    // outline, then gold fill with a bevel-like vertical gradient
    Image outline = t;
    for (auto& c : outline.px)
        c = {0, 0, 0, c.a};
    Blur(outline, 2.2f);
    for (auto& c : outline.px) {
        float a = Clamp01(c.a * 4);
        c = {0.18f * a, 0.08f * a, 0.25f * a, a};
    }
    Composite(img, outline, ox, oy, 1);
    int rows = t.h;
    for (int y = 0; y < t.h; ++y)
        for (int x = 0; x < t.w; ++x) {
            float a = t.at(x, y).a;
            if (a <= 0) continue;
            float v = float(y) / float(rows);
            Color c = v < 0.52f ? Mix(Hex(0xFFF6C0), Hex(0xFFD040), v / 0.52f)
                                : Mix(Hex(0xFF9A20), Hex(0xFFC040), (v - 0.52f) / 0.48f);
            img.Blend(x + ox, y + oy, c, a);
        }
    // a white shine on the upper part of the letters
    for (int y = 0; y < t.h / 2; ++y)
        for (int x = 0; x < t.w; ++x) {
            float a = t.at(x, y).a;
            float v = float(y) / float(rows);
            if (a > 0 && v > 0.3f && v < 0.45f) img.Blend(x + ox, y + oy, Color{1, 1, 1, 0.35f}, a);
        }
}

// Groove in which the slider picture runs (y 139 .. 165, x 192 .. 610).
void SliderRail(Image& img) {
    ClipScope clip(img, 160, 135, 640, 170);
    auto rail = [](float x, float y) { return SdRoundBox(x, y, 401, 152, 222, 4, 4); };
    FillShape(img, rail, Hex(0x0A0D24, 0.85f));
    FillShape(
        img, [=](float x, float y) { return std::fabs(rail(x, y) + 0.6f) - 0.6f; },
        [](float, float y) { return y > 152 ? Hex(0x8090D0, 0.7f) : Hex(0x000000, 0.6f); });
    for (float x : {179.f, 623.f})
        FillBevel(
            img, [=](float px, float py) { return SdCircle(px, py, x, 152, 7); }, kGold, 3, 0.9f);
}

void BottomBand(Image& img) {
    ClipScope clip(img, 0, 560, float(img.w), float(img.h));
    FillShape(
        img, [](float, float y) { return 568 - y; },
        [](float, float y) {
            return Color{0.02f, 0.03f, 0.1f, 0.55f + 0.2f * Clamp01((y - 568) / 32)};
        });
    FillShape(
        img,
        [](float x, float y) { return std::max(std::fabs(y - 568.5f) - 0.5f, std::fabs(x - 400) - 390); },
        Hex(0xF2C04A, 0.6f));
}

void Scatter(Image& img, uint32_t seed, float x0, float y0, float x1, float y1, int count, float minS,
             float maxS, float opacity) {
    Rng rng(seed);
    for (int i = 0; i < count; ++i) {
        float s = rng.Range(minS, maxS);
        float cx = rng.Range(x0, x1), cy = rng.Range(y0, y1);
        Pose p;
        p.glint = rng.Float() < 0.3f ? rng.Range(-0.6f, 0.6f) : -2.f;
        std::string name = "Brick" + std::to_string(1 + int(rng.Next() % 6));
        int half = int(s) + 8;
        Image local(2 * half, 2 * half);
        PaintItem(local, name, cx - std::floor(cx) + float(half), cy - std::floor(cy) + float(half), s, p);
        if (s < (minS + maxS) / 2) Blur(local, 2.5f); // small ones sit far away, out of focus
        Composite(img, local, int(std::floor(cx)) - half, int(std::floor(cy)) - half, opacity);
    }
}

void Icon(Image& img, const std::string& kind, float cx, float cy, float r) {
    Color c = kGold;
    ClipScope clip(img, cx - r * 1.8f, cy - r * 1.8f, cx + r * 1.8f, cy + r * 1.8f);
    if (kind == "star") {
        auto st = [=](float x, float y) { return SdPolygon(x, y, StarPoints(cx, cy, r, 0.45f, 5, 0)); };
        DropShadow(img, st, 0, 2, 2, Color{0, 0, 0, 0.5f});
        FillBevel(img, st, c, r * 0.3f, 0.9f);
    } else if (kind == "coin") {
        auto co = [=](float x, float y) { return SdCircle(x, y, cx, cy, r); };
        DropShadow(img, co, 0, 2, 2, Color{0, 0, 0, 0.5f});
        FillBevel(img, co, c, r * 0.3f, 0.9f);
        FillShape(
            img, [=](float x, float y) { return SdRing(x, y, cx, cy, r * 0.68f, r * 0.07f); }, kGoldDark);
    } else if (kind == "music") {
        auto n = [=](float x, float y) {
            return std::min(
                {SdCircle(x, y, cx - r * 0.45f, cy + r * 0.55f, r * 0.32f),
                 SdCircle(x, y, cx + r * 0.5f, cy + r * 0.35f, r * 0.32f),
                 SdSegment(x, y, cx - r * 0.17f, cy + r * 0.55f, cx - r * 0.17f, cy - r * 0.7f, r * 0.08f),
                 SdSegment(x, y, cx + r * 0.78f, cy + r * 0.35f, cx + r * 0.78f, cy - r * 0.9f, r * 0.08f),
                 SdSegment(x, y, cx - r * 0.17f, cy - r * 0.7f, cx + r * 0.78f, cy - r * 0.9f, r * 0.14f)});
        };
        DropShadow(img, n, 0, 2, 2, Color{0, 0, 0, 0.5f});
        FillBevel(img, n, c, r * 0.15f, 0.9f);
    } else if (kind == "speaker") {
        std::vector<float> sp = {cx - r * 0.9f,  cy - r * 0.3f,  cx - r * 0.4f,  cy - r * 0.3f,
                                 cx + r * 0.15f, cy - r * 0.85f, cx + r * 0.15f, cy + r * 0.85f,
                                 cx - r * 0.4f,  cy + r * 0.3f,  cx - r * 0.9f,  cy + r * 0.3f};
        auto s = [=](float x, float y) {
            float d = SdPolygon(x, y, sp);
            for (float k : {0.45f, 0.8f}) {
                float a = std::atan2(y - cy, x - (cx + r * 0.05f));
                float ring = SdRing(x, y, cx + r * 0.05f, cy, r * k, r * 0.06f);
                d = std::min(d, std::fabs(a) < 0.8f ? ring : 1e3f);
            }
            return d;
        };
        DropShadow(img, s, 0, 2, 2, Color{0, 0, 0, 0.5f});
        FillBevel(img, s, c, r * 0.15f, 0.9f);
    } else if (kind == "screen") {
        auto s = [=](float x, float y) {
            float frame =
                std::fabs(SdRoundBox(x, y, cx, cy - r * 0.15f, r * 0.95f, r * 0.62f, r * 0.12f)) - r * 0.09f;
            return std::min({frame, SdSegment(x, y, cx, cy + r * 0.5f, cx, cy + r * 0.78f, r * 0.1f),
                             SdRoundBox(x, y, cx, cy + r * 0.85f, r * 0.45f, r * 0.08f, r * 0.05f)});
        };
        DropShadow(img, s, 0, 2, 2, Color{0, 0, 0, 0.5f});
        FillBevel(img, s, c, r * 0.12f, 0.9f);
    } else if (kind == "globe") {
        // a ring with a meridian and two parallels
        auto g = [=](float x, float y) {
            float ring = SdRing(x, y, cx, cy, r * 0.85f, r * 0.09f);
            float meridian = std::fabs(std::hypot((x - cx) * 2.2f, y - cy) - r * 0.85f) - r * 0.09f;
            float equator = SdSegment(x, y, cx - r * 0.85f, cy, cx + r * 0.85f, cy, r * 0.08f);
            float north =
                SdSegment(x, y, cx - r * 0.62f, cy - r * 0.45f, cx + r * 0.62f, cy - r * 0.45f, r * 0.07f);
            float south =
                SdSegment(x, y, cx - r * 0.62f, cy + r * 0.45f, cx + r * 0.62f, cy + r * 0.45f, r * 0.07f);
            return std::min(
                {ring, std::max(meridian, SdCircle(x, y, cx, cy, r * 0.85f)), equator, north, south});
        };
        DropShadow(img, g, 0, 2, 2, Color{0, 0, 0, 0.5f});
        FillBevel(img, g, c, r * 0.12f, 0.9f);
    } else if (kind == "trophy") {
        auto t = [=](float x, float y) {
            float top = cy - r * 0.8f;
            float bowl = std::max(SdCircle(x, y, cx, top, r * 0.72f), top - y); // lower half of a circle
            float rim = SdRoundBox(x, y, cx, top, r * 0.8f, r * 0.09f, r * 0.05f);
            float handles = std::min(SdRing(x, y, cx - r * 0.78f, top + r * 0.2f, r * 0.26f, r * 0.07f),
                                     SdRing(x, y, cx + r * 0.78f, top + r * 0.2f, r * 0.26f, r * 0.07f));
            float stem = SdSegment(x, y, cx, top + r * 0.6f, cx, cy + r * 0.5f, r * 0.11f);
            float base = SdRoundBox(x, y, cx, cy + r * 0.68f, r * 0.5f, r * 0.16f, r * 0.06f);
            return std::min({bowl, rim, handles, stem, base});
        };
        DropShadow(img, t, 0, 3, 3, Color{0, 0, 0, 0.5f});
        FillBevel(img, t, c, r * 0.2f, 0.9f);
    } else if (kind == "question") {
        auto q = [=](float x, float y) {
            float a = std::atan2(y - (cy - r * 0.3f), x - cx);
            float arc = SdRing(x, y, cx, cy - r * 0.3f, r * 0.45f, r * 0.13f);
            arc = (a > 0.3f && a < 2.6f) ? 1e3f : arc;
            return std::min({arc,
                             SdSegment(x, y, cx + r * 0.1f, cy + r * 0.05f, cx, cy + r * 0.35f, r * 0.13f),
                             SdCircle(x, y, cx, cy + r * 0.72f, r * 0.15f)});
        };
        DropShadow(img, q, 0, 2, 2, Color{0, 0, 0, 0.5f});
        FillBevel(img, q, c, r * 0.15f, 0.9f);
    }
}

void Board(Image& img, int n) {
    float cell = float(kBoardSize) / float(n);
    // soft shadow around the board and a dark well
    auto well = [](float x, float y) {
        return SdRoundBox(x, y, kBoardX + 265.f, kBoardY + 265.f, 275, 275, 14);
    };
    ClipScope clip(img, kBoardX - 40, kBoardY - 40, kBoardX + kBoardSize + 40, kBoardY + kBoardSize + 48);
    DropShadow(img, well, 0, 8, 14, Color{0, 0, 0.02f, 0.7f});
    FillShape(img, well, Hex(0x0D1028));
    Color cellC = CellColor();
    for (int cy = 0; cy < n; ++cy)
        for (int cxi = 0; cxi < n; ++cxi) {
            int x0 = int(float(cxi) * cell + kBoardX), x1 = int(float(cxi + 1) * cell + kBoardX);
            int y0 = int(float(cy) * cell + kBoardY), y1 = int(float(cy + 1) * cell + kBoardY);
            bool odd = (cxi + cy) % 2;
            float inset = n > 10 ? 0.5f : 1.0f;
            float hx = float(x1 - x0) / 2 - inset, hy = float(y1 - y0) / 2 - inset;
            float ccx = float(x0 + x1) / 2, ccy = float(y0 + y1) / 2;
            ClipScope clip(img, float(x0), float(y0), float(x1), float(y1));
            auto tile = [=](float x, float y) {
                return SdRoundBox(x, y, ccx, ccy, hx, hy, n > 10 ? 2.5f : 5.f);
            };
            Color base = odd ? Lighten(cellC, 0.035f) : cellC;
            FillShape(img, tile, [=](float x, float y) {
                // a faint dome of light in each cell
                float d = std::hypot(x - ccx, y - ccy - hy * 0.3f) / (hx * 1.4f);
                return Mix(Lighten(base, 0.07f), Darken(base, 0.08f), Clamp01(d));
            });
            // inner shadow along the top and left, light along the bottom
            FillShape(
                img, [=](float x, float y) { return std::max(tile(x, y), -(tile(x, y) + 2.f)); },
                [=](float x, float y) {
                    float top = Clamp01(1 - ((y - float(y0)) + (x - float(x0)) * 0.3f) / 6.f);
                    return Color{0, 0, 0.02f, 0.45f * top};
                });
            FillShape(
                img,
                [=](float x, float y) {
                    return std::max(std::fabs(tile(x, y) + 0.5f) - 0.5f, float(y1) - 3.f - y);
                },
                Hex(0x5A68B0, 0.35f));
        }
}

// A gold rule with diamond finials, the trim the Hud's gliding jewel ("b1") rides along.
void GoldTrim(Image& img, float x0, float x1, float y) {
    ClipScope clip(img, x0 - 10, y - 10, x1 + 10, y + 10);
    auto rule = [=](float x, float yy) { return SdSegment(x, yy, x0 + 6, y, x1 - 6, y, 1.1f); };
    DropShadow(img, rule, 0, 1.5f, 1.5f, Color{0, 0, 0, 0.5f});
    FillShape(img, rule, [=](float, float yy) { return yy < y ? Hex(0xFFE8A0) : kGoldDark; });
    for (float fx : {x0 + 4, x1 - 4}) {
        auto finial = [=](float x, float yy) {
            return SdPolygon(x, yy, {fx - 5, y, fx, y - 5, fx + 5, y, fx, y + 5});
        };
        DropShadow(img, finial, 0, 1.5f, 1.5f, Color{0, 0, 0, 0.5f});
        FillBevel(img, finial, kGold, 2, 0.9f);
    }
}

void SidePanel(Image& img, const std::string& font) {
    GlassPanel(img, 592, 8, 788, 592, 16, 0.78f);
    // level badge, title and score plates
    Plate(img, 634, 16, 746, 60, 20);
    Icon(img, "star", 613, 39, 13);
    Icon(img, "star", 767, 39, 13);
    Plate(img, 604, 126, 776, 168, 12);
    Plate(img, 612, 242, 768, 292, 14);
    Icon(img, "coin", 690, 216, 13);
    // the trim above the menu button, along which the jewel glides (its centre from 649 to 741)
    GoldTrim(img, 606, 774, 392);
    // recess for the menu button
    Plate(img, 614, 400, 763, 465, 14);
    // the name of the game at the foot of the panel, between two fine gold rules: a signature,
    // not a display of anything
    for (float y : {494.f, 566.f}) {
        ClipScope clip(img, 600, y - 2, 780, y + 2);
        FillShape(
            img, [=](float x, float yy) { return SdSegment(x, yy, 622, y, 758, y, 0.6f); },
            [=](float x, float) { return Hex(0xF2C04A, 0.7f * Clamp01(1 - std::fabs(x - 690) / 70)); });
    }
    Title(img, font, "Parlorix", 34, 690, 510);
}

void FrontScreen(Image& img, uint32_t seed, const std::string& font, bool bigLogo) {
    Backdrop(img, seed);
    if (bigLogo) {
        // the bricks stay above the footer line at y 568
        Scatter(img, seed + 1, 20, 120, 190, 515, 7, 24, 70, 0.9f);
        Scatter(img, seed + 2, 610, 120, 780, 515, 7, 24, 70, 0.9f);
        Title(img, font, "Parlorix", 92, 400, 18);
    } else {
        Title(img, font, "Parlorix", 58, 400, 40);
    }
    SliderRail(img);
    BottomBand(img);
}

} // namespace

Framed ScreenPicture(const std::string& name, int w, int h, int frames) {
    Framed out;
    out.matte = kPanelDeep;
    auto single = [&](Image img) { out.frames.push_back(std::move(img)); };
    if (name == "b1") {
        // A jewel on the side panel's gold trim, strung between two gold beads: it glides to and
        // fro as an ornament. Crisp edges, since it is keyed onto the glass around it.
        Image img(w, h);
        const float cx = float(w) / 2, cy = float(h) / 2;
        auto gem = [=](float x, float y) {
            return SdPolygon(x, y,
                             {cx - 13, cy, cx - 5, cy - 7.5f, cx + 5, cy - 7.5f, cx + 13, cy, cx + 5,
                              cy + 7.5f, cx - 5, cy + 7.5f});
        };
        FillShape(
            img, [=](float x, float y) { return gem(x, y) - 1.3f; },
            [=](float, float y) { return Mix(Hex(0xFFF0B0), kGoldDark, Clamp01((y - cy + 8) / 16)); });
        FillShape(img, gem, [=](float x, float) {
            const float a = Clamp01((x - cx + 13) / 26);
            return a < 0.5f ? Mix(Hex(0xFF5AA8), Hex(0xB070FF), a * 2)
                            : Mix(Hex(0xB070FF), Hex(0x40B8FF), a * 2 - 1);
        });
        // facets: a light upper half and a bright table in the middle
        FillShape(
            img, [=](float x, float y) { return std::max(gem(x, y) + 1, y - cy); }, Color{1, 1, 1, 0.3f});
        FillShape(
            img,
            [=](float x, float y) {
                return SdPolygon(x, y, {cx - 4, cy - 1, cx, cy - 4, cx + 4, cy - 1, cx, cy + 2});
            },
            Color{1, 1, 1, 0.45f});
        for (float bx : {cx - 20, cx + 20})
            FillBevel(
                img, [=](float x, float y) { return SdCircle(x, y, bx, cy, 3.2f); }, kGold, 1.5f, 1);
        PaintSparkle(img, cx + 6, cy - 4, 4, Color{1, 1, 1, 1});
        // the glass of the side panel around the trim
        out.matte = Hex(0x1C2147);
        single(img);
    } else if (name == "Red") {
        Image img(w, h);
        float cx = float(w) / 2, cy = float(h) / 2;
        auto box = [=](float x, float y) {
            return SdRoundBox(x, y, cx, cy, float(w) / 2 - 8, float(h) / 2 - 7, float(h) / 2 - 7);
        };
        Image glow(w, h);
        FillShape(glow, box, Hex(0xFF3020));
        Blur(glow, 5);
        Composite(img, glow, 0, 0, 1);
        FillShape(img, box, [=](float, float y) {
            return Mix(Hex(0xFF6A50), Hex(0xB01018), Clamp01((y - 7) / float(h - 14)));
        });
        FillShape(
            img, [=](float x, float y) { return std::fabs(box(x, y) + 1) - 1; }, Hex(0xFFD0A0));
        out.matte = Hex(0x202650);
        single(img);
    } else if (name == "new menu") {
        // The panel over the board. It stands at x 209 with the game's texts centred on 400, so
        // its rim is the same on both sides and the inside is symmetric about the texts; its right
        // 30 columns, the strip it grows out of while sliding, are simply its right end.
        Image img(w, h);
        const float cx = float(w) / 2, cy = float(h) / 2;
        auto body = [=](float x, float y) { return SdRoundBox(x, y, cx, cy, cx - 2, cy - 2, 18); };
        FillShape(img, body,
                  [=](float, float y) { return Mix(Hex(0x323C7C), Hex(0x161B40), Clamp01(y / float(h))); });
        FillShape(
            img, [=](float x, float y) { return std::max(body(x, y), -(body(x, y) + 5)); },
            [=](float, float y) {
                return Color{0.7f, 0.8f, 1, 0.3f * Clamp01(1 - y / 60.f)};
            });
        // a faint pattern of brick symbols
        for (int i = 0; i < 12; ++i) {
            float px = 52 + float(i % 4) * 92, py = 50 + float(i / 4) * 95;
            Pose p;
            Image layer(w, h);
            PaintItem(layer, "Brick" + std::to_string(1 + i % 6), px, py, 44, p);
            Composite(img, layer, 0, 0, 0.07f);
        }
        // a bevelled gold rim all round, with a fine dark line inside it
        FillBevel(
            img, [=](float x, float y) { return std::max(body(x, y), -(body(x, y) + 4.5f)); }, kGold, 2.5f,
            0.9f);
        FillShape(
            img, [=](float x, float y) { return std::fabs(body(x, y) + 5.2f) - 0.5f; }, Hex(0x0A0C20, 0.6f));
        // a rivet in each corner, clear of the texts
        for (float rx : {15.f, float(w) - 15.f})
            for (float ry : {15.f, float(h) - 15.f})
                FillBevel(
                    img, [=](float x, float y) { return SdCircle(x, y, rx, ry, 4); }, Hex(0xFFF0B0), 2, 1);
        out.matte = Hex(0x1C2244);
        single(img);
    } else if (name.rfind("DISAPPEAR", 0) == 0) {
        static const std::string letters = "GPOBRY";
        int colour = int(letters.find(name.back())) + 1;
        Image img(w, h);
        Color c = BrickColor(colour);
        float cx = float(w) / 2, cy = float(h) / 2;
        Image glow(w, h);
        FillShape(
            glow, [=](float x, float y) { return SdRing(x, y, cx, cy, 9.5f, 1.6f); }, Lighten(c, 0.3f));
        Blur(glow, 1.5f);
        Composite(img, glow, 0, 0, 1);
        FillShape(
            img, [=](float x, float y) { return SdRing(x, y, cx, cy, 9.5f, 1.3f); }, Lighten(c, 0.25f));
        for (int k = 0; k < 4; ++k) {
            float a = float(k) * kPi / 2;
            FillShape(
                img,
                [=](float x, float y) {
                    return SdSegment(x, y, cx + std::cos(a) * 8.5f, cy + std::sin(a) * 8.5f,
                                     cx + std::cos(a) * 12.f, cy + std::sin(a) * 12.f, 1.f);
                },
                Lighten(c, 0.4f));
        }
        Pose p;
        p.scale = 0.5f;
        PaintItem(img, "Brick" + std::to_string(colour), cx, cy, 25, p);
        out.matte = CellColor();
        single(img);
    } else if (name == "Butmenu01" || name == "Butmenu02") {
        bool hot = name.back() == '2';
        Image img(w, h);
        float cx = float(w) / 2, cy = float(h) / 2;
        auto pill = [=](float x, float y) {
            return SdRoundBox(x, y, cx, cy - 1, float(w) / 2 - 5, float(h) / 2 - 6, float(h) / 2 - 6);
        };
        DropShadow(img, pill, 0, 3, 3, Color{0, 0, 0, 0.6f});
        if (hot) {
            Image glow(w, h);
            FillShape(glow, pill, Hex(0xFFE070));
            Blur(glow, 4);
            Composite(img, glow, 0, 0, 1);
        }
        Color base = hot ? Hex(0x46B0FF) : Hex(0x2F7FDB);
        FillBevel(img, pill, base, 7, 1);
        FillShape(
            img, [=](float x, float y) { return std::max(pill(x, y) + 3, y - cy + 2); },
            Color{1, 1, 1, hot ? 0.35f : 0.25f});
        FillShape(
            img, [=](float x, float y) { return std::fabs(pill(x, y) + 1) - 1; },
            hot ? Hex(0xFFF4C0) : Hex(0xE8C060));
        // pause symbol and three dots: "menu"
        auto sym = [=](float x, float y) {
            return std::min({SdRoundBox(x, y, cx - 28, cy - 1, 3.5f, 11, 1.5f),
                             SdRoundBox(x, y, cx - 16, cy - 1, 3.5f, 11, 1.5f),
                             SdCircle(x, y, cx + 6, cy - 1, 4), SdCircle(x, y, cx + 20, cy - 1, 4),
                             SdCircle(x, y, cx + 34, cy - 1, 4)});
        };
        DropShadow(img, sym, 0, 1.5f, 1.5f, Color{0, 0.1f, 0.3f, 0.7f});
        FillBevel(img, sym, Hex(0xFFFFFF), 2, 0.5f);
        out.matte = Hex(0x10153A);
        single(img);
    } else if (name == "begunok") {
        Image img(w, h);
        float cx = float(w) / 2, cy = float(h) / 2;
        auto gem = [=](float x, float y) {
            return SdRoundBox(x, y, cx, cy, float(w) / 2 - 7, float(h) / 2 - 6, float(h) / 2 - 6);
        };
        Image glow(w, h);
        FillShape(glow, gem, Hex(0xFF70D0));
        Blur(glow, 4);
        Composite(img, glow, 0, 0, 1);
        FillShape(img, gem, [=](float x, float) {
            float a = (x - 7) / float(w - 14);
            Color c = a < 0.5f ? Mix(Hex(0xFF5AA8), Hex(0xB070FF), a * 2)
                               : Mix(Hex(0xB070FF), Hex(0x40B8FF), a * 2 - 1);
            return c;
        });
        FillBevel(img, gem, Color{1, 1, 1, 0}, 5, 1);
        FillShape(
            img, [=](float x, float y) { return std::max(gem(x, y) + 2, y - cy + 1); }, Color{1, 1, 1, 0.4f});
        PaintSparkle(img, cx + 12, cy - 4, 7, Color{1, 1, 1, 1});
        out.matte = Hex(0x0A0D24);
        single(img);
    } else if (name == "kursor") {
        Image img(w, h);
        // an arrow with its tip at (1, 1)
        std::vector<float> arrow = {1.5f, 1.5f, 1.5f, 24, 7.5f, 18.5f, 12, 28, 16.5f, 26, 12.5f, 17, 20, 17};
        auto a = [=](float x, float y) { return SdPolygon(x, y, arrow); };
        DropShadow(img, a, 1.5f, 2, 1.5f, Color{0, 0, 0, 0.6f});
        FillShape(
            img, [=](float x, float y) { return a(x, y) - 1.2f; }, Hex(0x1A1030));
        FillShape(img, a, [](float, float y) { return Mix(Hex(0xFFF8D8), Hex(0xF2B840), Clamp01(y / 26)); });
        out.matte = Hex(0x1C2244);
        single(img);
    } else if (name == "CellCursor" || name == "CellCursorSmall") {
        // The keyboard's cell cursor: a glowing gold frame around the cell's edge with brighter
        // corner brackets, leaving the brick inside in plain view.
        const bool small = name == "CellCursorSmall";
        Image img(w, h);
        const float c = float(w) / 2, half = c - (small ? 2.5f : 3.5f), width = small ? 1.2f : 1.8f;
        const float radius = small ? 4 : 8;
        auto ring = [=](float x, float y) {
            return std::fabs(SdRoundBox(x, y, c, c, half, half, radius)) - width;
        };
        // Corner brackets: the ring where it is near a corner, a little thicker.
        const float arm = small ? 8 : 15;
        auto corners = [=](float x, float y) {
            const float dx = std::fabs(x - c), dy = std::fabs(y - c);
            const float nearCorner = std::max(half - arm - dx, half - arm - dy);
            return std::max(std::fabs(SdRoundBox(x, y, c, c, half, half, radius)) - width - 1.f, nearCorner);
        };
        Image glow(w, h);
        FillShape(glow, ring, Hex(0xFFD860));
        Blur(glow, small ? 1.5f : 2.5f);
        Composite(img, glow, 0, 0, 1);
        FillShape(img, ring,
                  [=](float, float y) { return Mix(Hex(0xFFF0B0), kGold, Clamp01(y / float(h))); });
        FillShape(img, corners,
                  [=](float, float y) { return Mix(Hex(0xFFFFFF), Hex(0xFFE08A), Clamp01(y / float(h))); });
        out.matte = CellColor();
        single(img);
    } else if (name.rfind("s_", 0) == 0) {
        // preview pieces: r, g, y; "app" grows in 3 frames, "sel" blinks in 2
        char col = name[2];
        int colour = col == 'r' ? 5 : col == 'g' ? 1 : 6;
        bool sel = name.find("sel") != std::string::npos;
        for (int i = 0; i < frames; ++i) {
            Image img(w, h);
            Pose p;
            if (sel) {
                if (i == 0) {
                    FillShape(
                        img, [](float x, float y) { return SdRoundBox(x, y, 7.5f, 7.5f, 7, 7, 3); },
                        Hex(0xFFF0A0));
                    p.flash = 0.25f;
                }
            } else {
                p.scale = i == 0 ? 0.45f : i == 1 ? 0.75f : 1.f;
                p.flash = i == 0 ? 0.5f : i == 1 ? 0.2f : 0.f;
            }
            Image layer(w, h);
            PaintItem(layer, "Brick" + std::to_string(colour), 7.5f, 7.5f, sel && i == 0 ? 13.5f : 15.f, p);
            if (p.flash > 0)
                for (auto& c : layer.px) {
                    c.r += (c.a - c.r) * p.flash;
                    c.g += (c.a - c.g) * p.flash;
                    c.b += (c.a - c.b) * p.flash;
                }
            Composite(img, layer, 0, 0, 1);
            out.frames.push_back(std::move(img));
        }
        out.matte = Hex(0x10142E);
    } else if (name == "quarta") {
        Image img(w, h);
        float c = float(w) / 2;
        auto frame = [=](float x, float y) { return SdRoundBox(x, y, c, c, c - 2, c - 2, 10); };
        auto hole = [=](float x, float y) { return SdRoundBox(x, y, c, c, 27, 27, 6); };
        DropShadow(img, frame, 0, 2, 2, Color{0, 0, 0, 0.5f});
        FillBevel(
            img, [=](float x, float y) { return std::max(frame(x, y), -hole(x, y)); }, kGold, 5, 1);
        FillShape(img, hole,
                  [=](float, float y) { return Mix(Hex(0x0C1030), Hex(0x1C2450), Clamp01((y - 10) / 54)); });
        FillShape(
            img, [=](float x, float y) { return std::max(hole(x, y), -(hole(x, y) + 3)); },
            Color{0, 0, 0, 0.4f});
        out.matte = kHelpInner;
        single(img);
    } else if (name == "coin" || name == "metla_new" || name == "COLORCUT2" || name == "sphere" ||
               name == "Switch" || name == "clocks" || name == "BOMB_app") {
        out.frames = HelpFrames(name, w, h, frames);
        out.matte = Hex(0x141A3E); // the inside of the frame picture
    } else {
        throw std::runtime_error("no painter for picture " + name);
    }
    if (int(out.frames.size()) != frames) throw std::runtime_error("frame count of " + name);
    for (const Image& f : out.frames)
        if (f.w != w || f.h != h) throw std::runtime_error("size of " + name);
    return out;
}

Image Background(const std::string& name, int w, int h, const std::string& font) {
    Image img(w, h);
    uint32_t seed = 0;
    for (char c : name)
        seed = seed * 31 + uint32_t(c);
    if (name == "Title") {
        FrontScreen(img, 11, font, true);
        // tall enough for the Continue line above the five items, when a game is left to continue
        GlassPanel(img, 272, 170, 528, 430, 22, 0.6f);
    } else if (name == "GameSelect") {
        FrontScreen(img, 12, font, false);
        // Plates that hold the previews (x0, y0, x1, y1) and the previews' origins (ox, oy): each
        // plate covers its preview's pieces, the frames stay clear of the name plates between the
        // rows and of the footer line.
        struct Box {
            float x0, y0, x1, y1, ox, oy;
        };
        const Box boxes[] = {{45, 399, 203, 548, 46, 393},
                             {207, 187, 366, 343, 207, 188},
                             {437, 187, 596, 347, 437, 188},
                             {592, 399, 751, 555, 575, 425}};
        for (Box b : boxes) {
            GlassPanel(img, b.x0 - 8, b.y0 - 6, b.x1 + 8, b.y1 + 5, 14, 0.9f);
            Plate(img, b.x0, b.y0, b.x1, b.y1, 8);
            // the previews move on a 16-pixel grid: show it faintly
            ClipScope clip(img, b.x0, b.y0, b.x1, b.y1);
            for (int k = 0; k < 12; ++k) {
                float gx = b.ox + float(k) * 16 - 0.5f, gy = b.oy + float(k) * 16 - 0.5f;
                FillShape(
                    img,
                    [=](float x, float y) {
                        return std::max({std::fabs(x - gx) - 0.5f, b.x0 + 3 - x, x - b.x1 + 3, b.y0 + 3 - y,
                                         y - b.y1 + 3});
                    },
                    Hex(0x5060A0, 0.18f));
                FillShape(
                    img,
                    [=](float x, float y) {
                        return std::max({std::fabs(y - gy) - 0.5f, b.y0 + 3 - y, y - b.y1 + 3, b.x0 + 3 - x,
                                         x - b.x1 + 3});
                    },
                    Hex(0x5060A0, 0.18f));
            }
        }
        // name plates of the four games, each between the frames above and below it
        struct Label {
            float x0, x1;
        };
        for (Label l : {Label{62, 198}, Label{213, 357}, Label{456, 584}, Label{606, 734}})
            GlassPanel(img, l.x0, 355, l.x1, 391, 17, 0.75f, false);
        GlassPanel(img, 330, 500, 470, 545, 22, 0.6f, false);
    } else if (name == "Help") {
        FrontScreen(img, 13, font, false);
        // The text panel ends above the row of Previous, Back and Next, which sit on plates of
        // their own below it.
        GlassPanel(img, 140, 178, 660, 494, 20, 0.86f);
        GlassPanel(img, 40, 500, 220, 544, 22, 0.6f, false);
        GlassPanel(img, 580, 500, 760, 544, 22, 0.6f, false);
        GlassPanel(img, 330, 515, 470, 560, 22, 0.6f, false);
        Icon(img, "question", 112, 215, 22);
        Icon(img, "question", 688, 215, 22);
    } else if (name == "Options") {
        FrontScreen(img, 14, font, false);
        GlassPanel(img, 110, 188, 690, 422, 20, 0.82f);
        const char* icons[] = {"music", "speaker", "screen", "globe"};
        for (int i = 0; i < 4; ++i) {
            float y = 209 + float(i) * 50;
            ClipScope clip(img, 100, y - 10, 700, y + 50);
            FillShape(
                img, [=](float x, float yy) { return SdRoundBox(x, yy, 400, y + 21, 275, 21, 12); },
                Hex(0x0E1230, 0.55f));
            Icon(img, icons[i], 148, y + 21, 15);
            // the language's name is wider than a number, and On or Off (no - and + beside them)
            // wider than a volume
            if (i == 3)
                Plate(img, 490, y + 2, 670, y + 40, 10);
            else if (i == 2)
                Plate(img, 484, y + 2, 596, y + 40, 10);
            else
                Plate(img, 510, y + 2, 570, y + 40, 10);
        }
        // wide enough for "Save and exit" at its highlighted size, clear of the rounded ends
        GlassPanel(img, 260, 505, 540, 552, 22, 0.6f, false);
    } else if (name == "Board10" || name == "Board20") {
        Backdrop(img, name == "Board10" ? 21 : 22);
        int n = name == "Board10" ? 10 : 20;
        Board(img, n);
        SidePanel(img, font);
    } else if (name == "PostScores") {
        // no logo: the form's own title sits at the top
        Backdrop(img, 15);
        SliderRail(img);
        BottomBand(img);
        GlassPanel(img, 250, 86, 550, 146, 24, 0.6f, false);
        GlassPanel(img, 130, 180, 670, 480, 20, 0.84f);
        Icon(img, "trophy", 400, 212, 22);
        for (int i = 0; i < 3; ++i) {
            float y = 250 + float(i) * 50;
            Plate(img, 392, y - 4, 650, y + 34, 10);
        }
        GlassPanel(img, 320, 445, 480, 490, 22, 0.6f, false);
    } else if (name.rfind("HiScores", 0) == 0) {
        int active = name.back() - '1';
        FrontScreen(img, 16, font, false);
        const float tabs[] = {205, 335, 465, 595};
        // inactive tabs first, then the table panel, then the active tab joined to it
        for (int i = 0; i < 4; ++i)
            if (i != active) GlassPanel(img, tabs[i] - 62, 172, tabs[i] + 62, 222, 14, 0.55f, false);
        // the table panel and the active tab are one piece of glass under one gold rim, the tab
        // rising out of the panel's top edge with rounded inner corners
        const float ax = tabs[active];
        auto table = [](float x, float y) { return SdRoundBox(x, y, 400, 353, 270, 145, 18); };
        // an end tab is flush with the panel's side, so the side runs straight up into it
        const float left = ax - 64 < 150 ? 130 : ax - 64, right = ax + 64 > 650 ? 670 : ax + 64;
        auto tab = [=](float x, float y) {
            return SdRoundBox(x, y, (left + right) / 2, 204, (right - left) / 2, 36, 14);
        };
        GlassShape(
            img,
            [=](float x, float y) {
                // the fillets only where the tab's side meets the panel's top; a flush side stays
                // straight
                const float mid = (left + right) / 2;
                const bool flush = (left == 130 && x < mid) || (right == 670 && x > mid);
                return flush ? std::min(table(x, y), tab(x, y)) : SmoothUnion(table(x, y), tab(x, y), 12);
            },
            130, 168, 670, 498, 0.86f, true);
        Icon(img, "trophy", 100, 190, 20);
        Icon(img, "trophy", 700, 190, 20);
        // faint stripes behind the five rows of the table
        for (int r = 0; r < 5; ++r) {
            float y = 248 + float(r) * 45;
            ClipScope clip(img, 140, y - 2, 660, y + 38);
            FillShape(
                img, [=](float x, float yy) { return SdRoundBox(x, yy, 400, y + 17, 248, 17, 8); },
                Hex(0x8090FF, r % 2 ? 0.05f : 0.09f));
        }
        GlassPanel(img, 330, 515, 470, 560, 22, 0.6f, false);
    } else {
        throw std::runtime_error("no background " + name);
    }
    (void)seed;
    return img;
}

Image Element(const std::string& name, int w, int h) {
    Image img(w, h);
    if (name == "BoardFrame") {
        // a gold frame around the board; placed at (18, 21) so that its hole is the 530-pixel board
        float c = float(w) / 2;
        auto outer = [=](float x, float y) { return SdRoundBox(x, y, c, c, c - 1, c - 1, 18); };
        auto inner = [=](float x, float y) { return SdRoundBox(x, y, c, c, 266, 266, 6); };
        FillBevel(
            img, [=](float x, float y) { return std::max(outer(x, y), -inner(x, y)); }, kGold, 7, 1.f);
        FillShape(
            img,
            [=](float x, float y) {
                return std::max(std::fabs(SdRoundBox(x, y, c, c, c - 7, c - 7, 13)) - 0.7f, -inner(x, y));
            },
            kGoldDark, 0.8f);
        for (float px : {10.f, float(w) - 10.f})
            for (float py : {10.f, float(h) - 10.f})
                FillBevel(
                    img,
                    [=](float x, float y) { return SdPolygon(x, y, StarPoints(px, py, 9, 0.45f, 4, 0)); },
                    Hex(0xFFF4C0), 3, 1);
    } else if (name == "Sparkle") {
        float c = float(w) / 2;
        FillShape(
            img, [=](float x, float y) { return SdPolygon(x, y, StarPoints(c, c, c - 2, 0.16f, 4, 0)); },
            [=](float x, float y) {
                return Mix(Hex(0xFFFFFF), Hex(0xFFD870), Clamp01(std::hypot(x - c, y - c) / c));
            });
        FillShape(
            img,
            [=](float x, float y) { return SdPolygon(x, y, StarPoints(c, c, c * 0.45f, 0.2f, 4, kPi / 4)); },
            Hex(0xFFF8E0));
    } else if (name == "Gem") {
        float c = float(w) / 2;
        std::vector<float> hex = RegularPoints(c, c, c - 3, 6, kPi / 6);
        auto g = [=](float x, float y) { return SdPolygon(x, y, hex); };
        FillBevel(img, g, Hex(0xC050F0), 12, 1);
        FillShape(
            img,
            [=](float x, float y) { return SdPolygon(x, y, RegularPoints(c, c, c * 0.45f, 6, kPi / 6)); },
            Hex(0xE8A0FF, 0.8f));
        FillShape(
            img, [=](float x, float y) { return std::fabs(g(x, y) + 1) - 1; }, Hex(0x5A1880));
    } else {
        throw std::runtime_error("no element " + name);
    }
    return img;
}

Image LightMap(int size) {
    Image img(size, size);
    float c = float(size) / 2;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float d = std::hypot(float(x) + 0.5f - c, float(y) + 0.5f - c) / c;
            float v = Clamp01(1 - d);
            v = v * v * (3 - 2 * v);
            img.at(x, y) = {v, v, v, v};
        }
    return img;
}

} // namespace Pics
