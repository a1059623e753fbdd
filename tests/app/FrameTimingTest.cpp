#include "app/App.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameTiming, FirstFrameReportsZeroAndLaterFramesTheDifference) {
    EXPECT_EQ(App::ElapsedMs(123456, 0), 0u);
    EXPECT_EQ(App::ElapsedMs(123456, 123440), 16u);
    // Across the clock's wrap-around the difference stays right.
    EXPECT_EQ(App::ElapsedMs(5, 0xFFFFFFF0u), 21u);
}

TEST(FrameTiming, FpsChangesAtMostOncePerSecond) {
    App::FpsMeter fps;
    fps.lastTime = 100.0f;
    float first = 0.0f;
    uint32_t t = 100000;
    for (int i = 0; i < 50; ++i, t += 10)
        first = fps.Tick(t);
    EXPECT_EQ(first, 0.0f); // not yet a full second
    for (int i = 0; i < 60; ++i, t += 10)
        fps.Tick(t);
    float measured = fps.rate;
    EXPECT_NEAR(measured, 100.0f, 2.0f);
    // Within the next second the figure stays as it is, however fast frames come.
    for (int i = 0; i < 90; ++i, t += 1)
        EXPECT_EQ(fps.Tick(t), measured);
}

// At most one shot per 500 ms; each flashes brightly and fades within 200 ms.
TEST(Screenshots, AtMostOnePer500msEachFlashingFor200ms) {
    App::ScreenshotTaker shots;
    EXPECT_FALSE(shots.Due(false, 10000));
    EXPECT_TRUE(shots.Due(true, 10000));
    EXPECT_EQ(shots.FlashAlpha(300), 0); // no shot yet: no flash at start-up
    shots.lastTime = 10000;
    EXPECT_FALSE(shots.Due(true, 10500));
    EXPECT_TRUE(shots.Due(true, 10501));
    shots.flashing = true;
    shots.flashTime = 5000;
    EXPECT_EQ(shots.FlashAlpha(5000), 160);
    uint8_t last = 255;
    for (uint32_t t = 5000; t < 5200; t += 20) {
        EXPECT_LT(shots.FlashAlpha(t), last) << "at " << t;
        last = shots.FlashAlpha(t);
    }
    EXPECT_EQ(shots.FlashAlpha(5200), 0);
    EXPECT_EQ(shots.FlashAlpha(9000), 0);
}

} // namespace
