// The PCX picture decoder.
#include "fuzz/FuzzSupport.h"
#include "picture/Image.h"

PARLORIX_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bitmap out;
    if (Image::DecodePcx(data, size, out) && out.Width() * out.Height() == 0) __builtin_trap();
    return 0;
}
