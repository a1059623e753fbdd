#include "ui/Font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include "core/FileLayer.h"
#include "picture/Bitmap.h"

#include <map>
#include <memory>
#include <string>
#include <utility>

Font g_MainFont;
Font g_MenuFont;
Font g_DefaultFont;

namespace {

struct Target {
    uint8_t* pixels = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
};
Target g_target;

uint32_t g_nextFontId = 1;

// Unpacking a font from the archive costs more than opening it: the menu font and the renderer's
// default font are one file, shared while any face is open on it.
std::map<std::pair<std::string, uint32_t>, std::weak_ptr<FontFile>> g_fontFiles;

// Width of a measuring pass: prints stop below this height like on the scratch picture.
constexpr uint32_t kMeasureHeight = 100;

bool IsHexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
uint32_t HexValue(char16_t c) {
    if (c <= u'9') return c - u'0';
    if (c >= u'a') return c - u'a' + 10;
    return c - u'A' + 10;
}

inline uint32_t LoadPixel(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void StorePixel(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

} // namespace

struct FontFile {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    ~FontFile() { FileLayer::Free(data); }
};

namespace {

std::shared_ptr<FontFile> OpenFontFile(const char* path) {
    // Files no face holds any more (closed fonts, earlier mounts) leave the table.
    std::erase_if(g_fontFiles, [](const auto& entry) { return entry.second.expired(); });
    std::weak_ptr<FontFile>& slot = g_fontFiles[{path, FileLayer::MountGeneration()}];
    if (std::shared_ptr<FontFile> open = slot.lock()) return open;
    uint8_t* data = FileLayer::Load(path);
    if (!data) return nullptr;
    auto file = std::make_shared<FontFile>();
    file->data = data;
    file->size = FileLayer::LastLoadedSize();
    slot = file;
    return file;
}

} // namespace

Font::Font() : id_(g_nextFontId++) {}

Font::~Font() {
    Release();
}

void Font::Release() {
    if (face_) FT_Done_Face(face_);
    face_ = nullptr;
    if (library_) FT_Done_FreeType(library_);
    library_ = nullptr;
    file_.reset();
    advances_.clear();
}

bool Font::Load(const char* path) {
    Release();
    if (FT_Init_FreeType(&library_) != 0) {
        library_ = nullptr;
        return false;
    }
    file_ = OpenFontFile(path);
    if (!file_) return false;
    if (FT_New_Memory_Face(library_, file_->data, FT_Long(file_->size), 0, &face_) != 0) {
        face_ = nullptr;
        return false;
    }
    SetSize(10);
    smoothing_ = 1;
    return true;
}

void Font::SetSize(uint32_t pixels) {
    size_ = pixels;
    if (face_) FT_Set_Pixel_Sizes(face_, 0, pixels);
}

void Font::SetTarget(uint8_t* pixels, uint32_t width, uint32_t height) {
    g_target.pixels = pixels;
    g_target.width = width;
    g_target.height = height;
}

void Font::SetTarget(Bitmap& bitmap) {
    if (bitmap.Bits() == 32)
        SetTarget(bitmap.Pixels(), bitmap.Width(), bitmap.Height());
    else
        SetTarget(nullptr, 0, 0);
}

void Font::Print(int32_t x, int32_t y, uint32_t colour, const char16_t* text) {
    Run(x, y, colour, text, true);
}

int32_t Font::Measure(uint32_t size, const char16_t* text) {
    // Only the advances matter, so nothing is rasterised; the early stop keeps the height of the
    // scratch picture a measuring pass would print into.
    Target saved = g_target;
    g_target = Target{nullptr, 400, kMeasureHeight};
    SetSize(size);
    smoothing_ = 0;
    Run(0, int32_t(size), colour_, text, false);
    g_target = saved;
    return lastWidth_;
}

void Font::Run(int32_t x, int32_t y, uint32_t colour, const char16_t* text, bool render) {
    startX_ = penX_ = x;
    startY_ = penY_ = y;
    colour_ = colour;
    if (text) {
        for (const char16_t* p = text; *p; ++p) {
            if (penY_ > int32_t(g_target.height)) break;
            const char16_t ch = *p;
            if (ch == u'<' && p[1] == u'0' && (p[2] == u'x' || p[2] == u'X')) {
                uint32_t value = 0;
                const char16_t* q = p + 3;
                while (IsHexDigit(*q))
                    value = value << 4 | HexValue(*q++);
                colour_ = value;
                // q is on the closing ">"; never step over the terminating zero.
                p = *q ? q : q - 1;
                continue;
            }
            if (ch == u'\n') {
                penX_ = startX_;
                penY_ += int32_t(size_) + 2;
                continue;
            }
            if (ch == u'\r' || ch == 0xFEFF) continue;
            if (render)
                DrawGlyph(ch, true);
            else
                penX_ += Advance(ch);
        }
    }
    lastWidth_ = penX_ - startX_;
}

bool Font::HasGlyph(char16_t ch) const {
    return face_ && FT_Get_Char_Index(face_, ch) != 0;
}

int32_t Font::Advance(char16_t ch) {
    // Loading a hinted glyph runs the font's byte code, by far the dearest part of measuring the
    // menus at start-up; the advance depends only on the character and the size.
    const uint64_t key = uint64_t(size_) << 16 | ch;
    if (auto found = advances_.find(key); found != advances_.end()) return found->second;
    const int32_t before = penX_;
    DrawGlyph(ch, false);
    const int32_t advance = penX_ - before;
    penX_ = before;
    if (face_) advances_.emplace(key, advance);
    return advance;
}

void Font::DrawGlyph(char16_t ch, bool render) {
    if (!face_) return;
    const FT_UInt index = FT_Get_Char_Index(face_, ch);
    if (FT_Load_Glyph(face_, index, FT_LOAD_DEFAULT) != 0) return;
    FT_GlyphSlot slot = face_->glyph;
    if (render && g_target.pixels && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0) {
        const FT_Bitmap& bm = slot->bitmap;
        const int32_t left = penX_ + slot->bitmap_left;
        const int32_t top = penY_ - slot->bitmap_top;
        const int32_t tw = int32_t(g_target.width), th = int32_t(g_target.height);
        for (int32_t row = 0; row < int32_t(bm.rows); ++row) {
            const int32_t ty = top + row;
            if (ty < 0 || ty >= th) continue;
            const uint8_t* src = bm.buffer + row * bm.pitch;
            uint8_t* dstRow = g_target.pixels + size_t(ty) * size_t(tw) * 4;
            for (int32_t col = 0; col < int32_t(bm.width); ++col) {
                const int32_t tx = left + col;
                if (tx < 0 || tx >= tw) continue;
                const uint32_t c = src[col];
                uint8_t* dst = dstRow + size_t(tx) * 4;
                if (smoothing_ == 0) {
                    if (c > 64) StorePixel(dst, (colour_ & 0x00FFFFFF) | c << 24);
                } else if (c >= 224) {
                    StorePixel(dst, colour_);
                } else if (c > 0) {
                    const uint32_t t = LoadPixel(dst);
                    uint32_t out = 0xFF000000;
                    for (int shift = 0; shift < 24; shift += 8) {
                        const uint32_t tc = (t >> shift) & 0xFF, cc = (colour_ >> shift) & 0xFF;
                        out |= ((tc * (255 - c) + cc * c) / 256) << shift;
                    }
                    StorePixel(dst, out);
                }
            }
        }
    }
    penX_ += int32_t(slot->advance.x >> 6);
}

bool LoadFonts() {
    return g_MainFont.Load(kMainFontPath) && g_MenuFont.Load(kMenuFontPath);
}
