#include "ui/HighScores.h"

#include <cstdio>
#include <string>
#include <utility>

#include "core/Utf8.h"
#include "platform/Registry.h"

namespace HighScores {
namespace {

Table g_tables[kTables];
bool g_unsaved[kTables] = {};
std::string g_lastError;
Platform::RegistryKey g_key;

bool ValidTable(int32_t table) {
    return table >= 0 && table < kTables;
}

std::string ValueName(int32_t table, int32_t entry, const char* what) {
    char name[32];
    std::snprintf(name, sizeof name, "Player%d%d%s", table, entry, what);
    return name;
}

bool OpenKey() {
    return g_key.IsOpen() || g_key.Open(kRegistryKey);
}

// Highest score first by neighbour exchanges until a pass changes nothing; equal scores never
// change places.
void SortTable(Table& t) {
    bool exchanged = true;
    while (exchanged) {
        exchanged = false;
        for (int32_t i = 0; i + 1 < kEntries; ++i) {
            if (t.entries[i].score < t.entries[i + 1].score) {
                std::swap(t.entries[i], t.entries[i + 1]);
                std::swap(t.marks[i], t.marks[i + 1]);
                exchanged = true;
            }
        }
    }
}

} // namespace

void Load() {
    OpenKey();
    for (int32_t t = 0; t < kTables; ++t) {
        for (int32_t e = 0; e < kEntries; ++e) {
            Entry& entry = g_tables[t].entries[e];
            entry = Entry();
            if (!g_key.IsOpen()) continue;
            char name[64] = {};
            uint32_t score = 0;
            if (!g_key.ReadString(ValueName(t, e, "Name"), name, sizeof name)) continue;
            if (!g_key.ReadDword(ValueName(t, e, "Score"), score)) continue;
            entry.score = score;
            // UTF-8; names stored by older versions are one byte per character.
            const std::u16string wide = Utf8::StoredToUtf16(name);
            for (size_t i = 0; i < static_cast<size_t>(kNameChars) && i < wide.size(); ++i)
                entry.name[i] = wide[i];
        }
        ClearMarks(t);
        // Insert replaces the last row, so it must hold the lowest score even when the stored
        // values were edited by hand.
        SortTable(g_tables[t]);
    }
}

bool Insert(int32_t table, const char16_t* name, uint32_t score) {
    if (!ValidTable(table)) return false;
    Table& t = g_tables[table];
    Entry& last = t.entries[kEntries - 1];
    last = Entry();
    for (int32_t i = 0; name && i < kNameChars && name[i] != 0; ++i)
        last.name[i] = name[i];
    last.score = score;
    t.marks[kEntries - 1] = 1;

    SortTable(t);
    // Kept across runs: the registry is where Load finds the tables.
    return Save(table);
}

bool Qualifies(int32_t table, uint32_t score) {
    if (!ValidTable(table) || score == 0) return false;
    const Table& t = g_tables[table];
    uint32_t lowest = t.entries[0].score;
    for (int32_t e = 0; e < kEntries; ++e) {
        if (t.entries[e].name[0] == 0 && t.entries[e].score == 0) return true;
        if (t.entries[e].score < lowest) lowest = t.entries[e].score;
    }
    return score > lowest;
}

void ClearMarks(int32_t table) {
    if (!ValidTable(table)) return;
    for (uint8_t& mark : g_tables[table].marks)
        mark = 0;
}

bool Save(int32_t table) {
    if (!ValidTable(table)) return false;
    g_unsaved[table] = true;
    if (!OpenKey()) {
        g_lastError = "the score store cannot be opened";
        return false;
    }
    // One batch: the file on disk holds the old table or the new one, never a mix of rows.
    g_key.Begin();
    for (int32_t e = 0; e < kEntries; ++e) {
        const Entry& entry = g_tables[table].entries[e];
        // Inside the batch a write only holds the value; Commit says whether it reached the file.
        (void)g_key.WriteString(ValueName(table, e, "Name"), Utf8::FromUtf16(entry.name, kNameChars));
        (void)g_key.WriteDword(ValueName(table, e, "Score"), entry.score);
    }
    if (!g_key.Commit()) {
        g_lastError = g_key.LastError();
        return false;
    }
    // Every table's values went out with this file.
    for (bool& unsaved : g_unsaved)
        unsaved = false;
    g_lastError.clear();
    return true;
}

bool SaveUnsaved() {
    for (int32_t t = 0; t < kTables; ++t)
        if (g_unsaved[t]) return Save(t);
    return true;
}

bool SaveFailed(int32_t table) {
    return ValidTable(table) && g_unsaved[table];
}

const char* LastSaveError() {
    return g_lastError.c_str();
}

const Table& Get(int32_t table) {
    static const Table empty;
    return ValidTable(table) ? g_tables[table] : empty;
}

void Reset() {
    for (Table& t : g_tables)
        t = Table();
    for (bool& unsaved : g_unsaved)
        unsaved = false;
    g_lastError.clear();
    g_key = Platform::RegistryKey();
}

} // namespace HighScores
