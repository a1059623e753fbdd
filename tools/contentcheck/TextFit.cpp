#include "TextFit.h"

#include "Fault.h"
#include "ui/Font.h"
#include "ui/Frontend.h"
#include "ui/Menu.h"
#include "ui/TextCache.h"
#include "ui/TextTable.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// The box a menu's text items are drawn in: the widest their text may be, at the item's larger
// (highlighted) size, so that it stays on its plate or panel. id 0 stands for every item of the
// menu; the first matching line wins. The boxes follow the backgrounds drawn by gen-pictures.
struct MenuBox {
    const char* menu;
    int32_t id;
    int32_t width;
    const char* where;
};

// The game panel's texts are centred on 400; its gold rim leaves 216 to 582 inside, 7 pixels kept
// clear of it on each side.
constexpr int32_t kPanelWidth = 350;
// The full-screen value is On or Off at the same place: both must sit on its plate.
constexpr int32_t kOnOffWidth = 104;

const MenuBox kMenuBoxes[] = {
    {"main", 0, 224, "title menu panel (272 to 528)"},
    {"game", 5, 132, "game selection Back plate (330 to 470)"},
    {"game", 0, 140, "game name plate (148 wide)"},
    {"help", 5, 200, "help Back, between the page buttons"},
    {"help", 0, 240, "help page button (centred on 130 or 670)"},
    {"postScores", 6, 150, "score form Submit plate (320 to 480)"},
    {"postScores", 0, 200, "score form Back, below the panel"},
    {"hiScores", 5, 132, "high scores Back plate (330 to 470)"},
    {"hiScores", 0, 116, "high scores tab (124 wide)"},
    {"option", 9, 176, "options language plate (490 to 670)"},
    {"option", 8, kOnOffWidth, "options On/Off plate (484 to 596)"},
    {"option", 7, 250, "options Save plate (260 to 540)"},
    {"option", 0, 60, "options value button"},
    {"startGame", 0, kPanelWidth, "game panel, inside its gold rim (216 to 582)"},
    {"startGame2", 0, kPanelWidth, "game panel, inside its gold rim (216 to 582)"},
    {"inGame", 0, kPanelWidth, "game panel, inside its gold rim (216 to 582)"},
    {"endGame", 0, kPanelWidth, "game panel, inside its gold rim (216 to 582)"},
    {"enterScores", 0, kPanelWidth, "game panel, inside its gold rim (216 to 582)"},
    {"reversiGame", 0, kPanelWidth, "game panel, inside its gold rim (216 to 582)"},
};

// Texts the screens draw themselves.
enum class Face { Main, Menu };
struct Placement {
    const char* key;
    Face face;
    uint32_t size;
    int32_t width;
    const char* where;
};

const Placement kPlacements[] = {
    {"Menu_Title", Face::Menu, 12, 600, "foot of every screen, clear of the version"},
    {"Version", Face::Menu, 12, 180, "title screen, bottom left"},
    {"Menu_MusicVolume", Face::Main, 30, 305, "options row label (175 to 480)"},
    {"Menu_SoundVolume", Face::Main, 30, 305, "options row label (175 to 480)"},
    {"Menu_FullScreen", Face::Main, 30, 305, "options row label (175 to 480)"},
    {"Menu_Language", Face::Main, 30, 305, "options row label (175 to 480)"},
    {"Menu_On", Face::Main, 32, kOnOffWidth, "options On/Off plate (484 to 596)"},
    {"Post_Form", Face::Main, 30, 290, "score form title plate (250 to 550)"},
    {"Post_Name", Face::Main, 30, 220, "score form label (centred on 250)"},
    {"Post_Age", Face::Main, 30, 220, "score form label (centred on 250)"},
    {"Post_Country", Face::Main, 30, 220, "score form label (centred on 250)"},
    {"Menu_GameOver", Face::Main, 30, kPanelWidth, "game panel, inside its gold rim (216 to 582)"},
    {"Menu_EnterName1", Face::Main, 24, kPanelWidth, "game panel, inside its gold rim (216 to 582)"},
    {"Menu_EnterName2", Face::Main, 24, kPanelWidth, "game panel, inside its gold rim (216 to 582)"},
    {"Menu_EnterName3", Face::Main, 24, kPanelWidth, "game panel, inside its gold rim (216 to 582)"},
    {"Menu_Rev1", Face::Menu, 30, kPanelWidth, "game panel, inside its gold rim (216 to 582)"},
    {"Menu_Rev2", Face::Menu, 20, kPanelWidth, "game panel, inside its gold rim (216 to 582)"},
    {"Menu_Rev3", Face::Menu, 20, kPanelWidth, "game panel, inside its gold rim (216 to 582)"},
    {"Menu_Rev4", Face::Menu, 20, kPanelWidth, "game panel, inside its gold rim (216 to 582)"},
    {"Menu_Rev5", Face::Menu, 20, kPanelWidth, "game panel, inside its gold rim (216 to 582)"},
    {"Menu_Game1", Face::Main, 24, 160, "game screen title plate (604 to 776)"},
    {"Menu_Game2", Face::Main, 24, 160, "game screen title plate (604 to 776)"},
    {"Menu_Game3", Face::Main, 24, 160, "game screen title plate (604 to 776)"},
    {"Menu_Game4", Face::Main, 24, 160, "game screen title plate (604 to 776)"},
    {"Menu_ScoreNotSaved", Face::Menu, 18, 520, "high scores panel (130 to 670)"},
    {"Help_GoodLuck", Face::Menu, 30, 500, "help text area (150 to 650)"},
};

// The help text's last line box must end by the top of the page counter's box. A line box runs
// 1.5 times its size, a third of it below the baseline, so even at that limit the descenders
// stay about 9 px clear of the counter's letters.
constexpr int32_t kHelpTextBottom = Frontend::kHelpCounterTop;
// The narrowest help paragraph: a bonus text, indented 80 pixels.
constexpr int32_t kHelpNarrowest = Frontend::kHelpAreaRight - Frontend::kHelpAreaLeft - 80;
// The score the name prompt is measured with.
constexpr int32_t kWidestScore = 999999;

Font& FontOf(Face face) {
    return face == Face::Main ? g_MainFont : g_MenuFont;
}

std::string Utf8(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | c >> 6));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xE0 | c >> 12));
            out.push_back(char(0x80 | (c >> 6 & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::string Narrow(const std::u16string& s) {
    return Text::Narrow(s.c_str());
}

const char* Shown(const std::string& language) {
    return language.empty() ? "en" : language.c_str();
}

// The texts the language being checked has of its own: the others are the base texts, measured
// once under "en".
std::set<const char16_t*> g_ownTexts;

// One line per text that does not fit: key, language, the text, its width, the box, the overflow.
void Measure(const std::string& language, const std::string& key, const char16_t* text, Font& font,
             uint32_t size, int32_t box, const char* where) {
    if (!text || !*text || (!language.empty() && !g_ownTexts.count(text))) return;
    const std::u16string shown =
        key == "Menu_EnterName1" ? Text::SubstituteInt(text, kWidestScore) : std::u16string(text);
    uint32_t drawnSize = size;
    const char16_t* proper = Text::ApplySizePrefix(shown.c_str(), drawnSize);
    const int32_t width = font.Measure(drawnSize, proper);
    if (width <= box) return;
    Fault("text %s [%s] \"%s\" is %d px wide at size %u in the %s (%d px): %d px too wide", key.c_str(),
          Shown(language), Utf8(proper).c_str(), width, drawnSize, where, box, width - box);
}

const MenuBox* BoxOf(const MenuItem& item) {
    for (const MenuBox& b : kMenuBoxes)
        if (std::strcmp(b.menu, item.menu) == 0 && (b.id == 0 || b.id == item.id)) return &b;
    return nullptr;
}

void CheckMenus(const std::string& language, const std::map<const char16_t*, std::string>& keyOf) {
    Menu::Reset();
    Menu::SetDevices(Menu::QuietDevices());
    Menu::CreateAllMenus();
    for (const MenuItem& item : Menu::AllItems()) {
        if (item.kind != kMenuText || !item.text || !item.text[0] || !item.font) continue;
        auto found = keyOf.find(item.text);
        // "+" and "-" are the program's own.
        if (found == keyOf.end()) continue;
        const MenuBox* box = BoxOf(item);
        if (!box) {
            Fault("menu %s item %d (%s): no box known to contentcheck's kMenuBoxes", item.menu, item.id,
                  found->second.c_str());
            continue;
        }
        Measure(language, found->second, item.text, *item.font,
                std::max(item.normal.size, item.selected.size), box->width, box->where);
    }
    Menu::Reset();
}

void CheckHelpPages(const std::string& language) {
    for (int32_t page = 0; page < Frontend::kHelpPages; ++page) {
        const int32_t bottom = Frontend::LayOutHelpPage(nullptr, page);
        if (bottom > kHelpTextBottom)
            Fault("help page %d [%s] ends at y %d, into the page counter (limit y %d): %d px too tall",
                  page + 1, Shown(language), bottom, kHelpTextBottom, bottom - kHelpTextBottom);
    }
}

// A word wider than its paragraph would stick out of the help area.
void CheckHelpWords(const std::string& language, const std::string& key, const char16_t* text) {
    if (key.rfind("Help_", 0) != 0 || key == "Help_GoodLuck") return;
    Font& font = key.find("Title") != std::string::npos || key.find("Name") != std::string::npos ? g_MainFont
                                                                                                 : g_MenuFont;
    const uint32_t size = &font == &g_MainFont ? 20 : 18;
    std::u16string all(text);
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find(u' ', start);
        if (end == std::u16string::npos) end = all.size();
        if (end > start) {
            const std::u16string word = all.substr(start, end - start);
            const int32_t width = font.Measure(size, word.c_str());
            if (width + 5 > kHelpNarrowest)
                Fault("text %s [%s]: the word \"%s\" is %d px wide, wider than a help paragraph (%d px)",
                      key.c_str(), Shown(language), Utf8(word).c_str(), width, kHelpNarrowest - 5);
        }
        start = end + 1;
    }
}

void CheckGlyphs(const std::string& language, const std::string& key, const char16_t* text) {
    for (const char16_t* p = text; *p; ++p) {
        if (*p < 0x20) continue;
        for (Face face : {Face::Main, Face::Menu})
            if (!FontOf(face).HasGlyph(*p))
                Fault("text %s [%s]: character U+%04X is missing from the %s font", key.c_str(),
                      Shown(language), unsigned(*p), face == Face::Main ? "main" : "menu");
    }
}

size_t Percents(const char16_t* text) {
    size_t n = 0;
    for (const char16_t* p = text; *p; ++p)
        n += *p == u'%';
    return n;
}

} // namespace

void CheckTextFit() {
    if (!g_MainFont.Load(kMainFontPath) || !g_MenuFont.Load(kMenuFontPath)) {
        Fault("the fonts do not load: no text can be measured");
        return;
    }
    const std::vector<std::u16string> baseKeys = g_TextTable.Keys("");
    const std::vector<std::string> languages = g_TextTable.Languages();
    const std::string was = g_TextTable.Language();
    for (const std::string& language : languages) {
        g_TextTable.SetLanguage(language);
        g_ownTexts.clear();
        for (const std::u16string& key : g_TextTable.Keys(language))
            g_ownTexts.insert(g_TextTable.GetText(key.c_str()));
        std::map<const char16_t*, std::string> keyOf;
        for (const std::u16string& key : baseKeys)
            if (const char16_t* t = g_TextTable.GetText(key.c_str())) keyOf.emplace(t, Narrow(key));
        for (const std::u16string& key : g_TextTable.Keys(language)) {
            const std::string name = Narrow(key);
            const char16_t* text = g_TextTable.GetText(key.c_str());
            if (!language.empty()) {
                const bool known = std::find(baseKeys.begin(), baseKeys.end(), key) != baseKeys.end();
                if (!known) {
                    Fault("text %s [%s]: no such key in the base texts", name.c_str(), Shown(language));
                    continue;
                }
                g_TextTable.SetLanguage("");
                const char16_t* base = g_TextTable.GetText(key.c_str());
                g_TextTable.SetLanguage(language);
                if (base && text && Percents(base) != Percents(text))
                    Fault("text %s [%s]: %zu percent signs where the base text has %zu", name.c_str(),
                          Shown(language), Percents(text), Percents(base));
            }
            if (!text) continue;
            CheckGlyphs(language, name, text);
            CheckHelpWords(language, name, text);
        }
        for (const Placement& p : kPlacements)
            Measure(language, p.key, g_TextTable.GetText(p.key), FontOf(p.face), p.size, p.width, p.where);
        CheckMenus(language, keyOf);
        CheckHelpPages(language);
    }
    g_TextTable.SetLanguage(was);
}
