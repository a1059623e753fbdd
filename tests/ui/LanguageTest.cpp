#include "ui/Language.h"
#include "ui/Menu.h"
#include "ui/TextTable.h"

#include <gtest/gtest.h>

#include "UiTestSupport.h"

#include <cstdlib>
#include <string>

namespace {

TEST(LanguageChoice, LocaleNamesMapToShippedLanguages) {
    // pt_PT: the only Portuguese is Brazil's; languages not shipped, C and POSIX: English.
    const std::pair<const char*, const char*> names[] = {{"de_DE.UTF-8", "de"},
                                                         {"de_AT@euro", "de"},
                                                         {"ru_RU.UTF-8", "ru"},
                                                         {"cs_CZ.UTF-8", "cs"},
                                                         {"pt_BR.UTF-8", "pt_BR"},
                                                         {"pt_PT.UTF-8", "pt_BR"},
                                                         {"fr", "fr"},
                                                         {"ja_JP.UTF-8", "en"},
                                                         {"C", "en"},
                                                         {"POSIX", "en"},
                                                         {"", "en"}};
    for (auto [name, code] : names)
        EXPECT_EQ(Language::FromLocaleName(name), code) << name;
    // LC_ALL over LC_MESSAGES over LANG; empty values do not count.
    EXPECT_EQ(Language::FromLocale("pl_PL.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8"), "pl");
    EXPECT_EQ(Language::FromLocale("", "de_DE.UTF-8", "fr_FR.UTF-8"), "de");
    EXPECT_EQ(Language::FromLocale(nullptr, nullptr, "it_IT.UTF-8"), "it");
    EXPECT_EQ(Language::FromLocale(nullptr, "", nullptr), "en");
}

TEST(LanguageChoice, TheOptionsLineCyclesThroughEveryLanguageOnce) {
    std::string code = "en";
    std::string seen;
    for (int i = 0; i < Language::kCount; ++i) {
        seen += code + " ";
        code = Language::Next(code);
    }
    EXPECT_EQ(seen, "en de fr es it pt_BR pl cs ru ");
    EXPECT_EQ(code, "en");
    EXPECT_EQ(Language::Next("xx"), "en");
    EXPECT_EQ(Language::Shipped("pt"), "");
}

TEST(LanguageChoice, ApplyingRetranslatesEveryMenuAndFallsBackToEnglish) {
    g_TextTable.Clear();
    UiTest::AddTexts(g_TextTable, u"Menu_Exit=Exit\nMenu_Help=Help\n", "");
    UiTest::AddTexts(g_TextTable, u"Menu_Exit=\u0412\u044b\u0445\u043e\u0434\n", "ru");
    UiTest::AddTexts(g_TextTable, u"Menu_Exit=Quitter\nMenu_Help=Aide\n", "fr");
    Menu::Reset();
    Menu::SetDevices(Menu::QuietDevices());
    int32_t changes = 0;
    Language::Hooks hooks;
    hooks.changed = [&changes] { ++changes; };
    Language::SetHooks(hooks);
    Menu::AddTextItem("main", 0, 0, g_TextTable.GetText("Menu_Exit"), 1, 0);
    Menu::AddTextItem("main", 0, 0, g_TextTable.GetText("Menu_Help"), 2, 0);
    Menu::AddTextItem("option", 590, 260, u"+", 3, 0);
    Menu::Poll("main", 0); // the current working copy follows too

    Language::Apply("ru");
    EXPECT_EQ(Language::Current(), "ru");
    EXPECT_EQ(std::u16string(Menu::AllItems()[0].text), u"\u0412\u044b\u0445\u043e\u0434");
    EXPECT_EQ(std::u16string(Menu::AllItems()[1].text), u"Help");
    EXPECT_EQ(std::u16string(Menu::FindCurrent(1)->text), u"\u0412\u044b\u0445\u043e\u0434");
    EXPECT_EQ(std::u16string(Menu::AllItems()[2].text), u"+");

    Language::Apply("fr");
    EXPECT_EQ(std::u16string(Menu::FindCurrent(2)->text), u"Aide");
    Language::Apply("klingon");
    EXPECT_EQ(Language::Current(), "en");
    EXPECT_EQ(std::u16string(Menu::FindCurrent(1)->text), u"Exit");
    // Whatever the screens keep is retranslated after each change.
    EXPECT_EQ(changes, 3);

    // Without a stored choice the desktop's locale decides.
    setenv("LC_ALL", "fr_CA.UTF-8", 1);
    EXPECT_EQ(Language::Preferred(), "fr");
    unsetenv("LC_ALL");
    Menu::Reset();
    g_TextTable.Clear();
    Language::Apply("en");
    Language::SetHooks({});
    Menu::SetDevices({});
}

} // namespace
