// The address lookup over arbitrary page bytes, a fuzzed Content-Length text
// and fuzzed piece sizes: what it reads and what it returns.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "address/external_address.h"
#include "fakes/fake_internet.h"
#include "fuzz_support.h"

namespace {

constexpr std::size_t kMaxBodyBytes = 1 << 20;

// The read size the announced length asks for: the header's text up to its
// zero byte, plus one byte, within 1..102400; 10240 when it gives no length.
std::uint32_t ReadSizeFor(const std::optional<std::string>& length) {
  if (!length || length->size() >= 32) return 10240;  // absent, or too long for its room
  const std::int64_t announced = pelnor::TextToInt(length->c_str());
  return announced <= 0 ? 10240
                        : static_cast<std::uint32_t>(std::min<std::int64_t>(announced + 1, 102400));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  pelnor::FakeInternet internet;
  pelnor::FakeInternet::Response response;
  if (in.ConsumeBool()) response.content_length = in.ConsumeRandomLengthString(40);
  const std::size_t max_piece = in.ConsumeIntegralInRange<std::size_t>(1, 1 << 17);
  // Rarely, as each such run takes milliseconds: a page past the 1 MiB the
  // lookup reads, made of the input repeated.
  const bool long_page = in.ConsumeIntegral<std::uint16_t>() == 0x5A5A;
  const std::size_t repeat_to =
      long_page ? in.ConsumeIntegralInRange<std::size_t>(1 << 20, 3 << 19) : 0;
  response.body = in.ConsumeRemainingBytesAsString();
  while (!response.body.empty() && response.body.size() < repeat_to) {
    response.body.append(response.body, 0,
                         std::min(response.body.size(), repeat_to - response.body.size()));
  }
  // Long pages come in fewer pieces, or a run would take a million reads.
  internet.max_piece = std::max(max_piece, response.body.size() / 256);
  internet.server = [&](const std::string&, const std::string&) { return response; };

  std::string address;
  {
    pelnor::ExternalAddress lookup(internet, "http://echo.test/ic.asp");
    address = lookup.LookUpExternalAddress();
    // Everything but the client's own handle is closed after the fetch.
    FUZZ_CHECK(internet.live.size() == 1);
  }
  FUZZ_CHECK(internet.live.empty());

  const std::string page =
      pelnor::BytesToText(std::string_view(response.body).substr(0, kMaxBodyBytes));
  FUZZ_CHECK(address == pelnor::TextBetween(page, "[", "]", 0, false));

  // Every read asks for at most the read size the announced length gives.
  FUZZ_CHECK(!internet.read_sizes.empty());
  FUZZ_CHECK(internet.read_sizes.front() == ReadSizeFor(response.content_length));
  for (const std::uint32_t read_size : internet.read_sizes) {
    FUZZ_CHECK(read_size > 0 && read_size <= internet.read_sizes.front());
  }
  return 0;
}
