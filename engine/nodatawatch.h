// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// A device that takes nothing for a while (its output held back by flow
// control, a camera switched off behind an adapter) is not lost: one carriage
// return waits for it. Once that has waited three intervals, or ten seconds
// if that is longer, the run says so once, and once more when the device
// takes data again.
#pragma once

#include "engine/checked.h"

#include <optional>

class NoDataWatch
{
public:
    static constexpr Long AfterMs = 10000;

    struct News
    {
        bool say = false;  // for the log and the status
        bool tell = false; // for the user
    };

    void setInterval(Long intervalMs) { m_intervalMs = intervalMs; }
    Long thresholdMs() const;

    // A carriage return waits for the device since the tick; a wait already
    // on keeps its start.
    void waitingSince(Long now);
    // Looked at on each ping. The user is told only where mayTell allows it,
    // and then once; a wait told nothing yet may be told at a later ping.
    News check(Long now, bool mayTell);
    // What waited has left: what was said and told is over.
    News drained();
    bool isSaid() const { return m_said; }

    // Nothing waits any more; the interval stays.
    void reset();

private:
    Long m_intervalMs = 0;
    std::optional<Long> m_since;
    bool m_said = false;
    bool m_told = false;
};
