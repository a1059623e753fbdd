#include "ui/TextTable.h"

#include <cstring>

#include "core/FileLayer.h"
#include "core/Log.h"

TextTable g_TextTable;

namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}
// The file format compares only the low byte of each unit.
bool IsEquals(char16_t c) {
    return (c & 0xFF) == 0x3D;
}
bool IsLineEnd(char16_t c) {
    return (c & 0xFF) == 0x0D || (c & 0xFF) == 0x0A;
}

void OnTextFile(const char* fileName, void* user) {
    FileBuffer file(fileName);
    if (file.ok()) static_cast<TextTable*>(user)->AddFile(file.data(), file.size());
}

} // namespace

void TextTable::Load() {
    FileLayer::Enumerate("Data\\Library\\text", "txt", OnTextFile, this);
}

void TextTable::AddFile(const uint8_t* data, size_t size) {
    if (size < 2) return;
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
        pairs_.push_back({buf + keyStart, buf + textStart});
        while (pos < n && IsBlank(buf[pos]))
            ++pos;
    }
    buffers_.push_back(std::move(units));
}

void TextTable::Clear() {
    pairs_.clear();
    buffers_.clear();
}

const char16_t* TextTable::GetText(const char16_t* key) const {
    for (const Pair& p : pairs_) {
        const char16_t* a = p.key;
        const char16_t* b = key;
        while (*a && *a == *b) {
            ++a;
            ++b;
        }
        if (*a == *b) return p.text;
    }
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
