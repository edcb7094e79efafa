// Balloon notices and message boxes, recorded instead of shown.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/journal.h"
#include "platform/system_services.h"
#include "tray/notices.h"

namespace pelnor {

class FakeNotices : public Notices {
 public:
  struct Shown {
    std::string title;
    std::string text;
    NoticeKind kind;
    std::uint32_t delay_ms;
    bool auto_clear;
  };

  void ShowNotice(std::string_view title, std::string_view text, NoticeKind kind,
                  std::uint32_t delay_ms, bool auto_clear) override {
    shown.push_back({std::string(title), std::string(text), kind, delay_ms, auto_clear});
    Note(journal, "notice" + std::to_string(static_cast<int>(kind)) + " " + std::string(text));
  }

  std::vector<Shown> shown;
  Journal* journal = nullptr;
};

class FakeMessageBoxes : public MessageBoxes {
 public:
  struct Shown {
    std::string text;
    std::string title;
    std::uint32_t flags;
  };

  void Show(std::string_view text, std::string_view title, std::uint32_t flags) override {
    shown.push_back({std::string(text), std::string(title), flags});
    Note(journal, "box " + std::string(text));
  }

  std::vector<Shown> shown;
  Journal* journal = nullptr;
};

}  // namespace pelnor
