#include "core/Hook.h"

#include <cassert>
#include <cstdio>

#include "core/Log.h"

void HookNotSet(const char* name) {
    // Before the log starts (tools, tests) the fault still shows on stderr.
    if (Log::Path().empty()) std::fprintf(stderr, "Hook %s called but never set\n", name);
    LogMsg("Hook %s called but never set\n", name);
    assert(!"a hook was called but never set");
}
