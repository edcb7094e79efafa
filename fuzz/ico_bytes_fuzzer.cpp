// IconFromIcoBytes over arbitrary bytes: the image it hands to the system is
// the one its directory entry names, cut to the bytes that are there.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "fakes/fake_main_window.h"
#include "fakes/fake_shell.h"
#include "fuzz_support.h"
#include "tray/tray_icon.h"

namespace {

// The system's icon maker, which must never be pointed outside the file.
class BoundedShell : public pelnor::FakeShell {
 public:
  explicit BoundedShell(std::string_view file) : file_(file) {}
  pelnor::IconHandle CreateIconFromResource(const std::uint8_t* bytes,
                                            std::uint32_t size) override {
    const auto* begin = reinterpret_cast<const std::uint8_t*>(file_.data());
    FUZZ_CHECK(bytes >= begin && bytes < begin + file_.size());
    FUZZ_CHECK(size > 0 && size <= file_.size() - static_cast<std::size_t>(bytes - begin));
    given = bytes;
    given_size = size;
    return FakeShell::CreateIconFromResource(bytes, size);
  }
  const std::uint8_t* given = nullptr;
  std::uint32_t given_size = 0;

 private:
  std::string_view file_;
};

std::uint32_t Field(std::string_view file, std::size_t at) {
  std::uint32_t value = 0;  // little-endian, as the host
  std::memcpy(&value, file.data() + at, sizeof value);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  for (int index = -1; index < 4; ++index) {
    pelnor::FakeMainWindow window;
    BoundedShell shell(file);
    pelnor::TrayIcon tray(shell, window, [](std::uint32_t) {});
    const pelnor::IconHandle icon = tray.IconFromIcoBytes(file, index);
    FUZZ_CHECK((icon != 0) == (shell.given != nullptr));
    // The index-th directory entry: the image's size at byte 8, its offset at byte 12.
    const std::size_t entry = 6 + 16 * static_cast<std::size_t>(index);
    if (index < 0 || size < entry + 16) {
      FUZZ_CHECK(icon == 0);
      continue;
    }
    const std::size_t offset = Field(file, entry + 12);
    const std::size_t there =
        offset < size ? std::min<std::size_t>(Field(file, entry + 8), size - offset) : 0;
    FUZZ_CHECK((icon != 0) == (there > 0));
    if (icon != 0) FUZZ_CHECK(shell.given == data + offset && shell.given_size == there);
  }
  return 0;
}
