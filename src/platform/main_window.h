// The main window as the handlers see it: its controls by name and the few
// operations the program performs on them. The Win32 window host implements it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelnor {

using WindowHandle = std::uint32_t;  // HWND, 32-bit as on i686

// Every named thing of the main window's form. The values are the Win32
// control and menu identifiers.
enum class Control : int {
  主窗口 = 0,  // the main window itself
  分组框1 = 1001,
  标签1,
  组合框_宽带连接,
  标签2,
  编辑框_宽带账号,
  标签5,
  编辑框_宽带密码,
  按钮_保存配置,
  按钮_断线,
  按钮_拔号,
  按钮_重拔,
  分组框2,
  选择框_热键,
  组合框_热键,
  选择框_IP重复,
  标签6,
  标签4,
  编辑框_定时间隔,
  标签3,
  按钮_定时,
  标签_倒计时,
  简单超文本框1,
  状态条1,
  时钟1,
  标签_热键标签,
  托盘菜单,
  托盘菜单_断线 = 2001,
  托盘菜单_拔号,
  托盘菜单_重拔,
  托盘菜单_退出,
};

class MainWindow {
 public:
  virtual ~MainWindow() = default;
  // The text or caption of a control; empty for an empty control.
  virtual std::string Text(Control control) = 0;
  virtual void SetText(Control control, std::string_view text) = 0;
  virtual void AddItem(Control list, std::string_view item) = 0;
  // 0-based index of the selected item; -1 when none.
  virtual int Selection(Control list) = 0;
  // Beyond the last item selects the last one; below -1 counts as -1 (none).
  virtual void SetSelection(Control list, int index) = 0;
  virtual bool IsChecked(Control box) = 0;
  virtual void Enable(Control control, bool enabled) = 0;
  // Repaints a control at once, before the thread blocks.
  virtual void RepaintNow(Control control) = 0;
  // Period of the timer `时钟1` in ms; 0 or less stops it. The same period
  // again changes nothing.
  virtual void SetTimerPeriod(int period_ms) = 0;
  // Replaces the whole text of status pane 0, 1 or 2; other indexes change nothing.
  virtual void SetStatusPane(int index, std::string_view text) = 0;
  virtual WindowHandle Handle(Control control) = 0;
  // Pops up `托盘菜单` at a screen point, owned by the main window.
  virtual void PopUpTrayMenu(int x, int y) = 0;
  // Queues the destruction of the main window.
  virtual void Destroy() = 0;
};

// What SetSelection does with `index` in a list of `count` items.
constexpr int ClampSelection(int index, int count) {
  if (index > count - 1) index = count - 1;
  return index < -1 ? -1 : index;
}

}  // namespace pelnor
