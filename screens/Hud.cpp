#include "screens/Hud.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include <SDL.h>

#include "game/GameBoard.h"
#include "gfx/Graphics.h"
#include "gfx/Renderer.h"
#include "platform/Clock.h"
#include "ui/Font.h"
#include "ui/Frontend.h"
#include "ui/Menu.h"
#include "ui/TextCache.h"

namespace Game {
namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr int32_t kHudX = 690;
// Pixels a score popup keeps from the board's right edge.
constexpr int32_t kPopupMargin = 2;

void BlitPicture(SDL_Surface* surface, const char* name, int32_t x, int32_t y, const Graphics::Rect* source) {
    SDL_Surface* picture = Renderer::GetPicture(name);
    if (picture && surface) Graphics::Blit(surface, x, y, picture, source, true);
}

char MarkerLetter(int32_t kind) {
    switch (kind) {
    case 1:
        return 'G';
    case 2:
        return 'P';
    case 3:
        return 'O';
    case 4:
        return 'B';
    case 5:
        return 'R';
    case 6:
        return 'Y';
    default:
        return 0;
    }
}

void DrawPopups(SDL_Surface* surface, const GameBoard& board, uint32_t now) {
    for (const ScorePopup& popup : board.popups) {
        const uint32_t age = now - popup.time;
        if (age >= 1000) continue;
        const std::u16string text = Text::Format("%+d", popup.points);
        const int32_t x = PopupX(board, popup.x, g_MenuFont.Measure(20, text.c_str()));
        const int32_t y =
            static_cast<int32_t>(popup.y * board.cellHeight + 36.0f - age * board.cellHeight * 0.001f);
        if (y <= 36) continue;
        Text::DrawTextDirect(surface, g_MenuFont, 20, Text::kLeft, x, y, kWhite, text.c_str());
    }
}

// The keyboard's cell cursor, centred on its cell above the bricks; only during play (panels
// cover the board).
void DrawCellCursor(SDL_Surface* surface, const GameBoard& board) {
    if (!board.cursor.shown || !board.OnBoard(board.cursor.x, board.cursor.y)) return;
    const char* name = CellCursorPicture(board);
    SDL_Surface* picture = Renderer::GetPicture(name);
    if (!picture || !surface) return;
    const int32_t x = static_cast<int32_t>(board.cursor.x * board.cellWidth + 33.0f +
                                           (board.cellWidth - static_cast<float>(picture->w)) * 0.5f);
    const int32_t y = static_cast<int32_t>(board.cursor.y * board.cellHeight + 36.0f +
                                           (board.cellHeight - static_cast<float>(picture->h)) * 0.5f);
    Graphics::Blit(surface, x, y, picture, nullptr, true);
}

} // namespace

int32_t PopupX(const GameBoard& board, int32_t cellX, int32_t textWidth) {
    const int32_t x = static_cast<int32_t>((cellX + 1) * board.cellWidth + 33.0f);
    const int32_t inside = static_cast<int32_t>(board.w * board.cellWidth + 33.0f) - kPopupMargin - textWidth;
    return std::min(x, inside);
}

const char* CellCursorPicture(const GameBoard& board) {
    return board.cellWidth < 40.0f ? "CellCursorSmall" : "CellCursor";
}

void Decoration::Advance() {
    x += step;
    if (std::abs(x - 669) > 45) step = -step;
}

Decoration& HudDecoration() {
    static Decoration decoration;
    return decoration;
}

bool LevelUpBlinkVisible(uint32_t now, uint32_t levelUpTime) {
    const uint32_t age = now - levelUpTime;
    return age < 700 && age % 200 > 100;
}

const char* MarkerPicture(const GameBoard& board, int32_t x, int32_t y, uint32_t now) {
    static char name[16];
    if (!board.OnBoard(x, y)) return "";
    const int32_t* list = board.incoming[x * GameBoard::MaxSide + y];
    const int32_t count = list[0];
    if (count <= 0 || count > GameBoard::MaxIncoming) return "";
    const int32_t kind = list[1 + static_cast<int32_t>((now / 300) % static_cast<uint32_t>(count))];
    const char letter = MarkerLetter(kind);
    std::string text = "DISAPPEAR";
    if (letter) text.push_back(letter);
    text.copy(name, sizeof name - 1);
    name[text.size()] = '\0';
    return name;
}

void HudOverlay(SDL_Surface* surface) {
    const GameBoard& board = g_Board;
    const uint32_t now = Platform::TimeMs();

    Decoration& decoration = HudDecoration();
    decoration.Advance();
    BlitPicture(surface, "b1", decoration.x, 383, nullptr);

    const bool blink = LevelUpBlinkVisible(now, board.levelUpTime);
    if (blink) BlitPicture(surface, "Red", 630, 10, nullptr);

    DrawPopups(surface, board, now);

    if (board.title) Text::DrawText(surface, g_MainFont, 24, Text::kCentre, kHudX, 135, kWhite, board.title);
    const std::u16string level = Text::Format("%d", board.level);
    // A level number stays for many frames and there are few of them: each is rasterised once,
    // except over the blink, whose picture must show around the glyphs.
    if (blink)
        Text::DrawTextDirect(surface, g_MainFont, 30, Text::kCentre, kHudX, 22, kWhite, level.c_str());
    else
        Text::DrawText(surface, g_MainFont, 30, Text::kCentre, kHudX, 22, kWhite, level.c_str());
    // The score changes often: one cached surface at a time.
    const std::u16string score = Text::Format("%d", board.score);
    const bool wasVolatile = Text::IsVolatile();
    Text::SetVolatile(true);
    Text::DrawText(surface, g_MenuFont, 30, Text::kCentre, kHudX, 250, kWhite, score.c_str());
    Text::SetVolatile(wasVolatile);

    if (Frontend::Host().activeOverlay() == &HudOverlay) {
        DrawCellCursor(surface, board);
        Menu::Draw(surface);
    }
}

void TargetMarkers(SDL_Surface* surface) {
    const GameBoard& board = g_Board;
    if (board.mode != GameMode::Lines && board.mode != GameMode::Squares) return;
    const uint32_t now = Platform::TimeMs();
    const Graphics::Rect source{0, 0, 25, 25};
    for (int32_t x = 0; x < board.w; ++x) {
        for (int32_t y = 0; y < board.h; ++y) {
            const char* name = MarkerPicture(board, x, y, now);
            if (!*name) continue;
            const int32_t px =
                static_cast<int32_t>(x * board.cellWidth + (board.cellWidth - 25) * 0.5f + 33.0f);
            const int32_t py =
                static_cast<int32_t>(y * board.cellHeight + (board.cellHeight - 25) * 0.5f + 36.0f);
            BlitPicture(surface, name, px, py, &source);
        }
    }
}

} // namespace Game
