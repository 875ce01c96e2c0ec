#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
"""What a screen reader is told. The real program on an accessibility bus, its
tree read through AT-SPI as Orca reads it: every control that takes the focus
has a name, no image goes unnamed, the check box is "Audible", the selected
port is the checked one of two radio buttons, and while pinging runs the
chaser's lamps raise no events.

Needs Xvfb, a session bus (run under dbus-run-session), at-spi2-core and
Debian's python3-pyatspi (run with /usr/bin/python3). The X server is its own,
on a display number the server chooses (-displayfd): tests that start
xvfb-run -a side by side can pick the same number. It never resets: the bus
launcher sets a root property and leaves, and a server that resets then turns
the program away ("could not connect to display").
"""
import os
import pty
import subprocess
import sys
import time
import tty

LAUNCHER = '/usr/libexec/at-spi-bus-launcher'

try:
    import pyatspi
    from gi.repository import Gio, GLib
except ImportError:
    print('pyatspi is missing: apt-get install python3-pyatspi (and run it with /usr/bin/python3)')
    sys.exit(1)


def wait_for_bus(seconds=10):
    """True once the accessibility bus answers: Qt looks for it only at start."""
    session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            session.call_sync('org.a11y.Bus', '/org/a11y/bus', 'org.a11y.Bus', 'GetAddress',
                              None, None, Gio.DBusCallFlags.NONE, 1000, None)
            return True
        except GLib.Error:
            time.sleep(0.1)
    return False


def find_application(name, seconds=20):
    deadline = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < deadline:
        # libatspi learns of new applications from signals, which only a
        # turning main loop takes in.
        while context.pending():
            context.iteration(False)
        for application in pyatspi.Registry.getDesktop(0):
            if application is not None and application.name == name and application.childCount:
                return application
        time.sleep(0.1)
    return None


def nodes(node):
    yield node
    for child in node:
        if child is not None:
            yield from nodes(child)


def describe(node):
    states = node.getState()
    marks = [word for state, word in ((pyatspi.STATE_FOCUSABLE, 'focusable'),
                                      (pyatspi.STATE_CHECKED, 'checked'))
             if states.contains(state)]
    return f'{node.getRoleName()} "{node.name}"' + (f' [{", ".join(marks)}]' if marks else '')


def press(node):
    actions = node.queryAction()
    for index in range(actions.nActions):
        if actions.getName(index) in ('press', 'Press', 'click'):
            actions.doAction(index)
            return True
    return False


def events_while(seconds, application):
    """The object events the program raises during the given time."""
    seen = []

    def heard(event):
        try:
            if event.host_application == application or event.source.getApplication() == application:
                seen.append((event.type, event.source.getRoleName(), event.source.name))
        except Exception:  # the source may be gone already
            pass

    pyatspi.Registry.registerEventListener(heard, 'object')
    GLib.timeout_add(int(seconds * 1000), lambda: pyatspi.Registry.stop() or False)
    pyatspi.Registry.start()
    pyatspi.Registry.deregisterEventListener(heard, 'object')
    return seen


def start_x_server():
    """An Xvfb of our own and its display, once it takes clients."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(['Xvfb', '-displayfd', str(write_end), '-screen', '0',
                               '1024x768x24', '-nolisten', 'tcp', '-noreset'],
                              pass_fds=(write_end,), stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b''
    while not number.endswith(b'\n'):
        chunk = os.read(read_end, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_end)
    return server, ':' + number.decode().strip() if number.strip() else None


def main():
    if not os.path.exists(LAUNCHER):
        print('the accessibility bus is missing: apt-get install at-spi2-core')
        return 1
    binary = sys.argv[1]
    master, slave = pty.openpty()
    tty.setraw(slave)
    x_server, display = start_x_server()
    if display is None:
        print('Xvfb did not start')
        return 1
    os.environ['DISPLAY'] = display
    launcher = subprocess.Popen([LAUNCHER, '--launch-immediately'])
    if not wait_for_bus():
        print('the accessibility bus did not start')
        launcher.terminate()
        x_server.terminate()
        return 1
    environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON='1', QT_QPA_PLATFORM='xcb')
    program = subprocess.Popen([binary, '--port1', os.ttyname(slave), '--port2',
                                os.ttyname(slave)], env=environment)
    problems = []
    try:
        application = find_application('Wendrel')
        if application is None and program.poll() is not None:
            print(f'the program ended at start with status {program.returncode}')
            return 1
        if application is None:
            names = [app.name if app is not None else None
                     for app in pyatspi.Registry.getDesktop(0)]
            print(f'the program never appeared on the accessibility bus (there: {names})')
            return 1
        tree = list(nodes(application))
        print('The tree as a screen reader sees it:')
        for node in tree:
            depth = 0
            parent = node.parent
            while parent is not None and parent != application.parent:
                depth += 1
                parent = parent.parent
            print('  ' * depth + describe(node))

        for node in tree:
            if node.getState().contains(pyatspi.STATE_FOCUSABLE) and not node.name.strip():
                problems.append(f'focusable without a name: {describe(node)}')
            if node.getRole() in (pyatspi.ROLE_IMAGE, pyatspi.ROLE_ICON) and not node.name:
                problems.append(f'unnamed image: {describe(node)}')
            # A decoration with nothing to say is not in the tree at all.
            if (node.getRole() in (pyatspi.ROLE_PANEL, pyatspi.ROLE_FILLER, pyatspi.ROLE_UNKNOWN)
                    and not node.name.strip() and node.childCount == 0):
                problems.append(f'an unnamed node with nothing in it: {describe(node)}')
        boxes = [node for node in tree if node.getRole() == pyatspi.ROLE_CHECK_BOX]
        if [box.name for box in boxes] != ['Audible']:
            problems.append(f'check boxes {[box.name for box in boxes]}, not ["Audible"]')
        ports = [node for node in tree if node.getRole() == pyatspi.ROLE_RADIO_BUTTON]
        checked = [node.name for node in ports if node.getState().contains(pyatspi.STATE_CHECKED)]
        if len(ports) != 2 or checked != ['Com Port 1']:
            problems.append(f'port buttons {[describe(node) for node in ports]}')
        elif press(ports[1]):
            time.sleep(0.5)
            checked = [node.name for node in ports
                       if node.getState().contains(pyatspi.STATE_CHECKED)]
            if checked != ['Com Port 2']:
                problems.append(f'after pressing port 2 the checked one is {checked}')
        else:
            problems.append('the port button offers no press action')

        # Pinging at one second: the seconds bar up once, then Start.
        seconds_bar = [node for node in tree
                       if node.getRole() == pyatspi.ROLE_SCROLL_BAR and node.name == 'Seconds']
        start = [node for node in tree
                 if node.getRole() == pyatspi.ROLE_PUSH_BUTTON and node.name == 'Start']
        bars = {node.name: node.queryValue().currentValue for node in tree
                if node.getRole() == pyatspi.ROLE_SCROLL_BAR}
        if bars != {'Hours': 0, 'Minutes': 0, 'Seconds': 0}:
            problems.append(f'the scroll bars read {bars} while their boxes show 00')
        if not seconds_bar or not start:
            problems.append('no "Seconds" scroll bar or no "Start" button')
        else:
            seconds_bar[0].queryValue().currentValue = 1
            press(start[0])
            events = events_while(2.5, application)
            pinged = os.read(master, 64).count(b'\r') if select_ready(master) else 0
            chaser = [event for event in events if event[1] in ('image', 'animation', 'icon')]
            print(f'While pinging: {pinged} carriage returns, {len(events)} events, '
                  f'{len(chaser)} of them from the lamps')
            if pinged < 2:
                problems.append('the program did not ping every second')
            if chaser:
                problems.append(f'the lamps raised events: {chaser[:5]}')
    finally:
        program.terminate()
        program.wait(timeout=10)
        launcher.terminate()
        launcher.wait(timeout=10)
        x_server.terminate()
        x_server.wait(timeout=10)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


def select_ready(fd):
    import select
    return bool(select.select([fd], [], [], 0)[0])


if __name__ == '__main__':
    sys.exit(main())
