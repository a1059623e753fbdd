// A saved and reloaded game goes on exactly as the game that ran on; damaged files are refused.
#include <gtest/gtest.h>

#include "SimHelpers.h"
#include "game/GameRandom.h"
#include "game/SavedGame.h"
#include "support/TempDir.h"

using namespace Game;

namespace {

// What the two games are compared on at each print: the print itself, the generator, and the
// whole board as a save would hold it (items, timers, positions, pending animation events).
std::string Snapshot(Sim& sim) {
    std::string out = sim.Cmd("print");
    out += "random " + std::to_string(RandomState()) + "\n";
    return out + FormatSavedGame(CaptureGame(sim.board));
}

void CompareRunOn(const std::string& mode, uint32_t seed, int32_t before, int32_t after) {
    SCOPED_TRACE(mode + " seed " + std::to_string(seed) + " saved after " + std::to_string(before));
    TempDir dir;
    Sim original;
    original.Cmd("seed " + std::to_string(seed) + "\nnew " + mode);
    Session session(seed);
    for (int32_t i = 0; i < before && original.outcome == Simulator::Outcome::Playing; ++i)
        session.Step(original);
    original.Cmd("print\nsave game.save");
    const uint32_t savedClock = original.seam.clock;
    const Session resumedSession = session; // the same player goes on in both games

    std::vector<std::string> ranOn;
    for (int32_t i = 0; i < after; ++i) {
        session.Step(original);
        ranOn.push_back(Snapshot(original));
    }

    Sim resumed;
    // The same clock as the saved game's (items made later start their timers at 0, which a
    // different clock would show as a different offset); other clocks: the test below.
    resumed.seam.clock = savedClock;
    resumed.Cmd("load game.save");
    Session again = resumedSession;
    for (int32_t i = 0; i < after; ++i) {
        again.Step(resumed);
        ASSERT_EQ(Snapshot(resumed), ranOn[static_cast<size_t>(i)]) << "step " << i;
    }
}

std::string SavedText(const std::string& mode, uint32_t seed, int32_t steps) {
    Sim sim;
    sim.Cmd("seed " + std::to_string(seed) + "\nnew " + mode);
    Session session(seed);
    for (int32_t i = 0; i < steps; ++i)
        session.Step(sim);
    return FormatSavedGame(CaptureGame(sim.board));
}

bool Refused(const std::string& text, const std::string& reason) {
    SavedGame game;
    std::string error;
    if (ParseSavedGame(text, game, error)) return false;
    EXPECT_NE(error.find(reason), std::string::npos) << error;
    return true;
}

// Replaces the first line starting with `key` and signs the text again, so only the value is wrong.
std::string WithLine(const std::string& text, const std::string& key, const std::string& line) {
    SavedGame game;
    std::string error;
    EXPECT_TRUE(ParseSavedGame(text, game, error)) << error;
    std::string body = text.substr(0, text.rfind("check "));
    const size_t at = body.find("\n" + key) + 1;
    body.replace(at, body.find('\n', at) - at, line);
    // Signed again with the sum the parser reports for the changed contents.
    SavedGame probe;
    std::string why;
    (void)ParseSavedGame(body + "check 00000000\n", probe, why);
    const size_t contents = why.find("contents ");
    return body + "check " + why.substr(contents + 9, 8) + "\n";
}

} // namespace

TEST(SavedGame, ReloadedGameGoesOnAsTheOneThatRanOn) {
    for (const char* mode : {"lines", "squares", "swaps", "groups"}) {
        for (uint32_t seed : {7u, 8u}) {
            for (int32_t before : {0, 5, 23}) {
                CompareRunOn(mode, seed, before, 25);
                if (HasFatalFailure()) return;
            }
        }
    }
}

TEST(SavedGame, TimersFollowTheNewClockAndLongPastTimesStayPast) {
    Sim original;
    original.Cmd("spawn off\nnew lines\nput 0 0 1\nclick 0 0\nclick 5 0\nwait 50");
    SavedGame game = CaptureGame(original.board);
    Sim resumed;
    resumed.seam.clock = 2000; // a clock that started later than the saved one
    RestoreGame(resumed.board, game, resumed.seam.clock);
    const BoardItem* moving = resumed.board.ItemAt(0, 0);
    ASSERT_NE(moving, nullptr);
    EXPECT_EQ(moving->state, ItemState::Move);
    EXPECT_EQ(int64_t(moving->moveStart) - 2000,
              int64_t(original.board.ItemAt(0, 0)->moveStart) - int64_t(original.board.now));
    // Never spawned: "long ago" stays before the new clock instead of wrapping into the future.
    EXPECT_EQ(resumed.board.nextSpawnTime, 0u);
    EXPECT_EQ(resumed.board.selected, nullptr);
    resumed.Cmd("wait 2500");
    EXPECT_EQ(resumed.Code(5, 0), 1);
}

TEST(SavedGame, SelectionScoreAndPendingEventsComeBack) {
    Sim original;
    original.Cmd("spawn off\nnew squares\nput 3 3 2\nclick 3 3");
    original.board.score = 480;
    original.board.level = 4;
    const std::string text = FormatSavedGame(CaptureGame(original.board));
    SavedGame game;
    std::string error;
    ASSERT_TRUE(ParseSavedGame(text, game, error)) << error;
    Sim resumed;
    resumed.seam.clock = original.seam.clock;
    RestoreGame(resumed.board, game, resumed.seam.clock);
    ASSERT_NE(resumed.board.selected, nullptr);
    EXPECT_EQ(resumed.board.selected, resumed.At(3, 3));
    EXPECT_EQ(resumed.board.selected->state, ItemState::Select);
    EXPECT_EQ(resumed.seam.ObjectCount(), 1u);
    // Restoring plays no sound and leaves the old board's objects behind; score, level and mode
    // come back with the rest of the board.
    EXPECT_TRUE(resumed.seam.sounds.empty());
    EXPECT_EQ(FormatSavedGame(CaptureGame(resumed.board)), text);
}

TEST(SavedGame, DamagedCutOrForeignFilesAreRefused) {
    const std::string text = SavedText("lines", 3, 12);
    SavedGame game;
    std::string error;
    ASSERT_TRUE(ParseSavedGame(text, game, error)) << error;

    std::string flipped = text;
    flipped[text.find("score ") + 6] ^= 1;
    EXPECT_TRUE(Refused(flipped, "damaged"));
    EXPECT_TRUE(Refused(text.substr(0, text.size() / 2), "cut short"));
    EXPECT_TRUE(Refused("", "not a saved game"));
    EXPECT_TRUE(Refused("\x89PNG\r\n", "not a saved game"));
    std::string future = text;
    future.replace(0, text.find('\n'), "Parlorix saved game 2");
    EXPECT_TRUE(Refused(future, "unknown version '2'"));

    // Well signed but impossible: each is refused with what is wrong.
    EXPECT_TRUE(Refused(WithLine(text, "mode", "mode 7"), "'mode': value out of range"));
    EXPECT_TRUE(Refused(WithLine(text, "level", "level"), "'level': too few values"));
    EXPECT_TRUE(Refused(WithLine(text, "score", "score 12x"), "'score': not a number"));
    EXPECT_TRUE(Refused(WithLine(text, "selected", "selected 399"), "the selection names no item"));
    EXPECT_TRUE(Refused(WithLine(text, "random", "colours 4"), "'colours' twice"));
    EXPECT_TRUE(Refused(WithLine(text, "random", "hint 1"), "'random' missing"));
    EXPECT_TRUE(Refused(WithLine(text, "item", "item 0 99 0 1 1 1 1 1 1 0 0 0 0 0 0 0 0 0 -"),
                        "'item': value out of range"));
    EXPECT_TRUE(Refused(WithLine(text, "item", "item 0 1 0 15 1 15 1 15 1 0 0 0 0 0 0 0 0 0 -"),
                        "lies off the board"));
    EXPECT_TRUE(
        Refused(WithLine(text, "item", "item 0 1 0 1 1 1 1 1 1 0 0 0 0 0 0 0 nan 0 -"), "bad position"));
}

TEST(SavedGame, FilesAreReadAndDamagedOnesSetAside) {
    TempDir dir;
    SavedGame game;
    std::string error;
    EXPECT_EQ(ReadSavedGame(dir / "lines.save", game, error), SavedGameFile::Missing);
    EXPECT_EQ(SavedGamePath(dir.path(), GameMode::Groups), dir / "groups.save");

    ASSERT_TRUE(ParseSavedGame(SavedText("swaps", 4, 6), game, error)) << error;
    dir.Write("swaps.save", FormatSavedGame(game));
    SavedGame back;
    EXPECT_EQ(ReadSavedGame(dir / "swaps.save", back, error), SavedGameFile::Loaded) << error;
    EXPECT_EQ(FormatSavedGame(back), FormatSavedGame(game));

    dir.Write("lines.save", "Parlorix saved game 1\nmode 0\n");
    EXPECT_EQ(ReadSavedGame(dir / "lines.save", back, error), SavedGameFile::Damaged);
    EXPECT_NE(error.find("cut short"), std::string::npos) << error;
    ASSERT_TRUE(SetAsideDamaged(dir / "lines.save", error)) << error;
    EXPECT_EQ(dir.Read("lines.save.corrupt"), "Parlorix saved game 1\nmode 0\n");
    EXPECT_EQ(ReadSavedGame(dir / "lines.save", back, error), SavedGameFile::Missing);
    EXPECT_FALSE(SetAsideDamaged(dir / "lines.save", error));
    EXPECT_NE(error.find("cannot rename"), std::string::npos) << error;
}

TEST(SavedGame, SimulatorSaveAndLoadReportFailures) {
    TempDir dir;
    Sim sim;
    std::ostringstream out;
    std::string error;
    EXPECT_FALSE(sim.Execute("load nothing.save", out, error));
    EXPECT_EQ(error, "no saved game 'nothing.save'");
    dir.Write("bad.save", "Parlorix saved game 9\n");
    EXPECT_FALSE(sim.Execute("load bad.save", out, error));
    EXPECT_EQ(error, "saved game 'bad.save' refused: unknown version '9'");
    EXPECT_FALSE(sim.Execute("save missing/x.save", out, error));
    EXPECT_EQ(error.rfind("cannot save: cannot create", 0), 0u) << error;
    EXPECT_FALSE(sim.Execute("save", out, error));
}
