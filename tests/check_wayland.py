#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
"""The lamp row on Wayland, as the compositor shows it. The real program on
a compositor of its own (weston's headless back end, its pixman renderer),
pinging a pseudo-terminal: every screenshot taken while the chaser runs is
opaque through and through. A Wayland window's store has an alpha channel
and clears what a paint opens, so a lamp step that opened more than it
painted would leave the gaps between the lamps transparent.

Needs weston (with weston-screenshooter) and ImageMagick. Argument: the
program.
"""
import glob
import os
import pty
import select
import subprocess
import sys
import tempfile
import time
import tty

PROGRAM = sys.argv[1]


def transparent_pixels(png):
    """How many pixels of the picture are fully transparent."""
    histogram = subprocess.run(["convert", png, "-alpha", "extract", "-format", "%c",
                                "histogram:info:-"], capture_output=True, text=True).stdout
    for line in histogram.splitlines():
        if "gray(0)" in line:
            return int(line.split(":")[0])
    return 0


def main():
    runtime = tempfile.mkdtemp(prefix="wendrel-wayland-")
    os.chmod(runtime, 0o700)
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY="wendrel-test")
    for name in ("DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"):
        env.pop(name, None)
    compositor = subprocess.Popen(
        ["weston", "--backend=headless-backend.so", "--use-pixman", "--socket=wendrel-test",
         "--width=800", "--height=600", "--idle-time=0", "--debug"],
        env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    master, slave = pty.openpty()
    tty.setraw(slave)
    program = None
    try:
        deadline = time.monotonic() + 10
        while not os.path.exists(os.path.join(runtime, "wendrel-test")):
            if time.monotonic() > deadline:
                print("weston did not start")
                return 1
            time.sleep(0.1)
        program = subprocess.Popen([PROGRAM, "-platform", "wayland", "--port1",
                                    os.ttyname(slave), "--interval", "2", "--start"], env=env)
        # The first carriage return: the window is up and the chaser runs.
        ready, _, _ = select.select([master], [], [], 10)
        if not ready or b"\r" not in os.read(master, 64):
            print("the program did not ping")
            return 1
        time.sleep(1)
        shots = []
        for shot in range(5):
            before = set(glob.glob(os.path.join(runtime, "*.png")))
            subprocess.run(["weston-screenshooter"], env=env, cwd=runtime, timeout=20,
                           capture_output=True)
            made = sorted(set(glob.glob(os.path.join(runtime, "*.png"))) - before)
            if made:
                shots.append(made[-1])
            time.sleep(0.33)
        if not shots:
            print("weston-screenshooter made no screenshot")
            return 1
        counts = [transparent_pixels(shot) for shot in shots]
        keep = os.path.join(os.getcwd(), "wendrel-under-weston.png")
        subprocess.run(["cp", shots[-1], keep])
        print(f"transparent pixels in {len(shots)} screenshots while pinging: {counts} "
              f"(the last kept as {keep})")
        failed = any(counts)
        print(f"{0 if failed else 1} passed, {1 if failed else 0} failed")
        return 1 if failed else 0
    finally:
        if program:
            program.terminate()
            program.wait(10)
        compositor.terminate()
        compositor.wait(10)


sys.exit(main())
