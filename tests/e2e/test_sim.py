"""The simulated network and the driver themselves, proven with the probes."""

from pelnor_e2e import SIM_BIN, Connection, Scenario, expect, expect_equal, main, wait_until

ENTRIES = ["宽带连接", "ADSL", ""]
OTHER = 0x9000  # a connection made by another program


def test_dialup_service():
    with Scenario(
        "sim_dialup_service",
        entries=ENTRIES,
        accounts=[("user", "pass")],
        pool=["10.0.0.1", "10.0.0.2"],
        dial_delay_ms=200,
        connections=[Connection(handle=OTHER, entry="其他连接", address="10.9.9.9")],
    ) as s:
        steps = s.probe(
            "entries", "entries", "1", "badsize",
            "dial", "@0", "user", "pass", "status", "fetch", "conns",
            "hangup", "last", "status", "last",
            "dial", "@1", "user", "wrong", "status", "hangup",
            "hangup", str(OTHER), "conns", "fetch",
        )  # fmt: skip
        expect_equal(len(steps), 15, "probe steps that ran")
        listed, small, badsize, dial, status, fetch, conns, hangup, gone, bad_dial, failed, _, _, none, offline = steps

        expect_equal((listed["result"], listed["names"], listed["bytes"]), (0, ENTRIES, 3 * 264), "entries")
        expect_equal((small["result"], small["bytes"]), (603, 3 * 264), "entries with room for one: too small, needed bytes")
        expect_equal(badsize["result"], 632, "wrong dwSize")
        expect_equal((dial["result"], dial["entry"]), (0, "宽带连接"), "dial with the right account")
        expect(dial["ms"] >= 190, f"the dial took its delay: {dial['ms']} ms")
        expect_equal((status["result"], status["state"]), (0, 0x2000), "status after the dial")
        expect_equal(fetch["address"], "10.0.0.1", "echo page: the newest connection's pool address")
        expect_equal([c["handle"] for c in conns["conns"]], [OTHER, dial["handle"]], "connections listed in order")
        expect_equal(conns["conns"][0]["entry"], "其他连接", "the other program's entry name, GBK")
        expect_equal((hangup["result"], gone["result"]), (0, 6), "hang-up, then the handle is unknown")
        expect_equal(bad_dial["result"], 691, "a wrong password fails after the delay")
        expect(bad_dial["handle"] != 0, "a failed dial still hands out a handle")
        expect_equal((failed["state"], failed["error"]), (0x2001, 691), "status of the failed attempt")
        expect_equal((none["result"], none["count"]), (0, 0), "no connection left")
        expect_equal((offline["length"], offline["address"]), (0, ""), "no dial-up connection: no network")

        calls = s.ras_calls()
        expect_equal(
            [c["fn"] for c in calls][:6],
            ["RasEnumEntriesA", "RasEnumEntriesA", "RasEnumEntriesA", "RasEnumEntriesA", "RasDialA", "RasGetConnectStatusA"],
            "first calls logged",
        )
        first_dial = s.ras_calls("RasDialA")[0]["args"]
        expect_equal(
            (first_dial["dwSize"], first_dial["entry"], first_dial["user"], first_dial["password"], first_dial["address"]),
            (1052, "宽带连接", "user", "pass", "10.0.0.1"),
            "logged RasDialA",
        )
        expect_equal({c["args"]["dwSize"] for c in s.ras_calls("RasEnumConnectionsA")}, {412}, "RasEnumConnectionsA dwSize")
        expect_equal({c["args"]["dwSize"] for c in s.ras_calls("RasGetConnectStatusA")}, {160}, "RasGetConnectStatusA dwSize")

        requests = s.echo_requests()
        expect_equal([r["answer"] for r in requests], ["normal", "close"], "echo answers")
        expect_equal(requests[0]["request_line"], "GET /ic.asp HTTP/1.0", "request line")
        headers = dict(requests[0]["headers"])
        expect_equal(headers.get("Accept"), "*/*", "Accept header")
        expect_equal(s.state().get("pool_next"), "1", "pool advanced once")
        expect_equal(s.connections(), [], "connections in the state file")


def test_dial_outcomes():
    with Scenario(
        "sim_dial_outcomes",
        entries=ENTRIES,
        pool=["10.0.0.7"],
        dial_error=678,
        state={"dial_error_once": [676, 0], "hangup_linger_ms": 2000},
    ) as s:
        busy, _, ok, up, hangup, lingering, standing, _, missing = s.probe(
            "dial", "@0", "u", "p", "hangup",
            "dial", "@0", "u", "p", "status", "hangup", "status",
            "dial", "@1", "u", "p", "hangup",
            "dial", "不存在", "u", "p",
        )  # fmt: skip
        expect_equal(busy["result"], 676, "first queued outcome")
        expect_equal((ok["result"], up["state"]), (0, 0x2000), "queued 0: a normal dial, any account when none is set")
        expect_equal((hangup["result"], lingering["result"], lingering["state"]), (0, 0, 0x2001), "hung up, still lingering")
        expect_equal(standing["result"], 678, "standing dial_error once the queue is empty")
        expect_equal((missing["result"], missing["entry"]), (623, "不存在"), "an entry not in the phone book")
        wait_until(lambda: s.probe("status", str(ok["handle"]))[0]["result"] == 6, what="the lingering handle to go")
        expect_equal(s.state().get_all("dial_error_once"), [], "queue consumed")


def test_echo_answers():
    cases = [
        # state keys, expected address, check of the probe's fetch
        ({"echo_mode": "normal"}, "10.0.0.1", None),
        ({"echo_network": "router", "echo_router_address": "192.0.2.44"}, "192.0.2.44", None),
        ({"echo_mode": "404"}, "", lambda f: f["status"] == 404),
        ({"echo_mode": "404-bracket"}, "10.0.0.1", lambda f: f["status"] == 404),
        ({"echo_mode": "page", "echo_body": "a]b[c]d"}, "c", None),
        ({"echo_mode": "big"}, "10.0.0.1", lambda f: f["length"] == 4 * 1024 * 1024),
        ({"echo_mode": "big", "echo_content_length": 0, "echo_big_bytes": 3_000_000}, "10.0.0.1", lambda f: f["length"] == 3_000_000),
        ({"echo_mode": "drop"}, "10.0.0.1", lambda f: 0 < f["length"] < 4000),
        ({"echo_mode": "slow", "echo_delay_ms": 1500}, "10.0.0.1", lambda f: f["ms"] >= 1400),
        ({"echo_mode": "refuse"}, "", lambda f: f["length"] == 0),
        ({"echo_network": "none"}, "", lambda f: f["length"] == 0),
    ]
    baseline = {"echo_network": "dialup", "echo_mode": "normal"}
    with Scenario("sim_echo_answers", connections=[Connection(handle=0x9000, entry="宽带连接", address="10.0.0.1")]) as s:
        for keys, address, check in cases:
            s.update_state(**{**baseline, **keys})
            (fetch,) = s.probe("fetch")
            expect_equal(fetch["address"], address, f"address with {keys}")
            expect(check is None or check(fetch), f"fetch with {keys}: {fetch}")
        expect_equal(len(s.echo_requests()), len(cases), "one request per fetch")


def test_driver_on_probe_window():
    with Scenario("sim_driver") as s:
        attached = s.start_program(SIM_BIN / "window_probe.exe", caption="PelnorProbe")
        d = s.driver
        expect_equal(attached["window"]["text"], "PelnorProbe 探针", "caption, GBK to UTF-8")
        expect_equal(attached["window"]["rect"]["w"], 505, "window width")

        controls = {c["id"]: c for c in d.controls()}
        button = controls[1010]
        expect_equal((button["text"], button["parent_id"]), ("拔号", 1001), "button inside the group box")
        expect_equal([button["rel"][k] for k in "xywh"], [208, 38, 56, 22], "button position in the group box")
        expect_equal(controls[1014]["checked"], 0, "check box starts unchecked")

        panes = d.pane_details()
        expect_equal([p["right"] for p in panes], [200, 350, -1], "status bar parts")
        expect_equal([p["text"] for p in panes], ["当前状态：", "当前IP：", "之前IP："], "status texts")
        expect_equal(d.items(1003), (["宽带连接", "ADSL", ""], -1), "list items and selection")

        d.select(1003, 1)
        s.wait_pane(1, "selected:1")
        d.settext(1005, "新账号")
        expect_equal(d.text(1005), "新账号", "edit text")
        d.click(1014)
        wait_until(lambda: d.control(1014)["checked"] == 1, what="check box ticked by a click")

        d.click(1010)
        box = s.wait_msgbox()
        expect_equal((box["title"], box["text"], box["icon"]), ("信息：", "拔号完毕！", False), "message box")
        expect_equal(box["main_enabled"], False, "a task-modal box disables the window")
        s.screenshot("msgbox")
        d.msgbox_close()
        expect(d.msgbox() is None, "message box closed")

        menu = d.tray_menu(1)
        expect_equal((menu["rect"]["x"], menu["rect"]["y"]), (100, 100), "pop-up menu position")
        s.wait_pane(2, "menu:2002")
        d.key("F1", "ctrl")
        d.key("F1")
        s.wait_pane(2, "hotkey:1")  # Ctrl+F1 does not count as F1
        d.post(d.register_message("TaskbarCreated"))
        s.wait_pane(2, "taskbar")
        expect(d.proc()["working_set"] > 0, "process counters")

        d.close()
        expect_equal(d.wait_exit(), 5, "exit code seen by the driver")
        expect_equal(s.program_exit_code(), 5, "exit code passed through wine")


if __name__ == "__main__":
    main(globals())
