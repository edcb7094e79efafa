// TextToInt over arbitrary bytes, against strtoull on the text with its
// full-width forms folded by a table of the characters themselves.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.h"

namespace {

using pelnor::IsLeadByte;

constexpr std::string_view kFullWidth[][2] = {
    {"０", "0"}, {"１", "1"}, {"２", "2"}, {"３", "3"}, {"４", "4"}, {"５", "5"}, {"６", "6"},
    {"７", "7"}, {"８", "8"}, {"９", "9"}, {"＋", "+"}, {"－", "-"}, {"　", " "}};

std::string FoldFullWidth(std::string_view text) {
  std::string folded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t width =
        IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    std::string_view piece = text.substr(i, width);
    for (const auto& [wide, ascii] : kFullWidth) {
      if (piece == wide) piece = ascii;
    }
    folded.append(piece);
    i += width - 1;
  }
  return folded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::int32_t value = pelnor::TextToInt(text);

  // strtoull skips the same blanks in the C locale, takes one sign, reads
  // decimal digits and negates modulo 2^64; it stops at a zero byte, as
  // TextToInt stops at any byte that is not a digit.
  const std::string folded = FoldFullWidth(text);
  errno = 0;
  const unsigned long long expected = std::strtoull(folded.c_str(), nullptr, 10);
  if (errno != ERANGE)
    FUZZ_CHECK(value == static_cast<std::int32_t>(static_cast<std::uint32_t>(expected)));

  FUZZ_CHECK(pelnor::TextToInt(pelnor::IntToText(value)) == value);
  return 0;
}
