#include "app/main_form.h"

#include <array>

namespace pelnor {

namespace {

using enum Control;
using K = ControlKind;

constexpr std::array<std::string_view, 4> kHotkeyItems = {"F1", "F2", "F3", "F4"};
constexpr std::array<std::string_view, 3> kPaneTexts = {"当前状态：", "当前IP：", "之前IP："};
constexpr std::array<int, 3> kPaneEdges = {200, 350, -1};
constexpr Colour kGrey{128, 128, 128};
constexpr Colour kGreen{0, 128, 0};

constexpr std::string_view kLinks =
    "相关连接：<a href=\"http://www.vantrel.net/pelnor/help.html\">软件使用说明</a>  "
    "<a href=\"http://bbs.vantrel.net/\">Vantrel论坛</a>";

// clang-format off
constexpr std::array kControls = {
  //          name              kind              in       x    y    w    h   text
  ControlSpec{分组框1,          K::kGroupBox,     主窗口,   4,   1, 272,  95, ""},
  ControlSpec{标签1,            K::kLabel,        分组框1,  7,  16,  48,  16, "连接："},
  ControlSpec{组合框_宽带连接,  K::kDropDownList, 分组框1, 41,  15, 102,  20, ""},
  ControlSpec{标签2,            K::kLabel,        分组框1,  7,  43,  32,  16, "账号："},
  ControlSpec{编辑框_宽带账号,  K::kEdit,         分组框1, 41,  42, 100,  18, ""},
  ControlSpec{标签5,            K::kLabel,        分组框1,  7,  69,  32,  16, "密码："},
  ControlSpec{编辑框_宽带密码,  K::kEdit,         分组框1, 41,  68, 100,  18, ""},
  ControlSpec{按钮_保存配置,    K::kButton,       分组框1, 148, 13,  56,  22, "保存信息"},
  ControlSpec{按钮_断线,        K::kButton,       分组框1, 208, 12,  56,  22, "断线"},
  ControlSpec{按钮_拔号,        K::kButton,       分组框1, 208, 38,  56,  22, "拔号"},
  ControlSpec{按钮_重拔,        K::kButton,       分组框1, 208, 65,  56,  22, "重拔"},
  ControlSpec{分组框2,          K::kGroupBox,     主窗口, 280,   1, 216,  95, ""},
  ControlSpec{选择框_热键,      K::kCheckBox,     分组框2,  6,  11,  82,  24, "热键重拔："},
  ControlSpec{组合框_热键,      K::kDropDownList, 分组框2, 82,  13,  40,  20, "", kHotkeyItems},
  ControlSpec{选择框_IP重复,    K::kCheckBox,     分组框2,  6,  32, 144,  24, "IP重复继续进行重拔"},
  ControlSpec{标签6,            K::kLabel,        分组框2,  3,  46, 205,  16,
              "_______________________________________________", {}, {}, kOptionTextColour, kGrey},
  ControlSpec{标签4,            K::kLabel,        分组框2,  8,  69,  80,  16, "定时重拔："},
  ControlSpec{编辑框_定时间隔,  K::kEdit,         分组框2, 67,  68,  37,  18, "60", {}, {}, kOptionCentred},
  ControlSpec{标签3,            K::kLabel,        分组框2, 111, 70,  24,  16, "秒"},
  ControlSpec{按钮_定时,        K::kButton,       分组框2, 131, 65,  64,  24, "开始定时"},
  ControlSpec{标签_倒计时,      K::kLabel,        主窗口,   4, 100, 200,  16, "", {}, {}, kOptionTextColour, kGreen},
  ControlSpec{简单超文本框1,    K::kHyperLabel,   主窗口, 290, 100, 211,  16, kLinks},
  ControlSpec{状态条1,          K::kStatusBar,    主窗口,   0,   0,   0,   0, "", kPaneTexts, kPaneEdges},
  ControlSpec{时钟1,            K::kTimer,        主窗口,   0,   0,   0,   0, ""},
  ControlSpec{标签_热键标签,    K::kLabel,        主窗口, 616, 200,  48,  16, "", {}, {}, kOptionHidden},
  ControlSpec{托盘菜单,         K::kPopupMenu,    主窗口,   0,   0,   0,   0, ""},
  ControlSpec{托盘菜单_断线,    K::kMenuItem,     托盘菜单, 0,   0,   0,   0, "断线"},
  ControlSpec{托盘菜单_拔号,    K::kMenuItem,     托盘菜单, 0,   0,   0,   0, "拔号"},
  ControlSpec{托盘菜单_重拔,    K::kMenuItem,     托盘菜单, 0,   0,   0,   0, "重拔"},
  ControlSpec{托盘菜单_退出,    K::kMenuItem,     托盘菜单, 0,   0,   0,   0, "退出"},
};
// clang-format on

}  // namespace

const FormSpec& MainForm() {
  static const std::string caption = std::string("PelnorV1.1 By Vantrel_") + std::string(kMakerHost);
  static const FormSpec form{caption, 505, 168, kControls};
  return form;
}

}  // namespace pelnor
