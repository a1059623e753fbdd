#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Localized texts shown to the player, looked up by key. Loaded once at start-up from every
// "txt" file of "Data\Library\text" (UTF-16 little-endian behind a byte-order mark, one
// "key=text" entry per line). Keys are not unique: the first pair read wins.
//
// A file named after a language code ("de.txt", "pt_BR.txt") holds that language; every other
// file ("english.txt") holds the base texts. A look-up takes the chosen language's text first
// and the base text when the language lacks the key.
class TextTable {
  public:
    // Reads every text file the file layer lists (archive entries first, then disk files).
    // Always succeeds; a missing folder leaves the table empty.
    void Load();
    // Parses one file image (bytes as stored, mark included) and appends its pairs to the
    // language's texts ("" for the base texts).
    void AddFile(const uint8_t* data, size_t size, const std::string& language = "");
    void Clear();

    // The language whose texts come first ("" or a code without texts: the base texts alone).
    void SetLanguage(const std::string& code);
    const std::string& Language() const { return language_; }
    // Whether any file of that language was read.
    bool HasLanguage(const std::string& code) const;

    // The first text stored under the key, or nullptr (logged) when there is none. The pointer
    // stays valid until Clear(): callers keep it.
    const char16_t* GetText(const char16_t* key) const;
    // Same, for keys written in the program as 8-bit text.
    const char16_t* GetText(const char* key) const;
    // The text of the same key in the current language, for a pointer that GetText gave out in
    // any language; any other pointer comes back unchanged.
    const char16_t* Retranslate(const char16_t* text) const;
    // Codes of the languages read, in the order their first file was read ("" for the base texts
    // comes first).
    const std::vector<std::string>& Languages() const { return languages_; }
    // Keys of the pairs read for that language, in file order.
    std::vector<std::u16string> Keys(const std::string& language) const;

    size_t Count() const { return pairs_.size(); }

  private:
    struct Pair {
        const char16_t* key;
        const char16_t* text;
        int32_t language; // index into languages_
    };
    const Pair* Find(const char16_t* key, int32_t language) const;
    int32_t LanguageIndex(const std::string& code) const;

    // Each loaded file, kept whole: keys and texts point into these.
    std::vector<std::unique_ptr<char16_t[]>> buffers_;
    std::vector<Pair> pairs_;
    // Per language: key -> index into pairs_ (texts are looked up on every frame).
    std::vector<std::unordered_map<std::u16string_view, size_t>> index_;
    std::vector<std::string> languages_{""}; // index 0: the base texts
    std::string language_;
    int32_t current_ = -1;
};

// The process-wide text table.
extern TextTable g_TextTable;
