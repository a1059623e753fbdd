#include "platform/Clock.h"
#include "platform/Display.h"
#include "platform/Files.h"

#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

TEST(Files, ResolvePathMatchesComponentsIgnoringCase) {
    TempDir dir;
    dir.Write("Data/Library/Font/Tahoma.ttf", "f");
    EXPECT_EQ(Platform::ResolvePath("data\\LIBRARY\\font\\tahoma.TTF"), "Data/Library/Font/Tahoma.ttf");
    EXPECT_EQ(Platform::ResolvePath("Data\\Library\\new\\file.txt"), "Data/Library/new/file.txt");
    EXPECT_TRUE(Platform::FileExists("DATA\\library\\Font\\TAHOMA.ttf"));
    EXPECT_TRUE(Platform::IsDirectory("data\\library"));
    std::vector<Platform::DirEntry> entries;
    ASSERT_TRUE(Platform::ListDirectory("data", entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "Library");
    EXPECT_TRUE(entries[0].isDirectory);
}

TEST(Files, GameIsLocatedFromItsExecutableNeverFromTheCurrentFolder) {
    TempDir dir; // also the current folder, and it holds content that is not the game's
    dir.Write("Data/Levels/Board.eed", "x");
    dir.Write("game.dat", "x");
    const std::string root = dir.path();
    setenv("XDG_DATA_HOME", (root + "/xdg").c_str(), 1);

    // An unpacked copy runs beside its executable.
    dir.Write("portable/game.dat", "x");
    Platform::GameLocation at = Platform::LocateGame(root + "/portable");
    EXPECT_EQ(at.workDir, root + "/portable");
    EXPECT_EQ(at.archive, "game.dat");
    EXPECT_FALSE(at.installed);

    // A build tree: the executable two folders down, the content at the top.
    dir.Write("build/CMakeCache.txt", "x");
    dir.Write("build/Data/Library/text/x", "x");
    dir.Write("build/Game.ini", "x");
    std::filesystem::create_directories(root + "/build/bench/tool");
    at = Platform::LocateGame(root + "/build/bench/tool");
    EXPECT_EQ(at.workDir, root + "/build");
    EXPECT_EQ(at.settings, root + "/build/Game.ini");

    // Installed, in both Debian layouts: the archive from share, the work in the user's data folder.
    dir.Write("usr/share/parlorix/game.dat", "x");
    std::filesystem::create_directories(root + "/usr/bin");
    at = Platform::LocateGame(root + "/usr/bin");
    EXPECT_TRUE(at.installed);
    EXPECT_EQ(at.archive, root + "/usr/share/parlorix/game.dat");
    EXPECT_EQ(at.settings, root + "/usr/share/parlorix/Game.ini");
    EXPECT_EQ(at.workDir, root + "/xdg/parlorix");
    dir.Write("policy/share/games/parlorix/game.dat", "x");
    std::filesystem::create_directories(root + "/policy/games");
    at = Platform::LocateGame(root + "/policy/games");
    EXPECT_TRUE(at.installed);
    EXPECT_EQ(at.archive, root + "/policy/share/games/parlorix/game.dat");

    // Nothing anywhere: beside the executable, whatever the current folder holds.
    std::filesystem::create_directories(root + "/bare/bin");
    at = Platform::LocateGame(root + "/bare/bin");
    EXPECT_EQ(at.workDir, root + "/bare/bin");
    EXPECT_FALSE(at.installed);
    unsetenv("XDG_DATA_HOME");
}

uint32_t g_fake = 0;
TEST(Clock, TimeSourceOverrideAndMonotonic) {
    uint32_t a = Platform::TimeMs();
    Platform::SleepUs(2000);
    EXPECT_GE(static_cast<uint32_t>(Platform::TimeMs() - a), 1u);
    g_fake = 0xFFFFFFF0u;
    Platform::SetTimeSource([] { return g_fake; });
    uint32_t before = Platform::TimeMs();
    g_fake += 0x20;
    EXPECT_EQ(static_cast<uint32_t>(Platform::TimeMs() - before), 0x20u); // wraps like the original
    Platform::SetTimeSource(nullptr);
}

// Refreshes served one after another stay exactly a period apart however late in its period each
// pass ends or its wake-up comes (waits rounded to whole milliseconds made an idle 60 Hz screen
// wake 62-70 times a second); an early wake-up keeps the same moment; a pass later than a period
// starts the count afresh rather than rushing through the refreshes it missed.
TEST(RefreshPacer, KeepsTheDisplaysRateWithoutDriftOrCatchingUp) {
    Platform::RefreshPacer pacer;
    pacer.SetRate(0); // unknown: 60 Hz
    EXPECT_EQ(pacer.PeriodUs(), 16666);
    pacer.Restart(0);
    int64_t now = 0;
    for (int i = 1; i <= 60; ++i) {
        now += 3000 + i * 100; // the pass's own work
        now += pacer.WaitUs(now);
        ASSERT_EQ(now, i * 16666);
        pacer.Served(now + 60); // the sleeper wakes a little late
    }
    const int64_t due = 61 * 16666;
    EXPECT_EQ(pacer.WaitUs(now + 5000), due - now - 5000); // an event woke the wait early

    now = due + 3 * 16666 + 10;
    EXPECT_EQ(pacer.WaitUs(now), 0);
    pacer.Served(now);
    EXPECT_EQ(pacer.WaitUs(now), 16666);

    pacer.SetRate(144);
    pacer.Restart(now);
    EXPECT_EQ(pacer.WaitUs(now), 6944);
}

} // namespace
