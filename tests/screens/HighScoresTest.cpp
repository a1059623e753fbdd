// High scores: their order and marks, how rows are read and stored (names as UTF-8, older
// single-byte names still read); and that they are never lost: a kill at any moment of the save
// leaves the old table or the new one, a store that cannot be written says so and tries again, and
// scores read as the unsigned values they are stored as.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/Registry.h"
#include "platform/Report.h"
#include "support/TempDir.h"
#include "ui/HighScores.h"

namespace fs = std::filesystem;

namespace {

using Rows = std::vector<std::pair<std::u16string, uint32_t>>;

std::string g_reports;
void Collect(const char* message) {
    g_reports += message;
}

class HighScoresTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Platform::SetRegistryRoot(dir_.path());
        HighScores::Reset();
        g_reports.clear();
        Platform::SetReportSink(&Collect);
    }
    void TearDown() override {
        Platform::SetReportSink(nullptr);
        HighScores::Reset();
        Platform::SetRegistryRoot("");
    }

    // Fills a table through the registry, as an earlier run would have left it (one save).
    void Store(int32_t table, const std::vector<std::pair<std::string, uint32_t>>& rows) {
        Platform::RegistryKey key;
        ASSERT_TRUE(key.Open(HighScores::kRegistryKey));
        key.Begin();
        for (size_t e = 0; e < rows.size(); ++e) {
            const std::string prefix = "Player" + std::to_string(table) + std::to_string(e);
            EXPECT_TRUE(key.WriteString(prefix + "Name", rows[e].first));
            EXPECT_TRUE(key.WriteDword(prefix + "Score", rows[e].second));
        }
        ASSERT_TRUE(key.Commit());
    }
    std::vector<int32_t> Scores(int32_t table) {
        std::vector<int32_t> out;
        for (const auto& e : HighScores::Get(table).entries)
            out.push_back(e.score);
        return out;
    }
    std::vector<int> Marks(int32_t table) {
        std::vector<int> out;
        for (uint8_t m : HighScores::Get(table).marks)
            out.push_back(m);
        return out;
    }
    static std::u16string Name(int32_t table, int32_t row) {
        return HighScores::Get(table).entries[row].name;
    }

    // Table 0 as a fresh run reads it.
    Rows ReadBack() {
        HighScores::Reset();
        HighScores::Load();
        Rows rows;
        for (const auto& entry : HighScores::Get(0).entries)
            rows.emplace_back(std::u16string(entry.name), entry.score);
        return rows;
    }

    TempDir dir_{false};
    const std::string file = dir_.path() + "/Software/Quillmarsh/Parlorix/Scores.reg";
};

TEST_F(HighScoresTest, InsertKeepsBestFirstAndOlderEqualScoresAbove) {
    Store(0, {{"a", 900}, {"b", 800}, {"c", 700}, {"d", 600}, {"e", 100}});
    HighScores::Load();

    EXPECT_TRUE(HighScores::Insert(0, u"new", 500));
    EXPECT_EQ(Scores(0), (std::vector<int32_t>{900, 800, 700, 600, 500}));
    EXPECT_EQ(Marks(0), (std::vector<int>{0, 0, 0, 0, 1}));

    // An equal score ranks below the older one; the mark travels with its row.
    EXPECT_TRUE(HighScores::Insert(0, u"tie", 800));
    EXPECT_EQ(Scores(0), (std::vector<int32_t>{900, 800, 800, 700, 600}));
    EXPECT_EQ(Name(0, 1), u"b");
    EXPECT_EQ(Name(0, 2), u"tie");
    EXPECT_EQ(Marks(0), (std::vector<int>{0, 0, 1, 0, 0}));

    HighScores::ClearMarks(0);
    EXPECT_EQ(Marks(0), (std::vector<int>{0, 0, 0, 0, 0}));
}

TEST_F(HighScoresTest, InsertAlwaysReplacesTheLastRowSoCallersAskFirstAndOnlyPositiveScoresQualify) {
    Store(2, {{"a", 900}, {"b", 800}, {"c", 700}, {"d", 600}, {"e", 100}});
    HighScores::Load();
    EXPECT_FALSE(HighScores::Qualifies(2, 50));
    EXPECT_FALSE(HighScores::Qualifies(2, 100));
    EXPECT_TRUE(HighScores::Qualifies(2, 101));
    EXPECT_TRUE(HighScores::Insert(2, u"low", 50));
    EXPECT_EQ(Scores(2), (std::vector<int32_t>{900, 800, 700, 600, 50}));
    // A score must be positive, and only the four tables exist.
    EXPECT_FALSE(HighScores::Qualifies(1, 0));
    EXPECT_TRUE(HighScores::Qualifies(1, 1));
    EXPECT_FALSE(HighScores::Qualifies(4, 1000));
    EXPECT_FALSE(HighScores::Qualifies(-1, 1000));
}

// Scores read as the unsigned values they are stored as.
TEST_F(HighScoresTest, ValueNamesAreTableThenRankAndScoresAboveTheSignedRangeStayPositive) {
    Store(2, {{"Big", 3000000000u}, {"second", 200}});
    HighScores::Load();
    EXPECT_EQ(HighScores::Get(2).entries[0].score, 3000000000u);
    EXPECT_EQ(Name(2, 1), u"second");
    EXPECT_EQ(HighScores::Get(2).entries[1].score, 200u);
    EXPECT_EQ(Name(1, 1), u"");
}

TEST_F(HighScoresTest, RowNeedsBothValuesAndNamesAreCut) {
    Platform::RegistryKey key;
    ASSERT_TRUE(key.Open(HighScores::kRegistryKey));
    EXPECT_TRUE(key.WriteString("Player00Name", "only a name"));
    EXPECT_TRUE(key.WriteDword("Player01Score", 77));
    EXPECT_TRUE(key.WriteString("Player02Name", "abcdefghijklmnopqrstuvwxyz"));
    EXPECT_TRUE(key.WriteDword("Player02Score", 5));
    HighScores::Load();
    // The rows read unsorted are put in order, so the last row is the lowest.
    EXPECT_EQ(HighScores::Get(0).entries[0].score, 5);
    EXPECT_EQ(Name(0, 0), u"abcdefghijklmno");
    EXPECT_EQ(HighScores::Get(0).entries[1].score, 0);
    EXPECT_EQ(Name(0, 1), u"");
}

TEST_F(HighScoresTest, NamesAreStoredAsUtf8AndOlderSingleByteNamesStillRead) {
    // Written by an older version: one byte per character (Latin-1), and plain ASCII.
    Store(1, {{"Ren\xe9", 300}, {"Ann", 200}});
    HighScores::Load();
    EXPECT_EQ(Name(1, 0), u"René");
    EXPECT_EQ(Name(1, 1), u"Ann");

    EXPECT_TRUE(HighScores::Insert(1, u"Zoë Čapek", 250));
    EXPECT_TRUE(HighScores::Insert(1, u"Жанна", 100));
    HighScores::Reset();
    HighScores::Load();
    EXPECT_EQ(Name(1, 0), u"René");
    EXPECT_EQ(Name(1, 1), u"Zoë Čapek");
    EXPECT_EQ(Name(1, 2), u"Ann");
    EXPECT_EQ(Name(1, 3), u"Жанна");
    EXPECT_EQ(Marks(1), (std::vector<int>{0, 0, 0, 0, 0})); // a new run marks nothing
    Platform::RegistryKey key;
    ASSERT_TRUE(key.Open(HighScores::kRegistryKey));
    std::string stored;
    EXPECT_TRUE(key.ReadString("Player11Name", stored));
    EXPECT_EQ(stored, "Zo\xc3\xab \xc4\x8c"
                      "apek");
    EXPECT_TRUE(key.ReadString("Player10Name", stored));
    EXPECT_EQ(stored, "Ren\xc3\xa9"); // rewritten as UTF-8 with its table
    uint32_t score = 0;
    EXPECT_TRUE(key.ReadDword("Player11Score", score));
    EXPECT_EQ(score, 250u);
}

// A child loads the table, waits for the go, inserts a result (which saves) and reports how long
// the save took; the parent kills it `killAfterUs` after the go (negative: never).
long SaveInChild(long killAfterUs) {
    int go[2], done[2];
    if (pipe(go) != 0 || pipe(done) != 0) return -1;
    pid_t child = fork();
    if (child == 0) {
        HighScores::Reset();
        HighScores::Load();
        char c;
        if (read(go[0], &c, 1) != 1) _exit(2);
        auto start = std::chrono::steady_clock::now();
        // Killed while it saves: what it would return is never seen.
        (void)HighScores::Insert(0, u"Zed", 750);
        long us = long(
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
                .count());
        if (write(done[1], &us, sizeof us) != sizeof us) _exit(3);
        _exit(0);
    }
    close(go[0]);
    close(done[1]);
    // The child is ready once it has loaded: give it that time before the go.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (write(go[1], "g", 1) != 1) return -1;
    long took = -1;
    if (killAfterUs >= 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(killAfterUs));
        kill(child, SIGKILL);
    } else if (read(done[0], &took, sizeof took) != sizeof took) {
        took = -1;
    }
    waitpid(child, nullptr, 0);
    close(go[1]);
    close(done[0]);
    return took;
}

TEST_F(HighScoresTest, AKillAtAnyMomentOfTheSaveLeavesTheOldTableOrTheNewOne) {
    const Rows kOld = {{u"Ann", 900}, {u"Ben", 800}, {u"Cat", 700}, {u"Dan", 600}, {u"Eve", 100}};
    const Rows kNew = {{u"Ann", 900}, {u"Ben", 800}, {u"Zed", 750}, {u"Cat", 700}, {u"Dan", 600}};
    // The old table as an earlier run left it: one file, no previous generation.
    auto storeOld = [&] {
        fs::remove(file + ".bak");
        Store(0, {{"Ann", 900}, {"Ben", 800}, {"Cat", 700}, {"Dan", 600}, {"Eve", 100}});
    };
    storeOld();
    ASSERT_EQ(ReadBack(), kOld);
    long saveUs = SaveInChild(-1);
    ASSERT_GT(saveUs, 0);
    ASSERT_EQ(ReadBack(), kNew);

    // Thirty kills spread from the go to well past the measured save.
    int olds = 0, news = 0;
    for (int i = 0; i < 30; ++i) {
        storeOld();
        const long at = saveUs * 3 * i / 2 / 29;
        SCOPED_TRACE("SIGKILL " + std::to_string(at) + " us into a " + std::to_string(saveUs) + " us save");
        SaveInChild(at);
        g_reports.clear();
        const Rows rows = ReadBack();
        EXPECT_TRUE(rows == kOld || rows == kNew) << "a mixed table";
        EXPECT_EQ(g_reports.find("damaged"), std::string::npos) << g_reports;
        (rows == kOld ? olds : news)++;
        for (const auto& e : fs::directory_iterator(fs::path(file).parent_path()))
            EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos) << "left: " << e.path();
    }
    std::printf("kills: %d left the old table, %d the new one (save %ld us)\n", olds, news, saveUs);
}

TEST_F(HighScoresTest, AStoreThatCannotBeWrittenIsToldAndTriedAgain) {
    HighScores::Load();
    fs::create_directories(file); // the store's file is a folder: no save can replace it
    EXPECT_FALSE(HighScores::Insert(1, u"Ann", 300));
    EXPECT_TRUE(HighScores::SaveFailed(1));
    EXPECT_FALSE(HighScores::SaveFailed(0));
    EXPECT_NE(std::string(HighScores::LastSaveError()).find("Scores.reg"), std::string::npos);
    EXPECT_NE(g_reports.find("Registry: cannot save"), std::string::npos) << g_reports;
    // The row stays on screen, and the next save (here the one at exit) writes it.
    EXPECT_EQ(HighScores::Get(1).entries[0].score, 300u);
    EXPECT_FALSE(HighScores::SaveUnsaved());
    fs::remove(file);
    EXPECT_TRUE(HighScores::SaveUnsaved());
    EXPECT_FALSE(HighScores::SaveFailed(1));
    HighScores::Reset();
    HighScores::Load();
    EXPECT_EQ(HighScores::Get(1).entries[0].score, 300u);
}

} // namespace
