// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The window's handlers over fakes: a fake clock instead of waiting, a fake port
// instead of a device, and recording boxes, beeps and tray.

#include "windowrig.h"

#include "engine/countdown.h"
#include "window/reversedscrollbar.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

static const QString CR = QStringLiteral("output:0d");

static bool isLit(const frmWendrel &form, const QLabel *lamp)
{
    return lamp->pixmap().cacheKey() == form.controls().LightOn->pixmap().cacheKey();
}

static bool isDark(const frmWendrel &form, const QLabel *lamp)
{
    return lamp->pixmap().cacheKey() == form.controls().LightOff->pixmap().cacheKey();
}

// Moves the three bars as a user would; their change handlers run.
static void setInterval(const Rig &rig, int hours, int minutes, int seconds)
{
    rig.c().VScroll1->setSetting(hours);
    rig.c().VScroll2->setSetting(minutes);
    rig.c().VScroll3->setSetting(seconds);
}

static void startRun(Rig &rig, int hours, int minutes, int seconds)
{
    setInterval(rig, hours, minutes, seconds);
    rig.form().Command2_Click();
    QCOMPARE(rig.s().Running, Integer(1));
    rig.log.entries.clear();
}

class tst_Handlers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loadState();
    void exitClosesPortThenEnds_data();
    void exitClosesPortThenEnds();
    void scrollHandlers_data();
    void scrollHandlers();
    void assigningSameValueRaisesNothing();
    void intervalSum_data();
    void intervalSum();
    void startSequence();
    void stopSequence();
    void stopWritesZeroIntoBarsAlreadyAtZero();
    void portErrorsAtOpen_data();
    void portErrorsAtOpen();
    void failedFirstWriteLeavesIdle();
    void countdownDisplay_data();
    void countdownDisplay();
    void pingTickOrder();
    void beepRule_data();
    void beepRule();
    void pingSpacingAcrossSignChangeAndWrap_data();
    void pingSpacingAcrossSignChangeAndWrap();
    void slowWriteDelaysNextPing();
    void lampChaserCycle();
    void stopMidCycleDarkensAndRestarts();
    void portButtons();
    void lostDeviceWaitsThenResumes_data();
    void lostDeviceWaitsThenResumes();
    void uncaughtErrorShowsBoxClosesPortAndEnds();
};

void tst_Handlers::loadState()
{
    EventLog log;
    FakeSerialComm serial(log);
    FakeTickCount ticks(log);
    FakeWakeTimer wake(ticks);
    Pinger run(serial, ticks, wake);
    RecordingMessageBox box(log);
    RecordingBeep beep(log);
    FakeNotifyIcon tray(log);
    FakeLifetime lifetime(log);
    frmWendrel form(Platform{ serial, box, beep, tray, lifetime }, run);

    QCOMPARE(log.entries, QStringList{ "port:1" }); // the port is chosen, not opened
    QCOMPARE(serial.commPort(), Integer(1));
    QVERIFY(!serial.portOpen());
    const auto &c = form.controls();
    QCOMPARE(c.Text1->text(), "00");
    QCOMPARE(c.Text2->text(), "00");
    QCOMPARE(c.Text3->text(), "00");
    QVERIFY(isLit(form, c.Com1));
    QVERIFY(isDark(form, c.Com2));
    for (const QLabel *lamp : c.Image1)
        QVERIFY(isDark(form, lamp));
    const WindowState &s = form.state();
    QCOMPARE(s.Running, Integer(0));
    QCOMPARE(s.PingIntervalMs, 0);
    QCOMPARE(s.HoursMs, 0);
    QCOMPARE(s.MinutesMs, 0);
    QCOMPARE(s.SecondsCs, 0);
    QCOMPARE(s.LampIndex, Integer(0));
    QVERIFY(!c.Timer1->isActive());
    QVERIFY(!c.Timer2->isActive());
    QCOMPARE(c.chkSound->checkState(), Qt::Unchecked);
    QCOMPARE(c.Command2->text(), "St&art");

    // Before any bar has moved the interval is zero.
    form.Command2_Click();
    QCOMPARE(box.titles, QStringList{ "Config Error" });
    QCOMPARE(box.texts, QStringList{ "Please Set Time." });
}

void tst_Handlers::exitClosesPortThenEnds_data()
{
    QTest::addColumn<bool>("running");
    QTest::newRow("idle, port closed") << false;
    QTest::newRow("pinging, port open") << true;
}

void tst_Handlers::exitClosesPortThenEnds()
{
    QFETCH(bool, running);
    Rig rig;
    if (running)
        startRun(rig, 0, 0, 1);

    rig.form().Command1_Click();
    const QStringList expected = running ? QStringList{ "close", "end:0" } : QStringList{ "end:0" };
    QCOMPARE(rig.log.entries, expected);
    QVERIFY(rig.form().hasEnded());

    // Nothing runs afterwards: no close query, no pending tick, no further byte.
    rig.ticks.advance(5000);
    rig.form().dispatch([&] { rig.form().Timer1_Timer(); });
    rig.form().close();
    QCOMPARE(rig.log.entries, expected);
    QVERIFY(rig.box.texts.isEmpty());
}

void tst_Handlers::scrollHandlers_data()
{
    QTest::addColumn<int>("bar");
    QTest::addColumn<int>("setting");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Long>("field");
    QTest::newRow("hours 1") << 1 << 1 << "01" << Long(3600000);
    QTest::newRow("hours 24") << 1 << 24 << "24" << Long(86400000);
    QTest::newRow("minutes 1") << 2 << 1 << "01" << Long(60000);
    QTest::newRow("minutes 59") << 2 << 59 << "59" << Long(3540000);
    QTest::newRow("seconds 1") << 3 << 1 << "01" << Long(100);
    QTest::newRow("seconds 59") << 3 << 59 << "59" << Long(5900);
}

void tst_Handlers::scrollHandlers()
{
    QFETCH(int, bar);
    QFETCH(int, setting);
    QFETCH(QString, text);
    QFETCH(Long, field);
    Rig rig;
    const auto &c = rig.c();
    ReversedScrollBar *bars[] = { c.VScroll1, c.VScroll2, c.VScroll3 };
    QLineEdit *texts[] = { c.Text1, c.Text2, c.Text3 };
    Long WindowState::*fields[]
            = { &WindowState::HoursMs, &WindowState::MinutesMs, &WindowState::SecondsCs };

    bars[bar - 1]->setSetting(setting);
    QCOMPARE(texts[bar - 1]->text(), text);
    QCOMPARE(rig.s().*fields[bar - 1], field);

    bars[bar - 1]->setSetting(0); // and back to nothing
    QCOMPARE(texts[bar - 1]->text(), "00");
    QCOMPARE(rig.s().*fields[bar - 1], 0);
}

void tst_Handlers::assigningSameValueRaisesNothing()
{
    Rig rig;
    const auto &c = rig.c();
    c.VScroll2->setSetting(7);
    QCOMPARE(c.Text2->text(), "07");
    c.Text2->setText("typed"); // typing changes nothing else
    rig.s().MinutesMs = 123;
    c.VScroll2->setSetting(7);
    QCOMPARE(c.Text2->text(), "typed");
    QCOMPARE(rig.s().MinutesMs, 123);
}

void tst_Handlers::intervalSum_data()
{
    QTest::addColumn<int>("hours");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<Long>("interval");
    QTest::newRow("one second") << 0 << 0 << 1 << Long(1000);
    QTest::newRow("1:30:15") << 1 << 30 << 15 << Long(5415000);
    QTest::newRow("largest") << 24 << 59 << 59 << Long(89999000);
}

void tst_Handlers::intervalSum()
{
    QFETCH(int, hours);
    QFETCH(int, minutes);
    QFETCH(int, seconds);
    QFETCH(Long, interval);
    Rig rig;
    setInterval(rig, hours, minutes, seconds);
    rig.form().Command2_Click();
    QCOMPARE(rig.s().PingIntervalMs, interval);
    QCOMPARE(rig.s().Running, Integer(1));
    QVERIFY(rig.box.texts.isEmpty());
}

void tst_Handlers::startSequence()
{
    Rig rig;
    setInterval(rig, 0, 1, 0);
    rig.log.entries.clear();
    rig.ticks.now = 5000;
    rig.form().Command2_Click();

    // One byte at once, then the tick count, which is read last.
    QCOMPARE(rig.log.entries, (QStringList{ "open", CR, "tick:5000" }));
    const auto &c = rig.c();
    QCOMPARE(rig.s().Running, Integer(1));
    QCOMPARE(rig.count().LastPingTick, 5000);
    QCOMPARE(c.Command2->text(), "S&top");
    QVERIFY(!c.Command3->isEnabled());
    QVERIFY(!c.Command4->isEnabled());
    QVERIFY(!c.VScroll1->isEnabled() && !c.VScroll2->isEnabled() && !c.VScroll3->isEnabled());
    QVERIFY(c.Timer1->isActive());
    QVERIFY(c.Timer2->isActive());
    QCOMPARE(litLamps(rig.form()), QList<int>{}); // lamps wait for the first chaser tick
}

void tst_Handlers::stopSequence()
{
    Rig rig;
    startRun(rig, 1, 2, 3);
    for (int i = 0; i < 5; ++i)
        rig.form().Timer2_Timer();
    rig.ticks.advance(1000);
    rig.form().Timer1_Timer();
    rig.log.entries.clear();

    rig.form().Command2_Click();
    QCOMPARE(rig.log.entries, QStringList{ "close" });
    const auto &c = rig.c();
    QCOMPARE(rig.s().Running, Integer(0));
    QCOMPARE(c.Command2->text(), "&Start");
    QVERIFY(c.Command3->isEnabled() && c.Command4->isEnabled());
    QVERIFY(c.VScroll1->isEnabled() && c.VScroll2->isEnabled() && c.VScroll3->isEnabled());
    QVERIFY(!c.Timer1->isActive() && !c.Timer2->isActive());
    QCOMPARE(litLamps(rig.form()), QList<int>{});
    QCOMPARE(rig.s().LampIndex, Integer(0));
    QCOMPARE(c.VScroll1->setting() + c.VScroll2->setting() + c.VScroll3->setting(), 0);
    QCOMPARE(rig.s().HoursMs + rig.s().MinutesMs + rig.s().SecondsCs, 0);
    QCOMPARE(c.Text1->text() + c.Text2->text() + c.Text3->text(), "000000");
    QCOMPARE(rig.s().PingIntervalMs, 3723000); // kept until the next press

    rig.form().Command2_Click();
    QCOMPARE(rig.box.texts, QStringList{ "Please Set Time." });
    QCOMPARE(rig.s().Running, Integer(0));
}

void tst_Handlers::stopWritesZeroIntoBarsAlreadyAtZero()
{
    Rig rig;
    startRun(rig, 0, 0, 30);
    rig.ticks.advance(250);
    rig.form().Timer1_Timer(); // the countdown now shows in all three boxes
    QCOMPARE(rig.c().Text3->text(), "29");
    rig.c().Text1->setText("12");
    rig.form().Command2_Click();
    QCOMPARE(rig.c().Text1->text(), "00");
    QCOMPARE(rig.c().Text3->text(), "00");
}

void tst_Handlers::portErrorsAtOpen_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("message");
    QTest::newRow("in use") << int(SerialErrors::PortInUse) << "Port is in use!";
    QTest::newRow("no such port") << int(SerialErrors::InvalidPortNumber) << "Invalid Port Number!";
    QTest::newRow("permission denied") << int(SerialErrors::PermissionDenied)
                                       << "Wendrel may not use /dev/fake1: permission denied.";
    QTest::newRow("other failure") << int(SerialErrors::OpenFailed)
                                   << "Wendrel cannot open /dev/fake1: refused by the test.";
    QTest::newRow("it opens, the write fails")
            << int(SerialErrors::PortLost)
            << "Wendrel opened /dev/fake1, but a write to it failed: Input/output error.";
}

void tst_Handlers::portErrorsAtOpen()
{
    QFETCH(int, number);
    QFETCH(QString, message);
    Rig rig;
    setInterval(rig, 0, 0, 5);
    (number == SerialErrors::PortLost ? rig.serial.failOutputWith : rig.serial.failOpenWith)
            = number;
    rig.serial.owningGroup = "dialout";
    rig.form().Command2_Click();

    QCOMPARE(rig.box.titles, QStringList{ "Com Port Error" });
    QVERIFY2(rig.box.texts.value(0).startsWith(message), qPrintable(rig.box.texts.value(0)));
    if (number == SerialErrors::PermissionDenied)
        QVERIFY(rig.box.texts.value(0).contains("the group \"dialout\""));
    const auto &c = rig.c();
    QCOMPARE(rig.s().Running, Integer(0));
    QCOMPARE(c.Command2->text(), "St&art");
    QVERIFY(c.Command3->isEnabled() && c.VScroll3->isEnabled());
    QVERIFY(!c.Timer1->isActive() && !c.Timer2->isActive());
    QVERIFY(rig.serial.sent.isEmpty());
    QCOMPARE(rig.s().PingIntervalMs, 5000);

    // The next press tries to start again rather than taking the stop path.
    rig.serial.failOpenWith.reset();
    rig.serial.failOutputWith.reset();
    rig.form().Command2_Click();
    QCOMPARE(rig.s().Running, Integer(1));
    QCOMPARE(rig.serial.sent, QByteArray("\r"));
}

void tst_Handlers::failedFirstWriteLeavesIdle()
{
    Rig rig;
    setInterval(rig, 0, 0, 5);
    rig.serial.failOutputWith = SerialErrors::PortLost;
    rig.form().Command2_Click();
    QCOMPARE(rig.box.titles, QStringList{ "Com Port Error" });
    QCOMPARE(rig.s().Running, Integer(0));
    QVERIFY(!rig.serial.portOpen());
    QCOMPARE(rig.c().Command2->text(), "St&art");
    QVERIFY(!rig.c().Timer1->isActive());
}

void tst_Handlers::countdownDisplay_data()
{
    QTest::addColumn<Long>("remaining");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("pings");
    QTest::newRow("86400000") << Long(86400000) << "24 00 00" << false;
    QTest::newRow("3600000") << Long(3600000) << "01 00 00" << false;
    QTest::newRow("3599999") << Long(3599999) << "00 59 59" << false;
    QTest::newRow("60000") << Long(60000) << "00 01 00" << false;
    QTest::newRow("59999") << Long(59999) << "00 00 59" << false;
    QTest::newRow("999") << Long(999) << "00 00 00" << false;
    QTest::newRow("0") << Long(0) << "00 00 00" << true;
    // The tick that pings comes up to a tick late: it shows no time left.
    QTest::newRow("-50, the usual ping tick") << Long(-50) << "00 00 00" << true;
    QTest::newRow("-60001, a minute late") << Long(-60001) << "00 00 00" << true;
}

void tst_Handlers::countdownDisplay()
{
    QFETCH(Long, remaining);
    QFETCH(QString, shown);
    QFETCH(bool, pings);
    Rig rig;
    rig.ticks.now = 1000;
    startRun(rig, 24, 59, 59);
    rig.ticks.advance(89999000 - remaining);
    rig.form().Timer1_Timer();

    const auto &c = rig.c();
    QCOMPARE(rig.count().RemainingMs, remaining);
    QCOMPARE(QStringList({ c.Text1->text(), c.Text2->text(), c.Text3->text() }).join(' '), shown);
    QCOMPARE(rig.count().HoursText + ' ' + rig.count().MinutesText + ' ' + rig.count().SecondsText,
             shown);
    QCOMPARE(rig.serial.sent.size(), pings ? 2 : 1);
}

void tst_Handlers::pingTickOrder()
{
    Rig rig;
    startRun(rig, 0, 0, 1);
    rig.c().chkSound->setChecked(true);
    rig.ticks.now = 1000;
    rig.ticks.stepPerReading = 7; // every reading comes a little later
    rig.form().Timer1_Timer();
    // Display first, then the byte, then the second reading, then the beep.
    QCOMPARE(rig.log.entries, (QStringList{ "tick:1000", CR, "tick:1007", "beep" }));
    QCOMPARE(rig.count().NowTick, 1000);
    QCOMPARE(rig.count().LastPingTick, 1007);
}

void tst_Handlers::beepRule_data()
{
    QTest::addColumn<int>("checkState");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("beeps");
    QTest::newRow("unchecked") << int(Qt::Unchecked) << 0 << 0;
    QTest::newRow("checked") << int(Qt::Checked) << 1 << 1;
    QTest::newRow("grayed") << int(Qt::PartiallyChecked) << 2 << 0;
}

void tst_Handlers::beepRule()
{
    QFETCH(int, checkState);
    QFETCH(int, value);
    QFETCH(int, beeps);
    Rig rig;
    startRun(rig, 0, 0, 2);
    rig.c().chkSound->setTristate(true);
    rig.c().chkSound->setCheckState(Qt::CheckState(checkState));
    QCOMPARE(rig.form().chkSoundValue(), Integer(value));
    rig.ticks.advance(1000);
    rig.form().Timer1_Timer(); // no ping yet, no beep
    QCOMPARE(rig.beep.count, 0);
    rig.ticks.advance(1000);
    rig.form().Timer1_Timer();
    QCOMPARE(rig.beep.count, beeps);
}

void tst_Handlers::pingSpacingAcrossSignChangeAndWrap_data()
{
    QTest::addColumn<Long>("startTick");
    QTest::newRow("ordinary") << Long(123456);
    QTest::newRow("sign change") << Long(2147483647 - 20000);
    QTest::newRow("wrap to zero") << Long(-20000);
}

// Ten minutes of 250 ms ticks with a 7 s interval, across the point where the
// tick count changes sign or wraps: every ping comes 7 s after the last one.
void tst_Handlers::pingSpacingAcrossSignChangeAndWrap()
{
    QFETCH(Long, startTick);
    Rig rig;
    rig.ticks.now = startTick;
    startRun(rig, 0, 0, 7);
    QList<Long> pingTicks{ rig.count().LastPingTick };
    for (int i = 0; i < 4 * 600; ++i) {
        rig.ticks.advance(250);
        rig.form().Timer1_Timer();
        if (rig.count().LastPingTick != pingTicks.last())
            pingTicks << rig.count().LastPingTick;
    }
    QCOMPARE(rig.serial.sent, QByteArray(pingTicks.size(), '\r'));
    QCOMPARE(pingTicks.size(), 1 + 600 / 7);
    for (int i = 1; i < pingTicks.size(); ++i)
        QCOMPARE(elapsedTicks(pingTicks[i - 1], pingTicks[i]), 7000);
    QVERIFY(!rig.form().hasEnded());
}

// A ping tick reads the clock twice; the count restarts from the second reading,
// so a slow write delays the next ping by its own duration.
void tst_Handlers::slowWriteDelaysNextPing()
{
    Rig rig;
    startRun(rig, 0, 0, 1); // LastPingTick 0
    for (int i = 0; i < 3; ++i) {
        rig.ticks.advance(250);
        rig.form().Timer1_Timer();
    }
    QCOMPARE(rig.serial.sent.size(), 1);
    rig.ticks.stepPerReading = 40; // the write takes 40 ms
    rig.ticks.advance(250);
    rig.form().Timer1_Timer();
    QCOMPARE(rig.serial.sent.size(), 2);
    QCOMPARE(rig.count().NowTick, 1000);
    QCOMPARE(rig.count().LastPingTick, 1040);

    rig.ticks.stepPerReading = 0;
    rig.ticks.now = 2039;
    rig.form().Timer1_Timer();
    QCOMPARE(rig.serial.sent.size(), 2);
    rig.ticks.now = 2040;
    rig.form().Timer1_Timer();
    QCOMPARE(rig.serial.sent.size(), 3);
}

void tst_Handlers::lampChaserCycle()
{
    Rig rig;
    startRun(rig, 0, 0, 1);
    rig.form().Timer2_Timer();
    QCOMPARE(litLamps(rig.form()), QList<int>{ 1 }); // the first tick lights lamp 1
    for (int tick = 2; tick <= 25; ++tick) {
        rig.form().Timer2_Timer();
        QCOMPARE(litLamps(rig.form()), QList<int>{ tick % 12 });
        QCOMPARE(rig.s().LampIndex, Integer(tick % 12));
    }
    QVERIFY(isLit(rig.form(), rig.c().Com1)); // the port lamps never change meanwhile
    QVERIFY(isDark(rig.form(), rig.c().Com2));
}

void tst_Handlers::stopMidCycleDarkensAndRestarts()
{
    Rig rig;
    startRun(rig, 0, 0, 1);
    for (int i = 0; i < 7; ++i)
        rig.form().Timer2_Timer();
    QCOMPARE(litLamps(rig.form()), QList<int>{ 7 });
    rig.form().Command2_Click();
    QCOMPARE(litLamps(rig.form()), QList<int>{});
    QCOMPARE(rig.s().LampIndex, Integer(0));

    startRun(rig, 0, 0, 1);
    rig.form().Timer2_Timer();
    QCOMPARE(litLamps(rig.form()), QList<int>{ 1 });
}

void tst_Handlers::portButtons()
{
    Rig rig;
    rig.form().Command4_Click();
    QCOMPARE(rig.serial.commPort(), Integer(2));
    QVERIFY(isDark(rig.form(), rig.c().Com1) && isLit(rig.form(), rig.c().Com2));
    rig.form().Command3_Click();
    QCOMPARE(rig.serial.commPort(), Integer(1));
    QVERIFY(isLit(rig.form(), rig.c().Com1) && isDark(rig.form(), rig.c().Com2));
    QCOMPARE(rig.log.entries, (QStringList{ "port:2", "port:1" }));

    // A run on port 2 keeps port 2 selected after its stop.
    rig.form().Command4_Click();
    startRun(rig, 0, 0, 1);
    rig.form().Command2_Click();
    QCOMPARE(rig.serial.commPort(), Integer(2));
    QVERIFY(isLit(rig.form(), rig.c().Com2));
}

void tst_Handlers::lostDeviceWaitsThenResumes_data()
{
    QTest::addColumn<bool>("byWriteFailure");
    QTest::addColumn<bool>("windowShown");
    QTest::newRow("unplugged, window shown") << false << true;
    QTest::newRow("unplugged, hidden") << false << false;
    QTest::newRow("write fails at a ping tick, hidden") << true << false;
}

// Running, then waiting for the device, then running again; then waiting, and
// Stop ends the wait as it ends a run.
void tst_Handlers::lostDeviceWaitsThenResumes()
{
    QFETCH(bool, byWriteFailure);
    QFETCH(bool, windowShown);
    Rig rig;
    if (windowShown)
        rig.form().show();
    const auto &c = rig.c();
    startRun(rig, 0, 0, 2);
    rig.ticks.advance(1000);
    rig.form().Timer1_Timer();
    rig.form().Timer2_Timer();
    rig.form().Timer2_Timer();
    rig.log.entries.clear();

    if (byWriteFailure) {
        rig.serial.failOutputWith = SerialErrors::PortLost;
        rig.ticks.advance(1000);
        rig.form().dispatch([&] { rig.form().Timer1_Timer(); });
        rig.serial.failOutputWith.reset();
    } else {
        rig.serial.loseDevice();
    }
    const QString lostSays = windowShown ? "notice:Com Port Error:" : "notify:Com Port Error:";
    QCOMPARE(rig.log.only(lostSays).size(), 1);
    QVERIFY(rig.log.only(lostSays).value(0).contains("/dev/fake1 was lost"));
    QVERIFY(rig.log.only(windowShown ? "notify:" : "notice:").isEmpty());
    QVERIFY(rig.log.only("box:").isEmpty());
    QVERIFY(!rig.form().hasEnded());
    QVERIFY(rig.run.isWaiting());
    QCOMPARE(rig.form().windowTitle(), "Wendrel - waiting for /dev/fake1");
    QCOMPARE(rig.s().Running, Integer(1));
    QCOMPARE(c.Command2->text(), "S&top");
    QVERIFY(!c.Command3->isEnabled() && !c.VScroll3->isEnabled());
    QVERIFY(!c.Timer1->isActive() && !c.Timer2->isActive());
    QCOMPARE(litLamps(rig.form()), QList<int>{});
    QCOMPARE(rig.s().LampIndex, Integer(0));
    QCOMPARE(c.Text3->text(), byWriteFailure ? "00" : "01"); // the last countdown stays

    // Away still: every retry is quiet, one that opens and fails included.
    rig.serial.failOpenWith = SerialErrors::InvalidPortNumber;
    rig.log.entries.clear();
    rig.run.retry();
    rig.run.retry();
    rig.serial.failOpenWith.reset();
    rig.serial.failOutputWith = SerialErrors::PortLost; // it opens, but takes no write
    rig.run.retry();
    rig.serial.failOutputWith.reset();
    QCOMPARE(rig.log.entries.filter(QRegularExpression("^(open|output|notify|notice|box)")),
             (QStringList{ "open", "open", "open", CR }));
    QVERIFY(rig.run.isWaiting());

    // Back: a carriage return at once, the count from now, both timers again.
    rig.serial.failOpenWith.reset();
    rig.log.entries.clear();
    const Long backAt = rig.ticks.now;
    rig.run.retry();
    QCOMPARE(rig.log.entries.filter(QRegularExpression("^(open|output|tick|notify|box)")),
             (QStringList{ "open", CR, QStringLiteral("tick:%1").arg(backAt),
                           "notify:Wendrel:/dev/fake1 is back. Pinging goes on." }));
    QVERIFY(!rig.run.isWaiting());
    QCOMPARE(rig.form().windowTitle(), "Wendrel");
    QVERIFY(c.Timer1->isActive() && c.Timer2->isActive());
    rig.form().Timer2_Timer();
    QCOMPARE(litLamps(rig.form()), QList<int>{ 1 });
    rig.ticks.advance(1999);
    rig.form().Timer1_Timer();
    QCOMPARE(rig.log.only(CR).size(), 1);
    rig.ticks.advance(1);
    rig.form().Timer1_Timer();
    QCOMPARE(rig.log.only(CR).size(), 2);

    QVERIFY(!rig.box.noticeOpen); // gone by itself

    // Lost again within a minute of the return: only the title tells it (the
    // quiet rule itself is the pinger's, tested there).
    rig.log.entries.clear();
    rig.serial.loseDevice();
    QCOMPARE(rig.form().windowTitle(), "Wendrel - waiting for /dev/fake1");
    QCOMPARE(rig.log.entries.filter(QRegularExpression("^(notify|notice|box)")), QStringList{});

    // The user gives up: idle exactly as Stop leaves it, the notice gone, and
    // a retry already on its way finds nothing to do.
    rig.form().Command2_Click();
    QVERIFY(!rig.box.noticeOpen);
    QVERIFY(!rig.run.isWaiting());
    QCOMPARE(rig.form().windowTitle(), "Wendrel");
    QCOMPARE(rig.s().Running, Integer(0));
    QCOMPARE(c.Command2->text(), "&Start");
    QCOMPARE(c.Text1->text() + c.Text2->text() + c.Text3->text(), "000000");
    QVERIFY(c.Command3->isEnabled());
    rig.log.entries.clear();
    rig.run.retry();
    rig.serial.loseDevice();
    QCOMPARE(rig.log.entries, QStringList{});
}

void tst_Handlers::uncaughtErrorShowsBoxClosesPortAndEnds()
{
    Rig rig;
    startRun(rig, 0, 0, 1);
    // Only a forced record can make the interval sum overflow.
    rig.s().HoursMs = 2147483647;
    rig.s().MinutesMs = 1;
    rig.form().dispatch([&] { rig.form().Command2_Click(); });

    QCOMPARE(rig.log.entries.filter(QRegularExpression("^(close|box|end)")),
             (QStringList{ "close", "box:Wendrel:Run-time error '6':\n\nOverflow", "end:1" }));
    QVERIFY(rig.form().hasEnded());
    QVERIFY(!rig.c().Timer1->isActive());
}

QTEST_MAIN(tst_Handlers)
#include "tst_handlers.moc"
