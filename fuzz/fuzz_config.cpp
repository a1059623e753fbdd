// The configuration parser behind the settings store, library.ini, .ani and .item files.
#include "core/Config.h"
#include "fuzz/FuzzSupport.h"

PARLORIX_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ConfigDoc doc;
    doc.Parse(reinterpret_cast<const char*>(data), size);
    char buf[16];
    for (const ConfigDoc::Section& section : doc.Sections())
        for (const ConfigDoc::Entry& entry : section.entries) {
            doc.GetText(buf, sizeof buf, entry.key.c_str(), section.name.c_str());
            if (std::string(buf).size() >= sizeof buf) __builtin_trap();
            doc.GetInt(entry.key.c_str(), section.name.c_str());
            doc.GetReal(entry.key.c_str(), section.name.c_str());
            doc.GetBool(entry.key.c_str(), section.name.c_str());
            ParseDecimal(entry.value.c_str());
            ParseReal(entry.value.c_str());
        }
    doc.GetBool("bVerticalRetrace", "Renderer");
    return 0;
}
