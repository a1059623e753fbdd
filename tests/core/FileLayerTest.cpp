#include "core/FileLayer.h"
#include "core/Log.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>
#include <zlib.h>

namespace {

void PutU32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Lays out an archive the way the reader expects: header, then per entry a 22-byte record, the
// name with its zero, and the zlib data.
std::string MakeArchive(const std::vector<std::pair<std::string, std::string>>& files) {
    std::string out(256, '\0');
    PutU32(out, 34, files.empty() ? 0 : 256);
    PutU32(out, 38, static_cast<uint32_t>(files.size()));
    for (size_t i = 0; i < files.size(); ++i) {
        const auto& [name, data] = files[i];
        uLongf packedLen = compressBound(data.size());
        std::string packed(packedLen, '\0');
        compress(reinterpret_cast<Bytef*>(packed.data()), &packedLen,
                 reinterpret_cast<const Bytef*>(data.data()), data.size());
        packed.resize(packedLen);
        size_t rec = out.size();
        out.append(22, '\0');
        out += name;
        out += '\0';
        out += packed;
        PutU32(out, rec + 0, static_cast<uint32_t>(rec + 22));
        PutU32(out, rec + 8, static_cast<uint32_t>(out.size()));
        PutU32(out, rec + 12, static_cast<uint32_t>(data.size()));
        PutU32(out, rec + 16, static_cast<uint32_t>(packed.size()));
    }
    return out;
}

std::string LoadText(const char* name) {
    uint8_t* buf = FileLayer::Load(name);
    if (!buf) return "<none>";
    std::string s(reinterpret_cast<char*>(buf), FileLayer::LastLoadedSize());
    EXPECT_EQ(buf[FileLayer::LastLoadedSize()], 0);
    EXPECT_EQ(buf[FileLayer::LastLoadedSize() + 1], 0);
    FileLayer::Free(buf);
    return s;
}

class FileLayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FileLayer::UnmountAll();
        Log::Reset();
        Log::Start(dir.path() + "/");
    }
    void TearDown() override {
        FileLayer::UnmountAll();
        Log::Reset();
    }
    std::string LogText() const { return dir.Read("Log000.txt"); }
    TempDir dir;
};

// The names Enumerate offers, in order.
std::vector<std::string> Listed(const char* folder, const char* extensions) {
    std::vector<std::string> got;
    FileLayer::Enumerate(
        folder, extensions,
        [](const char* name, void* user) { static_cast<std::vector<std::string>*>(user)->push_back(name); },
        &got);
    return got;
}

TEST_F(FileLayerTest, PlainFileBeatsArchiveAndNamesIgnoreCase) {
    std::vector<std::pair<std::string, std::string>> files = {{"Data\\Library\\text\\a.txt", "from archive"}};
    for (int i = 0; i < 50; ++i) {
        std::string data;
        for (int j = 0; j < i * 97; ++j)
            data += static_cast<char>((i * 31 + j * 7) & 0xFF);
        files.push_back({"Data\\F" + std::to_string(i) + ".bin", data});
    }
    dir.Write("game.dat", MakeArchive(files));
    ASSERT_NE(FileLayer::Mount("game.dat", "", 3), 0u);
    for (const auto& [name, data] : files)
        EXPECT_EQ(LoadText(name.c_str()), data) << name;
    EXPECT_EQ(LoadText("DATA\\f7.BIN"), files[8].second);
    dir.Write("Data/Library/Text/A.txt", "plain");
    EXPECT_EQ(LoadText("data\\library\\TEXT\\a.txt"), "plain");
    EXPECT_EQ(LoadText("Data\\Library\\text\\missing.txt"), "<none>");

    dir.Write("empty.txt", "");
    EXPECT_EQ(LoadText("empty.txt"), ""); // still two zero bytes after it
    FileBuffer holder("empty.txt");
    EXPECT_TRUE(holder.ok());
    EXPECT_EQ(holder.size(), 0u);
    EXPECT_FALSE(FileBuffer("nothing.here").ok());
}

TEST_F(FileLayerTest, MountWithoutArchive) {
    EXPECT_EQ(FileLayer::Mount("missing.dat", "", 1), 0u); // bit 1 clear: nothing mounted
    uintptr_t id = FileLayer::Mount("missing.dat", "", 3);
    EXPECT_NE(id, 0u); // kept as a plain-folder mount, id from the counter
    dir.Write("sub/file.bin", "abc");
    EXPECT_EQ(FileLayer::Mount("", "sub\\", 2), id + 1); // the failed mount above took no number
    EXPECT_EQ(LoadText("file.bin"), "abc");              // found through the prefix
}

TEST_F(FileLayerTest, EnumerateOffersArchiveEntriesFirstThenPlainFilesBySubstring) {
    dir.Write("game.dat", MakeArchive({{"Data\\Music\\song.it", "1"},
                                       {"Elsewhere\\x.og", "2"},
                                       {"Data\\Library\\Sound\\a.ogg", "3"},
                                       {"noext", "4"}}));
    ASSERT_NE(FileLayer::Mount("game.dat", "", 3), 0u);
    for (const char* name : {"b.ogg", "sub/c.ogg", "readme", "d.wav"})
        dir.Write(std::string("Data/Library/Sound/") + name, "");
    EXPECT_EQ(Listed("Data\\Library\\Sound", "ogg"),
              (std::vector<std::string>{"Elsewhere\\x.og", "Data\\Library\\Sound\\a.ogg",
                                        "Data\\Library\\Sound\\b.ogg", "Data\\Library\\Sound\\sub\\c.ogg"}));
    EXPECT_EQ(Listed("..", "mo3 it"), std::vector<std::string>{"Data\\Music\\song.it"});
}

TEST_F(FileLayerTest, DamagedArchivesKeepEveryEntryThatCanBeRead) {
    // Only a header too short to read leaves nothing to mount.
    std::string shortHeader = MakeArchive({{"Data\\x.txt", "hello"}});
    shortHeader.resize(100);
    dir.Write("game.dat", shortHeader);
    EXPECT_EQ(FileLayer::Mount("game.dat", "", 1), 0u);
    EXPECT_NE(LogText().find("header shorter than 256 bytes"), std::string::npos) << LogText();

    const char* const hello = "hello hello hello";
    struct Case {
        const char* what;
        void (*apply)(std::string& archive);
        const char* x;      // what loading the first entry gives
        const char* y;      // and the second
        const char* logged; // nullptr: nothing said at mount
    };
    const Case cases[] = {
        {"first record past end", [](std::string& a) { PutU32(a, 34, 0x7FFFFFF0); }, "<none>", "<none>",
         "record 0: directory record past the end of the file"},
        {"flipped record count", [](std::string& a) { PutU32(a, 38, 0x10000000); }, hello, "fine",
         "record count larger than the file"},
        {"first name past end", [](std::string& a) { PutU32(a, 256, 0xFFFFFF00); }, "<none>", "fine",
         "record 0: entry name past the end of the file; entry skipped"},
        {"first entry outside the file", [](std::string& a) { PutU32(a, 256 + 16, 0x00FFFFFF); }, "<none>",
         "fine", "record 0: entry 'Data\\x.txt' lies outside the archive; entry skipped"},
        {"chain loops back", [](std::string& a) { PutU32(a, 38, 5); }, hello, "fine", "record 2: "},
        {"wrong unpacked size", [](std::string& a) { PutU32(a, 256 + 12, 3); }, "<none>", "fine", nullptr},
        {"huge unpacked size", [](std::string& a) { PutU32(a, 256 + 12, 0xFFFFFFF0); }, "<none>", "fine",
         nullptr},
        {"bad zlib data", [](std::string& a) { a[256 + 22 + 11 + 3] ^= 0x55; }, "<none>", "fine", nullptr},
    };
    for (const Case& d : cases) {
        SCOPED_TRACE(d.what);
        FileLayer::UnmountAll();
        std::string a = MakeArchive({{"Data\\x.txt", hello}, {"Data\\y.txt", "fine"}});
        d.apply(a);
        dir.Write("game.dat", a);
        EXPECT_NE(FileLayer::Mount("game.dat", "", 1), 0u);
        EXPECT_EQ(LoadText("Data\\x.txt"), d.x);
        EXPECT_EQ(LoadText("Data\\y.txt"), d.y);
        if (d.logged) {
            EXPECT_NE(LogText().find(d.logged), std::string::npos) << LogText();
        }
    }
}

} // namespace
