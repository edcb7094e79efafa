"""The program under Wine against the simulated network, for a person to try.

Run through scripts/run, which builds what this needs first.
"""

from __future__ import annotations

import os
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests" / "e2e"))
import pelnor_e2e as e2e  # noqa: E402
from pelnor_e2e import Connection, Control, Scenario  # noqa: E402

ENTRIES = ["宽带连接", "ADSL拨号"]
ACCOUNT = ("pelnor@adsl", "secret")
POOL = ["58.37.12.201", "58.37.12.202", "58.37.12.203"]
# Already saved by a previous run: the first entry with its account.
CONFIG_INI = "[宽带信息]\n连接索引=0\nADSL账号=pelnor@adsl\nADSL密码=secret\n"


class Demo(Scenario):
    """A scenario that shows the program on the user's display when there is one."""

    def __init__(self, display: str | None):
        super().__init__(
            "demo",
            entries=ENTRIES,
            accounts=[ACCOUNT],
            pool=POOL,
            dial_delay_ms=500,
            # Online from the start, as after booting with the line up.
            connections=[Connection(handle=0x9000, entry=ENTRIES[0], address="58.37.12.200")],
            config_ini=CONFIG_INI,
        )
        self.user_display = display

    def _start_xvfb(self) -> None:
        if self.user_display:
            self.display = self.user_display
        else:
            super()._start_xvfb()

    def screenshot(self, label: str | None = None) -> Path | None:
        if self.user_display:
            return None  # not the harness's screen to capture
        return super().screenshot(label)


def main() -> int:
    if not (e2e.PREFIX / "drive_c").is_dir():
        print(f"Making a Wine prefix in {e2e.PREFIX} (once; about half a minute)...")
        e2e.prefix_setup()
    display = os.environ.get("DISPLAY")
    with Demo(display) as demo:
        demo.start_program()
        demo.wait_pane(2, "之前IP：无信息", timeout=120)
        if display:
            print("Pelnor is running on your display; the account is already saved.")
            print(f"Each dial hands out the next address of {', '.join(POOL)}. Close the window to end.")
            demo.program.wait()
            return 0
        before = demo.driver.panes()
        demo.driver.click(Control.按钮_重拔)
        after = demo.wait_pane(0, "当前状态：重拔完毕", timeout=120)
        shot = demo.screenshot("after-redial")
        print("Status bar before the Redial:  " + " | ".join(before))
        print("Status bar after the Redial:   " + " | ".join(after))
        print(f"Public address before: {after[2].removeprefix('之前IP：')}")
        print(f"Public address after:  {after[1].removeprefix('当前IP：')}")
        print(f"Screenshot: {shot}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
