#pragma once
#include <cstdint>

// The scenes of the scene file's episode "Board", by what they show. Every screen switch, every
// callback registration and the start-up name their scene through these.
namespace SceneName {

inline constexpr const char* kEpisode = "Board";
inline constexpr const char* kTitle = "Level_00_00";
inline constexpr const char* kGameSelect = "Level_00_01";
inline constexpr const char* kHelp = "Level_00_02";
inline constexpr const char* kOptions = "Level_00_03";
// The board of Lines, Squares and Swaps, and the board of Groups.
inline constexpr const char* kBoard = "Level_01_00";
inline constexpr const char* kGroupsBoard = "Level_02_00";
inline constexpr const char* kPostScores = "Level_01_02";
// The high-score pages in tab order: Lines, Squares, Swaps, Groups.
inline constexpr int32_t kScorePages = 4;
inline constexpr const char* kScores[kScorePages] = {"Level_02_02", "Level_02_03", "Level_02_04",
                                                     "Level_02_05"};

} // namespace SceneName
