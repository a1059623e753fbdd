#include "ui/TextCache.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "core/Log.h"
#include "gfx/SurfaceRegistry.h"
#include "picture/Bitmap.h"

namespace {

bool g_volatile = false;
Surface* g_lastVolatile = nullptr;
Text::Hooks g_hooks;
SurfaceRegistry* g_registry = nullptr;

// Colour of the shadow under every drawn text.
constexpr uint32_t kShadowColour = 0xFF202020;

int32_t BoxHeight(uint32_t size) {
    return int32_t(std::lround(size * 1.5));
}

int32_t BoxLeft(int32_t align, int32_t x, int32_t width) {
    if (align == Text::kCentre) return x - width / 2;
    if (align == Text::kRight) return x - width;
    return x;
}

// The box's background with the shadowed text on it; `width` receives the text's width.
void Rasterise(Bitmap& out, Surface* surface, Font& font, uint32_t size, int32_t align, int32_t x, int32_t y,
               uint32_t colour, const char16_t* text, int32_t& width, Graphics::Rect& box) {
    width = font.Measure(size, text);
    const int32_t boxWidth = width + 10;
    box.left = BoxLeft(align, x, boxWidth);
    box.top = y;
    box.right = box.left + boxWidth;
    box.bottom = y + BoxHeight(size);
    if (!Graphics::ReadBack(surface, box, out) || out.Empty()) return;
    Font::SetTarget(out);
    font.SetSmoothing(1);
    const int32_t offset = int32_t(size / 15);
    font.Print(offset + 2, offset + int32_t(size), kShadowColour, text);
    font.Print(2, int32_t(size), colour, text);
    // `out` belongs to the caller and goes away soon: leave no pointer to it behind.
    Font::SetTarget(nullptr, 0, 0);
}

void DrawDirectNow(Surface* surface, Font& font, uint32_t size, int32_t align, int32_t x, int32_t y,
                   uint32_t colour, const std::u16string& text) {
    Bitmap bitmap;
    int32_t width = 0;
    Graphics::Rect box;
    Rasterise(bitmap, surface, font, size, align, x, y, colour, text.c_str(), width, box);
    if (!bitmap.Empty()) {
        Graphics::Rect all{0, 0, box.Width(), box.Height()};
        Graphics::Upload(bitmap, all, surface, box.left, box.top, false);
    }
}

// What a text drawn at a place looks like, for the frame's signature.
uint64_t TextSignature(const Font& font, uint32_t size, int32_t align, int32_t x, int32_t y, uint32_t colour,
                       const std::u16string& text) {
    uint64_t h = Graphics::HashMix(font.Id(), size);
    h = Graphics::HashMix(h, (uint64_t(uint32_t(align)) << 32) | colour);
    h = Graphics::HashMix(h, (uint64_t(uint32_t(x)) << 32) | uint32_t(y));
    return Graphics::HashBytes(h, text.data(), text.size() * sizeof(char16_t));
}

// Drawn over the background it lands on, so onto a recorded back buffer it is drawn in its turn.
int32_t DrawDirect(Surface* surface, Font& font, uint32_t size, int32_t align, int32_t x, int32_t y,
                   uint32_t colour, const char16_t* text) {
    const int32_t width = font.Measure(size, text);
    std::u16string copy(text);
    const uint64_t signature = TextSignature(font, size, align, x, y, colour, copy);
    Graphics::DrawOrDefer(surface, signature, [surface, &font, size, align, x, y, colour, copy] {
        DrawDirectNow(surface, font, size, align, x, y, colour, copy);
    });
    return width;
}

// Restores the log switch as it was, whatever path leaves the cache.
struct LogSilence {
    bool was = Log::IsEnabled();
    LogSilence() { Log::SetEnabled(false); }
    ~LogSilence() { Log::SetEnabled(was); }
};

uint64_t HashMixAlign(int32_t align) {
    return Graphics::HashMix(0xCAC4E, uint64_t(uint32_t(align)));
}

// Rasterises a text into a cache surface of its own and blits it.
void CacheNow(Surface* surface, Font& font, uint32_t size, int32_t align, int32_t x, int32_t y,
              uint32_t colour, const std::u16string& text, const std::string& key, bool isVolatile) {
    Bitmap bitmap;
    int32_t textWidth = 0;
    Graphics::Rect box;
    Rasterise(bitmap, surface, font, size, align, x, y, colour, text.c_str(), textWidth, box);
    if (bitmap.Empty()) return;
    const Graphics::Rect all{0, 0, box.Width(), box.Height()};
    Surface* cached = g_registry->Create(key.c_str(), uint32_t(box.Width()), uint32_t(box.Height()));
    if (!cached) {
        // Too wide for a surface of its own: show it the direct way rather than not at all.
        Graphics::Upload(bitmap, all, surface, box.left, box.top, false);
        return;
    }
    Graphics::Upload(bitmap, all, cached, 0, 0, false);
    if (isVolatile) {
        if (g_lastVolatile) g_registry->Release(g_lastVolatile);
        g_lastVolatile = cached;
    }
    Graphics::Blit(surface, BoxLeft(align, x, box.Width()), y, cached, nullptr, false);
}

} // namespace

namespace Text {

void SetCacheRegistry(SurfaceRegistry* registry) {
    g_registry = registry;
    g_lastVolatile = nullptr;
}
SurfaceRegistry* CacheRegistry() {
    return g_registry;
}

void SetVolatile(bool on) {
    g_volatile = on;
}
bool IsVolatile() {
    return g_volatile;
}
void ForgetVolatile() {
    g_lastVolatile = nullptr;
}
void SetHooks(const Hooks& hooks) {
    g_hooks = hooks;
}

const char16_t* ApplySizePrefix(const char16_t* text, uint32_t& size) {
    // Only "<digits>" is a prefix: a leading colour tag "<0x...>" or a "<" without its ">" is text.
    if (!text || text[0] != u'<') return text;
    const char16_t* p = text + 1;
    uint32_t value = 0;
    while (*p >= u'0' && *p <= u'9') {
        if (value < 100000) value = value * 10 + uint32_t(*p - u'0');
        ++p;
    }
    if (p == text + 1 || *p != u'>') return text;
    size = value;
    return p + 1;
}

std::string CacheKey(const Font& font, uint32_t size, uint32_t colour, const char16_t* text, int32_t x,
                     int32_t y) {
    std::string key;
    CacheKeyInto(key, font, size, colour, text, x, y);
    return key;
}

void CacheKeyInto(std::string& key, const Font& font, uint32_t size, uint32_t colour, const char16_t* text,
                  int32_t x, int32_t y) {
    // Built on every draw of every text, so by hand rather than through printf; the result is
    // "fontCash_%x_%d_%x_%s_%s_%d_%d" exactly, cut to 511 bytes as that format's buffer was.
    const char* scene = g_hooks.activeSceneName();
    key.clear();
    char number[16];
    auto append = [&](auto value, int base) {
        const auto end = std::to_chars(number, number + sizeof number, value, base).ptr;
        key.append(number, end);
    };
    key += "fontCash_";
    append(font.Id(), 16);
    key += '_';
    append(int32_t(size), 10);
    key += '_';
    append(colour, 16);
    key += '_';
    // The low byte of each unit, up to 255 of them; a zero byte ends the text as it ends a "%s".
    for (size_t i = 0; text && text[i] && i < 255 && (text[i] & 0xFF); ++i)
        key += static_cast<char>(text[i] & 0xFF);
    key += '_';
    if (scene) key += scene;
    key += '_';
    append(x, 10);
    key += '_';
    append(y, 10);
    if (key.size() > 511) key.resize(511);
}

int32_t DrawTextDirect(Surface* surface, Font& font, uint32_t size, int32_t align, int32_t x, int32_t y,
                       uint32_t colour, const char16_t* text) {
    if (!text) return 0;
    text = ApplySizePrefix(text, size);
    return DrawDirect(surface, font, size, align, x, y, colour, text);
}

void DrawText(Surface* surface, Font& font, uint32_t size, int32_t align, int32_t x, int32_t y,
              uint32_t colour, const char16_t* text) {
    if (!text || !surface || !g_registry) return;
    LogSilence silence;
    text = ApplySizePrefix(text, size);
    // One buffer for every draw: a frame draws each of its texts, found in the cache by this key.
    static std::string key;
    CacheKeyInto(key, font, size, colour, text, x, y);
    uint32_t width = 0;
    if (Surface* cached = g_registry->Find(key.c_str(), &width)) {
        Graphics::Blit(surface, BoxLeft(align, x, int32_t(width)), y, cached, nullptr, false);
        return;
    }
    // A new text takes the background under it: it is made when the frame is drawn.
    const std::u16string copy(text);
    const uint64_t signature = Graphics::HashBytes(HashMixAlign(align), key.data(), key.size());
    const bool isVolatile = g_volatile;
    Graphics::DrawOrDefer(surface, signature,
                          [surface, &font, size, align, x, y, colour, copy, key = key, isVolatile] {
                              LogSilence quiet;
                              CacheNow(surface, font, size, align, x, y, colour, copy, key, isVolatile);
                          });
}

TextRect DrawParagraph(Surface* surface, Font& font, uint32_t size, uint32_t colour, const TextRect& rect,
                       const char16_t* text) {
    if (!text) return rect;
    text = ApplySizePrefix(text, size);
    struct Word {
        std::u16string text;
        int32_t width;
    };
    std::vector<Word> words;
    for (const char16_t* p = text; *p;) {
        while (*p == u' ')
            ++p;
        const char16_t* start = p;
        while (*p && *p != u' ')
            ++p;
        if (p > start) words.push_back({std::u16string(start, p), 0});
    }
    if (words.empty()) return rect;
    for (Word& w : words)
        w.width = font.Measure(size, w.text.c_str());

    const int32_t available = rect.Width();
    const int32_t lineHeight = BoxHeight(size);
    int32_t top = rect.top;
    size_t next = 0;
    while (next < words.size()) {
        const size_t first = next;
        int32_t run = 0;
        bool crossed = false;
        while (next < words.size()) {
            const int32_t grown = run + words[next].width + 5;
            if (grown >= available) {
                crossed = true;
                // A word wider than the whole line still takes a line of its own.
                if (next == first) {
                    run = grown;
                    ++next;
                }
                break;
            }
            run = grown;
            ++next;
        }
        const int32_t n = int32_t(next - first);
        const int32_t spare = crossed ? std::max(0, available - run) : 0;
        int32_t packed = rect.left;
        for (int32_t i = 0; i < n; ++i) {
            const Word& w = words[first + size_t(i)];
            DrawDirect(surface, font, size, kLeft, packed + i * spare / n, top, colour, w.text.c_str());
            packed += w.width + 5;
        }
        top += lineHeight;
    }
    TextRect out = rect;
    out.top = top;
    return out;
}

std::u16string Format(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return Widen(buffer);
}

std::u16string Widen(const char* text) {
    std::u16string out;
    if (text)
        for (const char* p = text; *p; ++p)
            out.push_back(char16_t(static_cast<unsigned char>(*p)));
    return out;
}

std::string Narrow(const char16_t* text, size_t maxUnits) {
    std::string out;
    if (text)
        for (const char16_t* p = text; *p && out.size() < maxUnits; ++p)
            out.push_back(static_cast<char>(*p & 0xFF));
    return out;
}

std::u16string SubstituteInt(const char16_t* text, int32_t value) {
    std::u16string out = text ? text : u"";
    const size_t at = out.find(u"%d");
    if (at != std::u16string::npos) out.replace(at, 2, Widen(std::to_string(value).c_str()));
    return out;
}

} // namespace Text
