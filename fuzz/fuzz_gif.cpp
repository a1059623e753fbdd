#include "gfx/Image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<Bitmap> frames;
    Image::DecodeGif(data, size, frames);
    return 0;
}
