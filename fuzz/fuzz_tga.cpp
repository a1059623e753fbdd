#include "gfx/Image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bitmap out;
    Image::DecodeTga(data, size, out);
    return 0;
}
