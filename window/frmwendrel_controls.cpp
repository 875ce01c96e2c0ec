// Building frmWendrel's controls at their design-time values, and the plumbing
// that carries Qt's events to the handlers.

#include "frmwendrel.h"

#include "accessibility.h"
#include "reversedscrollbar.h"
#include "twips.h"

#include "grad/grad.h"
#include "platform/lifetime.h"
#include "platform/notifyicon.h"
#include "platform/serialcomm.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTimer>

static QFont sansSerif(qreal points, bool bold = false)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

ShapeBox::ShapeBox(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

frmWendrel::frmWendrel(const Platform &platform)
    : QWidget(nullptr,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                      | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                      | Qt::MSWindowsFixedSizeDialogHint),
      m_platform(platform)
{
    setObjectName(QStringLiteral("frmWendrel"));
    Accessibility::install();
    setWindowTitle(Caption);
    setWindowIcon(QIcon(QStringLiteral(":/assets/camera.xpm")));
    setFont(sansSerif(8.25));
    setFixedSize(place(0, 0, ClientWidthTwips, ClientHeightTwips).size());
    setMouseTracking(true);
    centreOnScreen();

    createPortGroup();
    createButtonColumn();
    createIntervalRow();
    createSoundOption();
    createLamps();
    createTimers();
    setTabOrder();
    connectHandlers();
    m_controls.Command2->setFocus();

    setUncaughtErrorReporter([this](const RuntimeError &error) { raiseFatal(error); });
    dispatch([this] { Form_Load(); });
}

frmWendrel::~frmWendrel()
{
    setUncaughtErrorReporter(nullptr);
    m_platform.tray.setMouseHandler(nullptr);
    m_platform.serial.setLostHandler(nullptr);
}

QRect frmWendrel::place(int left, int top, int width, int height) const
{
    return Twips::toPixels(left, top, width, height, logicalDpiX());
}

float frmWendrel::TwipsPerPixelX() const
{
    return Twips::perPixel(logicalDpiX());
}

float frmWendrel::TwipsPerPixelY() const
{
    return Twips::perPixel(logicalDpiY());
}

static QLabel *makeLabel(QWidget *parent, const QString &caption, const QFont &font,
                         Qt::Alignment alignment)
{
    auto *label = new QLabel(caption, parent);
    label->setFont(font);
    label->setAlignment(alignment | Qt::AlignTop);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
    label->setPalette(palette);
    return label;
}

static QLabel *makeImageBox(QWidget *parent)
{
    auto *box = new QLabel(parent);
    box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    box->setScaledContents(false);
    return box;
}

// The button is in its control's place before it has a caption: a screen
// reader may ask about it as soon as the caption is set, and is then told what
// that control is.
static void makeButton(QPushButton *&control, QWidget *parent, const QString &caption,
                       const QString &tip)
{
    control = new QPushButton(parent);
    control->setText(caption);
    control->setToolTip(tip);
    control->setAutoDefault(false);
}

// Where one port's frame, button, label and lamp stand, in twips (left, top).
struct PortRowTwips
{
    QPoint frame;
    QPoint button;
    QPoint label;
    QPoint lamp;
};

void frmWendrel::createPortGroup()
{
    Controls &c = m_controls;
    createPortRow(1, { { 120, 120 }, { 240, 240 }, { 720, 240 }, { 2025, 225 } }, c.Shape1,
                  c.Command3, c.Label1, c.Com1);
    createPortRow(2, { { 120, 720 }, { 255, 825 }, { 720, 840 }, { 2025, 810 } }, c.Shape2,
                  c.Command4, c.Label2, c.Com2);
}

void frmWendrel::createPortRow(int port, const PortRowTwips &at, ShapeBox *&frame,
                               QPushButton *&button, QLabel *&label, QLabel *&lamp)
{
    frame = new ShapeBox(this);
    frame->setGeometry(place(at.frame.x(), at.frame.y(), 2295, 495));
    makeButton(button, this, QStringLiteral("&%1").arg(port),
               QStringLiteral("Serial Port Camera is connected to."));
    button->setGeometry(place(at.button.x(), at.button.y(), 375, 255));
    button->setAccessibleName(QStringLiteral("Com Port %1").arg(port));
    label = makeLabel(this, QStringLiteral("Com Port %1").arg(port), sansSerif(9.75, true),
                      Qt::AlignLeft);
    label->setBuddy(button);
    label->setGeometry(place(at.label.x(), at.label.y(), 1215, 255));
    lamp = makeImageBox(this);
    lamp->setGeometry(place(at.lamp.x(), at.lamp.y(), 300, 300));
}

void frmWendrel::createButtonColumn()
{
    Controls &c = m_controls;
    makeButton(c.Command2, this, QStringLiteral("St&art"),
               QStringLiteral("Start/Stop  Pinging selected Com Port."));
    c.Command2->setGeometry(place(3225, 105, 975, 375));
    makeButton(c.Command5, this, QStringLiteral("&Hide"), QStringLiteral("Minimize to SysTray."));
    c.Command5->setGeometry(place(3225, 480, 975, 375));
    makeButton(c.Command1, this, QStringLiteral("E&xit"), QString());
    c.Command1->setGeometry(place(3225, 855, 975, 375));
}

void frmWendrel::createIntervalRow()
{
    Controls &c = m_controls;
    const QString Hours = QStringLiteral("Hours");
    const QString Minutes = QStringLiteral("Minutes");
    const QString Seconds = QStringLiteral("Seconds");
    const QFont font = sansSerif(9.75);
    const auto textBox = [this, &font](int left, const QString &name) {
        auto *box = new QLineEdit(this);
        box->setAccessibleName(name);
        box->setFont(font);
        box->setAlignment(Qt::AlignCenter);
        box->setGeometry(place(left, 1320, 495, 375));
        return box;
    };
    const auto scrollBar = [this](int maximum, int left, const QString &name) {
        auto *bar = new ReversedScrollBar(maximum, this);
        bar->setAccessibleName(name);
        bar->setGeometry(place(left, 1320, 255, 375));
        return bar;
    };
    c.Label6 = makeLabel(this, QStringLiteral("H"), font, Qt::AlignHCenter);
    c.Label6->setGeometry(place(75, 1395, 135, 255));
    c.Text1 = textBox(240, Hours);
    c.VScroll1 = scrollBar(24, 720, Hours);
    c.Label6->setBuddy(c.Text1);
    c.Label5 = makeLabel(this, QStringLiteral("M"), font, Qt::AlignHCenter);
    c.Label5->setGeometry(place(1035, 1395, 135, 255));
    c.Text2 = textBox(1200, Minutes);
    c.VScroll2 = scrollBar(59, 1680, Minutes);
    c.Label5->setBuddy(c.Text2);
    c.Label4 = makeLabel(this, QStringLiteral("S"), font, Qt::AlignHCenter);
    c.Label4->setGeometry(place(1995, 1395, 135, 255));
    c.Text3 = textBox(2160, Seconds);
    c.VScroll3 = scrollBar(59, 2640, Seconds);
    c.Label4->setBuddy(c.Text3);
}

void frmWendrel::createSoundOption()
{
    Controls &c = m_controls;
    const QString tip = QStringLiteral("System sound when Pinged.");
    // Only the box shows: the caption lies beyond the control's width.
    c.chkSound = new QCheckBox(QStringLiteral("Check1"), this);
    c.chkSound->setToolTip(tip);
    c.chkSound->setGeometry(place(3135, 1380, 255, 255));
    c.Label3 = makeLabel(this, QStringLiteral("Audible"), sansSerif(9.75, true), Qt::AlignHCenter);
    c.Label3->setToolTip(tip);
    c.Label3->setGeometry(place(3495, 1380, 855, 255));
    // Read out by its visible caption, not by the one that lies out of sight.
    c.chkSound->setAccessibleName(c.Label3->text());
    c.Label3->setBuddy(c.chkSound);
}

void frmWendrel::createLamps()
{
    Controls &c = m_controls;
    int left = 240;
    for (QLabel *&lamp : c.Image1) {
        lamp = makeImageBox(this);
        lamp->setGeometry(place(left, 1800, 300, 300));
        left += 360;
    }
    // The picture holders lie below the client area and are never seen.
    c.LightOn = makeImageBox(this);
    c.LightOn->setGeometry(place(1440, 2400, 300, 300));
    c.LightOn->setPixmap(QPixmap(QStringLiteral(":/assets/lighton.bmp")));
    c.LightOff = makeImageBox(this);
    c.LightOff->setGeometry(place(600, 2400, 300, 300));
    c.LightOff->setPixmap(QPixmap(QStringLiteral(":/assets/lightoff.bmp")));
    // Not even a window forced taller than designed shows them.
    c.LightOn->hide();
    c.LightOff->hide();

    // A lamp's picture covers its whole box at 96 dots per inch, so nothing
    // behind it need be painted when the chaser changes it ten times a second.
    const QSize picture = c.LightOn->pixmap().deviceIndependentSize().toSize();
    for (QLabel *lamp : c.Image1)
        lamp->setAttribute(Qt::WA_OpaquePaintEvent, lamp->size() == picture);
}

void frmWendrel::createTimers()
{
    Controls &c = m_controls;
    // Precise timers: a ping may come one tick late, but not later than that.
    c.Timer1 = new QTimer(this);
    c.Timer1->setInterval(250);
    c.Timer1->setTimerType(Qt::PreciseTimer);
    c.Timer2 = new QTimer(this);
    c.Timer2->setInterval(100);
    c.Timer2->setTimerType(Qt::PreciseTimer);
    // Not a control of the design: it only runs while a run waits for its device.
    m_reconnectTimer = new QTimer(this);
    m_reconnectTimer->setInterval(ReconnectPeriodMs);
}

void frmWendrel::setTabOrder()
{
    const Controls &c = m_controls;
    QWidget *const order[]
            = { c.Command2, c.Command3, c.Command4, c.Command1, c.Text1, c.Command5,
                c.VScroll1, c.chkSound, c.Text2,    c.VScroll2, c.Text3, c.VScroll3 };
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
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
    m_pacer = std::make_unique<Pacer>(c.Timer1, c.Timer2, m_state,
                                      Pacer::Handlers{ handler(&frmWendrel::Timer1_Timer),
                                                       handler(&frmWendrel::showCountdown),
                                                       handler(&frmWendrel::Timer2_Timer) });
    connect(c.Timer1, &QTimer::timeout, this, [this] { m_pacer->countdownDue(); });
    connect(c.Timer2, &QTimer::timeout, this, [this] { m_pacer->chaserDue(); });
    on(m_reconnectTimer, &QTimer::timeout, &frmWendrel::retryLostPort);

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

    m_platform.serial.setLostHandler(
            [this](const SerialError &error) { dispatch([this, &error] { portLost(error); }); });
    m_platform.tray.setMouseHandler(
            [this](std::int32_t message) { dispatch([this, message] { onTrayMouse(message); }); });
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
        m_pacer->setOnScreen(isOnScreen());
    }
}

void frmWendrel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_pacer->setOnScreen(isOnScreen());
}

void frmWendrel::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_pacer->setOnScreen(isOnScreen());
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
    m_ended = true;
    m_pacer->stop();
    m_reconnectTimer->stop();
    m_platform.lifetime.endProgram(0);
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
    const QRect dirty = forcedLarger ? event->rect() & screenPart() : event->rect();
    painter.fillRect(dirty, palette().color(QPalette::Dark));
    for (const Band &band : std::as_const(m_bands))
        if (band.rect.intersects(dirty))
            painter.fillRect(band.rect & dirty, band.colour);
}
