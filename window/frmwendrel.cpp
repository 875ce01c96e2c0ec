// The fourteen event handlers of frmWendrel, each in the order of its steps,
// and the start and stop sequences of a pinging run.

#include "frmwendrel.h"

#include "accessibility.h"
#include "countdown.h"
#include "reversedscrollbar.h"

#include "grad/grad.h"
#include "platform/lifetime.h"
#include "platform/logging.h"
#include "platform/messagebox.h"
#include "platform/notifyicon.h"
#include "platform/serialcomm.h"
#include "platform/serialmessages.h"
#include "platform/tickcount.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

using Checked::format00;

static const QByteArray CarriageReturn(1, '\r');
static const QString ComPortError = QStringLiteral("Com Port Error");

// Four countdown ticks a second mostly write what the box already shows; a box
// that shows the text (whatever put it there) is left alone and not repainted.
static void showText(QLineEdit *box, const QString &text)
{
    if (box->text() != text)
        box->setText(text);
}

// The drawing target the gradient paints on: the window's outer size, and
// boxes kept as a list so the window can show them again after it is covered,
// until the next resize paints afresh. The painter counts in 16 bits, which
// hold 2184 pixels of twips; a window forced larger than that (no window
// manager, or a tiling one) is measured in a coarser unit, so the same 63
// bands cover it whole instead of overflowing.
class frmWendrel::Canvas : public DrawTarget
{
public:
    explicit Canvas(frmWendrel &window) : m_window(window)
    {
        const QSize outer = window.frameGeometry().size();
        m_twipsPerUnit = std::max(1.0f,
                                  std::max(float(outer.width()) * window.TwipsPerPixelX(),
                                           float(outer.height()) * window.TwipsPerPixelY())
                                          / LargestUnits);
    }

    float Height() const override
    {
        return float(m_window.frameGeometry().height()) * m_window.TwipsPerPixelY()
                / m_twipsPerUnit;
    }
    float Width() const override
    {
        return float(m_window.frameGeometry().width()) * m_window.TwipsPerPixelX() / m_twipsPerUnit;
    }
    void Line(Integer, Integer x1, Integer y1, Integer x2, Integer y2, Long colour) override
    {
        const float tx = m_window.TwipsPerPixelX() / m_twipsPerUnit;
        const float ty = m_window.TwipsPerPixelY() / m_twipsPerUnit;
        const QPoint from(qRound(float(x1) / tx), qRound(float(y1) / ty));
        const QPoint to(qRound(float(x2) / tx), qRound(float(y2) / ty));
        const QColor colourOf(colour & 0xff, (colour >> 8) & 0xff, (colour >> 16) & 0xff);
        m_window.m_bands.append({ QRect(from, to).normalized(), colourOf });
    }

private:
    // Below 32767 by more than the bands' rounding (63 half-units).
    static constexpr float LargestUnits = 32000;

    frmWendrel &m_window;
    float m_twipsPerUnit = 1;
};

// Called by Form_Resize: the gradient starts from an empty list of bands, so a
// repaint always shows what the last resize painted.
void frmWendrel::Form_Resize()
{
    m_bands.clear();
    Canvas canvas(*this);
    Long red = 242;
    Long green = 0;
    Long blue = 192;
    Integer direction = Grad::True;
    Grad::PaintGradient(canvas, red, green, blue, direction);
    update();
}

void frmWendrel::Form_Load()
{
    Controls &c = m_controls;
    m_state.Running = 0;
    m_state.PingIntervalMs = 0;
    m_platform.serial.setCommPort(1);
    c.Text1->setText(format00(c.VScroll1->setting()));
    c.Text2->setText(format00(c.VScroll2->setting()));
    c.Text3->setText(format00(c.VScroll3->setting()));
    Grad::fillTrayIconData(Grad::TrayIconData, std::int32_t(winId()),
                           std::int32_t(windowIcon().cacheKey()));
    light(c.Com1);
    darken(c.Com2);
    tellSelectedPort(1);
    describeTimeBoxes(false);
    for (m_state.LampIndex = 0; m_state.LampIndex <= 11;
         m_state.LampIndex = Checked::addInteger(m_state.LampIndex, 1))
        darken(rowLamp(m_state.LampIndex));
    m_state.LampIndex = 0;
}

void frmWendrel::Command1_Click()
{
    if (m_platform.serial.portOpen())
        m_platform.serial.setPortOpen(false);
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
    const QString captionBefore = m_controls.Command2->text();
    try {
        if (starting)
            startPinging();
        else
            stopPinging();
    } catch (const SerialError &error) {
        if (starting && m_unattendedStart)
            waitForDeviceAtStart(error);
        else
            reportPortError(error, starting, captionBefore);
    } catch (const RuntimeError &error) {
        reportPortError(error, starting, captionBefore);
    }
}

void frmWendrel::startPinging()
{
    Controls &c = m_controls;
    m_state.Running = 1;
    m_platform.serial.setPortOpen(true);
    c.Command2->setText(QStringLiteral("S&top"));
    m_platform.serial.setOutput(CarriageReturn);
    lockSettings(true);
    m_pacer->start();
    m_state.LastPingTick = m_platform.ticks.GetTickCount();
    describeTimeBoxes(true);
    qCInfo(lcWendrel).noquote() << "Pinging" << portDevice() << "every" << m_state.PingIntervalMs
                                << "ms";
}

void frmWendrel::stopPinging()
{
    Controls &c = m_controls;
    endWaitForDevice();
    m_platform.messageBox.closeNotice();
    m_state.Running = 0;
    m_platform.serial.setPortOpen(false);
    c.Command2->setText(QStringLiteral("&Start"));
    lockSettings(false);
    m_pacer->stop();
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
    qCInfo(lcWendrel).noquote() << "Stopped pinging" << portDevice();
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

void frmWendrel::applyStartOptions(const StartOptions &options)
{
    const Controls &c = m_controls;
    // Each assignment raises the bar's change handler, as a move by the user does.
    c.VScroll1->setSetting(options.hours);
    c.VScroll2->setSetting(options.minutes);
    c.VScroll3->setSetting(options.seconds);
    if (options.port == 1)
        dispatch([this] { Command3_Click(); });
    else if (options.port == 2)
        dispatch([this] { Command4_Click(); });
    c.chkSound->setChecked(options.audible);
    if (options.start) {
        m_unattendedStart = true;
        dispatch([this] { Command2_Click(); });
        m_unattendedStart = false;
    }
    if (options.hidden) {
        dispatch([this] { Command5_Click(); });
        // With neither a tray nor anything that minimises, a window that was
        // never shown would be lost to the user: it shows, as Hide leaves it.
        if (!isVisible() && !m_platform.tray.available() && !options.headless)
            show();
    }
    m_pacer->setOnScreen(isOnScreen()); // a window never shown raises no hide
}

// Nobody is there at boot to answer a box: a device that is missing, busy or
// not yet permitted is waited for as a lost one is, and the rest of Start (a
// carriage return at once, the timers, the count) runs when it opens.
void frmWendrel::waitForDeviceAtStart(const SerialError &error)
{
    m_state.Running = 1;
    m_controls.Command2->setText(QStringLiteral("S&top"));
    lockSettings(true);
    describeTimeBoxes(true);
    waitFor(error.device(), QString(), openFailureMessage(error));
    qCInfo(lcWendrel).noquote() << "Waiting for" << m_lostDevice << '(' + error.description() + ')'
                                << "to ping it every" << m_state.PingIntervalMs << "ms";
}

// The wait itself, after a loss or a failed unattended start: the caption
// names the device, a try each second, nobody told yet.
void frmWendrel::waitFor(const QString &device, const QString &reached, const QString &message)
{
    m_lostDevice = device;
    m_lostReached = reached;
    m_lostMessage = message;
    m_lossTold = false;
    m_untoldRetries = 0;
    setWindowTitle(QStringLiteral("%1 - waiting for %2").arg(Caption, m_lostDevice));
    m_reconnectTimer->start();
}

// Right-click on the window's background.
void frmWendrel::contextMenuEvent(QContextMenuEvent *event)
{
    dispatch([this, event] {
        QMenu menu(this);
        QAction *atLogin
                = menu.addAction(QStringLiteral("Start pinging at login with these settings"));
        atLogin->setCheckable(true);
        atLogin->setChecked(autostartEntryExists());
        const ReversedScrollBar *bars[]
                = { m_controls.VScroll1, m_controls.VScroll2, m_controls.VScroll3 };
        const bool someInterval
                = std::any_of(std::begin(bars), std::end(bars),
                              [](const ReversedScrollBar *bar) { return bar->setting() != 0; });
        atLogin->setEnabled(someInterval || atLogin->isChecked());
        if (menu.exec(event->globalPos()) == atLogin)
            setStartAtLogin(atLogin->isChecked());
    });
}

// The entry takes the window's present port, its device, the interval set and
// Audible; a failure is said in a box, as the user asked from the menu.
void frmWendrel::setStartAtLogin(bool on)
{
    QString error;
    bool done = false;
    if (on) {
        const Controls &c = m_controls;
        StartOptions options;
        options.hours = c.VScroll1->setting();
        options.minutes = c.VScroll2->setting();
        options.seconds = c.VScroll3->setting();
        options.port = m_platform.serial.commPort();
        options.audible = chkSoundValue() == 1;
        const QString device = portDevice();
        done = writeAutostartEntry(autostartCommand(runningProgram(), options,
                                                    options.port == 1 ? device : QString(),
                                                    options.port == 2 ? device : QString()),
                                   &error);
    } else {
        done = removeAutostartEntry(&error);
    }
    if (!done)
        m_platform.messageBox.show(error, Caption);
    else
        qCInfo(lcWendrel).noquote()
                << (on ? "Starts at login:" : "No longer starts at login:") << autostartPath();
}

QString frmWendrel::portDevice() const
{
    return m_platform.serial.device(m_platform.serial.commPort());
}

// 8005 and 8002 have their fixed messages. Any other failure is told in plain
// words too, and a start that failed leaves the window idle as it was before
// the press: silently keeping Running at 1 with the port closed would make the
// user's next press a stop.
void frmWendrel::reportPortError(const RuntimeError &error, bool starting,
                                 const QString &captionBefore)
{
    switch (error.number()) {
    case SerialErrors::PortInUse:
        m_platform.messageBox.show(QStringLiteral("Port is in use!"), ComPortError);
        break;
    case SerialErrors::InvalidPortNumber:
        m_platform.messageBox.show(QStringLiteral("Invalid Port Number!"), ComPortError);
        break;
    default: {
        if (starting)
            returnToIdleAfterFailedStart(captionBefore);
        const auto *serialError = dynamic_cast<const SerialError *>(&error);
        m_platform.messageBox.show(serialError ? openFailureMessage(*serialError)
                                               : QStringLiteral("Wendrel cannot use the port: %1.")
                                                         .arg(error.description()),
                                   ComPortError);
        break;
    }
    }
    m_state.Running = 0;
}

void frmWendrel::returnToIdleAfterFailedStart(const QString &captionBefore)
{
    if (m_platform.serial.portOpen())
        m_platform.serial.setPortOpen(false);
    m_controls.Command2->setText(captionBefore);
    m_state.Running = 0;
}

void frmWendrel::Timer1_Timer()
{
    showCountdown();
    if (m_state.ElapsedMs >= m_state.PingIntervalMs) {
        if (!sendCarriageReturn())
            return;
        qCDebug(lcWendrel) << "Pinged";
        m_state.LastPingTick = m_platform.ticks.GetTickCount();
        if (chkSoundValue() == 1)
            m_platform.beep.beep();
    }
}

// A countdown tick up to its ping decision: the tick count, the time left, and
// the three boxes.
void frmWendrel::showCountdown()
{
    Controls &c = m_controls;
    m_state.NowTick = m_platform.ticks.GetTickCount();
    m_state.ElapsedMs = elapsedTicks(m_state.LastPingTick, m_state.NowTick);
    m_state.RemainingMs = Checked::subLong(m_state.PingIntervalMs, m_state.ElapsedMs);
    // The tick that pings finds the interval run out: the time left shows as
    // 00 00 00, not as the "01 59 59" the split gives for a few ms below zero.
    const CountdownTexts texts = splitRemaining(std::max<Long>(0, m_state.RemainingMs));
    m_state.HoursText = texts.hours;
    m_state.MinutesText = texts.minutes;
    m_state.SecondsText = texts.seconds;
    showText(c.Text1, m_state.HoursText);
    showText(c.Text2, m_state.MinutesText);
    showText(c.Text3, m_state.SecondsText);
}

// A write that fails at a ping tick is a lost device like any other.
bool frmWendrel::sendCarriageReturn()
{
    try {
        m_platform.serial.setOutput(CarriageReturn);
        return true;
    } catch (const SerialError &error) {
        portLost(error);
        return false;
    }
}

// The run goes on without its device: the button still stops it, the lamps go
// dark, the countdown keeps its last text and the caption names the device.
void frmWendrel::portLost(const SerialError &error)
{
    if (m_state.Running == 0 || isWaitingForDevice())
        return;
    if (m_platform.serial.portOpen())
        m_platform.serial.setPortOpen(false);
    m_pacer->stop();
    darken(rowLamp(m_state.LampIndex));
    m_state.LampIndex = 0;
    waitFor(error.device(), m_platform.serial.lastOpenedDevice(), portLostMessage(error));
    qCInfo(lcWendrel).noquote() << "Lost" << m_lostDevice << '(' + error.description() + ')'
                                << "- waiting for it";
    // A loose plug comes and goes all night: a device that was back a moment
    // ago is not told of again, only the title says it, unless it stays away.
    const Long now = m_platform.ticks.GetTickCount();
    if (!m_lastReturnTick || elapsedTicks(*m_lastReturnTick, now) >= QuietAfterReturnMs)
        tellLoss();
}

// Nothing the program says on its own may block: on screen the loss is a
// notice beside the window, whose Stop stays within reach; hidden or
// minimised, a desktop notification.
void frmWendrel::tellLoss()
{
    m_lossTold = true;
    qCDebug(lcWendrel).noquote() << "Telling the user:" << m_lostMessage;
    if (isOnScreen())
        m_platform.messageBox.showNotice(m_lostMessage, ComPortError);
    else
        m_platform.tray.showMessage(ComPortError, m_lostMessage);
}

// Quiet while the device stays away; once it opens, pinging starts again as a
// Start would: a carriage return at once (the camera may have fallen asleep),
// both timers, and the count from now.
void frmWendrel::retryLostPort()
{
    if (!isWaitingForDevice())
        return;
    try {
        m_platform.serial.setPortOpen(true);
    } catch (const SerialError &) {
        if (!m_lossTold && ++m_untoldRetries >= QuietAfterReturnMs / ReconnectPeriodMs)
            tellLoss();
        return;
    }
    endWaitForDevice();
    if (!sendCarriageReturn())
        return;
    m_pacer->start();
    m_state.LastPingTick = m_platform.ticks.GetTickCount();
    m_lastReturnTick = m_state.LastPingTick;
    const QString back
            = portBackMessage(m_lostDevice, m_lostReached, m_platform.serial.lastOpenedDevice());
    qCInfo(lcWendrel).noquote() << back;
    if (!m_lossTold)
        return;
    m_platform.messageBox.closeNotice();
    qCDebug(lcWendrel).noquote() << "Telling the user:" << back;
    m_platform.tray.showMessage(Caption, back);
}

void frmWendrel::endWaitForDevice()
{
    m_reconnectTimer->stop();
    setWindowTitle(Caption);
}

bool frmWendrel::isOnScreen() const
{
    return isVisible() && !isMinimized();
}

void frmWendrel::Command3_Click()
{
    m_platform.serial.setCommPort(1);
    light(m_controls.Com1);
    darken(m_controls.Com2);
    tellSelectedPort(1);
}

void frmWendrel::Command4_Click()
{
    m_platform.serial.setCommPort(2);
    darken(m_controls.Com1);
    light(m_controls.Com2);
    tellSelectedPort(2);
}

// The port lamps tell the eye which port is selected; this tells a screen reader.
void frmWendrel::tellSelectedPort(Integer port)
{
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

// The devices there are, the port's own checked; a choice lasts for this
// session. Not during a run, when the port buttons are locked too.
void frmWendrel::choosePortDevice(Integer port, const QPoint &where)
{
    if (m_state.Running != 0)
        return;
    SerialComm &serial = m_platform.serial;
    const QString current = serial.device(port);
    QMenu menu(this);
    const QList<SerialDevice> devices = serial.availableDevices();
    const bool currentPresent
            = std::any_of(devices.begin(), devices.end(), [&current](const SerialDevice &device) {
                  return device.path == current || device.systemLocation == current;
              });
    if (!currentPresent && !current.isEmpty()) {
        QAction *absent = menu.addAction(QStringLiteral("%1 (not present)").arg(current));
        absent->setCheckable(true);
        absent->setChecked(true);
        absent->setEnabled(false);
    }
    for (const SerialDevice &device : devices) {
        QAction *choice = menu.addAction(device.describe());
        choice->setCheckable(true);
        choice->setChecked(device.path == current || device.systemLocation == current);
        choice->setData(device.path);
    }
    if (devices.isEmpty())
        menu.addAction(QStringLiteral("No serial devices found"))->setEnabled(false);
    const QAction *chosen = menu.exec(where);
    if (chosen && chosen->data().isValid())
        serial.setDevice(port, chosen->data().toString());
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
}

void frmWendrel::darken(QLabel *lamp)
{
    lamp->setPixmap(m_controls.LightOff->pixmap());
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
    m_platform.lifetime.endProgram(status);
}

// An error no handler caught: the port is let go, the standard box tells the
// number and description, and the program ends.
void frmWendrel::raiseFatal(const RuntimeError &error)
{
    m_ended = true;
    m_pacer->stop();
    m_reconnectTimer->stop();
    try {
        if (m_platform.serial.portOpen())
            m_platform.serial.setPortOpen(false);
        callShell(NotifyIconMessage::Delete);
    } catch (const RuntimeError &) {
        // Already ending; a second failure changes nothing.
    }
    m_platform.messageBox.show(runtimeErrorText(error), runtimeErrorTitle());
    m_platform.lifetime.endProgram(1);
}
