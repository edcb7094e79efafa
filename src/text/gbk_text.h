// GBK (code page 936) byte-string helpers shared by every module.
// A text is a std::string of GBK bytes; lengths and positions count bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelnor {

// A byte of 0x80 or above leads a two-byte character.
constexpr bool IsLeadByte(unsigned char byte) { return byte >= 0x80; }

// Decimal digits with a leading minus sign when negative; nothing else.
std::string IntToText(std::int64_t value);

// Full-width digits, signs and space folded to ASCII, then leading white space,
// one optional sign and decimal digits. No digits gives 0; wraps modulo 2^32.
std::int32_t TextToInt(std::string_view text);

// 1-based byte position of the first match of `what` in `text`, searching from
// `start` (1 or less: the first byte) and stepping over two-byte characters, so
// a match never begins on a trail byte. Not found: -1.
int FindText(std::string_view text, std::string_view what, int start, bool case_insensitive);

// 0-based index of the last `byte` in `text` that is not the trail byte of a
// two-byte character; npos when there is none.
std::size_t FindLastByte(std::string_view text, char byte);

// `text` cut to at most `max_bytes` bytes without splitting a character.
std::string_view CutToCharBoundary(std::string_view text, std::size_t max_bytes);

}  // namespace pelnor
