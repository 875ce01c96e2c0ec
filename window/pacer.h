// The pacer stands between the window's two timers and their handlers, so that
// a window nobody can see does not wake the machine twelve times a second.
//
// On screen, Timer1 (countdown, 250 ms) and Timer2 (chaser, 100 ms) tick as
// designed. Off screen (hidden to the tray, or minimised) both stop, and one
// single-shot timer wakes the countdown only at the Timer1 tick at which the
// next ping falls due, or two seconds on at the latest, so that a jump of the
// tick count (a suspend) is seen as soon as before. Every countdown tick it
// delivers lies on Timer1's grid, so each carriage return leaves when it would
// have with continuous ticking. When the window shows again, the boxes show
// what a tick would show at that moment, the lamp is the one the chaser would
// have reached, and both timers go on, on the same grid.
#pragma once

#include "platform/checked.h"

#include <QTimer>

#include <functional>
#include <optional>

struct WindowState;

class Pacer
{
public:
    struct Handlers
    {
        std::function<void()> countdownTick;    // Timer1_Timer
        std::function<void()> countdownDisplay; // a countdown tick's display, without its ping
        std::function<void()> chaserTick;       // Timer2_Timer
    };

    static constexpr qint64 CountdownMs = 250;
    static constexpr qint64 ChaserMs = 100;
    static constexpr qint64 LongestSleepMs = 2000;

    Pacer(QTimer *countdown, QTimer *chaser, const WindowState &state, Handlers handlers);

    // "Enable Timer1, then Timer2" and "disable Timer1, then Timer2".
    void start();
    void stop();
    bool isRunning() const { return m_running; }

    // Told on every show, hide, minimise and restore of the window.
    void setOnScreen(bool onScreen);

    // What the timers' timeouts call: Timer1's and Timer2's on screen, the
    // wake's off screen.
    void countdownDue();
    void chaserDue();
    void wake();

    // The tick count at which the next off-screen wake is planned.
    std::optional<Long> wakeAt() const;

private:
    qint64 position(Long tick) const;
    void takeOrigin();
    void observeCountdown(qint64 planned);
    void planWake();
    void comeOnScreen();
    void catchUpChaser(qint64 now);

    QTimer *m_countdown;
    QTimer *m_chaser;
    QTimer m_wake;
    QTimer m_countdownAlign; // the first countdown tick after a show, on the grid
    QTimer m_chaserAlign;
    const WindowState &m_state;
    Handlers m_handlers;

    bool m_running = false;
    bool m_onScreen = true;
    // Both grids start at the origin, the tick count when the timers started;
    // positions are milliseconds after it. The origin moves on in steps of
    // 500 ms, where both grids meet, so positions stay small on long runs.
    bool m_originKnown = false;
    Long m_origin = 0;
    qint64 m_lastCountdown = 0; // position of the last countdown tick
    qint64 m_plannedWake = 0;   // position of the next off-screen wake
    qint64 m_chaserTicks = 0;   // chaser ticks delivered since the start
    qint64 m_chaserTicksAtOrigin = 0;
};
