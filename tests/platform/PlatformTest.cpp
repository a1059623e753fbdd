#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Instance.h"
#include "platform/Registry.h"

#include "support/TempDir.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override { Platform::SetRegistryRoot(dir.path() + "/reg"); }
    void TearDown() override { Platform::SetRegistryRoot(""); }
    TempDir dir;
    const std::string key = "Software\\Quillmarsh\\Parlorix\\Options";
};

TEST_F(RegistryTest, ValuesSurviveARestartAndStayReadable) {
    {
        Platform::RegistryKey k;
        ASSERT_TRUE(k.Open(key));
        EXPECT_TRUE(k.WriteDword("SoundVolume", 40));
        EXPECT_TRUE(k.WriteString("Player", "Ann = \"the\" \\ best\nsecond line"));
    }
    Platform::RegistryKey k;
    ASSERT_TRUE(k.Open(key));
    uint32_t v = 0;
    EXPECT_TRUE(k.ReadDword("SoundVolume", v));
    EXPECT_EQ(v, 40u);
    std::string s;
    EXPECT_TRUE(k.ReadString("Player", s));
    EXPECT_EQ(s, "Ann = \"the\" \\ best\nsecond line");
    // Types are kept apart, and a missing value leaves the target untouched.
    EXPECT_FALSE(k.ReadDword("Player", v));
    uint32_t untouched = 77;
    EXPECT_FALSE(k.ReadDword("fullscreen", untouched));
    EXPECT_EQ(untouched, 77u);
    // The store is a plain text file under the root, one file per key.
    std::string text = dir.Read("reg/Software/Quillmarsh/Parlorix/Options.reg");
    EXPECT_NE(text.find("SoundVolume=dword:40\n"), std::string::npos);
}

TEST_F(RegistryTest, StringReadsAreBoundedByTheCallersBuffer) {
    Platform::RegistryKey k;
    ASSERT_TRUE(k.Open(key));
    ASSERT_TRUE(k.WriteString("Player", std::string(1000, 'n')));
    char buf[64];
    std::memset(buf, 'x', sizeof buf);
    char guard[8] = "guard!";
    ASSERT_TRUE(k.ReadString("Player", buf, sizeof buf));
    EXPECT_EQ(std::strlen(buf), 63u);
    EXPECT_STREQ(guard, "guard!");
    char kept[4] = "old";
    EXPECT_FALSE(k.ReadString("Nobody", kept, sizeof kept));
    EXPECT_STREQ(kept, "old");
}

TEST_F(RegistryTest, WritesReplaceTheFileAtomically) {
    Platform::RegistryKey k;
    ASSERT_TRUE(k.Open(key));
    for (uint32_t i = 0; i < 20; ++i) {
        std::string name(1, 'n');
        name += std::to_string(i % 5);
        ASSERT_TRUE(k.WriteDword(name, i));
    }
    // No temporary files are left behind: the store and its previous generation.
    std::set<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir / "reg/Software/Quillmarsh/Parlorix"))
        files.insert(e.path().filename().string());
    EXPECT_EQ(files, (std::set<std::string>{"Options.reg", "Options.reg.bak"}));
    Platform::RegistryKey again;
    ASSERT_TRUE(again.Open(key));
    uint32_t v = 0;
    EXPECT_TRUE(again.ReadDword("n4", v));
    EXPECT_EQ(v, 19u);
}

TEST_F(RegistryTest, CorruptStoreIsReadAsFarAsValidAndKept) {
    dir.Write("reg/Software/Quillmarsh/Parlorix/Options.reg",
              "SoundVolume=dword:55\ngarbage line\nMusicVolume=dword:99999999999\nfullscreen=dword:1\n"
              "Player=string:bad\\q\nbShowFPS=dword:1");
    Platform::RegistryKey k;
    ASSERT_TRUE(k.Open(key));
    uint32_t v = 0;
    EXPECT_TRUE(k.ReadDword("SoundVolume", v));
    EXPECT_EQ(v, 55u);
    EXPECT_TRUE(k.ReadDword("fullscreen", v));
    EXPECT_EQ(v, 1u);
    EXPECT_FALSE(k.ReadDword("MusicVolume", v));
    std::string s;
    EXPECT_FALSE(k.ReadString("Player", s));
    EXPECT_FALSE(k.ReadDword("bShowFPS", v)); // a last line without its line end was cut short
    EXPECT_TRUE(std::filesystem::exists(dir / "reg/Software/Quillmarsh/Parlorix/Options.reg.corrupt"));
    EXPECT_TRUE(k.WriteDword("SoundVolume", 60));
    EXPECT_NE(dir.Read("reg/Software/Quillmarsh/Parlorix/Options.reg.corrupt").find("garbage line"),
              std::string::npos);
}

TEST_F(RegistryTest, UnopenedKeyReadsNothingAndWritesNothing) {
    Platform::RegistryKey k;
    uint32_t v = 5;
    EXPECT_FALSE(k.ReadDword("x", v));
    EXPECT_FALSE(k.WriteDword("x", 1));
    EXPECT_FALSE(k.Open("..\\..\\etc"));
}

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

TEST(Instance, SecondHolderIsRefusedAndLockDiesWithTheProcess) {
    TempDir dir;
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    Platform::InstanceLock first;
    ASSERT_TRUE(first.Acquire("Selvane running"));
    // Another process cannot take it while we hold it.
    pid_t child = fork();
    if (child == 0) {
        Platform::InstanceLock other;
        _exit(other.Acquire("Selvane running") ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    first.Release();
    // A holder that dies without releasing frees the lock too.
    child = fork();
    if (child == 0) {
        Platform::InstanceLock crash;
        _exit(crash.Acquire("Selvane running") ? 0 : 1);
    }
    waitpid(child, &status, 0);
    Platform::InstanceLock again;
    EXPECT_TRUE(again.Acquire("Selvane running"));
    unsetenv("XDG_RUNTIME_DIR");
}

uint32_t g_fake = 0;
TEST(Clock, TimeSourceOverrideAndMonotonic) {
    uint32_t a = Platform::TimeMs();
    Platform::SleepMs(2);
    EXPECT_GE(static_cast<uint32_t>(Platform::TimeMs() - a), 1u);
    g_fake = 0xFFFFFFF0u;
    Platform::SetTimeSource([] { return g_fake; });
    uint32_t before = Platform::TimeMs();
    g_fake += 0x20;
    EXPECT_EQ(static_cast<uint32_t>(Platform::TimeMs() - before), 0x20u); // wraps like the original
    Platform::SetTimeSource(nullptr);
}

} // namespace
