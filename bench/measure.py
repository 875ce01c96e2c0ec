# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
"""What both benchmarks measure with: pseudo-terminals that time-stamp every
carriage return that arrives, figures per thread from /proc, and the report's
place in docs/benchmarks.md."""
import os
import pty
import select
import subprocess
import threading
import time
import tty


class Pty:
    def __init__(self):
        self.master, self.slave = pty.openpty()
        tty.setraw(self.slave)
        self.name = os.ttyname(self.slave)
        self.stamps = []

    def drain(self, now):
        try:
            data = os.read(self.master, 1024)
        except OSError:
            return
        self.stamps += [now] * data.count(b'\r')

    def close(self):
        os.close(self.master)
        os.close(self.slave)


class Stamper:
    """Reads the pseudo-terminals on a thread of its own, so that nothing the
    benchmark does meanwhile delays a time stamp."""

    def __init__(self, ptys):
        self.ptys = {p.master: p for p in ptys}
        self.reading = True
        self.thread = threading.Thread(target=self.read)
        self.thread.start()

    def read(self):
        while self.reading:
            ready, _, _ = select.select(list(self.ptys), [], [], 0.1)
            stamp = time.monotonic()
            for fd in ready:
                self.ptys[fd].drain(stamp)

    def stop(self):
        self.reading = False
        self.thread.join()


def per_thread(pid, read):
    """A figure for each thread of the process, by thread id."""
    figures = {}
    for task in os.listdir(f'/proc/{pid}/task'):
        try:
            figures[task] = read(f'/proc/{pid}/task/{task}')
        except OSError:
            pass  # the thread ended meanwhile
    return figures


def schedstat_ns(task):
    with open(f'{task}/schedstat') as f:
        return int(f.read().split()[0])


def status_count(task, *fields):
    """The sum of the named counts in a thread's status."""
    total = 0
    with open(f'{task}/status') as f:
        for line in f:
            if line.startswith(fields):
                total += int(line.split()[1])
    return total


def resident_kib(pid):
    with open(f'/proc/{pid}/status') as f:
        for line in f:
            if line.startswith('VmRSS:'):
                return int(line.split()[1])
    return 0


def write_report(path, table, marker):
    """Writes the table between the report's markers, keeping the rest."""
    begin, end = f'<!-- {marker}:begin -->', f'<!-- {marker}:end -->'
    text = open(path).read() if os.path.exists(path) else '# Benchmarks\n'
    if begin not in text:
        text += f'\n{begin}\n{end}\n'
    before, rest = text.split(begin, 1)
    _, after = rest.split(end, 1)
    with open(path, 'w') as f:
        f.write(f'{before}{begin}\n{table}\n{end}{after}')


class Desktop:
    """An X server of the benchmark's own, with trayer as its notification area."""

    def __init__(self):
        self.number = 90 + os.getpid() % 100
        self.xvfb = subprocess.Popen(['Xvfb', f':{self.number}', '-screen', '0', '1024x768x24',
                                      '-nolisten', 'tcp', '-noreset'],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.environment = dict(os.environ, DISPLAY=f':{self.number}', QT_QPA_PLATFORM='xcb')
        self.environment.pop('QT_LOGGING_RULES', None)
        for _ in range(100):
            if os.path.exists(f'/tmp/.X11-unix/X{self.number}'):
                break
            time.sleep(0.05)
        self.trayer = subprocess.Popen(['trayer', '--edge', 'top', '--align', 'right',
                                        '--widthtype', 'pixel', '--width', '120', '--height', '32'],
                                       env=self.environment, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        time.sleep(1)

    def stop(self):
        self.trayer.kill()
        self.xvfb.kill()
