#pragma once
// Every end-to-end test: a scratch folder, its own Xvfb, and skips with a reason when the tools or
// the generated content are missing.
#include "e2e/Harness.h"
#include "e2e/Screens.h"
#include "support/Prerequisite.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace E2e {

class E2eTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HaveTool("Xvfb") || !HaveTool("xdotool"))
            PARLORIX_MISSING(
                "Xvfb and xdotool are needed (Debian packages xvfb, xdotool; scripts/install-deps.sh)");
        if (!std::filesystem::exists(DataRoot() + "/Data/Library/Font") ||
            !std::filesystem::exists(DataRoot() + "/game.dat"))
            PARLORIX_MISSING("no generated content (Data and game.dat) in '"
                             << DataRoot() << "'; configure with -DPARLORIX_CONTENT=ON");
        std::string error;
        ASSERT_TRUE(x.Start(error)) << error;
    }
    void TearDown() override {
        games.clear(); // kills what still runs
        x.Stop();
    }

    // A program run in `workDir` (created) with its XDG folders under `home` (created). Without a
    // binary, the build's game is copied into `workDir`: it finds its content (what the test put
    // there) beside its executable and writes its log and screenshots there.
    Game& NewGame(const std::string& workDir, const std::string& home, const std::string& binary = "") {
        std::filesystem::create_directories(workDir);
        std::string run = binary;
        if (run.empty()) {
            run = workDir + "/parlorix";
            if (!std::filesystem::exists(run)) std::filesystem::copy_file(PARLORIX_BINARY, run);
        }
        games.push_back(std::make_unique<Game>(run, workDir, home, x.Display()));
        return *games.back();
    }

    // A build-tree copy in `workDir` with the generated Data linked in, its home the test's.
    Game& NewGameWithData(const std::string& workDir) {
        Game& game = NewGame(workDir, dir / "home");
        if (!std::filesystem::exists(workDir + "/Data"))
            std::filesystem::create_directory_symlink(DataRoot() + "/Data", workDir + "/Data");
        return game;
    }

    // Starts it and waits for its window.
    void StartAndFindWindow(Game& game) {
        ASSERT_TRUE(game.Start());
        ASSERT_TRUE(game.FindWindow(20000)) << "no window titled Parlorix; exit " << game.WaitExit(0) << "\n"
                                            << ReadFile(game.Home() + "/stdout.txt");
    }

    // From the title by the mouse: Play, Lines, Play on the StartPanel; `start` is the board in play.
    void StartLinesByMouse(Game& game, const std::string& prefix, Bitmap& start) {
        Bitmap shot;
        game.Click(400, 240);
        ASSERT_EQ(AwaitShot(game, shot, prefix + "-game-selection", CheckGameSelection), "");
        game.Click(130, 372);
        ASSERT_EQ(AwaitShot(game, shot, prefix + "-start-panel", CheckBoardWithPanel), "");
        game.Click(400, 210);
        ASSERT_EQ(AwaitShot(game, start, prefix + "-playing", CheckPlaying), "");
    }

    TempDir dir{false};
    XServer x;
    std::vector<std::unique_ptr<Game>> games;
};

} // namespace E2e
