// The text table's reader of UTF-16 "key=text" files.
#include "fuzz/FuzzSupport.h"
#include "ui/TextTable.h"

PARLORIX_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TextTable table;
    table.AddFile(data, size);
    table.AddFile(data, size / 2); // a file cut in the middle of a line
    table.GetText("Menu_Game1");
    table.GetText(u"Version");
    return 0;
}
