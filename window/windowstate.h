// The window state record: everything the handlers remember between events.
// Every number starts at 0 and every string empty; the port number is held by
// the serial component, not here.
#pragma once

#include "platform/checked.h"

#include <QString>

struct WindowState
{
    Integer Running = 0;     // 1 while a pinging run is active
    Long PingIntervalMs = 0; // MinutesMs + HoursMs + SecondsCs * 10, formed at each press
    Long MinutesMs = 0;
    Long HoursMs = 0;
    Long SecondsCs = 0; // hundredths of a second
    Long NowTick = 0;
    Long LastPingTick = 0; // when pinging started or last pinged
    Long RemainingMs = 0;
    Long ElapsedMs = 0;
    QString HoursText;
    QString MinutesText;
    QString SecondsText;
    Integer LampIndex = 0; // the lamp the chaser lit last, 0 to 11
};
