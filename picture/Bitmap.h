#pragma once
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// The program's in-memory picture: rows top to bottom without gaps. 32 bits: blue, green, red,
// alpha bytes (read as a u32: 0xAARRGGBB); 16 bits: the display's 16-bit layout; 8 bits: palette
// indices into 256 entries of blue, green, red and a fourth byte.
class Bitmap {
  public:
    static constexpr uint32_t kDefaultKey = 0xFF00FF;
    // Largest side and largest pixel count any picture may have; larger sizes are refused.
    static constexpr uint32_t kMaxSide = 16384;
    static constexpr uint64_t kMaxPixels = 16ull * 1024 * 1024;

    Bitmap() = default;
    Bitmap(const Bitmap& other) { Assign(other); }
    Bitmap& operator=(const Bitmap& other) {
        if (this != &other) Assign(other);
        return *this;
    }
    // A moved-from bitmap is empty.
    Bitmap(Bitmap&& other) noexcept { *this = std::move(other); }
    Bitmap& operator=(Bitmap&& other) noexcept {
        if (this != &other) {
            width_ = std::exchange(other.width_, 0);
            height_ = std::exchange(other.height_, 0);
            bits_ = std::exchange(other.bits_, 0);
            palette_ = std::move(other.palette_);
            pixels_ = std::move(other.pixels_);
            key_ = std::exchange(other.key_, kDefaultKey);
            other.palette_.clear();
            other.pixels_.clear();
        }
        return *this;
    }

    // Frees the old content; key 0xFF00FF; pixels zeroed; for 8 bits a zeroed palette. False (and
    // empty) for a depth other than 8, 16, 32 or a size that is zero or too large.
    [[nodiscard]] bool Create(uint32_t width, uint32_t height, uint32_t bits);
    void Free();
    void Clear();
    void Assign(const Bitmap& other);
    // Decodes PCX, BMP, JPEG (JFIF) or TGA through the file layer.
    [[nodiscard]] bool Load(const char* path);
    // The same decoders on bytes in memory (no logging, the missing-file switch is untouched).
    [[nodiscard]] bool LoadFromMemory(const uint8_t* data, size_t size);
    // Fills this bitmap (size and depth already set; 16 or 32 bits) from a source of any depth and
    // size: a byte copy when they match, else an area average.
    void CopyFrom(const Bitmap& source);
    void SetAlpha(uint8_t value);
    // Alpha bytes from an 8-bit (palette grey level) or 32-bit (alpha byte) picture of equal size.
    void SetAlphaFrom(const Bitmap& alpha);
    // Receives the colours of a 32-bit source of equal size; source alpha below `threshold` gives
    // the key colour, everything else is opaque. This bitmap is 32 or 16 bits.
    // Returns how many pixels hold the key colour afterwards (none: the picture needs no key).
    uint64_t ConvertFrom(const Bitmap& source, uint32_t threshold);

    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }
    uint32_t Bits() const { return bits_; }
    uint32_t ByteSize() const { return static_cast<uint32_t>(pixels_.size()); }
    bool Empty() const { return pixels_.empty(); }
    uint32_t KeyColor() const { return key_; }
    void SetKeyColor(uint32_t key) { key_ = key; }

    uint8_t* Pixels() { return pixels_.data(); }
    const uint8_t* Pixels() const { return pixels_.data(); }
    uint8_t* Row(uint32_t y) { return pixels_.data() + static_cast<size_t>(y) * RowBytes(); }
    const uint8_t* Row(uint32_t y) const { return pixels_.data() + static_cast<size_t>(y) * RowBytes(); }
    size_t RowBytes() const { return static_cast<size_t>(width_) * bits_ / 8; }
    // 256 entries for 8-bit bitmaps, nullptr otherwise.
    uint32_t* Palette() { return palette_.empty() ? nullptr : palette_.data(); }
    const uint32_t* Palette() const { return palette_.empty() ? nullptr : palette_.data(); }

    // Pixel `x` of `row` (a row of this bitmap) as 0xAARRGGBB, whatever the depth; palette entries
    // give alpha 0.
    uint32_t ArgbAt(const uint8_t* row, uint32_t x) const;
    // 32-bit access (no bounds check beyond debug builds; callers stay inside).
    uint32_t Pixel32(uint32_t x, uint32_t y) const;
    void SetPixel32(uint32_t x, uint32_t y, uint32_t argb);

    // The report-missing-file switch: Load logs a missing file only while it is set, and every
    // Load sets it again. Callers probing optional files clear it first.
    static void SetReportMissingFile(bool on);
    static bool ReportMissingFile();

  private:
    uint32_t width_ = 0, height_ = 0, bits_ = 0;
    std::vector<uint32_t> palette_;
    std::vector<uint8_t> pixels_;
    uint32_t key_ = kDefaultKey;
};
