"""Config.ini beside the program: what "保存信息" writes through the system's private-profile
routines, and what the next start restores from it."""

import shutil

from pelnor_e2e import PELNOR_EXE, Control, Scenario, expect, expect_equal, main, wait_until

C = Control
ENTRIES = ["宽带连接", "备用连接", "第三条"]
SECTION = "宽带信息"
# In GBK the second byte of 淺 is 0x5C, a backslash: the folder is not cut inside the name.
EXE_NAME = "拨号淺.exe"


def write_config(s: Scenario, text: str | None) -> None:
    path = s.dir / "Config.ini"
    if text is None:
        path.unlink(missing_ok=True)
    else:
        path.write_bytes(text.replace("\n", "\r\n").encode("gbk"))


def config_lines(s: Scenario) -> list[str]:
    path = s.dir / "Config.ini"
    return path.read_bytes().decode("gbk").splitlines() if path.exists() else []


def restart(s: Scenario, exe) -> None:
    """Closes the program with its close box and starts it again in the same folder."""
    s.driver.close()
    expect_equal(s.program_exit_code(), 0, "exit code")
    s.start_program(exe)
    s.wait_started()


def shown(s: Scenario) -> tuple[int, str, str]:
    d = s.driver
    return d.items(C.组合框_宽带连接)[1], d.text(C.编辑框_宽带账号), d.text(C.编辑框_宽带密码)


def fill(s: Scenario, index: int, account: str, password: str) -> None:
    s.driver.select(C.组合框_宽带连接, index)
    s.driver.settext(C.编辑框_宽带账号, account)
    s.driver.settext(C.编辑框_宽带密码, password)


def test_save_and_restore():
    with Scenario("settings_save", entries=ENTRIES) as s:
        exe = s.dir / "original" / EXE_NAME
        exe.parent.mkdir()
        shutil.copyfile(PELNOR_EXE, exe)
        s.start_program(exe)  # runs a copy beside which Config.ini belongs
        s.wait_started()
        d = s.driver
        panes = d.panes()
        expect(not (s.dir / "Config.ini").exists(), "no Config.ini before the first save")

        # The first save creates the file: the section and the three keys in the order written,
        # an empty password as a key with nothing after "=", Chinese text as GBK.
        fill(s, 1, "用户甲", "")
        d.click(C.按钮_保存配置)
        first = [f"[{SECTION}]", "连接索引=1", "ADSL账号=用户甲", "ADSL密码="]
        wait_until(lambda: [l for l in config_lines(s) if l.strip()] == first, what=f"Config.ini holding {first}")
        expect_equal(d.panes(), panes, "saving changes nothing in the window")

        # Another program or the user adds keys and sections; two more saves keep them and
        # leave one copy of each of the program's keys, with the last values.
        write_config(s, f"[其他程序]\n键=值\n\n[{SECTION}]\n备注=保留\n连接索引=1\nADSL账号=用户甲\nADSL密码=\n\n[尾部]\nx=1\n")
        fill(s, 0, "第一次", "pw1")
        d.click(C.按钮_保存配置)
        wait_until(lambda: (s.config_ini() or {}).get(SECTION, {}).get("ADSL账号") == "第一次", what="the second save")
        fill(s, 2, "第二次", "新密码")
        d.click(C.按钮_保存配置)
        expected = {
            "其他程序": {"键": "值"},
            SECTION: {"备注": "保留", "连接索引": "2", "ADSL账号": "第二次", "ADSL密码": "新密码"},
            "尾部": {"x": "1"},
        }
        wait_until(lambda: s.config_ini() == expected, what=f"Config.ini = {expected}")
        keys = [l.split("=", 1)[0] for l in config_lines(s) if "=" in l]
        expect_equal(sorted(keys), sorted(["键", "备注", "连接索引", "ADSL账号", "ADSL密码", "x"]), "one line per key")

        restart(s, exe)
        expect_equal(shown(s), (2, "第二次", "新密码"), "restored after a restart")
        expect_equal(s.config_ini(), expected, "a start only reads the file")


# Config.ini text (None: no file), then the entry selected, the account and the password shown.
RESTORE_CASES = [
    (None, (0, "", "")),
    (f"[{SECTION}]\n连接索引=2\nADSL账号=user\nADSL密码=\n", (0, "", "")),
    (f"[{SECTION}]\n连接索引=-1\nADSL账号=用户乙\nADSL密码=密码\n", (-1, "用户乙", "密码")),
    (f"[{SECTION}]\n连接索引=5\nADSL账号=user\nADSL密码=pw\n", (2, "user", "pw")),
]


def test_restore_cases():
    with Scenario("settings_restore", entries=ENTRIES) as s:
        failures = []
        for i, (text, expected) in enumerate(RESTORE_CASES):
            write_config(s, text)
            s.start_program()
            s.wait_started()
            got = shown(s)
            if got != expected:
                failures.append(f"Config.ini {text!r}: expected {expected}, got {got}")
            s.screenshot(f"restore-{i}")
            s.driver.close()
            expect_equal(s.program_exit_code(), 0, "exit code")
        expect(not failures, "restored settings differ:\n  " + "\n  ".join(failures))


if __name__ == "__main__":
    main(globals())
