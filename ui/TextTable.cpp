#include "ui/TextTable.h"

#include <cstring>

#include "core/FileLayer.h"
#include "core/Log.h"

TextTable g_TextTable;

namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}
// Whole units are compared: "č" (U+010D) and "Ľ" (U+013D) are letters, though their low bytes
// are those of CR and "=".
bool IsEquals(char16_t c) {
    return c == u'=';
}
bool IsLineEnd(char16_t c) {
    return c == u'\r' || c == u'\n';
}

// "de" or "pt_BR": two small letters, optionally "_" and two capitals.
bool IsLanguageCode(const std::string& s) {
    auto lower = [](char c) { return c >= 'a' && c <= 'z'; };
    auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    if (s.size() != 2 && s.size() != 5) return false;
    if (!lower(s[0]) || !lower(s[1])) return false;
    return s.size() == 2 || (s[2] == '_' && upper(s[3]) && upper(s[4]));
}

// The language a text file holds, from its name: "Data\Library\text\pt_BR.txt" gives "pt_BR",
// "english.txt" the base texts ("").
std::string LanguageOfFile(const char* fileName) {
    std::string name = fileName;
    const size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return IsLanguageCode(name) ? name : std::string();
}

void OnTextFile(const char* fileName, void* user) {
    FileBuffer file(fileName);
    if (file.ok()) static_cast<TextTable*>(user)->AddFile(file.data(), file.size(), LanguageOfFile(fileName));
}

} // namespace

void TextTable::Load() {
    FileLayer::Enumerate("Data\\Library\\text", "txt", OnTextFile, this);
}

void TextTable::AddFile(const uint8_t* data, size_t size, const std::string& language) {
    if (size < 2) return;
    int32_t index = LanguageIndex(language);
    if (index < 0) {
        index = int32_t(languages_.size());
        languages_.push_back(language);
        if (language == language_) current_ = index;
    }
    // Units behind the 2-byte mark, plus a zero so that a last entry without "=" or line end
    // still ends inside the buffer. A trailing odd byte is not part of any unit.
    const size_t n = (size - 2) / 2;
    auto units = std::make_unique<char16_t[]>(n + 1);
    for (size_t i = 0; i < n; ++i)
        units[i] = static_cast<char16_t>(data[2 + 2 * i] | (data[3 + 2 * i] << 8));
    units[n] = 0;

    char16_t* buf = units.get();
    size_t pos = 0;
    while (pos < n) {
        const size_t keyStart = pos;
        while (pos < n && !IsEquals(buf[pos]))
            ++pos;
        if (pos >= n) break; // an entry without "=" holds no pair
        buf[pos++] = 0;
        const size_t textStart = pos;
        while (pos < n && !IsLineEnd(buf[pos]))
            ++pos;
        if (pos < n) buf[pos++] = 0;
        pairs_.push_back({buf + keyStart, buf + textStart, index});
        // The first pair read wins: a later one of the same key stays out of the index.
        if (index_.size() <= size_t(index)) index_.resize(size_t(index) + 1);
        index_[size_t(index)].try_emplace(std::u16string_view(buf + keyStart), pairs_.size() - 1);
        while (pos < n && IsBlank(buf[pos]))
            ++pos;
    }
    buffers_.push_back(std::move(units));
}

void TextTable::Clear() {
    pairs_.clear();
    index_.clear();
    buffers_.clear();
    languages_.assign(1, "");
    current_ = LanguageIndex(language_);
}

int32_t TextTable::LanguageIndex(const std::string& code) const {
    for (size_t i = 0; i < languages_.size(); ++i)
        if (languages_[i] == code) return int32_t(i);
    return -1;
}

void TextTable::SetLanguage(const std::string& code) {
    language_ = code;
    current_ = LanguageIndex(code);
}

bool TextTable::HasLanguage(const std::string& code) const {
    return !code.empty() && LanguageIndex(code) >= 0;
}

const TextTable::Pair* TextTable::Find(const char16_t* key, int32_t language) const {
    if (language < 0 || size_t(language) >= index_.size()) return nullptr;
    const auto& keys = index_[size_t(language)];
    const auto found = keys.find(std::u16string_view(key));
    return found == keys.end() ? nullptr : &pairs_[found->second];
}

const char16_t* TextTable::GetText(const char16_t* key) const {
    const Pair* found = current_ > 0 ? Find(key, current_) : nullptr;
    if (!found) found = Find(key, 0);
    if (found) return found->text;
    std::string narrow;
    for (const char16_t* k = key; *k; ++k)
        narrow.push_back(static_cast<char>(*k & 0xFF));
    LogMsg("ERROR: Text not found '%s'\n", narrow.c_str());
    return nullptr;
}

const char16_t* TextTable::GetText(const char* key) const {
    std::u16string wide;
    for (const char* k = key; *k; ++k)
        wide.push_back(static_cast<unsigned char>(*k));
    return GetText(wide.c_str());
}

const char16_t* TextTable::Retranslate(const char16_t* text) const {
    if (!text) return text;
    for (const Pair& p : pairs_)
        if (p.text == text) return GetText(p.key);
    return text;
}

std::vector<std::u16string> TextTable::Keys(const std::string& language) const {
    std::vector<std::u16string> keys;
    const int32_t index = LanguageIndex(language);
    for (const Pair& p : pairs_)
        if (p.language == index) keys.emplace_back(p.key);
    return keys;
}
