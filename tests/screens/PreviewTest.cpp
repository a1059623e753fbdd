#include <gtest/gtest.h>

#include <vector>

#include "platform/Clock.h"
#include "screens/Preview.h"

namespace {

uint32_t g_now = 0;

class PreviewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_now = 10000;
        Platform::SetTimeSource([] { return g_now; });
    }
    void TearDown() override { Platform::SetTimeSource(nullptr); }

    static int Visible(const Game::GamePreview& p) {
        int n = 0;
        for (const auto& piece : p.pieces)
            n += piece.state != Game::kPieceHidden;
        return n;
    }
};

TEST_F(PreviewTest, StepsWithoutWaitComeInTheSameFrameAndWaitingStepsEvery700Ms) {
    Game::GamePreview groups(Game::kPreviewGroups);
    groups.Tick();
    // The 4 x 4 block: one waiting step and fifteen that follow it at once.
    EXPECT_EQ(Visible(groups), 16);
    EXPECT_EQ(groups.step, 16);
    EXPECT_EQ(groups.lastStepTime, g_now);

    g_now += 700; // not yet: only later than 700 ms
    groups.Tick();
    EXPECT_EQ(groups.step, 16);
    g_now += 1;
    groups.Tick();
    EXPECT_EQ(groups.step, 19); // select 5, 9 and 13 together
    EXPECT_EQ(groups.pieces[5].state, Game::kPieceSelected);
    EXPECT_EQ(groups.pieces[13].state, Game::kPieceSelected);
}

TEST_F(PreviewTest, ThreeEmptyStepsHoldTheEndFor2100Ms) {
    for (const Game::PreviewStep* script : {Game::kPreviewSquares, Game::kPreviewGroups}) {
        Game::GamePreview p(script);
        const int last = p.StepCount() - 3; // the first of the three action-5 steps
        int guard = 0;
        while (p.step != last && guard++ < 100000) {
            g_now += 10;
            p.Tick();
        }
        ASSERT_EQ(p.step, last);
        const uint32_t lastChange = p.lastStepTime;
        while (p.step != 0 && guard++ < 100000) {
            g_now += 10;
            p.Tick();
        }
        // Three waits of 700 ms (each counted from the step before), then every piece hides
        // and the script starts over.
        EXPECT_GT(g_now - lastChange, 2100u);
        EXPECT_LE(g_now - lastChange, 2130u);
        EXPECT_EQ(Visible(p), 0);
    }
}

TEST_F(PreviewTest, MovingPieceTravelsOneCellPer200MsAndShowsTheLastFrame) {
    static const Game::PreviewStep script[] = {{0, 1, 1, 1, 1, 1}, {0, 0, 3, 4, 5, 1}, {0, 0, 5, 0, 0, 1},
                                               {0, 0, 5, 0, 0, 1}, {0, 0, 5, 0, 0, 1}, {-1, 0, 0, 0, 0, 0}};
    Game::GamePreview p(script);
    p.Tick();
    EXPECT_EQ(p.pieces[0].state, Game::kPieceAppearing);
    g_now += 701;
    p.Tick();
    const uint32_t start = g_now;
    ASSERT_EQ(p.pieces[0].state, Game::kPieceMoving);
    // Diagonal (3, 4) cells = 5 cells = 80 pixels: 1000 ms.
    g_now = start + 500;
    p.Tick();
    EXPECT_EQ(p.pieces[0].pixelX, 16 + 24);
    EXPECT_EQ(p.pieces[0].pixelY, 16 + 32);
    Graphics::Rect src;
    EXPECT_STREQ(p.PieceSource(p.pieces[0], g_now, src), "s_g_app");
    EXPECT_EQ(src.left, 30);
    EXPECT_EQ(src.right, 45);
    g_now = start + 1000;
    p.Tick();
    EXPECT_EQ(p.pieces[0].x, 1); // exactly at the target cell's pixels: not beyond it yet
    g_now = start + 1100;
    p.Tick();
    EXPECT_EQ(p.pieces[0].x, 4);
    EXPECT_EQ(p.pieces[0].y, 5);
    g_now += 5;
    p.Tick();
    EXPECT_EQ(p.pieces[0].state, Game::kPieceShown);
    EXPECT_EQ(p.pieces[0].pixelX, 64);
}

TEST_F(PreviewTest, AppearAndDisappearPlayTheStripBothWays) {
    static const Game::PreviewStep script[] = {{0, 2, 1, 2, 3, 1}, {0, 0, 4, 0, 0, 1}, {0, 0, 5, 0, 0, 1},
                                               {0, 0, 1, 6, 6, 1}, {0, 0, 5, 0, 0, 1}, {-1, 0, 0, 0, 0, 0}};
    Game::GamePreview p(script);
    p.Tick();
    Game::PreviewPiece& piece = p.pieces[0];
    const uint32_t t = piece.stateTime;
    Graphics::Rect src;
    std::vector<int> frames;
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(p.PieceSource(piece, t + 200 * i + 10, src), "s_y_app");
        frames.push_back(src.left / 15);
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2}));

    g_now += 701;
    p.Tick();
    ASSERT_EQ(piece.state, Game::kPieceDisappearing);
    const uint32_t d = piece.stateTime;
    frames.clear();
    for (int i = 0; i < 3; ++i) {
        p.PieceSource(piece, d + 200 * i + 10, src);
        frames.push_back(src.left / 15);
    }
    EXPECT_EQ(frames, (std::vector<int>{2, 1, 0}));
    g_now = d + 601;
    p.Tick();
    EXPECT_EQ(piece.state, Game::kPieceHidden);
    EXPECT_EQ(p.PieceSource(piece, g_now, src), nullptr);

    // Shown again: frame 0 at the new cell in the new colour.
    g_now = p.lastStepTime + 701;
    p.Tick();
    g_now = p.lastStepTime + 701;
    p.Tick();
    EXPECT_EQ(piece.state, Game::kPieceAppearing);
    EXPECT_EQ(piece.colour, 0);
    EXPECT_EQ(piece.x, 6);
    EXPECT_STREQ(p.PieceSource(piece, g_now, src), "s_r_app");
    EXPECT_EQ(src.left, 0);
}

} // namespace
