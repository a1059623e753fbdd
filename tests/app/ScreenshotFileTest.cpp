// Screenshot files: numbering goes on after the player's earlier shots and never overwrites one,
// and a disk that fills up leaves no empty or cut-short picture behind.
#include "app/App.h"

#include "support/SmallDisk.h"
#include "support/TempDir.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Files(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ScreenshotFiles, NumberingContinuesAfterTheHighestExistingShot) {
    TempDir dir;
    dir.Write("screen0000.jpg", "a");
    dir.Write("screen0007.jpg", "player's own");
    dir.Write("screen12.jpg", "not ours");
    dir.Write("screen0099.jpg.tmp1-0", "a temporary is no shot");
    EXPECT_EQ(App::ScreenshotTaker::NumberAfterExisting(dir.path()), 8u);

    App::ScreenshotTaker shots;
    std::string name, error;
    ASSERT_TRUE(shots.Write(dir.path(), {'j', 'p', 'g'}, name, error)) << error;
    EXPECT_EQ(name, "screen0008.jpg");
    // A name taken meanwhile is skipped, not replaced.
    dir.Write("screen0009.jpg", "taken");
    ASSERT_TRUE(shots.Write(dir.path(), {'j'}, name, error)) << error;
    EXPECT_EQ(name, "screen0010.jpg");
    EXPECT_EQ(dir.Read("screen0007.jpg"), "player's own");
    EXPECT_EQ(dir.Read("screen0009.jpg"), "taken");
}

TEST(ScreenshotFiles, AFullDiskLeavesNoPartOfAShot) {
    TempDir dir;
    // A tmpfs of a few kilobytes where the test run may mount one; otherwise a file-size limit
    // that fails the write the same way.
    const std::string folder = dir / "shots";
    fs::create_directories(folder);
    const SmallDisk disk(folder, "12k");
    pid_t child = fork();
    if (child == 0) {
        disk.LimitThisProcess();
        App::ScreenshotTaker shots;
        std::string name, error;
        bool small = shots.Write(folder, std::vector<uint8_t>(2000, 1), name, error);
        bool big = shots.Write(folder, std::vector<uint8_t>(200000, 2), name, error);
        _exit(small && !big && name == "screen0001.jpg" && error.find("cannot write") != std::string::npos
                  ? 0
                  : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << disk.How();
    EXPECT_EQ(Files(folder), std::vector<std::string>{"screen0000.jpg"});
}

} // namespace
