#pragma once
// A test whose prerequisite (a tool, a device, the generated content) is missing: on a
// developer's machine it skips with the reason; in CI (CI=true), where scripts/install-deps.sh
// provides everything, it fails, so a suite can never pass by not running.
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

// The build tree that holds the generated Data folder and game.dat (see TestMain.cpp).
inline std::string DataRoot() {
    const char* d = std::getenv("PARLORIX_DATA_DIR");
    return d ? d : "";
}

inline bool RunningInCi() {
    const char* ci = std::getenv("CI");
    return ci && std::strcmp(ci, "true") == 0;
}

// Use as a statement in a test or SetUp: PARLORIX_MISSING("no xdotool" << detail);
#define PARLORIX_MISSING(reason)                                                                             \
    do {                                                                                                     \
        if (RunningInCi()) GTEST_FAIL() << "missing in CI: " << reason;                                      \
        GTEST_SKIP() << reason;                                                                              \
    } while (0)
