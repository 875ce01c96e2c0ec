// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "window/pacer.h"

#include "engine/pinger.h"

Pacer::Pacer(QTimer *countdown, QTimer *chaser, Pinger &run, Handlers handlers)
    : m_countdown(countdown), m_chaser(chaser), m_run(run), m_handlers(std::move(handlers))
{
    for (QTimer *timer : { &m_countdownAlign, &m_chaserAlign }) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    QObject::connect(&m_countdownAlign, &QTimer::timeout, &m_countdownAlign,
                     [this] { countdownTimerTicked(); });
    QObject::connect(&m_chaserAlign, &QTimer::timeout, &m_chaserAlign,
                     [this] { chaserTimerTicked(); });
    m_run.setWatched(m_onScreen);
}

void Pacer::enableTimers()
{
    m_chaserTicks = 0;
    if (m_onScreen) {
        m_countdown->start();
        m_chaser->start();
    }
}

void Pacer::disableTimers()
{
    m_countdown->stop();
    m_chaser->stop();
    m_countdownAlign.stop();
    m_chaserAlign.stop();
}

void Pacer::setOnScreen(bool onScreen)
{
    if (onScreen == m_onScreen)
        return;
    m_onScreen = onScreen;
    if (!m_run.isCounting()) {
        m_run.setWatched(onScreen);
        return;
    }
    if (onScreen) {
        comeOnScreen();
        return;
    }
    m_countdown->stop();
    m_chaser->stop();
    m_countdownAlign.stop();
    m_chaserAlign.stop();
    m_run.setWatched(false);
}

void Pacer::countdownTimerTicked()
{
    if (!m_run.isCounting() || !m_onScreen)
        return;
    if (!m_countdown->isActive())
        m_countdown->start(); // from the grid point at which the aligning shot fired
    m_handlers.countdownTick();
}

void Pacer::chaserTimerTicked()
{
    if (!m_run.isCounting() || !m_onScreen)
        return;
    if (!m_chaser->isActive())
        m_chaser->start();
    ++m_chaserTicks;
    m_handlers.chaserTick();
}

void Pacer::comeOnScreen()
{
    const bool overdue = m_run.wakeOverdue();
    m_run.setWatched(true);
    m_handlers.countdownDisplay();
    if (overdue) {
        // The wake is overdue (the machine slept, or was busy): that tick first.
        m_handlers.countdownTick();
        if (!m_run.isCounting())
            return;
    }
    catchUpChaser();
    const qint64 now = m_run.countClockMs();
    m_countdownAlign.start(int(CountdownMs - now % CountdownMs));
    m_chaserAlign.start(int(ChaserMs - now % ChaserMs));
}

// The chaser goes round in twelve ticks and only the first tick of a run is
// different (it starts with every lamp dark), so at most twelve are replayed.
void Pacer::catchUpChaser()
{
    const qint64 target = m_run.countClockMs() / ChaserMs;
    const qint64 missed = target - m_chaserTicks;
    if (missed <= 0)
        return;
    const qint64 replay = m_chaserTicks == 0 ? 1 + (missed - 1) % 12 : missed % 12;
    for (qint64 i = 0; i < replay; ++i)
        m_handlers.chaserTick();
    m_chaserTicks = target;
}
