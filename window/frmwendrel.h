// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// frmWendrel, the program's one window: its controls, its state record and all
// fourteen event handlers. Qt events reach the handlers through dispatch(), which
// turns a run-time error nobody caught into the standard error box and the end.
//
//   frmWendrel ── Controls (buttons, text boxes, ReversedScrollBar, lamps, timers)
//              ├─ WindowState (the record the handlers share)
//              ├─ Pinger (the run: the port, the carriage returns, a lost device)
//              ├─ Pacer (the two timers, asleep while the window is off screen)
//              └─ Platform (MessageBox, Beep, NotifyIcon, Lifetime, the devices)
#pragma once

#include "window/canvas.h"
#include "window/controls.h"
#include "window/pacer.h"
#include "window/seams.h"
#include "window/windowstate.h"

#include "engine/checked.h"
#include "engine/runtimeerror.h"

#include <QString>
#include <QWidget>

#include <memory>

class Pinger;
struct Countdown;
struct StartOptions;

class frmWendrel : public QWidget
{
public:
    frmWendrel(const Platform &platform, Pinger &run);
    ~frmWendrel() override;

    const Controls &controls() const { return m_controls; }
    const WindowState &state() const { return m_state; }
    WindowState &state() { return m_state; }
    Pinger &run() { return m_run; }
    Pacer &pacer() { return *m_pacer; }
    // True once the program has ended (Exit, a close, or a fatal error):
    // no handler runs any more.
    bool hasEnded() const { return m_ended; }

    static inline const QString Caption = QStringLiteral("Wendrel");

    // The window's twips per screen pixel.
    float TwipsPerPixelX() const;
    float TwipsPerPixelY() const;

    // chkSound's value: 0 unchecked, 1 checked, 2 grayed.
    Integer chkSoundValue() const;

    // The event handlers.
    void Form_Load();
    void Form_Resize();
    void Form_MouseMove(Integer button, Integer shift, float x, float y);
    void Form_QueryUnload(Integer &cancel, Integer unloadMode);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void VScroll1_Change();
    void VScroll2_Change();
    void VScroll3_Change();
    void Timer1_Timer();
    void Timer2_Timer();

    // Runs a handler as the event loop would: skipped once the program has
    // ended, and an error it does not catch ends the program.
    template<typename Handler>
    void dispatch(Handler &&handler);

    // What the command line asks for at start (an interval, a port, Audible,
    // Start, Hide): the pinger is set up and started, and the window shows it
    // as a user's settings and presses would have left it.
    void applyStartOptions(const StartOptions &options);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    // The gradient where it lies, the dark background elsewhere.
    void paintBackground(QPainter &painter, const QRect &part) const;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void connectHandlers();
    void connectRun();
    void centreOnScreen();
    void paintBackground();
    QRect screenPart() const;

    void startPinging();
    void stopPinging();
    void showRunning();
    void reportPortError(const RuntimeError &error);
    void showCountdown(const Countdown &count);
    void showWaiting(const QString &device);
    void showResumed();
    void tellTrouble(const QString &message);
    void tellTroubleOver(const QString &message);
    void onUndelivered(const QString &title, const QString &text);
    void onScreenChanged();
    void lockSettings(bool locked);
    void setStartAtLogin(bool on);
    void showSelectedPort(Integer port);
    void describeTimeBoxes(bool countingDown);
    bool isOnScreen() const;
    QLabel *rowLamp(Integer index) const;
    void light(QLabel *lamp);
    void darken(QLabel *lamp);
    void callShell(std::int32_t message);
    void onTrayMouse(std::int32_t mouseMessage);
    void choosePortDevice(Integer port, const QPoint &where);
    void endNow(int status);
    void raiseFatal(const RuntimeError &error);

    Controls m_controls;
    WindowState m_state;
    const Platform m_platform;
    Pinger &m_run;
    std::unique_ptr<Pacer> m_pacer;
    Canvas m_canvas;          // the last gradient painted
    QSize m_paintedOuterSize; // the outer size the background was painted for
    bool m_centredInFrame = false;
    bool m_ended = false;
    QString m_untold; // trouble no notification could tell, for the next time on screen
};

template<typename Handler>
void frmWendrel::dispatch(Handler &&handler)
{
    if (m_ended)
        return;
    const LampRow::Batch lamps(*m_controls.lampRow); // painted together as it returns
    try {
        handler();
    } catch (const RuntimeError &error) {
        raiseFatal(error);
    }
}
