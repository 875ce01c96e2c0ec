#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
"""Instructions per lamp step of the visible window, counted by callgrind.

CPU seconds differ threefold between machines; instructions do not. The
window runs pinging at 1 s under valgrind --tool=callgrind in an X server of
its own, collection is switched on once it has settled, and after a fixed
time the count is dumped: every instruction of the process in that time
(timers, pings and painting alike) divided by the chaser's steps, which
callgrind counts as calls of frmWendrel::Timer2_Timer.

Usage: lampsteps.py --binary build/release/wendrel [--seconds 20] [--report F]
"""
import argparse
import os
import re
import subprocess
import tempfile
import time

from measure import Desktop, Pty, write_report


def count(path):
    """Total instructions and calls of the chaser's handler, from a dump."""
    names, total, steps, callee = {}, 0, 0, None
    with open(path) as dump:
        for line in dump:
            named = re.match(r'^c?fn=\((\d+)\)(?: (.*))?$', line)
            if named:
                if named.group(2):
                    names[named.group(1)] = named.group(2)
                callee = names.get(named.group(1)) if line.startswith('cfn=') else None
            elif line.startswith('calls=') and callee and 'Timer2_Timer' in callee:
                steps += int(line.split('=')[1].split()[0])
            elif line.startswith('summary:') or line.startswith('totals:'):
                total = max(total, int(line.split()[1]))
    return total, steps


def measure(binary, seconds):
    desktop = Desktop()
    device = Pty()
    out = tempfile.mktemp(prefix='callgrind.', dir='/tmp')
    window = subprocess.Popen(
        ['valgrind', '--tool=callgrind', '--instr-atstart=no', f'--callgrind-out-file={out}',
         binary, '--port1', device.name, '--interval', '1', '--start'],
        env=desktop.environment, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(15)  # started under valgrind, shown and pinging
        subprocess.run(['callgrind_control', '-i', 'on', str(window.pid)], check=True,
                       stdout=subprocess.DEVNULL)
        time.sleep(seconds)
        subprocess.run(['callgrind_control', '-d', str(window.pid)], check=True,
                       stdout=subprocess.DEVNULL)
        dumps = [f for f in os.listdir('/tmp') if f.startswith(os.path.basename(out))]
        totals = [count(os.path.join('/tmp', f)) for f in dumps]
    finally:
        window.kill()
        window.wait()
        desktop.stop()
        device.close()
        for f in os.listdir('/tmp'):
            if f.startswith(os.path.basename(out)):
                os.remove(os.path.join('/tmp', f))
    instructions = sum(t for t, _ in totals)
    steps = sum(s for _, s in totals)
    return instructions, steps


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--binary', required=True)
    parser.add_argument('--seconds', type=int, default=20)
    parser.add_argument('--report')
    arguments = parser.parse_args()
    instructions, steps = measure(arguments.binary, arguments.seconds)
    per_step = instructions / steps if steps else float('nan')
    table = ('| window visible, 1 s, under callgrind | lamp steps | instructions | '
             'instructions per step |\n|---|---|---|---|\n'
             f'| {arguments.seconds} s | {steps} | {instructions:,} | {per_step:,.0f} |')
    print(table)
    if arguments.report:
        write_report(arguments.report, table, 'lampsteps')


if __name__ == '__main__':
    main()
