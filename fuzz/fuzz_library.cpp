#include "scene/Library.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LibraryGroup group("Element", "jpg", {}, "");
    group.LoadText(reinterpret_cast<const char*>(data), size);
    return 0;
}
