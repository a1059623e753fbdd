// The generated content and the tools that make it: the built Data folder and game.dat pass
// contentcheck (each on its own) and contentcheck refuses broken content, datpack writes archives
// the file layer reads back, gen-texts writes what the text table parses, the writers' files read
// back through the program's own decoders (TGA, JPEG, GIF) and the generators' reader, and the
// generators are deterministic.
#include "core/FileLayer.h"
#include "gen-common/ImageIO.h"
#include "picture/Bitmap.h"
#include "picture/Image.h"
#include "support/Prerequisite.h"
#include "support/TempDir.h"
#include "ui/TextTable.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <initializer_list>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// Runs the build tree's tool `name` on `args`; its exit code, and what it printed in `out`.
int RunTool(const std::string& name, std::initializer_list<fs::path> args, std::string* out = nullptr) {
    std::string cmd = Env("PARLORIX_BUILD_DIR") + "/tools/" + name + "/" + name;
    for (const fs::path& a : args)
        cmd.append(" ").append(a.string());
    FILE* p = popen((cmd + " 2>/dev/null").c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        if (out) out->append(buf, n);
    const int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<uint8_t> ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& p, const std::string& s) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << s;
}

uint32_t Le(const std::vector<uint8_t>& d, size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | d.at(at + size_t(i));
    return v;
}

// BGRA bytes of a 32-bit bitmap pixel.
const uint8_t* At(const Bitmap& b, uint32_t x, uint32_t y) {
    return b.Pixels() + (size_t(y) * b.Width() + x) * 4;
}

// A scratch folder, as a path.
struct Scratch : TempDir {
    Scratch() : TempDir(false) {}
    fs::path path() const { return TempDir::path(); }
};

// Restores the working directory and drops the mounts a test made.
class FileLayerScope {
  public:
    FileLayerScope() : cwd_(fs::current_path()) {}
    ~FileLayerScope() {
        FileLayer::UnmountAll();
        fs::current_path(cwd_);
    }

  private:
    fs::path cwd_;
};

} // namespace

TEST(BuiltContent, DataFolderAndArchiveEachPassContentcheck) {
    fs::path data = Env("PARLORIX_DATA_DIR");
    if (!fs::exists(data / "Data") || !fs::exists(data / "game.dat"))
        PARLORIX_MISSING("no generated content in " << data << " (configure with PARLORIX_CONTENT=ON)");
    Scratch plain, archive;
    fs::create_directory_symlink(fs::absolute(data / "Data"), plain.path() / "Data");
    fs::create_symlink(fs::absolute(data / "game.dat"), archive.path() / "game.dat");
    EXPECT_EQ(RunTool("contentcheck", {plain.path()}), 0) << "run contentcheck " << plain.path();
    EXPECT_EQ(RunTool("contentcheck", {archive.path()}), 0) << "run contentcheck " << archive.path();
}

TEST(BuiltContent, ContentcheckFindsMissingAndWrongContentAndTextsThatLeaveTheirBox) {
    fs::path data = Env("PARLORIX_DATA_DIR");
    if (!fs::exists(data / "Data")) PARLORIX_MISSING("no generated content");
    Scratch t;
    fs::copy(data / "Data", t.path() / "Data", fs::copy_options::recursive);
    // An idle action that names an action of the animation would cut every game action short.
    WriteAll(t.path() / "Data/Library/Item/Brick2.item",
             "[item]\nsAnimation    = Brick2\nsActionOnIdle = Stay\n");
    EXPECT_NE(RunTool("contentcheck", {t.path()}), 0);
    fs::copy(data / "Data/Library/Item/Brick2.item", t.path() / "Data/Library/Item/Brick2.item",
             fs::copy_options::overwrite_existing);
    fs::remove(t.path() / "Data/Library/Sound/money1.ogg");
    EXPECT_NE(RunTool("contentcheck", {t.path()}), 0);
    fs::copy(data / "Data/Library/Sound/money1.ogg", t.path() / "Data/Library/Sound/money1.ogg");

    // A language with an overlong main-menu item, a help page that stays above its buttons but
    // runs into the page counter (one line too many), a key the base texts do not have, and a
    // character neither font draws.
    const std::string help =
        "Help_Level2=H\xC3\xB6here Stufen zahlen mehr, aber die Steine kommen schneller, und "
        "wer dann noch z\xC3\xB6gert, hat bald ein volles Brett vor sich.";
    WriteAll(t.path() / "src.txt",
             "Menu_Exit=Das Spiel jetzt sofort beenden\n" + help + "\nMenu_Typo=x\nMenu_Back=\xE1\x9A\xA0\n");
    ASSERT_EQ(RunTool("gen-texts", {t.path() / "src.txt", t.path() / "Data/Library/text/de.txt"}), 0);
    std::string out;
    EXPECT_EQ(RunTool("contentcheck", {t.path()}, &out), 1) << out;
    // The report names key, language, box and overflow, so that a translator knows what to shorten.
    EXPECT_NE(out.find("FAIL text Menu_Exit [de] \"Das Spiel jetzt sofort beenden\" is "), std::string::npos)
        << out;
    EXPECT_NE(out.find("in the title menu panel (272 to 528) (224 px): "), std::string::npos) << out;
    EXPECT_NE(out.find("FAIL help page 5 [de] ends at y 493, into the page counter"), std::string::npos)
        << out;
    EXPECT_NE(out.find("FAIL text Menu_Typo [de]: no such key in the base texts"), std::string::npos) << out;
    EXPECT_NE(out.find("FAIL text Menu_Back [de]: character U+16A0 is missing from the main font"),
              std::string::npos)
        << out;
    // English is measured too, and still fits.
    EXPECT_EQ(out.find("[en] \""), std::string::npos) << out;
}

TEST(Datpack, ArchiveReadsBackThroughTheFileLayer) {
    FileLayerScope scope;
    Scratch src, run;
    std::string binary(70000, '\0');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 7919u) >> 3);
    WriteAll(src.path() / "Data/Library/Sound/Boom.ogg", binary);
    WriteAll(src.path() / "Data/Library/text/english.txt", "hello");
    WriteAll(src.path() / "Data/Levels/empty.eed", "");
    ASSERT_EQ(RunTool("datpack", {src.path() / "Data", run.path() / "game.dat"}), 0);
    fs::current_path(run.path());
    FileLayer::UnmountAll();
    ASSERT_NE(FileLayer::Mount("game.dat", "", 3), 0u);

    // Names are matched ignoring case; sizes and bytes come back exactly, with two zero bytes after.
    uint8_t* b = FileLayer::Load("data\\library\\SOUND\\boom.ogg");
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(FileLayer::LastLoadedSize(), binary.size());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b), binary.size()), binary);
    EXPECT_EQ(b[binary.size()], 0);
    EXPECT_EQ(b[binary.size() + 1], 0);
    FileLayer::Free(b);
    // The last entry has an empty body: its name must still be readable (the reader asks for 256
    // bytes at every name position).
    b = FileLayer::Load("Data\\Levels\\empty.eed");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(FileLayer::LastLoadedSize(), 0u);
    FileLayer::Free(b);

    std::vector<std::string> names;
    FileLayer::Enumerate(
        "Data\\Library\\Sound", "ogg",
        [](const char* n, void* u) { static_cast<std::vector<std::string>*>(u)->push_back(n); }, &names);
    EXPECT_EQ(names, std::vector<std::string>{"Data\\Library\\Sound\\Boom.ogg"});

    // Same folder, same bytes.
    ASSERT_EQ(RunTool("datpack", {src.path() / "Data", run.path() / "again.dat"}), 0);
    EXPECT_EQ(ReadAll(run.path() / "game.dat"), ReadAll(run.path() / "again.dat"));
}

TEST(GenTexts, WritesUtf16WithMarkThatTheTextTableReads) {
    Scratch t;
    WriteAll(t.path() / "src.txt",
             "# comment\n\nMenu_Back=Back\nHelp_Descr=Caf\xC3\xA9 \xF0\x9F\x98\x80 a=b\r\n");
    ASSERT_EQ(RunTool("gen-texts", {t.path() / "src.txt", t.path() / "out.txt"}), 0);
    std::vector<uint8_t> out = ReadAll(t.path() / "out.txt");
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[1], 0xFE);
    TextTable table;
    table.AddFile(out.data(), out.size());
    ASSERT_EQ(table.Count(), 2u);
    EXPECT_EQ(std::u16string(table.GetText("Menu_Back")), u"Back");
    EXPECT_EQ(std::u16string(table.GetText("Help_Descr")), u"Caf\u00e9 \U0001F600 a=b");

    // Duplicate keys and lines without a key are mistakes in the source, not silently dropped.
    WriteAll(t.path() / "dup.txt", "Menu_Back=Back\nMenu_Back=Again\n");
    EXPECT_NE(RunTool("gen-texts", {t.path() / "dup.txt", t.path() / "o2.txt"}), 0);
    WriteAll(t.path() / "nokey.txt", "just some words\n");
    EXPECT_NE(RunTool("gen-texts", {t.path() / "nokey.txt", t.path() / "o3.txt"}), 0);
}

TEST(Writers, TgaKeepsOrientationAndAlphaInTheGamesDecoder) {
    Scratch t;
    Gen::Image img(3, 2);
    img.at(0, 0) = {1, 0, 0, 1};       // top left: red, opaque
    img.at(2, 1) = {0, 0.5f, 0, 0.5f}; // bottom right: green at half coverage (premultiplied)
    ASSERT_TRUE(Gen::WriteTga((t.path() / "p.tga").string(), img));
    std::vector<uint8_t> bytes = ReadAll(t.path() / "p.tga");
    ASSERT_EQ(bytes.size(), 18u + 3 * 2 * 4);
    EXPECT_EQ(bytes[2], 2); // true colour
    EXPECT_EQ(bytes[16], 32);
    Bitmap b;
    ASSERT_TRUE(b.LoadFromMemory(bytes.data(), bytes.size()));
    ASSERT_EQ(b.Width(), 3u);
    ASSERT_EQ(b.Height(), 2u);
    EXPECT_EQ(At(b, 0, 0)[2], 255); // red
    EXPECT_EQ(At(b, 0, 0)[3], 255);
    EXPECT_EQ(At(b, 2, 1)[1], 255); // straight green
    EXPECT_NEAR(At(b, 2, 1)[3], 128, 1);
}

TEST(Writers, JpegCarriesTheJfifMarkerAndDecodesInTheGame) {
    Scratch t;
    Gen::Image img(40, 30);
    img.Fill(Gen::Hex(0x2050C0));
    ASSERT_TRUE(Gen::WriteJpeg((t.path() / "bg.jpg").string(), img, 90, Gen::Hex(0)));
    std::vector<uint8_t> jpg = ReadAll(t.path() / "bg.jpg");
    ASSERT_GT(jpg.size(), 10u);
    EXPECT_EQ(std::string(jpg.begin() + 6, jpg.begin() + 10), "JFIF");
    Bitmap b;
    ASSERT_TRUE(b.LoadFromMemory(jpg.data(), jpg.size()));
    EXPECT_EQ(b.Width(), 40u);
    EXPECT_NEAR(At(b, 20, 15)[0], 0xC0, 4); // blue byte first
}

TEST(Writers, GifKeyColourOnlyInTheFirstCornerAndTransparentPartsInBothReaders) {
    Scratch t;
    // Frame 0: opaque except the top-left 4 x 4; the right half is exactly the key colour in its
    // source, which must not turn transparent. Frame 1 half covered: flattened over the matte.
    // Frame 2 opaque: the palette keeps its colour exactly, and its corner is its own.
    std::vector<Gen::Image> frames(3, Gen::Image(20, 10));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            frames[0].at(x, y) = (x < 4 && y < 4) ? Gen::Color{0, 0, 0, 0}
                                 : x >= 10        ? Gen::Color{1, 0, 1, 1}
                                                  : Gen::Hex(0x3DBA3C);
            frames[1].at(x, y) = Gen::Color{0.5f, 0.5f, 0.5f, 0.5f};
        }
    frames[2].Fill(Gen::Hex(0xF5C82A));
    const std::string path = (t.path() / "k.gif").string();
    ASSERT_TRUE(Gen::WriteGif(path, frames, Gen::Hex(0x000000)));
    std::vector<Gen::Picture> read;
    ASSERT_TRUE(Gen::ReadGif(path, read));
    ASSERT_EQ(read.size(), 3u);
    auto isKey = [](const Gen::Rgba8& p) { return p.r == 255 && p.g == 0 && p.b == 255; };
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(isKey(read[0].px[size_t(y) * 20 + size_t(x)]), x < 4 && y < 4) << x << "," << y;
    EXPECT_NEAR(read[1].px[55].r, 128, 6); // half coverage over black: about half the grey

    FileLayerScope scope;
    fs::current_path(t.path());
    Image::GifFrames gif;
    ASSERT_TRUE(gif.Load("k.gif"));
    ASSERT_EQ(gif.Count(), 3u);
    Bitmap f0, f2;
    ASSERT_TRUE(gif.CopyFrame(0, f0));
    ASSERT_TRUE(gif.CopyFrame(2, f2));
    EXPECT_EQ(At(f0, 0, 0)[0], 0xFF); // the key colour, magenta
    EXPECT_EQ(At(f0, 0, 0)[1], 0x00);
    EXPECT_EQ(At(f0, 0, 0)[2], 0xFF);
    EXPECT_EQ(At(f0, 5, 5)[1], 0xBA);
    EXPECT_EQ(At(f2, 0, 0)[2], 0xF5); // later frames keep their own corner
    EXPECT_EQ(At(f2, 5, 5)[0], 0x2A);
}

// Same recipe, same files; and the structure of the tracker module gen-music writes.
TEST(Generators, SameRecipeSameFilesAndTrackerModuleStructure) {
    Scratch t;
    fs::path src = Env("PARLORIX_SOURCE_DIR");
    for (const char* dir : {"a", "b"}) {
        fs::create_directories(t.path() / dir);
        ASSERT_EQ(RunTool("gen-sounds", {src / "content/recipes/sounds.ini", t.path() / dir}), 0);
        ASSERT_EQ(RunTool("gen-music", {t.path() / dir, src / "content/music/bright_bricks.song"}), 0);
    }
    for (const char* f : {"bomb1.ogg", "cheers.ogg", "bright_bricks.it"}) {
        std::vector<uint8_t> x = ReadAll(t.path() / "a" / f), y = ReadAll(t.path() / "b" / f);
        EXPECT_FALSE(x.empty()) << f;
        EXPECT_EQ(x, y) << f;
    }
    // A song whose melody does not fill its bars is refused.
    std::ofstream(t.path() / "bad.song")
        << "tempo = 120\nspeed = 6\nkey = C\nform = A\nchords.A = C F G C\nlead.A = 1-2-3\n";
    EXPECT_NE(RunTool("gen-music", {t.path(), t.path() / "bad.song"}), 0);

    const std::vector<uint8_t> d = ReadAll(t.path() / "a/bright_bricks.it");
    ASSERT_GT(d.size(), 192u);
    EXPECT_EQ(std::string(d.begin(), d.begin() + 4), "IMPM");
    uint32_t ord = Le(d, 32, 2), ins = Le(d, 34, 2), smp = Le(d, 36, 2), pat = Le(d, 38, 2);
    EXPECT_EQ(ins, 0u);              // sample mode
    EXPECT_EQ(Le(d, 44, 2) & 4, 0u); // no instruments flag
    EXPECT_EQ(smp, 7u);
    EXPECT_EQ(pat, 5u);  // I A B C O
    EXPECT_EQ(ord, 11u); // ten sections and the end marker
    EXPECT_EQ(d[192 + ord - 1], 255);
    // Each section lasts 64 rows: (10 sections x 64 rows x 6 ticks) at 125 BPM is over a minute.
    EXPECT_GT(10.0 * 64 * d[50] * 2.5 / d[51], 60.0);
    size_t table = 192 + ord;
    for (uint32_t i = 0; i < smp; ++i) {
        uint32_t h = Le(d, table + 4 * i, 4);
        ASSERT_LE(h + 80, d.size());
        EXPECT_EQ(std::string(d.begin() + h, d.begin() + h + 4), "IMPS");
        uint32_t len = Le(d, h + 48, 4), at = Le(d, h + 72, 4);
        EXPECT_LE(uint64_t(at) + 2ull * len, d.size()) << "sample " << i;
        if (d[h + 18] & 16) { // looped: the loop lies inside the sample
            EXPECT_LT(Le(d, h + 52, 4), Le(d, h + 56, 4));
        }
        EXPECT_LE(Le(d, h + 56, 4), len);
    }
    for (uint32_t i = 0; i < pat; ++i) {
        uint32_t at = Le(d, table + 4 * i + 4 * smp, 4);
        ASSERT_LE(at + 8, d.size());
        EXPECT_EQ(Le(d, at + 2, 2), 64u);
        EXPECT_LE(at + 8 + Le(d, at, 2), d.size());
    }
}
