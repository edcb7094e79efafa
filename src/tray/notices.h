// Where progress and results are told to the user: balloon notices.
#pragma once

#include <cstdint>
#include <string_view>

namespace pelnor {

enum class NoticeKind : std::uint32_t { kNone = 0, kInfo = 1, kWarning = 2, kError = 3 };

constexpr std::string_view kNoticeTitle = "提示";
constexpr std::uint32_t kNoticeDelayMs = 2000;

class Notices {
 public:
  virtual ~Notices() = default;
  virtual void ShowNotice(std::string_view title, std::string_view text, NoticeKind kind,
                          std::uint32_t delay_ms, bool auto_clear) = 0;
};

}  // namespace pelnor
