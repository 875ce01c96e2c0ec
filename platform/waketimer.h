// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// One wake for the next ping when nothing on screen ticks. It counts the time
// a machine spends suspended, so a ping that fell due meanwhile goes out at
// resume, not an interval later.
#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

class WakeTimer
{
public:
    virtual ~WakeTimer() = default;
    // Wakes once, after the milliseconds given; a new start replaces the last.
    virtual void start(qint64 milliseconds) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    using Handler = std::function<void()>;
    virtual void setHandler(Handler handler) = 0;
};

// On Linux a timerfd on the boot-time clock, which runs on in a suspend.
// Elsewhere Qt's precise timer, which stands still in one: it wakes at least
// every two seconds, and whoever it wakes looks at the tick count.
std::unique_ptr<WakeTimer> makeSystemWakeTimer();
