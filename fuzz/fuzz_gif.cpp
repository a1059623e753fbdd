// The GIF decoder: every frame composed with its disposal rules.
#include "fuzz/FuzzSupport.h"
#include "picture/Image.h"

PARLORIX_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<Bitmap> frames;
    if (Image::DecodeGif(data, size, frames))
        for (const Bitmap& frame : frames)
            if (frame.Width() != frames[0].Width() || frame.Height() != frames[0].Height()) __builtin_trap();
    return 0;
}
