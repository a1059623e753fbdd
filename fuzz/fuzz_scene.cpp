#include "fuzz/FuzzSupport.h"
#include "scene/Level.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = WriteScratch(data, size, ".eed");
    LoadSceneFile(path.c_str());
    SwitchScene("parlorix-fuzz-", "Level_00_00");
    ReleaseAllEpisodes();
    return 0;
}
