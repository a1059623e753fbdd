#pragma once
// Pictures of the screens: panels, buttons, markers, cursor, previews, backgrounds and elements.
#include "gen-common/Image.h"

#include <string>
#include <vector>

namespace Pics {

struct Framed {
    std::vector<Gen::Image> frames;
    Gen::Color matte; // what the picture is expected to sit on
};

Framed ScreenPicture(const std::string& name, int w, int h, int frames);
Gen::Image Background(const std::string& name, int w, int h, const std::string& fontPath);
Gen::Image Element(const std::string& name, int w, int h);
Gen::Image LightMap(int size);

// Where the board of a background lies, shared with the board element.
constexpr int kBoardX = 33, kBoardY = 36, kBoardSize = 530;

} // namespace Pics
