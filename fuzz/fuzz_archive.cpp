#include "core/FileLayer.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = WriteScratch(data, size, ".dat");
    FileLayer::UnmountAll();
    if (FileLayer::Mount(path.c_str(), "", 1)) {
        FileLayer::Enumerate(
            "no-such-folder", "txt ogg ani eed it",
            [](const char* name, void*) { FileLayer::Free(FileLayer::Load(name)); }, nullptr);
    }
    FileLayer::UnmountAll();
    return 0;
}
