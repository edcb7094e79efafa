"""The figures of scripts/bench, each beside its floor, measured in one run.

Pelnor.exe and a minimal window program (bench/minimal_window.cpp) run under
the same Wine prefix, started the same way; the driver times them from outside.
"""

from __future__ import annotations

import os
import re
import resource
import statistics
import subprocess
import sys
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
BUILD = REPO / "build" / "bench"
os.environ.update(
    PELNOR_E2E_BUILD=str(BUILD),
    PELNOR_EXE=str(BUILD / "Pelnor.exe"),
    PELNOR_SIM_BIN=str(BUILD / "sim"),
    PELNOR_WINEPREFIX=str(BUILD / "e2e" / "prefix"),
    PELNOR_ECHO_PORT="18474",
)
sys.path.insert(0, str(REPO / "tests" / "e2e"))
import pelnor_e2e as e2e  # noqa: E402
from pelnor_e2e import Connection, Control, Scenario  # noqa: E402

MINIMAL = BUILD / "bench" / "minimal_window.exe"
STARTS = int(os.environ.get("PELNOR_BENCH_STARTS", "5"))
REDIALS_TIMED = int(os.environ.get("PELNOR_BENCH_REDIALS", "20"))
SOAK = int(os.environ.get("PELNOR_BENCH_SOAK", "200"))
# What Windows itself provides: a program that imports only these needs nothing installed.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "shell32.dll", "msvcrt.dll",
               "advapi32.dll", "ole32.dll", "ws2_32.dll", "shlwapi.dll"}


def imports(exe: Path) -> list[str]:
    dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", str(exe)], capture_output=True, text=True,
                          check=True).stdout
    return re.findall(r"DLL Name: (\S+)", dump)


class Bench(Scenario):
    def __init__(self):
        super().__init__(
            "bench",
            entries=["宽带连接"],
            accounts=[("bench", "bench")],
            pool=["10.1.0.1", "10.1.0.2", "10.1.0.3"],
            connections=[Connection(handle=0x9000, entry="宽带连接", address="10.1.0.0")],
            config_ini="[宽带信息]\n连接索引=0\nADSL账号=bench\nADSL密码=bench\n",
        )

    def time_start(self, exe: Path, caption: str, pane_prefix: str) -> float:
        """Seconds from `wine exe` until pane 0 starts with the prefix; the program is then closed."""
        copy = self.dir / exe.name  # beside the scenario's Config.ini, as start_program places it
        if not copy.exists():
            copy.write_bytes(exe.read_bytes())
        started = time.monotonic()
        program = self._spawn(["wine", str(copy)], f"start-{exe.stem}.out", env=self.env, cwd=self.dir)
        self.driver.attach(caption, timeout=120)
        reply = self.driver.cmd("wait-pane", 0, pane_prefix, 120000, timeout=130)
        elapsed = time.monotonic() - started
        e2e.expect(reply["reached"], f"{exe.name}: pane 0 never showed {pane_prefix!r}: {reply['pane']!r}")
        self.driver.close()
        program.wait(60)
        return elapsed

    def redial(self, settle_ms: int = 0, poll_ms: int = 20) -> dict:
        """One Redial from its button. The driver reads the status bar every poll_ms once
        settle_ms have passed; each read costs the program two messages."""
        reply = self.driver.cmd("time-click", int(Control.按钮_重拔), 0, "当前状态：重拔完毕", 60000, settle_ms,
                                poll_ms, timeout=70)
        e2e.expect(reply["reached"], f"the Redial did not finish: pane 0 {reply['pane']!r}")
        return reply

    def network_floor(self, times: int = 5) -> tuple[float, float]:
        """Milliseconds and CPU milliseconds that the RAS calls and the two echo fetches of one
        Redial take in a bare console program: what Pelnor cannot do faster. Done `times` times
        over and averaged; the CPU time is the difference between a run with them and one
        without, so the probe's own start-up cancels."""
        url = f"http://127.0.0.1:{e2e.ECHO_PORT}/ic.asp"
        warm_up = ["fetch", url, "clock"]
        cpu_before = children_cpu_ms()
        self.probe(*warm_up, "clock")
        cpu_bare = children_cpu_ms() - cpu_before
        handle = str(next(c.handle for c in self.connections() if c.state == "connected"))
        work = []
        for _ in range(times):
            work += ["conns", "status", handle, "fetch", url, "conns", "hangup", handle, "status", handle,
                     "entries", "dial", "@0", "bench", "bench", "status", "fetch", url]
            handle = "last"  # the probe's own dial is the connection of the next round
        cpu_before = children_cpu_ms()
        steps = self.probe(*warm_up, *work, "clock")
        cpu_work = children_cpu_ms() - cpu_before
        return ((float(steps[-1]["ms"]) - float(steps[1]["ms"])) / times,
                max(0.0, cpu_work - cpu_bare) / times)

    def cpu_ms(self) -> float:
        """CPU time of the program's process as the kernel counts it (Wine's own count of
        another process's times falls short here)."""
        fields = Path(f"/proc/{self.program.pid}/stat").read_text().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) * 1000 / os.sysconf("SC_CLK_TCK")

    def memory(self) -> dict:
        proc = self.driver.proc()
        # Wine reports no private bytes; its pagefile usage is the process's private commit.
        return {"private": proc.get("private_bytes") or proc["pagefile"], "working_set": proc["working_set"]}

    def cpu_share_over(self, seconds: float) -> float:
        before, started = self.cpu_ms(), time.monotonic()
        time.sleep(seconds)
        return (self.cpu_ms() - before) / ((time.monotonic() - started) * 1000)


def children_cpu_ms() -> float:
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (usage.ru_utime + usage.ru_stime) * 1000


def kib(n: int) -> str:
    return f"{n / 1024:.0f} KiB"


def main() -> int:
    if not (e2e.PREFIX / "drive_c").is_dir():
        e2e.prefix_setup()
    rows: list[tuple[str, str, str, str, bool]] = []

    def row(what, figure, floor, target, met):
        rows.append((what, figure, floor, target, met))
        print(f"  {what}: {figure} (floor {floor})", flush=True)

    exe = BUILD / "Pelnor.exe"
    size, floor_size = exe.stat().st_size, MINIMAL.stat().st_size
    dlls = imports(exe)
    foreign = [d for d in dlls if d.lower() not in SYSTEM_DLLS]
    row("Pelnor.exe size", kib(size), f"{kib(floor_size)} minimal window program", "< 256 KiB", size < 256 * 1024)
    row("DLLs imported", ", ".join(dlls), ", ".join(imports(MINIMAL)), "system DLLs only", not foreign)

    with Bench() as s:
        s.start_program()  # also brings up the driver and Wine's services
        s.driver.close()
        s.program.wait(60)

        pelnor, minimal = [], []
        for _ in range(STARTS):
            minimal.append(s.time_start(MINIMAL, "PelnorBench", "ready"))
            pelnor.append(s.time_start(exe, e2e.CAPTION_PREFIX, "当前状态：网络"))
        ratio = statistics.median(pelnor) / statistics.median(minimal)
        row(f"start-up, median of {STARTS}", f"{statistics.median(pelnor):.2f} s ({ratio:.2f} x)",
            f"{statistics.median(minimal):.2f} s minimal window program", "< 1.5 x", ratio < 1.5)

        floor_ms, floor_cpu = s.network_floor()

        s.program = s._spawn(["wine", str(s.dir / exe.name)], "program.out", env=s.env, cwd=s.dir)
        s.driver.attach(e2e.CAPTION_PREFIX, timeout=120)
        s.driver.cmd("wait-pane", 2, "之前IP：无信息", 120000, timeout=130)

        s.redial()
        after_one = s.memory()
        # Timed to the millisecond near the end only: the pause takes 1000 ms at least.
        timings = [s.redial(settle_ms=900, poll_ms=1) for _ in range(REDIALS_TIMED)]
        wall = statistics.median(float(t["ms"]) for t in timings)
        # The CPU share: the status bar read only every 100 ms, so the reading costs the
        # program little, and the CPU time set against the Redials' own time measured above.
        cpu_before = s.cpu_ms()
        loads = [s.redial(settle_ms=900, poll_ms=100) for _ in range(10)]
        cpu_share = (s.cpu_ms() - cpu_before) / (len(loads) * wall)
        row(f"Redial, click to 重拔完毕, median of {REDIALS_TIMED}", f"{wall:.0f} ms (+{wall - 1000:.0f} ms)",
            f"1000 ms pause + {floor_ms:.0f} ms: its RAS calls and two echo fetches in a bare program",
            "overhead < 50 ms", wall - 1000 < 50)
        row("CPU during a Redial", f"{100 * cpu_share:.1f} % of its wall time",
            f"{100 * floor_cpu / (1000 + floor_ms):.1f} %: the bare program's {floor_cpu:.0f} ms CPU over the same wall",
            "< 5 %", cpu_share < 0.05)

        for _ in range(SOAK - 1 - REDIALS_TIMED - len(loads)):
            s.redial()
        after_soak = s.memory()
        growth = after_soak["private"] - after_one["private"]
        row(f"private bytes after 1 and {SOAK} Redials",
            f"{kib(after_one['private'])} / {kib(after_soak['private'])} (+{growth / 1024:.0f} KiB)",
            "no growth", "growth < 64 KiB", growth < 64 * 1024)
        row(f"working set after 1 and {SOAK} Redials",
            f"{kib(after_one['working_set'])} / {kib(after_soak['working_set'])}", "-", "-", True)

        idle = s.cpu_share_over(10)
        s.driver.settext(Control.编辑框_定时间隔, "60")
        s.driver.click(Control.按钮_定时)
        counting = s.cpu_share_over(10)
        s.driver.click(Control.按钮_定时)
        s.driver.close()
        s.program.wait(60)

        s.program = s._spawn(["wine", str(s.dir / MINIMAL.name)], "minimal.out", env=s.env, cwd=s.dir)
        s.driver.attach("PelnorBench", timeout=120)
        floor_idle = s.cpu_share_over(10)
        s.driver.close()
        s.program.wait(60)
        row("CPU in 10 idle seconds", f"{100 * idle:.2f} %", f"{100 * floor_idle:.2f} % minimal window program",
            "near zero", idle < 0.01)
        row("CPU in 10 s of timed redial counting", f"{100 * counting:.2f} %", f"{100 * idle:.2f} % idle",
            "near zero", counting < 0.01)

    print()
    print("| measure | figure | floor | target | met |")
    print("|---|---|---|---|---|")
    for what, figure, floor, target, met in rows:
        print(f"| {what} | {figure} | {floor} | {target} | {'yes' if met else 'NO'} |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
