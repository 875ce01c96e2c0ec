// The outside things the window talks to, handed in by main (the real ones) or
// by a test (fakes that record).
#pragma once

class SerialComm;
class TickCount;
class MessageBox;
class Beep;
class NotifyIcon;
class Lifetime;

struct Platform
{
    SerialComm &serial;
    TickCount &ticks;
    MessageBox &messageBox;
    Beep &beep;
    NotifyIcon &tray;
    Lifetime &lifetime;
};
