// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The outside things the window talks to, handed in by main (the real ones) or
// by a test (fakes that record). The run itself goes through the pinger.
#pragma once

class SerialComm;
class MessageBox;
class Beep;
class NotifyIcon;
class Lifetime;

struct Platform
{
    SerialComm &serial; // the devices behind the ports, chosen from a menu
    MessageBox &messageBox;
    Beep &beep;
    NotifyIcon &tray;
    Lifetime &lifetime;
};
