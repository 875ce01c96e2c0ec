# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
"""For the Python checks that drive the real program under a real X server
(xvfb-run): xdotool for the mouse, and a look at the window's pixels."""
import re
import subprocess


def xdotool(*args):
    return subprocess.run(['xdotool', *args], capture_output=True, text=True,
                          timeout=60).stdout.strip()


def painted(window):
    """True once the window's top row shows the gradient's magenta: it is
    mapped, painted and ready for the mouse."""
    pixel = subprocess.run(['import', '-window', window, '-crop', '1x1+200+1', '-depth', '8',
                            'txt:-'], capture_output=True, text=True, timeout=60).stdout
    match = re.search(r'#([0-9A-Fa-f]{6})', pixel.splitlines()[-1] if pixel else '')
    if not match:
        return False
    red, green, blue = (int(match.group(1)[i:i + 2], 16) for i in (0, 2, 4))
    return red > 200 and green < 40 and blue > 150


def click(window, position):
    """A left click at a point of the window, in pixels at 96 dpi."""
    xdotool('mousemove', '--window', window, str(position[0]), str(position[1]), 'click', '1')
