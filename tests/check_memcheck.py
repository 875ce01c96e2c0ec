#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
"""Runs the real program under valgrind's memcheck for a short pinging run and
fails if valgrind finds memory definitely lost by Wendrel's own code.

The program talks to a pseudo-terminal; xdotool sets one second on the seconds
bar and presses Start; after a few pings SIGTERM ends it as a logout would.
Needs an X display (run under xvfb-run).
"""
import os
import pty
import re
import select
import signal
import subprocess
import sys
import tempfile
import time

from xdesktop import click, painted, xdotool

SOURCE_TREE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# valgrind names a frame's file without its folder: "(frmwendrel.cpp:123)".
OWN_FILES = sorted(name for folder in ('engine', 'serialport', 'system', 'commandline', 'service',
                                          'desktop', 'grad', 'window', 'app')
                   for name in os.listdir(os.path.join(SOURCE_TREE, folder))
                   if name.endswith(('.cpp', '.h')))
OWN_CODE = re.compile(r'\((?:%s):\d+\)' % '|'.join(re.escape(name) for name in OWN_FILES))


def loss_records(report):
    """valgrind's records, one string each; several processes may share the log."""
    records = {}
    for line in report.splitlines():
        match = re.match(r'==(\d+)== ?(.*)', line)
        if not match:
            continue
        pid, text = match.groups()
        current = records.setdefault(pid, [[]])
        if text.strip():
            current[-1].append(text)
        else:
            current.append([])
    return ['\n'.join(lines) for blocks in records.values() for lines in blocks if lines]


def main():
    binary = sys.argv[1]
    master, slave = pty.openpty()
    device = os.ttyname(slave)
    with tempfile.TemporaryDirectory() as work:
        log = os.path.join(work, 'memcheck.log')
        suppressions = os.path.join(SOURCE_TREE, 'tests', 'valgrind.supp')
        # A child the program forks only to run another program (libdbus starting
        # a session bus) holds none of its threads: its report is not the program's.
        program = subprocess.Popen(['valgrind', '--tool=memcheck', '--leak-check=full',
                                    '--child-silent-after-fork=yes',
                                    f'--suppressions={suppressions}',
                                    '--errors-for-leak-kinds=definite', '--num-callers=30',
                                    f'--log-file={log}', binary, '--port1', device])
        try:
            window = xdotool('search', '--sync', '--onlyvisible', '--name', '^Wendrel$').split('\n')[0]
            # valgrind is slow to draw: the clicks wait until the gradient shows.
            deadline = time.time() + 60
            while not painted(window) and time.time() < deadline:
                time.sleep(0.2)
            click(window, (184, 90))
            click(window, (247, 19))
            received = b''
            deadline = time.time() + 20
            while received.count(b'\r') < 3 and time.time() < deadline:
                ready, _, _ = select.select([master], [], [], 0.5)
                if ready:
                    received += os.read(master, 64)
            program.send_signal(signal.SIGTERM)
            status = program.wait(timeout=120)
        finally:
            # Whatever went wrong above, neither valgrind nor the program outlives the check.
            if program.poll() is None:
                program.kill()
                program.wait()
        report = open(log).read()
        if os.environ.get('WENDREL_MEMCHECK_LOG'):
            open(os.environ['WENDREL_MEMCHECK_LOG'], 'w').write(report)

    pings = received.count(b'\r')
    print(f'carriage returns received under valgrind: {pings}; exit status {status}')
    if pings < 3:
        print('the program did not ping under valgrind')
        return 1
    for summary in re.findall(r'==(\d+)==\s+definitely lost: ([\d,]+) bytes', report):
        print(f'process {summary[0]}: definitely lost {summary[1]} bytes')
    own = [record for record in loss_records(report)
           if 'definitely lost' in record and OWN_CODE.search(record)]
    if own:
        print('memory definitely lost by Wendrel\'s code:')
        print('\n'.join(own))
        return 1
    print('no memory definitely lost by Wendrel\'s own code')
    return 0 if status == 0 else 1


if __name__ == '__main__':
    sys.exit(main())
