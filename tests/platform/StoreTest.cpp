// The settings store as a hostile disk meets it: cut-short and damaged files, Windows line ends,
// folders that cannot be written, a full disk, links planted where temporary files go, files left
// by killed writers, and a second copy of the game holding the same store.
#include "platform/AtomicFile.h"
#include "platform/Instance.h"
#include "platform/Registry.h"
#include "platform/Report.h"

#include "support/SmallDisk.h"
#include "support/TempDir.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string g_reports;
void Collect(const char* message) {
    g_reports += message;
}

// The exit status of `body` run in a child process.
int InChild(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Platform::SetRegistryRoot(dir.path() + "/reg");
        g_reports.clear();
        Platform::SetReportSink(&Collect);
    }
    void TearDown() override {
        Platform::SetReportSink(nullptr);
        Platform::SetRegistryRoot("");
    }
    std::string Store() const { return dir.Read(rel); }
    TempDir dir;
    const std::string key = "Software\\Quillmarsh\\Parlorix\\Options";
    const std::string rel = "reg/Software/Quillmarsh/Parlorix/Options.reg";
};

TEST_F(StoreTest, ValuesSurviveARestartStayReadableAndAreBoundedByTheCallersBuffer) {
    {
        Platform::RegistryKey k;
        ASSERT_TRUE(k.Open(key));
        EXPECT_TRUE(k.WriteDword("SoundVolume", 40));
        EXPECT_TRUE(k.WriteString("Player", "Ann = \"the\" \\ best\nsecond line"));
        EXPECT_TRUE(k.WriteString("Long", std::string(1000, 'n')));
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
    EXPECT_NE(Store().find("SoundVolume=dword:40\n"), std::string::npos);

    char buf[64];
    std::memset(buf, 'x', sizeof buf);
    char guard[8] = "guard!";
    ASSERT_TRUE(k.ReadString("Long", buf, sizeof buf));
    EXPECT_EQ(std::strlen(buf), 63u);
    EXPECT_STREQ(guard, "guard!");
    char kept[4] = "old";
    EXPECT_FALSE(k.ReadString("Nobody", kept, sizeof kept));
    EXPECT_STREQ(kept, "old");

    // An unopened key reads and writes nothing; a key naming folders above the root is refused.
    Platform::RegistryKey closed;
    EXPECT_FALSE(closed.ReadDword("SoundVolume", v));
    EXPECT_FALSE(closed.WriteDword("x", 1));
    EXPECT_FALSE(closed.Open("..\\..\\etc"));
}

TEST_F(StoreTest, ABatchReachesTheFileInOneReplacementEndingWithItsMarker) {
    Platform::RegistryKey k;
    ASSERT_TRUE(k.Open(key));
    ASSERT_TRUE(k.WriteDword("Player00Score", 10));
    const std::string before = Store();
    k.Begin();
    EXPECT_TRUE(k.WriteString("Player00Name", "Ann"));
    k.Begin(); // nested: only the outermost Commit saves
    EXPECT_TRUE(k.WriteDword("Player00Score", 500));
    EXPECT_TRUE(k.Commit());
    EXPECT_EQ(Store(), before) << "a batch must not reach the file before its Commit";
    EXPECT_TRUE(k.Commit());
    const std::string after = Store();
    EXPECT_NE(after.find("Player00Name=string:Ann\n"), std::string::npos) << after;
    EXPECT_NE(after.find("Player00Score=dword:500\n"), std::string::npos) << after;
    EXPECT_EQ(after.substr(after.size() - 6), "# end\n");
    // The previous generation is what the file held before the batch.
    EXPECT_EQ(dir.Read(rel + ".bak"), before);

    // Many writes leave no temporary files behind: the store and its previous generation.
    const char* const names[] = {"n0", "n1", "n2", "n3", "n4"};
    for (uint32_t i = 0; i < 20; ++i)
        ASSERT_TRUE(k.WriteDword(names[i % 5], i));
    std::set<std::string> files;
    for (const auto& e : fs::directory_iterator(dir / "reg/Software/Quillmarsh/Parlorix"))
        files.insert(e.path().filename().string());
    EXPECT_EQ(files, (std::set<std::string>{"Options.reg", "Options.reg.bak"}));
    Platform::RegistryKey again;
    ASSERT_TRUE(again.Open(key));
    uint32_t v = 0;
    EXPECT_TRUE(again.ReadDword("n4", v));
    EXPECT_EQ(v, 19u);
}

TEST_F(StoreTest, DamagedFileFallsBackToThePreviousGenerationAndSaysSoInTheLog) {
    {
        Platform::RegistryKey k;
        ASSERT_TRUE(k.Open(key));
        ASSERT_TRUE(k.WriteDword("SoundVolume", 70));
        ASSERT_TRUE(k.WriteDword("MusicVolume", 60)); // .bak now holds SoundVolume alone
        ASSERT_TRUE(k.WriteString("Player", "Edith"));
    }
    const std::string good = dir.Read(rel + ".bak");
    // Cut short in the middle of its last value, as a torn write would leave it.
    std::string text = Store();
    dir.Write(rel, text.substr(0, text.find("Player=string:E") + 15));

    Platform::RegistryKey k;
    ASSERT_TRUE(k.Open(key));
    std::string s;
    uint32_t v = 0;
    EXPECT_FALSE(k.ReadString("Player", s)) << "a cut-short name must not be read as \"" << s << "\"";
    EXPECT_TRUE(k.ReadDword("MusicVolume", v));
    EXPECT_EQ(v, 60u);
    EXPECT_NE(g_reports.find("is damaged (its last line is cut short); read the previous copy"),
              std::string::npos)
        << g_reports;
    EXPECT_TRUE(fs::exists(dir / (rel + ".corrupt")));
    // The damaged file never becomes the previous generation.
    ASSERT_TRUE(k.WriteDword("SoundVolume", 80));
    EXPECT_EQ(dir.Read(rel + ".bak"), good);

    // Without a sound previous copy, what is valid is read, the rest not, and the damaged file kept.
    fs::remove(dir / (rel + ".bak"));
    dir.Write(rel, "SoundVolume=dword:55\ngarbage line\nMusicVolume=dword:99999999999\nfullscreen=dword:1\n"
                   "Player=string:bad\\q\nbShowFPS=dword:1");
    g_reports.clear();
    Platform::RegistryKey alone;
    ASSERT_TRUE(alone.Open(key));
    EXPECT_TRUE(alone.ReadDword("SoundVolume", v));
    EXPECT_EQ(v, 55u);
    EXPECT_TRUE(alone.ReadDword("fullscreen", v));
    EXPECT_EQ(v, 1u);
    EXPECT_FALSE(alone.ReadDword("MusicVolume", v));
    EXPECT_FALSE(alone.ReadString("Player", s));
    EXPECT_FALSE(alone.ReadDword("bShowFPS", v)); // the last line lacks its line end: cut short
    EXPECT_NE(g_reports.find("has no sound previous copy"), std::string::npos) << g_reports;
    EXPECT_TRUE(alone.WriteDword("SoundVolume", 60));
    EXPECT_NE(dir.Read(rel + ".corrupt").find("garbage line"), std::string::npos);

    // Windows line ends are no damage.
    dir.Write(rel, "# Parlorix settings\r\nSoundVolume=dword:70\r\nPlayer=string:Ann\r\n# end\r\n");
    g_reports.clear();
    Platform::RegistryKey crlf;
    ASSERT_TRUE(crlf.Open(key));
    EXPECT_TRUE(crlf.ReadDword("SoundVolume", v));
    EXPECT_EQ(v, 70u);
    EXPECT_TRUE(crlf.ReadString("Player", s));
    EXPECT_EQ(s, "Ann");
    EXPECT_EQ(g_reports, "");
}

TEST_F(StoreTest, UnwritableStoreFailsWithItsReasonAndTheNextSaveTriesAgain) {
    // The key's file is a folder: nothing can replace it.
    fs::create_directories(dir / rel);
    Platform::RegistryKey k;
    ASSERT_TRUE(k.Open(key));
    EXPECT_FALSE(k.WriteDword("Player00Score", 900));
    EXPECT_NE(k.LastError().find("Options.reg"), std::string::npos) << k.LastError();
    EXPECT_NE(g_reports.find("Registry: cannot save"), std::string::npos) << g_reports;
    k.Begin();
    EXPECT_TRUE(k.WriteString("Player00Name", "Ann")) << "inside a batch the value is only held";
    EXPECT_FALSE(k.Commit());
    // Once the obstacle is gone, the next save writes every value kept in memory.
    fs::remove(dir / rel);
    EXPECT_TRUE(k.WriteDword("Player01Score", 800));
    EXPECT_EQ(k.LastError(), "");
    const std::string text = Store();
    EXPECT_NE(text.find("Player00Score=dword:900"), std::string::npos) << text;
    EXPECT_NE(text.find("Player00Name=string:Ann"), std::string::npos) << text;

    // A config root that is a file: the folder cannot be made; logged at open, every save fails.
    dir.Write("plainfile", "x");
    Platform::SetRegistryRoot(dir / "plainfile/reg");
    Platform::RegistryKey nowhere;
    EXPECT_TRUE(nowhere.Open(key));
    EXPECT_FALSE(nowhere.WriteDword("SoundVolume", 1));
    EXPECT_NE(g_reports.find("cannot create the folder"), std::string::npos) << g_reports;
}

TEST_F(StoreTest, TemporariesOfKilledWritersAreRemovedAndPlantedLinksNeverFollowed) {
    fs::create_directories(dir / "reg/Software/Quillmarsh/Parlorix");
    pid_t dead = fork();
    if (dead == 0) _exit(0);
    waitpid(dead, nullptr, 0);
    const std::string base = dir / rel;
    dir.Write(rel + ".tmp" + std::to_string(dead) + "-0", "half a sa");
    dir.Write(rel + ".tmp1-0", "init is alive: kept");
    Platform::RegistryKey k;
    ASSERT_TRUE(k.Open(key));
    EXPECT_FALSE(fs::exists(base + ".tmp" + std::to_string(dead) + "-0"));
    EXPECT_TRUE(fs::exists(base + ".tmp1-0"));
    EXPECT_NE(g_reports.find("removed 1 temporary file"), std::string::npos) << g_reports;

    // Links planted at every name this process could pick: the victim is never written through.
    dir.Write("victim", "untouched");
    for (int n = 0; n < 4096; ++n)
        fs::create_symlink(dir / "victim",
                           base + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(n));
    // Whether the save finds a free name or gives up, the victim is never written.
    (void)k.WriteDword("SoundVolume", 1);
    EXPECT_EQ(dir.Read("victim"), "untouched");
}

TEST(AtomicFile, AFullDiskLeavesTheOldFileAndNoPartOfTheNewOne) {
    TempDir dir;
    // A few kilobytes of tmpfs where the test may mount one; otherwise a file-size limit makes
    // the write fail the same way.
    std::string folder = dir / "small";
    fs::create_directories(folder);
    const SmallDisk disk(folder, "16k");
    const std::string path = folder + "/screen0000.jpg";
    { std::ofstream(path) << "old"; }
    EXPECT_EQ(InChild([&] {
                  disk.LimitThisProcess();
                  std::string error;
                  bool ok = Platform::WriteFileAtomically(path, std::string(64 * 1024, 'x'), &error);
                  return ok ? 1 : error.find("cannot write") != std::string::npos ? 0 : 2;
              }),
              0)
        << disk.How();
    EXPECT_EQ(dir.Read("small/screen0000.jpg"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
        << "a temporary file was left";
}

TEST(Instance, ASecondHolderIsRefusedEvenWithAnotherRuntimeFolderAndTheLockDiesWithItsProcess) {
    TempDir dir;
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    // 1 when a lock could be taken in a child, which then ends still holding it.
    const auto takenInChild = [](const std::string& store) {
        return InChild([&store] {
            Platform::InstanceLock other;
            if (other.Acquire("Selvane running", store)) _exit(1);
            return 0;
        });
    };
    {
        Platform::InstanceLock first;
        ASSERT_TRUE(first.Acquire("Selvane running"));
        EXPECT_EQ(takenInChild(""), 0);
    }
    // A holder that dies without releasing frees the lock too.
    EXPECT_EQ(takenInChild(""), 1);
    Platform::InstanceLock again;
    EXPECT_TRUE(again.Acquire("Selvane running"));
    again.Release();

    // The lock beside the store stops a copy whose runtime folder differs.
    const std::string store = dir / "store";
    setenv("XDG_RUNTIME_DIR", (dir / "no-such-runtime").c_str(), 1);
    Platform::InstanceLock first;
    ASSERT_TRUE(first.Acquire("Selvane running", store));
    fs::create_directories(dir / "other-runtime");
    setenv("XDG_RUNTIME_DIR", (dir / "other-runtime").c_str(), 1);
    EXPECT_EQ(takenInChild(store), 0) << "a second copy would write the same store";
    unsetenv("XDG_RUNTIME_DIR");
}

} // namespace
