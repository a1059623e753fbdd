// High scores that must never be lost: a kill at any moment of the save leaves the old table or
// the new one, a store that cannot be written says so and tries again, and scores read as the
// unsigned values they are stored as.
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

const Rows kOld = {{u"Ann", 900}, {u"Ben", 800}, {u"Cat", 700}, {u"Dan", 600}, {u"Eve", 100}};
const Rows kNew = {{u"Ann", 900}, {u"Ben", 800}, {u"Zed", 750}, {u"Cat", 700}, {u"Dan", 600}};

std::string g_reports;
void Collect(const char* message) {
    g_reports += message;
}

class ScoreSafetyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Platform::SetRegistryRoot(dir.path());
        HighScores::Reset();
        g_reports.clear();
        Platform::SetReportSink(&Collect);
    }
    void TearDown() override {
        Platform::SetReportSink(nullptr);
        HighScores::Reset();
        Platform::SetRegistryRoot("");
    }

    // The old table as an earlier run left it: one file, no previous generation.
    void StoreOld() {
        fs::remove(file + ".bak");
        Platform::RegistryKey key;
        ASSERT_TRUE(key.Open(HighScores::kRegistryKey));
        key.Begin();
        for (size_t e = 0; e < kOld.size(); ++e) {
            const std::string prefix = "Player0" + std::to_string(e);
            EXPECT_TRUE(
                key.WriteString(prefix + "Name", std::string(kOld[e].first.begin(), kOld[e].first.end())));
            EXPECT_TRUE(key.WriteDword(prefix + "Score", kOld[e].second));
        }
        ASSERT_TRUE(key.Commit());
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

    TempDir dir{false};
    const std::string file = dir.path() + "/Software/Quillmarsh/Parlorix/Scores.reg";
};

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

TEST_F(ScoreSafetyTest, AKillAtAnyMomentOfTheSaveLeavesTheOldTableOrTheNewOne) {
    StoreOld();
    ASSERT_EQ(ReadBack(), kOld);
    long saveUs = SaveInChild(-1);
    ASSERT_GT(saveUs, 0);
    ASSERT_EQ(ReadBack(), kNew);

    // Thirty kills spread from the go to well past the measured save.
    int olds = 0, news = 0;
    for (int i = 0; i < 30; ++i) {
        StoreOld();
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

TEST_F(ScoreSafetyTest, AStoreThatCannotBeWrittenIsToldAndTriedAgain) {
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

TEST_F(ScoreSafetyTest, ScoresAboveTheSignedRangeStayPositive) {
    Platform::RegistryKey key;
    ASSERT_TRUE(key.Open(HighScores::kRegistryKey));
    EXPECT_TRUE(key.WriteString("Player20Name", "Big"));
    EXPECT_TRUE(key.WriteDword("Player20Score", 3000000000u));
    EXPECT_TRUE(key.WriteString("Player21Name", "Small"));
    EXPECT_TRUE(key.WriteDword("Player21Score", 5));
    HighScores::Load();
    EXPECT_EQ(HighScores::Get(2).entries[0].score, 3000000000u);
    EXPECT_EQ(HighScores::Get(2).entries[1].score, 5u);
}

} // namespace
