#include "SceneFixture.h"

#include <cstdlib>

using namespace SceneTesting;

namespace {

std::string Scenec() {
    return SCENEC_PATH;
}

class ScenecTest : public SceneTest {
  protected:
    int Run(const std::string& arguments) {
        std::string command = Scenec() + " " + arguments + " 2>" + (dir / "stderr.txt");
        return WEXITSTATUS(std::system(command.c_str()));
    }
    std::string Errors() const { return dir.Read("stderr.txt"); }
};

const char* kDescription = R"(; two scenes of a 2 x 1 grid, the first described by two records
[Episode]
width = 2
height = 1

[Scene1]
column = 0
row = 0
background = Title
cAmbient = 0x102030
vSize.x = 1024
vSize.y = 768

[Scene1.Object1]
sName = Logo
sType = Element.logo
vPosition.x = 200.5
vPosition.y = -40
nSort = -7
nOpaque = 60
bFirstPlane = true
bFlipX = 1

[Scene1.Object2]
run = 3
sName = Lamp
sType = Light.lamp
vPosition.x = 400
vPosition.y = 300
nRadius = 250
cColor = 0x80c0ff
bCastShadow = false

[Scene1.Object3]
run = 2
sName = Brick
sType = Item.red
nScore = 65535
nLife = 3
bVisible = false

[Scene1.Object4]
sType = Sound.bell

[Scene1.Polygon1]
sName = Wall
vPosition.x = 100
vPosition.y = 100
cColor = 0xff
bClosed = false
bCastShadow = true
vertex1 = 0, 0
vertex2 = 50.25, 0
vertex3 = 50, 50

[Scene2]
column = 1
row = 0
sName = Options
bUseParallax = true
sParallaxName = Level_00_00

[Scene3]
column = 0
row = 0
sName = Title
background = Sky
)";

} // namespace

TEST_F(ScenecTest, DescriptionCompilesToTheScenesAndObjectsDescribed) {
    dir.Write("board.txt", kDescription);
    ASSERT_EQ(Run("board.txt Board.eed"), 0) << Errors();
    ASSERT_TRUE(LoadSceneFile("Board.eed"));
    Episode* ep = FindEpisode("Board");
    ASSERT_NE(ep, nullptr);
    EXPECT_EQ(ep->width, 2u);
    EXPECT_EQ(ep->height, 1u);

    Level* title = ep->SceneAt(0, 0);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->sName, "Title"); // from the later record of the cell
    EXPECT_EQ(title->background, "Sky");
    EXPECT_EQ(title->cAmbient, 0x202020u); // the later record's default
    EXPECT_EQ(title->vSize.x, 800.0f);

    // Runs are read in order 1, 2, 3; each object lands in its class's list.
    ASSERT_EQ(title->elements.size(), 1u);
    Element* logo = title->elements[0];
    EXPECT_EQ(logo->sName, "Logo");
    EXPECT_EQ(logo->sType, "Element.logo");
    EXPECT_EQ(logo->vPosition.x, 200.5f);
    EXPECT_EQ(logo->vPosition.y, -40.0f);
    EXPECT_EQ(logo->nSort, -7);
    EXPECT_EQ(logo->nOpaque, 60);
    EXPECT_EQ(logo->bFirstPlane, 1);
    EXPECT_EQ(logo->bFlipX, 1);
    EXPECT_EQ(logo->bActive, 1);
    EXPECT_EQ(logo->bVisible, 1);

    ASSERT_EQ(title->lights.size(), 1u);
    EXPECT_EQ(title->lights[0]->nRadius, 250);
    EXPECT_EQ(title->lights[0]->cColor, 0x80c0ffu);
    EXPECT_EQ(title->lights[0]->bCastShadow, 0);

    ASSERT_EQ(title->items.size(), 1u);
    EXPECT_EQ(title->items[0]->nScore, 65535);
    EXPECT_EQ(title->items[0]->nLife, 3u);
    EXPECT_EQ(title->items[0]->bVisible, 0);

    ASSERT_EQ(title->polygons.size(), 1u);
    Polygon* wall = title->polygons[0];
    EXPECT_EQ(wall->sName, "Wall");
    EXPECT_EQ(wall->cColor, 0xffu);
    EXPECT_EQ(wall->bClosed, 0);
    EXPECT_EQ(wall->bCastShadow, 1);
    ASSERT_EQ(wall->vertices.size(), 3u);
    EXPECT_EQ(wall->vertices[1]->vPosition.x, 50.25f);
    EXPECT_EQ(wall->vertices[2]->sName, "Wall_V3");

    // A record without objects at the very end of the file is still read.
    Level* options = ep->FindScene("options");
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options, ep->SceneAt(1, 0));
    EXPECT_EQ(options->bUseParallax, 1);
    EXPECT_EQ(options->sParallaxName, "Level_00_00");
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
    dir.Write("noepisode.txt", "[Scene1]\ncolumn = 0\n");
    EXPECT_EQ(Run("noepisode.txt out.eed"), 1);
    EXPECT_NE(Errors().find("[Episode] needs width and height"), std::string::npos);

    dir.Write("long.txt", "[Episode]\nwidth = 1\nheight = 1\n[Scene1]\nrow = 0\n[Scene1.Object1]\nsName = " +
                              std::string(32, 'x') + "\n");
    EXPECT_EQ(Run("long.txt out.eed"), 1);
    EXPECT_NE(Errors().find("sName"), std::string::npos);

    dir.Write("number.txt",
              "[Episode]\nwidth = 1\nheight = 1\n[Scene1]\nrow = 0\n[Scene1.Object1]\nnScore = lots\n");
    EXPECT_EQ(Run("number.txt out.eed"), 1);
    dir.Write("range.txt",
              "[Episode]\nwidth = 1\nheight = 1\n[Scene1]\nrow = 0\n[Scene1.Object1]\nnSort = 40000\n");
    EXPECT_EQ(Run("range.txt out.eed"), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.eed"));

    dir.Write("notascene.eed", std::string(5000, 'z'));
    EXPECT_EQ(Run("-d notascene.eed"), 1);
    EXPECT_EQ(Run("--help >/dev/null"), 0);
}
