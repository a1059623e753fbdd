#include <gtest/gtest.h>

#include <string>

#include "platform/Registry.h"
#include "support/TempDir.h"
#include "ui/HighScores.h"

namespace {

class HighScoresTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Platform::SetRegistryRoot(dir_.path());
        HighScores::Reset();
    }
    void TearDown() override {
        HighScores::Reset();
        Platform::SetRegistryRoot("");
    }

    // Fills a table through the registry, as an earlier run would have left it.
    void Store(int32_t table, const std::vector<std::pair<std::string, uint32_t>>& rows) {
        Platform::RegistryKey key;
        ASSERT_TRUE(key.Open(HighScores::kRegistryKey));
        for (size_t e = 0; e < rows.size(); ++e) {
            const std::string prefix = "Player" + std::to_string(table) + std::to_string(e);
            EXPECT_TRUE(key.WriteString(prefix + "Name", rows[e].first));
            EXPECT_TRUE(key.WriteDword(prefix + "Score", rows[e].second));
        }
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

    TempDir dir_{false};
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

TEST_F(HighScoresTest, ValueNamesAreTableThenRank) {
    Store(2, {{"first", 300}, {"second", 200}});
    HighScores::Load();
    EXPECT_EQ(Name(2, 1), u"second");
    EXPECT_EQ(HighScores::Get(2).entries[1].score, 200);
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

} // namespace
