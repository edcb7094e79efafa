"""The dial-up and HTTP libraries come from the system directory only: a rasapi32.dll or
wininet.dll planted beside the program is never loaded, and the program does not import them."""

import json
import shutil
import subprocess

from pelnor_e2e import PELNOR_EXE, SIM_BIN, Connection, Control, Scenario, expect, expect_equal, main

C = Control
PLANTED = ("rasapi32.dll", "wininet.dll")
ERROR_DLL_INIT_FAILED = 1114


def test_no_static_import():
    """A static import would be resolved by the loader's ordinary search, the program's folder first."""
    objdump = shutil.which("i686-w64-mingw32-objdump") or "objdump"
    dump = subprocess.run([objdump, "-p", str(PELNOR_EXE)], capture_output=True, text=True, check=True).stdout
    imported = {line.split(":", 1)[1].strip().lower() for line in dump.splitlines() if "DLL Name:" in line}
    expect("kernel32.dll" in imported, f"objdump lists the imports: {sorted(imported)}")
    expect_equal(imported & set(PLANTED), set(), "rasapi32.dll and wininet.dll imported")


def markers(s: Scenario) -> dict[str, list[str]]:
    """Planted DLLs that were loaded, with the processes that loaded them."""
    found = {}
    for dll in PLANTED:
        path = s.dir / f"{dll}.loaded"
        if path.exists():
            found[dll] = [line.rsplit("\\", 1)[-1] for line in path.read_text("latin-1").splitlines()]
    return found


def test_planted_dlls_beside_the_program():
    entries = ["宽带连接"]
    with Scenario("dll_search", entries=entries, pool=["10.0.0.1"],
                  connections=[Connection(handle=0x9000, entry="其他连接", address="10.0.0.9")]) as s:
        for dll in PLANTED:
            shutil.copyfile(SIM_BIN / "planted" / dll, s.dir / dll)
        # Windows has no built-in copies: its search takes the first file of the name. Wine
        # prefers its own wininet.dll to any other unless told to take native ones first.
        s.env["WINEDLLOVERRIDES"] += ";wininet=n,b"

        # The control: a program of the same folder that loads them by their bare names gets
        # the planted copies (which refuse to load); from the system directory only, it does not.
        probe = s.dir / "load_probe.exe"
        shutil.copyfile(SIM_BIN / "load_probe.exe", probe)
        done = s.run_wine(probe, *PLANTED, "-system32", *PLANTED)
        loads = [json.loads(line) for line in done.stdout.decode().splitlines() if line.startswith("{")]
        expect_equal([(l["system32"], l["loaded"], l["error"]) for l in loads],
                     [(False, False, ERROR_DLL_INIT_FAILED)] * 2 + [(True, True, 0)] * 2,
                     f"the probe's loads: {loads}")
        expect_equal(markers(s), {dll: ["load_probe.exe"] for dll in PLANTED}, "the planted DLLs reached by the probe")
        for dll in PLANTED:
            (s.dir / f"{dll}.loaded").unlink()

        # The program beside them works with the system's: start-up lists the phone book and
        # finds the connection and its address, HangUp and Dial go through.
        s.start_program()
        s.wait_started()
        expect_equal(markers(s), {}, "planted DLLs loaded by the program's start")
        d = s.driver
        s.wait_panes("当前状态：网络已连接", "当前IP：10.0.0.9", "之前IP：无信息")
        expect_equal(d.items(C.组合框_宽带连接), (entries, 0), "the phone book listed")
        d.click(C.按钮_断线)
        s.wait_panes("当前状态：已断开网络连接", "当前IP：10.0.0.9", "之前IP：10.0.0.9")
        d.click(C.按钮_拔号)
        s.wait_panes("当前状态：拔号完毕", "当前IP：10.0.0.1", "之前IP：10.0.0.9")
        fns = {c["fn"] for c in s.ras_calls(process="Pelnor.exe")}
        expect_equal(fns, {"RasEnumEntriesA", "RasEnumConnectionsA", "RasGetConnectStatusA", "RasHangUpA", "RasDialA"},
                     "the system's rasapi32.dll served the program")
        expect_equal(len(s.echo_requests()), 4, "the system's wininet.dll fetched the page for every lookup")
        expect_equal(markers(s), {}, "planted DLLs loaded")


if __name__ == "__main__":
    main(globals())
