#include "core/Config.h"

#include <gtest/gtest.h>
#include <string>

namespace {

ConfigDoc Parse(const std::string& text) {
    ConfigDoc doc;
    doc.Parse(text.data(), text.size());
    return doc;
}

TEST(ConfigDoc, EntriesBeforeFirstHeaderBelongToDefault) {
    ConfigDoc doc = Parse("a=1\n[S]\nb=2\n");
    EXPECT_EQ(doc.GetInt("a"), 1);
    EXPECT_EQ(doc.GetInt("a", "Default"), 1);
    EXPECT_EQ(doc.GetInt("b", "S"), 2);
    EXPECT_EQ(doc.GetInt("b"), 0);
}

TEST(ConfigDoc, BlanksAndEqualsSigns) {
    ConfigDoc doc = Parse("k1=v\n  k2   =   v  \nk3=\nk4 = first = second\n==k5=x\nk6=   \n");
    std::string v;
    for (const char* k : {"k1", "k2"}) {
        ASSERT_TRUE(doc.Get(v, k));
        EXPECT_EQ(v, "v") << k;
    }
    ASSERT_TRUE(doc.Get(v, "k3"));
    EXPECT_EQ(v, "");
    ASSERT_TRUE(doc.Get(v, "k4"));
    EXPECT_EQ(v, "first");
    ASSERT_TRUE(doc.Get(v, "k5"));
    EXPECT_EQ(v, "x");
    ASSERT_TRUE(doc.Get(v, "k6"));
    EXPECT_EQ(v, "");
}

TEST(ConfigDoc, RepeatedHeadersAndKeys) {
    ConfigDoc doc = Parse("[Renderer]\na=1\n[Other]\nz=0\n[Renderer]\nb=2\na=3\n");
    ASSERT_EQ(doc.Sections().size(), 2u);
    const auto* r = doc.FindSection("Renderer");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->entries.size(), 3u);
    EXPECT_EQ(doc.GetInt("a", "Renderer"), 1); // the first of a repeated key wins
    EXPECT_EQ(doc.GetInt("b", "Renderer"), 2);
}

TEST(ConfigDoc, KeysAreCaseSensitiveAndHeadersTakeTextBetweenBrackets) {
    ConfigDoc doc = Parse("Key=1\n  junk [Name] more\nx=1\nv=a[b]c\ny=2\n");
    EXPECT_EQ(doc.GetInt("key"), 0);
    EXPECT_EQ(doc.GetInt("Key"), 1);
    EXPECT_NE(doc.FindSection("Name"), nullptr);
    // A value holding both brackets is taken for a header.
    EXPECT_EQ(doc.GetInt("y", "b"), 2);
    EXPECT_EQ(doc.GetInt("x", "Name"), 1);
}

TEST(ConfigDoc, Booleans) {
    ConfigDoc doc = Parse("a=TRUE\nb=False\nc=2\nd=yes\ne=-7x\n");
    EXPECT_EQ(doc.GetBool("a"), 1);
    EXPECT_EQ(doc.GetBool("b"), 0);
    EXPECT_EQ(doc.GetBool("c"), 2);
    EXPECT_EQ(doc.GetBool("d"), 0);
    EXPECT_EQ(doc.GetBool("e"), -7);
    EXPECT_EQ(doc.GetBool("missing"), 0);
}

TEST(ConfigDoc, WindowsAndUnixLineEndsParseAlike) {
    ConfigDoc a = Parse("[S]\r\nk = v\r\nn=5\r\n");
    ConfigDoc b = Parse("[S]\nk = v\nn=5");
    std::string va, vb;
    EXPECT_TRUE(a.Get(va, "k", "S"));
    EXPECT_TRUE(b.Get(vb, "k", "S"));
    EXPECT_EQ(va, vb);
    EXPECT_EQ(a.GetInt("n", "S"), b.GetInt("n", "S"));
}

TEST(ConfigDoc, GetTextIsBoundedAndRealsParse) {
    ConfigDoc doc = Parse("long=abcdefghij\nr=  2.5e1rest\nsemi;colon line\n");
    char buf[5] = {'x', 'x', 'x', 'x', 'x'};
    doc.GetText(buf, sizeof buf, "long");
    EXPECT_STREQ(buf, "abcd");
    doc.GetText(buf, sizeof buf, "missing");
    EXPECT_STREQ(buf, "");
    EXPECT_DOUBLE_EQ(doc.GetReal("r"), 25.0);
    EXPECT_NE(doc.Find("semi;colon line"), nullptr); // no comment syntax
}

TEST(ConfigDoc, OverlongLinesAreCutNotOverrun) {
    std::string text = "k=" + std::string(10000, 'v') + "\nnext=1\n";
    ConfigDoc doc = Parse(text);
    std::string v;
    ASSERT_TRUE(doc.Get(v, "k"));
    EXPECT_LT(v.size(), 4096u);
    EXPECT_EQ(doc.GetInt("next"), 1);
}

TEST(ConfigDoc, LoadMissingFileFailsAndLeavesDocumentEmpty) {
    ConfigDoc doc = Parse("a=1\n");
    EXPECT_FALSE(doc.Load("no\\such\\file.ini"));
    EXPECT_TRUE(doc.Sections().empty());
}

} // namespace
