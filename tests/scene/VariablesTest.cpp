#include "SceneFixture.h"

#include "scene/Library.h"
#include "scene/Variables.h"

using namespace SceneTesting;

namespace {

class VariablesTest : public SceneTest {};

std::string Get(VariableHolder& o, const std::string& name) {
    std::string value;
    EXPECT_TRUE(GetVariable(&o, name, value)) << name;
    return value;
}

} // namespace

TEST_F(VariablesTest, IntegerAndColourTexts) {
    EXPECT_EQ(IntFromText("0xffffff"), 16777215);
    EXPECT_EQ(IntFromText("0xFFffFF"), 16777215);
    EXPECT_EQ(IntFromText("0x"), 0);      // two characters: read as decimal
    EXPECT_EQ(IntFromText("0X10"), 0);    // capital X is not a prefix
    EXPECT_EQ(IntFromText("0x1fz9"), 31); // stops at the first non-digit
    EXPECT_EQ(IntFromText("0xffffffffff"), 0x7FFFFFFF);
    EXPECT_EQ(IntFromText("  -42abc"), -42);
    EXPECT_EQ(IntFromText("+7"), 7);
    EXPECT_EQ(IntFromText("abc"), 0);
    EXPECT_EQ(IntFromText("99999999999999999999999"), INT32_MAX);
    EXPECT_EQ(IntToText(-5), "-5");

    Light light;
    ASSERT_TRUE(SetVariable(&light, "cColor", "0xffffff"));
    EXPECT_EQ(Get(light, "cColor"), "16777215");
    light.cColor = 0;
    ASSERT_TRUE(SetVariable(&light, "cColor", "16777215"));
    EXPECT_EQ(light.cColor, 0xffffffu);
}

TEST_F(VariablesTest, BoolAndFloatTexts) {
    EXPECT_EQ(BoolFromText("true"), 1);
    EXPECT_EQ(BoolFromText("1"), 1);
    EXPECT_EQ(BoolFromText("2"), 2);   // non-zero: true
    EXPECT_EQ(BoolFromText("256"), 0); // only the low 8 bits count
    EXPECT_EQ(BoolFromText("TRUE"), 0);
    EXPECT_EQ(BoolFromText("True"), 0);
    EXPECT_EQ(BoolFromText("false"), 0);
    EXPECT_EQ(BoolFromText("0x1"), 0); // no hexadecimal for bools

    Object o;
    EXPECT_TRUE(SetVariable(&o, "bFlipX", "2"));
    EXPECT_EQ(Get(o, "bFlipX"), "true");
    EXPECT_TRUE(SetVariable(&o, "bFlipX", "256"));
    EXPECT_EQ(Get(o, "bFlipX"), "false");

    EXPECT_EQ(FloatToText(800.0f), "800.000000");
    EXPECT_FLOAT_EQ(FloatFromText("-1.5e2"), -150.0f);
    EXPECT_EQ(FloatFromText("pixels"), 0.0f);
    EXPECT_EQ(FloatFromText("nan"), 0.0f); // not a usable position
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

    ClearLog();
    Polygon poly;
    EXPECT_FALSE(SetVariable(&poly, "nRadius", "1"));
    EXPECT_EQ(LogCount("Variable 'nRadius' not found for class Poly\n"), 1);
    EXPECT_EQ(LogCount("not found for class"), 2);

    ClearLog();
    GCD_ITEM item; // base is the root: one line only
    EXPECT_FALSE(SetVariable(&item, "sName", "x"));
    EXPECT_EQ(LogCount("Variable 'sName' not found for class GCD_ITEM\n"), 1);
    EXPECT_EQ(LogCount("not found for class"), 1);

    ClearLog();
    VariableHolder root; // the root fails silently
    EXPECT_FALSE(SetVariable(&root, "sName", "x"));
    EXPECT_EQ(LogCount("not found"), 0);

    // Names are compared exactly.
    ClearLog();
    Element e;
    EXPECT_FALSE(SetVariable(&e, "nsort", "3"));
    EXPECT_EQ(e.nSort, 50);
}

TEST_F(VariablesTest, EachClassHandlesItsOwnAndInheritedNames) {
    Element e;
    EXPECT_TRUE(SetVariable(&e, "nSort", "-3"));
    EXPECT_TRUE(SetVariable(&e, "nOpaque", "0x40"));
    EXPECT_TRUE(SetVariable(&e, "bFirstPlane", "true"));
    EXPECT_TRUE(SetVariable(&e, "nLife", "7")); // from Object
    EXPECT_EQ(e.nSort, -3);
    EXPECT_EQ(e.nOpaque, 64);
    EXPECT_EQ(e.bFirstPlane, 1);
    EXPECT_EQ(e.nLife, 7u);

    Item item;
    EXPECT_TRUE(SetVariable(&item, "nScore", "25"));
    EXPECT_TRUE(SetVariable(&item, "sOnPickupSound", "ding"));
    EXPECT_EQ(Get(item, "nScore"), "25");
    std::string v;
    EXPECT_FALSE(item.Variable("nSort", v, true)); // not a variable of Item

    Level level;
    EXPECT_EQ(level.cAmbient, 0x202020u);
    EXPECT_EQ(Get(level, "cAmbient"), "2105376");
    EXPECT_TRUE(SetVariable(&level, "cAmbient", "0x10"));
    EXPECT_EQ(level.cAmbient, 16u);
    EXPECT_TRUE(SetVariable(&level, "cAmbient", "16"));
    EXPECT_EQ(level.cAmbient, 16u);
    EXPECT_TRUE(SetVariable(&level, "sParallaxName", "Back"));
    EXPECT_TRUE(SetVariable(&level, "bUseParallax", "1"));
    EXPECT_EQ(level.sParallaxName, "Back");
    EXPECT_EQ(level.bUseParallax, 1);

    GCD_ITEM desc;
    EXPECT_TRUE(SetVariable(&desc, "sAnimation", "brick"));
    EXPECT_EQ(desc.sAnimation, "brick");
}
