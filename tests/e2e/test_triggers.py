"""What starts a Redial besides the button: the countdown of timed redial and the global hotkey."""

import re
import time

from pelnor_e2e import Control, DriverError, Scenario, expect, expect_equal, main, wait_until

C = Control
PREFIX = "距离下次拔号还有："
CONNECTION_BUTTONS = (C.按钮_拔号, C.按钮_断线, C.按钮_重拔)
BM_SETCHECK = 0x00F1
WM_SYSCOMMAND, SC_MINIMIZE = 0x0112, 0xF020


def dials(s: Scenario) -> int:
    return len(s.ras_calls("RasDialA"))


def watch_countdown(s: Scenario, done, timeout: float = 40) -> list[str]:
    """The countdown label's texts, each time it changes, until done(last text) holds."""
    seen: list[str] = []
    deadline = time.monotonic() + timeout
    while not (seen and done(seen[-1])):
        expect(time.monotonic() < deadline, f"waited {timeout:.0f} s; the label showed {seen}")
        try:
            text = s.driver.text(C.标签_倒计时)
        except DriverError:  # busy in the redial
            continue
        if not seen or seen[-1] != text:
            seen.append(text)
        time.sleep(0.05)
    return seen


def until_dials(s: Scenario, count: int):
    return lambda _: dials(s) >= count


def remainders(texts: list[str]) -> list[int]:
    return [int(m.group(1)) for t in texts if (m := re.fullmatch(PREFIX + r"(-?\d+)秒", t))]


def test_timed_redial():
    with Scenario("triggers_timed", entries=["宽带连接"], pool=["10.0.0.1", "10.0.0.2"]) as s:
        s.start_program()
        s.wait_started()
        d = s.driver
        d.settext(C.编辑框_定时间隔, "3")

        d.click(C.按钮_定时)
        wait_until(lambda: d.text(C.按钮_定时) == "停止定时", what="the caption 停止定时")
        expect_equal([d.control(b)["enabled"] for b in CONNECTION_BUTTONS], [False] * 3, "connection buttons while running")

        # Ticks show 2, 1, 0 seconds left; the tick that shows 0 replaces it at once and
        # redials, so from outside 0 is seldom seen. What must hold: the remainders fall, and a
        # redial follows them.
        first = watch_countdown(s, until_dials(s, 1))
        left = remainders(first)
        expect(left and left == sorted(set(left), reverse=True) and set(left) <= {2, 1, 0},
               f"the countdown before the first redial: {first}")
        s.wait_panes("当前状态：重拔完毕", "当前IP：10.0.0.1", "之前IP：")
        colours = s.screen_colours(s.screenshot("countdown"), d.control(C.标签_倒计时)["rect"])
        expect(any(g - r > 60 and g - b > 60 for r, g, b in colours), "the countdown is drawn in green")

        # The count starts over from the full interval. The tick that redials leaves
        # "Waiting..." in the label until the next tick.
        second = watch_countdown(s, until_dials(s, 2))
        left = remainders(second)
        expect(left and left[0] == 2 and left == sorted(set(left), reverse=True), f"the second countdown: {second}")
        s.wait_panes("当前状态：重拔完毕", "当前IP：10.0.0.2", "之前IP：10.0.0.1")
        after = watch_countdown(s, lambda text: text != PREFIX + "Waiting...", timeout=10)
        expect(PREFIX + "Waiting..." in second + after, f"Waiting... shown during the redial: {second + after}")
        expect_equal([c["args"]["entry"] for c in s.ras_calls("RasDialA")], ["宽带连接"] * 2, "timed redials dialled")

        d.click(C.按钮_定时)
        wait_until(lambda: d.text(C.按钮_定时) == "开始定时", what="the caption 开始定时")
        expect_equal(d.text(C.标签_倒计时), "", "label cleared")
        expect_equal([d.control(b)["enabled"] for b in CONNECTION_BUTTONS], [True] * 3, "connection buttons enabled")
        count = dials(s)
        time.sleep(5)  # longer than the interval
        expect_equal((dials(s), d.text(C.标签_倒计时)), (count, ""), "no tick and no redial once stopped")


def handled(s: Scenario) -> None:
    """Returns once the program has handled every message posted to it so far: a message posted
    now is handled after them, and its effect can be seen. Hotkeys are input, not posted."""
    s.driver.post(BM_SETCHECK, 1, 0, C.选择框_IP重复)
    wait_until(lambda: s.driver.control(C.选择框_IP重复)["checked"] == 1, what="posted messages handled")
    s.driver.setcheck(C.选择框_IP重复, False)


def test_hotkey_redial():
    with Scenario("triggers_hotkey", entries=["宽带连接"], pool=["10.0.0.1", "10.0.0.2", "10.0.0.3"]) as s:
        s.start_program()
        s.wait_started()
        d = s.driver

        d.click(C.选择框_热键)
        wait_until(lambda: d.control(C.组合框_热键)["enabled"], what="hotkey list enabled by the tick")
        handled(s)
        d.key("F1")
        s.wait_panes("当前状态：重拔完毕", "当前IP：10.0.0.1", "之前IP：")
        expect_equal(dials(s), 1, "F1 redialled")

        # Ctrl+F1 is another key; after picking F3, F1 is given up. Hotkeys are handled in the
        # order pressed, so by the time F3's redial is over, any redial of theirs would be too.
        d.key("F1", "ctrl")
        d.select(C.组合框_热键, 2)
        handled(s)
        d.key("F1")
        d.key("F3")
        s.wait_panes("当前状态：重拔完毕", "当前IP：10.0.0.2", "之前IP：10.0.0.1")
        expect_equal(dials(s), 2, "only F3 redialled")

        # Unticked, F3 does nothing; ticked again, it works again, also with the window minimised.
        d.click(C.选择框_热键)
        wait_until(lambda: not d.control(C.组合框_热键)["enabled"], what="hotkey list disabled by the untick")
        handled(s)
        d.key("F3")
        d.click(C.选择框_热键)
        wait_until(lambda: d.control(C.组合框_热键)["enabled"], what="hotkey list enabled again")
        d.post(WM_SYSCOMMAND, SC_MINIMIZE)
        handled(s)
        expect(d.window()["iconic"], "window minimised")
        d.key("F3")
        s.wait_panes("当前状态：重拔完毕", "当前IP：10.0.0.3", "之前IP：10.0.0.2")
        expect_equal(dials(s), 3, "F3 redialled only while ticked")


if __name__ == "__main__":
    main(globals())
