// Under a real X server with a real XEmbed tray (trayer): Alt+H puts the icon in
// the tray, a single click on it does nothing, a double-click brings the window
// back and takes the icon away. Also: the gradient really shows on screen.

#include "fakes.h"
#include "xdesktop.h"

#include "platform/qtnotifyicon.h"

#include <QProcess>
#include <QScreen>
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
    QTest::qWait(200);
    const QImage shot = rig.form().screen()->grabWindow(rig.form().winId()).toImage();
    QVERIFY(!shot.isNull());
    const QColor top = shot.pixelColor(shot.width() / 2 + 40, 1);
    QVERIFY2(top.red() > 200 && top.green() < 30 && top.blue() > 150,
             qPrintable(top.name()));
    // Darker further down, between the controls (the lamps' row gap).
    const QColor low = shot.pixelColor(6, shot.height() - 4);
    QVERIFY2(low.red() < top.red() / 2 && low.blue() < top.blue() / 2, qPrintable(low.name()));
    shot.save(QDir::temp().filePath("wendrel-window.png"));
}

void tst_TrayXvfb::hideClickAndDoubleClick()
{
    EventLog log;
    FakeSerialComm serial(log);
    FakeTickCount ticks(log);
    RecordingMessageBox box(log);
    RecordingBeep beep(log);
    FakeLifetime lifetime(log);
    QtNotifyIcon tray(QIcon(":/assets/camera.xpm"));
    frmWendrel form(Platform{ serial, ticks, box, beep, tray, lifetime });
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.activateWindow(); // no window manager here to give it the focus
    QVERIFY(QTest::qWaitForWindowActive(&form));

    QTest::keyClick(form.windowHandle(), Qt::Key_H, Qt::AltModifier);
    QTRY_VERIFY(!form.isVisible());
    QVERIFY(tray.isShown());
    QTRY_VERIFY_WITH_TIMEOUT(tray.geometry().isValid() && !tray.geometry().isEmpty(), 5000);
    QTest::qWait(300); // let the tray embed and map the icon
    const QPoint centre = tray.geometry().center();
    bool ok = false;
    xdotool({ "mousemove", QString::number(centre.x()), QString::number(centre.y()) }, &ok);
    QVERIFY(ok);

    xdotool({ "click", "1" }, &ok);
    QVERIFY(ok);
    QTest::qWait(800);
    QVERIFY(!form.isVisible()); // a single click does nothing
    QVERIFY(tray.isShown());

    xdotool({ "click", "--repeat", "2", "--delay", "60", "1" }, &ok);
    QVERIFY(ok);
    QTRY_VERIFY_WITH_TIMEOUT(form.isVisible(), 3000);
    QVERIFY(!tray.isShown());
}

QTEST_MAIN(tst_TrayXvfb)
#include "tst_trayxvfb.moc"
