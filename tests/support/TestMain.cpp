// Every test program starts here: headless SDL drivers and the build's folders in the
// environment (unless the caller set them), then GoogleTest.
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("PARLORIX_SOURCE_DIR", PARLORIX_TEST_SOURCE_DIR, 0);
    setenv("PARLORIX_BUILD_DIR", PARLORIX_TEST_BUILD_DIR, 0);
    setenv("PARLORIX_DATA_DIR", PARLORIX_TEST_DATA_DIR, 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
