// library.ini of the object library: data entries, template groups, templates, and the text
// written back.
#include "core/Config.h"
#include "fuzz/FuzzSupport.h"
#include "scene/Library.h"

PARLORIX_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ConfigDoc doc;
    doc.Parse(reinterpret_cast<const char*>(data), size);
    for (const char* group : {"Element", "Item"}) {
        LibraryGroup library(group, std::string(group) == "Item" ? "item" : "jpg", {}, "");
        library.LoadFrom(doc);
        std::string text = library.SaveText();
        // What the library writes, it reads back.
        ConfigDoc again;
        again.Parse(text.data(), text.size());
        LibraryGroup reread(group, library.extension, {}, "");
        reread.LoadFrom(again);
    }
    return 0;
}
