"""Dial, HangUp and Redial through the window's buttons, seen from the user's side and from
the simulated dial-up service and IP-echo page."""

from pelnor_e2e import Control, Scenario, expect, expect_equal, main, wait_until

C = Control
USER_AGENT = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"
CONNECTED_BOX = "当前已有网络链接，请断线后再拔号！"
OFFLINE_BOX = "当前无拔号连接，无需断线！"


def expect_info_box(s: Scenario, text: str) -> None:
    """The action's message box: no icon, one OK button, the window disabled while it is up; then OK."""
    box = s.wait_msgbox()
    expect_equal((box["title"], box["text"], box["icon"]), ("信息：", text, False), "message box")
    expect_equal([b["id"] for b in box["buttons"]], [1], "one OK button")
    expect_equal(box["main_enabled"], False, "main window disabled while the box is up (task-modal)")
    s.screenshot("box")
    s.driver.msgbox_close()
    wait_until(lambda: s.driver.window()["window"]["enabled"], what="main window enabled again")


def expect_requests(s: Scenario, count: int) -> None:
    """One fresh GET of the echo page for every lookup, each with the program's headers."""
    requests = wait_until(lambda: (r := s.echo_requests()) and len(r) >= count and r, what=f"{count} echo requests")
    expect_equal(len(requests), count, "echo requests, one per lookup")
    for r in requests:
        headers = dict(r["headers"])
        got = (r["request_line"], headers.get("Accept"), headers.get("User-Agent"))
        expect_equal(got, ("GET /ic.asp HTTP/1.0", "*/*", USER_AGENT), "echo request")


def expect_record_sizes(s: Scenario) -> None:
    sizes = {}
    for call in s.ras_calls(process="Pelnor.exe"):
        sizes.setdefault(call["fn"], set()).add(call["args"].get("dwSize"))
    expected = {"RasEnumEntriesA": {264}, "RasEnumConnectionsA": {412}, "RasGetConnectStatusA": {160}, "RasDialA": {1052}}
    expect_equal({fn: sizes.get(fn) for fn in expected}, expected, "dwSize of every RAS call")


def test_dial_and_hang_up():
    with Scenario(
        "connection_dial_hangup",
        entries=["宽带连接", "备用连接"],
        accounts=[("用户甲", "pass")],
        pool=["10.0.0.1", "10.0.0.2"],
    ) as s:
        s.start_program()
        s.wait_started()
        d = s.driver
        start = ["当前状态：网络未连接", "当前IP：", "之前IP：无信息"]
        s.wait_panes(*start)
        requests = 2  # start-up: the environment check and the address for pane 1

        # HangUp with nothing up: only the box.
        d.click(C.按钮_断线)
        expect_info_box(s, OFFLINE_BOX)
        expect_equal((d.panes(), s.ras_calls("RasHangUpA")), (start, []), "panes and hang-ups after the box")

        # No entry selected: nothing to dial, a failure.
        d.settext(C.编辑框_宽带账号, "用户甲")
        d.settext(C.编辑框_宽带密码, "wrong")
        d.select(C.组合框_宽带连接, -1)
        d.click(C.按钮_拔号)
        s.wait_panes("当前状态：拔号失败", "当前IP：", "之前IP：无信息")
        expect_equal(s.ras_calls("RasDialA"), [], "no dial without a selected entry")

        # A wrong password: the provider refuses, the attempt is hung up, nothing is looked up.
        # The pane already reads 拔号失败, so the log tells when this click has been handled.
        d.select(C.组合框_宽带连接, 1)
        d.click(C.按钮_拔号)
        failed = wait_until(lambda: s.ras_calls("RasDialA"), what="the dial with the wrong password")
        expect_equal([(c["args"]["entry"], c["args"]["password"], c["result"]) for c in failed], [("备用连接", "wrong", 691)],
                     "the refused dial")
        wait_until(lambda: s.ras_calls("RasHangUpA"), what="the failed attempt hung up")
        expect_equal(s.connections(), [], "the failed attempt is not left behind")
        s.wait_panes("当前状态：拔号失败", "当前IP：", "之前IP：无信息")

        # The right password dials the selected entry with the account as typed.
        d.settext(C.编辑框_宽带密码, "pass")
        d.click(C.按钮_拔号)
        s.wait_panes("当前状态：拔号完毕", "当前IP：10.0.0.1", "之前IP：无信息")
        requests += 1
        dial = s.ras_calls("RasDialA")[-1]
        args = dial["args"]
        expect_equal((args["dwSize"], args["entry"], args["user"], args["password"], dial["result"]),
                     (1052, "备用连接", "用户甲", "pass", 0), "RasDialA: the entry and the account as typed, GBK")
        expect_equal((args["extensions"], args["phonebook"], args["notifier"], args["phone"], args["callback"], args["domain"]),
                     (False, None, False, "", "", ""), "RasDialA: default phone book, synchronous, nothing else set")
        expect_equal([c.handle for c in s.connections()], [args["handle"]], "the program's connection is up")

        # Dial while connected: only the box.
        d.click(C.按钮_拔号)
        expect_info_box(s, CONNECTED_BOX)
        expect_equal(len(s.ras_calls("RasDialA")), 2, "no dial behind the box")

        # HangUp: the address before the hang-up goes to pane 2, pane 1 keeps its text.
        d.click(C.按钮_断线)
        s.wait_panes("当前状态：已断开网络连接", "当前IP：10.0.0.1", "之前IP：10.0.0.1")
        requests += 1
        hung_up = {c["args"].get("handle") for c in s.ras_calls("RasHangUpA")}
        expect(args["handle"] in hung_up, f"RasHangUpA of the program's connection {args['handle']}: {hung_up}")
        expect_equal(s.connections(), [], "no connection left")

        # A connection made by another program counts as online, and HangUp drops it too.
        other = s.add_connection("其他连接", "10.0.0.50")
        d.click(C.按钮_拔号)
        expect_info_box(s, CONNECTED_BOX)
        d.click(C.按钮_断线)
        s.wait_panes("当前状态：已断开网络连接", "当前IP：10.0.0.1", "之前IP：10.0.0.50")
        requests += 1
        expect(other.handle in {c["args"].get("handle") for c in s.ras_calls("RasHangUpA")},
               "RasHangUpA of the other program's connection")
        expect_equal(s.connections(), [], "the other program's connection is gone")

        expect_requests(s, requests)
        expect_record_sizes(s)


def test_redial():
    with Scenario(
        "connection_redial",
        entries=["宽带连接"],
        accounts=[("user", "pass")],
        pool=["10.0.0.1", "10.0.0.2", "10.0.0.2", "10.0.0.2", "10.0.0.3"],
    ) as s:
        s.start_program()
        s.wait_started()
        d = s.driver
        d.settext(C.编辑框_宽带账号, "user")
        d.settext(C.编辑框_宽带密码, "pass")

        # From offline: nothing to look up or hang up first, compared with the empty address.
        d.click(C.按钮_重拔)
        s.wait_panes("当前状态：重拔完毕", "当前IP：10.0.0.1", "之前IP：")
        expect_equal((len(s.ras_calls("RasDialA")), s.ras_calls("RasHangUpA")), (1, []), "dialled once, nothing hung up")
        expect_requests(s, 3)
        first = s.ras_calls("RasDialA")[0]["args"]["handle"]

        # From online: the old address is looked up, the line dropped and dialled again. The
        # pause between them lets the window answer, showing the redial in progress.
        d.click(C.按钮_重拔)
        s.wait_panes("当前状态：正在重拔", "当前IP：10.0.0.1", "之前IP：", timeout=60)
        s.wait_panes("当前状态：重拔完毕", "当前IP：10.0.0.2", "之前IP：10.0.0.1")
        expect(first in {c["args"].get("handle") for c in s.ras_calls("RasHangUpA")}, "the first connection hung up")
        expect_requests(s, 5)

        # The provider hands out 10.0.0.2 twice more: with the box ticked Redial goes on until
        # the address changes, one hang-up and dial per pass.
        d.click(C.选择框_IP重复)
        wait_until(lambda: d.control(C.选择框_IP重复)["checked"] == 1, what="IP重复 ticked")
        dials, hangups = len(s.ras_calls("RasDialA")), len(s.ras_calls("RasHangUpA"))
        d.click(C.按钮_重拔)
        s.wait_panes("当前状态：重拔完毕", "当前IP：10.0.0.3", "之前IP：10.0.0.2", timeout=90)
        expect_equal(len(s.ras_calls("RasDialA")) - dials, 3, "dials until the address changed")
        expect(len(s.ras_calls("RasHangUpA")) - hangups >= 3, "a hang-up before each dial")
        expect_requests(s, 11)
        expect_equal([(c.address, c.owner.startswith("pid:")) for c in s.connections()], [("10.0.0.3", True)],
                     "one connection left, the program's, with the new address")

        # An echo page without an address: every lookup is empty, so every pass "repeats" the
        # address. Unticking the box, handled in a pass's pause, ends the loop.
        s.update_state(echo_mode="404")
        dials = len(s.ras_calls("RasDialA"))
        d.click(C.按钮_重拔)
        wait_until(lambda: len(s.ras_calls("RasDialA")) >= dials + 2, what="two passes without an address")
        d.click(C.选择框_IP重复)
        s.wait_panes("当前状态：重拔完毕", "当前IP：", "之前IP：", timeout=60)
        expect_equal(d.control(C.选择框_IP重复)["checked"], 0, "IP重复 unticked")
        expect_record_sizes(s)


if __name__ == "__main__":
    main(globals())
