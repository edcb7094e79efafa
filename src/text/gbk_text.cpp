#include "text/gbk_text.h"

namespace pelnor {

namespace {

bool IsBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

unsigned char FoldCase(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// The ASCII form of a full-width digit, plus, minus or space; 0 for anything else.
char FullWidthToAscii(unsigned char lead, unsigned char trail) {
  if (lead == 0xA3) {
    if (trail >= 0xB0 && trail <= 0xB9) return static_cast<char>('0' + (trail - 0xB0));
    if (trail == 0xAB) return '+';
    if (trail == 0xAD) return '-';
  }
  if (lead == 0xA1 && trail == 0xA1) return ' ';
  return 0;
}

bool MatchesAt(std::string_view text, std::size_t at, std::string_view what, bool fold) {
  if (text.size() - at < what.size()) return false;
  for (std::size_t j = 0; j < what.size(); ++j) {
    const auto t = static_cast<unsigned char>(text[at + j]);
    const auto w = static_cast<unsigned char>(what[j]);
    if (IsLeadByte(w) && j + 1 < what.size()) {
      // Both bytes of a two-byte character compare exactly, whatever the mode.
      if (t != w || text[at + j + 1] != what[j + 1]) return false;
      ++j;
      continue;
    }
    if (fold ? FoldCase(t) != FoldCase(w) : t != w) return false;
  }
  return true;
}

}  // namespace

std::string IntToText(std::int64_t value) { return std::to_string(value); }

std::int32_t TextToInt(std::string_view text) {
  std::string ascii;
  ascii.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c) && i + 1 < text.size()) {
      const char folded = FullWidthToAscii(c, static_cast<unsigned char>(text[i + 1]));
      if (folded) {
        ascii.push_back(folded);
      } else {
        ascii.append(text.substr(i, 2));
      }
      ++i;
      continue;
    }
    ascii.push_back(static_cast<char>(c));
  }

  std::size_t i = 0;
  while (i < ascii.size() && IsBlank(static_cast<unsigned char>(ascii[i]))) ++i;
  bool negative = false;
  if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-')) negative = ascii[i++] == '-';
  std::uint32_t value = 0;  // unsigned: the wrap-around is defined
  for (; i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9'; ++i) {
    value = value * 10u + static_cast<std::uint32_t>(ascii[i] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

int FindText(std::string_view text, std::string_view what, int start, bool case_insensitive) {
  std::size_t at = start <= 1 ? 0 : static_cast<std::size_t>(start) - 1;
  if (at >= text.size()) return -1;
  if (what.empty()) return 1;
  while (at < text.size()) {
    if (MatchesAt(text, at, what, case_insensitive)) return static_cast<int>(at) + 1;
    if (IsLeadByte(static_cast<unsigned char>(text[at]))) {
      if (at + 1 >= text.size()) break;  // a lead byte with no trail ends the search
      at += 2;
    } else {
      ++at;
    }
  }
  return -1;
}

std::size_t FindLastByte(std::string_view text, char byte) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(text[i]))) {
      ++i;
    } else if (text[i] == byte) {
      found = i;
    }
  }
  return found;
}

std::string_view CutToCharBoundary(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  std::size_t end = 0;
  while (end < max_bytes) {
    const std::size_t width = IsLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
    if (end + width > max_bytes) break;
    end += width;
  }
  return text.substr(0, end);
}

}  // namespace pelnor
