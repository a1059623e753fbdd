#include "SceneFixture.h"

#include <cstdlib>
#include <tuple>

using namespace SceneTesting;

namespace {

class ScenecTest : public SceneTest {
  protected:
    int Run(const std::string& arguments) {
        std::string command = std::string(SCENEC_PATH) + " " + arguments + " 2>" + (dir / "stderr.txt");
        return WEXITSTATUS(std::system(command.c_str()));
    }
    std::string Errors() const { return dir.Read("stderr.txt"); }
};

// One line of the description here per section; its first line is a comment.
const std::string kDescription =
    "; two scenes of a 2 x 1 grid, the first described by two records\n"
    "[Episode]\nwidth = 2\nheight = 1\n\n"
    "[Scene1]\ncolumn = 0\nrow = 0\nbackground = Title\ncAmbient = 0x102030\nvSize.x = 1024\nvSize.y = "
    "768\n\n"
    "[Scene1.Object1]\nsName = Logo\nsType = Element.logo\nvPosition.x = 200.5\nvPosition.y = -40\nnSort = "
    "-7\nnOpaque = 60\nbFirstPlane = true\nbFlipX = 1\n\n"
    "[Scene1.Object2]\nrun = 3\nsName = Lamp\nsType = Light.lamp\nvPosition.x = 400\nvPosition.y = "
    "300\nnRadius = 250\ncColor = 0x80c0ff\nbCastShadow = false\n\n"
    "[Scene1.Object3]\nrun = 2\nsName = Brick\nsType = Item.red\nnScore = 65535\nnLife = 3\nbVisible = "
    "false\n\n"
    "[Scene1.Object4]\nsType = Sound.bell\n\n"
    "[Scene1.Polygon1]\nsName = Wall\nvPosition.x = 100\nvPosition.y = 100\ncColor = 0xff\nbClosed = "
    "false\nbCastShadow = true\nvertex1 = 0, 0\nvertex2 = 50.25, 0\nvertex3 = 50, 50\n\n"
    "[Scene2]\ncolumn = 1\nrow = 0\nsName = Options\nbUseParallax = true\nsParallaxName = Level_00_00\n\n"
    "[Scene3]\ncolumn = 0\nrow = 0\nsName = Title\nbackground = Sky\n\n";

} // namespace

TEST_F(ScenecTest, DescriptionCompilesToTheScenesAndObjectsDescribed) {
    dir.Write("board.txt", kDescription);
    ASSERT_EQ(Run("board.txt Board.eed"), 0) << Errors();
    ASSERT_TRUE(LoadSceneFile("Board.eed"));
    Episode* ep = FindEpisode("Board");
    ASSERT_NE(ep, nullptr);
    EXPECT_EQ(std::tuple(ep->width, ep->height), std::tuple(2u, 1u));

    // The later record of a cell gives the scene's name, background and settings (here defaults).
    Level* title = ep->SceneAt(0, 0);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(std::tuple(title->sName, title->background, title->cAmbient, title->vSize.x),
              std::tuple("Title", "Sky", 0x202020u, 800.f));

    // Runs are read in order 1, 2, 3; each object lands in its class's list.
    ASSERT_EQ(title->elements.size(), 1u);
    const Element& logo = *title->elements[0];
    EXPECT_EQ(
        std::tuple(logo.sName, logo.sType, logo.vPosition.x, logo.vPosition.y, logo.nSort, logo.nOpaque),
        std::tuple("Logo", "Element.logo", 200.5f, -40.f, -7, 60));
    EXPECT_EQ(std::tuple(logo.bFirstPlane, logo.bFlipX, logo.bActive, logo.bVisible), std::tuple(1, 1, 1, 1));
    ASSERT_EQ(title->lights.size(), 1u);
    const Light& lamp = *title->lights[0];
    EXPECT_EQ(std::tuple(lamp.nRadius, lamp.cColor, lamp.bCastShadow), std::tuple(250, 0x80c0ffu, 0));
    ASSERT_EQ(title->items.size(), 1u);
    const Item& brick = *title->items[0];
    EXPECT_EQ(std::tuple(brick.nScore, brick.nLife, brick.bVisible), std::tuple(65535, 3u, 0));
    ASSERT_EQ(title->polygons.size(), 1u);
    const Polygon& wall = *title->polygons[0];
    EXPECT_EQ(std::tuple(wall.sName, wall.cColor, wall.bClosed, wall.bCastShadow),
              std::tuple("Wall", 0xffu, 0, 1));
    ASSERT_EQ(wall.vertices.size(), 3u);
    EXPECT_EQ(wall.vertices[1]->vPosition.x, 50.25f);
    EXPECT_EQ(wall.vertices[2]->sName, "Wall_V3");

    // A record without objects at the very end of the file is still read.
    Level* options = ep->FindScene("options");
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options, ep->SceneAt(1, 0));
    EXPECT_EQ(std::tuple(options->bUseParallax, options->sParallaxName), std::tuple(1, "Level_00_00"));
}

TEST_F(ScenecTest, DecompiledTextCompilesToTheSameBytes) {
    dir.Write("board.txt", kDescription);
    ASSERT_EQ(Run("board.txt first.eed"), 0) << Errors();
    ASSERT_EQ(Run("-d first.eed back.txt"), 0) << Errors();
    ASSERT_EQ(Run("back.txt second.eed"), 0) << Errors();
    EXPECT_EQ(dir.Read("first.eed"), dir.Read("second.eed"));
    EXPECT_NE(dir.Read("back.txt").find("[Scene1.Polygon1]"), std::string::npos);
}

TEST_F(ScenecTest, MistakesAreReportedNotWritten) {
    const std::string scene = "[Episode]\nwidth = 1\nheight = 1\n[Scene1]\nrow = 0\n[Scene1.Object1]\n";
    const std::pair<std::string, const char*> cases[] = {
        {"[Scene1]\ncolumn = 0\n", "[Episode] needs width and height"},
        {scene + "sName = " + std::string(32, 'x') + "\n", "sName"},
        {scene + "nScore = lots\n", ""},
        {scene + "nSort = 40000\n", ""}};
    for (const auto& [text, error] : cases) {
        dir.Write("bad.txt", text);
        EXPECT_EQ(Run("bad.txt out.eed"), 1) << text;
        EXPECT_NE(Errors().find(error), std::string::npos) << Errors();
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "out.eed"));

    dir.Write("notascene.eed", std::string(5000, 'z'));
    EXPECT_EQ(Run("-d notascene.eed"), 1);
    EXPECT_EQ(Run("--help >/dev/null"), 0);
}
