#!/usr/bin/env python3
"""tallyvox.exe as a user meets it: started under Wine on the bed's X display,
driven by real X input (xdotool) and by later launches, and judged from
screenshots of the strip's band and from the processes.

usage: TALLYVOX_BED=<bed> input_e2e.py <path of tallyvox.exe>
"""
import os
import subprocess
import sys
import tempfile
import time
import wave

EXE = sys.argv[1]
BED = os.environ["TALLYVOX_BED"]
with open(os.path.join(BED, "display")) as f:
    DISPLAY = f.read().strip()
ENV = dict(os.environ, HOME=os.path.join(BED, "home"), WINEPREFIX=os.path.join(BED, "prefix"),
           WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d", DISPLAY=DISPLAY)
ENV.pop("WAYLAND_DISPLAY", None)

# Under Wine a 200x62 strip has a 192x35 client area inside its frame; the
# band is the top 24 rows of it.
CLIENT_W, CLIENT_H, BAND_H = 192, 35, 24
START_LEVEL = 9500  # a new graph's volume level

started = []  # every strip process this suite started


def vol_width(level):
    return CLIENT_W * level // 10000


def win_path(path):
    return "Z:" + path.replace("/", "\\")


def write_wav(path, seconds):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(8000)
        w.writeframes(b"\0\0" * 8000 * seconds)


def tool(*args):
    return subprocess.run(args, env=ENV, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=30).stdout


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


# Colour families of the band's bottom row (each channel dimmed by 240..255/256).
def family(rgb):
    level = tuple(0 if c < 60 else 1 if 90 <= c <= 150 else 2 if c >= 200 else 9 for c in rgb)
    return {(2, 0, 0): "red", (0, 2, 0): "green", (2, 2, 0): "yellow", (0, 2, 2): "cyan",
            (1, 1, 1): "grey", (1, 1, 0): "olive", (0, 1, 1): "teal"}.get(level)


LEFT = {"red": "volume", "green": "running", "yellow": "paused", "cyan": "stopped"}
RIGHT_OF = {"volume": "grey", "running": "grey", "paused": "olive", "stopped": "teal"}


# ---- processes and windows

def launch(*args):
    proc = subprocess.Popen(["wine", EXE, *args], env=ENV, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    started.append(proc)
    return proc


def forward(*args):
    """A later launch: it must hand its command over and exit with 0."""
    what = "launch " + " ".join(args)
    proc = launch(*args)
    try:
        code = proc.wait(timeout=15)
    except subprocess.TimeoutExpired:
        raise Failure(f"{what} did not exit ({len(strips())} strips)")
    check(code == 0, f"{what} exited with {code}")
    check(len(strips()) == 1, f"after {what}: {len(strips())} strips")


def strips():
    return tool("xdotool", "search", "--name", "^Tallyvox$").split()


def wait_for(predicate, timeout):
    """The first true value of predicate within timeout seconds, else the last."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > end:
            return value
        time.sleep(0.1)


def geometry(win):
    fields = dict(line.split("=", 1) for line in tool("xdotool", "getwindowgeometry", "--shell", win).decode().split())
    return int(fields["X"]), int(fields["Y"]), int(fields["WIDTH"]), int(fields["HEIGHT"])


class Strip:
    def __init__(self, win):
        x, y, w, h = geometry(win)
        border = (w - CLIENT_W) // 2
        self.frame = (x, y)
        self.client = (x + border, y + h - CLIENT_H - border)

    def at(self, cx, cy):
        """Screen coordinates of a client point (clamped to the screen by X)."""
        return str(self.client[0] + cx), str(self.client[1] + cy)

    def band_row(self):
        x, y = self.client
        ppm = tool("import", "-window", "root", "-crop", f"{CLIENT_W}x1+{x}+{y + BAND_H - 1}", "-depth", "8", "ppm:-")
        pixels = ppm.split(b"\n", 3)[3]
        return [tuple(pixels[i:i + 3]) for i in range(0, CLIENT_W * 3, 3)]

    def look(self):
        """(display, left bar width) read from the band's bottom row; "grey"
        when there is no left bar and the right bar is grey, "torn" when the
        row fits no display (e.g. caught in the middle of a paint)."""
        row = [family(p) for p in self.band_row()]
        width = 0
        while width < len(row) and row[width] == row[0] and row[0] in LEFT:
            width += 1
        rest = set(row[width:])
        if len(rest) > 1:
            return ("torn", width)
        right = rest.pop() if rest else None
        if width:
            display = LEFT[row[0]]
            return (display, width) if right in (None, RIGHT_OF[display]) else ("torn", width)
        return ({"grey": "grey", "olive": "paused", "teal": "stopped"}.get(right, "torn"), 0)

    def expect(self, what, display, width=None, timeout=3.0):
        """Polls until the band shows display with a left bar of width (an
        int, or a predicate on the width)."""
        fits = width if callable(width) else (lambda w: width is None or w == width)

        def matching():
            seen = self.look()
            return seen if seen[0] == display and fits(seen[1]) else None
        seen = wait_for(matching, timeout)
        wanted = "(condition)" if callable(width) else width
        check(seen, f"{what}: wanted {display} width {wanted}, band shows {self.look()}")
        return seen[1]

    def activate(self):
        """A click on the caption makes the unmanaged window active, so that
        keys reach it; the client area sees nothing of it."""
        x, y = self.frame
        tool("xdotool", "mousemove", str(x + 60), str(y + 8), "click", "1")
        time.sleep(0.3)

    def keys(self, *names):
        for name in names:
            tool("xdotool", "key", name)


def grows(strip, what):
    strip.expect(what, "running")
    # A paint before the next tick may still show the last file's bar.
    time.sleep(0.3)
    first = strip.expect(what, "running")
    strip.expect(what + " (bar grows)", "running", lambda w: w > first, timeout=5)


# ---- scenarios, in order, on one strip that plays the long file

def s_start(ctx):
    ctx["proc"] = launch(win_path(ctx["long"]))
    wins = wait_for(strips, 30)
    check(len(wins) == 1, f"{len(wins)} strips after the first launch")
    ctx["strip"] = strip = Strip(wins[0])
    grows(strip, "first launch plays")


def s_click(ctx):
    strip = ctx["strip"]
    tool("xdotool", "mousemove", *strip.at(96, 30), "click", "1")
    width = strip.expect("click pauses", "paused")
    time.sleep(1)
    strip.expect("paused bar stands still", "paused", width)
    tool("xdotool", "mousemove", *strip.at(60, 12), "click", "1")
    grows(strip, "second click plays")


def s_p_key(ctx):
    strip = ctx["strip"]
    strip.activate()
    strip.keys("p")
    strip.expect("P pauses", "paused")
    strip.keys("shift+p")
    grows(strip, "Shift+P plays")


def s_up_down(ctx):
    strip = ctx["strip"]
    strip.keys("Up")
    strip.expect("Up pauses", "paused")
    strip.keys("Up")
    time.sleep(0.5)
    strip.expect("Up again stays paused", "paused")
    strip.keys("Down")
    strip.expect("Down plays", "running")
    strip.keys("Down")
    grows(strip, "Down again keeps playing")


def s_media_keys(ctx):
    """Wine brings X's media keys as VK_MEDIA_* and WM_APPCOMMAND (it maps
    no key to Pause alone). Stop pauses, as /stop does; with one file, next
    has nowhere to go and previous goes to its start; the volume keys are the
    system's, not the strip's."""
    strip = ctx["strip"]
    strip.keys("XF86AudioPlay")
    strip.expect("Play/Pause pauses", "paused")
    strip.keys("XF86AudioPlay")
    grows(strip, "Play/Pause plays")
    strip.keys("XF86AudioStop")
    width = strip.expect("Stop pauses", "paused")
    time.sleep(1)
    strip.expect("Stop keeps the position", "paused", width)
    strip.keys("XF86AudioNext", "XF86AudioRaiseVolume", "XF86AudioLowerVolume")
    # A volume display would show for 2 s: look for it over the first second.
    seen = set()
    for _ in range(10):
        seen.add(strip.look()[0])
        time.sleep(0.1)
    check("volume" not in seen, f"a volume key showed the strip's volume: {seen}")
    strip.expect("next and the volume keys change nothing", "paused", width)
    strip.keys("XF86AudioPrev")
    width = strip.expect("previous goes to the start, paused still", "paused", 0)
    strip.keys("XF86AudioPlay")
    strip.expect("Play/Pause plays on from there", "running", lambda w: w >= width)


def s_insert_delete(ctx):
    strip = ctx["strip"]
    # Each step is 500 levels, 9 or 10 pixels of the 192; the top clamps at 10000.
    steps = [("Delete", START_LEVEL - 500), ("Insert", START_LEVEL), ("Insert", 10000), ("Insert", 10000),
             ("Delete", START_LEVEL)]
    for key, level in steps:
        strip.keys(key)
        strip.expect(f"{key} shows level {level}", "volume", vol_width(level), timeout=1.5)
    strip.expect("volume display ends after its ticks", "running", timeout=4)


def s_right_drag(ctx):
    strip = ctx["strip"]
    press = 180
    tool("xdotool", "mousemove", *strip.at(press, 12))
    time.sleep(0.2)
    tool("xdotool", "mousedown", "3")
    try:
        strip.expect("press shows the volume", "volume", vol_width(START_LEVEL), timeout=1.5)
        # 50 levels per pixel from the press; outside the strip the capture keeps the moves coming.
        moves = [(80, START_LEVEL - 100 * 50), (140, START_LEVEL - 40 * 50), (250, 10000),
                 (-strip.client[0], START_LEVEL - (press + strip.client[0]) * 50), (140, START_LEVEL - 40 * 50)]
        for x, level in moves:
            tool("xdotool", "mousemove", *strip.at(x, 12))
            strip.expect(f"drag to x={x} sets level {level}", "volume", vol_width(max(level, 0)), timeout=1.5)
        time.sleep(2.5)
        strip.expect("held drag keeps the volume display", "volume", vol_width(START_LEVEL - 2000), timeout=0.5)
    finally:
        tool("xdotool", "mouseup", "3")
    strip.expect("release ends the volume display", "running", timeout=1.5)
    strip.keys("Insert")
    strip.expect("the dragged level stays", "volume", vol_width(START_LEVEL - 1500), timeout=1.5)


def s_hover_wheel_seek(ctx):
    strip = ctx["strip"]
    strip.expect("back from the volume display", "running", timeout=4)
    # The tooltip opens below the pointer, over the black screen under the strip.
    x, y = strip.client

    def tip_shows():
        ppm = tool("import", "-window", "root", "-crop", f"100x1+{x + 40}+{y + CLIENT_H + 15}", "-depth", "8", "ppm:-")
        pixels = ppm.split(b"\n", 3)[3]
        return sum(pixels) / len(pixels) > 150
    check(not tip_shows(), "a tooltip shows before the pointer rests on the strip")
    tool("xdotool", "mousemove", *strip.at(30, 12))
    tool("xdotool", "mousemove", *strip.at(32, 13))
    check(wait_for(tip_shows, 4), "resting on the strip shows no details")
    tool("xdotool", "mousemove", str(x + 600), str(y + 400))
    check(wait_for(lambda: not tip_shows(), 4), "the details stay after the pointer left")

    tool("xdotool", "mousemove", *strip.at(96, 12))
    level = START_LEVEL - 1500  # where the drag left it
    for button, change in [("4", 500), ("5", -500), ("5", -500)]:
        tool("xdotool", "click", button)
        level += change
        strip.expect(f"wheel {'up' if change > 0 else 'down'} shows level {level}", "volume", vol_width(level),
                     timeout=1.5)
    tool("xdotool", "mousemove", *strip.at(60, -10))  # onto the caption: the details go
    check(wait_for(lambda: not tip_shows(), 4), "the details stay with the pointer on the caption")
    strip.expect("volume display ends", "running", timeout=4)
    strip.activate()
    strip.keys("Home")
    strip.expect("Home goes to the start", "running", lambda w: w <= 3, timeout=1.5)
    strip.keys("Right", "Right", "Right", "Right")  # 20 s of 60: a third of the bar
    strip.expect("Right moves 5 s on", "running", lambda w: 60 <= w <= 72, timeout=1.5)
    strip.keys("Left")
    strip.expect("Left moves 5 s back", "running", lambda w: 44 <= w <= 56, timeout=1.5)


def s_forward_transport(ctx):
    strip = ctx["strip"]
    strip.expect("back from the volume display", "running", timeout=4)
    for args, display in [(["/pause"], "paused"), (["/play"], "running"), (["/tpause"], "paused"),
                          (["-tpause"], "running")]:
        forward(*args)
        strip.expect(" ".join(args), display, timeout=1.5)
    forward("/stop")
    width = strip.expect("/stop pauses", "paused", timeout=1.5)
    time.sleep(1)
    strip.expect("/stop keeps the position", "paused", width)
    forward("/play")
    strip.expect("/play resumes from there", "running", lambda w: w >= width, timeout=1.5)
    check(ctx["proc"].poll() is None, "the strip ended")


def s_forward_volume(ctx):
    strip = ctx["strip"]
    for args, level in [(["/volume5000"], 5000), (["/volume+500"], 5500), (["/volume-20000"], 0),
                        (["/volume20000"], 10000)]:
        forward(*args)
        if level:
            strip.expect(" ".join(args), "volume", vol_width(level), timeout=1.5)
        else:  # level 0: no left bar, grey right bar where progress would show
            strip.expect(" ".join(args), "grey", 0, timeout=1.5)
    strip.expect("volume display ends", "running", lambda w: w > 0, timeout=4)


def s_forward_paths(ctx):
    strip = ctx["strip"]
    forward(win_path(ctx["short"]))
    strip.expect("short file plays to its end", "stopped", lambda w: w >= CLIENT_W - 10, timeout=10)
    forward(win_path(ctx["long"]))
    grows(strip, "a file forwarded after the end plays")
    forward()
    strip.expect("a launch without arguments changes nothing", "running", timeout=1.5)
    check(ctx["proc"].poll() is None, "the strip ended")


def s_close(ctx):
    strip = ctx["strip"]
    strip.activate()
    strip.keys("alt+F4")
    try:
        code = ctx["proc"].wait(timeout=15)
    except subprocess.TimeoutExpired:
        raise Failure("Alt+F4 did not end the strip")
    check(code == 0, f"strip exited with {code}")
    check(wait_for(lambda: not strips(), 5), "a strip window is left")


SCENARIOS = [
    ("first launch plays the file", s_start),
    ("left click pauses and plays", s_click),
    ("P key toggles pause", s_p_key),
    ("Up pauses, Down plays", s_up_down),
    ("media keys: play/pause and stop", s_media_keys),
    ("Insert and Delete step the volume", s_insert_delete),
    ("right-button drag sets the volume", s_right_drag),
    ("hover shows the details, wheel and arrows", s_hover_wheel_seek),
    ("later launches forward transport commands", s_forward_transport),
    ("later launches forward volume commands", s_forward_volume),
    ("later launches forward files", s_forward_paths),
    ("Alt+F4 closes with exit code 0", s_close),
]


def cleanup():
    """Closes what a failed scenario left running; kills only what will not close."""
    for win in strips():
        try:
            Strip(win).activate()
            tool("xdotool", "key", "alt+F4")
        except (subprocess.SubprocessError, KeyError, ValueError):
            pass
    for proc in started:
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(timeout=10)


def main():
    passed = failed = 0
    with tempfile.TemporaryDirectory(prefix="tallyvox-e2e-") as media:
        ctx = {"long": os.path.join(media, "long tone.wav"), "short": os.path.join(media, "short.wav")}
        write_wav(ctx["long"], 60)
        write_wav(ctx["short"], 2)
        try:
            for name, scenario in SCENARIOS:
                start = time.monotonic()
                try:
                    scenario(ctx)
                    passed += 1
                    print(f"ok   {name} ({time.monotonic() - start:.1f} s)", flush=True)
                except (Failure, subprocess.SubprocessError) as error:
                    failed += 1
                    print(f"FAIL {name}: {error}", flush=True)
                    if "strip" not in ctx:
                        break  # nothing to drive
        finally:
            cleanup()
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or passed < len(SCENARIOS) else 0


if __name__ == "__main__":
    sys.exit(main())
