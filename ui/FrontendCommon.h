#pragma once
#include <cstdint>
#include <string>

#include "gfx/Graphics.h"
#include "ui/Frontend.h"

// Helpers shared by the front-end screens' source files.
namespace Frontend {

inline constexpr uint32_t kWhite = 0xFFFFFFFF;
inline constexpr uint32_t kYellow = 0xFFFFFF00;
inline constexpr uint32_t kRed = 0xFFFF4040;

// High-score rows: five rows below the tabs.
inline constexpr int32_t kScoreRowTop = 250;
inline constexpr int32_t kScoreRowStep = 45;

// Empties the current menu so that the next screen starts with nothing highlighted.
void PollEmpty();
// Polls the empty menu and switches to `scene` (the title screen when it is empty).
void SwitchBack(const std::string& scene);
// Text-table look-up (nullptr when missing).
const char16_t* Txt(const char* key);
// A library picture blitted with its colour key; nothing when it is missing.
void BlitPicture(SDL_Surface* surface, const char* name, int32_t x, int32_t y, const Graphics::Rect* source);
const AppHooks& App();
void DrawScoreRows(SDL_Surface* surface);

} // namespace Frontend
