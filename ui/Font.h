#pragma once
#include <cstdint>
#include <memory>
#include <unordered_map>

class Bitmap;
struct FontFile;
struct FT_LibraryRec_;
struct FT_FaceRec_;

// A TrueType font rasterised with FreeType into the current drawing target (one process-wide
// 32-bit picture, see Font::SetTarget). Colours are 0xAARRGGBB.
class Font {
  public:
    Font();
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Releases what the font held, then opens the face from the whole file read through the
    // file layer. Size 10, smoothing 1 afterwards. False when any step fails.
    [[nodiscard]] bool Load(const char* path);
    void Release();
    bool IsLoaded() const { return face_ != nullptr; }

    void SetSize(uint32_t pixels);
    uint32_t Size() const { return size_; }
    // 0 = hard edges (measuring), 1 = blended edges (drawing).
    void SetSmoothing(uint32_t mode) { smoothing_ = mode; }
    uint32_t Smoothing() const { return smoothing_; }

    // Draws the text as it stands into the target, baseline of the first line at y. The text is
    // never a format: "<0xAARRGGBB>" switches the colour, a line feed starts the next line at x,
    // size + 2 pixels lower. nullptr draws nothing.
    void Print(int32_t x, int32_t y, uint32_t colour, const char16_t* text);
    // Whether the face has a glyph of its own for the character (not the missing-glyph box).
    bool HasGlyph(char16_t ch) const;
    // Pen x minus start x after the last print.
    int32_t LastWidth() const { return lastWidth_; }
    // Unique per font object (part of the text cache's keys).
    uint32_t Id() const { return id_; }

    // The drawing target of every print: a 32-bit picture (blue, green, red, alpha bytes).
    static void SetTarget(Bitmap& bitmap);
    static void SetTarget(uint8_t* pixels, uint32_t width, uint32_t height);

    // Width in pixels of the text printed at this size with hard edges (the last line's width
    // when it holds line feeds). Leaves the font at that size and smoothing 0.
    int32_t Measure(uint32_t size, const char16_t* text);

  private:
    void DrawGlyph(char16_t ch, bool render);
    // The pen's advance for the character at the current size (measured once per size).
    int32_t Advance(char16_t ch);
    void Run(int32_t x, int32_t y, uint32_t colour, const char16_t* text, bool render);

    std::shared_ptr<FontFile> file_; // the file's bytes, shared by every face open on it
    uint32_t smoothing_ = 1;
    uint32_t size_ = 10;
    int32_t startX_ = 0, startY_ = 0;
    int32_t penX_ = 0, penY_ = 0;
    uint32_t colour_ = 0xFFFFFFFF;
    FT_LibraryRec_* library_ = nullptr;
    FT_FaceRec_* face_ = nullptr;
    int32_t lastWidth_ = 0;
    uint32_t id_ = 0;
    std::unordered_map<uint64_t, int32_t> advances_; // size << 16 | character
};

// The fonts of the program: the main font "Data\Library\Font\progbot.ttf", the menu font
// "Data\Library\Font\Tahoma.ttf" and the renderer's default font (also Tahoma, size 16).
extern Font g_MainFont;
extern Font g_MenuFont;
extern Font g_DefaultFont;

inline constexpr const char* kMainFontPath = "Data\\Library\\Font\\progbot.ttf";
inline constexpr const char* kMenuFontPath = "Data\\Library\\Font\\Tahoma.ttf";

// Start-up: the main font, then the menu font. False as soon as one fails.
[[nodiscard]] bool LoadFonts();
