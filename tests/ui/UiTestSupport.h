#pragma once
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "gen-common/ImageIO.h"
#include "ui/TextTable.h"

// Shared by the ui tests: the shipped test font, text files as stored, and PNG copies of drawn
// pictures for a person to review.
namespace UiTest {

inline std::string SourceDir() {
    const char* dir = std::getenv("PARLORIX_SOURCE_DIR");
    return dir ? dir : PARLORIX_TEST_SOURCE_DIR;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A text file as stored: byte-order mark, then UTF-16 little-endian units.
inline std::string Utf16File(const std::u16string& text) {
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

// Adds `text` to `table` as one stored file of `language` ("" for the base texts).
inline void AddTexts(TextTable& table, const std::u16string& text, const std::string& language = "") {
    const std::string bytes = Utf16File(text);
    table.AddFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), language);
}

// DejaVu Sans (fonts-dejavu-core, free licence), shipped under tests/ui/data.
inline std::string TestFontBytes() {
    return ReadFile(SourceDir() + "/tests/ui/data/DejaVuSans.ttf");
}

// Writes 32-bit pixels (blue, green, red, alpha bytes) as an opaque PNG into the build tree's
// tests/ui folder, when the build folder is known.
inline void WriteReviewPng(const char* name, const uint8_t* bgra, uint32_t width, uint32_t height) {
    const char* build = std::getenv("PARLORIX_BUILD_DIR");
    if (!build) return;
    std::vector<Gen::Rgba8> rgba(size_t(width) * height);
    for (size_t i = 0; i < rgba.size(); ++i)
        rgba[i] = {bgra[i * 4 + 2], bgra[i * 4 + 1], bgra[i * 4], 255};
    Gen::WritePng(std::string(build) + "/tests/ui/" + name, rgba, int(width), int(height));
}

} // namespace UiTest
