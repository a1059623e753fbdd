#include "ui/TextTable.h"
#include "core/FileLayer.h"
#include "core/Log.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include <string>

namespace {

using UiTest::Utf16File;

std::u16string Str(const char16_t* s) {
    return s ? std::u16string(s) : u"<none>";
}

class TextTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FileLayer::UnmountAll();
        Log::Reset();
        Log::Start(dir.path() + "/");
        table.Clear();
    }
    void TearDown() override {
        FileLayer::UnmountAll();
        Log::Reset();
    }
    void Add(const std::u16string& text) { UiTest::AddTexts(table, text); }
    std::string LogText() const { return dir.Read("Log000.txt"); }

    TempDir dir;
    TextTable table;
};

TEST_F(TextTableTest, FirstFileReadWinsForADuplicateKey) {
    dir.Write("Data/Library/text/a_menu.txt", Utf16File(u"Menu_Back=Back\r\nMenu_Help=Help\r\n"));
    dir.Write("Data/Library/text/b_more.txt", Utf16File(u"Menu_Back=Return\nHelp_Descr=About\n"));
    dir.Write("Data/Library/text/notes.doc", Utf16File(u"Menu_Exit=Never read\n"));
    table.Load();
    EXPECT_EQ(table.Count(), 4u);
    EXPECT_EQ(Str(table.GetText("Menu_Back")), u"Back");
    EXPECT_EQ(Str(table.GetText("Help_Descr")), u"About");
    EXPECT_EQ(table.GetText("Menu_Exit"), nullptr);
}

TEST_F(TextTableTest, KeysAndTextsAreTakenExactlyToTheEndOfTheFile) {
    // Blanks around "=" belong to the key or the text; the first "=" splits. U+010D "č" and U+010A
    // "Ċ" share their low bytes with CR and LF, U+013D "Ľ" with "=": they stay in the text. The
    // last text of a file may lack its line end; a trailing key without "=" holds no pair, and a
    // trailing odd byte is ignored.
    Add(u"Spaced =left blank\r\nPlain= right blank \r\nFormula=a=b\r\nEmpty=\r\n\r\n\t  \nUnix=bare feed\n"
        u"Accent=caf\u00e9\nHelp_Game1Descr=Kli\u010dn\u011bte na "
        u"\u010dtverec\r\nMalt\u010Aese=\u010Aittadella\n"
        u"Key\u013Dubica=\u013Dubica=Ok\r\nAfter=still read\r\nLast=no line end");
    Add(u"Alone=x\nDangling key");
    const std::string odd = UiTest::Utf16File(u"Odd=y\n") + "Z";
    table.AddFile(reinterpret_cast<const uint8_t*>(odd.data()), odd.size());
    table.AddFile(reinterpret_cast<const uint8_t*>("\xFF"), 1);
    const std::pair<std::u16string, const char16_t*> texts[] = {
        {u"Spaced ", u"left blank"},
        {u"Spaced", nullptr},
        {u"Plain", u" right blank "},
        {u"Formula", u"a=b"},
        {u"Empty", u""},
        {u"Unix", u"bare feed"},
        {u"Accent", u"caf\u00e9"},
        {u"Help_Game1Descr", u"Kli\u010dn\u011bte na \u010dtverec"},
        {u"Malt\u010Aese", u"\u010Aittadella"},
        {u"Key\u013Dubica", u"\u013Dubica=Ok"},
        {u"Key", nullptr},
        {u"After", u"still read"},
        {u"Last", u"no line end"},
        {u"Alone", u"x"},
        {u"Odd", u"y"}};
    for (const auto& [key, text] : texts)
        EXPECT_EQ(Str(table.GetText(key.c_str())), Str(text)) << std::string(key.begin(), key.end());
    EXPECT_EQ(table.Count(), 13u);
}

TEST_F(TextTableTest, ChosenLanguageComesFirstAndTheBaseTextsFillItsGaps) {
    dir.Write("Data/Library/text/english.txt",
              Utf16File(u"Menu_Back=Back\nMenu_Help=Help\nMenu_Exit=Exit\n"));
    dir.Write("Data/Library/text/cs.txt", Utf16File(u"Menu_Back=Zp\u011bt\nMenu_Help=N\u00e1pov\u011bda\n"));
    dir.Write("Data/Library/text/pt_BR.txt", Utf16File(u"Menu_Back=Voltar\n"));
    dir.Write("Data/Library/text/extra.txt", Utf16File(u"Help_Descr=About\n"));
    table.Load();
    EXPECT_TRUE(table.HasLanguage("cs"));
    EXPECT_TRUE(table.HasLanguage("pt_BR"));
    EXPECT_FALSE(table.HasLanguage("extra"));
    EXPECT_EQ(Str(table.GetText("Menu_Back")), u"Back");

    table.SetLanguage("cs");
    const char16_t* back = table.GetText("Menu_Back");
    EXPECT_EQ(Str(back), u"Zp\u011bt");
    EXPECT_EQ(Str(table.GetText("Menu_Exit")), u"Exit"); // not translated: English
    EXPECT_EQ(Str(table.GetText("Help_Descr")), u"About");
    EXPECT_EQ(table.Keys("cs").size(), 2u);

    // A text kept by a caller follows the language; other pointers stay as they are.
    table.SetLanguage("pt_BR");
    EXPECT_EQ(Str(table.Retranslate(back)), u"Voltar");
    EXPECT_EQ(Str(table.Retranslate(table.GetText("Menu_Help"))), u"Help");
    const char16_t* own = u"+";
    EXPECT_EQ(table.Retranslate(own), own);
    EXPECT_EQ(table.Retranslate(nullptr), nullptr);

    // A language nobody wrote, or none at all: the base texts alone.
    table.SetLanguage("xx");
    EXPECT_EQ(Str(table.GetText("Menu_Back")), u"Back");
    table.SetLanguage("");
    EXPECT_EQ(Str(table.GetText("Menu_Help")), u"Help");
    EXPECT_EQ(LogText().find("ERROR"), std::string::npos) << LogText();
}

TEST_F(TextTableTest, MissingKeyIsLoggedAsBytesAndNeverAsFormat) {
    Add(u"Known=k\n");
    EXPECT_EQ(table.GetText(u"Menu_%s%n\u0141x"), nullptr);
    EXPECT_NE(LogText().find("ERROR: Text not found 'Menu_%s%nAx'\n"), std::string::npos) << LogText();
}

TEST_F(TextTableTest, MissingFolderLeavesTheTableEmpty) {
    table.Load();
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_EQ(table.GetText("Menu_Back"), nullptr);
    EXPECT_NE(LogText().find("ERROR: Text not found 'Menu_Back'\n"), std::string::npos);
}

} // namespace
