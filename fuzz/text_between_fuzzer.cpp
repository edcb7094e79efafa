// FindText and TextBetween over arbitrary texts, delimiters (the quote marker
// among them) and start positions, in both case modes, against the search rule
// as documented, written out plainly.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "address/external_address.h"
#include "fuzz_support.h"

namespace {

using pelnor::IsLeadByte;
using pelnor::fuzz::IsCharStart;

constexpr std::string_view kQuoteMarker = "#引号";

bool IsLead(char c) {
  return IsLeadByte(static_cast<unsigned char>(c));
}
char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string ReplaceMarker(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    if (text.substr(i).starts_with(kQuoteMarker)) {
      out += '"';
      i += kQuoteMarker.size();
    } else {
      const std::size_t width = IsLead(text[i]) && i + 1 < text.size() ? 2 : 1;
      out += text.substr(i, width);
      i += width;
    }
  }
  return out;
}

// Letters compare without regard to case; the byte after a lead byte is a
// trail byte, not a letter.
bool Matches(std::string_view candidate, std::string_view what, bool case_insensitive) {
  for (std::size_t i = 0; i < what.size(); ++i) {
    const bool trail = i > 0 && IsLead(what[i - 1]) && IsCharStart(what, 0, i - 1);
    const bool fold = case_insensitive && !trail;
    if (fold ? Lower(candidate[i]) != Lower(what[i]) : candidate[i] != what[i]) return false;
  }
  return true;
}

std::int64_t Find(std::string_view text, std::string_view what, std::int64_t start, bool fold) {
  for (std::size_t at = start <= 1 ? 0 : start - 1; at < text.size();
       at += IsLead(text[at]) ? 2 : 1) {
    if (what.empty()) return 1;
    if (text.size() - at >= what.size() && Matches(text.substr(at, what.size()), what, fold))
      return at + 1;
  }
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const bool fold = in.ConsumeBool();
  const bool any_start = in.ConsumeBool();
  const int start = any_start ? in.ConsumeIntegral<int>() : in.ConsumeIntegralInRange(-2, 64);
  const std::string left = in.ConsumeRandomLengthString(24);
  const std::string right = in.ConsumeRandomLengthString(24);
  const std::string text = in.ConsumeRemainingBytesAsString();

  const std::string left2 = ReplaceMarker(left);
  const std::string right2 = ReplaceMarker(right);
  const std::size_t from = start <= 1 ? 0 : static_cast<std::size_t>(start) - 1;

  // A match is the first one and never begins on a trail byte.
  const int found = pelnor::FindText(text, left2, start, fold);
  FUZZ_CHECK(found == Find(text, left2, start, fold));
  if (found > 0 && !left2.empty())
    FUZZ_CHECK(IsCharStart(text, from, static_cast<std::size_t>(found) - 1));

  std::string expected;
  const std::int64_t after = found + static_cast<std::int64_t>(left2.size());
  if (found > 0) {
    const std::int64_t end = Find(text, right2, after, fold);
    if (end >= after) expected = text.substr(after - 1, end - after);
  }
  const std::string between = pelnor::TextBetween(text, left, right, start, fold);
  FUZZ_CHECK(between == expected);
  FUZZ_CHECK(text.find(between) != std::string::npos);
  // Only a left delimiter that ends in half a character can leave the result
  // beginning on a trail byte. An empty one is found at the first byte.
  if (!between.empty() && IsCharStart(left2, 0, left2.size())) {
    FUZZ_CHECK(IsCharStart(text, left2.empty() ? 0 : from, static_cast<std::size_t>(after) - 1));
  }
  return 0;
}
