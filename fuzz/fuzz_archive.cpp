// The "game.dat" reader: directory records, entry names, packed entries.
#include "core/FileLayer.h"
#include "fuzz/FuzzSupport.h"

PARLORIX_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = WriteScratch(data, size, ".dat");
    FileLayer::UnmountAll();
    if (FileLayer::Mount(path.c_str(), "", 1)) {
        FileLayer::Enumerate(
            nullptr, "txt ogg ani eed it ini item jpg tga gif ttf",
            [](const char* name, void*) {
                FileBuffer buffer(name);
                // The two trailing zero bytes every loaded buffer carries.
                if (buffer.ok() && (buffer.data()[buffer.size()] | buffer.data()[buffer.size() + 1]))
                    __builtin_trap();
            },
            nullptr);
    }
    FileLayer::UnmountAll();
    return 0;
}
