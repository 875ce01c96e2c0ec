// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The window state record: what the handlers remember between events. Every
// number starts at 0; the port number is held by the serial component, and
// what a countdown tick works out (the tick counts, the time left and its
// texts) by the pinger, whose run it is.
#pragma once

#include "engine/checked.h"

struct WindowState
{
    Integer Running = 0;     // 1 while a pinging run is active
    Long PingIntervalMs = 0; // MinutesMs + HoursMs + SecondsCs * 10, formed at each press
    Long MinutesMs = 0;
    Long HoursMs = 0;
    Long SecondsCs = 0;    // hundredths of a second
    Integer LampIndex = 0; // the lamp the chaser lit last, 0 to 11
};
