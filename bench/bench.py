#!/usr/bin/env python3
"""Measures tallyvox.exe against minimal programs doing the same work, under
Wine in a bed that scripts/bench.sh brought up, and prints a table. Every
figure is the median of several runs; tallyvox and its baseline alternate.

usage: bench.py BUILD_DIR BED_DIR
environment: BENCH_RUNS (default 7), BENCH_FORWARD_RUNS (default 21: forwarding
is short and noisy), BENCH_CPU_SECONDS (default 10)
"""
import array
import math
import os
import re
import statistics
import subprocess
import sys
import time
import wave

BUILD, BED = sys.argv[1:3]
RUNS = int(os.environ.get("BENCH_RUNS", "7"))
FORWARD_RUNS = int(os.environ.get("BENCH_FORWARD_RUNS", "21"))
CPU_SECONDS = int(os.environ.get("BENCH_CPU_SECONDS", "10"))
WARM_UP = 2  # seconds a player runs before its CPU time counts: start-up is measured elsewhere
with open(os.path.join(BED, "display")) as f:
    DISPLAY = f.read().strip()
ENV = dict(os.environ, HOME=os.path.join(BED, "home"), WINEPREFIX=os.path.join(BED, "prefix"),
           WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d", DISPLAY=DISPLAY)
ENV.pop("WAYLAND_DISPLAY", None)
TALLYVOX = os.path.join(BUILD, "tallyvox.exe")
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msimg32.dll", "shell32.dll", "ole32.dll",
               "oleaut32.dll", "advapi32.dll", "msvcrt.dll", "comctl32.dll", "shlwapi.dll"}


def bench_exe(name):
    return os.path.join(BUILD, "bench", name + ".exe")


def win_path(path):
    return "Z:" + path.replace("/", "\\")


def write_tone(path, seconds):
    """A 441 Hz tone, 44.1 kHz stereo 16-bit: what a player plays every day."""
    period = array.array("h")
    for i in range(100):
        sample = int(8000 * math.sin(2 * math.pi * i / 100))
        period.extend((sample, sample))
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(period.tobytes() * (441 * seconds))


def wine(*args):
    done = subprocess.run(["wine", *args], env=ENV, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                          timeout=900)
    if done.returncode != 0:
        sys.exit(f"{os.path.basename(args[0])} failed ({done.returncode}): {done.stdout}{done.stderr}")
    return done.stdout


def start(*args):
    return subprocess.Popen(["wine", *args], env=ENV, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def result(output):
    """(tallyvox median, baseline median, tallyvox minimum, baseline minimum)."""
    return tuple(float(value) for value in re.search(r"RESULT (\S+) (\S+) (\S+) (\S+)", output).groups())


def cpu_seconds(pid):
    """User and system time of a Wine process, all its threads, from /proc."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def playing_cpu(args, closes):
    """CPU seconds a player spends over CPU_SECONDS of playback, after WARM_UP."""
    proc = start(*args)
    try:
        time.sleep(WARM_UP)
        before = cpu_seconds(proc.pid)
        time.sleep(CPU_SECONDS)
        spent = cpu_seconds(proc.pid) - before
        if closes:
            wine(bench_exe("bench_driver"), "close")
        proc.wait(timeout=30)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    return spent


def forwarding(tone):
    """The launch against the minimal forwarder and against the console program,
    and the median of the bare record round trip."""
    strip = start(TALLYVOX, win_path(tone))
    try:
        wine(bench_exe("bench_driver"), "wait")
        time.sleep(1)
        figures = []
        for baseline in ("bench_forwarder", "bench_console"):
            output = wine(bench_exe("bench_driver"), "forward", str(FORWARD_RUNS), win_path(TALLYVOX),
                          win_path(bench_exe(baseline)))
            figures.append(result(output))
        return figures, float(re.search(r"RECORD (\S+)", output)[1])
    finally:
        wine(bench_exe("bench_driver"), "close")
        strip.wait(timeout=30)


def steady_cpu(tone, baseline_program="dshow_baseline", *baseline_args):
    product, baseline = [], []
    for _ in range(RUNS):
        product.append(playing_cpu([TALLYVOX, win_path(tone)], closes=True))
        baseline.append(playing_cpu([bench_exe(baseline_program), win_path(tone), str(WARM_UP + CPU_SECONDS + 1),
                                     *baseline_args], closes=False))
    return statistics.median(product), statistics.median(baseline), min(product), min(baseline)


# DirectShow as a stock Windows has it: without GStreamer's splitter an M4A
# reaches Media Foundation, in the player as in the baseline.
SPLITTER_KEY = (r"HKLM\Software\Classes\CLSID\{083863F1-70DE-11D0-BD40-00A0C911CE86}\Instance"
                r"\{F9D8D64E-A144-47DC-8EE0-F53498372C29}")


def session_cpu(media, *baseline_args):
    wine("reg", "delete", SPLITTER_KEY, "/f")
    try:
        return steady_cpu(media, "mf_baseline", *baseline_args)
    finally:
        wine("regsvr32", "/s", "winegstreamer.dll")


def imports():
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", TALLYVOX], stdout=subprocess.PIPE, text=True).stdout
    return sorted({name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)})


def machine():
    model = "?"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    version = subprocess.run(["wine", "--version"], env=ENV, stdout=subprocess.PIPE, text=True).stdout.strip()
    return f"{os.cpu_count()} CPUs, {model}, {version}"


def main():
    media = os.path.join(BUILD, "bench-media")
    os.makedirs(media, exist_ok=True)
    tone = os.path.join(media, "tone.wav")
    write_tone(tone, WARM_UP + CPU_SECONDS + 4)
    m4a = os.path.join(media, "tone.m4a")
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", tone, "-c:a", "aac", "-b:a", "128k", m4a],
                   check=True)
    # A small film: 640x360 at 25 frames a second, H.264 and AAC, as a phone or a browser saves one.
    mp4 = os.path.join(media, "film.mp4")
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    f"testsrc=size=640x360:rate=25:duration={WARM_UP + CPU_SECONDS + 4}", "-i", tone,
                    "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac", "-b:a", "128k",
                    "-shortest", mp4], check=True)
    time.sleep(3)  # the bed's own services finish starting

    rows, notes, minima = [], [], []

    def ratio_row(name, unit, values, target):
        product, baseline, product_min, baseline_min = values
        ratio = product / baseline
        met = ("yes" if ratio <= target else "NO") if target else "-"
        rows.append((name, f"{product:.3f} {unit}", f"{baseline:.3f} {unit}", f"{ratio:.2f}",
                     f"<= {target:.2f}" if target else "-", met))
        minima.append(f"{name.split(' vs ')[0]} {product_min:.3f}/{baseline_min:.3f} {unit} "
                      f"({product_min / baseline_min:.2f})")
        print(f"  {name}: {product:.3f} / {baseline:.3f} {unit}", flush=True)

    print(f"Machine: {machine()}\nRuns per figure: {RUNS}, forwarding {FORWARD_RUNS} (medians)", flush=True)
    (minimal, console), record = forwarding(tone)
    ratio_row("forwarding launch /play vs minimal forwarder", "ms", minimal, 1.15)
    ratio_row("forwarding launch /play vs console program", "ms", console, None)
    notes.append(f"The strip finds and carries out a /play record sent without a process start in {record:.3f} ms.")
    ratio_row("start-up to first paint vs window program", "ms",
              result(wine(bench_exe("bench_driver"), "startup", str(RUNS), win_path(TALLYVOX),
                          win_path(bench_exe("bench_window")))), 1.25)
    ratio_row(f"CPU over {CPU_SECONDS} s of playback vs bare DirectShow", "s", steady_cpu(tone), 1.2)
    ratio_row(f"CPU over {CPU_SECONDS} s of M4A vs bare Media Foundation", "s", session_cpu(m4a), 1.2)
    ratio_row(f"CPU over {CPU_SECONDS} s of MP4 video vs bare Media Foundation with a window", "s",
              session_cpu(mp4, "video"), 1.2)
    ratio_row("tick (progress, details, full paint) vs empty paint", "us",
              result(wine(bench_exe("bench_tick"), win_path(tone), "2000")), None)
    notes.append("Minima (tallyvox/baseline, ratio): " + "; ".join(minima) + ".")
    size, limit = os.path.getsize(TALLYVOX), 44032  # the size test's limit, tests/resources_test.cpp
    rows.append(("tallyvox.exe size", f"{size} B", "-", "-", f"<= {limit} B", "yes" if size <= limit else "NO"))
    dlls = imports()
    rows.append(("tallyvox.exe DLL imports", f"{len(dlls)} DLLs", "-", "-", "system DLLs only",
                 "yes" if set(dlls) <= SYSTEM_DLLS else "NO"))
    notes.append("Imports: " + " ".join(dlls) + ".")

    header = ("measurement", "tallyvox", "baseline", "ratio", "target", "met?")
    widths = [max(len(row[i]) for row in rows + [header]) for i in range(len(header))]
    print()
    for row in [header, tuple("-" * w for w in widths)] + rows:
        print(" | ".join(cell.ljust(w) for cell, w in zip(row, widths)).rstrip())
    print("\n" + "\n".join(notes))


if __name__ == "__main__":
    main()
