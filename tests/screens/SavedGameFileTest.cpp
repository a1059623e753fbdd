// The program's saved games are written atomically: a kill at any moment of a save leaves the old
// game or the new one.
#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

#include "game/SavedGame.h"
#include "screens/Resume.h"
#include "support/TempDir.h"

using namespace Game;

namespace {

// A game of many items, so that a kill often lands in the middle of writing it.
SavedGame ManyItems(int32_t score) {
    SavedGame game;
    game.mode = GameMode::Groups;
    game.score = score;
    for (uint32_t slot = 0; slot < 300; ++slot) {
        SavedItem s;
        s.slot = slot;
        s.item.x = s.item.nextX = s.item.targetX = static_cast<int32_t>(slot % 20);
        s.item.y = s.item.nextY = s.item.targetY = static_cast<int32_t>(slot / 20);
        s.item.kind = 1 + static_cast<int32_t>(slot % 6);
        game.items.push_back(s);
    }
    return game;
}

} // namespace

TEST(SavedGameFile, KillDuringSavingLeavesTheOldGameOrTheNew) {
    TempDir dir;
    const SavedGame oldGame = ManyItems(5), newGame = ManyItems(9);
    const std::string oldText = FormatSavedGame(oldGame), newText = FormatSavedGame(newGame);
    const std::string path = dir / "groups.save";
    std::string error;
    ASSERT_TRUE(WriteSavedGame(path, oldGame, error)) << error;
    std::mt19937 pick(11);
    for (int round = 0; round < 12; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::string why;
            for (;;)
                if (!WriteSavedGame(path, (round % 2) ? newGame : oldGame, why)) ::_exit(1);
        }
        ::usleep(200 + pick() % 3000);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        SavedGame read;
        ASSERT_EQ(ReadSavedGame(path, read, error), SavedGameFile::Loaded) << error;
        const std::string text = FormatSavedGame(read);
        EXPECT_TRUE(text == oldText || text == newText);
    }
}
