#include "ui/TextTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TextTable table;
    table.AddFile(data, size);
    table.GetText("Version");
    return 0;
}
