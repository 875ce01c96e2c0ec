// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The real window, offscreen: where every control stands, what it says, the
// focus order, the access keys and the upside-down scroll bars.

#include "windowrig.h"

#include "window/reversedscrollbar.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QJsonArray>
#include <QJsonObject>
#include <QTest>
#include <qpa/qplatformnativeinterface.h>

static QRect subControl(QScrollBar *bar, QStyle::SubControl which)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.upsideDown = bar->invertedAppearance();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, which, bar);
}

class tst_Window : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void windowItself();
    void geometryInPixels_data();
    void geometryInPixels();
    void captionsAndTips();
    void labelsAreTransparentAndLight();
    void pictureHoldersLieOutsideTheClientArea();
    void forcedSizeKeepsDesignAndGradient_data();
    void forcedSizeKeepsDesignAndGradient();
    void lampRowLooksAsDesigned_data();
    void lampRowLooksAsDesigned();
    void tabOrderAndInitialFocus();
    void deviceMenuByMouseAndKeys_data();
    void deviceMenuByMouseAndKeys();
    void startAtLoginFromTheBackgroundMenu();
    void accessKeys();
    void upArrowAddsAndStopsAtTheTop_data();
    void upArrowAddsAndStopsAtTheTop();
    void trackClickMovesByOne();
    void dragChangesOnlyOnRelease();
    void audibleLabelDoesNotToggleTheBox();

private:
    std::unique_ptr<Rig> m_rig;
};

void tst_Window::init()
{
    m_rig = std::make_unique<Rig>();
    m_rig->form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_rig->form()));
    m_rig->log.entries.clear();
}

void tst_Window::cleanup()
{
    m_rig.reset();
}

void tst_Window::windowItself()
{
    frmWendrel &form = m_rig->form();
    QCOMPARE(form.windowTitle(), "Wendrel");
    QCOMPARE(form.objectName(), "frmWendrel");
    QCOMPARE(form.minimumSize(), form.maximumSize()); // the border cannot resize it
    QVERIFY(!form.windowIcon().isNull());
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    if (form.logicalDpiX() == 96)
        QCOMPARE(form.size(), QSize(315, 146));
}

void tst_Window::geometryInPixels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("pixels");
    // Twips divided by 15, the design at 96 dots per inch.
    QTest::newRow("Command2") << "Command2" << QRect(215, 7, 65, 25);
    QTest::newRow("Command5") << "Command5" << QRect(215, 32, 65, 25);
    QTest::newRow("Command1") << "Command1" << QRect(215, 57, 65, 25);
    QTest::newRow("Command3") << "Command3" << QRect(16, 16, 25, 17);
    QTest::newRow("Command4") << "Command4" << QRect(17, 55, 25, 17);
    QTest::newRow("Shape1") << "Shape1" << QRect(8, 8, 153, 33);
    QTest::newRow("Com2") << "Com2" << QRect(135, 54, 20, 20);
    QTest::newRow("Text1") << "Text1" << QRect(16, 88, 33, 25);
    QTest::newRow("VScroll1") << "VScroll1" << QRect(48, 88, 17, 25);
    QTest::newRow("VScroll3") << "VScroll3" << QRect(176, 88, 17, 25);
    QTest::newRow("Label6") << "Label6" << QRect(5, 93, 9, 17);
    QTest::newRow("chkSound") << "chkSound" << QRect(209, 92, 17, 17);
    QTest::newRow("Label3") << "Label3" << QRect(233, 92, 57, 17);
    QTest::newRow("Image1(0)") << "Image1(0)" << QRect(16, 120, 20, 20);
    QTest::newRow("Image1(11)") << "Image1(11)" << QRect(280, 120, 20, 20);
}

void tst_Window::geometryInPixels()
{
    QFETCH(QString, name);
    QFETCH(QRect, pixels);
    if (m_rig->form().logicalDpiX() != 96)
        QSKIP("the pixel table is for 96 dots per inch");
    const auto &c = m_rig->c();
    const QMap<QString, QWidget *> controls{
        { "Command1", c.Command1 }, { "Command2", c.Command2 },   { "Command3", c.Command3 },
        { "Command4", c.Command4 }, { "Command5", c.Command5 },   { "Shape1", c.Shape1 },
        { "Com2", c.Com2 },         { "Text1", c.Text1 },         { "VScroll1", c.VScroll1 },
        { "VScroll3", c.VScroll3 }, { "Label6", c.Label6 },       { "chkSound", c.chkSound },
        { "Label3", c.Label3 },     { "Image1(0)", c.Image1[0] }, { "Image1(11)", c.Image1[11] },
    };
    QCOMPARE(controls.value(name)->geometry(), pixels);
}

void tst_Window::captionsAndTips()
{
    const auto &c = m_rig->c();
    QCOMPARE(c.Command2->toolTip(), "Start/Stop  Pinging selected Com Port."); // two spaces
    QCOMPARE(c.Command5->toolTip(), "Minimize to SysTray.");
    QCOMPARE(c.Command1->toolTip(), QString());
    QCOMPARE(c.Command3->toolTip(), "Serial Port Camera is connected to.");
    QCOMPARE(c.Command4->toolTip(), "Serial Port Camera is connected to.");
    QCOMPARE(c.chkSound->toolTip(), "System sound when Pinged.");
    QCOMPARE(c.Label3->toolTip(), "System sound when Pinged.");
    QCOMPARE(c.Command1->text(), "E&xit");
    QCOMPARE(c.Command5->text(), "&Hide");
    QCOMPARE(c.Label1->text(), "Com Port 1");
    QCOMPARE(c.Label2->text(), "Com Port 2");
    QCOMPARE(c.Label3->text(), "Audible");
    QCOMPARE(c.Label4->text() + c.Label5->text() + c.Label6->text(), "SMH");
    QVERIFY(c.Label1->font().bold() && c.Label3->font().bold() && !c.Label4->font().bold());
    QCOMPARE(c.Label4->font().pointSizeF(), 9.75);
    QCOMPARE(c.Command1->font().pointSizeF(), 8.25);
    QCOMPARE(c.Text1->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    // The check box's own caption lies beyond its width.
    QCOMPARE(c.chkSound->text(), "Check1");
    QVERIFY(c.chkSound->sizeHint().width() > c.chkSound->width());
}

void tst_Window::labelsAreTransparentAndLight()
{
    const auto &c = m_rig->c();
    for (const QLabel *label : { c.Label1, c.Label2, c.Label3, c.Label4, c.Label5, c.Label6 }) {
        QCOMPARE(label->palette().color(QPalette::WindowText),
                 label->palette().color(QPalette::HighlightedText));
    }
}

void tst_Window::pictureHoldersLieOutsideTheClientArea()
{
    const auto &c = m_rig->c();
    const QRect client = m_rig->form().rect();
    QVERIFY(!client.intersects(c.LightOn->geometry()));
    QVERIFY(!client.intersects(c.LightOff->geometry()));
    QCOMPARE(c.LightOn->pixmap().size(), QSize(20, 20));
    QCOMPARE(c.LightOff->pixmap().size(), QSize(20, 20));
    QCOMPARE(c.Com1->pixmap().size(), QSize(20, 20)); // shown at natural size
}

void tst_Window::forcedSizeKeepsDesignAndGradient_data()
{
    QTest::addColumn<QSize>("forced");
    QTest::newRow("wide and low") << QSize(2300, 200);
    QTest::newRow("X11's largest") << QSize(32767, 32767);
}

// No window manager, or a tiling one, may give the fixed-size window any size.
// The controls stay where designed and the gradient covers the window from
// edge to edge, magenta at the top and darker all the way down.
void tst_Window::forcedSizeKeepsDesignAndGradient()
{
    QFETCH(QSize, forced);
    Rig rig; // not shown: a shown window would hold the whole size in pixels
    frmWendrel &form = rig.form();
    const QRect start = rig.c().Command2->geometry();
    form.setMinimumSize(0, 0);
    form.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    form.resize(forced);
    form.dispatch([&form] { form.Form_Resize(); });
    QVERIFY(!form.hasEnded());
    QCOMPARE(rig.c().Command2->geometry(), start);
    QVERIFY(!rig.c().LightOn->isVisibleTo(&form) && !rig.c().LightOff->isVisibleTo(&form));

    for (const int x : { 0, forced.width() - 1 }) {
        const QImage strip = form.grab(QRect(x, 0, 1, forced.height())).toImage();
        QCOMPARE(strip.height(), forced.height());
        QCOMPARE(strip.pixelColor(0, 0), QColor(242, 0, 192));
        QColor above = strip.pixelColor(0, 0);
        for (int y = 1; y < strip.height(); ++y) {
            const QColor here = strip.pixelColor(0, y);
            QVERIFY2(here.green() == 0 && here.red() <= above.red() && here.blue() <= above.blue(),
                     qPrintable(QStringLiteral("x %1, y %2: %3").arg(x).arg(y).arg(here.name())));
            above = here;
        }
        QVERIFY(above.red() < 60);
    }
}

// The lamp row over the gradient, pixel for pixel as the window showed it
// when each lamp was a picture box of its own: all dark, then lamp 3 lit.
void tst_Window::lampRowLooksAsDesigned_data()
{
    QTest::addColumn<bool>("onScreen");
    QTest::addColumn<int>("steps");        // to lamp 3, lit in the picture
    QTest::addColumn<qreal>("firstRatio"); // the screen's scale before, where it changed
    QTest::newRow("as the window paints it") << false << 3 << 0.0;
    // A chaser step goes straight to the window's backing store, which is
    // what the screen shows.
    QTest::newRow("as the screen shows it") << true << 3 << 0.0;
    // The last lamp and the first change as two rectangles, not the row.
    QTest::newRow("on screen, once round the row") << true << 15 << 0.0;
    // A window that ran on a screen at twice the scale and is now at the
    // plain one, with no resize between (a per-monitor scale, a Wayland
    // output's change): the pictures made for the other scale do not fit.
    QTest::newRow("on screen, after a scale of 2") << true << 15 << 2.0;
}

// The offscreen screen's scale, changed as a screen's is while windows are on it.
static void setScreenRatio(qreal ratio)
{
    QPlatformNativeInterface *native = QGuiApplication::platformNativeInterface();
    using Get = QJsonObject (*)(QPlatformNativeInterface *);
    using Set = void (*)(const QJsonObject &, QPlatformNativeInterface *);
    const auto get = reinterpret_cast<Get>(native->nativeResourceForIntegration("configuration"));
    const auto set
            = reinterpret_cast<Set>(native->nativeResourceForIntegration("setConfiguration"));
    QVERIFY(get && set);
    QJsonObject configuration = get(native);
    QJsonArray screens = configuration["screens"].toArray();
    QJsonObject screen = screens.at(0).toObject();
    screen["dpr"] = ratio;
    screens[0] = screen;
    configuration["screens"] = screens;
    set(configuration, native);
}

void tst_Window::lampRowLooksAsDesigned()
{
    QFETCH(bool, onScreen);
    QFETCH(int, steps);
    QFETCH(qreal, firstRatio);
    if (m_rig->form().logicalDpiX() != 96)
        QSKIP("the picture is of 96 dots per inch");
    frmWendrel &form = m_rig->form();
    form.dispatch([&form] { form.Form_Resize(); });
    if (firstRatio != 0) {
        const auto plainAgain = qScopeGuard([] { setScreenRatio(1); });
        setScreenRatio(firstRatio);
        form.repaint();
        for (int step = 0; step < 12; ++step) {
            form.dispatch([&form] { form.Timer2_Timer(); });
            form.repaint();
        }
    }
    const QRect row(8, 112, 300, 36); // the lamps and the gradient round them
    const auto picture = [&form, &row, onScreen] {
        QCoreApplication::sendPostedEvents(); // Qt's own paints first
        return (onScreen ? form.screen()->grabWindow(form.winId(), row.x(), row.y(), row.width(),
                                                     row.height())
                         : form.grab(row))
                .toImage();
    };
    QImage frames(row.width(), row.height() * 2, QImage::Format_RGB32);
    QPainter painter(&frames);
    painter.drawImage(0, 0, picture());
    for (int step = 0; step < steps; ++step)
        form.dispatch([&form] { form.Timer2_Timer(); });
    painter.drawImage(0, row.height(), picture());
    painter.end();
    const QString reference = QFINDTESTDATA("lamprow.png");
    if (qEnvironmentVariableIsSet("WENDREL_WRITE_REFERENCE"))
        frames.save(QDir(QStringLiteral(WENDREL_TESTS_DIR)).filePath("lamprow.png"));
    QImage designed = QImage(reference).convertToFormat(QImage::Format_RGB32);
    // The lamps only: round them the screen holds the gradient as the window
    // painted it, part by part, a shade off in places.
    if (onScreen) {
        const QRect lamps = form.controls().lampRow->geometry().translated(-row.topLeft());
        // (After the change of scale the chaser is not where it started: the
        // second picture alone is the designed one.)
        for (const QRect &frame : { lamps, lamps.translated(0, row.height()) }) {
            if (firstRatio == 0 || frame.y() >= row.height())
                QCOMPARE(frames.copy(frame), designed.copy(frame));
        }
        return;
    }
    QCOMPARE(frames, designed);
}

void tst_Window::deviceMenuByMouseAndKeys_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("device"); // port 2's, where given
    QTest::addColumn<QString>("itsEntry");
    QTest::newRow("right-click") << "mouse"
                                 << ""
                                 << "/dev/fake2 (not present)";
    QTest::newRow("Shift+F10") << "shift+f10"
                               << ""
                               << "/dev/fake2 (not present)";
    // A device the system lists no serial port for (a pty) is there all the same.
    QTest::newRow("a device not listed") << "mouse"
                                         << "/dev/null"
                                         << "/dev/null";
}

// The port's device is chosen from a menu on its button, by the mouse or by
// Shift+F10, as in every Qt and GTK program. (The Menu key becomes a context
// menu request in the X11 platform plugin itself, which offscreen lacks.)
void tst_Window::deviceMenuByMouseAndKeys()
{
    QFETCH(QString, how);
    QFETCH(QString, device);
    QFETCH(QString, itsEntry);
    Rig &rig = *m_rig;
    if (!device.isEmpty())
        rig.serial.setDevice(2, device);
    rig.serial.devices = { { "/dev/serial/by-id/usb-cam", "/dev/ttyUSB0", "FT232R", "FTDI" } };
    QStringList offered;
    QTimer::singleShot(100, [&offered] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (QAction *action : menu->actions())
                offered << action->text();
            menu->setActiveAction(menu->actions().constLast());
            QTest::keyClick(menu, Qt::Key_Return);
        }
    });
    QPushButton *port2 = rig.c().Command4;
    port2->setFocus();
    // Through the window, as the system delivers them: Qt makes the context
    // menu request from the raw mouse and key events.
    QWindow *window = rig.form().windowHandle();
    if (how == "mouse")
        QTest::mouseClick(window, Qt::RightButton, {}, port2->geometry().center());
    else
        QTest::keyClick(window, Qt::Key_F10, Qt::ShiftModifier);
    QTRY_COMPARE(
            offered,
            (QStringList{ itsEntry, "/dev/serial/by-id/usb-cam (/dev/ttyUSB0): FT232R, FTDI" }));
    QCOMPARE(rig.serial.device(2), "/dev/serial/by-id/usb-cam");
}

// The window's background offers to start at login with what the window
// holds now; chosen again, the entry goes.
void tst_Window::startAtLoginFromTheBackgroundMenu()
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const auto resetConfig = qScopeGuard([] { qunsetenv("XDG_CONFIG_HOME"); });
    Rig &rig = *m_rig;
    rig.c().VScroll2->setSetting(5);
    QTest::mouseClick(rig.c().Command4, Qt::LeftButton);
    rig.c().chkSound->setChecked(true);
    const auto chooseFromMenu = [&rig] {
        QStringList offered;
        QTimer::singleShot(100, [&offered] {
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                for (QAction *action : menu->actions())
                    offered << action->text() + (action->isChecked() ? " [x]" : " [ ]");
                menu->setActiveAction(menu->actions().constFirst());
                QTest::keyClick(menu, Qt::Key_Return);
            }
        });
        QTest::mouseClick(rig.form().windowHandle(), Qt::RightButton, {}, QPoint(3, 3));
        if (!QTest::qWaitFor([&offered] { return !offered.isEmpty(); }))
            offered << "no menu";
        return offered;
    };
    const QString entry = config.filePath("autostart/org.wendrel.Wendrel.desktop");
    QCOMPARE(chooseFromMenu(), QStringList{ "Start pinging at login with these settings [ ]" });
    QFile file(entry);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString written = QString::fromUtf8(file.readAll());
    QVERIFY2(written.contains(" --hidden --start --interval 0:05:00 --use-port 2 --port2 "
                              "/dev/fake2 --audible\n"),
             qPrintable(written));
    QCOMPARE(chooseFromMenu(), QStringList{ "Start pinging at login with these settings [x]" });
    QVERIFY(!QFile::exists(entry));
    // An entry the user switched off will not start: not ticked.
    file.close();
    QVERIFY(QDir(config.path()).mkpath("autostart") && file.open(QIODevice::WriteOnly));
    file.write("[Desktop Entry]\nType=Application\nExec=wendrel\nHidden=true\n");
    file.close();
    QCOMPARE(chooseFromMenu(), QStringList{ "Start pinging at login with these settings [ ]" });
}

void tst_Window::tabOrderAndInitialFocus()
{
    const auto &c = m_rig->c();
    QVERIFY(QTest::qWaitForWindowActive(&m_rig->form()));
    QCOMPARE(QApplication::focusWidget(), c.Command2);
    const QList<QWidget *> expected{ c.Command2, c.Command3, c.Command4, c.Command1,
                                     c.Text1,    c.Command5, c.VScroll1, c.chkSound,
                                     c.Text2,    c.VScroll2, c.Text3,    c.VScroll3 };
    QList<QWidget *> visited;
    for (int i = 0; i < expected.size(); ++i) {
        visited << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visited, expected);
    QCOMPARE(QApplication::focusWidget(), c.Command2); // and round again
}

// An access key presses its button the way a click does (Qt animates the
// press, so its effect comes a moment later).
void tst_Window::accessKeys()
{
    Rig &rig = *m_rig;
    QWindow *window = rig.form().windowHandle();
    QVERIFY(QTest::qWaitForWindowActive(&rig.form()));
    QTest::keyClick(window, Qt::Key_2, Qt::AltModifier);
    QTRY_COMPARE(rig.serial.commPort(), Integer(2));
    QTest::keyClick(window, Qt::Key_1, Qt::AltModifier);
    QTRY_COMPARE(rig.serial.commPort(), Integer(1));
    QTest::keyClick(window, Qt::Key_A, Qt::AltModifier);
    QTRY_COMPARE(rig.box.texts, QStringList{ "Please Set Time." });

    rig.c().VScroll3->setSetting(1);
    QTest::keyClick(window, Qt::Key_A, Qt::AltModifier); // Start
    QTRY_COMPARE(rig.s().Running, Integer(1));
    QTest::keyClick(window, Qt::Key_1, Qt::AltModifier); // disabled now
    QTest::keyClick(window, Qt::Key_2, Qt::AltModifier);
    QTest::keyClick(window, Qt::Key_T, Qt::AltModifier); // S&top
    QTRY_COMPARE(rig.s().Running, Integer(0));
    QCOMPARE(rig.log.only("port:"), (QStringList{ "port:2", "port:1" }));
    QCOMPARE(rig.c().Command2->text(), "&Start");

    QTest::keyClick(window, Qt::Key_H, Qt::AltModifier);
    QTRY_VERIFY(!rig.form().isVisible());
    QCOMPARE(rig.log.only("shell:"), QStringList{ "shell:0:hidden" });
    rig.form().show();
    QVERIFY(QTest::qWaitForWindowActive(&rig.form()));
    QTest::keyClick(rig.form().windowHandle(), Qt::Key_X, Qt::AltModifier);
    QTRY_COMPARE(rig.lifetime.statuses, QList<int>{ 0 });
}

void tst_Window::upArrowAddsAndStopsAtTheTop_data()
{
    QTest::addColumn<int>("bar");
    QTest::addColumn<int>("top");
    QTest::newRow("hours") << 1 << 24;
    QTest::newRow("minutes") << 2 << 59;
    QTest::newRow("seconds") << 3 << 59;
}

void tst_Window::upArrowAddsAndStopsAtTheTop()
{
    QFETCH(int, bar);
    QFETCH(int, top);
    const auto &c = m_rig->c();
    ReversedScrollBar *bars[] = { c.VScroll1, c.VScroll2, c.VScroll3 };
    QLineEdit *texts[] = { c.Text1, c.Text2, c.Text3 };
    ReversedScrollBar *scroll = bars[bar - 1];
    // At its design height: the top arrow adds, the bottom one subtracts.
    QTest::mouseClick(scroll, Qt::LeftButton, {}, QPoint(scroll->width() / 2, 2));
    QCOMPARE(scroll->setting(), 1);
    QTest::mouseClick(scroll, Qt::LeftButton, {},
                      QPoint(scroll->width() / 2, scroll->height() - 3));
    QCOMPARE(scroll->setting(), 0);
    // At its design height the bar is nearly all arrows; stretch it to see the thumb.
    scroll->resize(scroll->width(), 200);

    // At 0 the thumb sits at the bottom.
    QVERIFY(subControl(scroll, QStyle::SC_ScrollBarSlider).center().y() > scroll->height() / 2);
    const QPoint up = subControl(scroll, QStyle::SC_ScrollBarSubLine).center();
    const QPoint down = subControl(scroll, QStyle::SC_ScrollBarAddLine).center();
    QTest::mouseClick(scroll, Qt::LeftButton, {}, up);
    QCOMPARE(scroll->setting(), 1);
    QCOMPARE(texts[bar - 1]->text(), "01");
    for (int i = 0; i < top + 5; ++i)
        QTest::mouseClick(scroll, Qt::LeftButton, {}, up);
    QCOMPARE(scroll->setting(), top);
    QVERIFY(subControl(scroll, QStyle::SC_ScrollBarSlider).center().y() < scroll->height() / 2);
    QTest::mouseClick(scroll, Qt::LeftButton, {}, down);
    QCOMPARE(scroll->setting(), top - 1);
    for (int i = 0; i < top + 5; ++i)
        QTest::mouseClick(scroll, Qt::LeftButton, {}, down);
    QCOMPARE(scroll->setting(), 0);
    QCOMPARE(texts[bar - 1]->text(), "00");
}

void tst_Window::trackClickMovesByOne()
{
    ReversedScrollBar *scroll = m_rig->c().VScroll2;
    scroll->resize(scroll->width(), 200); // room for a track
    const QRect above = subControl(scroll, QStyle::SC_ScrollBarSubPage);
    QVERIFY(above.height() > 0);
    QTest::mouseClick(scroll, Qt::LeftButton, {}, above.center());
    QCOMPARE(scroll->setting(), 1);
    QCOMPARE(m_rig->s().MinutesMs, 60000);
}

void tst_Window::dragChangesOnlyOnRelease()
{
    ReversedScrollBar *scroll = m_rig->c().VScroll3;
    scroll->resize(scroll->width(), 200); // room to drag
    const QPoint thumb = subControl(scroll, QStyle::SC_ScrollBarSlider).center();
    QTest::mousePress(scroll, Qt::LeftButton, {}, thumb);
    QMouseEvent move(QEvent::MouseMove, QPointF(thumb - QPoint(0, 60)),
                     scroll->mapToGlobal(QPointF(thumb - QPoint(0, 60))), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(scroll, &move);
    QVERIFY(scroll->sliderPosition() != scroll->value());
    QCOMPARE(m_rig->c().Text3->text(), "00"); // nothing while the thumb is held
    QTest::mouseRelease(scroll, Qt::LeftButton, {}, thumb - QPoint(0, 60));
    QVERIFY(scroll->setting() > 0);
    QCOMPARE(m_rig->c().Text3->text(), Checked::format00(scroll->setting()));
}

void tst_Window::audibleLabelDoesNotToggleTheBox()
{
    const auto &c = m_rig->c();
    QTest::mouseClick(c.Label3, Qt::LeftButton);
    QCOMPARE(c.chkSound->checkState(), Qt::Unchecked);
    QTest::mouseClick(c.chkSound, Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(m_rig->form().chkSoundValue(), Integer(1));
}

QTEST_MAIN(tst_Window)
#include "tst_window.moc"
