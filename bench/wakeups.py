#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
"""What a ping costs when nothing is on screen: the service and the hidden window.

For each interval (1 s and 20 s) and each repeat, four programs ping
pseudo-terminals of their own at the same time, for the same stretch:

    service:       wendreld --port1 DEV --interval N (or, for a build that
                   has no wendreld, wendrel --headless with the same options)
    hidden window: wendrel --port1 DEV --interval N --start --hidden, under
                   Xvfb with trayer as the notification area
    timer floor:   bench/baretimers.c --floor, one boot-time timer at the
                   interval: the least any program can wake
    shell loop:    stty -F DEV 9600 raw; while :; do printf '\\r' > DEV; sleep N; done

Wakeups are voluntary context switches, summed over every thread from
/proc/PID/task/*/status (for the shell loop, from getrusage of the reaped loop,
its children included): a sleep that ends. They are counted from three
seconds after the start to the end, and divided by the carriage returns that
arrived in the same stretch. CPU is user + system, from schedstat (the shell
loop: getrusage), per minute. Resident memory (the shell loop's: the shell's
own) and the shared objects mapped are read from /proc at the end; the first
carriage return is timed from exec.
"""
import argparse
import datetime
import os
import platform
import signal
import statistics
import subprocess
import tempfile
import time

from measure import Desktop, Pty, Stamper, per_thread, resident_kib, schedstat_ns, status_count, write_report

SETTLE_S = 3
DISPLAY_LIBRARIES = ('libQt6Gui', 'libQt6Widgets', 'libGL', 'libEGL', 'libxcb', 'libfontconfig')
SUBJECTS = ('service', 'hidden window', 'timer floor', 'shell loop')


def threads_sum(pid, read):
    return sum(per_thread(pid, read).values())


def voluntary(task):
    return status_count(task, 'voluntary_ctxt_switches')


def mapped_objects(pid):
    names = set()
    with open(f'/proc/{pid}/maps') as f:
        for line in f:
            path = line.split()[-1]
            if '.so' in os.path.basename(path):
                names.add(os.path.basename(path))
    return names


def command(subject, binaries, device, seconds):
    if subject == 'service':
        if binaries['wendreld']:
            return [binaries['wendreld'], '--port1', device, '--interval', str(seconds)]
        return [binaries['wendrel'], '--headless', '--port1', device, '--interval', str(seconds)]
    if subject == 'hidden window':
        return [binaries['wendrel'], '--port1', device, '--interval', str(seconds), '--start',
                '--hidden']
    if subject == 'timer floor':
        return [binaries['floor'], '--floor', device, str(seconds * 1000)]
    return ['dash', '-c', f'stty -F {device} 9600 raw; '
            f'while :; do printf "\\r" > {device}; sleep {seconds}; done']


def run_once(binaries, interval_s, seconds, environment):
    ptys = {subject: Pty() for subject in SUBJECTS}
    stamper = Stamper(ptys.values())
    processes = {}
    for subject in SUBJECTS:
        launched = time.monotonic()
        processes[subject] = (subprocess.Popen(
            command(subject, binaries, ptys[subject].name, interval_s), env=environment,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True), launched)
    time.sleep(SETTLE_S)
    measured = {subject: p.pid for subject, (p, _) in processes.items() if subject != 'shell loop'}
    loop_pid = processes['shell loop'][0].pid
    before = {s: (threads_sum(pid, voluntary), threads_sum(pid, schedstat_ns)) for s, pid in measured.items()}
    from_stamp = time.monotonic()
    time.sleep(seconds - SETTLE_S)
    until_stamp = time.monotonic()
    loop_rss = resident_kib(loop_pid)
    after = {s: (threads_sum(pid, voluntary), threads_sum(pid, schedstat_ns)) for s, pid in measured.items()}
    results = {}
    for subject, (process, launched) in processes.items():
        stamps = ptys[subject].stamps
        pings = sum(1 for stamp in stamps if from_stamp <= stamp <= until_stamp)
        result = {'pings': pings, 'first_cr_ms': (stamps[0] - launched) * 1000 if stamps else None}
        if subject in measured:
            pid = measured[subject]
            result['rss_kib'] = resident_kib(pid)
            objects = mapped_objects(pid)
            result['objects'] = len(objects)
            result['display'] = sorted(o.split('.so')[0] for o in objects
                                       if o.split('.so')[0] in DISPLAY_LIBRARIES)
            wakeups = after[subject][0] - before[subject][0]
            cpu = (after[subject][1] - before[subject][1]) / 1e6
            result['wakeups_per_ping'] = wakeups / pings if pings else float('nan')
            result['cpu_ms_per_min'] = cpu / (until_stamp - from_stamp) * 60
        os.killpg(process.pid, signal.SIGTERM)
        _, _, usage = os.wait4(process.pid, 0)
        process.returncode = 0
        if subject == 'shell loop':
            # The loop's whole life, start-up included; its pings likewise.
            ran = time.monotonic() - launched
            result['wakeups_per_ping'] = usage.ru_nvcsw / len(stamps) if stamps else float('nan')
            result['cpu_ms_per_min'] = (usage.ru_utime + usage.ru_stime) * 1000 / ran * 60
            result['rss_kib'] = loop_rss
        results[subject] = result
    stamper.stop()
    for p in ptys.values():
        p.close()
    return results


def spread(values, digits=2):
    values = [v for v in values if v is not None]
    if not values:
        return '–'
    median = statistics.median(values)
    if len(values) == 1:
        return f'{median:.{digits}f}'
    return f'{median:.{digits}f} [{min(values):.{digits}f}–{max(values):.{digits}f}]'


def report(runs, lengths, repeats, binaries):
    machine = 'unknown CPU'
    with open('/proc/cpuinfo') as f:
        for line in f:
            if line.startswith('model name'):
                machine = line.split(':', 1)[1].strip()
                break
    service = binaries['wendreld'] or f"{binaries['wendrel']} --headless"
    lines = [f'Measured {datetime.date.today()} on: {machine}, {os.cpu_count()} cores, '
             f'Linux {platform.release()}; service: `{os.path.basename(service.split()[0])}'
             f"{' --headless' if not binaries['wendreld'] else ''}`.",
             f'Medians of {repeats} run(s) (smallest and largest in brackets); each run '
             + ', '.join(f'{lengths[i]} s at {i} s' for i in sorted(lengths)) + '.', '',
             '| program | interval | wakeups per ping | CPU ms per minute | resident MiB | '
             'shared objects | display libraries mapped | first CR after exec, ms |',
             '|---|---|---|---|---|---|---|---|']
    for subject in SUBJECTS:
        for interval in sorted(lengths):
            results = [r[subject] for i, r in runs if i == interval]
            display = sorted(set(name for r in results for name in r.get('display', [])))
            objects = spread((r.get('objects') for r in results), 0)
            lines.append(
                f"| {subject} | {interval} s | {spread(r['wakeups_per_ping'] for r in results)} | "
                f"{spread((r['cpu_ms_per_min'] for r in results), 1)} | "
                f"{spread((r['rss_kib'] / 1024 for r in results), 1)} | {objects} | "
                f"{', '.join(display) if display else ('none' if subject != 'shell loop' else '–')} | "
                f"{spread((r['first_cr_ms'] for r in results), 0)} |")
    return '\n'.join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--binary', required=True, help='the window program, wendrel')
    parser.add_argument('--service', help='the service program (default: wendreld beside '
                        'wendrel if there is one, else wendrel --headless)')
    parser.add_argument('--seconds', type=int, default=60, help='a run at 1 s')
    parser.add_argument('--seconds-20', type=int, default=200, help='a run at 20 s')
    parser.add_argument('--repeats', type=int, default=1)
    parser.add_argument('--report', help='markdown file to write the table into')
    args = parser.parse_args()

    wendrel = os.path.abspath(args.binary)
    beside = os.path.join(os.path.dirname(wendrel), 'wendreld')
    service = args.service or (beside if os.access(beside, os.X_OK) else None)
    build = tempfile.mkdtemp(prefix='wendrel-bench-')
    floor = os.path.join(build, 'baretimers')
    subprocess.run(['cc', '-O2', '-o', floor,
                    os.path.join(os.path.dirname(os.path.abspath(__file__)), 'baretimers.c')],
                   check=True)
    binaries = {'wendrel': wendrel, 'wendreld': service and os.path.abspath(service), 'floor': floor}

    desktop = Desktop()
    environment = desktop.environment
    lengths = {1: args.seconds, 20: args.seconds_20}
    runs = []
    try:
        for repeat in range(args.repeats):
            for interval, seconds in lengths.items():
                results = run_once(binaries, interval, seconds, environment)
                runs.append((interval, results))
                print(f'run {repeat + 1}, {interval} s: ' + ', '.join(
                    f"{s} {r['wakeups_per_ping']:.2f}/ping" for s, r in results.items()), flush=True)
    finally:
        desktop.stop()
    table = report(runs, lengths, args.repeats, binaries)
    print()
    print(table)
    if args.report:
        write_report(args.report, table, 'wakeups')


if __name__ == '__main__':
    main()
