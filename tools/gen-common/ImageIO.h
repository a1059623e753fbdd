#pragma once
// Picture files of the content generators.
#include "gen-common/Image.h"

#include <string>
#include <vector>

namespace Gen {

// The colour that stands for transparency in the game's GIFs: the first pixel of frame 0 decides
// it, so every GIF written here has this colour (palette entry 0) in its top-left corner and
// nowhere where the picture should show.
constexpr uint32_t kKeyRgb = 0xFF00FF;

// Writes frames of one size as a GIF with one palette chosen for this image (median cut over all
// frames). Pixels with coverage below `threshold` become the key colour; the others are flattened
// over `matte` (the colour the picture is expected to sit on), so soft edges stay smooth without
// an alpha channel. The top-left pixel of frame 0 is forced to the key colour.
bool WriteGif(const std::string& path, const std::vector<Image>& frames, const Color& matte,
              float threshold = 0.35f, bool forceKeyCorner = true);
bool WriteJpeg(const std::string& path, const Image& img, int quality, const Color& background);
// 32-bit TGA with alpha, rows stored bottom-up.
bool WriteTga(const std::string& path, const Image& img);
bool WritePng(const std::string& path, const std::vector<Rgba8>& rgba, int w, int h);

struct Picture {
    int w = 0, h = 0;
    std::vector<Rgba8> px;
};
// All frames of a GIF, each full-size, straight RGBA with alpha 255 (the key is not applied).
bool ReadGif(const std::string& path, std::vector<Picture>& frames);
bool ReadJpeg(const std::string& path, Picture& out);

} // namespace Gen
