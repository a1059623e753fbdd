#include "SceneFixture.h"

#include "scene/Library.h"
#include "scene/Variables.h"

#include <tuple>

using namespace SceneTesting;

namespace {

class VariablesTest : public SceneTest {};

std::string Get(VariableHolder& o, const std::string& name) {
    std::string value;
    EXPECT_TRUE(GetVariable(&o, name, value)) << name;
    return value;
}

} // namespace

TEST_F(VariablesTest, NumberTexts) {
    // "0x" alone is read as decimal, a capital X is no prefix, reading stops at the first non-digit,
    // and values beyond the range stop at its end.
    const std::pair<const char*, int32_t> ints[] = {{"0xffffff", 16777215},
                                                    {"0xFFffFF", 16777215},
                                                    {"0x", 0},
                                                    {"0X10", 0},
                                                    {"0x1fz9", 31},
                                                    {"0xffffffffff", 0x7FFFFFFF},
                                                    {"  -42abc", -42},
                                                    {"+7", 7},
                                                    {"abc", 0},
                                                    {"99999999999999999999999", INT32_MAX}};
    for (const auto& [text, want] : ints)
        EXPECT_EQ(IntFromText(text), want) << text;
    EXPECT_EQ(IntToText(-5), "-5");
    // Only "true" and numbers whose low 8 bits are not 0 are true; no hexadecimal for bools.
    const std::pair<const char*, int> bools[] = {{"true", 1}, {"1", 1},    {"2", 2},     {"256", 0},
                                                 {"TRUE", 0}, {"True", 0}, {"false", 0}, {"0x1", 0}};
    for (const auto& [text, want] : bools)
        EXPECT_EQ(BoolFromText(text), want) << text;
    EXPECT_EQ(FloatToText(800.0f), "800.000000");
    EXPECT_FLOAT_EQ(FloatFromText("-1.5e2"), -150.0f);
    EXPECT_EQ(FloatFromText("pixels"), 0.0f);
    EXPECT_EQ(FloatFromText("nan"), 0.0f); // not a usable position

    Light light;
    ASSERT_TRUE(SetVariable(&light, "cColor", "0xffffff"));
    EXPECT_EQ(Get(light, "cColor"), "16777215");
    Object o;
    EXPECT_TRUE(SetVariable(&o, "bFlipX", "2"));
    EXPECT_EQ(Get(o, "bFlipX"), "true");
    EXPECT_TRUE(SetVariable(&o, "bFlipX", "256"));
    EXPECT_EQ(Get(o, "bFlipX"), "false");
}

TEST_F(VariablesTest, VectorsAnswerOnlyByComponent) {
    Object o;
    std::string value = "5";
    EXPECT_FALSE(o.Variable("vPosition", value, true));
    EXPECT_EQ(LogCount("Variable 'vPosition' not found for class Object\n"), 1);
    EXPECT_TRUE(SetVariable(&o, "vPosition.x", "12.5"));
    EXPECT_TRUE(SetVariable(&o, "vSize.y", "3"));
    EXPECT_EQ(o.vPosition.x, 12.5f);
    EXPECT_EQ(o.vSize.y, 3.0f);
    EXPECT_EQ(Get(o, "vPosition.x"), "12.500000");
}

TEST_F(VariablesTest, UnknownNamesLogOncePerClassOfTheChainBaseFirst) {
    Level level;
    EXPECT_FALSE(SetVariable(&level, "nWhatever", "1"));
    std::string log = LogText();
    size_t object = log.find("Variable 'nWhatever' not found for class Object\n");
    size_t scene = log.find("Variable 'nWhatever' not found for class Level\n");
    ASSERT_NE(object, std::string::npos);
    ASSERT_NE(scene, std::string::npos);
    EXPECT_LT(object, scene);
    EXPECT_EQ(LogCount("not found for class"), 2);

    // A polygon logs for Object and Poly; an item description, whose base is the root, once; the
    // root fails silently.
    Polygon poly;
    GCD_ITEM item;
    VariableHolder root;
    const struct {
        VariableHolder* holder;
        const char* name;
        const char* line;
        int lines;
    } cases[] = {{&poly, "nRadius", "Variable 'nRadius' not found for class Poly\n", 2},
                 {&item, "sName", "Variable 'sName' not found for class GCD_ITEM\n", 1},
                 {&root, "sName", "sName", 0}};
    for (const auto& c : cases) {
        ClearLog();
        EXPECT_FALSE(SetVariable(c.holder, c.name, "x"));
        EXPECT_EQ(LogCount(c.line), c.lines ? 1 : 0) << c.line;
        EXPECT_EQ(LogCount("not found"), c.lines) << c.name;
    }

    Element e; // names are compared exactly
    EXPECT_FALSE(SetVariable(&e, "nsort", "3"));
    EXPECT_EQ(e.nSort, 50);
}

// Every name a class answers to, its own and those of its bases (nLife comes from Object).
TEST_F(VariablesTest, EachClassHandlesItsOwnAndInheritedNames) {
    Element e;
    Item item;
    Level level;
    GCD_ITEM desc;
    EXPECT_EQ(Get(level, "cAmbient"), "2105376"); // 0x202020
    const std::tuple<VariableHolder*, const char*, const char*> sets[] = {
        {&e, "nSort", "-3"},           {&e, "nOpaque", "0x40"},
        {&e, "bFirstPlane", "true"},   {&e, "nLife", "7"},
        {&item, "nScore", "25"},       {&item, "sOnPickupSound", "ding"},
        {&level, "cAmbient", "0x10"},  {&level, "sParallaxName", "Back"},
        {&level, "bUseParallax", "1"}, {&desc, "sAnimation", "brick"}};
    for (const auto& [holder, name, value] : sets)
        EXPECT_TRUE(SetVariable(holder, name, value)) << name;
    EXPECT_EQ(std::tuple(e.nSort, e.nOpaque, e.bFirstPlane, e.nLife), std::tuple(-3, 64, 1, 7u));
    EXPECT_EQ(Get(item, "nScore"), "25");
    EXPECT_EQ(std::tuple(level.cAmbient, level.sParallaxName, level.bUseParallax),
              std::tuple(16u, "Back", 1));
    EXPECT_EQ(desc.sAnimation, "brick");
    std::string v;
    EXPECT_FALSE(item.Variable("nSort", v, true)); // not a variable of Item
}
