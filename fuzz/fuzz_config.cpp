#include "core/Config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ConfigDoc doc;
    doc.Parse(reinterpret_cast<const char*>(data), size);
    char buf[16];
    doc.GetText(buf, sizeof buf, "a", "b");
    doc.GetBool("a");
    return 0;
}
