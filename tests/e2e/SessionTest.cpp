// A player's session in a real window: title, game selection, a Lines game played until a line of
// five goes, pause and resume, the main menu, options, high scores and Exit; then the things around
// a session: a second copy, the archive alone, and a kill while settings are written.
#include "e2e/Fixture.h"
#include "e2e/LinesPlayer.h"
#include "e2e/Screens.h"

#include <csignal>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace E2e {
namespace {

// The saved options as name -> "dword:N" / "string:S"; false when a line is not of that form.
bool ParseOptions(const std::string& text, std::map<std::string, std::string>& values, std::string& bad) {
    static const std::regex line(R"(([A-Za-z_][A-Za-z0-9_]*)=(dword:[0-9]+|string:.*))");
    std::stringstream in(text);
    std::string l;
    while (std::getline(in, l)) {
        if (l.empty() || l[0] == '#') continue;
        std::smatch m;
        if (!std::regex_match(l, m, line)) {
            bad = l;
            return false;
        }
        values[m[1]] = m[2];
    }
    return true;
}

TEST_F(E2eTest, PlayerSessionFromTitleThroughLinesOptionsAndHighScoresToExit) {
    const std::string work = dir / "work";
    Game& game = NewGameWithData(work);
    StartAndFindWindow(game);
    Bitmap shot, start;
    ASSERT_TRUE(game.Screenshot(shot, "01-title"));
    EXPECT_EQ(CheckTitle(shot), "");
    ASSERT_NO_FATAL_FAILURE(StartLinesByMouse(game, "02", start));
    const std::string played = PlayUntilScored(
        game, start, "05-board",
        [&](const Move& move) {
            game.Click(CellX(move.fromX), CellY(move.fromY));
            game.Click(CellX(move.toX), CellY(move.toY));
        },
        100000);
    ASSERT_EQ(played, "");
    ASSERT_TRUE(game.Screenshot(shot, "06-line-removed"));
    EXPECT_EQ(CheckPlaying(shot), "");

    // Escape opens the PauseMenu, Escape again resumes.
    game.MoveMouse(700, 560);
    game.Key("Escape");
    EXPECT_EQ(AwaitShot(game, shot, "07-paused", CheckBoardWithPanel), "");
    game.Key("Escape");
    EXPECT_EQ(AwaitShot(game, shot, "08-resumed", CheckPlaying), "");

    // Pause once more and leave for the main menu.
    game.Key("Escape");
    ASSERT_EQ(AwaitShot(game, shot, "09-paused-again", CheckBoardWithPanel), "");
    game.Click(400, 370); // Main menu
    EXPECT_EQ(AwaitShot(game, shot, "09-title-after-game", CheckTitle), "");

    game.Click(400, 320); // Options
    Bitmap options;
    ASSERT_EQ(AwaitShot(game, options, "10-options", CheckOptions), "");
    // Each press of "sound -" is seen to change the figure before the next.
    const Box soundFigure{500, 259, 580, 295};
    auto changedFrom = [&soundFigure](const Bitmap& before) {
        return [&before, &soundFigure](const Bitmap& now) {
            std::string why = CheckOptions(now);
            if (why.empty() && Difference(before, now, soundFigure) <= 1.5)
                why = "the sound volume figure did not change";
            return why;
        };
    };
    Bitmap once;
    game.Click(490, 280); // sound -
    game.MoveMouse(700, 450);
    ASSERT_EQ(AwaitShot(game, once, "11-options-sound-down-once", changedFrom(options)), "");
    game.Click(490, 280);
    game.MoveMouse(700, 450);
    EXPECT_EQ(AwaitShot(game, shot, "11-options-sound-down", changedFrom(once)), "");
    EXPECT_LT(Difference(options, shot, {500, 209, 580, 245}), 1.5) << "the music volume figure changed";

    game.Click(400, 530); // Save and exit
    EXPECT_EQ(AwaitShot(game, shot, "12-title-after-options", CheckTitle), "");
    std::map<std::string, std::string> saved;
    std::string bad;
    ASSERT_TRUE(ParseOptions(ReadFile(game.OptionsFile()), saved, bad)) << bad;
    EXPECT_EQ(saved["SoundVolume"], "dword:80") << "Save and exit writes the volumes at once";

    game.Click(400, 360); // High scores
    EXPECT_EQ(AwaitShot(game, shot, "13-high-scores", CheckHighScores), "");
    game.Key("Escape");
    EXPECT_EQ(AwaitShot(game, shot, "14-title-after-high-scores", CheckTitle), "");

    game.Click(400, 400); // Exit
    EXPECT_EQ(game.WaitExit(10000), 0);

    saved.clear();
    ASSERT_TRUE(ParseOptions(ReadFile(game.OptionsFile()), saved, bad)) << bad;
    EXPECT_EQ(saved["SoundVolume"], "dword:80");
    EXPECT_EQ(saved["MusicVolume"], "dword:100");
    EXPECT_EQ(saved["fullscreen"], "dword:0");

    // The log: its header and the start-up lines in order, the scenes, and the animations'
    // surfaces released at shut-down after the last scene change.
    std::string log = ReadFile(work + "/Log000.txt");
    EXPECT_EQ(log.rfind("Log started: ", 0), 0u) << log.substr(0, 200);
    size_t at = 0;
    for (const std::string& line :
         {"Working directory: " + fs::canonical(work).string() + "/Log000.txt\n",
          std::string("Graphics::Init( 800,600,32 )\nFullscreen = 0\n"), std::string("Input::Init\n"),
          std::string("Loading scene 0,0\n"), std::string("OnSceneChanged time ")}) {
        size_t next = log.find(line, at);
        EXPECT_NE(next, std::string::npos) << "missing or out of order: " << line;
        if (next != std::string::npos) at = next;
    }
    size_t lastScene = log.rfind("OnSceneChanged time ");
    size_t released = log.rfind("Release surface 'Animation.");
    EXPECT_TRUE(lastScene != std::string::npos && released != std::string::npos && released > lastScene)
        << "no animation surfaces released at shut-down";
    EXPECT_EQ(log.back(), '\n');
}

TEST_F(E2eTest, ASecondCopyEndsAtOnceWithCodeZeroAndLeavesTheFirstAlone) {
    const std::string work = dir / "work";
    Game& first = NewGameWithData(work);
    StartAndFindWindow(first);
    std::string log = ReadFile(work + "/Log000.txt");

    Game& second = NewGame(work, dir / "home");
    ASSERT_TRUE(second.Start());
    EXPECT_EQ(second.WaitExit(5000), 0);
    EXPECT_EQ(first.Windows().size(), 1u);
    EXPECT_FALSE(fs::exists(work + "/Log001.txt"));
    EXPECT_EQ(ReadFile(work + "/Log000.txt").substr(0, log.size()), log) << "the second copy touched the log";

    Bitmap shot;
    ASSERT_TRUE(first.Screenshot(shot, "20-first-copy-title"));
    EXPECT_EQ(CheckTitle(shot), "");
    EXPECT_EQ(first.Close(), 0);
}

TEST_F(E2eTest, TheArchiveAloneReachesTheTitleScreen) {
    std::string work = dir / "work";
    Game& game = NewGame(work, dir / "home");
    fs::create_symlink(DataRoot() + "/game.dat", work + "/game.dat");
    StartAndFindWindow(game);
    Bitmap shot;
    ASSERT_TRUE(game.Screenshot(shot, "30-archive-only-title"));
    EXPECT_EQ(CheckTitle(shot), "");
    EXPECT_EQ(game.Close(), 0);
    std::string log = ReadFile(work + "/Log000.txt");
    EXPECT_NE(log.find("Loading scene 0,0"), std::string::npos) << log;
    EXPECT_EQ(log.find("failed to load"), std::string::npos) << log;
}

TEST_F(E2eTest, KilledWhileSavingSettingsLeavesAReadableStore) {
    const std::string work = dir / "work";
    const std::string seeded =
        "# Parlorix settings. name=dword:<number> or name=string:<text>\n"
        "MusicVolume=dword:60\nPlayer=string:Tester\nSoundVolume=dword:70\nfullscreen=dword:0\n";
    // SIGKILL at several moments after the close request. Closing writes the store five times (one
    // replace per value, about 20 ms each), so these land before, inside and after the writing.
    for (int delay : {0, 5, 10, 20, 35, 50, 70, 100, 150}) {
        SCOPED_TRACE("SIGKILL " + std::to_string(delay) + " ms after SIGTERM");
        Game& game = NewGameWithData(work);
        fs::create_directories(fs::path(game.OptionsFile()).parent_path());
        { std::ofstream(game.OptionsFile(), std::ios::binary | std::ios::trunc) << seeded; }
        StartAndFindWindow(game);
        game.Signal(SIGTERM);
        if (delay) Sleep(delay);
        game.Kill();

        std::map<std::string, std::string> values;
        std::string bad;
        ASSERT_TRUE(ParseOptions(ReadFile(game.OptionsFile()), values, bad)) << "broken line: " << bad;
        EXPECT_EQ(values["SoundVolume"], "dword:70");
        EXPECT_EQ(values["MusicVolume"], "dword:60");
        EXPECT_EQ(values["Player"], "string:Tester");
        EXPECT_EQ(values["fullscreen"], "dword:0");
        games.clear();
    }
}

} // namespace
} // namespace E2e
