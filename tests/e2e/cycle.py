"""A whole working cycle in the real window, driven from outside as a user would.

Starts bivara-scanner on the virtual flatbed fed with image beds, and goes through preview,
auto-detect, editing by keyboard, scan, the turned-over batch, pairing, and a restart, by the
controls' accessible names and real key and pointer events. A screenshot is kept at each
step; a failure names the step and its screenshot.

    cycle.py PROGRAM WORKDIR BED.png...   (each BED has a BED.json listing its photos)
"""

import glob
import json
import os
import re
import signal
import subprocess
import sys
import time

from atspi import App, StepFailed, focus_window, key, click_at, screenshot, enabled, role, walk, text_of

PUSH = ("push button", "toggle button", "button")


def photo_count(bed):
    with open(os.path.splitext(bed)[0] + ".json") as f:
        return len(json.load(f)["photos"])


def jfif_dpi(path):
    with open(path, "rb") as f:
        head = f.read(20)
    if head[:2] != b"\xff\xd8" or head[6:11] != b"JFIF\x00" or head[13] != 1:
        return None
    return int.from_bytes(head[14:16], "big")


def complete_jpeg(path):
    with open(path, "rb") as f:
        data = f.read()
    return data[:2] == b"\xff\xd8" and data.rstrip(b"\x00")[-2:] == b"\xff\xd9"


class Cycle:
    def __init__(self, program, work, beds):
        self.program, self.work, self.beds = program, work, beds
        self.shots = os.path.join(work, "screens")
        self.out = os.path.join(os.environ["HOME"], "Pictures", "Bivara Scanner")
        self.proc = None
        self.app = None
        self.step_no = 0
        self.stalls = []

    # ---- the application ------------------------------------------------------------
    def start(self):
        path = os.path.join(self.work, f"app-{len(self.stalls) + 1}.log")
        log = open(path, "w")
        self.proc = subprocess.Popen([self.program], stdout=subprocess.PIPE, stderr=log, text=True)
        try:
            self.app = App(("Bivara Scanner", "bivara-scanner"), timeout=30)
        except StepFailed as e:
            if self.proc.poll() is None:
                raise
            with open(path) as f:
                said = f.read().strip()[-400:]
            raise StepFailed(f"{e}; the program exited with {self.proc.returncode}: {said}")

    def quit(self):
        focus_window("Bivara Scanner")
        key("ctrl+q")
        try:
            out, _ = self.proc.communicate(timeout=20)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            raise StepFailed("the window did not close on Ctrl+Q")
        m = re.search(r"largest main-thread stall: ([0-9.]+) ms.*", out or "")
        if m:
            print(f"run {len(self.stalls) + 1}: {m.group(0)}", flush=True)
            self.stalls.append(float(m.group(1)))
        if self.proc.returncode != 0:
            raise StepFailed(f"the program exited with {self.proc.returncode}")

    # ---- helpers --------------------------------------------------------------------
    def status(self, pred, what, timeout=120):
        return self.app.wait_text(pred, what, timeout)

    def press(self, name, timeout=10):
        self.app.press(self.app.by_name(name, PUSH, timeout))

    def scan_button(self):
        return self.app.by_name_prefix("Scan ", PUSH)

    def wait_scan_label(self, n, timeout=30):
        want = f"Scan {n} Region" + ("" if n == 1 else "s")
        deadline = time.monotonic() + timeout
        while True:
            label = self.scan_button().name
            if label == want:
                return
            if time.monotonic() > deadline:
                raise StepFailed(f"the Scan button reads '{label}', not '{want}'")
            time.sleep(0.2)

    def saved(self):
        return sorted(os.path.basename(p) for p in glob.glob(os.path.join(self.out, "*.jpg")))

    def checked(self, name):
        import pyatspi
        node = self.app.by_name(name)
        return node.getState().contains(pyatspi.STATE_CHECKED)

    def preview(self):
        self.press("Preview", timeout=60)
        self.status(lambda t: t == "Preview ready.", "the status 'Preview ready.'")

    def scan(self):
        self.app.press(self.scan_button())
        return self.status(lambda t: t.startswith("✅ Saved"), "the done status", timeout=300)

    # ---- the cycle ------------------------------------------------------------------
    def step(self, title, fn):
        self.step_no += 1
        t0 = time.monotonic()
        try:
            fn()
        except Exception as e:
            shot = screenshot(os.path.join(self.shots, f"{self.step_no:02d}-failed.png"))
            raise StepFailed(f"step {self.step_no} ({title}) failed: {e}; screenshot: {shot}") from e
        shot = screenshot(os.path.join(self.shots, f"{self.step_no:02d}.png"))
        print(f"step {self.step_no}: {title} ({time.monotonic() - t0:.1f} s) — {shot}", flush=True)

    def run(self):
        n = photo_count(self.beds[0])
        kept = n - 1

        def first_preview():
            self.start()
            self.app.by_name_prefix("VIRTUAL FLATBED", timeout=60)
            self.preview()

        def detect():
            self.press("Auto-detect")
            self.wait_scan_label(n)

        def edit_by_keyboard():
            row = self.app.by_name("scan_0001", timeout=10)
            click_at(*self.app.center(row))
            time.sleep(0.3)
            key("Delete")
            self.wait_scan_label(kept)
            if self.checked("BACK"):
                raise StepFailed("the draw side was back before Space")
            key("space")
            deadline = time.monotonic() + 5
            while not self.checked("BACK"):
                if time.monotonic() > deadline:
                    raise StepFailed("Space did not flip the draw side to back")
                time.sleep(0.1)
            key("space")
            time.sleep(0.3)
            if self.checked("BACK"):
                raise StepFailed("a second Space did not flip the draw side back to front")
            key("Escape")
            time.sleep(0.3)
            self.wait_scan_label(kept, timeout=2)

        def scan_fronts():
            self.scan()
            files = self.saved()
            want = [f"scan_{i:04d}.jpg" for i in range(1, kept + 1)]
            if files != want:
                raise StepFailed(f"the folder holds {files}, not {want}")
            for f in files:
                p = os.path.join(self.out, f)
                if jfif_dpi(p) != 600 or not complete_jpeg(p):
                    raise StepFailed(f"{f} is not a complete 600-dpi JPEG")
            for f in files:
                self.app.by_name(f"Open {f}", timeout=30)

        def pair_backs():
            self.preview()
            self.press("Pair Backs")
            text = self.status(lambda t: t.endswith(" matched"), "the workspace's matched count", 20)
            if text != f"{kept}/{kept} matched":
                raise StepFailed(f"the workspace reads '{text}', not '{kept}/{kept} matched'")

        def scan_backs():
            self.press("Pairing")
            self.scan_button()
            self.wait_scan_label(kept)
            self.scan()
            files = self.saved()
            for i in range(1, kept + 1):
                if f"scan_{i:04d}_b.jpg" not in files:
                    raise StepFailed(f"scan_{i:04d} has no back file: {files}")

        def restart():
            self.quit()
            self.start()
            for i in range(1, kept + 1):
                self.app.by_name(f"Open scan_{i:04d}.jpg", timeout=30)

        def third_batch():
            self.app.by_name_prefix("VIRTUAL FLATBED", timeout=60)
            self.preview()
            if self.checked("BACK"):
                self.app.press(self.app.by_name("FRONT"))
            self.press("Auto-detect")
            self.wait_scan_label(n)
            before = set(self.saved())
            self.scan()
            new = sorted(set(self.saved()) - before)
            want = [f"scan_{i:04d}.jpg" for i in range(kept + 1, kept + n + 1)]
            if new != want:
                raise StepFailed(f"the third batch saved {new}, not {want}")
            self.quit()

        self.step("the scanner is found and a preview is shown", first_preview)
        self.step(f"Auto-detect finds the {n} prints", detect)
        self.step("Delete removes the selected region; Space flips; Escape passes", edit_by_keyboard)
        self.step("Scan saves the fronts", scan_fronts)
        self.step("the turned-over batch pairs with every front", pair_backs)
        self.step("Scan saves every back beside its front", scan_backs)
        self.step("after a restart the history is shown", restart)
        self.step("a third batch continues the numbering", third_batch)
        if self.stalls:
            print(f"largest main-thread stall: {max(self.stalls):.1f} ms", flush=True)


def main():
    program, work, beds = sys.argv[1], sys.argv[2], sys.argv[3:]
    cycle = Cycle(program, work, beds)
    try:
        cycle.run()
    except StepFailed as e:
        print(f"FAILED: {e}", flush=True)
        if cycle.proc and cycle.proc.poll() is None:
            cycle.proc.send_signal(signal.SIGTERM)
        return 1
    print("the whole cycle passed", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
