// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The pacer stands between the window's two timers and their handlers, so that
// a window nobody can see does not wake the machine twelve times a second.
//
// Whether the timers run is the pinger's to say: they tick while its countdown
// runs. On screen, Timer1 (countdown, 250 ms) and Timer2 (chaser, 100 ms) tick as
// designed. Off screen (hidden to the tray, or minimised) both stop, and the
// pinger wakes the countdown once per ping, at the tick on which Timer1 would
// have pinged. When the window shows again, the boxes show what a tick would
// show at that moment, the lamp is the one the chaser would have reached, and
// both timers go on, on the grid they would have kept.
#pragma once

#include <QTimer>

#include <functional>

class Pinger;

class Pacer
{
public:
    struct Handlers
    {
        std::function<void()> countdownTick;    // Timer1_Timer
        std::function<void()> countdownDisplay; // a countdown tick's display, without its ping
        std::function<void()> chaserTick;       // Timer2_Timer
    };

    static constexpr int CountdownMs = 250;
    static constexpr int ChaserMs = 100;

    Pacer(QTimer *countdown, QTimer *chaser, Pinger &run, Handlers handlers);

    // "Enable Timer1, then Timer2" and "disable Timer1, then Timer2".
    void enableTimers();
    void disableTimers();

    // Told on every show, hide, minimise and restore of the window.
    void setOnScreen(bool onScreen);

    // What Timer1's and Timer2's timeouts call.
    void countdownTimerTicked();
    void chaserTimerTicked();

private:
    void comeOnScreen();
    void catchUpChaser();

    QTimer *m_countdown;
    QTimer *m_chaser;
    QTimer m_countdownAlign; // the first ticks after a show, on the grid
    QTimer m_chaserAlign;
    Pinger &m_run;
    Handlers m_handlers;

    bool m_onScreen = true;
    qint64 m_chaserTicks = 0; // chaser ticks delivered since the start
};
