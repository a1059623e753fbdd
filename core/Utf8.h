#pragma once
#include <cstddef>
#include <string>

// Names typed by the player are 16-bit text in the program and UTF-8 in the store.
namespace Utf8 {

// UTF-8 bytes of the first `maxUnits` units of `text` (stops at a zero unit). Lone surrogates are
// left out.
std::string FromUtf16(const char16_t* text, size_t maxUnits);

// The characters of basic multilingual plane in `bytes`, in order; anything else (bytes that are
// not UTF-8, characters beyond U+FFFF) is left out.
std::u16string ToUtf16(const std::string& bytes);

// A stored name: UTF-8 when the bytes are valid UTF-8, otherwise one character per byte (names
// written by older versions or edited by hand in a single-byte encoding).
std::u16string StoredToUtf16(const std::string& bytes);

bool IsValid(const std::string& bytes);

} // namespace Utf8
