"""End-to-end harness: runs Win32 programs under Wine on Xvfb against the simulated network.

A test script imports this module, writes ``test_*`` functions and ends with
``main(globals())``. Each function usually opens one Scenario:

    with Scenario("dial_ok", entries=["宽带连接"], accounts=[("user", "pass")],
                  pool=["10.0.0.1", "10.0.0.2"]) as s:
        s.start_program()
        s.driver.settext(Control.编辑框_宽带账号, "user")
        ...
        s.driver.click(Control.按钮_拔号)
        s.wait_pane(0, "当前状态：拔号完毕")
        expect_equal(s.ras_calls("RasDialA")[0]["args"]["dwSize"], 1052, "RasDialA dwSize")

A Scenario owns a fresh folder under the build folder (state file, logs, a copy
of the program so its Config.ini starts empty, screenshots), an Xvfb server, the
echo server and every Wine process it starts; leaving the ``with`` block stops
all of them by pid, whatever happened, after a screenshot of the whole screen.

Paths come from the environment that CTest sets (see tests/e2e/CMakeLists.txt):
PELNOR_E2E_BUILD (the build folder), PELNOR_EXE, PELNOR_SIM_BIN (the folder
with rasapi32.dll, pelnor_driver.exe and the probes), PELNOR_WINEPREFIX.
"""

from __future__ import annotations

import configparser
import enum
import json
import os
import queue
import re
import select
import shutil
import signal
import subprocess
import sys
import threading
import time
import traceback
import urllib.parse
from collections import Counter
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
SIM_DIR = REPO / "sim"
sys.path.insert(0, str(SIM_DIR))
from simstate import Connection, SimState  # noqa: E402

# The port of the echo URL the program was built with (CTest passes it).
ECHO_PORT = int(os.environ.get("PELNOR_ECHO_PORT", "18473"))
TRAY_CALLBACK_MESSAGE = 123456
WM_RBUTTONDOWN = 0x0204
CAPTION_PREFIX = "PelnorV1.1"

# Everything under Wine runs through an emulator on machines without 32-bit
# support, so the default time-outs are generous; a step that really hangs
# still ends.
STEP_TIMEOUT = float(os.environ.get("PELNOR_E2E_STEP_TIMEOUT", "30"))


# ---------------------------------------------------------------- paths


def _env_path(name: str, default: Path | None = None) -> Path:
    value = os.environ.get(name)
    if value:
        return Path(value)
    if default is None:
        raise RuntimeError(f"{name} is not set; run the tests through ctest --preset windows-e2e")
    return default


BUILD = _env_path("PELNOR_E2E_BUILD", REPO / "build" / "windows-e2e")
WORK = BUILD / "e2e"
SIM_BIN = _env_path("PELNOR_SIM_BIN", BUILD / "sim")
PELNOR_EXE = _env_path("PELNOR_EXE", BUILD / "Pelnor.exe")
PREFIX = _env_path("PELNOR_WINEPREFIX", WORK / "prefix")


# ---------------------------------------------------------------- the program's controls


def _load_controls() -> type[enum.IntEnum]:
    """The control ids of the main window, read from the program's own header so they never drift."""
    header = (REPO / "src" / "platform" / "main_window.h").read_text(encoding="utf-8")
    body = re.search(r"enum class Control\s*:\s*int\s*\{(.*?)\};", header, re.S).group(1)
    members, value = {}, -1
    for line in body.splitlines():
        line = line.split("//")[0].strip().rstrip(",")
        if not line:
            continue
        name, _, explicit = (part.strip() for part in line.partition("="))
        value = int(explicit, 0) if explicit else value + 1
        members[name] = value
    return enum.IntEnum("Control", members)


Control = _load_controls()


# ---------------------------------------------------------------- assertions


def expect(condition, message: str) -> None:
    if not condition:
        raise AssertionError(message)


def expect_equal(actual, expected, what: str) -> None:
    if actual != expected:
        raise AssertionError(f"{what}: expected {expected!r}, got {actual!r}")


def wait_until(predicate, timeout: float = STEP_TIMEOUT, what: str = "condition", interval: float = 0.1):
    """Polls predicate until it gives a truthy value, which is returned; fails after timeout seconds."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        last = predicate()
        if last:
            return last
        if time.monotonic() >= deadline:
            raise AssertionError(f"timed out after {timeout:.0f} s waiting for {what}; last value: {last!r}")
        time.sleep(interval)


# ---------------------------------------------------------------- processes


def _kill_group(proc: subprocess.Popen | None, grace: float = 2.0) -> None:
    if proc is None or proc.poll() is not None:
        return
    try:
        os.killpg(proc.pid, signal.SIGTERM)
        proc.wait(grace)
    except (ProcessLookupError, subprocess.TimeoutExpired, PermissionError):
        try:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait(grace)
        except (ProcessLookupError, subprocess.TimeoutExpired, PermissionError):
            pass


def _wine_loader_runs() -> bool:
    try:
        return subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True).returncode == 0
    except OSError:  # ENOEXEC: the kernel has no IA-32 emulation
        return False


def ensure_i386_execution() -> None:
    """Wine's 32-bit loader is an i386 Linux program. Where the kernel cannot run
    those (no IA-32 emulation), qemu-user runs it through binfmt_misc; the
    registration does not survive a reboot, so it is made here when missing."""
    if _wine_loader_runs():
        return
    qemu = shutil.which("qemu-i386") or shutil.which("qemu-i386-static")
    if not qemu:
        raise RuntimeError("this kernel cannot run 32-bit programs and qemu-user is missing: run scripts/test as root")
    version = re.search(r"version (\d+)\.(\d+)", subprocess.run([qemu, "--version"], capture_output=True, text=True).stdout)
    if not version or (int(version.group(1)), int(version.group(2))) < (8, 1):
        raise RuntimeError(f"{qemu} is too old for Wine (MAP_FIXED_NOREPLACE needs qemu 8.1 or later)")
    binfmt = Path("/proc/sys/fs/binfmt_misc")
    if not (binfmt / "register").exists():
        subprocess.run(["mount", "-t", "binfmt_misc", "binfmt_misc", str(binfmt)], check=True)
    if not (binfmt / "qemu-i386").exists():
        magic = r"\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00"
        mask = r"\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff"
        (binfmt / "register").write_text(f":qemu-i386:M::{magic}:{mask}:{os.path.realpath(qemu)}:F")
    if not _wine_loader_runs():
        raise RuntimeError("32-bit Wine still does not start under qemu-user")


def wine_env(display: str | None = None, **extra: str) -> dict[str, str]:
    env = {k: v for k, v in os.environ.items() if not k.startswith(("WINE", "WAYLAND"))}
    env.update(
        LC_ALL="zh_CN.UTF-8",
        LANG="zh_CN.UTF-8",
        WINEPREFIX=str(PREFIX),
        WINEARCH="win32",
        WINEDEBUG=os.environ.get("PELNOR_E2E_WINEDEBUG", "-all"),  # e.g. "err+all" to see Wine's complaints
        WINEDLLOVERRIDES="mscoree,mshtml=;rasapi32=n",
    )
    if display:
        env["DISPLAY"] = display
    else:
        env.pop("DISPLAY", None)
    env.update(extra)
    return env


def wineserver_kill() -> None:
    subprocess.run(["wineserver", "-k"], env=wine_env(), capture_output=True, timeout=30)
    subprocess.run(["wineserver", "-w"], env=wine_env(), capture_output=True, timeout=30)


# ---------------------------------------------------------------- the Wine prefix (a CTest fixture)


def prefix_setup() -> None:
    ensure_i386_execution()
    prefix_cleanup()
    WORK.mkdir(parents=True, exist_ok=True)
    started = time.monotonic()
    boot = subprocess.run(["wine", "wineboot", "-i"], env=wine_env(), capture_output=True, text=True, timeout=300)
    subprocess.run(["wineserver", "-w"], env=wine_env(), timeout=120)
    system32 = PREFIX / "drive_c" / "windows" / "system32"
    if boot.returncode != 0 or not system32.is_dir():
        raise RuntimeError(f"wineboot failed ({boot.returncode}): {boot.stderr[-2000:]}")
    # A crash must end the process, not wait on a dialog nobody closes.
    reg = WORK / "prefix.reg"
    reg.write_text('REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\n"ShowCrashDialog"=dword:00000000\n')
    subprocess.run(["wine", "regedit", "/S", str(reg)], env=wine_env(), capture_output=True, timeout=120)
    subprocess.run(["wineserver", "-w"], env=wine_env(), timeout=120)
    shutil.copyfile(SIM_BIN / "rasapi32.dll", system32 / "rasapi32.dll")
    print(f"prefix {PREFIX} ready in {time.monotonic() - started:.1f} s")


def prefix_cleanup() -> None:
    if PREFIX.exists():
        try:
            wineserver_kill()
        except subprocess.TimeoutExpired:
            pass
        shutil.rmtree(PREFIX, ignore_errors=True)


# ---------------------------------------------------------------- the UI driver


class DriverError(AssertionError):
    pass


def _id(target) -> str:
    if isinstance(target, str):
        return target  # "hwnd:<n>" or a number as text
    return str(int(target))


class Driver:
    """The client side of pelnor_driver.exe: one command a line, one JSON answer a line.

    Control arguments take a Control member, a number, or "hwnd:<n>"; 0 is the main window.
    """

    def __init__(self, scenario: "Scenario"):
        self.scenario = scenario
        self.log = open(scenario.dir / "driver.log", "a", encoding="utf-8")
        self.process = subprocess.Popen(
            ["wine", str(SIM_BIN / "pelnor_driver.exe")],
            stdin=subprocess.PIPE,
            stdout=subprocess.PIPE,
            stderr=open(scenario.dir / "driver.stderr", "wb"),
            env=scenario.env,
            cwd=scenario.dir,
            start_new_session=True,
        )
        self.lines: queue.Queue = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        self.cmd("ping", timeout=120)  # the first Wine process of a scenario also starts wineserver

    def _read(self) -> None:
        for line in self.process.stdout:
            self.lines.put(line)
        self.lines.put(None)

    def cmd(self, *args, timeout: float = STEP_TIMEOUT, check: bool = True) -> dict:
        line = " ".join(urllib.parse.quote(str(a), safe="") for a in args)
        self.log.write(f"> {line}\n")
        self.log.flush()
        self.process.stdin.write(line.encode("utf-8") + b"\n")
        self.process.stdin.flush()
        try:
            raw = self.lines.get(timeout=timeout)
        except queue.Empty:
            raise DriverError(f"driver gave no answer to {args!r} in {timeout:.0f} s") from None
        if raw is None:
            raise DriverError(f"driver ended while running {args!r}")
        self.log.write(f"< {raw.decode('utf-8', 'replace')}")
        reply = json.loads(raw)
        if check and not reply.get("ok"):
            raise DriverError(f"driver command {args!r} failed: {reply.get('error')}")
        return reply

    # -- the window
    def attach(self, caption: str = CAPTION_PREFIX, cls: str = "-", timeout: float = 60) -> dict:
        return self.cmd("attach", int(timeout * 1000), caption or "-", cls, timeout=timeout + 10)

    def window(self, target=0) -> dict:
        return self.cmd("window", _id(target))

    def controls(self, root=0) -> list[dict]:
        return self.cmd("controls", _id(root))["controls"]

    def control(self, target) -> dict:
        return self.cmd("control", _id(target))["control"]

    def text(self, target) -> str:
        return self.cmd("text", _id(target))["text"]

    def panes(self) -> list[str]:
        return [p["text"] for p in self.pane_details()]

    def pane_details(self) -> list[dict]:
        return self.cmd("panes")["panes"]

    def items(self, target) -> tuple[list[str], int]:
        reply = self.cmd("items", _id(target))
        return reply["items"], reply["selection"]

    # -- acting as the user
    def click(self, target) -> None:
        self.cmd("click", _id(target))

    def settext(self, target, text: str) -> None:
        self.cmd("settext", _id(target), text)

    def select(self, target, index: int) -> None:
        self.cmd("select", _id(target), index)

    def setcheck(self, target, checked: bool) -> None:
        self.cmd("setcheck", _id(target), int(checked))

    def key(self, name: str, *modifiers: str) -> None:
        self.cmd("key", name, *modifiers)

    # -- message boxes and menus
    def msgbox(self, timeout: float = 0) -> dict | None:
        """The target's message box (title, text, buttons, icon, main_enabled), or None."""
        reply = self.cmd("msgbox", int(timeout * 1000), timeout=timeout + STEP_TIMEOUT)
        return reply["box"] if reply["found"] else None

    def msgbox_close(self, button: int = 1, timeout: float = 10) -> dict:
        return self.cmd("msgbox-close", button, int(timeout * 1000), timeout=timeout + STEP_TIMEOUT)["box"]

    def tray_menu(self, index: int | None = None, timeout: float = 10) -> dict:
        """Right-clicks the tray icon (callback 123456, WM_RBUTTONDOWN); chooses item `index` (0-based) if given."""
        args = ["tray-menu", "-" if index is None else index, int(timeout * 1000)]
        return self.cmd(*args, timeout=timeout + STEP_TIMEOUT)["menu"]

    def menu(self, timeout: float = 0) -> dict | None:
        reply = self.cmd("menu", int(timeout * 1000), timeout=timeout + STEP_TIMEOUT)
        return reply["menu"] if reply["found"] else None

    def menu_choose(self, index: int, timeout: float = 10) -> dict:
        """Chooses item `index` of the open pop-up menu; -1 cancels it."""
        return self.cmd("menu-choose", index, int(timeout * 1000), timeout=timeout + STEP_TIMEOUT)["menu"]

    # -- messages
    def post(self, msg: int, wparam: int = 0, lparam: int = 0, target=0) -> None:
        self.cmd("post", msg, wparam, lparam, _id(target))

    def send(self, msg: int, wparam: int = 0, lparam: int = 0, target=0) -> int:
        return self.cmd("send", msg, wparam, lparam, _id(target))["result"]

    def register_message(self, name: str) -> int:
        return self.cmd("register-message", name)["message"]

    def close(self) -> None:
        self.cmd("close")

    # -- the process
    def windows(self, all_processes: bool = False) -> list[dict]:
        return self.cmd("windows", "all" if all_processes else "target")["windows"]

    def proc(self) -> dict:
        return self.cmd("proc")

    def wait_exit(self, timeout: float = 20) -> int | None:
        reply = self.cmd("wait-exit", int(timeout * 1000), timeout=timeout + STEP_TIMEOUT)
        return reply.get("code") if reply["exited"] else None

    def quit(self) -> None:
        try:
            self.cmd("quit", timeout=5, check=False)
        except DriverError:
            pass
        _kill_group(self.process)
        self.log.close()


# ---------------------------------------------------------------- a scenario
# The servers of the running scenario, by pid: a run killed before its teardown
# (a CTest time-out) leaves them behind, and the next scenario ends them.
LEFTOVERS = WORK / "scenario.pids"


def _reap_leftovers() -> None:
    if LEFTOVERS.exists():
        for line in LEFTOVERS.read_text().splitlines():
            pid, _, marker = line.partition(" ")
            try:
                cmdline = Path(f"/proc/{pid}/cmdline").read_bytes().decode(errors="replace")
            except OSError:
                continue
            if marker and marker in cmdline:
                try:
                    os.kill(int(pid), signal.SIGKILL)
                except OSError:
                    pass
        LEFTOVERS.unlink(missing_ok=True)
    wineserver_kill()  # whatever Wine processes of the prefix are still up




class Scenario:
    """A fresh simulated world for one test: state, logs, X server, echo server, Wine processes.

    entries          phone-book entry names, in order (empty names allowed)
    accounts         (user, password) pairs accepted on every entry; none at all: anything is accepted
    entry_accounts   (entry, user, password) triples accepted on that entry only
    pool             public addresses handed out by successive dials, cycled
    connections      Connection records already present (e.g. made "by another program")
    dial_delay_ms    how long RasDialA takes
    dial_error       every dial fails with this code after the delay (e.g. 676)
    network, echo_mode   how the echo page answers (see sim/README.md)
    state            further state keys: {"hangup_linger_ms": 500, "dial_error_once": [676, 0]}
    config_ini       text of Config.ini placed beside the program before it starts (written as GBK)
    """

    def __init__(
        self,
        name: str,
        *,
        entries=(),
        accounts=(),
        entry_accounts=(),
        pool=(),
        connections=(),
        dial_delay_ms: int = 0,
        dial_error: int = 0,
        network: str = "dialup",
        echo_mode: str = "normal",
        state: dict | None = None,
        config_ini: str | None = None,
    ):
        self.name = name
        self.dir = WORK / "scenarios" / name
        self.state_path = self.dir / "sim_state.txt"
        self.ras_log_path = self.dir / "ras.log"
        self.echo_log_path = self.dir / "echo.log"
        self._procs: list[subprocess.Popen] = []
        self.xvfb = self.echo = self.program = None
        self.driver: Driver | None = None
        self.display: str | None = None
        self.env: dict[str, str] = {}
        self._shots = 0
        self._runs = 0

        initial = SimState()
        initial.append("", "# simulated dial-up network of scenario " + name)
        for e in entries:
            initial.append("entry", e)
        for user, password in accounts:
            initial.append("account", f"{user}\t{password}")
        for entry, user, password in entry_accounts:
            initial.append("entry_account", f"{entry}\t{user}\t{password}")
        for address in pool:
            initial.append("pool", address)
        initial.set("dial_delay_ms", dial_delay_ms)
        initial.set("dial_error", dial_error)
        initial.set("echo_network", network)
        initial.set("echo_mode", echo_mode)
        for key, value in (state or {}).items():
            initial.set_all(key, value if isinstance(value, (list, tuple)) else [value])
        initial.set_connections(list(connections))
        self._initial_state = initial
        self._config_ini = config_ini

    # -- lifetime
    def __enter__(self) -> "Scenario":
        try:
            self._start()
        except BaseException:
            self._stop(failed=True)
            raise
        return self

    def __exit__(self, exc_type, exc, tb) -> None:
        if exc_type is not None:
            print(f"scenario {self.name} failed; its files are in {self.dir}", file=sys.stderr)
        self._stop(failed=exc_type is not None)

    def _start(self) -> None:
        ensure_i386_execution()
        if not (PREFIX / "drive_c").is_dir():
            raise RuntimeError(f"no Wine prefix at {PREFIX}: the e2e.prefix_setup fixture has not run")
        _reap_leftovers()
        shutil.rmtree(self.dir, ignore_errors=True)
        self.dir.mkdir(parents=True)
        self._initial_state.save(str(self.state_path))
        self.ras_log_path.touch()
        self.echo_log_path.touch()
        self._start_xvfb()
        self.env = wine_env(self.display, PELNOR_SIM_STATE=str(self.state_path), PELNOR_SIM_RAS_LOG=str(self.ras_log_path))
        # A persistent wineserver keeps Wine's own services up between the
        # scenario's programs: each later start then takes about a second, not five.
        subprocess.run(["wineserver", "-p"], env=self.env, timeout=30, check=True)
        # The first Wine process also starts Wine's services, which outlive it and
        # inherit its standard handles: a process of our own with no pipes does that.
        self.run_wine(SIM_BIN / "ras_probe.exe", timeout=120)
        self._start_echo()
        LEFTOVERS.write_text(f"{self.xvfb.pid} Xvfb\n{self.echo.pid} echo_server.py\n")

    def _spawn(self, args, log_name: str, **kw) -> subprocess.Popen:
        out = open(self.dir / log_name, "wb")
        proc = subprocess.Popen(args, stdout=out, stderr=subprocess.STDOUT, start_new_session=True, **kw)
        out.close()
        self._procs.append(proc)
        return proc

    def _start_xvfb(self) -> None:
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=[write_fd],
            stdout=subprocess.DEVNULL,
            stderr=open(self.dir / "xvfb.log", "wb"),
            start_new_session=True,
        )
        self._procs.append(self.xvfb)
        os.close(write_fd)
        # Xvfb writes the number and the newline separately and dies if the pipe
        # is gone before the second write: read up to the newline.
        received = b""
        deadline = time.monotonic() + 20
        try:
            while not received.endswith(b"\n") and time.monotonic() < deadline:
                ready, _, _ = select.select([read_fd], [], [], max(0.0, deadline - time.monotonic()))
                chunk = os.read(read_fd, 64) if ready else b""
                if not chunk:
                    break
                received += chunk
        finally:
            os.close(read_fd)
        number = received.decode().strip()
        if not received.endswith(b"\n") or not number:
            raise RuntimeError("Xvfb did not report a display")
        self.display = ":" + number

    def _start_echo(self) -> None:
        self.echo = subprocess.Popen(
            [sys.executable, str(SIM_DIR / "echo_server.py"), str(ECHO_PORT), "--state", str(self.state_path),
             "--log", str(self.echo_log_path)],
            stdout=subprocess.PIPE,
            stderr=open(self.dir / "echo.stderr", "wb"),
            start_new_session=True,
        )
        self._procs.append(self.echo)
        ready, _, _ = select.select([self.echo.stdout], [], [], 20)
        line = self.echo.stdout.readline().decode() if ready else ""
        if not line.startswith("listening"):
            raise RuntimeError(f"echo server did not start: {(self.dir / 'echo.stderr').read_text()}")

    def _stop(self, failed: bool) -> None:
        steps = [
            lambda: self.screenshot("final"),
            lambda: self.driver and self.driver.quit(),
            lambda: _kill_group(self.program),
            wineserver_kill,
        ]
        steps += [lambda p=p: _kill_group(p) for p in reversed(self._procs)]
        steps.append(lambda: LEFTOVERS.unlink(missing_ok=True))
        for step in steps:
            try:
                step()
            except Exception:  # teardown goes on whatever one step did
                traceback.print_exc()

    # -- Wine programs
    def start_program(self, exe: Path | str | None = None, caption: str = CAPTION_PREFIX, attach: bool = True) -> dict | None:
        """Copies the program into the scenario folder, starts it, starts the driver and attaches it.

        Returns the main window as the driver's attach reports it (pid, window)."""
        source = Path(exe) if exe else PELNOR_EXE
        copy = self.dir / source.name
        shutil.copyfile(source, copy)
        if self._config_ini is not None:
            (self.dir / "Config.ini").write_bytes(self._config_ini.replace("\n", "\r\n").encode("gbk"))
        # The driver first: its start brings up wineserver and the desktop, so the
        # program never races it for them.
        if self.driver is None:
            self.driver = Driver(self)
        self.program = self._spawn(["wine", str(copy)], "program.out", env=self.env, cwd=self.dir)
        return self.driver.attach(caption) if attach else None

    def run_wine(self, exe: Path | str, *args: str, timeout: float = 120) -> subprocess.CompletedProcess:
        """Runs a console program to its end under the scenario's Wine and network.

        Its output goes through files: a pipe would stay open as long as any
        Wine process that inherited it, and so would the wait for its end."""
        self._runs += 1
        out_path, err_path = self.dir / f"run-{self._runs:02d}.out", self.dir / f"run-{self._runs:02d}.err"
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            proc = subprocess.Popen(["wine", str(exe), *args], env=self.env, cwd=self.dir, stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=err, start_new_session=True)
        try:
            code = proc.wait(timeout)
        except subprocess.TimeoutExpired:
            _kill_group(proc)
            raise
        return subprocess.CompletedProcess(proc.args, code, out_path.read_bytes(), err_path.read_bytes())

    def probe(self, *actions: str, timeout: float = 120) -> list[dict]:
        """Runs ras_probe.exe with the actions; its JSON lines."""
        done = self.run_wine(SIM_BIN / "ras_probe.exe", *actions, timeout=timeout)
        return [json.loads(l) for l in done.stdout.decode("utf-8", "replace").splitlines() if l.startswith("{")]

    def program_exit_code(self, timeout: float = STEP_TIMEOUT) -> int:
        """The exit code of the program's process (wine passes it through)."""
        return self.program.wait(timeout)

    # -- what the user sees
    def screenshot(self, label: str | None = None, settle: float = 0.5) -> Path | None:
        """The whole screen as <scenario>/screen-NN-<label>.png. Under an emulator a
        window paints late: `settle` seconds pass first."""
        if not self.display or not self.xvfb or self.xvfb.poll() is not None:
            return None
        time.sleep(settle)
        self._shots += 1
        path = self.dir / f"screen-{self._shots:02d}-{label or 'shot'}.png"
        subprocess.run(["import", "-display", self.display, "-window", "root", str(path)], capture_output=True, timeout=30)
        return path

    def wait_pane(self, index: int, text: str, timeout: float = STEP_TIMEOUT) -> list[str]:
        return wait_until(lambda: (p := self.driver.panes())[index] == text and p, timeout, f"pane {index} = {text!r}")

    @staticmethod
    def screen_colours(png: Path, rect: dict) -> "Counter[tuple[int, int, int]]":
        """The colours of a screen rectangle ({x, y, w, h}) of a screenshot, as (r, g, b) counts."""
        area = f"{rect['w']}x{rect['h']}+{rect['x']}+{rect['y']}"
        raw = subprocess.run(["convert", str(png), "-crop", area, "+repage", "-depth", "8", "rgb:-"],
                             capture_output=True, check=True, timeout=30).stdout
        return Counter(tuple(raw[i:i + 3]) for i in range(0, len(raw) - 2, 3))

    def wait_panes(self, *texts: str, timeout: float = STEP_TIMEOUT) -> list[str]:
        """Waits until the three status panes read `texts`. A program blocked in a dial or a
        lookup does not answer the driver in time: that counts as not there yet."""
        deadline, last = time.monotonic() + timeout, None
        while True:
            try:
                last = self.driver.panes()
            except DriverError as e:
                last = f"no answer: {e}"
            if last == list(texts):
                return last
            if time.monotonic() >= deadline:
                raise AssertionError(f"timed out after {timeout:.0f} s waiting for panes {list(texts)!r}; last: {last!r}")
            time.sleep(0.1)

    def wait_started(self, timeout: float = 2 * STEP_TIMEOUT) -> None:
        """Waits for the end of Pelnor's start-up sequence, whose last step disables the hotkey
        list. The window is shown, and answers the driver, before that sequence has run."""
        wait_until(lambda: not self.driver.control(Control.组合框_热键)["enabled"], timeout, "the end of start-up")

    def wait_msgbox(self, timeout: float = STEP_TIMEOUT) -> dict:
        box = self.driver.msgbox(timeout)
        expect(box is not None, f"no message box appeared in {timeout:.0f} s")
        return box

    # -- the simulated network
    def state(self) -> SimState:
        return SimState.load(str(self.state_path))

    def update_state(self, **keys) -> SimState:
        """Changes state keys between steps; a list value replaces all lines of the key."""
        state = self.state()
        for key, value in keys.items():
            state.set_all(key, value if isinstance(value, (list, tuple)) else [value])
        state.save(str(self.state_path))
        return state

    def connections(self) -> list[Connection]:
        return self.state().connections()

    def add_connection(self, entry: str, address: str, handle: int | None = None, state: str = "connected") -> Connection:
        """A connection made "by another program": listed by RasEnumConnectionsA, hung up by RasHangUpA."""
        current = self.state()
        conns = current.connections()
        handle = handle or max([0x8000] + [c.handle + 4 for c in conns])
        conn = Connection(handle=handle, state=state, entry=entry, address=address, owner="other")
        current.set_connections(conns + [conn])
        current.save(str(self.state_path))
        return conn

    def ras_calls(self, fn: str | None = None, process: str | None = None) -> list[dict]:
        """Logged RAS calls, oldest first: {t, pid, process, fn, args, result}."""
        calls = _read_json_lines(self.ras_log_path)
        return [c for c in calls if (fn is None or c["fn"] == fn) and (process is None or c["process"] == process)]

    def echo_requests(self) -> list[dict]:
        """Logged echo requests: {t, request_line, method, path, version, headers, network, mode, address, answer}."""
        return _read_json_lines(self.echo_log_path)

    def config_ini(self) -> dict[str, dict[str, str]] | None:
        """Config.ini beside the program copy, decoded from GBK; None when there is none."""
        path = self.dir / "Config.ini"
        if not path.exists():
            return None
        parser = configparser.RawConfigParser(strict=False, interpolation=None)
        parser.optionxform = str
        parser.read_string(path.read_bytes().decode("gbk", errors="replace"))
        return {section: dict(parser[section]) for section in parser.sections()}


def _read_json_lines(path: Path) -> list[dict]:
    if not path.exists():
        return []
    out = []
    for line in path.read_bytes().decode("utf-8", "replace").split("\n"):
        if line.strip():
            try:
                out.append(json.loads(line))
            except json.JSONDecodeError:
                pass  # a line still being written
    return out


# ---------------------------------------------------------------- running scripts


def main(namespace: dict) -> None:
    """Runs the script's test_* functions (or those named on the command line) and reports."""
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # so that teardowns still run
    names = sys.argv[1:] or [n for n in namespace if n.startswith("test_") and callable(namespace[n])]
    passed = failed = 0
    for name in names:
        started = time.monotonic()
        try:
            namespace[name]()
            passed += 1
            print(f"PASS {name} ({time.monotonic() - started:.1f} s)", flush=True)
        except Exception:
            failed += 1
            traceback.print_exc()
            print(f"FAIL {name} ({time.monotonic() - started:.1f} s)", flush=True)
    print(f"{passed} passed, {failed} failed")
    sys.exit(1 if failed else 0)


def shell(argv: list[str]) -> None:
    """A scenario by hand: starts the program and reads driver commands from stdin.

    Lines are driver commands as pelnor_driver.exe takes them (percent-encode
    spaces as %20); lines starting with "!" are the harness's own:
    !state, !set key=value, !ras, !echo, !ini, !shot [label], !quit."""
    import argparse

    parser = argparse.ArgumentParser(prog="pelnor_e2e.py shell", description=shell.__doc__)
    parser.add_argument("--exe", help="program to start (default: Pelnor.exe)")
    parser.add_argument("--caption", default=CAPTION_PREFIX, help="caption prefix of its main window")
    parser.add_argument("--entry", action="append", default=[], help="phone-book entry (repeatable)")
    parser.add_argument("--account", action="append", default=[], help="user:password (repeatable)")
    parser.add_argument("--pool", action="append", default=[], help="public address (repeatable)")
    parser.add_argument("--network", default="dialup")
    parser.add_argument("--echo-mode", default="normal")
    args = parser.parse_args(argv)
    accounts = [tuple(a.split(":", 1)) for a in args.account]
    with Scenario("shell", entries=args.entry, accounts=accounts, pool=args.pool, network=args.network,
                  echo_mode=args.echo_mode) as s:
        print(json.dumps(s.start_program(args.exe, caption=args.caption), ensure_ascii=False), flush=True)
        for line in sys.stdin:
            line = line.strip()
            if not line:
                continue
            if line == "!quit":
                break
            try:
                if line == "!state":
                    print(s.state_path.read_text(encoding="utf-8"), end="")
                elif line.startswith("!set "):
                    key, _, value = line[5:].partition("=")
                    s.update_state(**{key.strip(): value})
                elif line == "!ras":
                    print("\n".join(json.dumps(c, ensure_ascii=False) for c in s.ras_calls()))
                elif line == "!echo":
                    print("\n".join(json.dumps(r, ensure_ascii=False) for r in s.echo_requests()))
                elif line == "!ini":
                    print(s.config_ini())
                elif line.startswith("!shot"):
                    print(s.screenshot(line[5:].strip() or "shell"))
                else:
                    tokens = [urllib.parse.unquote(t) for t in line.split(" ")]
                    print(json.dumps(s.driver.cmd(*tokens, check=False), ensure_ascii=False))
            except Exception as e:  # a bad line should not end the session
                print(f"error: {e}")
            sys.stdout.flush()


if __name__ == "__main__":
    commands = {"prefix-setup": prefix_setup, "prefix-cleanup": prefix_cleanup}
    if len(sys.argv) >= 2 and sys.argv[1] == "shell":
        shell(sys.argv[2:])
    elif len(sys.argv) == 2 and sys.argv[1] in commands:
        commands[sys.argv[1]]()
    else:
        sys.exit(f"usage: {sys.argv[0]} prefix-setup|prefix-cleanup|shell [--help]")
