// The game as a packager ships it: `cmake --install` into a prefix and the .deb that CPack builds,
// each started from an unrelated folder, writing only under the user's XDG folders.
#include "e2e/Fixture.h"
#include "e2e/Screens.h"
#include "support/Prerequisite.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

// The sanitizer build takes its content from the Release build and installs none; these run in
// the build that made the content.
#if PARLORIX_BUILDS_CONTENT
namespace E2e {
namespace {

std::string BuildDir() {
    const char* b = std::getenv("PARLORIX_BUILD_DIR");
    return b ? b : "";
}

// Width and height from a PNG's IHDR; false when it is not a PNG.
bool PngSize(const std::string& path, uint32_t& w, uint32_t& h) {
    std::string png = ReadFile(path);
    if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || png.compare(12, 4, "IHDR") != 0)
        return false;
    auto be32 = [&](size_t at) {
        uint32_t v = 0;
        for (size_t i = 0; i < 4; ++i)
            v = v << 8 | static_cast<uint8_t>(png[at + i]);
        return v;
    };
    w = be32(16);
    h = be32(20);
    return true;
}

bool Contains(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

class InstallTest : public E2eTest {
  protected:
    void SetUp() override {
        E2eTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (!fs::exists(BuildDir() + "/game.dat"))
            PARLORIX_MISSING("this build (" << BuildDir()
                                            << ") generates no content, so it installs no game.dat");
    }

    // The files of an installed tree under `usr` (a prefix or <root>/usr).
    void CheckInstalledFiles(const std::string& usr) {
        EXPECT_EQ(access((usr + "/games/parlorix").c_str(), X_OK), 0);
        EXPECT_EQ(fs::file_size(usr + "/share/games/parlorix/game.dat"),
                  fs::file_size(BuildDir() + "/game.dat"));
        EXPECT_TRUE(Contains(ReadFile(usr + "/share/games/parlorix/Game.ini"), "bVerticalRetrace"));
        std::string desktop = ReadFile(usr + "/share/applications/parlorix.desktop");
        EXPECT_TRUE(Contains(desktop, "[Desktop Entry]")) << desktop;
        EXPECT_TRUE(Contains(desktop, "\nExec=parlorix\n")) << desktop;
        EXPECT_TRUE(Contains(desktop, "\nIcon=parlorix\n")) << desktop;
        std::string meta = ReadFile(usr + "/share/metainfo/io.github.quillmarsh.parlorix.metainfo.xml");
        EXPECT_TRUE(Contains(meta, "<id>io.github.quillmarsh.parlorix</id>")) << meta;
        EXPECT_TRUE(Contains(meta, "<launchable type=\"desktop-id\">parlorix.desktop</launchable>")) << meta;
        for (uint32_t size : {64u, 256u}) {
            std::string s = std::to_string(size);
            uint32_t w = 0, h = 0;
            EXPECT_TRUE(PngSize(usr + "/share/icons/hicolor/" + s + "x" + s + "/apps/parlorix.png", w, h))
                << "no " << s << " px icon";
            EXPECT_EQ(w, size);
            EXPECT_EQ(h, size);
        }
        // No content beside the program: the archive is the content.
        EXPECT_FALSE(fs::exists(usr + "/games/Data"));
        EXPECT_FALSE(fs::exists(usr + "/games/game.dat"));
        EXPECT_TRUE(fs::exists(usr + "/share/man/man6/parlorix.6.gz"));
        EXPECT_TRUE(fs::exists(usr + "/share/doc/parlorix/changelog.gz"));
        EXPECT_TRUE(fs::exists(usr + "/share/doc/parlorix/copyright"));
    }

    // Starts `usr`/games/parlorix from a folder elsewhere (a home folder holding `data/`, `Data/` and
    // a stray "game.dat", none of them the game's) and checks that it shows the title and keeps its
    // log, screenshot and settings in the user's folders.
    void RunInstalled(const std::string& usr, const std::string& label) {
        std::string elsewhere = dir / (label + "-cwd");
        std::string home = dir / (label + "-home");
        fs::create_directories(elsewhere + "/data/Library");
        fs::create_directories(elsewhere + "/Data/Levels");
        {
            std::ofstream stray(elsewhere + "/game.dat", std::ios::binary);
            stray << "not the game's archive";
        }
        auto listing = [&elsewhere] {
            std::vector<std::string> names;
            for (const auto& e : fs::recursive_directory_iterator(elsewhere))
                names.push_back(e.path().string());
            std::sort(names.begin(), names.end());
            return names;
        };
        const std::vector<std::string> before = listing();
        Game& game = NewGame(elsewhere, home, usr + "/games/parlorix");
        // A lived-in HOME: none of this is the game's, and none of it may be touched.
        fs::create_directories(home + "/Documents");
        std::ofstream(home + "/Documents/notes.txt") << "shopping\n";
        std::ofstream(home + "/.bashrc") << "# shell\n";
        std::string userData = game.DataHome() + "/parlorix";
        game.SetShotDir(userData);
        StartAndFindWindow(game);
        Bitmap shot;
        ASSERT_TRUE(game.Screenshot(shot, label + "-title"));
        EXPECT_EQ(CheckTitle(shot), "");
        EXPECT_EQ(game.Close(), 0);

        std::string log = ReadFile(userData + "/Log000.txt");
        EXPECT_TRUE(Contains(log, "Working directory: " + fs::canonical(userData).string() + "/Log000.txt\n"))
            << log;
        EXPECT_TRUE(Contains(log, "Loading scene 0,0\n")) << log;
        EXPECT_TRUE(fs::exists(game.OptionsFile()));
        EXPECT_EQ(listing(), before) << "the game wrote into the folder it was started from";
        EXPECT_EQ(ReadFile(elsewhere + "/game.dat"), "not the game's archive");
        EXPECT_EQ(ReadFile(home + "/Documents/notes.txt"), "shopping\n");
        EXPECT_EQ(ReadFile(home + "/.bashrc"), "# shell\n");
        for (const char* sub : {"/games", "/share/games/parlorix"}) {
            for (const auto& e : fs::directory_iterator(usr + sub)) {
                std::string name = e.path().filename().string();
                EXPECT_TRUE(name.rfind("Log", 0) != 0 && name.rfind("screen", 0) != 0)
                    << "written beside the installed files: " << e.path();
            }
        }
    }
};

TEST_F(InstallTest, InstalledTreeStartsFromAnUnrelatedFolderAndWritesUnderXdgFolders) {
    std::string prefix = dir / "prefix";
    std::string out;
    ASSERT_EQ(RunTool({PARLORIX_CMAKE, "--install", BuildDir(), "--prefix", prefix}, {}, 120000, &out), 0)
        << out;
    CheckInstalledFiles(prefix);
    RunInstalled(prefix, "40-installed");
}

TEST_F(InstallTest, DebPackageHoldsTheGameAndRunsUnpacked) {
    if (!HaveTool("dpkg-deb")) PARLORIX_MISSING("dpkg-deb is needed");
    std::string pkg = dir / "pkg";
    std::string out;
    // The tree as this build made it. With the Makefile generator CPack would first build the
    // "preinstall" target, that is every target of the tree, while other tests run the program; the
    // Ninja generator has no such step, so naming it packages the built files as they are.
    ASSERT_EQ(RunTool({PARLORIX_CPACK, "--config", BuildDir() + "/CPackConfig.cmake", "-G", "DEB", "-B", pkg,
                       "-D", "CPACK_CMAKE_GENERATOR=Ninja"},
                      {}, 120000, &out),
              0)
        << out;
    std::string deb;
    for (const auto& e : fs::directory_iterator(pkg))
        if (e.path().extension() == ".deb") deb = e.path().string();
    ASSERT_FALSE(deb.empty()) << out;

    std::string info;
    ASSERT_EQ(RunTool({"dpkg-deb", "-I", deb}, {}, 30000, &info), 0) << info;
    EXPECT_TRUE(Contains(info, "Package: parlorix")) << info;
    EXPECT_TRUE(Contains(info, "Section: games")) << info;
    // Every run-time library comes from a dependency that a Debian 12 system can install.
    const size_t at = info.find("\n Depends: ") + 11;
    const std::string depends = at < 11 ? "" : info.substr(at, info.find('\n', at) - at);
    EXPECT_TRUE(Contains(depends, "libsdl2-2.0-0")) << info;
    EXPECT_TRUE(Contains(depends, "libsdl2-mixer-2.0-0")) << info;
    EXPECT_TRUE(Contains(depends, "libfreetype6")) << info;
    {
        std::stringstream parts(depends);
        std::string part;
        while (std::getline(parts, part, ',')) {
            std::string name = part.substr(part.find_first_not_of(' '));
            name = name.substr(0, name.find_first_of(" (|"));
            std::string status;
            RunTool({"dpkg-query", "-W", "-f=${Status}", name}, {}, 10000, &status);
            EXPECT_TRUE(Contains(status, "install ok installed")) << name << ": " << status;
        }
    }

    // Unpacked into a scratch root instead of installing system-wide: the package's files are the
    // installed tree's.
    std::string root = dir / "root";
    ASSERT_EQ(RunTool({"dpkg-deb", "-x", deb, root}, {}, 60000, &out), 0) << out;
    CheckInstalledFiles(root + "/usr");
    RunInstalled(root + "/usr", "41-deb");
}

} // namespace
} // namespace E2e
#endif
