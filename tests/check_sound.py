#!/usr/bin/env python3
"""Audible is heard. The real program, with Audible ticked and a one-second
interval, plays the desktop's event sound through a private PulseAudio server
whose only sink writes everything it plays into a pipe read here: sound comes
after the pings, and none once the box is cleared again.

Needs an X display (run under xvfb-run), pulseaudio and xdotool.
"""
import array
import os
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


def main():
    binary = sys.argv[1]
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

            program = subprocess.Popen([binary, '--port1', os.ttyname(slave)], env=environment)
            processes.append(program)
            window = xdotool('search', '--sync', '--onlyvisible', '--pid', str(program.pid),
                             '--name', '^Wendrel$').split('\n')[0]
            deadline = time.monotonic() + 20
            while not painted(window) and time.monotonic() < deadline:
                time.sleep(0.1)
            click(window, SECONDS_UP_ARROW)
            click(window, CHECK_BOX)
            click(window, START_BUTTON)
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
