#include <algorithm>
#include <string>

#include "gfx/Graphics.h"
#include "gfx/Renderer.h"
#include "gfx/SurfaceRegistry.h"
#include "platform/Clock.h"
#include "ui/Font.h"
#include "ui/FrontendCommon.h"
#include "ui/Menu.h"
#include "ui/MenuIds.h"
#include "ui/TextCache.h"

// The eight help pages: paragraphs composed once per page into a cached surface, with animated
// bonus pictures drawn over it every frame.
namespace Frontend {
namespace {

enum class Style { Heading, Body, BonusHeading, BonusBody, GoodLuck };

struct Paragraph {
    const char* key;
    Style style;
};

struct Page {
    Paragraph paragraphs[7];
    int32_t count;
};

const Page kPages[kHelpPages] = {
    {{{"Help_Descr", Style::Body}, {"Help_Game1Name", Style::Heading}, {"Help_Game1Descr", Style::Body}}, 3},
    {{{"Help_Game2Name", Style::Heading}, {"Help_Game2Descr", Style::Body}}, 2},
    {{{"Help_Game3Name", Style::Heading}, {"Help_Game3Descr", Style::Body}, {"Help_Keys", Style::Body}}, 3},
    {{{"Help_Game4Name", Style::Heading}, {"Help_Game4Descr", Style::Body}}, 2},
    {{{"Help_ScoresTitle", Style::Heading},
      {"Help_Scores", Style::Body},
      {"Help_Level", Style::Heading},
      {"Help_Level1", Style::Body},
      {"Help_Level2", Style::Body},
      {"Help_Level3", Style::Body}},
     6},
    {{{"Help_BonusTitle", Style::Heading},
      {"Help_BonusDescr", Style::Body},
      {"Help_Bonus1Title", Style::BonusHeading},
      {"Help_Bonus1Descr", Style::BonusBody},
      {"Help_Bonus2Title", Style::BonusHeading},
      {"Help_Bonus2Descr", Style::BonusBody}},
     6},
    {{{"Help_Bonus3Title", Style::BonusHeading},
      {"Help_Bonus3Descr", Style::BonusBody},
      {"Help_Bonus4Title", Style::BonusHeading},
      {"Help_Bonus4Descr", Style::BonusBody},
      {"Help_Bonus5Title", Style::BonusHeading},
      {"Help_Bonus5Descr", Style::BonusBody}},
     6},
    {{{"Help_Bonus6Title", Style::BonusHeading},
      {"Help_Bonus6Descr", Style::BonusBody},
      {"Help_Bonus7Title", Style::BonusHeading},
      {"Help_Bonus7Descr", Style::BonusBody},
      {"Help_GoodLuck", Style::GoodLuck},
      {"Help_Screenshot", Style::Body}},
     6},
};

// The text area and the room the bonus paragraphs leave for their pictures.
constexpr Graphics::Rect kArea{kHelpAreaLeft, kHelpAreaTop, kHelpAreaRight, kHelpAreaBottom};
constexpr int32_t kBonusIndent = 80;
constexpr int32_t kBonusGap = 30;
// The line box of "Help_GoodLuck" (size 30).
constexpr int32_t kGoodLuckHeight = 45;
// The frame picture "quarta" around each bonus picture.
constexpr int32_t kFrameSize = 74;

// An animated picture beside a bonus: 50 x 50 cells, `perRow` to a row, one every `period` ms;
// a period of 0 always shows the cell at `fixedX` of the first row.
struct BonusPicture {
    const char* name;
    int32_t cells;
    int32_t perRow;
    uint32_t period;
    int32_t fixedX;
};

struct PicturePage {
    BonusPicture pictures[3];
    int32_t count;
    int32_t spacing;
};

const PicturePage kPicturePages[3] = {
    {{{"coin", 24, 16, 100, 0}, {"metla_new", 8, 8, 200, 0}}, 2, 90},
    {{{"COLORCUT2", 8, 8, 200, 0}, {"sphere", 4, 4, 200, 0}, {"Switch", 5, 5, 200, 0}}, 3, 90},
    {{{"clocks", 8, 8, 200, 0}, {"BOMB_app", 1, 1, 0, 200}}, 2, 85},
};

// Where the first bonus paragraph of each page began when the page was composed.
int32_t g_firstBonusTop[kHelpPages] = {190, 190, 190, 190, 190, 190, 190, 190};

std::string PageSurfaceName(int32_t page) {
    return "helpPage" + std::to_string(page);
}

} // namespace

int32_t LayOutHelpPage(SDL_Surface* surface, int32_t page) {
    TextRect rect = kArea;
    bool firstBonus = true;
    const Page& content = kPages[page];
    for (int32_t i = 0; i < content.count; ++i) {
        const Paragraph& p = content.paragraphs[i];
        const char16_t* text = Txt(p.key);
        switch (p.style) {
        case Style::Heading:
            if (text) rect = Text::DrawParagraph(surface, g_MainFont, 20, kYellow, rect, text);
            break;
        case Style::Body:
            if (text) rect = Text::DrawParagraph(surface, g_MenuFont, 18, kWhite, rect, text);
            break;
        case Style::BonusHeading:
        case Style::BonusBody: {
            if (p.style == Style::BonusHeading) {
                if (firstBonus)
                    g_firstBonusTop[page] = rect.top;
                else
                    rect.top += kBonusGap;
                firstBonus = false;
            }
            if (!text) break;
            TextRect indented = rect;
            indented.left += kBonusIndent;
            indented = p.style == Style::BonusHeading
                           ? Text::DrawParagraph(surface, g_MainFont, 20, kYellow, indented, text)
                           : Text::DrawParagraph(surface, g_MenuFont, 18, kWhite, indented, text);
            rect.top = indented.top;
            break;
        }
        case Style::GoodLuck:
            // Below the last picture frame as well as below the text.
            if (page >= 5) {
                const PicturePage& pictures = kPicturePages[page - 5];
                rect.top =
                    std::max(rect.top, g_firstBonusTop[page] + (pictures.count - 1) * pictures.spacing +
                                           kFrameSize + kBonusGap / 2);
            }
            if (!text) break;
            if (surface)
                Text::DrawTextDirect(surface, g_MenuFont, 30, Text::kCentre, 400, rect.top, kYellow, text);
            rect.top += kGoodLuckHeight;
            break;
        }
    }
    return rect.top;
}

namespace {

void DrawBonusPictures(SDL_Surface* surface, int32_t page) {
    if (page < 5) return;
    const PicturePage& pictures = kPicturePages[page - 5];
    const uint32_t now = Platform::TimeMs();
    for (int32_t i = 0; i < pictures.count; ++i) {
        const BonusPicture& picture = pictures.pictures[i];
        const int32_t y = g_firstBonusTop[page] + i * pictures.spacing;
        BlitPicture(surface, "quarta", kArea.left, y, nullptr);
        int32_t cellX = picture.fixedX, cellY = 0;
        if (picture.period != 0) {
            const int32_t cell =
                static_cast<int32_t>((now / picture.period) % static_cast<uint32_t>(picture.cells));
            cellX = (cell % picture.perRow) * 50;
            cellY = (cell / picture.perRow) * 50;
        }
        const Graphics::Rect source{cellX, cellY, cellX + 50, cellY + 50};
        BlitPicture(surface, picture.name, kArea.left + 12, y + 12, &source);
    }
}

// "Page 1 of 8", at the foot of the text panel.
constexpr uint32_t kCounterColour = 0xFFB8C4F0;

void DrawPageCounter(SDL_Surface* surface, int32_t page) {
    const char16_t* format = Txt("Help_Page");
    if (!format) return;
    const std::u16string text =
        Text::SubstituteInt(Text::SubstituteInt(format, page + 1).c_str(), kHelpPages);
    Text::DrawText(surface, g_MenuFont, 16, Text::kCentre, 400, kHelpCounterTop, kCounterColour,
                   text.c_str());
}

void EnablePrevNext() {
    if (MenuItem* prev = Menu::FindCurrent(MenuId::Help::Previous))
        prev->enabled = Screen().helpPage > 0 ? 1 : 0;
    if (MenuItem* next = Menu::FindCurrent(MenuId::Help::Next))
        next->enabled = Screen().helpPage < kHelpPages - 1 ? 1 : 0;
}

} // namespace

void HelpUpdate(uint32_t, FrameRecord*) {
    State& state = Screen();
    AdvanceSlider();
    const int32_t id = Menu::Poll("help", Menu::kEventFromQueue);
    EnablePrevNext();
    switch (id) {
    case MenuId::Help::Previous:
        if (state.helpPage > 0) --state.helpPage;
        break;
    case MenuId::Help::Next:
        if (state.helpPage < kHelpPages - 1) ++state.helpPage;
        break;
    case MenuId::Help::Back:
        state.helpPage = 0;
        SwitchBack(state.helpReturn);
        return;
    default:
        break;
    }
    EnablePrevNext();
}

void HelpDraw(SDL_Surface* surface) {
    AdvanceSliderAgain();
    DrawSlider(surface, -1);
    DrawTitleText(surface);
    const int32_t page = std::clamp(Screen().helpPage, 0, kHelpPages - 1);
    if (surface) {
        const std::string name = PageSurfaceName(page);
        SDL_Surface* cached = Renderer::Surfaces().Find(name.c_str());
        if (!cached) {
            // Laid out once on the back buffer, then kept as a surface of its own.
            LayOutHelpPage(surface, page);
            cached = Renderer::CreateSurface(name.c_str(), kArea.Width(), kArea.Height());
            if (cached) Graphics::Blit(cached, 0, 0, surface, &kArea, false);
        } else {
            Graphics::Blit(surface, kArea.left, kArea.top, cached, nullptr, false);
        }
        DrawBonusPictures(surface, page);
        DrawPageCounter(surface, page);
    }
    Menu::Draw(surface);
}

} // namespace Frontend
