"""The main window as a user first sees it: frame, layout, initial texts and states."""

import re

from pelnor_e2e import Control, Scenario, expect, expect_equal, main, wait_until

C = Control
ENTRIES = ["宽带连接", "中文拨号连接", "", "ADSL"]  # a Chinese name and an empty one

SCREEN_W, SCREEN_H = 1024, 768
WS_MAXIMIZEBOX, WS_MINIMIZEBOX, WS_THICKFRAME = 0x00010000, 0x00020000, 0x00040000
WS_SYSMENU, WS_CAPTION, WS_CHILD = 0x00080000, 0x00C00000, 0x40000000
WS_EX_TOPMOST, WS_EX_TOOLWINDOW = 0x00000008, 0x00000080
ES_CENTER, ES_PASSWORD, ES_MULTILINE, ES_NUMBER = 0x0001, 0x0020, 0x0004, 0x2000
CBS_DROPDOWNLIST, CBS_TYPEMASK, CBS_SORT = 0x0003, 0x0003, 0x0100
BS_PUSHBUTTON, BS_AUTOCHECKBOX, BS_GROUPBOX = 0, 3, 7
WM_SYSCOMMAND, SC_MINIMIZE, SC_RESTORE = 0x0112, 0xF020, 0xF120

# kind: (window class, button type or None)
KINDS = {
    "group": ("Button", BS_GROUPBOX),
    "label": ("Static", None),
    "list": ("ComboBox", None),
    "edit": ("Edit", None),
    "button": ("Button", BS_PUSHBUTTON),
    "check": ("Button", BS_AUTOCHECKBOX),  # toggles itself when clicked
}

# The window's layout after start-up. Positions are relative to the parent's
# client area; a drop-down list's closed height is its font's, so h is None.
# name, kind, parent, x, y, w, h, text, enabled, checked
LAYOUT = [
    (C.分组框1, "group", C.主窗口, 4, 1, 272, 95, "", True, None),
    (C.标签1, "label", C.分组框1, 7, 16, 48, 16, "连接：", True, None),
    (C.组合框_宽带连接, "list", C.分组框1, 41, 15, 102, None, ENTRIES[0], True, None),
    (C.标签2, "label", C.分组框1, 7, 43, 32, 16, "账号：", True, None),
    (C.编辑框_宽带账号, "edit", C.分组框1, 41, 42, 100, 18, "", True, None),
    (C.标签5, "label", C.分组框1, 7, 69, 32, 16, "密码：", True, None),
    (C.编辑框_宽带密码, "edit", C.分组框1, 41, 68, 100, 18, "", True, None),
    (C.按钮_保存配置, "button", C.分组框1, 148, 13, 56, 22, "保存信息", True, None),
    (C.按钮_断线, "button", C.分组框1, 208, 12, 56, 22, "断线", True, None),
    (C.按钮_拔号, "button", C.分组框1, 208, 38, 56, 22, "拔号", True, None),
    (C.按钮_重拔, "button", C.分组框1, 208, 65, 56, 22, "重拔", True, None),
    (C.分组框2, "group", C.主窗口, 280, 1, 216, 95, "", True, None),
    (C.选择框_热键, "check", C.分组框2, 6, 11, 82, 24, "热键重拔：", True, 0),
    (C.组合框_热键, "list", C.分组框2, 82, 13, 40, None, "F1", False, None),
    (C.选择框_IP重复, "check", C.分组框2, 6, 32, 144, 24, "IP重复继续进行重拔", True, 0),
    (C.标签6, "label", C.分组框2, 3, 46, 205, 16, "_" * 47, True, None),
    (C.标签4, "label", C.分组框2, 8, 69, 80, 16, "定时重拔：", True, None),
    (C.编辑框_定时间隔, "edit", C.分组框2, 67, 68, 37, 18, "60", True, None),
    (C.标签3, "label", C.分组框2, 111, 70, 24, 16, "秒", True, None),
    (C.按钮_定时, "button", C.分组框2, 131, 65, 64, 24, "开始定时", True, None),
    (C.标签_倒计时, "label", C.主窗口, 4, 100, 200, 16, "", True, None),
]
HYPER_LABEL = (290, 100, 211, 16)
HIDDEN_LABEL = (616, 200, 48, 16)  # outside the client area, never shown
PANES = [(200, "当前状态：网络未连接"), (350, "当前IP："), (-1, "之前IP：无信息")]


def test_window_layout():
    with Scenario("window_layout", entries=ENTRIES) as s:
        s.start_program()
        s.wait_started()
        d = s.driver

        reply = d.window()
        window = reply["window"]
        rect, style, exstyle = window["rect"], window["style"], window["exstyle"]
        expect_equal((rect["w"], rect["h"]), (505, 168), "outer size")
        expect(abs(rect["x"] - (SCREEN_W - 505) / 2) <= 1 and abs(rect["y"] - (SCREEN_H - 168) / 2) <= 1,
               f"window centred on the {SCREEN_W}x{SCREEN_H} screen: {rect}")
        expect(re.fullmatch(r"PelnorV1\.1 By Vantrel_\S+", window["text"]), f"caption {window['text']!r}")
        expect_equal([bool(style & bit) for bit in (WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX)], [True] * 3,
                     f"title bar, system menu and minimise box in style {style:#x}")
        expect_equal([bool(style & bit) for bit in (WS_MAXIMIZEBOX, WS_THICKFRAME, WS_CHILD)], [False] * 3,
                     f"no maximise box, no sizing border in style {style:#x}")
        expect(not exstyle & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW), f"not on top, a taskbar window: {exstyle:#x}")
        expect_equal((reply["owner"], reply["iconic"], reply["zoomed"]), (0, False, False), "unowned, normal size")
        client = window["client"]

        controls = {c["id"]: c for c in d.controls()}
        expected_ids = {int(row[0]) for row in LAYOUT} | {int(C.简单超文本框1), int(C.状态条1), int(C.标签_热键标签)}
        expect_equal(sorted(controls), sorted(expected_ids), "the window's child windows, by id")

        problems = []
        for name, kind, parent, x, y, w, h, text, enabled, checked in LAYOUT:
            c = controls[int(name)]
            cls, button_type = KINDS[kind]
            got = (c["class"].lower(), c.get("button_type"), c["parent_id"], c["rel"]["x"], c["rel"]["y"], c["rel"]["w"],
                   c["rel"]["h"] if h is not None else None, c["text"], c["visible"], c["enabled"], c.get("checked"))
            want = (cls.lower(), button_type, int(parent), x, y, w, h, text, True, enabled, checked)
            if got != want:
                problems.append(f"{name.name}: expected {want}, got {got}")
        expect(not problems, "controls differ from the layout:\n  " + "\n  ".join(problems))

        for name in (C.组合框_宽带连接, C.组合框_热键):
            list_style = controls[int(name)]["style"]
            expect((list_style & CBS_TYPEMASK) == CBS_DROPDOWNLIST and not list_style & CBS_SORT,
                   f"{name.name} is an unsorted drop-down list: {list_style:#x}")
        expect_equal(d.items(C.组合框_宽带连接), (ENTRIES, 0), "connection list: the phone book in order, entry 0 selected")
        expect_equal(d.items(C.组合框_热键), (["F1", "F2", "F3", "F4"], 0), "hotkey list")
        for name in (C.编辑框_宽带账号, C.编辑框_宽带密码, C.编辑框_定时间隔):
            edit_style = controls[int(name)]["style"]
            expect(not edit_style & (ES_PASSWORD | ES_MULTILINE | ES_NUMBER),
                   f"{name.name}: single line, any text, no masking: {edit_style:#x}")
        expect(controls[int(C.编辑框_定时间隔)]["style"] & ES_CENTER, "the interval is centred")

        hyper = controls[int(C.简单超文本框1)]
        expect_equal((hyper["parent_id"], *(hyper["rel"][k] for k in "xywh"), hyper["visible"]), (0, *HYPER_LABEL, True),
                     "hypertext label")
        links = re.findall(r'<a href="(https?://[^"]+)">(.*?)</a>', hyper["text"])
        expect_equal([label for _, label in links], ["软件使用说明", "Vantrel论坛"], f"links in {hyper['text']!r}")
        expect_equal(re.sub(r"<[^>]*>", "", hyper["text"]), "相关连接：软件使用说明  Vantrel论坛", "hypertext shown")

        hidden = controls[int(C.标签_热键标签)]
        expect_equal((hidden["parent_id"], *(hidden["rel"][k] for k in "xywh"), hidden["visible"], hidden["own_visible"]),
                     (0, *HIDDEN_LABEL, False, False), "hotkey label")

        bar = controls[int(C.状态条1)]
        expect_equal((bar["class"].lower(), bar["parent_id"], bar["rel"]["x"], bar["rel"]["w"], bar["rel"]["y"] + bar["rel"]["h"]),
                     ("msctls_statusbar32", 0, 0, client["w"], client["h"]), "status bar docked along the bottom, full width")
        # Type 0: the ordinary sunken pane, neither borderless nor raised.
        expect_equal([(p["right"], p["text"], p["type"]) for p in d.pane_details()], [(*p, 0) for p in PANES],
                     "status panes after start-up")

        # What the screen shows: the separator grey, the links blue, label text black.
        shot = s.screenshot("layout", settle=2)
        # The check box above covers the label's top rows; its line is drawn below them.
        line = dict(controls[int(C.标签6)]["rect"])
        covered = controls[int(C.选择框_IP重复)]["rect"]["y"] + controls[int(C.选择框_IP重复)]["rect"]["h"] - line["y"]
        line.update(y=line["y"] + covered, h=line["h"] - covered)
        separator = s.screen_colours(shot, line)
        darkest = min(min(rgb) for rgb in separator)
        # Anti-aliased grey 128 on the light face is never darker than 128; black would be.
        expect(128 <= darkest <= 200 and all(r == g == b for r, g, b in separator),
               f"the separator is drawn in grey 128: darkest {darkest}, colours {separator.most_common(6)}")
        expect(min(min(rgb) for rgb in s.screen_colours(shot, controls[int(C.标签1)]["rect"])) < 40, "label text is black")
        expect(any(b - r > 100 for r, g, b in s.screen_colours(shot, hyper["rect"])), "the links are blue")

        # Minimised and restored, the window keeps its place and the hotkey label stays hidden.
        d.post(WM_SYSCOMMAND, SC_MINIMIZE)
        wait_until(lambda: d.window()["iconic"], what="the window minimised")
        expect(not d.control(C.标签_热键标签)["visible"], "hotkey label hidden while minimised")
        d.post(WM_SYSCOMMAND, SC_RESTORE)
        wait_until(lambda: not d.window()["iconic"], what="the window restored")
        expect_equal(d.window()["window"]["rect"], rect, "restored to the same place and size")
        expect(not d.control(C.标签_热键标签)["visible"], "hotkey label hidden after restoring")


if __name__ == "__main__":
    main(globals())
