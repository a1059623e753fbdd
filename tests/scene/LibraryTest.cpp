#include "SceneFixture.h"

#include <filesystem>
#include <tuple>

#include "core/Config.h"
#include "picture/Image.h"

using namespace SceneTesting;

namespace {

class LibraryTest : public SceneTest {
  protected:
    const std::string* Var(const LibraryTemplate* t, const std::string& name) {
        for (const auto& p : t->variables)
            if (p.first == name) return &p.second;
        return nullptr;
    }
    std::string Root() const { return dir.path() + "/"; }
};

// An element library.ini: two data entries, two template groups and four templates, one of them
// in a group that does not exist.
const char* kElements =
    "[data]\nsize = 2\ndata1 = board.jpg,640,480\ndata2 = brick.jpg,32,32\n"
    "[groups]\nsize = 2\n"
    "name1 = Default\nvariables1 = "
    "\"bVisible\",\"nSort\",\"nOpaque\",\"bBreakable\",\"nLife\",\"bFlipX\",\"bFlipY\",\nvalues1 = "
    "\"true\",\"50\",\"100\",\"false\",\"0\",\"false\",\"false\",\n"
    "name2 = Front\nvariables2 = \"nSort\",\"nOpaque\",\nvalues2 = \"90\",\n"
    "[objects]\nsize = 4\n"
    "name1 = board\ngroup1 = Default\ndata1 = board\nvariables1 = "
    "\"nOpaque\",\"bFlipX\",\"nUnknown\",\nvalues1 = \"75\",\"true\",\"1\",\n"
    "name2 = brick\ngroup2 = Front\ndata2 = brick\nvariables2 = \nvalues2 = \n"
    "name3 = brick\ngroup3 = Front\ndata3 = brick\nvariables3 = \"nSort\",\nvalues3 = \"12\",\n"
    "name4 = ghost\ngroup4 = Missing\ndata4 = brick\n";

} // namespace

TEST_F(LibraryTest, MissingLibraryFileFailsStartUpInGroupOrder) {
    WriteLibrary({});
    std::filesystem::remove(dir / "Data/Library/Light/library.ini");
    EXPECT_FALSE(Library::Init(Root()));
    EXPECT_EQ(LogCount("Library: failed to open 'Data\\Library\\Light\\library.ini'\n"), 1);
    EXPECT_EQ(LogCount("Library: failed to open"), 1); // stops at the first failure
    Library::Release(false);

    WriteLibrary({});
    EXPECT_TRUE(Library::Init(Root()));
    EXPECT_NE(Library::FindGroup("AniGifs"), nullptr);
    EXPECT_EQ(Library::FindGroup("Polygon"), nullptr);
    EXPECT_EQ(Library::FindGroup("element"), nullptr);
    EXPECT_EQ(std::tuple(Library::FindGroup("Light")->folder, Library::FindGroup("Light")->extension,
                         Library::FindGroup("Item")->extension),
              std::tuple("Data\\Library\\Light\\", ".", "item"));
}

TEST_F(LibraryTest, TemplatesGroupsAndDuplicateNames) {
    WriteLibrary({{"Element", kElements}});
    ASSERT_TRUE(Library::Init(Root()));
    LibraryGroup* g = Library::FindGroup("Element");
    ASSERT_EQ(g->data.size(), 2u);
    EXPECT_EQ(std::tuple(g->data[0].first->name, g->data[0].first->extension, g->data[0].first->folder),
              std::tuple("board", "jpg", "Data\\Library\\Element\\"));
    EXPECT_EQ(g->data[1].second, 2u); // brick is used by two templates

    ASSERT_EQ(g->templates.size(), 3u); // "ghost" names a template group that does not exist
    LibraryTemplate* board = Library::FindTemplate("Element", "board");
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(std::tuple(board->className, board->groupName), std::tuple("Element", "Default"));
    EXPECT_EQ(std::tuple(board->size.x, board->size.y),
              std::tuple(640.f, 480.f)); // from library.ini, nothing decoded
    EXPECT_EQ(std::tuple(*Var(board, "nOpaque"), *Var(board, "bFlipX"), *Var(board, "nSort")),
              std::tuple("75", "true", "50"));
    EXPECT_EQ(Var(board, "nUnknown"), nullptr); // undeclared names are ignored

    // The second "brick" becomes brick_01 and keeps its own variables.
    LibraryTemplate* brick = Library::FindTemplate("Element", "brick");
    LibraryTemplate* brick01 = Library::FindTemplate("Element", "brick_01");
    ASSERT_TRUE(brick && brick01);
    EXPECT_EQ(*Var(brick, "nSort"), "90");
    EXPECT_EQ(*Var(brick01, "nSort"), "12");
    // A value list shorter than its names: only the pairs present.
    EXPECT_EQ(*Var(brick, "nOpaque"), "100");
    EXPECT_EQ(g->CreateTemplate("brick", "Front", "brick")->name, "brick_02");
    EXPECT_EQ(g->CreateTemplate("brick", "Nope", "brick"), nullptr);

    // A template without data: 1 x 1 at (0, 0).
    LibraryTemplate* bare = g->CreateTemplate("bare", "Default", "nothing");
    EXPECT_EQ(std::tuple(bare->dataName, bare->size.x, bare->size.y), std::tuple("", 1.f, 1.f));

    // By type text, split at the last ".".
    EXPECT_EQ(Library::FindTemplateByType("Element.brick_01"), brick01);
    EXPECT_EQ(Library::FindTemplateByType("Sound.brick"), nullptr);
    Item item;
    item.sType = "Element.board";
    EXPECT_EQ(item.GetTemplate(), board);
}

TEST_F(LibraryTest, NewTemplateGroupsStartFromTheDeclaredDefaults) {
    WriteLibrary({});
    ASSERT_TRUE(Library::Init(Root()));
    LibraryGroup* light = Library::FindGroup("Light");
    light->modified = false;
    ASSERT_TRUE(light->CreateTemplateGroup("Warm"));
    EXPECT_TRUE(light->modified);
    const TemplateGroup* warm = light->FindTemplateGroup("Warm");
    EXPECT_EQ(warm->variables,
              (VariablePairs{{"bActive", "false"}, {"nRadius", "0"}, {"cColor", "0x000000"}}));

    light->SetTemplateGroupVariable("Warm", "nRadius", "80");
    light->SetTemplateGroupVariable("Warm", "nBogus", "1");
    EXPECT_FALSE(light->CreateTemplateGroup("Warm")); // the first one's variables stay
    EXPECT_EQ(light->FindTemplateGroup("Warm")->variables[1].second, "80");
    EXPECT_EQ(light->FindTemplateGroup("Warm")->variables.size(), 3u);
}

TEST_F(LibraryTest, WritingAndReadingBackKeepsEveryTemplateVariable) {
    WriteLibrary({{"Element", kElements}});
    ASSERT_TRUE(Library::Init(Root()));
    LibraryGroup* g = Library::FindGroup("Element");
    g->SetTemplateVariable("board", "nLife", "");   // an empty value is written as <null>
    g->SetTemplateVariable("brick", "nSort", "50"); // differs from its group (90)
    std::string text = g->SaveText();
    EXPECT_NE(text.find("[data]\nsize = 2\ndata1 = board.jpg,640,480\ndata2 = brick.jpg,32,32\n"
                        "\n[groups]\nsize = 2\nname1 = Default\n"),
              std::string::npos);
    EXPECT_NE(
        text.find("name2 = Front\nvariables2 = \"bVisible\",\"nSort\",\"nOpaque\",\"bBreakable\",\"nLife\","
                  "\"bFlipX\",\"bFlipY\",\nvalues2 = \"true\",\"90\",\"100\",\"false\",\"0\",\"false\","
                  "\"false\",\n\n"),
        std::string::npos);
    // Only the values that differ from the template group are written.
    EXPECT_NE(
        text.find(
            "\n[objects]\nsize = 3\nname1 = board\ngroup1 = Default\ndata1 = board\n"
            "variables1 = \"nOpaque\",\"nLife\",\"bFlipX\",\nvalues1 = \"75\",\"<null>\",\"true\",\n\n"),
        std::string::npos);
    EXPECT_NE(text.find("name3 = brick_01\ngroup3 = Front\ndata3 = brick\nvariables3 = \"nSort\",\n"
                        "values3 = \"12\",\n"),
              std::string::npos);

    ASSERT_TRUE(g->Save());
    std::vector<VariablePairs> before;
    for (LibraryTemplate* t : g->templates)
        before.push_back(t->variables);
    Library::Release(false);

    ASSERT_TRUE(Library::Init(Root()));
    g = Library::FindGroup("Element");
    ASSERT_EQ(g->templates.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        VariablePairs expected = before[i];
        for (auto& p : expected)
            if (p.second.empty()) p.second = "<null>"; // read back as the text itself
        EXPECT_EQ(g->templates[i]->variables, expected) << g->templates[i]->name;
    }
    EXPECT_EQ(g->templates[2]->name, "brick_01"); // written unique, read unique
}

TEST_F(LibraryTest, ReleaseWritesModifiedGroupsOnlyWhenAsked) {
    WriteLibrary({{"Element", kElements}});
    ASSERT_TRUE(Library::Init(Root()));
    std::filesystem::remove(dir / "Data/Library/Element/library.ini");
    Library::Release(false);
    EXPECT_FALSE(std::filesystem::exists(dir / "Data/Library/Element/library.ini"));

    WriteLibrary({{"Element", kElements}});
    ASSERT_TRUE(Library::Init(Root()));
    std::filesystem::remove(dir / "Data/Library/Element/library.ini");
    Library::FindGroup("Background")->modified = false;
    std::filesystem::remove(dir / "Data/Library/Background/library.ini");
    Library::Release(true);
    EXPECT_TRUE(std::filesystem::exists(dir / "Data/Library/Element/library.ini"));
    EXPECT_FALSE(std::filesystem::exists(dir / "Data/Library/Background/library.ini"));

    // A folder that cannot be written.
    WriteLibrary({});
    ASSERT_TRUE(Library::Init(dir.path() + "/no/such/"));
    EXPECT_FALSE(Library::FindGroup("Item")->Save());
    EXPECT_EQ(
        LogCount("Failed to save library '" + dir.path() + "/no/such/Data\\Library\\Item\\library.ini'\n"),
        1);
}

TEST_F(LibraryTest, ItemDescriptionsReadWriteAndStandIn) {
    WriteLibrary({{"Item", "[data]\ndata1 = red.item,32,32\ndata2 = lost.item,0,0\n[groups]\nname1 = Items\n"
                           "[objects]\nname1 = red\ngroup1 = Items\ndata1 = red\n"
                           "name2 = lost\ngroup2 = Items\ndata2 = lost\n"}});
    dir.Write("Data/Library/Item/red.item", "[item]\nsAnimation    = brick\nsActionOnIdle = Stay\n"
                                            "sSndOnPickup  = ding\n");
    ASSERT_TRUE(Library::Init(Root()));
    std::string frameAnimation, frameAction;
    uint32_t frameNumber = 99;
    Library::Hooks hooks;
    hooks.frameImage = [&](const char* animation, const char* action, uint32_t frame, Bitmap& out) {
        frameAnimation = animation;
        frameAction = action;
        frameNumber = frame;
        return std::string(animation) == "brick" && out.Create(16, 8, 32);
    };
    Library::SetHooks(hooks);

    GCD_ITEM* red = Library::GetItemDescriptionByType("Item.red");
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(std::tuple(red->sAnimation, red->sActionOnIdle, red->sSndOnPickup),
              std::tuple("brick", "Stay", "ding"));
    // Its picture is frame 0 of the idle action.
    EXPECT_EQ(std::tuple(frameAnimation, frameAction, frameNumber), std::tuple("brick", "Stay", 0u));
    Bitmap* picture = Library::GetPicture("Item", "red");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Width(), 16u);

    // A missing file: one message, a 32 x 32 stand-in, and no re-reading on later asks.
    ClearLog();
    GCD_ITEM* lost = Library::GetItemDescription("Item", "lost");
    ASSERT_NE(lost, nullptr);
    Library::GetItemDescription("Item", "lost");
    EXPECT_EQ(LogCount("File not found 'Data\\Library\\Item\\lost.item'\n"), 1);
    Bitmap* standIn = Library::GetPicture("Item", "lost");
    ASSERT_NE(standIn, nullptr);
    EXPECT_EQ(std::tuple(standIn->Width(), standIn->Height()), std::tuple(32u, 32u));
    EXPECT_EQ(Library::GetItemDescription("Element", "red"), nullptr);

    ASSERT_TRUE(Library::SetItemDescription("Item", "red", "bonus", "Spin", ""));
    EXPECT_EQ(dir.Read("Data/Library/Item/red.item"),
              "[item]\nsAnimation    = bonus\nsActionOnIdle = Spin\nsSndOnPickup  = \n");
    EXPECT_EQ(red->sAnimation, "bonus");
}

TEST_F(LibraryTest, ItemImportCopiesIntoTheFolder) {
    WriteLibrary({});
    ASSERT_TRUE(Library::Init(Root()));
    dir.Write("source/new.item", "[item]\nsAnimation = x\n");
    GCD_ITEM item;
    item.SetFile("Data\\Library\\Item\\", "new.item");
    EXPECT_TRUE(item.Import(dir.path() + "\\source\\new.item", dir.path() + "\\Data\\Library\\Item"));
    EXPECT_EQ(dir.Read("Data/Library/Item/new.item"), "[item]\nsAnimation = x\n");

    EXPECT_FALSE(item.Import(dir.path() + "\\source\\absent.item", dir.path() + "\\Data\\Library\\Item"));
    EXPECT_EQ(LogCount("Error copying file: "), 1);

    GCD_ITEM other;
    other.SetFile("Data\\Library\\Item\\", "new.txt");
    EXPECT_FALSE(other.Import(dir.path() + "\\source\\new.item", dir.path()));
}

TEST_F(LibraryTest, ManyTemplatesOfOneNameStayUniqueAndCheap) {
    WriteLibrary({});
    ASSERT_TRUE(Library::Init(Root()));
    LibraryGroup* g = Library::FindGroup("Item");
    ASSERT_TRUE(g->CreateTemplateGroup("Items"));
    ASSERT_NE(g->CreateTemplate("red_02", "Items", ""), nullptr); // takes a suffix in advance
    EXPECT_EQ(g->CreateTemplate("red", "Items", "")->name, "red");
    EXPECT_EQ(g->CreateTemplate("red", "Items", "")->name, "red_01");
    EXPECT_EQ(g->CreateTemplate("red", "Items", "")->name, "red_03");
    for (int i = 0; i < 20000; ++i)
        g->CreateTemplate("red", "Items", "");
    EXPECT_EQ(g->templates.back()->name, "red_20003");
    EXPECT_EQ(Library::FindTemplate("Item", "red_150")->name, "red_150");
}

// Each group loads its pictures with its own rules: elements keep their alpha, backgrounds are
// opaque, lights share one picture, GIFs give frames.
TEST_F(LibraryTest, PicturesOfEveryKindLoadFromTheirFiles) {
    auto ini = [](const std::string& data, const std::string& name) {
        return "[data]\ndata1 = " + data + "\n[groups]\nname1 = basic\n[objects]\nname1 = " + name +
               "\ngroup1 = basic\ndata1 = " + name + "\n";
    };
    WriteLibrary({{"Element", ini("brick.tga,4,2", "brick")},
                  {"Background", ini("sky.tga,3,3", "sky")},
                  {"Light", ini("lamp.tga,8,8", "lamp")},
                  {"AniGifs", ini("spin.gif,2,1", "spin")}});
    const fx::Picture brick = fx::Pattern(4, 2, true);
    dir.Write("Data/Library/Element/brick.tga", fx::Str(fx::Tga(brick, 32)));
    dir.Write("Data/Library/Background/sky.tga", fx::Str(fx::Tga(fx::Pattern(3, 3, true), 32)));
    dir.Write("Data/Library/Light/light.tga", fx::Str(fx::Tga(fx::Pattern(8, 8, true), 32)));
    dir.Write("Data/Library/AniGifs/spin.gif",
              fx::Str(fx::Gif(2, 1, {0x000000, 0xFF0000}, 0, {{0, 0, 2, 1, {1, 0}}, {0, 0, 2, 1, {0, 1}}})));

    ASSERT_TRUE(Library::Init(Root()));
    Bitmap* element = Library::GetPicture("Element", "brick");
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element->Pixel32(3, 1), brick.at(3, 1)); // alpha kept
    Bitmap* sky = Library::GetPicture("Background", "sky");
    ASSERT_NE(sky, nullptr);
    EXPECT_EQ(sky->Pixel32(1, 1) >> 24, 255u); // opaque
    EXPECT_NE(Library::GetPicture("Light", "lamp"), nullptr);
    Bitmap* frame = nullptr;
    uint32_t count = 0;
    ASSERT_TRUE(Library::GetGifFrame("spin", 1, frame, count));
    EXPECT_EQ(count, 2u);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->Pixel32(1, 0), 0xFFFF0000u);
    Library::Release(false);
    Image::ReleaseSharedLightPicture();
}
