#include "SceneFixture.h"

#include <tuple>

#include "core/Config.h"

using namespace SceneTesting;

namespace {

class ObjectTest : public SceneTest {
  protected:
    // A library whose Element group has template "disc" (40 x 30 picture data "disc.tga") and whose
    // Light group has "lamp"; the other groups are empty.
    void MakeLibrary() {
        WriteLibrary({{"Element", "[data]\nsize = 1\ndata1 = disc.tga,40,30\n[groups]\nname1 = Default\n"
                                  "[objects]\nname1 = disc\ngroup1 = Default\ndata1 = disc\n"
                                  "variables1 = \"nSort\",\"bFlipX\",\nvalues1 = \"7\",\"true\",\n"},
                      {"Light", "[data]\ndata1 = glow.tga,64,32\n[groups]\nname1 = Lights\n"
                                "[objects]\nname1 = lamp\ngroup1 = Lights\ndata1 = glow\n"
                                "variables1 = \"nRadius\",\nvalues1 = \"150\",\n"}});
        ASSERT_TRUE(Library::Init(""));
    }
};

} // namespace

TEST_F(ObjectTest, RectangleHitsIncludeLeftAndTopEdgesOnly) {
    Object o, parent;
    o.vPosition = {100, 50};
    o.pivot = {10, 5};
    o.vSize = {20, 10}; // rectangle 90..110 x 45..55
    parent.vPosition = {1000, 1000};
    o.parent = &parent; // the object's own position counts, not the sum over its parents
    Object* child = &o;
    const std::pair<Vec2, bool> points[] = {{{90, 45}, true},
                                            {{109.9f, 54.9f}, true},
                                            {{110, 50}, false},
                                            {{100, 55}, false},
                                            {{89.99f, 50}, false}};
    for (const auto& [p, hit] : points)
        EXPECT_EQ(o.HitTest(p, child), hit) << p.x << "," << p.y;
    EXPECT_EQ(child, &o); // left alone
}

TEST_F(ObjectTest, WorldPositionAndNamesFollowParents) {
    Object parent, child;
    parent.sName = "Board";
    parent.vPosition = {10, 20};
    child.sName = "Cell";
    child.parent = &parent;
    child.SetWorldPosition({15, 30});
    EXPECT_EQ(std::tuple(child.vPosition.x, child.vPosition.y, child.GetWorldPosition().x),
              std::tuple(5.f, 10.f, 15.f));
    EXPECT_EQ(child.GetName(true), "Board.Cell");
    EXPECT_EQ(child.GetName(false), "Cell");
}

TEST_F(ObjectTest, FactoryNamesAcrossClassesAndTemplates) {
    MakeLibrary();
    Level level;
    uint32_t n = NextObjectNumber();
    Object* e = level.CreateObject("Element", "disc", {100, 100});
    Object* i = level.CreateObject("Item", "", {0, 0});
    Object* l = level.CreateObject("Light", "lamp", {5, 6});
    ASSERT_TRUE(e && i && l);
    EXPECT_EQ(e->sName, "Element" + std::to_string(n));
    EXPECT_EQ(i->sName, "Item" + std::to_string(n + 1));
    EXPECT_EQ(l->sName, "Light" + std::to_string(n + 2));
    EXPECT_EQ(e->sType, "Element.disc");
    EXPECT_EQ(i->sType, "Item");

    // The template's size, pivot and variables (nOpaque the group default); one more instance counted.
    auto* element = static_cast<Element*>(e);
    EXPECT_EQ(
        std::tuple(element->vSize.x, element->vSize.y, element->nSort, element->bFlipX, element->nOpaque),
        std::tuple(40.f, 30.f, 7, uint8_t(1), 100));
    EXPECT_EQ(Library::FindTemplate("Element", "disc")->instances, 1u);
    // A light map is centred: pivot at half its size. Template variables of Light start with cColor
    // 0x000000 in a new template group.
    EXPECT_EQ(
        std::tuple(l->pivot.x, l->pivot.y, static_cast<Light*>(l)->nRadius, static_cast<Light*>(l)->cColor),
        std::tuple(32.f, 16.f, 150, 0u));

    // Without a template: size 0 x 0, so the rectangle test never hits.
    Object* child = nullptr;
    EXPECT_EQ(i->vSize.x, 0.0f);
    EXPECT_FALSE(i->HitTest({0, 0}, child));

    // Classes that make no object, and do not use up a number.
    uint32_t before = NextObjectNumber();
    EXPECT_EQ(level.CreateObject("Sound", "bell", {0, 0}), nullptr);
    EXPECT_EQ(level.CreateObject("Actor", "x", {0, 0}), nullptr);
    EXPECT_EQ(level.CreateObject("element", "disc", {0, 0}), nullptr); // exact class names
    EXPECT_EQ(level.CreateObject("Background", "Sky", {0, 0}), nullptr);
    EXPECT_EQ(level.background, "Sky");
    EXPECT_EQ(NextObjectNumber(), before);
    EXPECT_EQ(std::tuple(level.elements.size(), level.items.size(), level.lights.size()),
              std::tuple(1u, 1u, 1u));
    EXPECT_GE(level.items.capacity(), 1000u);
}

TEST_F(ObjectTest, ElementHitUsesAlphaAboveTwentyFive) {
    MakeLibrary();
    fx::Picture picture{40, 30, std::vector<uint32_t>(40 * 30, 0x19808080)}; // alpha 25
    for (uint32_t y = 0; y < 30; ++y)
        picture.px[y * 40 + 10] = 0x1A808080; // one column at alpha 26
    dir.Write("Data/Library/Element/disc.tga", fx::Str(fx::Tga(picture, 32)));

    Level level;
    auto* e = static_cast<Element*>(level.CreateObject("Element", "disc", {100, 200}));
    ASSERT_NE(e, nullptr);
    Object* child = nullptr;
    EXPECT_FALSE(e->HitTest({100.5f, 200.5f}, child)); // alpha 25
    EXPECT_TRUE(e->HitTest({110.9f, 201}, child));     // column 10: alpha 26
    EXPECT_FALSE(e->HitTest({140, 201}, child));       // right edge
    EXPECT_EQ(child, nullptr);

    // A picture smaller than the element's size: points beyond it are not on it.
    e->vSize = {400, 300};
    EXPECT_FALSE(e->HitTest({300, 400}, child));

    // No picture for its type: no hit.
    e->sType = "Element.none";
    EXPECT_FALSE(e->HitTest({110, 201}, child));
}

TEST_F(ObjectTest, PolygonVerticesNamesAndDeletion) {
    Polygon poly;
    poly.sName = "Poly1";
    poly.vPosition = {100, 100};
    poly.AddVertex({0, 0}, false);
    poly.AddVertex({150, 100}, true); // world: becomes (50, 0)
    poly.AddVertex({50, 50}, false);
    ASSERT_EQ(poly.vertices.size(), 3u);
    const Object& v = *poly.vertices[0];
    EXPECT_EQ(std::tuple(poly.vertices[1]->vPosition.x, poly.vertices[1]->vPosition.y, v.vSize.x, v.pivot.x),
              std::tuple(50.f, 0.f, 6.f, 3.f));
    EXPECT_EQ(v.sType, "Vertex");
    EXPECT_EQ(v.GetName(true), "Poly1.Poly1_V1");

    EXPECT_TRUE(poly.DeleteChild("poly1_v2")); // ignoring case
    ASSERT_EQ(poly.vertices.size(), 2u);
    EXPECT_EQ(poly.vertices[1]->sName, "Poly1_V3"); // no renumbering
    EXPECT_FALSE(poly.DeleteChild("Poly1_V2"));
    poly.AddVertex({0, 50}, false); // the free number is used again
    EXPECT_EQ(poly.vertices[1]->sName, "Poly1_V2");
    EXPECT_EQ(poly.vertices[2]->sName, "Poly1_V3");

    Object plain;
    EXPECT_TRUE(plain.DeleteChild("anything"));
}

TEST_F(ObjectTest, PolygonHitTestsVerticesThenEdgeLines) {
    Polygon poly;
    poly.vPosition = {100, 100};
    poly.AddVertex({0, 0}, false);
    poly.AddVertex({100, 0}, false);
    poly.AddVertex({100, 100}, false);
    Object* child = nullptr;
    EXPECT_TRUE(poly.HitTest({203, 103}, child)); // within 5 of vertex 2 at (200, 100)
    EXPECT_EQ(child, poly.vertices[1]);

    child = nullptr;
    EXPECT_TRUE(poly.HitTest({150, 101.9f}, child)); // near the first edge
    EXPECT_EQ(child, nullptr);
    EXPECT_FALSE(poly.HitTest({150, 102.1f}, child));
    EXPECT_TRUE(poly.HitTest({400, 101}, child)); // the line through an edge counts beyond its ends
    EXPECT_TRUE(poly.HitTest({150, 150}, child)); // the closing edge from the last vertex to the first
    poly.bClosed = 0;
    EXPECT_FALSE(poly.HitTest({150, 150}, child));

    // A degenerate polygon: one vertex, closed onto itself, has no edge line.
    Polygon dot;
    dot.AddVertex({0, 0}, false);
    EXPECT_FALSE(dot.HitTest({50, 0}, child));
}

// The class-specific fields of lights, items and polygons are read back through the scene loader
// (SceneFileTest); here the element's flags, the field widths and the text limits.
TEST_F(ObjectTest, RecordsCarryEveryClassField) {
    Element e;
    e.sName = "Logo";
    e.sType = "Element.logo";
    e.vPosition = {12.5f, -3};
    e.nSort = -2;
    e.nOpaque = 80;
    e.nLife = 0x12345; // low 16 bits only
    e.bFirstPlane = e.bFlipY = e.bCastShadow = 1;
    uint8_t record[ObjectRecord::kSize];
    std::memset(record, 0xAB, sizeof record);
    e.WriteRecord(record);
    EXPECT_EQ(ObjectRecord::GetU32(record), 128u);
    EXPECT_EQ(record[0x7F], 0); // zeroed
    EXPECT_EQ(record[0x5C], 0x01 | 0x20 | 0x80);
    EXPECT_EQ(record[0x5D], 0x01 | 0x04);

    Element back;
    back.LoadRecord(record);
    EXPECT_EQ(std::tuple(back.sName, back.sType, back.vPosition.x),
              std::tuple("Logo", "Element.logo", 12.5f));
    // nSort sign-extended, nLife cut to 16 bits.
    EXPECT_EQ(std::tuple(back.nSort, back.nOpaque, back.nLife), std::tuple(-2, 80, 0x2345u));
    EXPECT_EQ(std::tuple(back.bFirstPlane, back.bFlipY, back.bVisible, back.bCastShadow),
              std::tuple(1, 1, 1, 1));

    Polygon poly;
    poly.sName = "P";
    poly.AddVertex({1, 2}, false);
    poly.AddVertex({3, 4}, false);
    poly.bClosed = 1;
    poly.WriteRecord(record);
    EXPECT_EQ(ObjectRecord::GetU32(record), 128u + 16u);
    EXPECT_EQ(ObjectRecord::GetU16(record + 0x5A), 2u);
    EXPECT_EQ(record[0x5D] & 0x08, 0x08);
    poly.vertices[0]->WriteRecord(record); // a vertex writes its name with its parents
    EXPECT_EQ(ObjectRecord::GetText(record + 4, 32), "P.P_V1");

    // Text fields are read only up to their length, even without a terminating zero.
    std::memset(record + 4, 'N', 32);
    std::memset(record + 0x24, 'T', 32);
    Object o;
    o.LoadRecord(record);
    EXPECT_EQ(o.sName, std::string(32, 'N'));
    EXPECT_EQ(o.sType, std::string(32, 'T'));
    // Names longer than the field are cut to 31 characters and a zero.
    o.sName = std::string(40, 'x');
    o.WriteRecord(record);
    EXPECT_EQ(ObjectRecord::GetText(record + 4, 32), std::string(31, 'x'));
}
