// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The beep on Windows: the sound the user's sound scheme gives the default
// beep. MessageBeep only queues it and returns, so nothing waits for the
// sound device here; where no sound can be queued, the fallback runs.
#include "system/soundbeep.h"

#include "engine/logging.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <utility>

#include <windows.h>

struct SoundBeep::Worker
{
};

SoundBeep::SoundBeep(std::function<void()> fallback) : m_fallback(std::move(fallback)) { }

SoundBeep::~SoundBeep() = default;

void SoundBeep::beep()
{
    if (::MessageBeep(MB_OK))
        return;
    const DWORD error = ::GetLastError();
    if (m_fallback)
        QMetaObject::invokeMethod(qApp, m_fallback, Qt::QueuedConnection);
    else if (!std::exchange(m_told, true))
        qCWarning(lcWendrel, "No sound can play here (%s): the pings go on without a beep",
                  qPrintable(qt_error_string(int(error))));
}

bool SoundBeep::isBusy() const
{
    return false;
}
