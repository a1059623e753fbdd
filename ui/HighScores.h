#pragma once
#include <cstdint>

// The five best results of each of the four games, kept in the user's registry key
// "Software\Quillmarsh\Parlorix\Scores". Tables are indexed by the game mode value (Lines 0,
// Groups 1, Squares 2, Swaps 3). Rows inserted since the marks were last cleared stay marked so
// the high-score screen can show which one is new.
namespace HighScores {

inline constexpr int32_t kTables = 4;
inline constexpr int32_t kEntries = 5;
inline constexpr int32_t kNameChars = 15;
inline constexpr const char* kRegistryKey = "Software\\Quillmarsh\\Parlorix\\Scores";

struct Entry {
    char16_t name[kNameChars + 1] = {};
    // Unsigned as the stored DWORD: a hand-edited score above 2^31 - 1 never shows negative.
    uint32_t score = 0;
};

struct Table {
    Entry entries[kEntries];
    uint8_t marks[kEntries] = {};
};

// Reads all four tables ("Player%d%dName" strings and "Player%d%dScore" DWORDs, table then rank).
// A row counts only when both of its values are there. Clears every mark. Always succeeds.
void Load();

// Overwrites the last row with (name, score), marks it and bubbles it up by score, highest first;
// equal scores never change places, so a new result ranks below an older equal one. The table is
// then written back to the registry as one replacement of the store. The caller checks Qualifies
// first. Out-of-range tables are ignored. Returns whether the save succeeded; when it did not, the
// table stays unsaved (SaveFailed) and every later save, the one at exit included, tries again.
[[nodiscard]] bool Insert(int32_t table, const char16_t* name, uint32_t score);

// Whether a finished game's result earns a row: the score is above 0 and above the lowest score
// of the table (so a table with an empty row takes any positive score).
bool Qualifies(int32_t table, uint32_t score);

void ClearMarks(int32_t table);

// Writes one table to the registry in one batch; false when the key cannot be opened or the store
// not written (the reason is in the log and in LastSaveError).
[[nodiscard]] bool Save(int32_t table);

// Saves every table whose last save failed; true when none is left unsaved.
[[nodiscard]] bool SaveUnsaved();
// Whether the table's newest result is not on disk, and why.
bool SaveFailed(int32_t table);
const char* LastSaveError();

// Read access; an out-of-range index gives an empty table.
const Table& Get(int32_t table);

// Empties every table in memory and forgets the open registry key (tests).
void Reset();

} // namespace HighScores
