// A player's session in a real window: title, game selection, a Lines game played until a line of
// five goes, pause and resume, the main menu, options, high scores and Exit; then the things around
// a session: a second copy, the archive alone, and a kill while settings are written.
#include "e2e/Fixture.h"
#include "e2e/LinesPlayer.h"
#include "e2e/Screens.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
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

long long Ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Screenshots until `ready` finds the screen as expected (an empty reason) or 10 s pass; the last
// reason otherwise. The next screen is met when the program gets there, however loaded the machine.
std::string Await(Game& game, Bitmap& shot, const std::string& label,
                  const std::function<std::string(const Bitmap&)>& ready) {
    std::string why;
    const long long deadline = NowMs() + 10000;
    do {
        why = game.Screenshot(shot, label) ? ready(shot) : "no screenshot";
    } while (!why.empty() && NowMs() < deadline);
    return why;
}

// Where the score stands in the Hud.
constexpr Box kScore{630, 248, 750, 292};

TEST_F(E2eTest, PlayerSessionFromTitleThroughLinesOptionsAndHighScoresToExit) {
    std::string work = dir / "work";
    Game& game = NewGame(work, dir / "home");
    fs::create_directory_symlink(DataRoot() + "/Data", work + "/Data");
    StartAndFindWindow(game);
    Bitmap shot;

    ASSERT_TRUE(game.Screenshot(shot, "01-title"));
    EXPECT_EQ(CheckTitle(shot), "");

    game.Click(400, 240); // Play
    EXPECT_EQ(Await(game, shot, "02-game-selection", CheckGameSelection), "");

    game.Click(130, 372); // Lines
    ASSERT_EQ(Await(game, shot, "03-start-panel", CheckBoardWithPanel), "");

    game.Click(400, 210); // Play on the StartPanel
    Bitmap start;
    ASSERT_EQ(Await(game, start, "04-playing", CheckPlaying), "");

    // Play from the screenshots until the score moves.
    bool scored = false;
    std::string history;
    long long deadline = Ms() + 100000;
    int moves = 0;
    while (!scored && Ms() < deadline) {
        ASSERT_TRUE(game.Screenshot(shot, "05-board"));
        if (Difference(start, shot, kScore) > 1.5) {
            scored = true;
            break;
        }
        Board board = ReadBoard(shot);
        Move move;
        if (!PlanMove(board, move)) {
            history += "wait\n" + Describe(board);
            continue;
        }
        std::ostringstream s;
        s << "move " << move.fromX << "," << move.fromY << " -> " << move.toX << "," << move.toY << " ("
          << move.steps << " steps" << (move.completes ? ", completes" : "") << ")\n"
          << Describe(board);
        history += s.str();
        game.Click(CellX(move.fromX), CellY(move.fromY));
        game.Click(CellX(move.toX), CellY(move.toY));
        ++moves;
        // Until the brick is seen in its cell, or the score has moved (a completed line leaves at
        // once); at 400 ms a cell the path has a known longest time.
        const int colour = board[move.fromY][move.fromX];
        const long long settled = Ms() + move.steps * 400 + 3000;
        while (Ms() < settled) {
            ASSERT_TRUE(game.Screenshot(shot, "05-board"));
            if (Difference(start, shot, kScore) > 1.5) break;
            if (!move.completes && ReadBoard(shot)[move.toY][move.toX] == colour) break;
        }
    }
    ASSERT_TRUE(scored) << "no line of five within 100 s after " << moves << " moves:\n" << history;
    ASSERT_TRUE(game.Screenshot(shot, "06-line-removed"));
    EXPECT_EQ(CheckPlaying(shot), "");

    // Escape opens the PauseMenu, Escape again resumes.
    game.MoveMouse(700, 560);
    game.Key("Escape");
    EXPECT_EQ(Await(game, shot, "07-paused", CheckBoardWithPanel), "");
    game.Key("Escape");
    EXPECT_EQ(Await(game, shot, "08-resumed", CheckPlaying), "");

    // Pause once more and leave for the main menu.
    game.Key("Escape");
    ASSERT_EQ(Await(game, shot, "09-paused-again", CheckBoardWithPanel), "");
    game.Click(400, 370); // Main menu
    EXPECT_EQ(Await(game, shot, "09-title-after-game", CheckTitle), "");

    game.Click(400, 320); // Options
    Bitmap options;
    ASSERT_EQ(Await(game, options, "10-options", CheckOptions), "");
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
    ASSERT_EQ(Await(game, once, "11-options-sound-down-once", changedFrom(options)), "");
    game.Click(490, 280);
    game.MoveMouse(700, 450);
    EXPECT_EQ(Await(game, shot, "11-options-sound-down", changedFrom(once)), "");
    EXPECT_LT(Difference(options, shot, {500, 209, 580, 245}), 1.5) << "the music volume figure changed";

    game.Click(400, 530); // Save and exit
    EXPECT_EQ(Await(game, shot, "12-title-after-options", CheckTitle), "");
    std::map<std::string, std::string> saved;
    std::string bad;
    ASSERT_TRUE(ParseOptions(ReadFile(game.OptionsFile()), saved, bad)) << bad;
    EXPECT_EQ(saved["SoundVolume"], "dword:80") << "Save and exit writes the volumes at once";

    game.Click(400, 360); // High scores
    EXPECT_EQ(Await(game, shot, "13-high-scores", CheckHighScores), "");
    game.Key("Escape");
    EXPECT_EQ(Await(game, shot, "14-title-after-high-scores", CheckTitle), "");

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
    std::string work = dir / "work";
    Game& first = NewGame(work, dir / "home");
    fs::create_directory_symlink(DataRoot() + "/Data", work + "/Data");
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
    std::string work = dir / "work";
    fs::create_directories(work);
    fs::create_directory_symlink(DataRoot() + "/Data", work + "/Data");
    const std::string seeded =
        "# Parlorix settings. name=dword:<number> or name=string:<text>\n"
        "MusicVolume=dword:60\nPlayer=string:Tester\nSoundVolume=dword:70\nfullscreen=dword:0\n";
    // SIGKILL at several moments after the close request. Closing writes the store five times (one
    // replace per value, about 20 ms each), so these land before, inside and after the writing.
    for (int delay : {0, 5, 10, 20, 35, 50, 70, 100, 150}) {
        SCOPED_TRACE("SIGKILL " + std::to_string(delay) + " ms after SIGTERM");
        Game& game = NewGame(work, dir / "home");
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
