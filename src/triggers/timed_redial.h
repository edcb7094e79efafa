// Redial every N seconds, with the seconds left shown in the window and in
// the tray tip. Whether it runs is the caption of its button.
#pragma once

#include <cstdint>
#include <functional>

namespace pelnor {

class MainWindow;
class Notices;
class TrayIcon;

class TimedRedial {
 public:
  TimedRedial(MainWindow& window, Notices& notices, TrayIcon& tray, std::function<void()> redial)
      : window_(window), notices_(notices), tray_(tray), redial_(std::move(redial)) {}

  void OnTimedRedialButton();
  void OnCountdownTick();

  std::int32_t ElapsedSeconds() const { return elapsed_seconds_; }

 private:
  bool IsRunning();
  void EnableConnectionButtons(bool enabled);

  MainWindow& window_;
  Notices& notices_;
  TrayIcon& tray_;
  std::function<void()> redial_;
  std::int32_t elapsed_seconds_ = 0;
};

}  // namespace pelnor
