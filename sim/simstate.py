"""The simulated network's state file, as the echo server and the tests see it.

UTF-8 text, one ``key=value`` a line, lists as repeated keys; lines that are
not ``key=value`` (comments, blanks) are kept as they are. rasapi32.dll reads
the same file on every call and writes it back when a call changes it; both
sides replace the file atomically, so a reader never sees half of it.
"""

from __future__ import annotations

import dataclasses
import os
import time


@dataclasses.dataclass
class Connection:
    """One ``conn=`` line: a dial-up connection known to the simulated service."""

    handle: int
    state: str = "connected"  # connected, connecting, failed, hangingup
    entry: str = ""
    address: str = ""
    owner: str = "other"  # "pid:<n>" for one made by RasDialA
    error: int = 0  # failed: the dial's error code
    until_ms: int = 0  # hangingup: when the handle disappears (ms since 1970)

    def line(self) -> str:
        return "\t".join(
            [str(self.handle), self.state, self.entry, self.address, self.owner, str(self.error), str(self.until_ms)]
        )

    @classmethod
    def parse(cls, value: str) -> "Connection":
        f = value.split("\t") + [""] * 7
        return cls(
            handle=int(f[0] or 0, 0),
            state=f[1],
            entry=f[2],
            address=f[3],
            owner=f[4],
            error=int(f[5] or 0, 0),
            until_ms=int(f[6] or 0, 0),
        )


class SimState:
    def __init__(self, lines: list[tuple[str, str]] | None = None):
        self.lines: list[tuple[str, str]] = list(lines or [])

    @classmethod
    def load(cls, path: str) -> "SimState":
        try:
            with open(path, "rb") as f:
                text = f.read().decode("utf-8", errors="replace")
        except FileNotFoundError:
            return cls()
        lines = []
        for raw in text.split("\n"):
            line = raw[:-1] if raw.endswith("\r") else raw
            key, eq, value = line.partition("=")
            if not line or line.startswith("#") or not eq or not key:
                lines.append(("", line))
            else:
                lines.append((key, value))
        if lines and lines[-1] == ("", ""):
            lines.pop()
        return cls(lines)

    def save(self, path: str) -> None:
        text = "".join((value if not key else f"{key}={value}") + "\n" for key, value in self.lines)
        temp = f"{path}.tmp{os.getpid()}"
        with open(temp, "wb") as f:
            f.write(text.encode("utf-8"))
        os.replace(temp, path)

    def get(self, key: str, default: str | None = None) -> str | None:
        for k, v in self.lines:
            if k == key:
                return v
        return default

    def get_int(self, key: str, default: int) -> int:
        value = self.get(key)
        try:
            return int(value, 0) if value is not None else default
        except ValueError:
            return default

    def get_all(self, key: str) -> list[str]:
        return [v for k, v in self.lines if k == key]

    def set(self, key: str, value) -> None:
        """Replaces the first line of the key (dropping any later ones), or appends one."""
        value = str(value)
        for i, (k, _) in enumerate(self.lines):
            if k == key:
                self.lines[i] = (key, value)
                self.lines = self.lines[: i + 1] + [l for l in self.lines[i + 1 :] if l[0] != key]
                return
        self.lines.append((key, value))

    def set_all(self, key: str, values) -> None:
        self.remove(key)
        for v in values:
            self.append(key, v)

    def remove(self, key: str) -> None:
        self.lines = [l for l in self.lines if l[0] != key]

    def append(self, key: str, value) -> None:
        self.lines.append((key, str(value)))

    def connections(self) -> list[Connection]:
        return [Connection.parse(v) for v in self.get_all("conn")]

    def set_connections(self, connections: list[Connection]) -> None:
        self.set_all("conn", [c.line() for c in connections])

    def listed_connections(self) -> list[Connection]:
        """The connections RasEnumConnectionsA lists: up or still connecting."""
        return [c for c in self.connections() if c.state in ("connected", "connecting")]

    def dialup_address(self) -> str | None:
        """The public address of the newest connected dial-up connection, None when none is up."""
        connected = [c for c in self.connections() if c.state == "connected"]
        return connected[-1].address if connected else None


def now_ms() -> int:
    return int(time.time() * 1000)
