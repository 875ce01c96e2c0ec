#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
"""The Windows programs, from the folder a user unzips, under Wine, with
Wine's COM1 on a pseudo-terminal whose other end is read here:

- wendreld.exe --interval 1 pings once a second; COM1 taken away for 3 s and
  put back on a new pseudo-terminal, it pings again within 3 s, with one
  "Lost" line and one "is back" line; Ctrl+C ends it with status 0;
- the serial component's own tests (tst_serialwin.exe) on COM1 and a COM9
  that is not there;
- wendrel.exe --interval 1 --start shows its window and pings; a screenshot
  of it is kept beside the test's output (needs an X display: run under
  xvfb-run);
- both programs carry the version record, as exiftool reads it.

Arguments: the installed folder, tst_serialwin.exe. The environment gives
WINEPREFIX and WENDREL_WINE_DLLS (the test program's DLL folders).
"""
import os
import pty
import select
import signal
import subprocess
import sys
import tempfile
import time
import tty

FOLDER, SERIAL_TEST = sys.argv[1], sys.argv[2]
PREFIX = os.environ["WINEPREFIX"]
ENV = dict(os.environ, WINEDEBUG="-all")
failures = []
passes = []


def check(condition, what):
    print(("ok      " if condition else "FAILED  ") + what, flush=True)
    (passes if condition else failures).append(what)


def wine(*arguments):
    """Runs a Windows program to its end. Its output goes through a file, not a
    pipe: the Wine services a call may start keep a pipe open after it ends."""
    with tempfile.TemporaryFile("w+") as output:
        result = subprocess.run(["wine", *arguments], env=ENV, stdout=output,
                                stderr=subprocess.DEVNULL, timeout=120)
        output.seek(0)
        result.stdout = output.read()
    return result


class Com1:
    """A pseudo-terminal behind Wine's COM1, and what arrives at its other end."""

    def __init__(self):
        self.master, slave = pty.openpty()
        tty.setraw(slave)
        self.slave_name = os.ttyname(slave)
        os.close(slave)  # Wendrel opens it by name; a hang-up is noticed then
        # Wine's mount manager makes the COM links anew from the registry (and
        # from the host's /dev/ttyS*) whenever Wine starts: both are set.
        wine("reg", "add", r"HKLM\Software\Wine\Ports", "/v", "COM1", "/d", self.slave_name, "/f")
        link = os.path.join(PREFIX, "dosdevices", "com1")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(self.slave_name, link)

    def read(self, seconds):
        """The carriage returns that came within the time, and when each came."""
        times = []
        end = time.monotonic() + seconds
        while (left := end - time.monotonic()) > 0:
            ready, _, _ = select.select([self.master], [], [], left)
            if not ready:
                continue
            try:
                data = os.read(self.master, 64)
            except OSError:
                time.sleep(0.05)  # nobody has the other end open just now
                continue
            times += [time.monotonic()] * data.count(b"\r")
        return times

    def pull(self):
        os.close(self.master)
        os.remove(os.path.join(PREFIX, "dosdevices", "com1"))
        wine("reg", "delete", r"HKLM\Software\Wine\Ports", "/v", "COM1", "/f")


def service():
    com1 = Com1()
    program = subprocess.Popen(["wine", os.path.join(FOLDER, "wendreld.exe"), "--interval", "1"],
                               env=ENV, stderr=subprocess.PIPE, text=True)
    times = com1.read(4.6)
    gaps = [b - a for a, b in zip(times, times[1:])]
    check(len(times) >= 4 and all(0.8 <= gap <= 1.6 for gap in gaps),
          f"wendreld.exe pings once a second: {len(times)} CRs, gaps {[round(g, 2) for g in gaps]}")
    com1.pull()
    time.sleep(3)
    com1 = Com1()
    back = com1.read(3)
    check(len(back) >= 1, f"pinged again within 3 s of COM1's return ({len(back)} CRs)")
    program.send_signal(signal.SIGINT)
    try:
        status = program.wait(10)
    except subprocess.TimeoutExpired:
        program.kill()
        status = program.wait()
    log = program.stderr.read()
    print(log, end="")
    check(status == 0, f"Ctrl+C ends wendreld.exe with status 0 (status {status})")
    lost = [line for line in log.splitlines() if "Lost" in line]
    returned = [line for line in log.splitlines() if "is back" in line]
    check(len(lost) == 1 and len(returned) == 1,
          f"one loss and one return told ({len(lost)} and {len(returned)})")
    os.close(com1.master)


def serial_component():
    com1 = Com1()
    dlls = ";".join("Z:" + d.replace("/", "\\")
                    for d in os.environ.get("WENDREL_WINE_DLLS", "").split(":") if d)
    log = os.path.join(os.path.dirname(SERIAL_TEST), "tst_serialwin.txt")
    result = subprocess.run(["wine", SERIAL_TEST, "-o", log + ",txt"],
                            env=dict(ENV, WINEPATH=dlls), timeout=120)
    with open(log) as output:
        print(output.read(), end="")
    check(result.returncode == 0, "the serial component on COM1 and COM9")
    check(len(com1.read(1)) >= 1, "its carriage return reached COM1")
    os.close(com1.master)


def window():
    if not os.environ.get("DISPLAY"):
        check(False, "the window needs an X display: run under xvfb-run")
        return
    com1 = Com1()
    program = subprocess.Popen(["wine", os.path.join(FOLDER, "wendrel.exe"), "--interval", "1",
                                "--start"], env=ENV)
    times = com1.read(6)
    check(len(times) >= 3, f"wendrel.exe --interval 1 --start pings ({len(times)} CRs in 6 s)")
    shot = os.path.join(os.path.dirname(os.path.abspath(SERIAL_TEST)), "wendrel-under-wine.png")
    subprocess.run(["import", "-window", "root", shot], check=False)
    names = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    check('"Wendrel' in names, "its window is on the screen (screenshot: " + shot + ")")
    program.terminate()
    try:
        program.wait(10)
    except subprocess.TimeoutExpired:
        program.kill()
    os.close(com1.master)


def version_record():
    for exe in ("wendrel.exe", "wendreld.exe"):
        tags = subprocess.run(["exiftool", "-s", "-s", "-s", "-FileVersionNumber",
                               "-ProductVersionNumber", "-FileVersion", "-ProductVersion",
                               "-FileDescription", "-ProductName", "-InternalName",
                               "-OriginalFileName", "-LanguageCode", os.path.join(FOLDER, exe)],
                              capture_output=True, text=True).stdout.splitlines()
        print(exe + ": " + " | ".join(tags))
        check(tags == ["1.0.0.0", "1.0.0.0", "1.00", "1.00",
                       "Ping Digital Cameras connected to Serial Ports to keep active.",
                       "Wendrel", "Wendrel", exe, "English (U.S.)"],
              exe + " carries the version record")


def reg_query(key, value=None):
    arguments = ["reg", "query", key] + (["/v", value] if value else [])
    result = wine(*arguments)
    return result.stdout if result.returncode == 0 else None


def wait_until(condition, seconds):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.25)
    return True


def installer_and_service():
    """Installed silently, the service made as the README says, pinging, stopped,
    and everything gone after a silent uninstall."""
    setups = [f for f in os.listdir(os.path.dirname(FOLDER.rstrip("/"))) if f.endswith("-setup.exe")]
    if not setups:
        check(False, "there is an installer beside the folder")
        return
    setup = os.path.join(os.path.dirname(FOLDER.rstrip("/")), setups[0])
    drive_c = os.path.join(PREFIX, "drive_c")
    installed = os.path.join(drive_c, "Program Files", "Wendrel")
    menu = os.path.join(drive_c, "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs",
                        "Wendrel.lnk")
    uninstall_key = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Wendrel"
    wine(setup, "/S")
    wait_until(lambda: os.path.exists(os.path.join(installed, "uninstall.exe")), 30)
    entry = reg_query(uninstall_key) or ""
    files = sorted(os.listdir(installed)) if os.path.isdir(installed) else []
    print("installed: " + " ".join(files))
    print(entry.strip())
    check("wendrel.exe" in files and "wendreld.exe" in files and "uninstall.exe" in files
          and os.path.exists(os.path.join(installed, "platforms", "qwindows.dll"))
          and os.path.exists(menu) and "DisplayVersion    REG_SZ    1.00" in entry
          and "wendrel.exe,0" in entry,
          "the installer puts the programs, the Start menu entry and the uninstall entry")

    com1 = Com1()
    service = r'"C:\Program Files\Wendrel\wendreld.exe" --service --interval 1'
    made = wine("sc", "create", "Wendrel", "binPath=", service)
    started = wine("net", "start", "Wendrel")
    times = com1.read(4)
    check(made.returncode == 0 and started.returncode == 0 and len(times) >= 3,
          f"the Wendrel service pings once a second ({len(times)} CRs in 4 s)")
    stopped = wine("net", "stop", "Wendrel")
    com1.read(0.3)  # what left before the stop, waiting to be read
    after = com1.read(2.5)
    check(stopped.returncode == 0 and not after,
          f"the service stops on the manager's Stop ({len(after)} CRs after it)")
    log = os.path.join(drive_c, "ProgramData", "Wendrel", "Wendrel.log")
    lines = open(log).read().splitlines() if os.path.exists(log) else []
    print("the service's log: " + " / ".join(lines[-3:]))
    check(any("Pinging COM1" in line for line in lines)
          and any("Stopped pinging COM1" in line for line in lines),
          "the service's log says what it did")
    bad = r'"C:\Program Files\Wendrel\wendreld.exe" --service --interval 0'
    wine("sc", "create", "WendrelMistake", "binPath=", bad)
    refused = wine("sc", "start", "WendrelMistake")
    time.sleep(2)
    state = wine("sc", "query", "WendrelMistake").stdout
    print("a mistake in the settings: " + " ".join(state.split()))
    mistake_log = os.path.join(drive_c, "ProgramData", "Wendrel", "WendrelMistake.log")
    told = open(mistake_log).read().strip() if os.path.exists(mistake_log) else ""
    print("its log: " + told)
    check("--interval" in told, "the mistake is told in the service's log")
    check("STOPPED" in state and "SERVICE_EXIT_CODE : 2 " in " ".join(state.split()) + " ",
          "a service with a mistake in its settings fails its start with status 2")
    wine("sc", "delete", "WendrelMistake")

    wine(os.path.join(installed, "uninstall.exe"), "/S")
    gone = wait_until(lambda: not os.path.exists(installed), 30)
    check(gone and not os.path.exists(menu) and reg_query(uninstall_key) is None
          and wine("sc", "query", "Wendrel").returncode != 0,
          "the uninstaller removes the programs, the entries and the service")
    os.close(com1.master)


if not os.path.isdir(os.path.join(PREFIX, "dosdevices")):
    wine("wineboot", "--init")
# One Wine server for the whole check, started afresh: the devices and
# services it set up stay as they are between the steps.
subprocess.run(["wineserver", "-k"], env=ENV)
subprocess.run(["wineserver", "-p"], env=ENV)
service()
serial_component()
window()
version_record()
installer_and_service()
subprocess.run(["wineserver", "-k"], env=ENV)
print(f"{len(passes)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
