#include "core/Utf8.h"

#include <cstdint>

namespace Utf8 {
namespace {

// Decodes one sequence at `i`; false (and `i` past one byte) for an invalid one.
bool Next(const std::string& s, size_t& i, char32_t& out) {
    const auto byte = [&s](size_t at) { return static_cast<uint8_t>(s[at]); };
    const uint8_t b0 = byte(i);
    size_t len = 0;
    char32_t cp = 0, min = 0;
    if (b0 < 0x80) {
        out = b0;
        ++i;
        return true;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        ++i;
        return false;
    }
    if (i + len > s.size()) {
        ++i;
        return false;
    }
    for (size_t k = 1; k < len; ++k) {
        const uint8_t b = byte(i + k);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return false;
    }
    out = cp;
    i += len;
    return true;
}

} // namespace

std::string FromUtf16(const char16_t* text, size_t maxUnits) {
    std::string out;
    for (size_t i = 0; text && i < maxUnits && text[i] != 0; ++i) {
        const char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::u16string ToUtf16(const std::string& bytes) {
    std::u16string out;
    size_t i = 0;
    char32_t c = 0;
    while (i < bytes.size())
        if (Next(bytes, i, c) && c <= 0xFFFF) out.push_back(static_cast<char16_t>(c));
    return out;
}

bool IsValid(const std::string& bytes) {
    size_t i = 0;
    char32_t c = 0;
    while (i < bytes.size())
        if (!Next(bytes, i, c)) return false;
    return true;
}

std::u16string StoredToUtf16(const std::string& bytes) {
    if (IsValid(bytes)) return ToUtf16(bytes);
    std::u16string out;
    for (char b : bytes)
        out.push_back(static_cast<unsigned char>(b));
    return out;
}

} // namespace Utf8
