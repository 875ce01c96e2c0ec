// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The plumbing that carries Qt's events and the pinger's news to frmWendrel's
// handlers, the window's painting and placing, and its two menus.

#include "window/frmwendrel.h"

#include "window/accessibility.h"
#include "window/reversedscrollbar.h"

#include "commandline/commandline.h"
#include "desktop/autostart.h"
#include "desktop/messagebox.h"
#include "desktop/notifyicon.h"
#include "engine/lifetime.h"
#include "engine/logging.h"
#include "engine/pinger.h"
#include "engine/serialcomm.h"

#include <QCloseEvent>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTimer>

#include <algorithm>

frmWendrel::frmWendrel(const Platform &platform, Pinger &run)
    : QWidget(nullptr,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                      | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                      | Qt::MSWindowsFixedSizeDialogHint),
      m_platform(platform), m_run(run)
{
    setObjectName(QStringLiteral("frmWendrel"));
    // Known before a screen reader can first ask about the window or a control.
    Accessibility::install(this, &m_controls);
    setWindowTitle(Caption);
    setWindowIcon(QIcon(QStringLiteral(":/assets/camera.xpm")));
    setFont(defaultWindowFont());
    setFixedSize(placeOn(this, 0, 0, ClientWidthTwips, ClientHeightTwips).size());
    setMouseTracking(true);
    centreOnScreen();

    createControls(this, m_controls);
    m_controls.lampRow->setBackground(
            [this](QPainter &painter, const QRect &part) { paintBackground(painter, part); });
    connectHandlers();
    connectRun();
    m_controls.Command2->setFocus();

    setUncaughtErrorReporter([this](const RuntimeError &error) { raiseFatal(error); });
    dispatch([this] { Form_Load(); });
}

frmWendrel::~frmWendrel()
{
    setUncaughtErrorReporter(nullptr);
    Accessibility::forget(this);
    m_platform.tray.setUndeliveredHandler([this](const QString &title, const QString &text) {
        dispatch([this, &title, &text] { onUndelivered(title, text); });
    });
    m_platform.tray.setMouseHandler(nullptr);
    m_platform.tray.setUndeliveredHandler(nullptr);
}

void frmWendrel::connectHandlers()
{
    const Controls &c = m_controls;
    const auto on = [this](auto *sender, auto signal, void (frmWendrel::*handler)()) {
        connect(sender, signal, this,
                [this, handler] { dispatch([this, handler] { (this->*handler)(); }); });
    };
    on(c.Command1, &QPushButton::clicked, &frmWendrel::Command1_Click);
    on(c.Command2, &QPushButton::clicked, &frmWendrel::Command2_Click);
    on(c.Command3, &QPushButton::clicked, &frmWendrel::Command3_Click);
    on(c.Command4, &QPushButton::clicked, &frmWendrel::Command4_Click);
    on(c.Command5, &QPushButton::clicked, &frmWendrel::Command5_Click);
    on(c.VScroll1, &ReversedScrollBar::Change, &frmWendrel::VScroll1_Change);
    on(c.VScroll2, &ReversedScrollBar::Change, &frmWendrel::VScroll2_Change);
    on(c.VScroll3, &ReversedScrollBar::Change, &frmWendrel::VScroll3_Change);
    // The two timers reach their handlers through the pacer, which lets them
    // sleep while the window is off screen.
    const auto handler = [this](void (frmWendrel::*method)()) {
        return [this, method] { dispatch([this, method] { (this->*method)(); }); };
    };
    const auto countdownDisplay
            = [this] { dispatch([this] { showCountdown(m_run.countdown()); }); };
    m_pacer = std::make_unique<Pacer>(c.Timer1, c.Timer2, m_run,
                                      Pacer::Handlers{ handler(&frmWendrel::Timer1_Timer),
                                                       countdownDisplay,
                                                       handler(&frmWendrel::Timer2_Timer) });
    connect(c.Timer1, &QTimer::timeout, this, [this] { m_pacer->countdownTimerTicked(); });
    connect(c.Timer2, &QTimer::timeout, this, [this] { m_pacer->chaserTimerTicked(); });

    // A right-click on a port button chooses the device behind that port; so
    // do the Menu key and Shift+F10 while the button has the focus.
    for (const auto &[button, port] :
         { std::pair{ c.Command3, Integer(1) }, std::pair{ c.Command4, Integer(2) } }) {
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, this,
                [this, button = button, port = port](const QPoint &at) {
                    dispatch([&] { choosePortDevice(port, button->mapToGlobal(at)); });
                });
        auto *menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), button);
        menuKey->setContext(Qt::WidgetShortcut);
        connect(menuKey, &QShortcut::activated, this, [this, button = button, port = port] {
            dispatch([&] { choosePortDevice(port, button->mapToGlobal(button->rect().center())); });
        });
    }

    m_platform.tray.setUndeliveredHandler([this](const QString &title, const QString &text) {
        dispatch([this, &title, &text] { onUndelivered(title, text); });
    });
    m_platform.tray.setMouseHandler(
            [this](std::int32_t message) { dispatch([this, message] { onTrayMouse(message); }); });
}

// What the run tells: a countdown tick due while nothing on screen ticks, a
// device lost or back, trouble to tell the user of.
void frmWendrel::connectRun()
{
    connect(&m_run, &Pinger::countdownDue, this, [this] { dispatch([this] { Timer1_Timer(); }); });
    connect(&m_run, &Pinger::waiting, this,
            [this](const QString &device) { dispatch([this, &device] { showWaiting(device); }); });
    connect(&m_run, &Pinger::resumed, this, [this] { dispatch([this] { showResumed(); }); });
    connect(&m_run, &Pinger::trouble, this, [this](const QString &message) {
        dispatch([this, &message] { tellTrouble(message); });
    });
    connect(&m_run, &Pinger::troubleOver, this, [this](const QString &message) {
        dispatch([this, &message] { tellTroubleOver(message); });
    });
}

void frmWendrel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    paintBackground();
}

// Form_Resize paints the gradient for the outer size it finds.
void frmWendrel::paintBackground()
{
    m_paintedOuterSize = frameGeometry().size();
    dispatch([this] { Form_Resize(); });
}

// Centred by the outer frame; before a window manager has framed the window
// the frame is the client area.
void frmWendrel::centreOnScreen()
{
    move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, frameGeometry().size(),
                             screen()->availableGeometry())
                 .topLeft());
}

// A window manager frames the window after its first resize, and tells the
// frame only then. The gradient is painted from the outer size, so once the
// frame is known it is painted again, as a resize would; and the window, placed
// before it had a frame, is centred again by its frame, once.
void frmWendrel::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (size() != minimumSize() && !screenPart().contains(rect()))
        update(); // what was off screen and left unpainted may show now
    if (frameGeometry().size() == m_paintedOuterSize || isMinimized())
        return;
    if (!m_centredInFrame && frameGeometry().size() != size()) {
        m_centredInFrame = true;
        centreOnScreen();
    }
    paintBackground();
}

void frmWendrel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Minimising and restoring count as changes of size, as they always have.
    if (event->type() == QEvent::WindowStateChange) {
        paintBackground();
        dispatch([this] { onScreenChanged(); });
    }
}

void frmWendrel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    dispatch([this] { onScreenChanged(); });
}

void frmWendrel::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    dispatch([this] { onScreenChanged(); });
}

void frmWendrel::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF pixels = event->position();
    dispatch([this, pixels] {
        Form_MouseMove(0, 0, float(pixels.x()) * TwipsPerPixelX(),
                       float(pixels.y()) * TwipsPerPixelY());
    });
}

void frmWendrel::closeEvent(QCloseEvent *event)
{
    if (m_ended) {
        event->accept();
        return;
    }
    Integer cancel = 0;
    dispatch([this, &cancel] { Form_QueryUnload(cancel, 0); });
    if (cancel != 0) {
        event->ignore();
        return;
    }
    event->accept();
    // The window is unloaded: its timers and the serial component go with it,
    // and so does the program. Nothing else ends it, not even the last visible
    // window closing while this one sits hidden in the tray.
    endNow(0);
}

// The part of the window the screen can show, in the window's coordinates.
QRect frmWendrel::screenPart() const
{
    const QRect screenArea = screen()->geometry();
    return { mapFromGlobal(screenArea.topLeft()), screenArea.size() };
}

// Where no band lies (before the first resize, or below the last band) the
// window's own background shows.
void frmWendrel::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    // A window forced to thousands of pixels is painted only where the screen
    // shows it: filling 4 GiB of pixels would hold up the pings for seconds.
    const bool forcedLarger = isVisible() && size() != minimumSize();
    paintBackground(painter, forcedLarger ? event->rect() & screenPart() : event->rect());
}

void frmWendrel::paintBackground(QPainter &painter, const QRect &part) const
{
    painter.fillRect(part, palette().color(QPalette::Dark));
    m_canvas.paint(painter, part);
}

// Right-click on the window's background.
void frmWendrel::contextMenuEvent(QContextMenuEvent *event)
{
    dispatch([this, event] {
        QMenu menu(this);
        QAction *atLogin
                = menu.addAction(QStringLiteral("Start pinging at login with these settings"));
        atLogin->setCheckable(true);
        atLogin->setChecked(autostartEntryEnabled());
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
    bool notAnEntry = false; // said in the box as any other failure
    if (on) {
        const Controls &c = m_controls;
        StartOptions options;
        options.hours = c.VScroll1->setting();
        options.minutes = c.VScroll2->setting();
        options.seconds = c.VScroll3->setting();
        options.port = m_platform.serial.commPort();
        options.audible = chkSoundValue() == 1;
        const QString device = m_run.device();
        done = writeAutostartEntry(autostartCommand(runningProgram(), options,
                                                    options.port == 1 ? device : QString(),
                                                    options.port == 2 ? device : QString()),
                                   &error, &notAnEntry);
    } else {
        const Removal removal = removeAutostartEntry(&error);
        done = removal == Removal::Removed || removal == Removal::NothingThere;
    }
    if (!done)
        m_platform.messageBox.show(error, Caption);
    else
        qCInfo(lcWendrel).noquote()
                << (on ? "Starts at login:" : "No longer starts at login:") << autostartPath();
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
    // The system lists what it knows for a serial port; a device it does not
    // (a pty, a link of the user's own) may be there all the same.
    if (!currentPresent && !current.isEmpty()) {
        QAction *unlisted = menu.addAction(
                QFileInfo::exists(current) ? current
                                           : QStringLiteral("%1 (not present)").arg(current));
        unlisted->setCheckable(true);
        unlisted->setChecked(true);
        unlisted->setEnabled(false);
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
