// Animation files (".ani") and the action script compiler, each script run for a while.
#include "fuzz/FuzzSupport.h"
#include "gfx/Animation.h"
#include "gfx/AnimationData.h"
#include "gfx/AnimationScript.h"
#include "platform/Clock.h"

#include <vector>

namespace {
uint32_t g_now = 1000;
uint32_t FakeClock() {
    return g_now;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSetUp();
    Platform::SetTimeSource(&FakeClock);
    return 0;
}

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
    // ...and the whole file reader, each action played.
    std::string path = WriteScratch(data, size, ".ani");
    if (Animation::ReadFile(path.c_str())) {
        for (const auto& animation : Animation::Registry())
            for (const auto& action : animation->actions) {
                AnimationState state;
                for (int step = 0; step < 20; ++step) {
                    g_now += 23;
                    Animation::Play(animation->name.c_str(), action->sName.c_str(), state);
                }
            }
    }
    Animation::ReleaseAll();
    return 0;
}
