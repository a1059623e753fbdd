#include "gen-common/TextRaster.h"

#include <algorithm>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace Gen {

Image RenderText(const std::string& fontPath, const std::string& text, int pixelSize, int pad,
                 float letterSpacing) {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib)) return {};
    FT_Face face = nullptr;
    if (FT_New_Face(lib, fontPath.c_str(), 0, &face)) {
        FT_Done_FreeType(lib);
        return {};
    }
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelSize));
    // First pass measures, second draws.
    int width = 0, ascent = int(face->size->metrics.ascender >> 6),
        descent = int(-face->size->metrics.descender >> 6);
    float penMeasure = 0;
    for (unsigned char ch : text) {
        if (FT_Load_Char(face, ch, FT_LOAD_DEFAULT)) continue;
        penMeasure += float(face->glyph->advance.x >> 6) + letterSpacing;
    }
    width = int(penMeasure + 0.5f);
    Image img(width + 2 * pad, ascent + descent + 2 * pad);
    float pen = float(pad);
    int baseline = pad + ascent;
    for (unsigned char ch : text) {
        if (FT_Load_Char(face, ch, FT_LOAD_RENDER)) continue;
        FT_GlyphSlot g = face->glyph;
        for (unsigned y = 0; y < g->bitmap.rows; ++y)
            for (unsigned x = 0; x < g->bitmap.width; ++x) {
                float c = float(g->bitmap.buffer[y * unsigned(g->bitmap.pitch) + x]) / 255.f;
                int tx = int(pen) + g->bitmap_left + int(x), ty = baseline - g->bitmap_top + int(y);
                if (tx >= 0 && ty >= 0 && tx < img.w && ty < img.h) {
                    Color& d = img.at(tx, ty);
                    float a = std::max(d.a, c);
                    d = {a, a, a, a};
                }
            }
        pen += float(g->advance.x >> 6) + letterSpacing;
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return img;
}

} // namespace Gen
