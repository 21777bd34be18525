"""A small driver for a Qt application over the accessibility bus (AT-SPI) and X input.

Finds controls by accessible name and role, presses them through their default action,
reads texts, sends real key and pointer events with xdotool, and takes screenshots.
"""

import os
import subprocess
import time

import pyatspi
from PIL import ImageGrab


class StepFailed(Exception):
    pass


def _children(node):
    try:
        count = node.childCount
    except Exception:
        return []
    out = []
    for i in range(count):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        if child is not None:
            out.append(child)
    return out


def walk(node):
    """Every accessible below `node`, depth first, `node` included."""
    stack = [node]
    while stack:
        n = stack.pop()
        yield n
        stack.extend(reversed(_children(n)))


def text_of(node):
    """The node's visible text: its Text interface when it has one, else its name."""
    try:
        t = node.queryText()
        return t.getText(0, t.characterCount)
    except Exception:
        pass
    try:
        return node.name or ""
    except Exception:
        return ""


def role(node):
    try:
        return node.getRoleName()
    except Exception:
        return ""


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def enabled(node):
    try:
        return node.getState().contains(pyatspi.STATE_ENABLED)
    except Exception:
        return False


class App:
    def __init__(self, names, timeout=20.0):
        self.root = None
        seen = []
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            desktop = pyatspi.Registry.getDesktop(0)
            seen = []
            for a in _children(desktop):
                try:
                    seen.append(a.name)
                    if a.name in names:
                        self.root = a
                except Exception:
                    pass
            if self.root is not None:
                return
            time.sleep(0.2)
        raise StepFailed(f"none of {names} appeared on the accessibility bus (there: {seen})")

    def find_all(self, pred):
        return [n for n in walk(self.root) if pred(n)]

    def find(self, pred, what, timeout=10.0):
        deadline = time.monotonic() + timeout
        while True:
            hits = [n for n in self.find_all(pred) if showing(n)]
            if hits:
                return hits[0]
            if time.monotonic() >= deadline:
                raise StepFailed(f"{what}: not found within {timeout:.0f} s")
            time.sleep(0.2)

    def by_name(self, name, roles=None, timeout=10.0):
        def pred(n):
            try:
                return n.name == name and (roles is None or role(n) in roles)
            except Exception:
                return False
        return self.find(pred, f"control '{name}'", timeout)

    def by_name_prefix(self, prefix, roles=None, timeout=10.0):
        def pred(n):
            try:
                return (n.name or "").startswith(prefix) and (roles is None or role(n) in roles)
            except Exception:
                return False
        return self.find(pred, f"control starting '{prefix}'", timeout)

    def wait_text(self, pred, what, timeout=30.0):
        """Waits until some showing node's text satisfies `pred`; returns that text."""
        deadline = time.monotonic() + timeout
        while True:
            for n in walk(self.root):
                t = text_of(n)
                if t and pred(t) and showing(n):
                    return t
            if time.monotonic() >= deadline:
                raise StepFailed(f"{what}: not seen within {timeout:.0f} s")
            time.sleep(0.25)

    def press(self, node, timeout=10.0):
        """Presses a control through its default action once it is enabled."""
        deadline = time.monotonic() + timeout
        while not enabled(node):
            if time.monotonic() >= deadline:
                raise StepFailed(f"'{node.name}' stayed disabled")
            time.sleep(0.2)
        node.queryAction().doAction(0)

    def center(self, node):
        ext = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return ext.x + ext.width // 2, ext.y + ext.height // 2


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def focus_window(title):
    """Gives the keyboard to the window titled `title` (there is no window manager to do it)."""
    subprocess.run(["xdotool", "search", "--sync", "--limit", "1", "--name", f"^{title}$",
                    "windowfocus", "--sync"], check=False, timeout=10,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def key(name):
    xdotool("key", "--clearmodifiers", name)


def click_at(x, y, button=1):
    xdotool("mousemove", x, y)
    time.sleep(0.05)
    xdotool("click", button)


def screenshot(path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    try:
        ImageGrab.grab(xdisplay=os.environ.get("DISPLAY", "")).save(path)
    except Exception as e:  # a missing screenshot must not hide the step's own outcome
        return f"{path} (not taken: {e})"
    return path
