// What the fuzz targets share: a check that turns a broken invariant into a
// finding, and the two-byte character walk of GBK texts.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "text/gbk_text.h"

// libFuzzer keeps the input of any crash; abort() makes a broken invariant one.
#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: broken invariant: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (0)

namespace pelnor::fuzz {

// Whether `at` is where a character begins, walking `text` from `from`: each
// byte of 0x80 or above takes the byte after it as its trail byte.
inline bool IsCharStart(std::string_view text, std::size_t from, std::size_t at) {
  std::size_t i = from;
  while (i < at) i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  return i == at;
}

}  // namespace pelnor::fuzz
