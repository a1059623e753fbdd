// Starts the real program headless (SDL's dummy video and audio drivers) in a scratch working
// directory with its own config and runtime folders, and checks what a player and a packager see
// from outside: exit codes, the log, the saved settings.
#include "support/Process.h"
#include "support/Prerequisite.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class ProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(DataRoot() + "/Data/Library/Font"))
            PARLORIX_MISSING("no generated content in " << DataRoot());
    }

    // Data/ made of links to the generated content, leaving out the named Library folders (or
    // "Levels", the scene file's).
    void LinkData(const std::vector<std::string>& without = {}) {
        fs::create_directories(dir / "Data/Library");
        if (std::find(without.begin(), without.end(), "Levels") == without.end())
            fs::create_directory_symlink(DataRoot() + "/Data/Levels", dir / "Data/Levels");
        for (const auto& e : fs::directory_iterator(DataRoot() + "/Data/Library")) {
            std::string name = e.path().filename().string();
            if (std::find(without.begin(), without.end(), name) == without.end())
                fs::create_directory_symlink(e.path(), dir / ("Data/Library/" + name));
        }
    }

    // Starts the program. The game finds its content beside its executable, so it runs as a copy
    // placed in the scratch folder.
    void Start(const TestProcess::Env& env = {}) {
        const fs::path binary = dir / "parlorix";
        if (!fs::exists(binary)) fs::copy_file(PARLORIX_BINARY, binary);
        TestProcess::Env all{{"XDG_CONFIG_HOME", dir / "config"},
                             {"XDG_RUNTIME_DIR", dir.path()},
                             {"XDG_DATA_HOME", dir / "share"},
                             {"SDL_VIDEODRIVER", "dummy"},
                             {"SDL_AUDIODRIVER", "dummy"}};
        all.insert(all.end(), env.begin(), env.end());
        fs::remove(dir / "stderr.txt");
        ASSERT_TRUE(game.Start({binary.string()}, all, dir / "stderr.txt", dir.path()));
    }

    // Waits until the log shows `text` (start-up reached that step) or `ms` pass.
    bool WaitForLog(const char* text, int ms) {
        return TestProcess::WaitUntil(ms, [&] { return Log().find(text) != std::string::npos; });
    }

    std::string Log() const { return dir.Read("Log000.txt"); }
    static constexpr const char* kSettings =
        "config/parlorix/registry/Software/Quillmarsh/Parlorix/Options.reg";
    std::string Settings() const { return dir.Read(kSettings); }

    TempDir dir{false};
    TestProcess::Process game;
};

// The window manager's close and a hang-up alike: the program ends with 0 and its settings are
// written whole. (The log's start-up order is checked by the window session.)
TEST_F(ProcessTest, TerminateAndHangUpSaveTheSettingsAndEndWithZero) {
    LinkData();
    for (int sig : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig == SIGTERM ? "SIGTERM" : "SIGHUP");
        fs::remove(dir / "Log000.txt");
        fs::remove(dir / kSettings);
        Start();
        ASSERT_TRUE(WaitForLog("OnSceneChanged", 60000)) << Log(); // the title scene is up
        EXPECT_EQ(game.WaitExit(1000), -1000) << "the game ended by itself:\n" << Log();
        EXPECT_EQ(game.Stop(60000, sig), 0) << Log();
        const std::string settings = Settings();
        for (const char* line :
             {"SoundVolume=dword:100\n", "MusicVolume=dword:100\n", "fullscreen=dword:0\n", "# end\n"})
            EXPECT_NE(settings.find(line), std::string::npos) << line << " not in\n" << settings;
    }
}

// What a player sees of a start-up that cannot go on: what is missing, where the game looked and
// what to do, on stderr and in the log; the message box is tried too (the dummy driver has none,
// which the log says).
void ExpectStartupMessage(const std::string& stderrText, const std::string& log, const std::string& what) {
    EXPECT_NE(stderrText.find("Parlorix cannot start: " + what + " is missing or damaged."),
              std::string::npos)
        << stderrText;
    EXPECT_NE(stderrText.find("It looked in the folder '"), std::string::npos) << stderrText;
    EXPECT_NE(stderrText.find("game.dat' (not found)."), std::string::npos) << stderrText;
    EXPECT_NE(stderrText.find("Reinstall the package, or rebuild the game's content"), std::string::npos);
    EXPECT_NE(log.find("Parlorix cannot start: " + what), std::string::npos) << log;
    EXPECT_NE(log.find("Message box not shown"), std::string::npos) << log;
}

TEST_F(ProcessTest, MissingSceneFileEndsWithItsReasonInsteadOfABlackWindow) {
    LinkData({"Levels"});
    Start();
    EXPECT_EQ(game.WaitExit(60000), 0);
    ExpectStartupMessage(dir.Read("stderr.txt"), Log(), "the scene file 'Data\\Levels\\Board.eed'");
}

TEST_F(ProcessTest, MissingMainFontEndsWithMinusOneAndSaysWhichFont) {
    // The menu font doubles as the renderer's default font; without the main font alone, start-up
    // reaches the font step and ends there.
    LinkData({"Font"});
    fs::create_directories(dir / "Data/Library/Font");
    fs::create_symlink(DataRoot() + "/Data/Library/Font/Tahoma.ttf", dir / "Data/Library/Font/Tahoma.ttf");
    Start();
    EXPECT_EQ(game.WaitExit(60000), 255); // -1 as the parent sees it
    ExpectStartupMessage(dir.Read("stderr.txt"), Log(), "the font 'Data\\Library\\Font\\progbot.ttf'");
}

TEST_F(ProcessTest, MissingLibraryFileNamesIt) {
    LinkData({"Light"});
    Start();
    EXPECT_EQ(game.WaitExit(60000), 0);
    ExpectStartupMessage(dir.Read("stderr.txt"), Log(),
                         "the object library file 'Data\\Library\\Light\\library.ini'");
}

TEST_F(ProcessTest, AnArchiveWithOneDamagedRecordStillStarts) {
    std::ifstream in(DataRoot() + "/game.dat", std::ios::binary);
    std::string a((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(a.size(), 256u);
    auto u32 = [&](size_t at) {
        return uint32_t(uint8_t(a[at])) | uint32_t(uint8_t(a[at + 1])) << 8 |
               uint32_t(uint8_t(a[at + 2])) << 16 | uint32_t(uint8_t(a[at + 3])) << 24;
    };
    // The record of a sound: its name is made to point past the end of the file.
    size_t pos = u32(34), damaged = 0;
    for (uint32_t i = 0; i < u32(38) && pos + 22 < a.size() && !damaged; ++i, pos = u32(pos + 8))
        if (std::string(a.c_str() + u32(pos)).find("Sound") != std::string::npos) damaged = pos;
    ASSERT_NE(damaged, 0u) << "no sound in the archive";
    for (int k = 0; k < 4; ++k)
        a[damaged + size_t(k)] = char(0xF0);
    dir.Write("game.dat", a);
    Start();
    ASSERT_TRUE(WaitForLog("OnSceneChanged", 60000)) << Log();
    EXPECT_EQ(game.Stop(60000), 0);
    EXPECT_NE(Log().find("entry name past the end of the file; entry skipped"), std::string::npos) << Log();
}

TEST_F(ProcessTest, UnopenableDisplayEndsWithZero) {
    LinkData();
    Start({{"SDL_VIDEODRIVER", "no-such-driver"}});
    EXPECT_EQ(game.WaitExit(60000), 0);
    EXPECT_NE(Log().find("Log started"), std::string::npos);
}

} // namespace
