// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The fourteen event handlers of frmWendrel, each in the order of its steps,
// the start and stop sequences of a pinging run, and what the window shows of
// the run's own news: a lost device, its return.

#include "window/frmwendrel.h"

#include "window/accessibility.h"
#include "window/reversedscrollbar.h"

#include "commandline/commandline.h"
#include "desktop/messagebox.h"
#include "desktop/notifyicon.h"
#include "engine/beep.h"
#include "engine/lifetime.h"
#include "engine/logging.h"
#include "engine/pinger.h"
#include "engine/serialcomm.h"
#include "engine/serialmessages.h"
#include "grad/grad.h"
#include "window/twips.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using Checked::format00;

static const QString ComPortError = QStringLiteral("Com Port Error");

// Four countdown ticks a second mostly write what the box already shows; a box
// that shows the text (whatever put it there) is left alone and not repainted.
static void showText(QLineEdit *box, const QString &text)
{
    if (box->text() != text)
        box->setText(text);
}

// The gradient is painted from an empty list of bands, so a repaint always
// shows what the last resize painted.
void frmWendrel::Form_Resize()
{
    m_canvas.reset(frameGeometry().size(), TwipsPerPixelX(), TwipsPerPixelY());
    Long red = 242;
    Long green = 0;
    Long blue = 192;
    Integer direction = Grad::True;
    Grad::PaintGradient(m_canvas, red, green, blue, direction);
    m_controls.lampRow->backgroundChanged();
    update();
}

void frmWendrel::Form_Load()
{
    Controls &c = m_controls;
    m_state.Running = 0;
    m_state.PingIntervalMs = 0;
    m_run.selectPort(1);
    c.Text1->setText(format00(c.VScroll1->setting()));
    c.Text2->setText(format00(c.VScroll2->setting()));
    c.Text3->setText(format00(c.VScroll3->setting()));
    Grad::fillTrayIconData(Grad::TrayIconData, std::int32_t(winId()),
                           std::int32_t(windowIcon().cacheKey()));
    showSelectedPort(1);
    describeTimeBoxes(false);
    for (m_state.LampIndex = 0; m_state.LampIndex <= 11;
         m_state.LampIndex = Checked::addInteger(m_state.LampIndex, 1))
        darken(rowLamp(m_state.LampIndex));
    m_state.LampIndex = 0;
}

// The port is closed if it is open, and the program ends at once.
void frmWendrel::Command1_Click()
{
    m_run.stop();
    endNow(0);
}

void frmWendrel::VScroll1_Change()
{
    const ReversedScrollBar *hours = m_controls.VScroll1;
    m_controls.Text1->setText(format00(hours->setting()));
    m_state.HoursMs = Checked::mulLong(Long(hours->setting()), 3600000);
}

void frmWendrel::VScroll2_Change()
{
    const ReversedScrollBar *minutes = m_controls.VScroll2;
    m_controls.Text2->setText(format00(minutes->setting()));
    m_state.MinutesMs = Checked::mulLong(Long(minutes->setting()), 60000);
}

void frmWendrel::VScroll3_Change()
{
    // The seconds product is formed in 16 bits, so 328 overflows although the
    // widened result would fit.
    const ReversedScrollBar *seconds = m_controls.VScroll3;
    m_controls.Text3->setText(format00(seconds->setting()));
    m_state.SecondsCs = Long(Checked::mulInteger(Integer(seconds->setting()), 100));
}

void frmWendrel::Command2_Click()
{
    const Long hoursAndMinutes = Checked::addLong(m_state.MinutesMs, m_state.HoursMs);
    const Long seconds = Checked::mulLong(m_state.SecondsCs, 10);
    m_state.PingIntervalMs = Checked::addLong(hoursAndMinutes, seconds);
    if (m_state.PingIntervalMs == 0) {
        m_platform.messageBox.show(QStringLiteral("Please Set Time."),
                                   QStringLiteral("Config Error"));
        return;
    }
    const bool starting = m_state.Running == 0;
    try {
        if (starting)
            startPinging();
        else
            stopPinging();
    } catch (const RuntimeError &error) {
        reportPortError(error);
    }
}

// The pinger opens the port, sends the first carriage return and begins the
// count, or does nothing at all and throws; the window then shows the run.
void frmWendrel::startPinging()
{
    m_run.start(m_state.PingIntervalMs);
    showRunning();
}

void frmWendrel::stopPinging()
{
    Controls &c = m_controls;
    m_platform.messageBox.closeNotice();
    m_untold.clear();
    m_run.stop(); // the port closed, a wait for the device given up
    m_state.Running = m_run.isRunning() ? 1 : 0;
    setWindowTitle(Caption);
    c.Command2->setText(QStringLiteral("&Start"));
    lockSettings(false);
    m_pacer->disableTimers();
    darken(rowLamp(m_state.LampIndex));
    m_state.LampIndex = 0;
    // Each assignment raises the bar's change handler when it moves the bar.
    m_state.HoursMs = 0;
    c.VScroll1->setSetting(0);
    c.Text1->setText(format00(c.VScroll1->setting()));
    m_state.MinutesMs = 0;
    c.VScroll2->setSetting(0);
    c.Text2->setText(format00(c.VScroll2->setting()));
    m_state.SecondsCs = 0;
    c.VScroll3->setSetting(0);
    c.Text3->setText(format00(c.VScroll3->setting()));
    describeTimeBoxes(false);
}

// The port buttons, then the three bars, locked for a run or free again.
void frmWendrel::lockSettings(bool locked)
{
    const Controls &c = m_controls;
    for (QWidget *setting :
         { static_cast<QWidget *>(c.Command3), static_cast<QWidget *>(c.Command4),
           static_cast<QWidget *>(c.VScroll1), static_cast<QWidget *>(c.VScroll2),
           static_cast<QWidget *>(c.VScroll3) })
        setting->setEnabled(!locked);
}

// Nobody is there at boot to answer a box: the pinger waits for a device that
// is missing, busy or not yet permitted, and the window shows a run either way.
void frmWendrel::applyStartOptions(const StartOptions &options)
{
    dispatch([this, &options] {
        const Controls &c = m_controls;
        // Each assignment raises the bar's change handler, as a move by the user does.
        c.VScroll1->setSetting(options.hours);
        c.VScroll2->setSetting(options.minutes);
        c.VScroll3->setSetting(options.seconds);
        if (options.port == 1 || options.port == 2) {
            m_run.selectPort(Integer(options.port));
            showSelectedPort(Integer(options.port));
        }
        c.chkSound->setChecked(options.audible);
        if (options.start) {
            m_state.PingIntervalMs = Long(options.intervalMs());
            m_run.startUnattended(m_state.PingIntervalMs);
            showRunning();
        }
        if (options.hidden) {
            Command5_Click();
            // With neither a tray nor anything that minimises, a window that was
            // never shown would be lost to the user: it shows, as Hide leaves it.
            if (!isVisible() && !m_platform.tray.available())
                show();
        }
        onScreenChanged(); // a window never shown raises no hide
    });
}

// What a Start leaves: Running as the pinger says, "S&top", the settings
// locked, and the timers running unless the run waits for its device.
void frmWendrel::showRunning()
{
    m_state.Running = m_run.isRunning() ? 1 : 0;
    m_controls.Command2->setText(QStringLiteral("S&top"));
    lockSettings(true);
    if (m_run.isCounting())
        m_pacer->enableTimers();
    describeTimeBoxes(true);
}

// 8005 and 8002 have their fixed messages. Any other failure is told in plain
// words too: a start that failed has left the window idle as it was before
// the press, since silently keeping Running at 1 with the port closed would
// make the user's next press a stop.
void frmWendrel::reportPortError(const RuntimeError &error)
{
    switch (error.number()) {
    case SerialErrors::PortInUse:
        m_platform.messageBox.show(QStringLiteral("Port is in use!"), ComPortError);
        break;
    case SerialErrors::InvalidPortNumber:
        m_platform.messageBox.show(QStringLiteral("Invalid Port Number!"), ComPortError);
        break;
    default: {
        const auto *serialError = dynamic_cast<const SerialError *>(&error);
        m_platform.messageBox.show(serialError ? openFailureMessage(*serialError)
                                               : QStringLiteral("Wendrel cannot use the port: %1.")
                                                         .arg(error.description()),
                                   ComPortError);
        break;
    }
    }
    m_state.Running = m_run.isRunning() ? 1 : 0;
}

// The time left is shown before the carriage return goes out, and the beep
// comes after it.
void frmWendrel::Timer1_Timer()
{
    const bool pinged = m_run.tick([this](const Countdown &count) { showCountdown(count); });
    if (pinged && chkSoundValue() == 1)
        m_platform.beep.beep();
}

void frmWendrel::showCountdown(const Countdown &count)
{
    const Controls &c = m_controls;
    showText(c.Text1, count.HoursText);
    showText(c.Text2, count.MinutesText);
    showText(c.Text3, count.SecondsText);
}

// The run goes on without its device: the button still stops it, the lamps go
// dark, the countdown keeps its last text and the caption names the device.
void frmWendrel::showWaiting(const QString &device)
{
    m_pacer->disableTimers();
    darken(rowLamp(m_state.LampIndex));
    m_state.LampIndex = 0;
    setWindowTitle(QStringLiteral("%1 - waiting for %2").arg(Caption, device));
}

// Back: the pinger has sent its carriage return and counts from now.
void frmWendrel::showResumed()
{
    setWindowTitle(Caption);
    m_pacer->enableTimers();
}

// Nothing the program says on its own may block: on screen the trouble is a
// notice beside the window, whose Stop stays within reach; hidden or
// minimised, a desktop notification; where none can be shown, the notice
// waits for the window to be on screen again.
void frmWendrel::tellTrouble(const QString &message)
{
    qCDebug(lcWendrel).noquote() << "Telling the user:" << message;
    if (isOnScreen())
        m_platform.messageBox.showNotice(message, ComPortError);
    else if (!m_platform.tray.showMessage(ComPortError, message))
        m_untold = message;
}

void frmWendrel::tellTroubleOver(const QString &message)
{
    qCDebug(lcWendrel).noquote() << "Telling the user:" << message;
    m_untold.clear();
    m_platform.messageBox.closeNotice();
    m_platform.tray.showMessage(Caption, message);
}

// A notification that was sent, and turned away by the desktop later.
void frmWendrel::onUndelivered(const QString &title, const QString &text)
{
    if (title != ComPortError || m_state.Running == 0)
        return;
    if (isOnScreen())
        m_platform.messageBox.showNotice(text, ComPortError);
    else
        m_untold = text;
}

// Shown, hidden, minimised or restored: the timers follow, and trouble that
// nothing could tell meanwhile is told now.
void frmWendrel::onScreenChanged()
{
    m_pacer->setOnScreen(isOnScreen());
    if (isOnScreen() && !m_untold.isEmpty())
        m_platform.messageBox.showNotice(std::exchange(m_untold, QString()), ComPortError);
}

bool frmWendrel::isOnScreen() const
{
    return isVisible() && !isMinimized();
}

void frmWendrel::Command3_Click()
{
    m_run.selectPort(1);
    showSelectedPort(1);
}

void frmWendrel::Command4_Click()
{
    m_run.selectPort(2);
    showSelectedPort(2);
}

// Com1 and Com2 show the eye which port is selected: the lit picture for the
// one, the dark for the other. A screen reader is told it too.
void frmWendrel::showSelectedPort(Integer port)
{
    if (port == 1) {
        light(m_controls.Com1);
        darken(m_controls.Com2);
    } else {
        darken(m_controls.Com1);
        light(m_controls.Com2);
    }
    Accessibility::setPortSelected(m_controls.Command3, port == 1);
    Accessibility::setPortSelected(m_controls.Command4, port == 2);
}

// While a run counts down, the time boxes tell the time left, not the interval.
void frmWendrel::describeTimeBoxes(bool countingDown)
{
    const Controls &c = m_controls;
    const QString what = countingDown ? QStringLiteral("%1 until the next ping")
                                      : QStringLiteral("%1 of the ping interval");
    c.Text1->setAccessibleDescription(what.arg(QStringLiteral("Hours")));
    c.Text2->setAccessibleDescription(what.arg(QStringLiteral("Minutes")));
    c.Text3->setAccessibleDescription(what.arg(QStringLiteral("Seconds")));
}

void frmWendrel::Timer2_Timer()
{
    darken(rowLamp(m_state.LampIndex));
    m_state.LampIndex = Checked::addInteger(m_state.LampIndex, 1);
    if (m_state.LampIndex > 11)
        m_state.LampIndex = 0;
    light(rowLamp(m_state.LampIndex));
}

// A lamp of the row by its index; an index outside the row is an error, not a
// stray pointer.
QLabel *frmWendrel::rowLamp(Integer index) const
{
    return m_controls.Image1.at(std::size_t(index));
}

void frmWendrel::light(QLabel *lamp)
{
    lamp->setPixmap(m_controls.LightOn->pixmap());
    m_controls.lampRow->lampChanged(lamp);
}

void frmWendrel::darken(QLabel *lamp)
{
    lamp->setPixmap(m_controls.LightOff->pixmap());
    m_controls.lampRow->lampChanged(lamp);
}

Integer frmWendrel::chkSoundValue() const
{
    switch (m_controls.chkSound->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    default:
        return 0;
    }
}

// With no notification area to hide in, the window goes to the taskbar
// instead, where the user can find it again; with no taskbar either it stays
// on screen, and is treated as being on screen.
void frmWendrel::Command5_Click()
{
    if (!m_platform.tray.available()) {
        if (m_platform.tray.canMinimise())
            showMinimized();
        return;
    }
    setVisible(false);
    callShell(NotifyIconMessage::Add);
}

void frmWendrel::Form_MouseMove(Integer, Integer, float x, float)
{
    const float twipsPerPixel = TwipsPerPixelX();
    const Long message = Checked::toLong(double(x / twipsPerPixel));
    if (message == MouseMessage::LeftButtonDoubleClick) {
        setVisible(true);
        callShell(NotifyIconMessage::Delete);
    }
}

void frmWendrel::Form_QueryUnload(Integer &, Integer)
{
    callShell(NotifyIconMessage::Delete);
}

float frmWendrel::TwipsPerPixelX() const
{
    return Twips::perPixel(logicalDpiX());
}

float frmWendrel::TwipsPerPixelY() const
{
    return Twips::perPixel(logicalDpiY());
}

void frmWendrel::onTrayMouse(std::int32_t mouseMessage)
{
    Form_MouseMove(0, 0, float(mouseMessage) * TwipsPerPixelX(), 0);
}

// The record goes to the shell in its 88-byte form and comes back from it.
void frmWendrel::callShell(std::int32_t message)
{
    QByteArray bytes = Grad::TrayIconData.toBytes();
    m_platform.tray.Shell_NotifyIconA(message, bytes);
    Grad::TrayIconData = NotifyIconRecord::fromBytes(bytes);
}

void frmWendrel::endNow(int status)
{
    m_ended = true;
    m_pacer->disableTimers();
    m_platform.lifetime.endProgram(status);
}

// An error no handler caught: the port is let go, the standard box tells the
// number and description, and the program ends.
void frmWendrel::raiseFatal(const RuntimeError &error)
{
    m_ended = true;
    m_pacer->disableTimers();
    try {
        m_run.stop();
        callShell(NotifyIconMessage::Delete);
    } catch (const RuntimeError &) {
        // Already ending; a second failure changes nothing.
    }
    m_platform.messageBox.show(runtimeErrorText(error), runtimeErrorTitle());
    m_platform.lifetime.endProgram(1);
}
