// The whole program above the platform: every module, created once, the main
// window's event table, start-up and the one way the program ends.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "address/external_address.h"
#include "app/settings.h"
#include "connection/connection_actions.h"
#include "connection/dialup_service.h"
#include "platform/form.h"
#include "tray/balloon_notices.h"
#include "tray/tray_icon.h"
#include "triggers/hotkey_redial.h"
#include "triggers/timed_redial.h"

namespace pelnor {

class ProcessControl;
class ShellApi;

// The services of the platform, as the entry point made them.
struct Platform {
  RasApi& ras;
  InternetApi& internet;
  Clock& clock;
  MessagePump& pump;
  MessageBoxes& boxes;
  ProfileStore& profile;
  MainWindow& window;
  ShellApi& shell;
  HotkeyApi& hotkeys;
  ProcessControl& process;
};

class Program : public FormEvents {
 public:
  Program(const Platform& platform, std::string echo_url);

  // The program entry: loads the main window, runs the message loop while it
  // exists, and ends the program. Returns only where the process cannot end.
  int Run(const std::function<bool()>& load_main_window, const std::function<void()>& message_loop);
  // Runs the clean-up once, then ends the process.
  void EndProgram(std::uint32_t exit_code);

  void OnFormEvent(Control source, FormEvent event, std::int32_t a, std::int32_t b) override;

  void OnMainWindowCreated();
  void OnMainWindowDestroying();
  void OnTrayExit();

  ConnectionActions& Actions() { return actions_; }
  TrayIcon& Tray() { return tray_; }
  TimedRedial& Timed() { return timed_redial_; }
  HotkeyRedial& Hotkey() { return hotkey_redial_; }

 private:
  struct Binding;
  static const Binding kEventTable[];

  void ReleaseModuleState();

  Platform platform_;
  DialUpService dialup_;
  ExternalAddress address_;
  TrayIcon tray_;
  BalloonNotices notices_;
  ConnectionActions actions_;
  Settings settings_;
  TimedRedial timed_redial_;
  HotkeyFacility hotkey_facility_;
  HotkeyRedial hotkey_redial_;
  bool clean_up_registered_ = false;
  bool cleaned_up_ = false;
};

}  // namespace pelnor
