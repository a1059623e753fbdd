#include "core/Config.h"

#include <gtest/gtest.h>
#include <string>

namespace {

ConfigDoc Parse(const std::string& text) {
    ConfigDoc doc;
    doc.Parse(text.data(), text.size());
    return doc;
}

TEST(ConfigDoc, KeysValuesAndSectionsAreTakenAsWritten) {
    // Windows and Unix line ends mixed, the last line without one.
    const ConfigDoc doc = Parse("a=1\nk1=v\r\n  k2   =   v  \nk3=\nk4 = first = second\n==k5=x\nk6=   \r\n"
                                "Key=K\nsemi;colon line\n[S]\r\nb=2\r\n[Renderer]\na=r1\n[Other]\nz=0\n"
                                "[Renderer]\nb=r2\na=r3\n  junk [Name] more\nx=n\nv=a[b]c\ny=in b\nlast=5");
    // Entries before the first header are Default's; repeated headers merge and the first of a
    // repeated key wins; a header is the text between brackets, even inside a value.
    const struct {
        const char *key, *section, *value; // value nullptr: not found
    } cases[] = {{"a", nullptr, "1"},     {"a", "Default", "1"},    {"b", "S", "2"},
                 {"b", nullptr, nullptr}, {"k1", nullptr, "v"},     {"k2", nullptr, "v"},
                 {"k3", nullptr, ""},     {"k4", nullptr, "first"}, {"k5", nullptr, "x"},
                 {"k6", nullptr, ""},     {"Key", nullptr, "K"},    {"key", nullptr, nullptr},
                 {"a", "Renderer", "r1"}, {"b", "Renderer", "r2"},  {"x", "Name", "n"},
                 {"y", "b", "in b"},      {"last", "b", "5"}};
    for (const auto& c : cases) {
        std::string v;
        EXPECT_EQ(doc.Get(v, c.key, c.section), c.value != nullptr)
            << c.key << " in " << (c.section ? c.section : "-");
        if (c.value) {
            EXPECT_EQ(v, c.value) << c.key;
        }
    }
    EXPECT_EQ(doc.Sections().size(), 6u);
    EXPECT_EQ(doc.FindSection("Renderer")->entries.size(), 3u);
    EXPECT_NE(doc.Find("semi;colon line"), nullptr); // no comment syntax
    EXPECT_EQ(doc.GetInt("last", "b"), 5);
}

TEST(ConfigDoc, NumbersBooleansAndBoundedText) {
    const ConfigDoc doc = Parse("a=TRUE\nb=False\nc=2\nd=yes\ne=-7x\nr=  2.5e1rest\nlong=abcdefghij\n");
    const std::pair<const char*, int32_t> bools[] = {{"a", 1}, {"b", 0},  {"c", 2},
                                                     {"d", 0}, {"e", -7}, {"missing", 0}};
    for (auto [key, want] : bools)
        EXPECT_EQ(doc.GetBool(key), want) << key;
    EXPECT_DOUBLE_EQ(doc.GetReal("r"), 25.0);
    char buf[5] = {'x', 'x', 'x', 'x', 'x'};
    doc.GetText(buf, sizeof buf, "long");
    EXPECT_STREQ(buf, "abcd");
    doc.GetText(buf, sizeof buf, "missing");
    EXPECT_STREQ(buf, "");
}

TEST(ConfigDoc, OverlongLinesAreCutNotOverrunAndAMissingFileEmptiesTheDocument) {
    ConfigDoc doc = Parse("k=" + std::string(10000, 'v') + "\nnext=1\n");
    std::string v;
    ASSERT_TRUE(doc.Get(v, "k"));
    EXPECT_LT(v.size(), 4096u);
    EXPECT_EQ(doc.GetInt("next"), 1);
    EXPECT_FALSE(doc.Load("no\\such\\file.ini"));
    EXPECT_TRUE(doc.Sections().empty());
}

} // namespace
