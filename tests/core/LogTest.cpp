#include "core/Log.h"

#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

class LogTest : public ::testing::Test {
  protected:
    void TearDown() override { Log::Reset(); }
    TempDir dir;
};

TEST_F(LogTest, HeaderWorkingDirectoryAndMessagesLongOnesCut) {
    Log::Start(dir.path() + "/");
    LogMsg("one %d\n", 1);
    std::string text = dir.Read("Log000.txt");
    EXPECT_EQ(text.rfind("Log started: ", 0), 0u);
    EXPECT_NE(text.find(" \nWorking directory: " + dir.path() + "/Log000.txt\n"), std::string::npos);
    EXPECT_NE(text.find("one 1\n"), std::string::npos);
    // Long messages are cut safely.
    LogMsg("%s\n", std::string(100000, 'a').c_str());
    EXPECT_GT(dir.Read("Log000.txt").size(), 1000u);
    EXPECT_LT(dir.Read("Log000.txt").size(), 5000u);
    // A second run replaces the file instead of appending to it.
    Log::Start(dir.path() + "/");
    EXPECT_EQ(dir.Read("Log000.txt").find("one 1"), std::string::npos);
}

TEST_F(LogTest, TakesTheNextNumberWhenAFileCannotBeCreated) {
    std::filesystem::create_directory(dir / "Log000.txt");
    std::filesystem::create_directory(dir / "Log001.txt");
    Log::Start(dir.path() + "/");
    EXPECT_EQ(Log::Path(), dir.path() + "/Log002.txt");
    LogMsg("x\n");
    EXPECT_NE(dir.Read("Log002.txt").find("x\n"), std::string::npos);
}

TEST_F(LogTest, DropsMessagesBeforeStartWhileDisabledAndWhenNoFileCanBeMade) {
    LogMsg("before start\n");
    Log::Start(dir.path() + "/");
    Log::SetEnabled(false);
    LogMsg("during text drawing\n");
    Log::SetEnabled(true);
    LogMsg("after\n");
    std::string text = dir.Read("Log000.txt");
    EXPECT_EQ(text.find("before start"), std::string::npos);
    EXPECT_EQ(text.find("during text drawing"), std::string::npos);
    EXPECT_NE(text.find("after"), std::string::npos);

    Log::Start(dir.path() + "/no/such/folder/");
    EXPECT_TRUE(Log::Path().empty());
    LogMsg("nowhere\n"); // must not crash
}

} // namespace
