// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// How the time left until the next ping is shown: hours, minutes and seconds,
// each in at least two digits, computed in double precision as the countdown
// always has been (so a negative remainder shows as 01 59 59, not as -00 00 00).
#pragma once

#include "engine/checked.h"

#include <QString>
#include <QStringList>

struct CountdownTexts
{
    QString hours;
    QString minutes;
    QString seconds;
};

CountdownTexts splitRemaining(Long remainingMs);

// Milliseconds from one tick count to a later one. The count wraps every 49.71
// days and changes sign after 24.86, so the difference is taken modulo 2^32;
// a gap too long for a Long (a machine suspended for weeks) counts as the
// longest one, which is certainly past any interval.
Long elapsedTicks(Long fromTick, Long toTick);

// An interval as people say it: "45 s", "5 min", "1 h 30 min", "1 min 30 s".
QString describeInterval(Long intervalMs);
