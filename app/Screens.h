#pragma once

// The app's few calls into the screens above it, kept in one place.
namespace App {

// Start-up step 14: per-scene callbacks and every menu, in their fixed order.
void RegisterScreens();
// Start-up step 10: the high-score tables.
void LoadHighScores();
void SetShowFps(bool on);
bool ShowFps();

} // namespace App
