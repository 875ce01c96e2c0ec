#!/usr/bin/env python3
"""Wendrel against the shell loop, in one run on one machine.

For each scenario (window visible, hidden to the tray, idle) and each repeat,
Wendrel runs in a real window under Xvfb against a pseudo-terminal with a
one-second interval, driven as a user drives it (the seconds bar's up arrow,
then Start, through XTEST), while the shell loop

    stty -F DEV 9600 raw; while :; do printf '\\r' > DEV; sleep 1; done

writes to a second pseudo-terminal for the same time. The receiving ends of both
ptys are read here, with a time stamp for every carriage return.

CPU time is user + system: for Wendrel from /proc (all threads, nanoseconds,
from three seconds after Start, when Start and Hide have settled, to the end),
for the shell loop from getrusage of the reaped shell, its children included. Wakeups are context switches (voluntary
and involuntary), from the same sources.
"""
import argparse
import datetime
import os
import platform
import pty
import re
import resource
import select
import signal
import statistics
import subprocess
import sys
import threading
import time
import tty

from Xlib import X, display
from Xlib.ext import xtest

INTERVAL_MS = 1000
TICK_MS = 250
SETTLE_S = 3
# Window-relative pixel positions at 96 dots per inch (twips / 15).
SECONDS_UP_ARROW = (184, 90)
START_BUTTON = (247, 19)
HIDE_BUTTON = (247, 44)


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


def context_switches(task):
    total = 0
    with open(f'{task}/status') as f:
        for line in f:
            if line.startswith(('voluntary_ctxt_switches', 'nonvoluntary_ctxt_switches')):
                total += int(line.split()[1])
    return total


def growth(before, after):
    """What the threads alive at the end added since the first reading (a thread
    that ended in between takes its few figures with it)."""
    return sum(value - before.get(task, 0) for task, value in after.items())


def wendrel_cpu_ns(pid):
    return per_thread(pid, schedstat_ns)


def wendrel_switches(pid):
    return per_thread(pid, context_switches)


def resident_kib(pid):
    with open(f'/proc/{pid}/status') as f:
        for line in f:
            if line.startswith('VmRSS:'):
                return int(line.split()[1])
    return 0


def find_window(root):
    for child in root.query_tree().children:
        try:
            if child.get_wm_name() == 'Wendrel' and \
                    child.get_attributes().map_state == X.IsViewable:
                return child
        except Exception:
            pass
    return None


def gradient_painted(window):
    try:
        pixel = window.get_image(200, 1, 1, 1, X.ZPixmap, 0xffffffff).data
    except Exception:
        return False
    blue, green, red = pixel[0], pixel[1], pixel[2]
    return red > 200 and green < 40 and blue > 150


def click(disp, window, position):
    origin = window.translate_coords(disp.screen().root, 0, 0)
    x = position[0] - origin.x
    y = position[1] - origin.y
    xtest.fake_input(disp, X.MotionNotify, x=x, y=y)
    disp.sync()
    time.sleep(0.05)
    xtest.fake_input(disp, X.ButtonPress, 1)
    disp.sync()
    time.sleep(0.05)
    xtest.fake_input(disp, X.ButtonRelease, 1)
    disp.sync()
    time.sleep(0.1)


def spacing_figures(stamps, interval_ms, slack_ms):
    """Lateness beyond the interval, and missing or doubled pings judged by the gaps."""
    gaps = [(b - a) * 1000 for a, b in zip(stamps, stamps[1:])]
    late = [max(0.0, gap - interval_ms) for gap in gaps]
    missing = sum(int(gap // (interval_ms + slack_ms)) for gap in gaps if gap > interval_ms + slack_ms)
    doubled = sum(1 for gap in gaps if gap < interval_ms * 0.9)
    late_sorted = sorted(late)
    p95 = late_sorted[min(len(late_sorted) - 1, int(round(0.95 * (len(late_sorted) - 1))))] if late else 0.0
    return {
        'received': len(stamps),
        'expected': len(stamps) + missing - doubled,
        'late_mean': statistics.mean(late) if late else 0.0,
        'late_p95': p95,
        'late_max': max(late) if late else 0.0,
    }


def run_once(binary, scenario, seconds, disp, environment):
    camera = Pty()
    loop_pty = Pty()
    result = {'scenario': scenario}
    launched = time.monotonic()
    wendrel = subprocess.Popen([binary, '--port1', camera.name], env=environment,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    root = disp.screen().root
    window = None
    painted = None
    deadline = launched + 20
    while time.monotonic() < deadline:
        window = window or find_window(root)
        if window is not None and gradient_painted(window):
            painted = time.monotonic()
            break
        time.sleep(0.002)
    if painted is None:
        wendrel.kill()
        raise SystemExit('Wendrel\'s window never showed its gradient')
    result['first_paint_ms'] = (painted - launched) * 1000
    time.sleep(0.5)

    if scenario != 'idle':
        click(disp, window, SECONDS_UP_ARROW)
    # Both ptys are read on a thread of their own, so that the clicks below
    # never delay a time stamp.
    reading = True

    def read_both():
        while reading:
            ready, _, _ = select.select([camera.master, loop_pty.master], [], [], 0.1)
            stamp = time.monotonic()
            for fd in ready:
                (camera if fd == camera.master else loop_pty).drain(stamp)

    reader = threading.Thread(target=read_both)
    reader.start()
    started = time.monotonic()
    if scenario != 'idle':
        click(disp, window, START_BUTTON)
    loop = subprocess.Popen(
        ['sh', '-c', f'stty -F {loop_pty.name} 9600 raw; '
                     f'while :; do printf "\\r" > {loop_pty.name}; sleep 1; done'],
        start_new_session=True)
    loop_started = time.monotonic()
    if scenario == 'hidden':
        time.sleep(0.3)
        click(disp, window, HIDE_BUTTON)
    # Wendrel's cost is taken once Start and Hide have settled: over days of
    # pinging only the steady ticking counts. (The shell loop's one stty is
    # counted; it is as small as it sounds.)
    time.sleep(max(0.0, started + SETTLE_S - time.monotonic()))
    cpu_before = wendrel_cpu_ns(wendrel.pid)
    switches_before = wendrel_switches(wendrel.pid)
    measured_from = time.monotonic()
    time.sleep(max(0.0, started + seconds - time.monotonic()))
    reading = False
    reader.join()
    elapsed = time.monotonic() - measured_from
    cpu_after = wendrel_cpu_ns(wendrel.pid)
    switches_after = wendrel_switches(wendrel.pid)
    result['wendrel_rss_kib'] = resident_kib(wendrel.pid)
    if scenario == 'hidden':
        result['hidden'] = find_window(root) is None

    os.killpg(loop.pid, signal.SIGTERM)
    _, _, usage = os.wait4(loop.pid, 0)
    loop.returncode = 0
    loop_elapsed = time.monotonic() - loop_started
    wendrel.send_signal(signal.SIGTERM)
    wendrel.wait(timeout=10)

    hour = 3600.0
    result['wendrel_cpu_s_per_h'] = growth(cpu_before, cpu_after) / 1e9 / elapsed * hour
    result['wendrel_wakeups'] = growth(switches_before, switches_after) / elapsed
    result['loop_cpu_s_per_h'] = (usage.ru_utime + usage.ru_stime) / loop_elapsed * hour
    result['loop_wakeups'] = (usage.ru_nvcsw + usage.ru_nivcsw) / loop_elapsed
    result['loop_rss_kib'] = usage.ru_maxrss
    if scenario != 'idle':
        result['wendrel'] = spacing_figures(camera.stamps, INTERVAL_MS, TICK_MS + 50)
    else:
        result['wendrel'] = {'received': len(camera.stamps), 'expected': 0}
    result['loop'] = spacing_figures(loop_pty.stamps, INTERVAL_MS, 500)
    camera.close()
    loop_pty.close()
    return result


def spread(values, digits=1):
    values = list(values)
    median = statistics.median(values)
    return f'{median:.{digits}f} [{min(values):.{digits}f}–{max(values):.{digits}f}]'


def machine_description():
    model = 'unknown CPU'
    with open('/proc/cpuinfo') as f:
        for line in f:
            if line.startswith('model name'):
                model = line.split(':', 1)[1].strip()
                break
    qt = subprocess.run(['dpkg-query', '-W', '-f=${Version}', 'libqt6core6'],
                        capture_output=True, text=True).stdout or 'unknown'
    debian = open('/etc/debian_version').read().strip() if os.path.exists('/etc/debian_version') else '?'
    return (f'{model}, {os.cpu_count()} cores, Linux {platform.release()}, Debian {debian}, '
            f'Qt {qt}, Xvfb without a window manager, trayer as the tray')


def report(results, seconds, repeats):
    lines = []
    lines.append(f'Measured {datetime.date.today()} on: {machine_description()}.')
    lines.append(f'Each figure is the median of {repeats} runs of {seconds} s, with the '
                 'smallest and largest in brackets; both programs ran at the same time.')
    lines.append('')
    lines.append('| scenario | program | CPU s per hour | vs shell loop | resident MiB | '
                 'wakeups/s | CRs received / expected | lateness mean / p95 / max ms |')
    lines.append('|---|---|---|---|---|---|---|---|')
    for scenario in ('visible', 'hidden', 'idle'):
        runs = [r for r in results if r['scenario'] == scenario]
        if not runs:
            continue
        ratio = [r['wendrel_cpu_s_per_h'] / r['loop_cpu_s_per_h'] for r in runs]
        received = sum(r['wendrel']['received'] for r in runs)
        expected = sum(r['wendrel']['expected'] for r in runs)
        if scenario == 'idle':
            counts, lateness, versus = f'{received} / 0', '–', '–'
        else:
            counts = f'{received} / {expected}'
            lateness = (f"{spread((r['wendrel']['late_mean'] for r in runs), 0)} / "
                        f"{spread((r['wendrel']['late_p95'] for r in runs), 0)} / "
                        f"{spread((r['wendrel']['late_max'] for r in runs), 0)}")
            versus = f'{spread(ratio, 2)}×'
        label = {'visible': 'window visible', 'hidden': 'hidden to the tray',
                 'idle': 'idle, no run'}[scenario]
        lines.append(f'| {label} | Wendrel | {spread((r["wendrel_cpu_s_per_h"] for r in runs), 2)} | '
                     f'{versus} | {spread((r["wendrel_rss_kib"] / 1024 for r in runs), 1)} | '
                     f'{spread(r["wendrel_wakeups"] for r in runs)} | {counts} | {lateness} |')
        loop_received = sum(r['loop']['received'] for r in runs)
        loop_expected = sum(r['loop']['expected'] for r in runs)
        lines.append(f'| {label} | shell loop | {spread((r["loop_cpu_s_per_h"] for r in runs), 2)} | '
                     f'1× | {spread((r["loop_rss_kib"] / 1024 for r in runs), 1)} | '
                     f'{spread(r["loop_wakeups"] for r in runs)} | {loop_received} / {loop_expected} | '
                     f"{spread((r['loop']['late_mean'] for r in runs), 0)} / "
                     f"{spread((r['loop']['late_p95'] for r in runs), 0)} / "
                     f"{spread((r['loop']['late_max'] for r in runs), 0)} |")
    lines.append('')
    lines.append(f"Launch to the window's first paint (gradient on screen): "
                 f"{spread((r['first_paint_ms'] for r in results), 0)} ms over {len(results)} launches.")
    hidden = [r.get('hidden') for r in results if r['scenario'] == 'hidden']
    if hidden:
        lines.append(f"Window really hidden in the hidden runs: {sum(bool(h) for h in hidden)} of {len(hidden)}.")
    return '\n'.join(lines)


def write_report(path, table):
    begin, end = '<!-- bench:begin -->', '<!-- bench:end -->'
    text = open(path).read() if os.path.exists(path) else \
        f'# Benchmarks\n\n{begin}\n{end}\n'
    if begin not in text:
        text += f'\n{begin}\n{end}\n'
    before, rest = text.split(begin, 1)
    _, after = rest.split(end, 1)
    with open(path, 'w') as f:
        f.write(f'{before}{begin}\n{table}\n{end}{after}')


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--binary', required=True)
    parser.add_argument('--seconds', type=int, default=60)
    parser.add_argument('--repeats', type=int, default=3)
    parser.add_argument('--scenarios', default='visible,hidden,idle')
    parser.add_argument('--report', help='markdown file to write the table into')
    args = parser.parse_args()

    number = 90 + os.getpid() % 100
    xvfb = subprocess.Popen(['Xvfb', f':{number}', '-screen', '0', '1024x768x24', '-nolisten', 'tcp'],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    environment = dict(os.environ, DISPLAY=f':{number}', QT_QPA_PLATFORM='xcb')
    for _ in range(100):
        if os.path.exists(f'/tmp/.X11-unix/X{number}'):
            break
        time.sleep(0.05)
    trayer = subprocess.Popen(['trayer', '--edge', 'top', '--align', 'right', '--widthtype', 'pixel',
                               '--width', '120', '--height', '32'], env=environment,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1)
    disp = display.Display(f':{number}')
    results = []
    try:
        for repeat in range(args.repeats):
            for scenario in args.scenarios.split(','):
                result = run_once(os.path.abspath(args.binary), scenario, args.seconds, disp, environment)
                results.append(result)
                print(f"run {repeat + 1} {scenario}: Wendrel {result['wendrel_cpu_s_per_h']:.2f} s/h, "
                      f"shell loop {result['loop_cpu_s_per_h']:.2f} s/h, "
                      f"CRs {result['wendrel']['received']}/{result['wendrel']['expected']}, "
                      f"first paint {result['first_paint_ms']:.0f} ms", flush=True)
    finally:
        trayer.kill()
        xvfb.kill()
    table = report(results, args.seconds, args.repeats)
    print()
    print(table)
    if args.report:
        write_report(args.report, table)


if __name__ == '__main__':
    main()
