#!/usr/bin/env python3
"""orbitrix-host in a real window on a private X display, turned by a real pointer.

Starts Xvfb on a display number of its own, runs orbitrix-host there under
Wine with a trace, and moves the X pointer and presses buttons and keys with
xdotool: a right click, a drag without Ctrl that does not snap, a drag let go
with Ctrl held that snaps into parallel projection, a click that switches the
pitch limit off and a drag that then takes the pitch past 90, and a drag in
the view that is not in perspective. Checks every event in the trace (angles
exactly, TempOrtho, answers, drag states, the host calls that matter) and the
screen: the button's pixels as resources/button.bmp holds them, the labels
drawn, the option's box redrawn, and view 1 drawn differently at the same
angles once the next press ends its parallel projection.

    tests/windows/window_test.py ORBITRIX_HOST_EXE OUT_DIR [--docs]

Screenshots go to OUT_DIR; with --docs, the window after the snap also to
docs/host.png (English) and docs/host.ja.png (Japanese). Every wait is for a
condition, with a limit that stretches by ORBITRIX_TIME_SCALE.
"""
import os
import pathlib
import re
import signal
import struct
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]


def time_scale():
    scale = os.environ.get("ORBITRIX_TIME_SCALE") or subprocess.run(
        [ROOT / "scripts/emulate-i386.sh", "time-scale"], capture_output=True, text=True
    ).stdout
    return max(1, int(scale.strip() or 1))


SCALE = time_scale()


def until(condition, what, seconds=15):
    """condition()'s first true answer, polled until the limit."""
    limit = time.monotonic() + seconds * SCALE
    while True:
        answer = condition()
        if answer:
            return answer
        if time.monotonic() > limit:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.02)


# One event line of the trace, as orbitrix-sim writes it.
STEP = re.compile(
    r"^ *(?P<line>\d+) +(?P<view>\d+)  (?P<event>switch|press|move|release)"
    r"(?: (?P<x>-?\d+),(?P<y>-?\d+))?(?: buttons (?P<buttons>\d+))?(?P<ctrl> ctrl)?"
    r" +(?P<result>-?\d+) +(?P<state>-?\d+) +(?P<heading>\S+) +(?P<pitch>\S+)"
    r"  (?P<tempOrtho>\S+) *(?P<calls>.*)$")
WHERE = re.compile(r"^where (?P<name>\w+(?: \d)?) (\d+),(\d+) (\d+)x(\d+)$", re.M)


class Step(dict):
    __getattr__ = dict.get

    def __str__(self):
        return self["text"]


class Image:
    """A screenshot: RGB bytes, one row after another."""

    def __init__(self, xwd):
        self.xwd = xwd
        self.width, self.height = struct.unpack_from(">II", xwd, 16)  # from the XWD header
        self.rgb = subprocess.run(["convert", "xwd:-", "-depth", "8", "rgb:-"], input=xwd,
                                  capture_output=True, check=True).stdout
        assert len(self.rgb) == 3 * self.width * self.height, "convert gave no RGB screen"

    def region(self, box):
        x, y, w, h = box
        rows = (self.rgb[3 * ((y + r) * self.width + x):3 * ((y + r) * self.width + x + w)]
                for r in range(h))
        return b"".join(rows)

    def save(self, path, box):
        x, y, w, h = box
        subprocess.run(["convert", "xwd:-", "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-strip",
                        f"png:{path}"], input=self.xwd, check=True)


def pixels(data):
    return [data[i:i + 3] for i in range(0, len(data), 3)]


def bitmap_rgb(path):
    """The pixels of an 8-bit palette BMP, top row first, as RGB bytes."""
    b = path.read_bytes()
    offset, = struct.unpack_from("<I", b, 10)
    header, width, height, _, bits = struct.unpack_from("<IiiHH", b, 14)
    colours, = struct.unpack_from("<I", b, 46)
    assert bits == 8 and height > 0, "an 8-bit bottom-up bitmap"
    palette = [b[14 + header + 4 * i:14 + header + 4 * i + 3][::-1] for i in range(colours or 256)]
    stride = (width + 3) // 4 * 4
    rows = [b[offset + r * stride:offset + r * stride + width] for r in range(height)]
    return width, height, b"".join(palette[i] for row in reversed(rows) for i in row)


class Session:
    """Xvfb on a free display, orbitrix-host on it, and the pointer."""

    def __init__(self, program, out):
        self.out = out
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=[write], stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            self.display = ":" + f.readline().strip()
        self.env = dict(os.environ, DISPLAY=self.display)
        self.trace = out / "trace.txt"
        self.trace.unlink(missing_ok=True)
        self.host = subprocess.Popen(
            [ROOT / "scripts/wine-run.sh", "--display", program, "--trace", self.trace],
            env=self.env, cwd=ROOT, start_new_session=True)
        self.seen = 0  # steps already handed out
        self.at = None  # where the last of them was

    def close(self):
        """Closes the window as a user would (wine-run.sh then waits for its Wine
        session to end), or ends it all, then the display."""
        if self.host.poll() is None:
            try:
                self.xdo("key", "alt+F4")
                self.host.wait(timeout=15 * SCALE)
            except subprocess.SubprocessError:
                os.killpg(self.host.pid, signal.SIGKILL)
                self.host.wait()
        self.xvfb.terminate()
        self.xvfb.wait()

    def xdo(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True)

    def text(self):
        return self.trace.read_text(encoding="utf-8") if self.trace.exists() else ""

    def steps(self):
        """The trace's event lines; buttons are 1 and ctrl "" where the line says none."""
        steps = []
        for m in filter(None, map(STEP.match, self.text().splitlines())):
            s = Step(m.groupdict(), text=m.group(0), ctrl="ctrl" if m["ctrl"] else "")
            if s.event != "switch" and s.buttons is None:
                s["buttons"] = "1"
            steps.append(s)
        return steps

    def step(self, what, **want):
        """The next step with these fields, past the moves that Windows adds:
        without a button, or where the cursor already was."""
        def find():
            if self.host.poll() is not None:
                raise AssertionError(f"{what}: orbitrix-host ended with {self.host.returncode}")
            for s in self.steps()[self.seen:]:
                self.seen += 1
                if all(s[k] == str(v) for k, v in want.items()):
                    self.at = (s.x, s.y)
                    return s
                if s.event != "move" or not (s.buttons == "0" or (s.x, s.y) == self.at):
                    raise AssertionError(f"{what}: expected {want}, the trace has\n{s}")
                self.at = (s.x, s.y)
        return until(find, what)

    def shot(self):
        xwd = subprocess.run(["xwd", "-root", "-silent", "-display", self.display],
                             capture_output=True, check=True).stdout
        return Image(xwd)

    def shot_when(self, what, condition):
        """The first screenshot for which condition holds, then holds still."""
        def shot():
            image = self.shot()
            return image if condition(image) else None
        image = until(shot, what)
        again = self.shot()
        assert again.rgb == image.rgb, f"{what}: the screen was still changing"
        return image


def calls(step):
    return step.calls.split("; ") if step.calls else []


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def main():
    program, out = sys.argv[1], pathlib.Path(sys.argv[2])
    docs = "--docs" in sys.argv[3:]
    out.mkdir(parents=True, exist_ok=True)
    started = time.monotonic()
    s = Session(program, out)
    try:
        run(s, docs)
    except AssertionError as e:
        print(f"FAILED: {e}\n--- trace ---\n{s.text()}", file=sys.stderr)
        return 1
    finally:
        s.close()
    print(f"window test passed in {time.monotonic() - started:.1f} s "
          f"(time scale {SCALE}); screenshots in {out}")
    return 0


def run(s, docs):
    s.step("view 1 told the tool is current", view=1, event="switch", result=1, state=0)
    s.step("view 2 told the tool is current", view=2, event="switch", result=1, state=0)
    where = {m["name"]: tuple(map(int, m.groups()[1:])) for m in WHERE.finditer(s.text())}
    subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^orbitrix-host"],
                   env=s.env, stdout=subprocess.DEVNULL, check=True, timeout=15 * SCALE)
    window = where["window"]

    def middle(name):
        x, y, w, h = where[name]
        return x + w // 2, y + h // 2

    # The registered labels, converted from code page 932 by Windows.
    text = s.text()
    for label in ("特定角度にくっつく", "（↑がオンの時）Ctrlを押した時のみ作動",
                  "上下回転に制限をかける", "一時平行投影する"):
        check(label in text, f"the trace lacks the label {label}")

    # The button as the module's bitmap holds it, pixel for pixel.
    width, height, button = bitmap_rgb(ROOT / "resources/button.bmp")
    check(where["button"][2:] == (width, height), f"button drawn at {where['button']}")
    first = s.shot_when("the button's pixels", lambda i: i.region(where["button"]) == button)
    first.save(s.out / "button.png", where["button"])
    # Each label drawn: in its part of the option's place, past the box, many
    # pixels stand out from the tool bar.
    for i in range(1, 5):
        x, y, w, h = where[f"option {i}"]
        label = pixels(first.region((x + w // 3, y, w - w // 3, h)))
        ink = len(label) - max(map(label.count, set(label)))
        check(ink > 50, f"option {i}'s label is not drawn: {ink} pixels")

    # A right click: a press without the left button is not the tool's (4);
    # its release ends nothing, and snaps nothing without Ctrl.
    x, y = middle("view 1")
    s.xdo("mousemove", x, y)
    s.step("the pointer into view 1", view=1, event="move", x=x, y=y, buttons=0, result=0)
    s.xdo("click", 3)
    p = s.step("a right press", view=1, event="press", buttons=2)
    check((p.result, p.state, calls(p)) == ("4", "0", ['GetViewAttribute(1,"UV",null,0)',
                                                         'GetViewAttribute(1,"UV",buffer,2)']), p)
    r = s.step("a right release", view=1, event="release", buttons=2)
    check((r.result, r.state, r.heading, r.pitch) == ("0", "0", "30", "20"), r)

    # A drag without Ctrl to 90, 5: near right angles, but the Ctrl-only
    # option keeps it there, and asks for a redraw.
    s.xdo("mousedown", 1)
    p = s.step("the press", view=1, event="press", x=x, y=y)
    check((p.result, p.state, p.tempOrtho) == ("0", "1", "0"), p)
    s.xdo("mousemove", x + 60, y - 15)
    m = s.step("the move", view=1, event="move", x=x + 60, y=y - 15, buttons=1)
    check((m.result, m.state, m.heading, m.pitch) == ("0", "2", "90", "5"), m)
    s.xdo("mouseup", 1)
    r = s.step("the release", view=1, event="release", buttons=1)
    check((r.ctrl, r.state, r.heading, r.pitch, r.tempOrtho) == ("", "0", "90", "5", "0"), r)
    check(re.fullmatch(r"RefreshViews\(0x[0-9A-F]+,-1\)", calls(r)[-1]), r)

    # With Ctrl held at the release: 185, -7 snaps to 180, 0, shown in
    # parallel projection.
    released = s.shot()
    s.xdo("mousedown", 1)
    s.step("the press", view=1, event="press", x=x + 60, y=y - 15, result=0, state=1)
    s.xdo("mousemove", x + 155, y - 27)
    m = s.step("the move", view=1, event="move", x=x + 155, y=y - 27)
    check((m.heading, m.pitch) == ("185", "-7"), m)
    status = where["status 1"]
    before = s.shot_when("view 1 turned on the screen",
                         lambda i: i.region(status) != released.region(status))
    before.save(s.out / "before-snap.png", window)
    s.xdo("keydown", "ctrl")
    s.xdo("mouseup", 1)
    r = s.step("the release with Ctrl", view=1, event="release", ctrl="ctrl")
    s.xdo("keyup", "ctrl")
    check((r.result, r.state, r.heading, r.pitch, r.tempOrtho) == ("0", "0", "180", "0", "1"), r)
    check(calls(r)[-3:-1] == ["SetViewCamera(1,0x0,0x0,0x0,0x0,180,0,0x0,0x0)",
                              'SetViewAttribute(1,"TempOrtho","1",1)'], r)
    after = s.shot_when("the snap on the screen",
                        lambda i: i.region(status) != before.region(status))
    after.save(s.out / "after-snap.png", window)
    if docs:
        after.save(ROOT / "docs/host.png", window)

    # The window's own texts in Japanese, and back.
    language = where["language"]
    s.xdo("mousemove", *middle("language"))
    s.xdo("click", 1)
    japanese = s.shot_when("the texts in Japanese",
                           lambda i: i.region(language) != after.region(language))
    japanese.save(s.out / "after-snap.ja.png", window)
    if docs:
        japanese.save(ROOT / "docs/host.ja.png", window)
    s.xdo("click", 1)
    s.shot_when("the texts in English again", lambda i: i.region(window) == after.region(window))

    # Option 3, the pitch limit, switched off by a click on its box.
    box = where["option 3"]
    s.xdo("mousemove", box[0] + 6, box[1] + box[3] // 2)
    s.xdo("click", 1)
    s.shot_when("option 3's box redrawn", lambda i: i.region(box) != after.region(box))

    # The next press ends the parallel projection: the same angles, drawn
    # otherwise. The caption, which says so too, is left out.
    vx, vy, vw, vh = where["view 1"]
    scene = (vx, vy + vh // 8, vw, vh - vh // 8)
    s.xdo("mousemove", x, y - 100)
    s.step("the pointer back in view 1", view=1, event="move", x=x, y=y - 100, buttons=0)
    s.xdo("mousedown", 1)
    p = s.step("the press", view=1, event="press", x=x, y=y - 100)
    check((p.result, p.state, p.heading, p.pitch, p.tempOrtho) == ("0", "1", "180", "0", "0"), p)
    pressed = s.shot_when("the press on the screen",
                          lambda i: i.region(status) != after.region(status))
    pressed.save(s.out / "after-press.png", window)
    check(pressed.region(scene) != after.region(scene),
          "view 1 looks the same in parallel projection and in perspective")

    # Without the limit the pitch goes past 90.
    s.xdo("mousemove", x, y + 20)
    m = s.step("the move down", view=1, event="move", x=x, y=y + 20)
    check((m.result, m.state, m.heading, m.pitch) == ("0", "2", "180", "120"), m)
    s.xdo("mouseup", 1)
    s.step("the release", view=1, event="release", result=0, state=0, pitch=120, tempOrtho=0)

    # View 2 is not in perspective: the press takes hold and ends any
    # parallel projection, the moves turn nothing, the release snaps nothing.
    x2, y2 = middle("view 2")
    s.xdo("mousemove", x2, y2)
    s.step("the pointer into view 2", view=2, event="move", x=x2, y=y2, buttons=0)
    s.xdo("mousedown", 1)
    p = s.step("the press in view 2", view=2, event="press", x=x2, y=y2)
    check((p.result, p.state, p.heading, p.pitch, p.tempOrtho) == ("0", "1", "45", "30", "0"), p)
    s.xdo("mousemove", x2 + 30, y2 + 30)
    m = s.step("the move in view 2", view=2, event="move", x=x2 + 30, y=y2 + 30)
    check((m.result, m.state, m.heading, m.pitch) == ("0", "1", "45", "30"), m)
    check(not any(c.startswith("SetViewCamera") for c in calls(m)), m)
    s.xdo("mouseup", 1)
    r = s.step("the release in view 2", view=2, event="release")
    check((r.result, r.state, r.heading, r.pitch) == ("0", "0", "45", "30"), r)
    check(all(c.startswith("GetViewAttribute") for c in calls(r)), r)

    # Alt+F4 closes the window, and the program ends well.
    s.xdo("key", "alt+F4")
    until(lambda: s.host.poll() is not None, "the host to end")
    check(s.host.returncode == 0, f"orbitrix-host exited with {s.host.returncode}")


if __name__ == "__main__":
    sys.exit(main())
