"""Start-up in each network environment, the tray icon with its menu, and the ways the program ends."""

from pelnor_e2e import TRAY_CALLBACK_MESSAGE, Connection, Control, Scenario, expect, expect_equal, main, wait_until

C = Control
ENTRIES = ["宽带连接", "备用连接", "第三条"]
ROUTER_WARNING = "请注意：当前网络环境为路由器上网或无线wifi网络，不支持ADSL拔号！"
TTS_BALLOON = 0x40
WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP = 0x0201, 0x0202, 0x0205
OTHER = 0x9000  # a connection made by another program


def tray_icons(s: Scenario) -> int:
    """Icons in Wine's stand-alone tray (top left of the screen; it exists once an icon was added)."""
    trays = [w for w in s.driver.windows(all_processes=True) if w["class"] == "__winex11_standalone_tray"]
    return sum(1 for t in trays for c in s.driver.controls(f"hwnd:{t['hwnd']}")
               if c["class"] == "__winex11_tray_icon" and c["visible"])


def balloons(s: Scenario) -> list[dict]:
    """Balloon windows on the screen: Wine draws them as balloon tooltips of the tray."""
    tips = [w for w in s.driver.windows(all_processes=True) if w["class"] == "tooltips_class32" and w["visible"]]
    return [t for t in tips if s.driver.control(f"hwnd:{t['hwnd']}")["style"] & TTS_BALLOON]


def test_start_online_then_tray_menu():
    with Scenario(
        "startup_online",
        entries=ENTRIES,
        pool=["10.0.0.2", "10.0.0.3"],
        connections=[Connection(handle=OTHER, entry="宽带连接", address="10.0.0.9")],
    ) as s:
        s.start_program()
        s.wait_started()
        d = s.driver
        expect(d.msgbox() is None, "no warning with a dial-up connection up")
        s.wait_panes("当前状态：网络已连接", "当前IP：10.0.0.9", "之前IP：无信息")
        expect_equal([r["address"] for r in s.echo_requests()], ["10.0.0.9"] * 2, "start-up looks the address up twice")
        expect_equal(tray_icons(s), 1, "tray icons after start-up")

        # A restarted taskbar: the program re-adds its icon and goes on as before.
        d.post(d.register_message("TaskbarCreated"))
        expect_equal(d.window()["window"]["visible"], True, "window still there after TaskbarCreated")
        expect_equal(tray_icons(s), 1, "still one tray icon")

        # A left click or a right-button release on the icon does nothing.
        for mouse in (WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP):
            d.post(TRAY_CALLBACK_MESSAGE, 1, mouse)
        expect(d.menu(timeout=2) is None, "no menu without a right-button press")

        # A right-button press pops the menu up just below and right of the cursor (Xvfb starts
        # it in the middle of the screen).
        menu = d.tray_menu()
        expect_equal((menu["rect"]["x"], menu["rect"]["y"]), (512 + 3, 384 + 3), "menu corner")
        s.screenshot("tray-menu")
        d.menu_choose(-1)

        # The items in order: 断线, 拔号, 重拔, 退出.
        d.tray_menu(0)
        s.wait_panes("当前状态：已断开网络连接", "当前IP：10.0.0.9", "之前IP：10.0.0.9")
        expect_equal([c["args"]["handle"] for c in s.ras_calls("RasHangUpA")], [OTHER], "断线 hung up the connection")

        d.tray_menu(1)
        s.wait_panes("当前状态：拔号完毕", "当前IP：10.0.0.2", "之前IP：10.0.0.9")
        expect_equal(len(s.ras_calls("RasDialA")), 1, "拔号 dialled")

        # A slow dial holds the program's thread past Wine's delay for balloons, so the notice
        # "正在重拔...." is still up when Wine draws it.
        s.update_state(dial_delay_ms=8000)
        d.tray_menu(2)
        wait_until(lambda: balloons(s), timeout=20, what="a balloon from the tray icon")
        s.screenshot("balloon")
        s.wait_panes("当前状态：重拔完毕", "当前IP：10.0.0.3", "之前IP：10.0.0.2", timeout=60)
        expect_equal(len(s.ras_calls("RasDialA")), 2, "重拔 dialled again")
        wait_until(lambda: not balloons(s), timeout=20, what="the balloon cleared")

        d.tray_menu(3)
        expect_equal(s.program_exit_code(), 0, "exit code after 退出")
        expect_equal(tray_icons(s), 0, "tray icon removed")
        expect_equal([c.address for c in s.connections()], ["10.0.0.3"], "the connection stays up after the program")


def test_start_behind_router_then_without_network():
    config = "[宽带信息]\n连接索引=1\nADSL账号=用户\nADSL密码=pw\n"
    with Scenario("startup_router", entries=ENTRIES, network="router", config_ini=config) as s:
        s.start_program()
        d = s.driver
        box = s.wait_msgbox(timeout=60)
        expect_equal((box["title"], box["text"], box["icon"]), ("提示", ROUTER_WARNING, True), "router warning")
        expect_equal([b["id"] for b in box["buttons"]], [1], "one OK button")
        expect_equal(box["main_enabled"], False, "main window disabled while the warning is up")
        # The rest of start-up waits for OK; the tray icon is already there.
        expect_equal(d.items(C.组合框_宽带连接), ([], -1), "connection list while the warning is up")
        expect_equal(d.panes(), ["当前状态：", "当前IP：", "之前IP："], "panes while the warning is up")
        expect_equal(d.control(C.组合框_热键)["enabled"], True, "hotkey list not yet disabled")
        expect_equal(tray_icons(s), 1, "tray icon added before the warning")
        # Flags 48: the exclamation mark, drawn orange; the error icon would be red, the others blue.
        colours = s.screen_colours(s.screenshot("router-warning", settle=2), box["rect"])
        orange = sum(n for (r, g, b), n in colours.items() if r > 200 and 80 < g < 220 and b < 100)
        red = sum(n for (r, g, b), n in colours.items() if r > 180 and g < 60 and b < 60)
        expect(orange > 100 and red == 0, f"an exclamation icon in the box: {orange} orange, {red} red pixels")
        d.msgbox_close()

        s.wait_started()
        expect_equal(d.items(C.组合框_宽带连接), (ENTRIES, 1), "list filled, saved entry selected")
        expect_equal((d.text(C.编辑框_宽带账号), d.text(C.编辑框_宽带密码)), ("用户", "pw"), "settings restored")
        s.wait_panes("当前状态：网络未连接", "当前IP：203.0.113.7", "之前IP：无信息")
        expect(d.msgbox() is None, "the warning is shown once")

        # Behind the router there is no dial-up connection to hang up.
        d.click(C.按钮_断线)
        box = s.wait_msgbox()
        expect_equal((box["title"], box["text"]), ("信息：", "当前无拔号连接，无需断线！"), "HangUp behind a router")
        d.msgbox_close()

        d.close()
        expect_equal(s.program_exit_code(), 0, "exit code after the close box")
        expect_equal(tray_icons(s), 0, "tray icon removed")

        # No network at all: no warning, and no address.
        s.update_state(echo_network="none")
        s.start_program()
        s.wait_started()
        expect(d.msgbox() is None, "no warning without network")
        s.wait_panes("当前状态：网络未连接", "当前IP：", "之前IP：无信息")
        expect_equal([r["answer"] for r in s.echo_requests()][-2:], ["close", "close"], "two unanswered lookups")


if __name__ == "__main__":
    main(globals())
