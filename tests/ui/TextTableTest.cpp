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

TEST_F(TextTableTest, KeysAndTextsAreTakenExactly) {
    Add(u"Spaced =left blank\r\n"
        u"Plain= right blank \r\n"
        u"Formula=a=b\r\n"
        u"Empty=\r\n"
        u"\r\n\t  \n"
        u"Unix=bare feed\n"
        u"Accent=caf\u00e9\n");
    EXPECT_EQ(Str(table.GetText(u"Spaced ")), u"left blank");
    EXPECT_EQ(table.GetText("Spaced"), nullptr);
    EXPECT_EQ(Str(table.GetText("Plain")), u" right blank ");
    EXPECT_EQ(Str(table.GetText("Formula")), u"a=b");
    EXPECT_EQ(Str(table.GetText("Empty")), u"");
    EXPECT_EQ(Str(table.GetText("Unix")), u"bare feed");
    EXPECT_EQ(Str(table.GetText("Accent")), u"caf\u00e9");
    EXPECT_EQ(table.Count(), 6u);
}

TEST_F(TextTableTest, LettersWhoseLowByteIsALineEndOrEqualsSignStayInTheText) {
    // U+010D "č" and U+010A "Ċ" share their low bytes with CR and LF, U+013D "Ľ" with "=".
    Add(u"Help_Game1Descr=Kli\u010dn\u011bte na \u010dtverec\r\n"
        u"Malt\u010Aese=\u010Aittadella\n"
        u"Key\u013Dubica=\u013Dubica=Ok\r\n"
        u"After=still read\r\n");
    EXPECT_EQ(Str(table.GetText("Help_Game1Descr")), u"Kli\u010dn\u011bte na \u010dtverec");
    EXPECT_EQ(Str(table.GetText(u"Malt\u010Aese")), u"\u010Aittadella");
    EXPECT_EQ(Str(table.GetText(u"Key\u013Dubica")), u"\u013Dubica=Ok");
    EXPECT_EQ(table.GetText(u"Key"), nullptr);
    EXPECT_EQ(Str(table.GetText("After")), u"still read");
    EXPECT_EQ(table.Count(), 4u);
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

TEST_F(TextTableTest, UnfinishedLastEntryStaysInsideTheFile) {
    // The last text lacks its line end, and a trailing key lacks its "=": the text ends with the
    // file, the key without "=" holds no pair. A trailing odd byte is ignored.
    Add(u"First=one\r\nLast=no line end");
    Add(u"Alone=x\nDangling key");
    std::string odd = Utf16File(u"Odd=y\n") + "Z";
    table.AddFile(reinterpret_cast<const uint8_t*>(odd.data()), odd.size());
    table.AddFile(reinterpret_cast<const uint8_t*>("\xFF"), 1);
    EXPECT_EQ(Str(table.GetText("Last")), u"no line end");
    EXPECT_EQ(Str(table.GetText("Alone")), u"x");
    EXPECT_EQ(Str(table.GetText("Odd")), u"y");
    EXPECT_EQ(table.Count(), 4u);
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
