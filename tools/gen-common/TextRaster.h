#pragma once
// Text set with FreeType for titles drawn into pictures.
#include "gen-common/Image.h"

#include <string>

namespace Gen {

// The coverage of a UTF-8 (ASCII) text at a pixel size, as an image whose alpha is the coverage
// and colour white, with `pad` pixels of room on every side. Empty image on failure.
Image RenderText(const std::string& fontPath, const std::string& text, int pixelSize, int pad,
                 float letterSpacing = 0.f);

} // namespace Gen
