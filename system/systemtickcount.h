// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The tick count and the timers' clock as the system keeps them.
#pragma once

#include "engine/tickcount.h"

// Counts time spent in suspend too, so a camera's interval is not stretched by
// a sleeping laptop.
class SystemTickCount : public TickCount
{
public:
    Long GetTickCount() override;
    qint64 timersClockMs() override;
};
