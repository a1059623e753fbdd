#include "fuzz/FuzzSupport.h"
#include "gfx/Animation.h"
#include "gfx/AnimationScript.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The script compiler on its own, then run for a while...
    std::string source(reinterpret_cast<const char*>(data), size);
    std::vector<ScriptCommand> commands;
    if (AnimationScript::Compile(source, commands) < 0) {
        AnimationState state;
        AnimationScript::Start(commands, state, 0);
        for (uint32_t t = 5; t < 2000; t += 37)
            AnimationScript::Advance(commands, 5, state, t, false);
    }
    // ...and the whole file reader.
    std::string path = WriteScratch(data, size, ".ani");
    Animation::ReadFile(path.c_str());
    Animation::ReleaseAll();
    return 0;
}
