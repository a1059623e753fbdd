// Writes small JPEG pictures as seeds of the JPEG decoder: the content's own JPEGs are full
// 800 x 600 backgrounds, too slow to mutate well.  jpeg_seeds <output folder>
#include "picture/Image.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? std::string(argv[1]) + "/" : "./";
    struct Seed {
        uint32_t width, height;
        int quality;
    };
    const Seed seeds[] = {{8, 8, 80}, {17, 9, 50}, {33, 21, 95}, {5, 40, 10}};
    int written = 0;
    for (const Seed& s : seeds) {
        std::vector<uint8_t> rgb(size_t(s.width) * s.height * 3);
        for (uint32_t y = 0; y < s.height; ++y)
            for (uint32_t x = 0; x < s.width; ++x) {
                uint8_t* p = &rgb[(size_t(y) * s.width + x) * 3];
                p[0] = uint8_t(x * 29 + y * 7);
                p[1] = uint8_t(y * 41);
                p[2] = uint8_t((x ^ y) * 13);
            }
        const std::string name =
            folder + "seed" + std::to_string(s.width) + "x" + std::to_string(s.height) + ".jpg";
        if (Image::WriteJpeg(name.c_str(), rgb.data(), s.width, s.height, size_t(s.width) * 3,
                             Image::PixelOrder::RGB, s.quality))
            ++written;
        else
            std::fprintf(stderr, "jpeg_seeds: cannot write %s\n", name.c_str());
    }
    return written == int(std::size(seeds)) ? 0 : 1;
}
