#include "Items.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

using namespace Gen;

namespace Pics {

namespace {

float Rot(float& x, float& y, float cx, float cy, float a) {
    float dx = x - cx, dy = y - cy, c = std::cos(a), s = std::sin(a);
    x = cx + dx * c - dy * s;
    y = cy + dx * s + dy * c;
    return 0;
}

Color Hsv(float h, float s, float v) {
    h = h - std::floor(h);
    float i = std::floor(h * 6), f = h * 6 - i;
    float p = v * (1 - s), q = v * (1 - f * s), t = v * (1 - (1 - f) * s);
    switch (int(i) % 6) {
    case 0:
        return {v, t, p, 1};
    case 1:
        return {q, v, p, 1};
    case 2:
        return {p, v, t, 1};
    case 3:
        return {p, q, v, 1};
    case 4:
        return {t, p, v, 1};
    default:
        return {v, p, q, 1};
    }
}

float EaseOutBack(float t) {
    const float c1 = 1.70158f, c3 = c1 + 1;
    return 1 + c3 * std::pow(t - 1, 3.f) + c1 * std::pow(t - 1, 2.f);
}

// The symbol of each colour, so that colours can be told apart without seeing them.
float SymbolSdf(int colour, float x, float y, float cx, float cy, float r) {
    switch (colour) {
    case 1: { // leaf: two arcs meeting in points, tilted
        float px = x, py = y;
        Rot(px, py, cx, cy, -kPi / 4);
        float off = r * 0.62f, R = r * 1.08f;
        float d = std::max(SdCircle(px, py, cx - off, cy, R), SdCircle(px, py, cx + off, cy, R));
        return d;
    }
    case 2: { // diamond
        std::vector<float> v = {cx, cy - r * 1.08f, cx + r * 0.8f, cy, cx, cy + r * 1.08f, cx - r * 0.8f, cy};
        return SdPolygon(x, y, v) - r * 0.04f;
    }
    case 3: // triangle, slightly rounded
        return SdPolygon(x, y, RegularPoints(cx, cy + r * 0.15f, r * 0.95f, 3, 0)) - r * 0.1f;
    case 4: // drop
        return SdPolygon(x, y, DropPoints(cx, cy + r * 0.05f, r * 0.98f));
    case 5: // heart
        return SdPolygon(x, y, HeartPoints(cx, cy, r * 0.98f));
    default: // star
        return SdPolygon(x, y, StarPoints(cx, cy + r * 0.05f, r * 1.08f, 0.47f, 5, 0)) - r * 0.03f;
    }
}

void PaintBrick(Image& img, int colour, float cx, float cy, float s, const Pose& p) {
    Color base = BrickColor(colour);
    float hw = s * 0.44f * p.sx, hh = s * 0.44f * p.sy, rad = s * 0.2f;
    auto body = [=](float x, float y) { return SdRoundBox(x, y, cx, cy, hw, hh, rad); };
    DropShadow(img, body, 0, s * 0.05f, std::max(1.5f, s * 0.07f), Color{0.02f, 0.02f, 0.06f, 0.55f});
    FillBevel(img, body, base, std::max(2.f, s * 0.13f), 0.9f);
    // A soft light from the top of the face, and a darker foot.
    FillShape(img, body, [=](float, float y) {
        float t = (y - (cy - hh)) / (2 * hh);
        return t < 0.5f ? Color{1, 1, 1, 0.22f * (1 - t * 2)} : Color{0, 0, 0.05f, 0.18f * (t - 0.5f) * 2};
    });
    // Symbol: pressed into the face, lighter than it.
    float r = s * 0.225f;
    auto sym = [=](float x, float y) { return SymbolSdf(colour, x, y, cx, cy + s * 0.01f, r); };
    DropShadow(img, sym, s * 0.012f, s * 0.025f, std::max(1.f, s * 0.03f), Darken(base, 0.55f));
    FillBevel(img, sym, Lighten(base, colour == 6 ? 0.7f : 0.55f), std::max(1.f, s * 0.05f), 0.6f);
    // Glossy sheen over the upper half.
    auto sheen = [=](float x, float y) {
        return std::max(body(x, y) + s * 0.05f, SdCircle(x, y, cx - s * 0.05f, cy - s * 0.62f, s * 0.55f));
    };
    FillShape(img, sheen, [=](float, float y) {
        float t = Clamp01((y - (cy - hh)) / hh);
        return Color{1, 1, 1, 0.32f * (1 - t)};
    });
    if (p.glint > -1.5f) {
        float g = p.glint * s * 0.75f, w = s * 0.12f;
        auto band = [=](float x, float y) {
            float u = ((x - cx) + (y - cy)) * 0.7071f;
            return std::max(body(x, y), std::fabs(u - g) - w);
        };
        FillShape(img, band, [=](float x, float y) {
            float u = ((x - cx) + (y - cy)) * 0.7071f;
            return Color{1, 1, 0.95f, 0.5f * (1 - std::fabs(u - g) / w)};
        });
    }
    // Thin dark rim to separate neighbours.
    FillShape(
        img, [=](float x, float y) { return std::fabs(body(x, y) + 0.5f) - 0.5f; }, Darken(base, 0.6f), 0.5f);
}

void PaintCoin(Image& img, float cx, float cy, float s, float spin, float shine) {
    // spin: 0..1 one full turn (the face narrows to an edge and widens again)
    float c = std::cos(spin * 2 * kPi);
    float wx = std::max(0.08f, std::fabs(c));
    float R = s * 0.38f;
    Color gold = Hex(0xF4B63B), dark = Hex(0xB0700F);
    bool back = c < 0;
    float thick = s * 0.06f * std::sqrt(1 - wx * wx) + s * 0.015f;
    auto face = [=](float x, float y) {
        return std::hypot((x - cx) / wx, y - cy) * std::min(1.f, wx * 1.4f + 0.2f) - R;
    };
    auto edge = [=](float x, float y) {
        return std::hypot((x - cx - thick * (back ? -1 : 1)) / wx, y - cy) * std::min(1.f, wx * 1.4f + 0.2f) -
               R;
    };
    DropShadow(img, face, 0, s * 0.05f, s * 0.06f, Color{0, 0, 0.05f, 0.5f});
    FillShape(
        img,
        [=](float x, float y) {
            return std::min(edge(x, y),
                            std::max(std::fabs(x - cx - thick * 0.5f * (back ? -1 : 1)) - thick * 0.5f,
                                     std::fabs(y - cy) - R * 0.98f));
        },
        dark);
    FillBevel(img, face, gold, s * 0.09f, 0.9f);
    // inner ring and an embossed star
    auto ring = [=](float x, float y) { return std::fabs(face(x, y) + R * 0.22f) - s * 0.012f; };
    FillShape(img, ring, Hex(0xC98A1C), 0.8f);
    if (wx > 0.25f) {
        auto star = [=](float x, float y) {
            return SdPolygon(cx + (x - cx) / wx, y, StarPoints(cx, cy + s * 0.01f, R * 0.5f, 0.46f, 5, 0));
        };
        DropShadow(img, star, s * 0.01f, s * 0.02f, 1.f, Hex(0x9A5E08, 0.8f));
        FillBevel(img, star, Hex(0xFFD66B), s * 0.04f, 0.7f);
    }
    FillShape(
        img,
        [=](float x, float y) {
            return std::max(face(x, y), SdCircle(x, y, cx - R * 0.3f, cy - R * 0.9f, R * 0.9f));
        },
        Color{1, 1, 0.9f, 0.25f});
    if (shine > 0)
        PaintSparkle(img, cx + R * 0.45f, cy - R * 0.5f, s * 0.16f * shine, Color{1, 1, 0.92f, 1}, shine);
}

void PaintBomb(Image& img, float cx, float cy, float s, float phase, float fuseLeft) {
    float R = s * 0.33f;
    float by = cy + s * 0.06f;
    auto ball = [=](float x, float y) { return SdCircle(x, y, cx, by, R); };
    DropShadow(img, ball, 0, s * 0.05f, s * 0.06f, Color{0, 0, 0.05f, 0.55f});
    FillBevel(img, ball, Hex(0x2B3350), s * 0.16f, 1.0f);
    FillShape(
        img,
        [=](float x, float y) {
            return std::max(ball(x, y), SdCircle(x, y, cx - R * 0.35f, by - R * 0.45f, R * 0.35f));
        },
        Color{0.75f, 0.82f, 1, 0.35f});
    // cap and fuse
    float capX = cx + R * 0.5f, capY = by - R * 0.82f;
    auto cap = [=](float x, float y) {
        float px = x, py = y;
        Rot(px, py, capX, capY, -0.6f);
        return SdRoundBox(px, py, capX, capY, s * 0.08f, s * 0.06f, s * 0.02f);
    };
    FillBevel(img, cap, Hex(0x8A90A0), s * 0.03f, 0.8f);
    float fx0 = capX + s * 0.04f, fy0 = capY - s * 0.04f;
    float fx1 = fx0 + s * 0.1f * fuseLeft, fy1 = fy0 - s * 0.12f * fuseLeft;
    if (fuseLeft > 0.05f)
        FillShape(
            img, [=](float x, float y) { return SdSegment(x, y, fx0, fy0, fx1, fy1, s * 0.025f); },
            Hex(0xC9A26B));
    float pulse = 0.75f + 0.25f * std::sin(phase * 2 * kPi * 3);
    Image glow(img.w, img.h);
    FillShape(
        glow, [=](float x, float y) { return SdCircle(x, y, fx1, fy1, s * 0.07f * pulse); }, Hex(0xFFB030));
    Blur(glow, s * 0.08f);
    Composite(img, glow, 0, 0, 0.9f);
    PaintSparkle(img, fx1, fy1, s * 0.13f * pulse, Hex(0xFFF2A0), phase * kPi);
}

void PaintClock(Image& img, float cx, float cy, float s, float phase, float shake) {
    float R = s * 0.31f;
    float ccx = cx + shake, ccy = cy + s * 0.05f;
    auto bellL = [=](float x, float y) {
        return SdCircle(x, y, ccx - R * 0.75f, ccy - R * 0.95f, R * 0.34f);
    };
    auto bellR = [=](float x, float y) {
        return SdCircle(x, y, ccx + R * 0.75f, ccy - R * 0.95f, R * 0.34f);
    };
    auto legs = [=](float x, float y) {
        return std::min(
            SdSegment(x, y, ccx - R * 0.55f, ccy + R * 0.8f, ccx - R * 0.8f, ccy + R * 1.2f, s * 0.03f),
            SdSegment(x, y, ccx + R * 0.55f, ccy + R * 0.8f, ccx + R * 0.8f, ccy + R * 1.2f, s * 0.03f));
    };
    auto body = [=](float x, float y) { return SdCircle(x, y, ccx, ccy, R); };
    auto all = [=](float x, float y) { return std::min({body(x, y), bellL(x, y), bellR(x, y), legs(x, y)}); };
    DropShadow(img, all, 0, s * 0.05f, s * 0.06f, Color{0, 0, 0.05f, 0.5f});
    FillBevel(img, legs, Hex(0x8C2030), s * 0.03f, 0.5f);
    FillBevel(img, bellL, Hex(0xF0C040), s * 0.06f, 0.9f);
    FillBevel(img, bellR, Hex(0xF0C040), s * 0.06f, 0.9f);
    FillBevel(img, body, Hex(0xD8343F), s * 0.08f, 0.9f);
    auto face = [=](float x, float y) { return SdCircle(x, y, ccx, ccy, R * 0.74f); };
    FillShape(img, face, [=](float, float y) {
        return Mix(Hex(0xFFFFFF), Hex(0xE6E0D0), Clamp01((y - ccy + R) / (2 * R)));
    });
    for (int i = 0; i < 12; ++i) {
        float a = float(i) / 12 * 2 * kPi;
        float r0 = R * (i % 3 == 0 ? 0.5f : 0.58f), r1 = R * 0.66f;
        FillShape(
            img,
            [=](float x, float y) {
                return SdSegment(x, y, ccx + std::sin(a) * r0, ccy - std::cos(a) * r0, ccx + std::sin(a) * r1,
                                 ccy - std::cos(a) * r1, s * 0.008f + (i % 3 == 0 ? s * 0.006f : 0));
            },
            Hex(0x303040));
    }
    float am = phase * 2 * kPi, ah = phase * 2 * kPi / 12 + 2.f;
    FillShape(
        img,
        [=](float x, float y) {
            return SdSegment(x, y, ccx, ccy, ccx + std::sin(ah) * R * 0.36f, ccy - std::cos(ah) * R * 0.36f,
                             s * 0.022f);
        },
        Hex(0x202030));
    FillShape(
        img,
        [=](float x, float y) {
            return SdSegment(x, y, ccx, ccy, ccx + std::sin(am) * R * 0.56f, ccy - std::cos(am) * R * 0.56f,
                             s * 0.014f);
        },
        Hex(0x202030));
    FillShape(
        img, [=](float x, float y) { return SdCircle(x, y, ccx, ccy, s * 0.03f); }, Hex(0xD8343F));
    FillShape(
        img,
        [=](float x, float y) {
            return std::max(face(x, y), SdCircle(x, y, ccx - R * 0.3f, ccy - R * 0.8f, R * 0.7f));
        },
        Color{1, 1, 1, 0.3f});
}

void PaintRainbow(Image& img, float cx, float cy, float s, float phase) {
    float R = s * 0.36f;
    auto orb = [=](float x, float y) { return SdCircle(x, y, cx, cy, R); };
    DropShadow(img, orb, 0, s * 0.05f, s * 0.06f, Color{0, 0, 0.05f, 0.5f});
    FillShape(img, orb, [=](float x, float y) {
        float a = std::atan2(y - cy, x - cx) / (2 * kPi) + phase;
        float d = std::hypot(x - cx, y - cy) / R;
        Color c = Hsv(a, 0.85f - 0.5f * (1 - d) * (1 - d), 1.f);
        return Mix(c, Color{1, 1, 1, 1}, Clamp01(0.6f - d) * 0.9f);
    });
    FillBevel(img, orb, Color{1, 1, 1, 0.0f}, s * 0.1f, 1.f);
    // Rim light and gloss
    FillShape(
        img, [=](float x, float y) { return std::fabs(orb(x, y) + s * 0.02f) - s * 0.02f; },
        Color{1, 1, 1, 0.5f});
    FillShape(
        img,
        [=](float x, float y) {
            return std::max(orb(x, y), SdCircle(x, y, cx - R * 0.25f, cy - R * 0.75f, R * 0.6f));
        },
        Color{1, 1, 1, 0.45f});
    PaintSparkle(img, cx + R * 0.4f, cy + R * 0.35f, s * 0.12f * (0.6f + 0.4f * std::sin(phase * 2 * kPi)),
                 Color{1, 1, 1, 1});
}

void PaintSwitch(Image& img, float cx, float cy, float s, float phase) {
    float R = s * 0.36f;
    auto orb = [=](float x, float y) { return SdCircle(x, y, cx, cy, R); };
    DropShadow(img, orb, 0, s * 0.05f, s * 0.06f, Color{0, 0, 0.05f, 0.5f});
    FillBevel(img, orb, Hex(0x18A8B8), s * 0.1f, 1.f);
    FillShape(img, orb, [=](float, float y) {
        return Color{0.6f, 1, 1, 0.25f * Clamp01((cy - y) / R + 0.3f)};
    });
    // two arrows chasing each other around the centre
    float rr = R * 0.55f, w = s * 0.045f;
    for (int k = 0; k < 2; ++k) {
        float a0 = phase * 2 * kPi + float(k) * kPi;
        auto arc = [=](float x, float y) {
            float a = std::atan2(y - cy, x - cx) - a0;
            a = a - 2 * kPi * std::floor(a / (2 * kPi));
            float d = std::fabs(std::hypot(x - cx, y - cy) - rr) - w;
            return a < 2.2f ? d : std::max(d, 1.f + (a - 2.2f) * 20.f);
        };
        float ha = a0 + 2.2f;
        float hx = cx + std::cos(ha) * rr, hy = cy + std::sin(ha) * rr;
        float tx = -std::sin(ha), ty = std::cos(ha);
        float nx = std::cos(ha), ny = std::sin(ha);
        std::vector<float> head = {hx + tx * s * 0.11f, hy + ty * s * 0.11f, hx + nx * s * 0.1f,
                                   hy + ny * s * 0.1f,  hx - nx * s * 0.1f,  hy - ny * s * 0.1f};
        auto arrow = [=](float x, float y) { return std::min(arc(x, y), SdPolygon(x, y, head)); };
        DropShadow(img, arrow, s * 0.01f, s * 0.02f, 1.f, Color{0, 0.2f, 0.3f, 0.6f});
        FillShape(img, arrow, Hex(0xF4FFFF));
    }
    FillShape(
        img,
        [=](float x, float y) {
            return std::max(orb(x, y), SdCircle(x, y, cx - R * 0.25f, cy - R * 0.8f, R * 0.6f));
        },
        Color{1, 1, 1, 0.35f});
}

void PaintBroom(Image& img, float cx, float cy, float s, float tilt) {
    // The fan of straw is wider than the handle: shift and shrink a little so both stay in the cell.
    cx += s * 0.05f;
    cy -= s * 0.04f;
    s *= 0.9f;
    // Handle from the top right to the middle, straw fanning out to the bottom left.
    float a = -0.75f + tilt;
    float ux = std::cos(a), uy = std::sin(a); // along the handle, toward the top right
    float hx0 = cx + ux * s * 0.42f, hy0 = cy + uy * s * 0.42f;
    float bx = cx - ux * s * 0.02f, by = cy - uy * s * 0.02f;
    auto handle = [=](float x, float y) { return SdSegment(x, y, hx0, hy0, bx, by, s * 0.04f); };
    // straw: a fan (triangle with rounded bottom) pointing away from the handle
    float px = -uy, py = ux;
    float tipx = bx - ux * s * 0.42f, tipy = by - uy * s * 0.42f;
    std::vector<float> fan = {bx + px * s * 0.07f,   by + py * s * 0.07f,   bx - px * s * 0.07f,
                              by - py * s * 0.07f,   tipx - px * s * 0.22f, tipy - py * s * 0.22f,
                              tipx + px * s * 0.22f, tipy + py * s * 0.22f};
    auto straw = [=](float x, float y) { return SdPolygon(x, y, fan) - s * 0.02f; };
    auto all = [=](float x, float y) { return std::min(handle(x, y), straw(x, y)); };
    DropShadow(img, all, 0, s * 0.05f, s * 0.05f, Color{0, 0, 0.05f, 0.5f});
    FillBevel(img, handle, Hex(0x9A5B2E), s * 0.04f, 0.7f);
    FillBevel(img, straw, Hex(0xE9C25A), s * 0.07f, 0.5f);
    // straw lines
    for (int i = -3; i <= 3; ++i) {
        float t = float(i) / 3.f;
        float ex = tipx + px * s * 0.2f * t, ey = tipy + py * s * 0.2f * t;
        FillShape(
            img,
            [=](float x, float y) {
                return std::max(
                    SdSegment(x, y, bx + px * s * 0.05f * t, by + py * s * 0.05f * t, ex, ey, s * 0.007f),
                    straw(x, y));
            },
            Hex(0xB88A2A), 0.8f);
    }
    // binding
    float kx = bx - ux * s * 0.08f, ky = by - uy * s * 0.08f;
    auto band = [=](float x, float y) {
        return std::max(SdSegment(x, y, kx + px * s * 0.1f, ky + py * s * 0.1f, kx - px * s * 0.1f,
                                  ky - py * s * 0.1f, s * 0.035f),
                        straw(x, y) - s * 0.01f);
    };
    FillBevel(img, band, Hex(0xD03A3A), s * 0.03f, 0.7f);
}

void PaintFireball(Image& img, float cx, float cy, float s, float phase) {
    float R = s * 0.27f;
    Image fire(img.w, img.h);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            float fx = float(x) + 0.5f, fy = float(y) + 0.5f;
            float dx = (fx - cx) / R, dy = (fy - cy) / R;
            // flames rise: stretch the shape upward, with noise drifting up
            // The noise drifts with the phase; blending the drift of this round with that of the
            // next makes a loop without a seam (phase 0 and 1 give the same picture).
            float ph = phase - std::floor(phase);
            auto drift = [&](float sx, float sy, float ox, float speed, uint32_t seed) {
                return (1 - ph) * Fbm(dx * sx + ox, dy * sy + ph * speed, seed) +
                       ph * Fbm(dx * sx + ox, dy * sy + (ph - 1) * speed, seed);
            };
            float up = dy < 0 ? dy * (0.55f + 0.25f * drift(1.5f, 1.5f, 0.f, 4.f, 7)) : dy;
            float d = std::hypot(dx, up);
            float n = drift(2.2f, 2.2f, 3.f, 6.f, 11) - 0.5f;
            float v = 1.25f - d + n * 0.7f;
            if (v <= 0) continue;
            float t = Clamp01(v / 1.1f);
            Color c = t > 0.75f  ? Mix(Hex(0xFFE070), Hex(0xFFFFF0), (t - 0.75f) * 4)
                      : t > 0.4f ? Mix(Hex(0xFF7A10), Hex(0xFFE070), (t - 0.4f) / 0.35f)
                                 : Mix(Hex(0xB01808), Hex(0xFF7A10), t / 0.4f);
            c.a = Clamp01(v * 3.f);
            fire.Blend(x, y, c, 1.f);
        }
    Image glow = fire;
    Blur(glow, s * 0.1f);
    Composite(img, glow, 0, 0, 0.7f);
    Composite(img, fire, 0, 0, 1.f);
}

void PaintBonus(Image& img, const std::string& name, float cx, float cy, float s, const Pose& p) {
    if (name == "Coin")
        PaintCoin(img, cx, cy, s, 0.f, 0.5f + 0.5f * std::sin(p.phase * 2 * kPi));
    else if (name == "Bomb")
        PaintBomb(img, cx, cy, s, p.phase, 1.f);
    else if (name == "Clock")
        PaintClock(img, cx, cy, s, p.phase, 0);
    else if (name == "Rainbow")
        PaintRainbow(img, cx, cy, s, p.phase);
    else if (name == "Switch")
        PaintSwitch(img, cx, cy, s, p.phase);
    else if (name == "Metla")
        PaintBroom(img, cx, cy, s, 0.12f * std::sin(p.phase * 2 * kPi));
    else if (name == "Fireball")
        PaintFireball(img, cx, cy, s, p.phase);
    else
        throw std::runtime_error("no painter for item " + name);
}

int BrickIndex(const std::string& name) {
    if (name.rfind("Brick", 0) == 0 && name.size() >= 6) return name[5] - '0';
    return 0;
}

Color ItemMainColor(const std::string& name) {
    int b = BrickIndex(name);
    if (b) return BrickColor(b);
    if (name == "Coin") return Hex(0xF4B63B);
    if (name == "Bomb") return Hex(0x6A7390);
    if (name == "Clock") return Hex(0xD8343F);
    if (name == "Rainbow") return Hex(0xFF60D0);
    if (name == "Switch") return Hex(0x30D0E0);
    if (name == "Metla") return Hex(0xE9C25A);
    return Hex(0xFF8020);
}

// One item drawn into its own layer and put onto the frame, so that flash and opacity apply to it
// as a whole.
void PutItem(Image& frame, const std::string& name, float cx, float cy, float cell, const Pose& p) {
    Image layer(frame.w, frame.h);
    PaintItem(layer, name, cx, cy + p.dy, cell, p);
    if (p.flash > 0)
        for (auto& c : layer.px) {
            c.r += (c.a - c.r) * p.flash;
            c.g += (c.a - c.g) * p.flash;
            c.b += (c.a - c.b) * p.flash;
        }
    Composite(frame, layer, 0, 0, p.opacity);
}

void Shards(Image& img, float cx, float cy, float cell, const Color& base, float t, uint32_t seed) {
    Rng rng(seed);
    int n = 12;
    for (int i = 0; i < n; ++i) {
        float a = float(i) / float(n) * 2 * kPi + rng.Range(-0.25f, 0.25f);
        float speed = rng.Range(0.45f, 0.8f) * cell;
        float d = speed * (1 - (1 - t) * (1 - t));
        float px = cx + std::cos(a) * d, py = cy + std::sin(a) * d + t * t * cell * 0.15f;
        float sz = cell * rng.Range(0.08f, 0.14f) * (1 - t * 0.6f);
        float rot = rng.Range(0, 6.28f) + t * rng.Range(-6, 6);
        std::vector<float> tri = RegularPoints(px, py, sz, 3, rot);
        Color c = (i % 3 == 0) ? Lighten(base, 0.5f) : base;
        auto sh = [=](float x, float y) { return SdPolygon(x, y, tri); };
        FillBevel(img, sh, c, std::max(1.f, sz * 0.5f), 0.8f, Clamp01(1.3f - t));
    }
}

} // namespace

Color CellColor() {
    return Hex(0x1C2244);
}

Color BrickColor(int colour) {
    static const uint32_t k[7] = {0x808080, 0x3DBA3C, 0x9A4BDA, 0xFF8A1E, 0x2F86EE, 0xE7363F, 0xF5C82A};
    return Hex(k[colour >= 1 && colour <= 6 ? colour : 0]);
}

void PaintSparkle(Image& img, float cx, float cy, float r, const Color& c, float rot) {
    if (r <= 0.5f) return;
    int half = int(std::ceil(r * 1.6f)) + 2;
    int ox = int(std::floor(cx)) - half, oy = int(std::floor(cy)) - half;
    Image glow(2 * half, 2 * half);
    float lx = cx - float(ox), ly = cy - float(oy);
    FillShape(
        glow, [=](float x, float y) { return SdCircle(x, y, lx, ly, r * 0.35f); }, c);
    Blur(glow, r * 0.5f);
    Composite(img, glow, ox, oy, 0.8f);
    ClipScope clip(img, cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1);
    FillShape(
        img, [=](float x, float y) { return SdPolygon(x, y, StarPoints(cx, cy, r, 0.18f, 4, rot)); }, c);
}

void PaintItem(Image& img, const std::string& name, float cx, float cy, float cell, const Pose& p) {
    float s = cell * p.scale;
    ClipScope clip(img, cx - s, cy - s, cx + s, cy + s);
    if (int b = BrickIndex(name))
        PaintBrick(img, b, cx, cy, s, p);
    else
        PaintBonus(img, name, cx, cy, s, p);
}

std::vector<Image> ItemFrames(const std::string& item, const std::string& action, int size, int frames,
                              int pivot, float cell) {
    std::vector<Image> out;
    // The item's own cell inside the frame.
    float cs = std::floor(cell);
    float cx = float(pivot) + cs * 0.5f, cy = float(pivot) + cs * 0.5f;
    bool brick = BrickIndex(item) != 0;
    Color main = ItemMainColor(item);
    for (int i = 0; i < frames; ++i) {
        Image f(size, size);
        float t = frames > 1 ? float(i) / float(frames - 1) : 1.f;
        float loop = float(i) / float(frames);
        Pose p;
        if (action == "Appear") {
            p.scale = std::max(0.05f, EaseOutBack(t));
            p.flash = 0.8f * (1 - t);
            if (i < frames - 1)
                PaintSparkle(f, cx, cy, cs * 0.5f * std::sin(t * kPi), Color{1, 1, 0.9f, 0.9f}, t * 2);
            PutItem(f, item, cx, cy, cs, p);
        } else if (action == "Stay") {
            if (brick) {
                // frame 0 rests; the others sweep a shine across the face
                p.glint = i == 0 ? -2.f : -1.1f + 2.2f * float(i - 1) / float(frames - 2);
                PutItem(f, item, cx, cy, cs, p);
                if (i >= frames / 2 && i < frames - 2)
                    PaintSparkle(f, cx + cs * 0.24f, cy - cs * 0.26f,
                                 cs * 0.14f * std::sin(float(i - frames / 2) / float(frames / 2 - 2) * kPi),
                                 Color{1, 1, 1, 1});
            } else {
                p.phase = loop;
                PutItem(f, item, cx, cy, cs, p);
            }
        } else if (action == "Select") {
            float w = std::sin(loop * 2 * kPi);
            p.dy = -std::fabs(std::sin(loop * kPi)) * cs * 0.07f;
            p.scale = 1.0f + 0.04f * w;
            p.phase = loop;
            // a golden halo that breathes and a bright rim: the selection must be unmistakable
            p.flash = 0.12f + 0.1f * w;
            Image halo(size, size);
            FillShape(
                halo,
                [=](float x, float y) {
                    return std::fabs(SdRoundBox(x, y, cx, cy, cs * 0.47f, cs * 0.47f, cs * 0.25f)) -
                           cs * 0.07f;
                },
                Hex(0xFFD040));
            Blur(halo, cs * 0.08f);
            Composite(f, halo, 0, 0, 0.85f + 0.15f * w);
            FillShape(
                f,
                [=](float x, float y) {
                    return std::fabs(SdRoundBox(x, y, cx, cy, cs * 0.49f, cs * 0.49f, cs * 0.25f)) -
                           std::max(1.f, cs * 0.035f);
                },
                Hex(0xFFF6C0));
            PutItem(f, item, cx, cy, cs, p);
            PaintSparkle(f, cx + std::cos(loop * 2 * kPi) * cs * 0.48f,
                         cy + std::sin(loop * 2 * kPi) * cs * 0.48f, cs * 0.13f, Color{1, 1, 1, 1}, loop * 3);
        } else if (action == "Move") {
            float w = std::sin(loop * 2 * kPi);
            p.sx = 1.f + 0.05f * w;
            p.sy = 1.f - 0.05f * w;
            p.phase = loop;
            p.glint = brick ? -0.3f + 0.2f * w : -2.f;
            PutItem(f, item, cx, cy, cs, p);
        } else if (action == "Disappear") {
            // swell and flash, then burst into shards with a ring
            if (i < 3) {
                p.scale = 1.f + 0.08f * float(i + 1);
                p.flash = 0.3f * float(i + 1);
                PutItem(f, item, cx, cy, cs, p);
            } else {
                float u = float(i - 3) / float(frames - 4);
                Image ring(size, size);
                FillShape(
                    ring,
                    [=](float x, float y) {
                        return SdRing(x, y, cx, cy, cs * (0.3f + 0.55f * u), cs * 0.05f * (1 - u) + 0.6f);
                    },
                    Lighten(main, 0.6f));
                Blur(ring, 1.5f);
                Composite(f, ring, 0, 0, 1 - u);
                if (i == 3) {
                    Image flash(size, size);
                    FillShape(
                        flash, [=](float x, float y) { return SdCircle(x, y, cx, cy, cs * 0.45f); },
                        Color{1, 1, 0.95f, 1});
                    Blur(flash, cs * 0.12f);
                    Composite(f, flash, 0, 0, 0.9f);
                }
                Shards(f, cx, cy, cs, main, u, uint32_t(item.size() * 31 + size_t(item.back())));
                if (u < 0.8f)
                    PaintSparkle(f, cx - cs * 0.3f * u, cy - cs * 0.45f * u, cs * 0.15f * (1 - u),
                                 Color{1, 1, 1, 1}, u * 4);
            }
        } else if (action == "Activate") {
            if (item == "Bomb") {
                // fuse burns down, then the blast
                if (i < 3) {
                    Pose q;
                    q.phase = loop * 3;
                    Image layer(size, size);
                    PaintBomb(layer, cx, cy + std::sin(float(i) * 2.1f) * 1.5f, cs, q.phase,
                              1.f - float(i) / 3.f);
                    Composite(f, layer, 0, 0, 1);
                } else {
                    float u = float(i - 3) / float(frames - 4);
                    float R = cs * (0.5f + 1.35f * std::sqrt(u));
                    // billowing puffs: white-hot inside, orange, then red and smoke as it cools
                    Rng rng(4242);
                    std::vector<float> puffs;
                    for (int k = 0; k < 11; ++k) {
                        float a = float(k) / 11 * 2 * kPi + rng.Range(-0.3f, 0.3f);
                        float d = rng.Range(0.25f, 0.55f);
                        puffs.insert(puffs.end(),
                                     {std::cos(a) * d, std::sin(a) * d, rng.Range(0.38f, 0.55f)});
                    }
                    auto cloud = [=](float x, float y) {
                        float d = 1e9f;
                        for (size_t k = 0; k < puffs.size(); k += 3)
                            d = std::min(d, SdCircle(x, y, cx + puffs[k] * R, cy + puffs[k + 1] * R,
                                                     puffs[k + 2] * R));
                        d = std::min(d, SdCircle(x, y, cx, cy, R * 0.55f));
                        return d + (Fbm(x * 0.12f, y * 0.12f, 5) - 0.5f) * R * 0.25f;
                    };
                    Image blast(size, size);
                    FillShape(blast, cloud, [=](float x, float y) {
                        float d = std::hypot(x - cx, y - cy) / R;
                        float heat =
                            1.15f - d * 0.9f - u * 1.1f + (Fbm(x * 0.15f, y * 0.15f, 9) - 0.5f) * 0.5f;
                        Color c;
                        if (heat > 0.75f)
                            c = Mix(Hex(0xFFE890), Hex(0xFFFFF0), Clamp01((heat - 0.75f) * 4));
                        else if (heat > 0.45f)
                            c = Mix(Hex(0xFF9A20), Hex(0xFFE890), (heat - 0.45f) / 0.3f);
                        else if (heat > 0.15f)
                            c = Mix(Hex(0xC03010), Hex(0xFF9A20), (heat - 0.15f) / 0.3f);
                        else
                            c = Mix(Hex(0x3A3038), Hex(0xC03010), Clamp01(heat / 0.15f + 0.2f));
                        c.a = Clamp01(1.35f - u * 1.1f);
                        return c;
                    });
                    Image glow = blast;
                    Blur(glow, cs * 0.2f);
                    Composite(f, glow, 0, 0, 0.6f * (1 - u));
                    Composite(f, blast, 0, 0, 1);
                    if (u < 0.5f)
                        FillShape(
                            f,
                            [=](float x, float y) {
                                return SdRing(x, y, cx, cy, R * 1.15f, 2.5f * (1 - u * 2) + 0.6f);
                            },
                            Color{1, 0.95f, 0.8f, 1}, Clamp01(1 - u * 2));
                    // sparks flying out
                    for (int k = 0; k < 14; ++k) {
                        float a = float(k) / 14 * 2 * kPi + 0.2f;
                        float r0 = R * (0.9f + 0.5f * u), r1 = r0 + cs * 0.2f;
                        FillShape(
                            f,
                            [=](float x, float y) {
                                return SdSegment(x, y, cx + std::cos(a) * r0, cy + std::sin(a) * r0,
                                                 cx + std::cos(a) * r1, cy + std::sin(a) * r1, 1.2f);
                            },
                            Hex(0xFFE080), Clamp01(1.2f - u * 1.3f));
                    }
                }
            } else if (item == "Metla") {
                // the broom spins and kicks up dust
                Image layer(size, size);
                PaintBroom(layer, cx, cy, cs, loop * 2 * kPi);
                Composite(f, layer, 0, 0, 1);
                Rng rng(uint32_t(i) * 7 + 3);
                for (int k = 0; k < 5; ++k) {
                    float a = rng.Range(0, 6.28f), d = rng.Range(0.25f, 0.45f) * cs;
                    FillShape(
                        f,
                        [=](float x, float y) {
                            return SdCircle(x, y, cx + std::cos(a) * d, cy + std::sin(a) * d, cs * 0.05f);
                        },
                        Color{0.9f, 0.85f, 0.7f, 0.6f});
                }
                PaintSparkle(f, cx + std::cos(loop * 6.28f) * cs * 0.36f,
                             cy + std::sin(loop * 6.28f) * cs * 0.36f, cs * 0.12f, Color{1, 1, 1, 1});
            } else if (item == "Fireball") {
                p.phase = loop;
                p.scale = 1.1f + 0.06f * std::sin(loop * 2 * kPi);
                PutItem(f, item, cx, cy, cs, p);
                Rng rng(uint32_t(i) * 13 + 1);
                for (int k = 0; k < 4; ++k)
                    PaintSparkle(f, cx + rng.Range(-0.4f, 0.4f) * cs, cy + rng.Range(-0.45f, 0.3f) * cs,
                                 cs * rng.Range(0.05f, 0.1f), Hex(0xFFE080));
            } else if (item == "Coin") {
                // flips up with sparkles
                float lift = std::sin(t * kPi) * cs * 0.25f;
                Image layer(size, size);
                PaintCoin(layer, cx, cy - lift, cs * (1 + 0.15f * std::sin(t * kPi)), t * 2, 1 - t);
                Composite(f, layer, 0, 0, Clamp01(1.6f - t * 1.2f));
                for (int k = 0; k < 6; ++k) {
                    float a = float(k) / 6 * 2 * kPi + t;
                    float d = cs * (0.2f + 0.45f * t);
                    PaintSparkle(f, cx + std::cos(a) * d, cy - lift + std::sin(a) * d,
                                 cs * 0.1f * (1 - t * 0.7f), Hex(0xFFF0A0), a);
                }
            } else if (item == "Clock") {
                // rings: shakes while the hands race
                p.phase = t * 3;
                Image layer(size, size);
                PaintClock(layer, cx, cy, cs * (1 + 0.1f * std::sin(t * kPi)), t * 4,
                           (i % 2 ? 1.5f : -1.5f) * (1 - t));
                Composite(f, layer, 0, 0, 1);
                for (int k = 0; k < 3; ++k) {
                    float r = cs * (0.45f + 0.12f * float(k) + 0.2f * t);
                    FillShape(
                        f,
                        [=](float x, float y) {
                            float a = std::atan2(y - cy, x - cx);
                            float d = SdRing(x, y, cx, cy, r, 1.f);
                            return std::fabs(a + kPi / 2) < 0.9f ? 1e3f
                                                                 : d; // arcs on both sides, none on top
                        },
                        Color{1, 1, 1, 0.8f * (1 - t)});
                }
            } else if (item == "Rainbow") {
                p.phase = t * 2;
                p.scale = 1 + 0.3f * t;
                p.opacity = Clamp01(1.5f - t);
                Image rays(size, size);
                for (int k = 0; k < 12; ++k) {
                    float a = float(k) / 12 * 2 * kPi + t;
                    Color c = Hsv(float(k) / 12, 0.8f, 1);
                    FillShape(
                        rays,
                        [=](float x, float y) {
                            return SdSegment(x, y, cx, cy, cx + std::cos(a) * cs * (0.3f + 0.6f * t),
                                             cy + std::sin(a) * cs * (0.3f + 0.6f * t), cs * 0.03f);
                        },
                        c);
                }
                Blur(rays, 1.2f);
                Composite(f, rays, 0, 0, Clamp01(1.2f - t * 0.5f));
                PutItem(f, item, cx, cy, cs, p);
            } else if (item == "Switch") {
                p.phase = t * 3;
                p.scale = 1 + 0.15f * std::sin(t * kPi);
                Image ring(size, size);
                FillShape(
                    ring,
                    [=](float x, float y) { return SdRing(x, y, cx, cy, cs * (0.4f + 0.3f * t), 1.5f); },
                    Hex(0xA0FFFF));
                Blur(ring, 1.5f);
                Composite(f, ring, 0, 0, 1 - t);
                PutItem(f, item, cx, cy, cs, p);
            } else {
                throw std::runtime_error("no Activate for " + item);
            }
        } else {
            throw std::runtime_error("unknown action " + action);
        }
        out.push_back(std::move(f));
    }
    return out;
}

std::vector<Image> HelpFrames(const std::string& name, int w, int h, int frames) {
    std::vector<Image> out;
    float cx = float(w) * 0.5f, cy = float(h) * 0.5f, s = float(std::min(w, h)) * 0.98f;
    for (int i = 0; i < frames; ++i) {
        Image f(w, h);
        float loop = float(i) / float(frames);
        if (name == "coin")
            PaintCoin(f, cx, cy, s, loop, i % 6 == 0 ? 1.f : 0.f);
        else if (name == "metla_new")
            PaintBroom(f, cx, cy, s, 0.25f * std::sin(loop * 2 * kPi));
        else if (name == "COLORCUT2")
            PaintRainbow(f, cx, cy, s, loop);
        else if (name == "sphere")
            PaintFireball(f, cx, cy + s * 0.04f, s, loop);
        else if (name == "Switch")
            PaintSwitch(f, cx, cy, s, loop * 0.5f);
        else if (name == "clocks")
            PaintClock(f, cx, cy, s, loop, 0);
        else if (name == "BOMB_app")
            PaintBomb(f, cx, cy, s, loop, 1.f - 0.5f * loop);
        else
            throw std::runtime_error("no help picture " + name);
        out.push_back(std::move(f));
    }
    return out;
}

} // namespace Pics
