#include "SceneFixture.h"

#include <limits>
#include <memory>
#include <tuple>

using namespace SceneTesting;
using namespace ObjectRecord;

namespace {

void Update(uint32_t, FrameRecord*) {}
void Draw(SDL_Surface*) {}

class SceneFileTest : public SceneTest {
  protected:
    // The scenes the renderer was told about.
    std::vector<Level*> changed;
    void SetUp() override {
        SceneTest::SetUp();
        SceneHooks hooks;
        hooks.sceneChanged = [this](Level* scene) { changed.push_back(scene); };
        SetSceneHooks(hooks);
    }
    bool Load(const SceneFileWriter& file, const std::string& name = "Board.eed") {
        dir.Write(name, file.Text());
        return LoadSceneFile(name.c_str());
    }
    bool BackgroundLoaded(const char* data) {
        return Library::FindGroup("Background")->FindData(data)->loaded;
    }
    Element& MakeElement(const char* name, const char* type, float x, float y) {
        owned.push_back(std::make_unique<Element>());
        Element& e = *owned.back();
        e.sName = name;
        e.sType = type;
        e.vPosition = {x, y};
        return e;
    }
    std::vector<std::unique_ptr<Element>> owned;
};

} // namespace

TEST_F(SceneFileTest, ScenesGetGeneratedOrRecordedNamesFoundIgnoringCase) {
    SceneFileWriter file(3, 2);
    Element& logo = MakeElement("Logo", "Element.logo", 10, 20);
    file.AddScene(0, 0, "", "Title", {&logo});
    file.AddScene(2, 1, "Options", "", {});
    ASSERT_TRUE(Load(file, "Data/Levels/Board.eed"));
    EXPECT_TRUE(changed.empty()); // only SwitchScene tells the renderer

    Episode* board = FindEpisode("board");
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(board->name, "Board");
    EXPECT_EQ(GetCurrentEpisode(), board);
    Level* title = board->FindScene("level_00_00");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(std::tuple(title->sName, title->sType, title->vPosition.x, title->bActive, title->background),
              std::tuple("Level_00_00", "Level", 0.f, 1, "Title"));
    EXPECT_EQ(GetActiveScene(), title);
    EXPECT_EQ(board->FindScene("OPTIONS"), board->SceneAt(2, 1));
    EXPECT_EQ(board->FindScene("Level_02_01"), nullptr); // renamed by its record
    EXPECT_EQ(board->SceneAt(1, 0), nullptr);
    EXPECT_EQ(LogCount("Loading scene 0,0\n"), 1);
    EXPECT_EQ(LogCount("Loading scene 2,1\n"), 1);

    ASSERT_EQ(title->elements.size(), 1u);
    Element* e = title->elements[0]; // the record overrides the generated name
    EXPECT_EQ(std::tuple(e->sName, e->sType, e->vPosition.x, e->vPosition.y),
              std::tuple("Logo", "Element.logo", 10.f, 20.f));
}

// Column and row are truncated to a cell; records for one cell make one scene, the later record's
// settings winning; records outside the grid are skipped.
TEST_F(SceneFileTest, RecordsLandInTheirGridCells) {
    SceneFileWriter file(2, 1);
    Element& a = MakeElement("A", "Element.x", 0, 0);
    Item b;
    b.sName = "B";
    b.sType = "Item.brick";
    b.nScore = 40;
    file.AddScene(0.9f, 0.2f, "", "First", {&a}, {}, 0x111111);
    file.AddScene(0, 0, "Named", "Second", {&b}, {}, 0x222222);
    for (float column : {-1.f, 2.f})
        file.AddScene(column, 0, "Outside", "", {&a});
    file.AddScene(0, 1, "Outside", "", {&a});
    file.AddScene(1, 0, "", "", {&a});
    ASSERT_TRUE(Load(file));
    Episode* ep = GetCurrentEpisode();
    EXPECT_EQ(ep->cells.size(), 2u);
    EXPECT_EQ(ep->FindScene("Outside"), nullptr);
    Level* scene = ep->SceneAt(0, 0);
    EXPECT_EQ(scene->elements.size(), 1u);
    ASSERT_EQ(scene->items.size(), 1u);
    EXPECT_EQ(std::tuple(scene->items[0]->nScore, scene->background, scene->cAmbient, scene->sName),
              std::tuple(40, "Second", 0x222222u, "Named"));
    EXPECT_EQ(ep->FindScene("Level_01_00")->elements.size(), 1u);

    // Activation outside the grid keeps the current cell.
    ep->Activate(1, 0);
    ep->Activate(-1, 0);
    ep->Activate(2, 0);
    ep->Activate(1, 5);
    EXPECT_EQ(std::tuple(ep->currentColumn, ep->currentRow), std::tuple(1, 0));
}

TEST_F(SceneFileTest, ObjectRecordsOfEveryKind) {
    SceneFileWriter file(1, 1);
    Element& sky = MakeElement("S", "Background.Sky", 0, 0);
    Element& bell = MakeElement("Bell", "Sound.bell", 0, 0);
    Element& actor = MakeElement("Act", "Actor.hero", 0, 0);
    Element& odd = MakeElement("Odd", "Widget.thing", 0, 0);
    Light lamp;
    lamp.sName = "Lamp";
    lamp.sType = "Light.lamp";
    lamp.nRadius = 222;
    lamp.cColor = 0x123456;
    lamp.bCastShadow = 0;
    Polygon wall;
    wall.sName = "Wall";
    wall.sType = "Polygon";
    wall.vPosition = {50, 60};
    wall.AddVertex({1, 2}, false);
    wall.AddVertex({3, 4}, false);
    wall.AddVertex({5, 6}, false);
    wall.bClosed = 0;
    wall.cColor = 0xff00ff;
    file.AddScene(0, 0, "", "Header", {&sky, &bell, &actor, &odd, &lamp}, {&wall});
    ASSERT_TRUE(Load(file));
    Level* scene = GetActiveScene();
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->background, "Sky"); // objects come after the header
    EXPECT_TRUE(scene->elements.empty());
    ASSERT_EQ(scene->lights.size(), 1u);
    EXPECT_EQ(std::tuple(scene->lights[0]->nRadius, scene->lights[0]->cColor, scene->lights[0]->bCastShadow),
              std::tuple(222, 0x123456u, 0));
    ASSERT_EQ(scene->polygons.size(), 1u);
    Polygon* p = scene->polygons[0];
    EXPECT_EQ(std::tuple(p->sName, p->sType, p->cColor, p->bClosed),
              std::tuple("Wall", "Polygon", 0xff00ffu, 0));
    ASSERT_EQ(p->vertices.size(), 3u);
    const Object& v = *p->vertices[2];
    EXPECT_EQ(std::tuple(v.vPosition.x, v.vPosition.y, v.sName), std::tuple(5.f, 6.f, "Wall_V3"));
    EXPECT_EQ(p->vertices[0]->GetWorldPosition().x, 51.0f);
}

TEST_F(SceneFileTest, ShortOrForeignFilesAreRefused) {
    dir.Write("tiny.eed", "0DEE");
    EXPECT_FALSE(LoadSceneFile("tiny.eed"));
    SceneFileWriter bad(1, 1);
    bad.bytes[0] = 'X';
    EXPECT_FALSE(Load(bad, "bad.eed"));
    EXPECT_FALSE(LoadSceneFile("missing.eed"));
    EXPECT_TRUE(LoadedEpisodes().empty());
    EXPECT_EQ(GetCurrentEpisode(), nullptr);

    // 4498 bytes: no room for a record; an episode whose cells are all empty.
    SceneFileWriter empty(2, 2);
    empty.bytes.resize(4096 + 402, 0);
    ObjectRecord::PutU32(&empty.bytes[4096 + 4], 402);
    ASSERT_TRUE(Load(empty, "empty.eed"));
    EXPECT_EQ(GetActiveScene(), nullptr);
    EXPECT_TRUE(GetCurrentEpisode()->cells.empty());
    EXPECT_EQ(GetCurrentEpisode()->name, "empty");
}

TEST_F(SceneFileTest, DamagedRecordsStayWithinTheFile) {
    // Object counts far beyond the file: only the records that are there are read.
    SceneFileWriter file(1, 1);
    Element& e = MakeElement("E", "Element.x", 0, 0);
    file.AddScene(0, 0, "", "", {&e, &e});
    ObjectRecord::PutU32(&file.bytes[4096 + 0x34], 0xFFFFFFFF);
    ObjectRecord::PutU32(&file.bytes[4096 + 0x38], 0xFFFFFFFF);
    ObjectRecord::PutU32(&file.bytes[4096 + 0x88], 0xFFFFFFFF);
    file.bytes.resize(file.bytes.size() - 10); // cut into the second object record
    ASSERT_TRUE(Load(file, "a.eed"));
    EXPECT_EQ(GetActiveScene()->elements.size(), 1u);
    EXPECT_TRUE(GetActiveScene()->polygons.empty());

    // A polygon claiming more vertices than the file holds keeps only those present; a record
    // length of zero cannot make the loader loop for ever.
    SceneFileWriter poly(1, 1);
    Polygon p;
    p.sType = "Polygon";
    p.AddVertex({1, 1}, false);
    p.AddVertex({2, 2}, false);
    poly.AddScene(0, 0, "", "", {}, {&p});
    const size_t polygonAt = 4096 + SceneRecord::kWrittenHeader;
    ObjectRecord::PutU16(&poly.bytes[polygonAt + 0x5A], 0xFFFF);
    ObjectRecord::PutU32(&poly.bytes[polygonAt], 0);
    ObjectRecord::PutU32(&poly.bytes[4096 + 0x88], 1000);
    ObjectRecord::PutU32(&poly.bytes[4096 + 4], 0);
    ASSERT_TRUE(Load(poly, "b.eed"));
    ASSERT_EQ(GetActiveScene()->polygons.size(), 1u);
    EXPECT_EQ(GetActiveScene()->polygons[0]->vertices.size(), 2u);

    // Unterminated texts and a huge declared grid.
    SceneFileWriter texts(0x7FFFFFFF, 0x7FFFFFFF);
    Element& t = MakeElement("T", "Element.x", 0, 0);
    texts.AddScene(3, 4, "", "", {&t});
    std::memset(&texts.bytes[4096 + 0x10], 'B', 32);
    std::memset(&texts.bytes[4096 + 0x48], 'N', 64);
    std::memset(&texts.bytes[4096 + 0x96], 'P', SceneRecord::kWrittenHeader - 0x96);
    ASSERT_TRUE(Load(texts, "c.eed"));
    Level* scene = GetCurrentEpisode()->SceneAt(3, 4);
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->background, std::string(32, 'B'));
    EXPECT_EQ(scene->sName, std::string(64, 'N'));
    EXPECT_EQ(scene->sParallaxName, std::string(SceneRecord::kWrittenHeader - 0x96, 'P'));

    // Column and row that are not numbers.
    SceneFileWriter nan(1, 1);
    nan.AddScene(std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), "", "", {});
    ASSERT_TRUE(Load(nan, "d.eed"));
}

TEST_F(SceneFileTest, SwitchSceneAlwaysTellsTheRendererAndSaysWhenTheSceneIsMissing) {
    SceneFileWriter a(2, 1);
    a.AddScene(0, 0, "", "", {});
    a.AddScene(1, 0, "", "", {});
    ASSERT_TRUE(Load(a, "Board.eed"));
    SceneFileWriter b(1, 1);
    b.AddScene(0, 0, "Other", "", {});
    ASSERT_TRUE(Load(b, "Extra.eed")); // the later load is current
    EXPECT_EQ(GetActiveScene()->sName, "Other");

    EXPECT_TRUE(SwitchScene("BOARD", "level_01_00"));
    Level* l10 = FindEpisode("Board")->SceneAt(1, 0);
    EXPECT_EQ(GetActiveScene(), l10);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed.back(), l10);

    EXPECT_TRUE(SwitchScene(nullptr, "Level_00_00")); // within the current episode
    EXPECT_EQ(GetActiveScene()->sName, "Level_00_00");
    EXPECT_FALSE(SwitchScene(nullptr, "Nowhere")); // unknown scene: said, and the cell stays
    EXPECT_EQ(GetActiveScene()->sName, "Level_00_00");
    EXPECT_TRUE(SwitchScene("Extra", nullptr)); // no scene name: nothing changes
    EXPECT_EQ(GetCurrentEpisode(), FindEpisode("Board"));
    EXPECT_EQ(changed.size(), 4u);
    EXPECT_EQ(changed.back(), GetActiveScene());

    EXPECT_FALSE(SwitchScene("Unknown", "Level_00_00")); // no episode current afterwards
    EXPECT_EQ(GetCurrentEpisode(), nullptr);
    EXPECT_EQ(GetActiveScene(), nullptr);
    EXPECT_EQ(changed.back(), nullptr);
    EXPECT_FALSE(SwitchScene(nullptr, "Level_00_00"));
    EXPECT_EQ(GetActiveScene(), nullptr);

    ReleaseAllEpisodes();
    EXPECT_TRUE(LoadedEpisodes().empty());
    EXPECT_EQ(GetActiveScene(), nullptr);
}

TEST_F(SceneFileTest, LeavingABackgroundReleasesItsPicture) {
    WriteLibrary(
        {{"Background",
          "[data]\ndata1 = a.tga,800,600\ndata2 = b.tga,800,600\n[groups]\nname1 = Backs\n"
          "[objects]\nname1 = A\ngroup1 = Backs\ndata1 = a\nname2 = B\ngroup2 = Backs\ndata2 = b\n"}});
    ASSERT_TRUE(Library::Init(""));
    WritePicture("Data/Library/Background/a.tga", 8, 8, 255);
    WritePicture("Data/Library/Background/b.tga", 8, 8, 255);
    SceneFileWriter file(4, 1);
    file.AddScene(0, 0, "", "A", {});
    file.AddScene(1, 0, "", "A", {});
    file.AddScene(2, 0, "", "B", {});
    ASSERT_TRUE(Load(file));
    ASSERT_NE(Library::GetPicture("Background", "A"), nullptr);
    ASSERT_NE(Library::GetPicture("Background", "B"), nullptr);

    EXPECT_TRUE(SwitchScene("Board", "Level_01_00")); // same background: nothing released
    EXPECT_TRUE(BackgroundLoaded("a"));
    EXPECT_TRUE(SwitchScene("Board", "Level_02_00")); // A -> B releases A
    EXPECT_FALSE(BackgroundLoaded("a"));
    EXPECT_TRUE(BackgroundLoaded("b"));
    ASSERT_NE(Library::GetPicture("Background", "A"), nullptr); // loads again on use
    EXPECT_TRUE(BackgroundLoaded("a"));

    // Activating an empty cell releases nothing and leaves no active scene.
    GetCurrentEpisode()->Activate(3, 0);
    EXPECT_TRUE(BackgroundLoaded("b"));
    EXPECT_EQ(GetActiveScene(), nullptr);
}

TEST_F(SceneFileTest, CallbacksAreStoredByEpisodeAndSceneName) {
    SceneFileWriter file(2, 1);
    file.AddScene(0, 0, "", "", {});
    file.AddScene(1, 0, "Game", "", {});
    ASSERT_TRUE(Load(file));
    SetUpdateCallback("board", "GAME", &Update);
    SetOverlayCallback("Board", "Level_00_00", &Draw);
    SetAfterSceneCallback("Board", "Level_00_00", &Draw);
    SetUpdateCallback("Nope", "Game", &Update);
    SetUpdateCallback("Board", "Nope", &Update);
    const Level* first = GetCurrentEpisode()->FindScene("Level_00_00");
    EXPECT_EQ(GetCurrentEpisode()->FindScene("Game")->update, &Update);
    EXPECT_EQ(std::tuple(first->update, first->overlay, first->afterScene),
              std::tuple(nullptr, &Draw, &Draw));
}

TEST_F(SceneFileTest, DeleteObjectByNameAndChild) {
    Level level;
    auto* poly = static_cast<Polygon*>(level.CreateObject("Polygon", "", {0, 0}));
    poly->sName = "Poly1";
    poly->AddVertex({0, 0}, false);
    poly->AddVertex({1, 0}, false);
    poly->AddVertex({2, 0}, false);
    for (const char* name : {"A", "B", "C"})
        level.CreateObject("Item", "", {0, 0})->sName = name;
    Object *a = level.items[0], *c = level.items[2];

    level.DeleteObject("poly1.Poly1_V2");
    ASSERT_EQ(poly->vertices.size(), 2u);
    EXPECT_EQ(poly->vertices[1]->sName, "Poly1_V3");
    level.DeleteObject("Poly1.NoSuchVertex"); // asked of the object, no message
    EXPECT_EQ(LogCount("ERROR: Unable delete"), 0);

    level.DeleteObject("b");
    ASSERT_EQ(level.items.size(), 2u);
    EXPECT_EQ(level.items[0], a);
    EXPECT_EQ(level.items[1], c);
    level.DeleteObject("Poly1");
    EXPECT_TRUE(level.polygons.empty());

    level.DeleteObject("Ghost.x");
    EXPECT_EQ(LogCount("ERROR: Unable delete Ghost.x\n"), 1);
}

TEST_F(SceneFileTest, MutatedAndTruncatedFilesLoadWithinTheirBytes) {
    SceneFileWriter file(2, 2);
    Element& e = MakeElement("E", "Element.x", 1, 2);
    Polygon p;
    p.sType = "Polygon";
    p.AddVertex({1, 1}, false);
    p.AddVertex({2, 2}, false);
    file.AddScene(0, 0, "A", "Back", {&e, &e}, {&p, &p});
    file.AddScene(1, 1, "", "", {&e}, {&p});
    const std::vector<uint8_t> original = file.bytes;

    // Every length from the header's end to the whole file.
    for (size_t length = 4096; length <= original.size(); length += 7) {
        SceneFileWriter cut(0, 0);
        cut.bytes.assign(original.begin(), original.begin() + length);
        ASSERT_TRUE(Load(cut, "cut.eed"));
    }
    // Random bytes changed after the file header (the loader must neither crash nor hang).
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 400; ++round) {
        SceneFileWriter bad(0, 0);
        bad.bytes = original;
        for (int k = 0; k < 6; ++k) {
            size_t at = 4096 + next() % (original.size() - 4096);
            bad.bytes[at] = static_cast<uint8_t>(next() >> 24);
        }
        ASSERT_TRUE(Load(bad, "bad.eed"));
    }
    ReleaseAllEpisodes();
}
