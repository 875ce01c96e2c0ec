// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The whole program as a user meets it: the real window, the real serial
// component on a pseudo-terminal, real message boxes and the system's clock.
// A carriage return read at the other end of the pty is the proof of a ping.

#include "boxcatcher.h"
#include "windowrig.h"
#include "ptypair.h"

#include "serialport/qtserialcomm.h"
#include "window/reversedscrollbar.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// The program's own boxes and beep, and the window on screen.
struct RealRig : RealPortRig
{
    explicit RealRig(const QString &port1Device) : RealPortRig(port1Device, Dialogs::Real)
    {
        window->show();
    }
};

static void clickUpArrow(ReversedScrollBar *bar)
{
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, 2));
}

class tst_EndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pingsEverySecondUntilStopped_data();
    void pingsEverySecondUntilStopped();
    void portHeldByAnotherProgram();
    void deviceThatDoesNotExist();
    void hangUpWhileShownWaitsUntilStopped();
};

void tst_EndToEnd::pingsEverySecondUntilStopped_data()
{
    QTest::addColumn<bool>("byKeyboard");
    QTest::newRow("mouse") << false;
    QTest::newRow("Alt+A") << true;
}

void tst_EndToEnd::pingsEverySecondUntilStopped()
{
    QFETCH(bool, byKeyboard);
    Pty pty;
    RealRig rig(pty.slaveName());
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));

    clickUpArrow(rig.c().VScroll3);
    QCOMPARE(rig.c().Text3->text(), "01");
    QElapsedTimer clock;
    clock.start();
    if (byKeyboard)
        QTest::keyClick(rig.window->windowHandle(), Qt::Key_A, Qt::AltModifier);
    else
        QTest::mouseClick(rig.c().Command2, Qt::LeftButton);

    // One byte at once, the next about a second later; the event loop runs
    // while the test waits in the pty.
    QCOMPARE(pty.readWhileRunning(1, 1000), QByteArray(1, '\r'));
    const qint64 firstAt = clock.elapsed();
    QCOMPARE(pty.readWhileRunning(1, 2500), QByteArray(1, '\r'));
    const qint64 spacing = clock.elapsed() - firstAt;
    // Never early; late by one countdown tick at most, and by more only under
    // the sanitizers on a busy machine.
    const qint64 latest = qEnvironmentVariableIsSet("WENDREL_SANITIZED") ? 2500 : 1450;
    QVERIFY2(spacing >= 950 && spacing <= latest, qPrintable(QString::number(spacing)));

    QTest::mouseClick(rig.c().Command2, Qt::LeftButton);
    QCOMPARE(rig.c().Command2->text(), "&Start");
    QVERIFY(!rig.serial.portOpen());
    QCOMPARE(pty.readWhileRunning(1, 1500), QByteArray());
}

void tst_EndToEnd::portHeldByAnotherProgram()
{
    Pty pty;
    QtSerialComm other;
    other.setDevice(1, pty.slaveName());
    other.setPortOpen(true);
    RealRig rig(pty.slaveName());
    BoxCatcher boxes;
    rig.c().VScroll3->setSetting(5);
    QTest::mouseClick(rig.c().Command2, Qt::LeftButton);

    QCOMPARE(boxes.texts, QStringList{ "Port is in use!" });
    QCOMPARE(boxes.titles, QStringList{ "Com Port Error" });
    QCOMPARE(rig.window->state().Running, Integer(0));
    QCOMPARE(rig.c().Command2->text(), "St&art");
    QVERIFY(rig.c().Command3->isEnabled());
    QCOMPARE(pty.readFor(200), QByteArray());
}

void tst_EndToEnd::deviceThatDoesNotExist()
{
    RealRig rig("/dev/wendrel-no-such-port");
    BoxCatcher boxes;
    rig.c().VScroll2->setSetting(1);
    QTest::mouseClick(rig.c().Command2, Qt::LeftButton);
    QCOMPARE(boxes.texts, QStringList{ "Invalid Port Number!" });
    QCOMPARE(rig.window->state().Running, Integer(0));
}

// The loss is told once, in a box that blocks nothing: the wait goes on behind
// it, and Stop, pressed while it stands, ends the wait and takes the box away.
void tst_EndToEnd::hangUpWhileShownWaitsUntilStopped()
{
    Pty pty;
    RealRig rig(pty.slaveName());
    BoxCatcher boxes;
    rig.c().VScroll2->setSetting(1);
    QTest::mouseClick(rig.c().Command2, Qt::LeftButton);
    QCOMPARE(pty.readUpTo(1, 1000), QByteArray(1, '\r'));

    pty.closeMaster();
    QTRY_COMPARE_WITH_TIMEOUT(BoxCatcher::notices().size(), 1, 2000);
    QCOMPARE(BoxCatcher::notices().value(0)->windowTitle(), "Com Port Error");
    QVERIFY(BoxCatcher::notices().value(0)->text().contains("was lost"));
    QCOMPARE(rig.window->windowTitle(), "Wendrel - waiting for " + pty.slaveName());
    QCOMPARE(rig.window->state().Running, Integer(1));
    QCOMPARE(rig.c().Command2->text(), "S&top");
    QVERIFY(!rig.serial.portOpen());
    QTest::qWait(2 * Pinger::ReconnectPeriodMs + 200);
    QCOMPARE(BoxCatcher::notices().size(), 1);
    QVERIFY(boxes.titles.isEmpty()); // nothing modal

    QTest::mouseClick(rig.c().Command2, Qt::LeftButton);
    QCOMPARE(rig.window->state().Running, Integer(0));
    QCOMPARE(rig.c().Command2->text(), "&Start");
    QCOMPARE(rig.window->windowTitle(), "Wendrel");
    QVERIFY(!rig.run.isWaiting());
    QVERIFY(!rig.window->hasEnded());
    QTRY_COMPARE(BoxCatcher::notices().size(), 0);
}

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
