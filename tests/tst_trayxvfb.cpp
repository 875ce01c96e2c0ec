// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Under a real X server with a real XEmbed tray (trayer): Alt+H puts the icon in
// the tray, a single click on it does nothing, a double-click brings the window
// back and takes the icon away. Also: the gradient really shows on screen.

#include "windowrig.h"
#include "xdesktop.h"

#include "desktop/qtnotifyicon.h"

#include <QProcess>
#include <QScreen>
#include <QStyleHints>
#include <QTest>

class tst_TrayXvfb : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void gradientShowsBehindTheControls();
    void hideClickAndDoubleClick();

private:
    TrayHost m_tray;
};

void tst_TrayXvfb::initTestCase()
{
    if (qgetenv("DISPLAY").isEmpty())
        QSKIP("needs an X display (run under xvfb-run)");
    QVERIFY2(m_tray.start(), "trayer is needed: apt-get install trayer");
}

void tst_TrayXvfb::gradientShowsBehindTheControls()
{
    Rig rig;
    rig.form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.form()));
    // The X server has the picture once the top row shows the gradient's magenta.
    QImage shot;
    QColor top;
    QTRY_VERIFY2_WITH_TIMEOUT((shot = rig.form().screen()->grabWindow(rig.form().winId()).toImage(),
                               top = shot.pixelColor(shot.width() / 2 + 40, 1),
                               top.red() > 200 && top.green() < 30 && top.blue() > 150),
                              qPrintable(top.name()), 5000);
    // Darker further down, between the controls (the lamps' row gap).
    const QColor low = shot.pixelColor(6, shot.height() - 4);
    QVERIFY2(low.red() < top.red() / 2 && low.blue() < top.blue() / 2, qPrintable(low.name()));
}

void tst_TrayXvfb::hideClickAndDoubleClick()
{
    EventLog log;
    FakeSerialComm serial(log);
    FakeTickCount ticks(log);
    FakeWakeTimer wake(ticks);
    Pinger run(serial, ticks, wake);
    RecordingMessageBox box(log);
    RecordingBeep beep(log);
    FakeLifetime lifetime(log);
    QtNotifyIcon tray(QIcon(":/assets/camera.xpm"));
    frmWendrel form(Platform{ serial, box, beep, tray, lifetime }, run);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.activateWindow(); // no window manager here to give it the focus
    QVERIFY(QTest::qWaitForWindowActive(&form));

    QTest::keyClick(form.windowHandle(), Qt::Key_H, Qt::AltModifier);
    QTRY_VERIFY(!form.isVisible());
    QVERIFY(tray.isShown());
    // The tray has embedded the icon once its small window is mapped there.
    QTRY_COMPARE_WITH_TIMEOUT(iconsInTray(QCoreApplication::applicationPid()), 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(tray.geometry().isValid() && !tray.geometry().isEmpty(), 5000);
    const QPoint centre = tray.geometry().center();
    bool ok = false;
    xdotool({ "mousemove", QString::number(centre.x()), QString::number(centre.y()) }, &ok);
    QVERIFY(ok);
    xdotool({ "click", "1" }, &ok);
    QVERIFY(ok);
    // A single click does nothing, not even once the double-click time is over.
    QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 300);
    QVERIFY(!form.isVisible());
    QVERIFY(tray.isShown());

    xdotool({ "click", "--repeat", "2", "--delay", "60", "1" }, &ok);
    QVERIFY(ok);
    QTRY_VERIFY_WITH_TIMEOUT(form.isVisible(), 3000);
    QVERIFY(!tray.isShown());
}

QTEST_MAIN(tst_TrayXvfb)
#include "tst_trayxvfb.moc"
