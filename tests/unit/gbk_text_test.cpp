#include "text/gbk_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>

namespace pelnor {
namespace {

// The build turns UTF-8 literals into GBK; everything else relies on it.
TEST(GbkLiteral, ChineseLiteralIsGbkBytes) {
  EXPECT_EQ(std::string("当前状态：拔号完毕"),
            "\xB5\xB1\xC7\xB0\xD7\xB4\xCC\xAC\xA3\xBA\xB0\xCE\xBA\xC5\xCD\xEA\xB1\xCF");
}

TEST(IntToText, PlainDecimal) {
  EXPECT_EQ(IntToText(0), "0");
  EXPECT_EQ(IntToText(-1), "-1");
  EXPECT_EQ(IntToText(33001), "33001");
  EXPECT_EQ(IntToText(INT64_C(-4294967296)), "-4294967296");
}

struct IntCase {
  const char* text;
  std::int32_t value;
};

void PrintTo(const IntCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class TextToIntTest : public testing::TestWithParam<IntCase> {};

TEST_P(TextToIntTest, Converts) { EXPECT_EQ(TextToInt(GetParam().text), GetParam().value); }

INSTANTIATE_TEST_SUITE_P(
    Cases, TextToIntTest,
    testing::Values(IntCase{"", 0}, IntCase{"60", 60}, IntCase{" 2", 2}, IntCase{"\t\r\n 7", 7},
                    IntCase{"2x", 2}, IntCase{"abc", 0}, IntCase{"-3", -3}, IntCase{"+8", 8},
                    IntCase{"+-3", 0}, IntCase{"- 3", 0}, IntCase{"x5", 0},
                    // full-width forms count as ASCII
                    IntCase{"２", 2}, IntCase{"１２０", 120}, IntCase{"－５", -5},
                    IntCase{"＋９", 9}, IntCase{"　４", 4}, IntCase{"1２3", 123},
                    IntCase{"中1", 0}, IntCase{"3秒", 3},
                    // no overflow detection: modulo 2^32
                    IntCase{"2147483647", INT_MAX}, IntCase{"2147483648", INT_MIN},
                    IntCase{"-2147483649", INT_MAX}, IntCase{"4294967297", 1},
                    IntCase{"99999999999999999999", 1661992959}));

struct FindCase {
  const char* text;
  const char* what;
  int start;
  bool fold;
  int position;
};

void PrintTo(const FindCase& c, std::ostream* os) {
  *os << '"' << c.what << "\" in \"" << c.text << "\" from " << c.start;
}

class FindTextTest : public testing::TestWithParam<FindCase> {};

TEST_P(FindTextTest, Finds) {
  const auto& c = GetParam();
  EXPECT_EQ(FindText(c.text, c.what, c.start, c.fold), c.position)
      << c.text << " / " << c.what << " from " << c.start;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindTextTest,
    testing::Values(FindCase{"x[10.0.0.1]y", "[", 0, false, 2},
                    FindCase{"x[10.0.0.1]y", "]", 3, false, 11},
                    FindCase{"abcabc", "bc", 3, false, 5},  // position counts from the text's start
                    FindCase{"abc", "c", 3, false, 3}, FindCase{"abc", "c", 4, false, -1},
                    FindCase{"abc", "", 2, false, 1}, FindCase{"abc", "", 4, false, -1},
                    FindCase{"", "", 0, false, -1}, FindCase{"abc", "abcd", 0, false, -1},
                    FindCase{"IP:[x]", "ip", 0, false, -1}, FindCase{"IP:[x]", "ip", 0, true, 1},
                    // the trail byte of 乕 (0x81 0x5B) is not a "["
                    FindCase{"乕a[b]", "[", 0, false, 4},
                    // a match may not begin on a trail byte even when it would fit
                    FindCase{"乕[", "[", 0, false, 3},
                    // a two-byte character found whole, also case-insensitively
                    FindCase{"ab当前c", "当前", 0, true, 3},
                    // a lead byte with nothing after it ends the search
                    FindCase{"a\xB5", "x", 0, false, -1}));

TEST(FindLastByte, StepsOverTrailBytes) {
  // 淺 is 0x9C 0x5C in GBK: its trail byte looks like a backslash.
  EXPECT_EQ(FindLastByte("C:\\淺", '\\'), 2u);
  EXPECT_EQ(FindLastByte("C:\\a\\b", '\\'), 4u);
  EXPECT_EQ(FindLastByte("淺", '\\'), std::string_view::npos);
}

TEST(CutToCharBoundary, NeverSplitsACharacter) {
  EXPECT_EQ(CutToCharBoundary("abc", 5), "abc");
  EXPECT_EQ(CutToCharBoundary("abc", 2), "ab");
  EXPECT_EQ(CutToCharBoundary("a当前", 2), "a");  // would split 当
  EXPECT_EQ(CutToCharBoundary("a当前", 3), "a当");
  EXPECT_EQ(CutToCharBoundary("当前", 0), "");
}

}  // namespace
}  // namespace pelnor
