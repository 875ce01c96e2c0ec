// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The tick count: milliseconds since the system started, as a Long that wraps;
// and the clock Qt's timers run on, which a pinging run lays its ticks on.
#pragma once

#include "engine/checked.h"

#include <QtGlobal>

class TickCount
{
public:
    virtual ~TickCount() = default;
    virtual Long GetTickCount() = 0;
    // Milliseconds on the clock Qt's timers count by: it stands still while the
    // machine is suspended, so a timer's ticks lie on a fixed grid of it.
    virtual qint64 timersClockMs() = 0;
};
