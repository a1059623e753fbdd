#include "UiFixture.h"

#include <cmath>
#include <vector>

namespace {

using TextCacheTest = UiFixture;

// Columns and rows where the surface differs from the background.
struct Ink {
    int32_t left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool Any() const { return right >= 0; }
};
Ink InkIn(Surface* s, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t background) {
    Ink ink;
    for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x)
            if (UiFixture::Pixel(s, x, y) != background) {
                ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y), ink.bottom = std::max(ink.bottom, y);
            }
    return ink;
}

TEST_F(TextCacheTest, OneSurfacePerFontSizeColourTextScenePosition) {
    Text::DrawText(screen, g_MainFont, 30, Text::kCentre, 400, 220, 0xFF00FF00, u"Play");
    Text::DrawText(screen, g_MainFont, 30, Text::kCentre, 400, 220, 0xFF00FF00, u"Play");
    EXPECT_EQ(registry.Count(), 1u);
    EXPECT_NE(registry.Find(Text::CacheKey(g_MainFont, 30, 0xFF00FF00, u"Play", 400, 220).c_str()), nullptr);

    Text::DrawText(screen, g_MainFont, 30, Text::kCentre, 400, 260, 0xFF00FF00, u"Play"); // position
    Text::DrawText(screen, g_MainFont, 32, Text::kCentre, 400, 220, 0xFF00FF00, u"Play"); // size
    Text::DrawText(screen, g_MainFont, 30, Text::kCentre, 400, 220, 0xFFFFFF00, u"Play"); // colour
    Text::DrawText(screen, g_MenuFont, 30, Text::kCentre, 400, 220, 0xFF00FF00, u"Play"); // font
    scene = "Level_00_01";
    Text::DrawText(screen, g_MainFont, 30, Text::kCentre, 400, 220, 0xFF00FF00, u"Play"); // scene
    EXPECT_EQ(registry.Count(), 6u);
    Text::DrawText(screen, g_MainFont, 30, Text::kCentre, 400, 260, 0xFF00FF00, u"Play");
    EXPECT_EQ(registry.Count(), 7u);
}

TEST_F(TextCacheTest, KeyIsExactlyTheFormattedOne) {
    // The key is built by hand; it must equal what its printf format gives, edge values included:
    // texts are cut to 255 characters, and nothing but the key's own format is a format.
    struct Case {
        uint32_t size, colour;
        std::u16string text;
        int32_t x, y;
        std::string sceneName;
    } cases[] = {
        {30, 0xFF00FF00, u"Play", 400, 220, "Level_00_00"},
        {0, 0, u"", -5, -2147483647 - 1, ""},
        {4000000000u, 0xFFFFFFFF, u"Caf\u00e9 \u0410\u0100tail", 2147483647, 0, "Level_02_05"},
        {12, 0x80, std::u16string(300, u'x'), 1, 2, std::string(300, 's')},
        {12, 0, std::u16string(400, u'%'), 0, 0, "%s%n"},
    };
    for (const Case& c : cases) {
        scene = c.sceneName.c_str();
        std::string narrow;
        for (char16_t u : c.text) {
            if ((u & 0xFF) == 0 || narrow.size() == 255) break;
            narrow += char(u & 0xFF);
        }
        char want[512];
        std::snprintf(want, sizeof want, "fontCash_%x_%d_%x_%s_%s_%d_%d", g_MainFont.Id(), int32_t(c.size),
                      c.colour, narrow.c_str(), c.sceneName.c_str(), c.x, c.y);
        EXPECT_EQ(Text::CacheKey(g_MainFont, c.size, c.colour, c.text.c_str(), c.x, c.y), want)
            << c.sceneName;
    }
}

TEST_F(TextCacheTest, VolatileSwitchKeepsOneChangingSurface) {
    Text::DrawText(screen, g_MainFont, 20, Text::kLeft, 10, 10, 0xFFFFFFFF, u"Level");
    Text::SetVolatile(true);
    for (int score = 0; score < 40; score += 10) {
        const std::u16string text = Text::Format("%d", score);
        Text::DrawText(screen, g_MenuFont, 30, Text::kCentre, 690, 250, 0xFFFFFFFF, text.c_str());
        Text::DrawText(screen, g_MenuFont, 30, Text::kCentre, 690, 250, 0xFFFFFFFF, text.c_str());
        EXPECT_EQ(registry.Count(), 2u) << score;
    }
    EXPECT_NE(registry.Find(Text::CacheKey(g_MenuFont, 30, 0xFFFFFFFF, u"30", 690, 250).c_str()), nullptr);
    EXPECT_NE(registry.Find(Text::CacheKey(g_MainFont, 20, 0xFFFFFFFF, u"Level", 10, 10).c_str()), nullptr);
    // After the renderer dropped its surfaces the old volatile one is not touched again.
    registry.ReleaseAll();
    Text::ForgetVolatile();
    Text::DrawText(screen, g_MenuFont, 30, Text::kCentre, 690, 250, 0xFFFFFFFF, u"40");
    Text::SetVolatile(false);
    Text::DrawText(screen, g_MenuFont, 30, Text::kCentre, 690, 250, 0xFFFFFFFF, u"50");
    Text::DrawText(screen, g_MenuFont, 30, Text::kCentre, 690, 250, 0xFFFFFFFF, u"60");
    EXPECT_EQ(registry.Count(), 3u);
}

TEST_F(TextCacheTest, SizePrefixOverridesTheSizeArgument) {
    uint32_t size = 12;
    EXPECT_EQ(std::u16string(Text::ApplySizePrefix(u"<36>Hello", size)), u"Hello");
    EXPECT_EQ(size, 36u);
    // Not prefixes: a colour tag, an unclosed bracket, an empty number.
    for (const char16_t* text : {u"<0xFFFF0000>Red", u"<12 Hello", u"<>x", u"<", u"plain<36>"}) {
        size = 12;
        EXPECT_EQ(Text::ApplySizePrefix(text, size), text);
        EXPECT_EQ(size, 12u);
    }

    const int32_t at36 = g_MainFont.Measure(36, u"Hello");
    EXPECT_EQ(Text::DrawTextDirect(screen, g_MainFont, 12, Text::kLeft, 10, 10, 0xFFFFFFFF, u"<36>Hello"),
              at36);
    Text::DrawText(screen, g_MainFont, 12, Text::kLeft, 10, 100, 0xFFFFFFFF, u"<36>Hello");
    uint32_t w = 0, h = 0;
    ASSERT_NE(registry.Find(Text::CacheKey(g_MainFont, 36, 0xFFFFFFFF, u"Hello", 10, 100).c_str(), &w, &h),
              nullptr);
    EXPECT_EQ(w, uint32_t(at36 + 10));
    EXPECT_EQ(h, 54u);
}

TEST_F(TextCacheTest, CentredBoxStartsHalfTheBoxLeftOfX) {
    const int32_t size = 30, x = 400, y = 100;
    const int32_t w = g_MainFont.Measure(size, u"Options");
    const int32_t boxLeft = x - (w + 10) / 2, boxRight = boxLeft + w + 10;
    const int32_t boxBottom = y + int32_t(std::lround(size * 1.5));
    EXPECT_EQ(Text::DrawTextDirect(screen, g_MainFont, size, Text::kCentre, x, y, 0xFFFFFF00, u"Options"), w);
    const Ink ink = InkIn(screen, 0, 0, 800, 600, kBackground);
    ASSERT_TRUE(ink.Any());
    EXPECT_GE(ink.left, boxLeft);
    EXPECT_LE(ink.left, boxLeft + 6);
    EXPECT_LT(ink.right, boxRight);
    EXPECT_GE(ink.top, y);
    EXPECT_LT(ink.bottom, boxBottom);

    // The cached road puts exactly the same pixels in the same place, for every alignment.
    for (int32_t align : {Text::kLeft, Text::kCentre, Text::kRight}) {
        Surface* direct = Graphics::CreateSurface(800, 600);
        Fill(direct, kBackground);
        Fill(screen, kBackground);
        Text::DrawTextDirect(direct, g_MainFont, size, align, x, y, 0xFFFFFF00, u"Options");
        Text::DrawText(screen, g_MainFont, size, align, x, y, 0xFFFFFF00, u"Options");
        Text::DrawText(screen, g_MainFont, size, align, x, y, 0xFFFFFF00, u"Options"); // from the cache
        EXPECT_EQ(std::memcmp(direct->pixels, screen->pixels, size_t(screen->pitch) * 600), 0) << align;
        Graphics::ReleaseSurface(direct);
    }
}

TEST_F(TextCacheTest, BoxesRunningOffTheSurfaceAreClipped) {
    Text::DrawTextDirect(screen, g_MainFont, 40, Text::kRight, 20, 580, 0xFFFFFFFF, u"Edge text");
    Text::DrawText(screen, g_MainFont, 40, Text::kLeft, 780, -10, 0xFFFFFFFF, u"Edge text");
    Text::DrawText(screen, g_MainFont, 30, Text::kCentre, 900, 600, 0xFFFFFFFF, u"");
    EXPECT_TRUE(InkIn(screen, 0, 560, 20, 600, kBackground).Any());
    // A text wider than the display gets no cache surface but is still drawn.
    Fill(screen, kBackground);
    const size_t before = registry.Count();
    const std::u16string wide(120, u'W');
    Text::DrawText(screen, g_MainFont, 30, Text::kLeft, 0, 300, 0xFFFFFFFF, wide.c_str());
    EXPECT_EQ(registry.Count(), before);
    EXPECT_TRUE(InkIn(screen, 0, 300, 800, 345, kBackground).Any());
}

TEST_F(TextCacheTest, ParagraphJustifiesAllButTheLastLine) {
    const TextRect area{150, 190, 650, 550};
    const char16_t* text =
        u"The bricks of one colour that touch each other   form a group; clicking on a group of "
        u"three or more removes it and the bricks above fall down into the gaps while the "
        u"columns close up towards the left side of the board. end Then more.";
    const int32_t size = 18, lineHeight = 27;
    const TextRect out = Text::DrawParagraph(screen, g_MenuFont, size, 0xFFFFFFFF, area, text);
    UiTest::WriteReviewPng("paragraph_actual.png", static_cast<uint8_t*>(screen->pixels), 800, 600);
    EXPECT_EQ(out.left, area.left);
    EXPECT_EQ(out.right, area.right);
    EXPECT_EQ(out.bottom, area.bottom);
    const int32_t lines = (out.top - area.top) / lineHeight;
    EXPECT_EQ((out.top - area.top) % lineHeight, 0);
    ASSERT_GE(lines, 3);
    EXPECT_FALSE(InkIn(screen, 0, out.top, 800, 600, kBackground).Any());
    for (int32_t i = 0; i < lines; ++i) {
        const int32_t top = area.top + i * lineHeight;
        const Ink ink = InkIn(screen, 0, top, 800, top + lineHeight, kBackground);
        ASSERT_TRUE(ink.Any()) << "line " << i;
        EXPECT_GE(ink.left, area.left);
        EXPECT_LE(ink.left, area.left + 6);
        if (i + 1 < lines) {
            EXPECT_LE(ink.right, area.right + 12) << "line " << i;
            EXPECT_GE(ink.right, area.right - 30) << "line " << i;
        } else {
            // Packed: "Then", 5 pixels, "more.", plus the 2-pixel margin and the shadow.
            const int32_t packed = g_MenuFont.Measure(size, u"Then") + 5 + g_MenuFont.Measure(size, u"more.");
            EXPECT_LE(ink.right, area.left + packed + 4) << "the last line is not stretched";
        }
    }

    // No text, or only blanks: nothing drawn, the rectangle comes back unchanged.
    for (const char16_t* none : {(const char16_t*)nullptr, u"", u"    "}) {
        const TextRect same = Text::DrawParagraph(screen, g_MenuFont, size, 0xFFFFFFFF, area, none);
        EXPECT_EQ(same.top, area.top);
    }
    // A size prefix sets the line height; a word wider than the area takes a line of its own.
    const TextRect narrow{10, 0, 60, 100};
    const TextRect wide =
        Text::DrawParagraph(screen, g_MenuFont, 18, 0xFFFFFFFF, narrow, u"<20>Extraordinarily ok");
    EXPECT_EQ(wide.top, 2 * 30);
}

TEST(TextFormatting, ProgramFormatsOnlyAndOneNumberInATableText) {
    EXPECT_EQ(Text::Format("Fps:%2.2f", 61.5), u"Fps:61.50");
    EXPECT_EQ(Text::SubstituteInt(u"You scored %d points %s%n%d", 1250), u"You scored 1250 points %s%n%d");
    EXPECT_EQ(Text::SubstituteInt(nullptr, 3), u"");
    EXPECT_EQ(Text::Narrow(u"caf\u00e9\u0141", 4), "caf\xe9");
}

} // namespace
