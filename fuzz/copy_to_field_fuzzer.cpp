// CopyToField over arbitrary texts and field widths: texts from the echo page
// reach the tray record's fixed fields through it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "tray/tray_icon.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::size_t width = in.ConsumeIntegralInRange<std::size_t>(1, 300);
  const std::string text = in.ConsumeRemainingBytesAsString();
  std::vector<char> field(width, '\x55');  // exactly the field: ASan sees a byte past it
  pelnor::CopyToField(field.data(), width, text);

  // The longest run of whole characters that leaves room for the zero byte; a
  // text that fits is kept whole, even when it ends in half a character.
  const std::size_t kept = pelnor::CutToCharBoundary(text, width - 1).size();
  FUZZ_CHECK(kept <= width - 1);
  FUZZ_CHECK(kept == text.size() || pelnor::fuzz::IsCharStart(text, 0, kept));
  if (kept < text.size()) {
    const bool lead = pelnor::IsLeadByte(static_cast<unsigned char>(text[kept]));
    FUZZ_CHECK(kept + (lead ? 2 : 1) > width - 1);
  }
  FUZZ_CHECK(std::memcmp(field.data(), text.data(), kept) == 0);
  for (std::size_t i = kept; i < width; ++i) FUZZ_CHECK(field[i] == 0);
  return 0;
}
