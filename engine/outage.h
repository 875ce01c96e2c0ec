// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// What the user hears of one outage of the device. An outage runs from a loss
// (or from an unattended start that finds no device) until a byte leaves
// again, however often the device opens and fails meanwhile: it is told once,
// and its end once if its start was. A loose plug comes and goes all night,
// and nobody sits at a rig at boot: within a minute of a return, or of an
// unattended start, an outage is told only once it has lasted a minute.
#pragma once

#include "engine/checked.h"

#include <optional>

class Outage
{
public:
    enum class Kind {
        StartWait, // an unattended start waits for its device
        Loss,      // the device failed during the run
    };

    static constexpr Long QuietMs = 60000;

    // Begins an outage at the tick. True when it is to be told now.
    bool begin(Kind kind, Long now);
    // The device is still away at the tick. True once, when an outage begun
    // in a quiet spell has lasted long enough to be told after all.
    bool dueToTell(Long now);
    // A byte has left: the outage is over. True when it was told, so that
    // its end is told too.
    bool end(Long now);

    bool isOn() const { return m_since.has_value(); }
    Kind kind() const { return m_kind; }
    // Within a minute of the last return or of an unattended start.
    bool isQuiet(Long now);
    // The run reads the clock at least once a day. A quiet spell seen over is
    // forgotten: the tick count comes back to the same value 49.7 days later,
    // and the spell must not come back with it.
    void timePasses(Long now);

    // A new run remembers nothing of the last.
    void reset() { *this = Outage(); }

private:
    std::optional<Long> m_since;
    std::optional<Long> m_quietFrom;
    Kind m_kind = Kind::Loss;
    bool m_told = false;
};

// A change of an outage's reason is a line in the log, one a minute at the
// most: a cable that flaps all night writes a line a minute, not one a
// second. The first change is said at once.
class OncePerMinute
{
public:
    // True when a line may be said at the tick; it is then counted as said.
    bool mayTell(Long now);

private:
    std::optional<Long> m_toldAt;
};
