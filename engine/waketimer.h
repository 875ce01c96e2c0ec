// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// One wake for the next ping when nothing on screen ticks. It counts the time
// a machine spends suspended, so a ping that fell due meanwhile goes out at
// resume, not an interval later.
#pragma once

#include <QtGlobal>

#include <functional>

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
