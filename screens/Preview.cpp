#include "screens/Preview.h"

#include <algorithm>
#include <cmath>

#include "gfx/Renderer.h"
#include "platform/Clock.h"

namespace Game {

const PreviewStep kPreviewLines[] = {
    {0, 0, 1, 5, 5, 1},  {5, 1, 1, 4, 3, 1},  {10, 2, 1, 3, 4, 1}, {1, 0, 1, 4, 4, 1},  {6, 1, 1, 5, 4, 1},
    {11, 2, 1, 1, 4, 1}, {2, 0, 1, 3, 3, 1},  {3, 0, 1, 6, 4, 1},  {12, 2, 1, 6, 5, 1}, {7, 1, 1, 5, 7, 1},
    {13, 2, 1, 2, 2, 1}, {8, 1, 1, 4, 5, 1},  {14, 2, 1, 4, 6, 1}, {4, 0, 1, 3, 5, 1},  {9, 1, 1, 3, 6, 1},
    {5, 0, 3, 6, 3, 1},  {7, 0, 3, 2, 7, 1},  {5, 0, 2, 6, 3, 1},  {6, 0, 2, 6, 3, 0},  {7, 0, 2, 6, 3, 0},
    {8, 0, 2, 6, 3, 0},  {9, 0, 2, 6, 3, 0},  {2, 1, 5, 4, 5, 1},  {5, 0, 4, 6, 3, 1},  {6, 0, 4, 6, 3, 0},
    {7, 0, 4, 6, 3, 0},  {8, 0, 4, 6, 3, 0},  {9, 0, 4, 6, 3, 0},  {2, 1, 5, 4, 5, 1},  {2, 0, 3, 5, 3, 1},
    {3, 0, 3, 6, 2, 1},  {14, 2, 3, 0, 6, 1}, {0, 0, 3, 5, 6, 1},  {0, 0, 3, 2, 6, 1},  {0, 0, 2, 6, 3, 1},
    {1, 0, 2, 6, 3, 0},  {2, 0, 2, 6, 3, 0},  {3, 0, 2, 6, 3, 0},  {4, 0, 2, 6, 3, 0},  {2, 1, 5, 4, 5, 1},
    {0, 0, 4, 6, 3, 1},  {1, 0, 4, 6, 3, 0},  {2, 0, 4, 6, 3, 0},  {3, 0, 4, 6, 3, 0},  {4, 0, 4, 6, 3, 0},
    {2, 1, 5, 4, 5, 1},  {14, 2, 3, 0, 4, 1}, {13, 2, 3, 2, 4, 1}, {12, 2, 3, 6, 4, 1}, {12, 2, 3, 4, 4, 1},
    {10, 0, 2, 6, 3, 1}, {11, 0, 2, 6, 3, 0}, {12, 0, 2, 6, 3, 0}, {13, 0, 2, 6, 3, 0}, {14, 0, 2, 6, 3, 0},
    {2, 1, 5, 4, 5, 1},  {10, 0, 4, 6, 3, 1}, {11, 0, 4, 6, 3, 0}, {12, 0, 4, 6, 3, 0}, {13, 0, 4, 6, 3, 0},
    {14, 0, 4, 6, 3, 0}, {2, 1, 5, 4, 5, 1},  {-1, 0, 0, 0, 0, 0},
};

const PreviewStep kPreviewSwaps[] = {
    {0, 0, 1, 4, 0, 1},  {6, 1, 1, 8, 0, 1},  {0, 0, 3, 4, 9, 0},  {12, 2, 1, 6, 0, 1}, {6, 0, 3, 8, 9, 0},
    {13, 2, 1, 3, 0, 1}, {12, 0, 3, 6, 9, 0}, {7, 1, 1, 5, 0, 1},  {13, 0, 3, 3, 9, 0}, {1, 0, 1, 6, 0, 1},
    {7, 0, 3, 5, 9, 0},  {8, 1, 1, 9, 0, 1},  {1, 0, 3, 6, 8, 0},  {2, 0, 1, 7, 0, 1},  {8, 0, 3, 9, 9, 0},
    {14, 2, 1, 2, 0, 1}, {2, 0, 3, 7, 9, 0},  {15, 2, 1, 4, 0, 1}, {14, 0, 3, 2, 9, 0}, {3, 0, 1, 3, 0, 1},
    {15, 0, 3, 4, 8, 0}, {16, 2, 1, 5, 0, 1}, {3, 0, 3, 3, 8, 0},  {4, 0, 1, 4, 0, 1},  {16, 0, 3, 5, 8, 0},
    {9, 1, 1, 7, 0, 1},  {4, 0, 3, 4, 7, 0},  {10, 1, 1, 3, 0, 1}, {9, 0, 3, 7, 8, 0},  {17, 2, 1, 4, 0, 1},
    {10, 0, 3, 3, 7, 0}, {5, 0, 1, 2, 0, 1},  {17, 0, 3, 4, 6, 0}, {11, 1, 1, 5, 0, 1}, {5, 0, 3, 2, 8, 0},
    {0, 2, 5, 2, 0, 1},  {11, 0, 3, 5, 7, 0}, {0, 2, 5, 2, 0, 1},  {2, 0, 3, 7, 8, 1},  {9, 0, 3, 7, 9, 0},
    {6, 0, 2, 7, 8, 1},  {8, 0, 2, 7, 8, 0},  {9, 0, 2, 7, 8, 0},  {6, 0, 4, 7, 8, 1},  {8, 0, 4, 7, 8, 0},
    {9, 0, 4, 7, 8, 0},  {2, 0, 3, 7, 9, 1},  {4, 0, 3, 5, 7, 1},  {11, 0, 3, 4, 7, 0}, {0, 0, 3, 4, 8, 1},
    {15, 0, 3, 4, 9, 0}, {13, 0, 2, 7, 8, 1}, {14, 0, 2, 7, 8, 0}, {15, 0, 2, 7, 8, 0}, {3, 0, 2, 7, 8, 0},
    {0, 0, 2, 7, 8, 0},  {5, 0, 2, 7, 8, 0},  {3, 0, 4, 7, 8, 1},  {0, 0, 4, 7, 8, 0},  {5, 0, 4, 7, 8, 0},
    {13, 0, 4, 7, 8, 0}, {14, 0, 4, 7, 8, 0}, {15, 0, 4, 7, 8, 0}, {10, 0, 3, 3, 9, 1}, {11, 0, 3, 4, 9, 0},
    {17, 0, 3, 4, 8, 0}, {7, 0, 2, 3, 9, 1},  {10, 0, 2, 4, 9, 0}, {11, 0, 2, 4, 8, 0}, {7, 0, 4, 3, 9, 1},
    {10, 0, 4, 4, 9, 0}, {11, 0, 4, 4, 8, 0}, {16, 0, 3, 5, 9, 1}, {17, 0, 3, 4, 9, 0}, {4, 0, 3, 5, 8, 0},
    {12, 0, 2, 3, 9, 1}, {16, 0, 2, 4, 9, 0}, {17, 0, 2, 4, 8, 0}, {12, 0, 4, 3, 9, 1}, {16, 0, 4, 4, 9, 0},
    {17, 0, 4, 4, 8, 0}, {1, 0, 3, 6, 9, 1},  {4, 0, 3, 5, 9, 0},  {1, 0, 2, 7, 8, 1},  {2, 0, 2, 7, 8, 0},
    {4, 0, 2, 7, 8, 0},  {1, 0, 4, 7, 8, 1},  {2, 0, 4, 7, 8, 0},  {4, 0, 4, 7, 8, 0},  {0, 2, 5, 2, 0, 1},
    {-1, 0, 0, 0, 0, 0},
};

const PreviewStep kPreviewSquares[] = {
    {1, 0, 1, 4, 4, 1},  {6, 1, 1, 6, 3, 1},  {2, 0, 1, 6, 5, 1},  {10, 2, 1, 5, 3, 1}, {11, 2, 1, 6, 4, 1},
    {3, 0, 1, 7, 4, 1},  {7, 1, 1, 5, 5, 1},  {12, 2, 1, 5, 4, 1}, {8, 1, 1, 7, 5, 1},  {9, 1, 1, 6, 6, 1},
    {13, 2, 1, 6, 2, 1}, {4, 0, 1, 4, 3, 1},  {5, 0, 1, 4, 5, 1},  {6, 0, 3, 8, 3, 1},  {13, 0, 3, 6, 3, 1},
    {10, 0, 2, 6, 3, 1}, {11, 0, 2, 6, 3, 0}, {12, 0, 2, 6, 3, 0}, {13, 0, 2, 6, 3, 0}, {10, 0, 4, 6, 3, 1},
    {11, 0, 4, 6, 3, 0}, {12, 0, 4, 6, 3, 0}, {13, 0, 4, 6, 3, 0}, {7, 0, 3, 5, 6, 1},  {3, 0, 3, 5, 4, 1},
    {2, 0, 3, 5, 5, 1},  {1, 0, 2, 6, 3, 1},  {2, 0, 2, 6, 3, 0},  {3, 0, 2, 6, 3, 0},  {4, 0, 2, 6, 3, 0},
    {5, 0, 2, 6, 3, 0},  {1, 0, 4, 6, 3, 1},  {2, 0, 4, 6, 3, 0},  {3, 0, 4, 6, 3, 0},  {4, 0, 4, 6, 3, 0},
    {5, 0, 4, 6, 3, 0},  {6, 0, 3, 8, 5, 1},  {8, 0, 3, 5, 5, 1},  {6, 0, 3, 6, 5, 1},  {6, 0, 2, 6, 3, 1},
    {7, 0, 2, 6, 3, 0},  {8, 0, 2, 6, 3, 0},  {9, 0, 2, 6, 3, 0},  {6, 0, 4, 6, 3, 1},  {7, 0, 4, 6, 3, 0},
    {8, 0, 4, 6, 3, 0},  {9, 0, 4, 6, 3, 0},  {0, 0, 5, 0, 0, 1},  {0, 0, 5, 0, 0, 1},  {0, 0, 5, 0, 0, 1},
    {-1, 0, 0, 0, 0, 0},
};

const PreviewStep kPreviewGroups[] = {
    {1, 1, 1, 4, 7, 1},  {2, 1, 1, 5, 7, 0},  {3, 0, 1, 6, 7, 0},  {4, 2, 1, 7, 7, 0},  {5, 2, 1, 4, 6, 0},
    {6, 0, 1, 5, 6, 0},  {7, 0, 1, 6, 6, 0},  {8, 2, 1, 7, 6, 0},  {9, 2, 1, 4, 5, 0},  {10, 0, 1, 5, 5, 0},
    {11, 2, 1, 6, 5, 0}, {12, 1, 1, 7, 5, 0}, {13, 2, 1, 4, 4, 0}, {14, 1, 1, 5, 4, 0}, {15, 1, 1, 6, 4, 0},
    {16, 1, 1, 7, 4, 0}, {5, 0, 2, 0, 0, 1},  {9, 0, 2, 0, 0, 0},  {13, 0, 2, 0, 0, 0}, {5, 0, 4, 0, 0, 1},
    {9, 0, 4, 0, 0, 0},  {13, 0, 4, 0, 0, 0}, {1, 0, 2, 0, 0, 1},  {2, 0, 2, 0, 0, 0},  {1, 0, 4, 0, 0, 1},
    {2, 0, 4, 0, 0, 0},  {6, 0, 3, 5, 7, 1},  {10, 0, 3, 5, 6, 0}, {14, 0, 3, 5, 5, 0}, {3, 0, 2, 0, 0, 1},
    {6, 0, 2, 0, 0, 0},  {7, 0, 2, 0, 0, 0},  {10, 0, 2, 0, 0, 0}, {3, 0, 4, 0, 0, 1},  {6, 0, 4, 0, 0, 0},
    {7, 0, 4, 0, 0, 0},  {10, 0, 4, 0, 0, 0}, {14, 0, 3, 5, 7, 1}, {15, 0, 3, 6, 6, 0}, {11, 0, 3, 6, 7, 0},
    {11, 0, 2, 0, 0, 1}, {4, 0, 2, 0, 0, 0},  {8, 0, 2, 0, 0, 0},  {11, 0, 4, 0, 0, 1}, {4, 0, 4, 0, 0, 0},
    {8, 0, 4, 0, 0, 0},  {15, 0, 3, 6, 7, 1}, {12, 0, 3, 7, 7, 0}, {16, 0, 3, 7, 6, 0}, {15, 0, 2, 0, 0, 1},
    {12, 0, 2, 0, 0, 0}, {16, 0, 2, 0, 0, 0}, {14, 0, 2, 0, 0, 0}, {15, 0, 4, 0, 0, 1}, {12, 0, 4, 0, 0, 0},
    {16, 0, 4, 0, 0, 0}, {14, 0, 4, 0, 0, 0}, {0, 0, 5, 0, 0, 1},  {0, 0, 5, 0, 0, 1},  {0, 0, 5, 0, 0, 1},
    {-1, 0, 0, 0, 0, 0},
};

namespace {

// Appear strip (3 frames) and select strip (2 frames) of each colour.
const char* const kAppearStrip[3] = {"s_r_app", "s_g_app", "s_y_app"};
const char* const kSelectStrip[3] = {"s_r_sel", "s_g_sel", "s_y_sel"};

Graphics::Rect SpriteRect(int32_t frame) {
    return Graphics::Rect{frame * GamePreview::kSprite, 0,
                          frame * GamePreview::kSprite + GamePreview::kSprite, GamePreview::kSprite};
}

} // namespace

GamePreview::GamePreview(const PreviewStep* script) : script_(script) {
    int32_t highest = 0;
    for (const PreviewStep* s = script; s->piece != -1; ++s) {
        highest = std::max(highest, s->piece);
        ++stepCount_;
    }
    highestPiece = highest;
    pieces.resize(static_cast<size_t>(highest) + 1);
}

void GamePreview::Apply(const PreviewStep& s, uint32_t now) {
    lastStepTime = now;
    if (s.action == kPreviewNone) return;
    PreviewPiece& piece = pieces[static_cast<size_t>(s.piece)];
    piece.state = s.action;
    piece.stateTime = now;
    switch (s.action) {
    case kPreviewAppear:
        piece.frame = 0;
        piece.colour = s.colour;
        piece.x = s.x;
        piece.y = s.y;
        break;
    case kPreviewMove:
        piece.targetX = s.x;
        piece.targetY = s.y;
        break;
    case kPreviewDisappear:
        // The countdown of Draw takes the first frame from here.
        piece.frame = 100;
        break;
    default:
        break;
    }
}

void GamePreview::Tick() {
    const uint32_t now = Platform::TimeMs();
    if (stepCount_ == 0) return;

    // A script without any waiting step would never let go; one round through it is the limit.
    for (int32_t applied = 0; applied <= stepCount_; ++applied) {
        const PreviewStep& current = script_[step];
        if (!(current.wait == 0 || now > lastStepTime + kStepWait)) break;
        Apply(current, now);
        ++step;
        if (script_[step].piece == -1) {
            step = 0;
            for (PreviewPiece& piece : pieces)
                piece.state = kPieceHidden;
        }
    }

    for (PreviewPiece& piece : pieces) {
        piece.pixelX = piece.x * kCell;
        piece.pixelY = piece.y * kCell;
        switch (piece.state) {
        case kPieceAppearing:
            if (now > piece.stateTime + 3 * kFrameTime) piece.state = kPieceShown;
            break;
        case kPieceDisappearing:
            if (now > piece.stateTime + 3 * kFrameTime) piece.state = kPieceHidden;
            break;
        case kPieceMoving: {
            if (piece.x == piece.targetX && piece.y == piece.targetY) {
                piece.state = kPieceShown;
                break;
            }
            // A straight line at one cell per 200 ms.
            const int64_t t = static_cast<uint32_t>(now - piece.stateTime);
            const int64_t sx = piece.x * kCell, sy = piece.y * kCell;
            const int64_t dx = piece.targetX * kCell - sx, dy = piece.targetY * kCell - sy;
            const double d = std::sqrt(static_cast<double>(dx * dx + dy * dy));
            const double cells = d / kCell;
            piece.pixelX =
                static_cast<int32_t>(static_cast<double>(sx) + static_cast<double>(dx * t / 200) / cells);
            piece.pixelY =
                static_cast<int32_t>(static_cast<double>(sy) + static_cast<double>(dy * t / 200) / cells);
            const double ex = static_cast<double>(piece.pixelX - sx),
                         ey = static_cast<double>(piece.pixelY - sy);
            if (std::sqrt(ex * ex + ey * ey) > d) {
                piece.x = piece.targetX;
                piece.y = piece.targetY;
            }
            break;
        }
        default:
            break;
        }
    }
}

const char* GamePreview::PieceSource(PreviewPiece& piece, uint32_t now, Graphics::Rect& source) const {
    const int32_t colour = std::clamp(piece.colour, 0, 2);
    const uint32_t ticks = (now - piece.stateTime) / kFrameTime;
    switch (piece.state) {
    case kPieceAppearing:
        piece.frame = std::max(piece.frame, static_cast<int32_t>(ticks % 3));
        source = SpriteRect(piece.frame);
        return kAppearStrip[colour];
    case kPieceSelected:
        source = SpriteRect(static_cast<int32_t>(ticks % 2));
        return kSelectStrip[colour];
    case kPieceMoving:
    case kPieceShown:
        source = SpriteRect(2);
        return kAppearStrip[colour];
    case kPieceDisappearing:
        piece.frame = std::min(piece.frame, 3 - static_cast<int32_t>(ticks % 3) - 1);
        source = SpriteRect(piece.frame);
        return kAppearStrip[colour];
    default:
        return nullptr;
    }
}

void GamePreview::Draw(SDL_Surface* surface, int32_t ox, int32_t oy) {
    const uint32_t now = Platform::TimeMs();
    for (PreviewPiece& piece : pieces) {
        Graphics::Rect source;
        const char* name = PieceSource(piece, now, source);
        if (!name || !surface) continue;
        SDL_Surface* picture = Renderer::GetPicture(name);
        if (!picture) continue;
        Graphics::Blit(surface, piece.pixelX + ox, piece.pixelY + oy, picture, &source, true);
    }
}

namespace {

struct PreviewSet {
    GamePreview previews[kPreviews] = {GamePreview(kPreviewLines), GamePreview(kPreviewSwaps),
                                       GamePreview(kPreviewSquares), GamePreview(kPreviewGroups)};
};

PreviewSet& Set() {
    static PreviewSet set;
    return set;
}

constexpr int32_t kOrigins[kPreviews][2] = {{46, 393}, {437, 188}, {207, 188}, {575, 425}};

} // namespace

GamePreview& Preview(int32_t index) {
    return Set().previews[std::clamp(index, 0, kPreviews - 1)];
}

void PreviewOrigin(int32_t index, int32_t& x, int32_t& y) {
    index = std::clamp(index, 0, kPreviews - 1);
    x = kOrigins[index][0];
    y = kOrigins[index][1];
}

void TickPreviews() {
    for (int32_t i = 0; i < kPreviews; ++i)
        Preview(i).Tick();
}

void DrawPreviews(SDL_Surface* surface) {
    for (int32_t i = 0; i < kPreviews; ++i) {
        int32_t x = 0, y = 0;
        PreviewOrigin(i, x, y);
        Preview(i).Draw(surface, x, y);
    }
}

} // namespace Game
