#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
"""Audible is heard. The real program, with Audible ticked and a one-second
interval, plays the desktop's event sound through a private PulseAudio server
whose only sink writes everything it plays into a pipe read here: sound comes
after the pings, and none once the box is cleared again.

Audible never holds up pinging: with a sound server that accepts a connection
and never answers (a stuck PulseAudio or PipeWire), the pings keep their
interval, Stop is answered at once and Exit ends the program at once.

Needs an X display (run under xvfb-run), pulseaudio and xdotool.
"""
import array
import os
import socket as sockets
import pty
import select
import signal
import subprocess
import sys
import tempfile
import threading
import time
import tty

from xdesktop import click, painted, xdotool

CHECK_BOX = (217, 100)
SECONDS_UP_ARROW = (184, 90)
START_BUTTON = (247, 19)
EXIT_BUTTON = (247, 69)
LOUD = 500  # a sample above this is sound; silence is 0


class Sink:
    """Reads the pipe sink and keeps, for every chunk, when it came and how loud it was."""

    def __init__(self, path):
        self.chunks = []
        self.reading = True
        self.fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
        self.thread = threading.Thread(target=self.read)
        self.thread.start()

    def read(self):
        while self.reading:
            ready, _, _ = select.select([self.fd], [], [], 0.1)
            if not ready:
                continue
            data = os.read(self.fd, 8192)
            samples = array.array('h', data[:len(data) // 2 * 2])
            self.chunks.append((time.monotonic(), max((abs(s) for s in samples), default=0)))

    def loudest(self, start, end):
        return max((level for when, level in self.chunks if start <= when <= end), default=0)

    def close(self):
        self.reading = False
        self.thread.join()
        os.close(self.fd)


def read_pings(master, count, seconds):
    stamps = []
    deadline = time.monotonic() + seconds
    while len(stamps) < count and time.monotonic() < deadline:
        ready, _, _ = select.select([master], [], [], 0.1)
        if ready:
            stamps += [time.monotonic()] * os.read(master, 64).count(b'\r')
    return stamps


class StuckServer:
    """A sound server's socket that takes every connection and never says a word."""

    def __init__(self, path):
        self.held = []
        self.server = sockets.socket(sockets.AF_UNIX, sockets.SOCK_STREAM)
        self.server.bind(path)
        self.server.listen(16)
        self.thread = threading.Thread(target=self.accept, daemon=True)
        self.thread.start()

    def accept(self):
        try:
            while True:
                self.held.append(self.server.accept()[0])
        except OSError:
            pass

    def close(self):
        self.server.close()
        for connection in self.held:
            connection.close()


class Lines:
    """Keeps the program's standard error, each line with when it came."""

    def __init__(self, stream):
        self.lines = []
        self.thread = threading.Thread(target=self.read, args=(stream,), daemon=True)
        self.thread.start()

    def read(self, stream):
        for line in stream:
            self.lines.append((time.monotonic(), line.decode(errors='replace').rstrip()))

    def first(self, text, after):
        return next((when for when, line in self.lines if when >= after and text in line), None)


def start_audible(binary, device, environment, stderr=None):
    program = subprocess.Popen([binary, '--port1', device], env=environment, stderr=stderr)
    window = xdotool('search', '--sync', '--onlyvisible', '--pid', str(program.pid),
                     '--name', '^Wendrel$').split('\n')[0]
    deadline = time.monotonic() + 20
    while not painted(window) and time.monotonic() < deadline:
        time.sleep(0.1)
    click(window, SECONDS_UP_ARROW)
    click(window, CHECK_BOX)
    click(window, START_BUTTON)
    return program, window


def stuck_sound_server(binary):
    """Twenty seconds of Audible pinging against a server that never answers."""
    master, slave = pty.openpty()
    tty.setraw(slave)
    with tempfile.TemporaryDirectory() as runtime:
        os.chmod(runtime, 0o700)
        stuck = StuckServer(os.path.join(runtime, 'stuck'))
        environment = dict(os.environ, XDG_RUNTIME_DIR=runtime, HOME=runtime,
                           PULSE_SERVER=f'unix:{runtime}/stuck')
        program, window = start_audible(binary, os.ttyname(slave), environment, subprocess.PIPE)
        try:
            lines = Lines(program.stderr)
            pings = read_pings(master, 100, 20)  # one every 1.25 s: the tick after 1 s
            gaps = [b - a for a, b in zip(pings, pings[1:])]
            read_pings(master, 1, 2)
            pressed = time.monotonic()
            click(window, START_BUTTON)  # Stop
            time.sleep(1.0)
            stopped = lines.first('Stopped pinging', pressed)
            pressed_exit = time.monotonic()
            click(window, EXIT_BUTTON)
            try:
                status = program.wait(timeout=5)
            except subprocess.TimeoutExpired:
                status = None
            ended = time.monotonic() - pressed_exit
        finally:
            if program.poll() is None:
                program.kill()
                program.wait()
            stuck.close()
    print(f'Stuck sound server: {len(pings)} pings, longest gap '
          f'{max(gaps, default=0):.2f} s, connections held {len(stuck.held)}')
    print(f'Stop answered after {stopped - pressed if stopped else None} s; '
          f'Exit ended it with {status} after {ended:.2f} s')
    if len(pings) < 15 or max(gaps) > 1.5:
        print('a stuck sound server held up the pings')
        return 1
    if stopped is None or stopped - pressed > 0.5 or status != 0 or ended > 1.0:
        print('a stuck sound server held up Stop or Exit')
        return 1
    return 0


def main():
    binary = sys.argv[1]
    if stuck_sound_server(binary) != 0:
        return 1
    master, slave = pty.openpty()
    tty.setraw(slave)
    processes = []
    with tempfile.TemporaryDirectory() as runtime:
        os.chmod(runtime, 0o700)
        sink_path = os.path.join(runtime, 'sink')
        socket = os.path.join(runtime, 'native')
        environment = dict(os.environ, XDG_RUNTIME_DIR=runtime, HOME=runtime,
                           PULSE_SERVER=f'unix:{socket}')
        try:
            server = subprocess.Popen(
                ['pulseaudio', '-n', '--daemonize=no', '--exit-idle-time=-1', '--disallow-exit',
                 '--use-pid-file=no', '--log-target=stderr', '--log-level=error',
                 '-L', f'module-native-protocol-unix socket={socket} auth-anonymous=1',
                 '-L', f'module-pipe-sink file={sink_path} sink_name=speaker '
                       'format=s16le rate=44100 channels=2'],
                env=environment, stdout=subprocess.DEVNULL)
            processes.append(server)
            deadline = time.monotonic() + 20
            while not (os.path.exists(socket) and os.path.exists(sink_path)):
                if time.monotonic() > deadline or server.poll() is not None:
                    print('the private PulseAudio server did not start')
                    return 1
                time.sleep(0.1)
            sink = Sink(sink_path)

            program, window = start_audible(binary, os.ttyname(slave), environment)
            processes.append(program)
            audible = read_pings(master, 3, 10)
            time.sleep(1.0)
            heard = sink.loudest(audible[0], time.monotonic()) if audible else 0

            click(window, CHECK_BOX)  # cleared
            read_pings(master, 1, 5)  # a ping under way may still sound
            quiet_from = time.monotonic() + 0.5
            silent = read_pings(master, 3, 10)
            time.sleep(1.0)
            after = sink.loudest(quiet_from, time.monotonic())
            sink.close()
        finally:
            for process in reversed(processes):
                if process.poll() is None:
                    process.send_signal(signal.SIGTERM)
                    try:
                        process.wait(timeout=10)
                    except subprocess.TimeoutExpired:
                        process.kill()
                        process.wait()

    print(f'Audible ticked: {len(audible)} pings, loudest sample {heard}')
    print(f'Audible cleared: {len(silent)} pings, loudest sample {after}')
    if len(audible) < 3 or len(silent) < 3:
        print('the program did not ping')
        return 1
    if heard <= LOUD:
        print('no sound reached the sound server while Audible was ticked')
        return 1
    if after > LOUD:
        print('sound reached the sound server with Audible cleared')
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
