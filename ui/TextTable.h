#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Localized texts shown to the player, looked up by key. Loaded once at start-up from every
// "txt" file of "Data\Library\text" (UTF-16 little-endian behind a byte-order mark, one
// "key=text" entry per line). Keys are not unique: the first pair read wins.
class TextTable {
  public:
    // Reads every text file the file layer lists (archive entries first, then disk files).
    // Always succeeds; a missing folder leaves the table empty.
    void Load();
    // Parses one file image (bytes as stored, mark included) and appends its pairs.
    void AddFile(const uint8_t* data, size_t size);
    void Clear();

    // The first text stored under the key, or nullptr (logged) when there is none. The pointer
    // stays valid until Clear(): callers keep it.
    const char16_t* GetText(const char16_t* key) const;
    // Same, for keys written in the program as 8-bit text.
    const char16_t* GetText(const char* key) const;

    size_t Count() const { return pairs_.size(); }

  private:
    struct Pair {
        const char16_t* key;
        const char16_t* text;
    };
    // Each loaded file, kept whole: keys and texts point into these.
    std::vector<std::unique_ptr<char16_t[]>> buffers_;
    std::vector<Pair> pairs_;
};

// The process-wide text table.
extern TextTable g_TextTable;
