#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
"""The system unit under a real systemd: Debian's kernel in QEMU (software
emulation) boots the host's own root with systemd as PID 1, the release
packages are installed with dpkg, and QEMU's FTDI adapter (usb-serial on an
xhci controller, the kernel's ftdi_sio driver, udev's by-id links) has a host
pty at its far end, where each carriage return is read. The adapter is
unplugged and plugged again over QMP.

Usage: check_vm.py SOURCE_DIR CACHE_DIR (the kernel is kept there)"""

import glob
import json
import os
import re
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import termios
import threading
import time
import tty

KERNEL_PACKAGE = 'linux-image-amd64'
MODULES = ['virtio_pci', '9pnet_virtio', '9p', 'overlay']
# Besides whatever services the host's image enables: units with no hardware
# or no purpose in a test machine.
MASKED = ['systemd-networkd.service', 'systemd-resolved.service', 'systemd-timesyncd.service',
          'apt-daily.timer', 'apt-daily-upgrade.timer', 'man-db.timer', 'e2scrub_reap.service',
          'e2scrub_all.timer', 'fstrim.timer', 'getty@tty1.service', 'serial-getty@ttyS0.service']
# The machine's side of the test: runs each command the host writes in the
# shared folder, one after the other, and leaves its output and status there.
AGENT_UNIT = """[Unit]
Description=The test's agent: runs the host's commands
After=systemd-udev-trigger.service
[Service]
ExecStart=/bin/sh /etc/wendrel-vm-agent.sh
"""
AGENT = """cd /wendrel-vm
while :; do
    for c in cmd/*.sh; do
        [ -e "$c" ] && [ ! -e "${c%.sh}.rc" ] || continue
        sh "$c" >"${c%.sh}.out" 2>&1
        echo $? >"${c%.sh}.tmp"
        mv "${c%.sh}.tmp" "${c%.sh}.rc"
    done
    sleep 0.2
done
"""


def step(text):
    print(f'[{time.monotonic() - START:6.1f} s] {text}', flush=True)


def fail(text):
    print(f'FAILED: {text}', flush=True)
    sys.exit(1)


START = time.monotonic()


def kernel(cache):
    """Debian's own kernel and its modules, downloaded once into the cache."""
    tree = os.path.join(cache, 'kernel')
    found = glob.glob(os.path.join(tree, 'boot', 'vmlinuz-*'))
    if not found:
        depends = subprocess.run(['apt-cache', 'depends', KERNEL_PACKAGE],
                                 capture_output=True, text=True).stdout
        if 'Depends: linux-image' not in depends:  # a machine that never fetched the lists
            subprocess.run(['apt-get', 'update', '-qq'], check=True)
            depends = subprocess.run(['apt-cache', 'depends', KERNEL_PACKAGE], check=True,
                                     capture_output=True, text=True).stdout
        image = re.search(r'Depends: (linux-image-\S+)', depends).group(1)
        download = tempfile.mkdtemp(dir=cache)
        subprocess.run(['apt-get', 'download', '-q', image], cwd=download, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(tree, ignore_errors=True)
        subprocess.run(['dpkg-deb', '-x', glob.glob(os.path.join(download, '*.deb'))[0], tree],
                       check=True)
        shutil.rmtree(download)
        found = glob.glob(os.path.join(tree, 'boot', 'vmlinuz-*'))
    vmlinuz = found[0]
    version = os.path.basename(vmlinuz)[len('vmlinuz-'):]
    if not os.path.exists(os.path.join(tree, 'lib/modules', version, 'modules.dep')):
        subprocess.run(['depmod', '-b', tree, version], check=True)
    return tree, vmlinuz, version


def initramfs(cache, tree, version, source):
    """busybox, the modules that reach the host's root, and the init script."""
    root = tempfile.mkdtemp(dir=cache)
    for folder in ('bin', 'modules', 'proc', 'sys', 'dev'):
        os.makedirs(os.path.join(root, folder))
    shutil.copy('/bin/busybox', os.path.join(root, 'bin'))
    for applet in ('sh', 'mount', 'umount', 'insmod', 'mkdir', 'rm', 'cp', 'ln', 'cat',
                   'echo', 'switch_root'):
        os.symlink('busybox', os.path.join(root, 'bin', applet))
    order = []
    for module in MODULES:
        shown = subprocess.run(['modprobe', '-d', tree, '-S', version, '--show-depends', module],
                               check=True, capture_output=True, text=True).stdout
        for line in shown.splitlines():
            if line.startswith('insmod ') and line.split()[1] not in order:
                order.append(line.split()[1])
    for path in order:
        shutil.copy(path, os.path.join(root, 'modules'))
    with open(os.path.join(root, 'modules', 'order'), 'w') as listed:
        listed.write(''.join(os.path.basename(path) + '\n' for path in order))
    with open(os.path.join(root, 'masked'), 'w') as listed:
        listed.write('\n'.join(MASKED) + '\n')
    with open(os.path.join(root, 'wendrel-vm-agent.service'), 'w') as unit:
        unit.write(AGENT_UNIT)
    with open(os.path.join(root, 'wendrel-vm-agent.sh'), 'w') as agent:
        agent.write(AGENT)
    shutil.copy(os.path.join(source, 'tests', 'vm_init.sh'), os.path.join(root, 'init'))
    os.chmod(os.path.join(root, 'init'), 0o755)
    image = os.path.join(cache, 'initrd.cpio')
    names = subprocess.run(['find', '.'], cwd=root, check=True, capture_output=True).stdout
    with open(image, 'wb') as out:
        subprocess.run(['cpio', '-o', '-H', 'newc', '--quiet'], cwd=root, input=names,
                       stdout=out, check=True)
    shutil.rmtree(root)
    return image


class Machine:
    def __init__(self, cache, tree, vmlinuz, initrd, work):
        self.work = work
        self.qmp_path = os.path.join(work, 'qmp.sock')
        self.console = open(os.path.join(cache, 'console.log'), 'w')
        # Niced: the real-time tests run beside it.
        self.qemu = subprocess.Popen([
            'nice', '-n', '10', 'qemu-system-x86_64', '-accel', 'tcg,thread=multi', '-cpu', 'max', '-smp', '2',
            '-m', '2048', '-nographic', '-nic', 'none', '-no-reboot',
            '-kernel', vmlinuz, '-initrd', initrd,
            '-append', 'console=ttyS0 panic=-1',
            '-virtfs', 'local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap',
            '-virtfs', f'local,path={tree}/lib/modules,mount_tag=modules,security_model=none,'
                       'readonly=on',
            '-virtfs', f'local,path={work},mount_tag=work,security_model=none',
            # The adapter is plugged once the machine runs: it boots with no
            # USB serial driver loaded, as a rig does that starts unplugged.
            '-device', 'qemu-xhci,id=xhci', '-chardev', 'pty,id=cam',
            '-qmp', f'unix:{self.qmp_path},server=on,wait=off',
        ], stdin=subprocess.DEVNULL, stdout=self.console, stderr=subprocess.STDOUT)
        self.commands = 0
        for _ in range(100):
            if os.path.exists(self.qmp_path):
                break
            time.sleep(0.1)
        self.qmp = socket.socket(socket.AF_UNIX)
        self.qmp.connect(self.qmp_path)
        self.qmp_file = self.qmp.makefile('rw')
        self.qmp_file.readline()
        self.ask('qmp_capabilities')
        chardevs = self.ask('query-chardev')
        pty = next(c['filename'] for c in chardevs if c['label'] == 'cam')[len('pty:'):]
        self.far_end = FarEnd(pty)

    def ask(self, command, **arguments):
        self.qmp_file.write(json.dumps({'execute': command, 'arguments': arguments}) + '\n')
        self.qmp_file.flush()
        while True:
            answer = json.loads(self.qmp_file.readline())
            if 'return' in answer:
                return answer['return']
            if 'error' in answer:
                fail(f'QMP {command}: {answer["error"]}')

    def run(self, script, timeout=60):
        """Runs a shell script in the machine; returns its status and output."""
        self.commands += 1
        base = os.path.join(self.work, 'cmd', f'{self.commands:03}')
        with open(base + '.tmp', 'w') as command:
            command.write(script)
        os.rename(base + '.tmp', base + '.sh')
        deadline = time.monotonic() + timeout
        while not os.path.exists(base + '.rc'):
            if time.monotonic() > deadline or self.qemu.poll() is not None:
                fail(f'no answer in {timeout} s from the machine to: {script}')
            time.sleep(0.1)
        with open(base + '.rc') as status, open(base + '.out') as output:
            return int(status.read()), output.read()

    def must(self, script, timeout=60):
        status, output = self.run(script, timeout)
        if status != 0:
            fail(f'{script}\nexited with {status}:\n{output}')
        return output

    def unplug(self):
        self.ask('device_del', id='adapter')

    def plug(self, serial):
        self.ask('device_add', driver='usb-serial', bus='xhci.0', chardev='cam', id='adapter',
                 serial=serial)

    def stop(self):
        self.qemu.kill()
        self.qemu.wait()


class FarEnd:
    """The camera's side of the adapter: the time of each carriage return."""

    def __init__(self, path):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
        tty.setraw(self.fd)
        termios.tcflush(self.fd, termios.TCIFLUSH)
        self.seen = []
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        while True:
            select.select([self.fd], [], [])
            try:
                data = os.read(self.fd, 64)
            except OSError:
                time.sleep(0.1)
                continue
            now = time.monotonic()
            self.seen += [now] * data.count(b'\r')

    def since(self, moment):
        return [t - moment for t in self.seen if t >= moment]

    def wait_first(self, moment, timeout):
        """The first carriage return since the moment, waited for up to the timeout from now."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.since(moment):
                return self.since(moment)[0]
            time.sleep(0.05)
        return None


def journal(machine, unit, *options):
    return machine.must(f'journalctl -q -o cat -u {unit} {" ".join(options)}')


def wait_in_journal(machine, unit, text, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if text in journal(machine, unit):
            return True
        time.sleep(0.5)
    return False


def packages(source, folder):
    """The release packages, as a user installs them."""
    niced = ['nice', '-n', '15']
    quiet = {'check': True, 'cwd': source, 'stdout': subprocess.DEVNULL}
    subprocess.run(niced + ['cmake', '--preset', 'release'], **quiet)
    subprocess.run(niced + ['cmake', '--build', '--preset', 'release'], **quiet)
    subprocess.run(['cpack', '-G', 'DEB', '--config',
                    os.path.join(source, 'build/release/CPackConfig.cmake')],
                   check=True, cwd=folder, stdout=subprocess.DEVNULL)
    shutil.rmtree(os.path.join(folder, '_CPack_Packages'), ignore_errors=True)


def main():
    source, cache = sys.argv[1], sys.argv[2]
    os.makedirs(cache, exist_ok=True)
    tree, vmlinuz, version = kernel(cache)
    initrd = initramfs(cache, tree, version, source)
    work = tempfile.mkdtemp(dir=cache)
    os.makedirs(os.path.join(work, 'cmd'))
    os.makedirs(os.path.join(work, 'debs'))
    packages(source, os.path.join(work, 'debs'))
    step(f'booting Debian\'s kernel {version} over the host\'s root')
    machine = Machine(cache, tree, vmlinuz, initrd, work)
    try:
        check(machine)
    finally:
        machine.stop()
        shutil.rmtree(work, ignore_errors=True)


def check(machine):
    state = machine.run('systemctl is-system-running --wait', timeout=240)[1].strip()
    step(f'systemd is up: {state}')
    failed = machine.run('systemctl --failed --no-legend --plain')[1].strip()
    if failed:
        print('  failed units:', ' '.join(line.split()[0] for line in failed.splitlines()))

    machine.must('dpkg -i /wendrel-vm/debs/*.deb >/dev/null 2>&1 || { dpkg -i /wendrel-vm/debs/*.deb; exit 1; }',
                 timeout=180)
    step('the packages are installed')

    # Started with no adapter and no USB serial driver: the unit's device
    # filter still lets the adapter in once it is plugged and its driver
    # loads, with no restart.
    if machine.run('grep -qw usbserial /proc/modules')[0] == 0:
        fail('the USB serial driver is loaded before the adapter is plugged')
    machine.must("""printf 'WENDREL_DEVICE=/dev/ttyUSB0\\nWENDREL_INTERVAL=1\\nWENDREL_OPTIONS=\\n' >/etc/wendrel-late.env
mkdir -p /etc/wendrel && mv /etc/wendrel-late.env /etc/wendrel/late.env
systemctl start wendreld@late""")
    time.sleep(2)
    plugged = time.monotonic()
    machine.plug('FTA00001')
    late = machine.far_end.wait_first(plugged, 3)
    step(f'the driver loaded after the unit started: first carriage return '
         f'{"none" if late is None else f"{late:.2f} s"} after the plug')
    if late is None:
        print(journal(machine, 'wendreld@late'))
        fail('the adapter whose driver loaded late was not pinged within 3 s')
    machine.must('systemctl stop wendreld@late')

    by_id = machine.must('udevadm settle; ls /dev/serial/by-id/').split()
    if len(by_id) != 1 or 'FTA00001' not in by_id[0]:
        fail(f'no by-id link for the adapter: {by_id}')
    link = '/dev/serial/by-id/' + by_id[0]
    # The watchdog at a few seconds, so that the test sees it bite.
    machine.must(f"""mkdir -p /etc/wendrel /etc/systemd/system/wendreld@.service.d
printf 'WENDREL_DEVICE={link}\\nWENDREL_INTERVAL=1\\nWENDREL_OPTIONS=--audible\\n' >/etc/wendrel/cam1.env
printf 'WENDREL_DEVICE=/dev/ttyUSB0\\nWENDREL_INTERVAL=1\\nWENDREL_OPTIONS=\\n' >/etc/wendrel/cam2.env
printf '[Service]\\nWatchdogSec=4s\\n' >/etc/systemd/system/wendreld@.service.d/watchdog.conf
systemctl daemon-reload""")

    # Ready, and pinging at the far end.
    began = time.monotonic()
    machine.must('systemctl start wendreld@cam1')
    step('wendreld@cam1 is ready: '
         + machine.must('systemctl show -P StatusText wendreld@cam1').strip())
    first = machine.far_end.wait_first(began, 10)
    if first is None:
        fail('no carriage return at the far end')
    time.sleep(3)
    crs = machine.far_end.since(began)
    step(f'carriage returns at the far end: {len(crs)} in {time.monotonic() - began:.1f} s')
    if len(crs) < 3:
        fail('fewer than one a second')

    # The lock is the system device's, readable by others; a second program
    # under the kernel's name is refused, and told who holds the adapter.
    locks = machine.must('ls -l /run/lock/ | grep LCK')
    step('the lock: ' + locks.strip())
    if not re.search(r'^-rw-r--r-- .* LCK\.\.ttyUSB0$', locks, re.M):
        fail('the lock is not LCK..ttyUSB0, mode 0644')
    second = machine.run('timeout 3 wendreld --port1 /dev/ttyUSB0 --interval 1')[1]
    step('a second program: ' + second.strip().splitlines()[0])
    if 'holds its lock' not in second:
        fail('a second program is not told who holds the adapter')

    # Unplugged and plugged again: waited for, pinged within two seconds.
    machine.unplug()
    if not wait_in_journal(machine, 'wendreld@cam1', 'Lost ', 15):
        fail('the loss was not logged')
    time.sleep(2)
    unplugged = time.monotonic()
    time.sleep(3)
    if machine.far_end.since(unplugged):
        fail('carriage returns while unplugged')
    plugged = time.monotonic()
    machine.plug('FTA00001')
    back = machine.far_end.wait_first(plugged, 15)
    if back is None:
        fail('no carriage return after the adapter came back')
    time.sleep(2)
    around = ', '.join(f'{t - plugged:+.2f}' for t in machine.far_end.seen if t >= unplugged - 4)
    step(f'replugged: first carriage return {back:.2f} s after device_add; '
         f'the CRs around it, in s from device_add: {around}')
    if back > 2.5:
        fail('the return was pinged late')
    warnings = journal(machine, 'wendreld@cam1', '-p', 'warning')
    print('  journalctl -u wendreld@cam1 -p warning:')
    print(''.join(f'    {line}\n' for line in warnings.splitlines()), end='')
    if 'Lost ' not in warnings or 'Pinging ' in warnings:
        fail('the warnings do not hold the loss, or hold the start')
    everything = journal(machine, 'wendreld@cam1')
    if everything.count('No sound can play here') != 1 or 'pulse' in everything:
        fail('no sound is not said exactly once:\n' + everything)
    if 'directories are not readable' in everything:
        fail('Qt warned of lock folders')

    # A stopped process is killed by the watchdog and started again.
    stopped = time.monotonic()
    machine.must('systemctl kill -s SIGSTOP --kill-who=main wendreld@cam1')
    restarted = False
    for _ in range(60):
        if machine.must('systemctl show -P NRestarts wendreld@cam1').strip() == '1':
            restarted = True
            break
        time.sleep(0.5)
    if not restarted or not wait_in_journal(machine, 'wendreld@cam1', 'Watchdog timeout', 5):
        fail('the watchdog did not restart a stopped process:\n'
             + journal(machine, 'wendreld@cam1'))
    again = machine.far_end.wait_first(time.monotonic(), 15)
    if again is None:
        fail('no carriage return after the restart')
    step(f'the watchdog restarted the stopped run {time.monotonic() - stopped:.1f} s after SIGSTOP; '
         + journal(machine, 'wendreld@cam1', '-g', 'watchdog', '--no-pager').strip().splitlines()[0])

    # An instance with no environment file fails once, and is not restarted.
    status, _ = machine.run('systemctl start wendreld@nothere')
    time.sleep(7)
    shown = machine.must('systemctl show -p ActiveState,Result,NRestarts wendreld@nothere').split()
    said = journal(machine, 'wendreld@nothere').strip()
    step(f'wendreld@nothere: start exited {status}; {" ".join(shown)}; the journal: {said}')
    if status == 0 or 'NRestarts=0' not in shown:
        fail('a missing environment file is not one failure')

    # The sandbox as systemd rates it on the machine.
    rated = machine.must('systemd-analyze security --no-pager wendreld@cam1.service')
    overall = re.search(r'Overall exposure level for \S+: ([\d.]+)', rated)
    print('  systemd-analyze security wendreld@cam1.service:')
    print(''.join(f'    {line}\n' for line in rated.splitlines()
                  if line.startswith('✗') or 'Overall' in line), end='')
    if not overall or float(overall.group(1)) > 1.0:
        fail('the sandbox is rated above 1.0')

    # With no lock folder it may write, the port is refused in the program's
    # own words, once, and Qt's warnings of eleven lines a try never come.
    machine.must("""systemctl stop wendreld@cam1
mkdir -p /etc/systemd/system/wendreld@cam2.service.d
printf '[Service]\\nPrivateTmp=no\\nReadOnlyPaths=/run/lock /tmp /var/tmp\\n' \\
    >/etc/systemd/system/wendreld@cam2.service.d/locked.conf
systemctl daemon-reload; systemctl start wendreld@cam2; sleep 4; systemctl stop wendreld@cam2""")
    refused = journal(machine, 'wendreld@cam2', '-p', 'warning')
    step('no lock folder: ' + refused.strip())
    if refused.count('no folder for its lock file') != 1 or len(refused.splitlines()) != 1:
        fail('a port with no lock folder is not said once in the program\'s words')

    # Another adapter under the same kernel name is greeted as another one.
    machine.must("""rm -r /etc/systemd/system/wendreld@cam2.service.d; systemctl daemon-reload
journalctl --rotate -q; journalctl --vacuum-time=1s -q; systemctl start wendreld@cam2""")
    time.sleep(2)
    machine.unplug()
    if not wait_in_journal(machine, 'wendreld@cam2', 'Lost ', 15):
        fail('cam2: the loss was not logged')
    plugged = time.monotonic()
    machine.plug('FTB00002')
    text = '/dev/ttyUSB0 is back, but it is another adapter (serial FTB00002)'
    if not wait_in_journal(machine, 'wendreld@cam2', text, 15):
        fail('another adapter was greeted as the old one:\n' + journal(machine, 'wendreld@cam2'))
    back = machine.far_end.wait_first(plugged, 5)
    step(f'another adapter: "{text}", pinged {back:.2f} s after device_add')
    step('all checks passed')


if __name__ == '__main__':
    main()
