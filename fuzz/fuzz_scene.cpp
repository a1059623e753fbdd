// Scene files (".eed"): the record walker, every scene's variables and objects, scene switches.
#include "fuzz/FuzzSupport.h"
#include "scene/Level.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSetUp();
    // No renderer to tell of the switches.
    SceneHooks hooks;
    hooks.sceneChanged = [](Level*) {};
    SetSceneHooks(hooks);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = WriteScratch(data, size, ".eed");
    if (LoadSceneFile(path.c_str())) {
        Episode* episode = GetCurrentEpisode();
        std::vector<std::string> names;
        for (const auto& cell : episode->cells)
            if (cell.second) names.push_back(cell.second->sName);
        for (const std::string& name : names)
            SwitchScene(episode->name.c_str(), name.c_str());
        SwitchScene(episode->name.c_str(), "Level_00_00");
    }
    ReleaseAllEpisodes();
    return 0;
}
