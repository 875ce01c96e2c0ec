// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The pinger's own rules, on the fakes and the fake clock, with no display:
// one wake per ping with nothing on screen, a suspend that passes the due
// time, the quiet rule for a flapping cable, and a device that opens but
// takes no data. (The real service meets a device that takes no data in
// tst_service.)

#include "fakes.h"

#include "platform/serialmessages.h"

#include <QTest>

// The pinger over fakes, driven as the service drives it: each wake is a
// countdown tick that pings when due. What it says is written into the log.
struct ServiceRig : PingerRig
{
    ServiceRig()
    {
        run.selectPort(1);
        QObject::connect(&run, &Pinger::countdownDue, &run, [this] {
            run.countdown();
            if (run.isDue())
                run.ping();
        });
        QObject::connect(&run, &Pinger::trouble, &run,
                         [this](const QString &message) { log.add("trouble:" + message); });
        QObject::connect(&run, &Pinger::troubleOver, &run,
                         [this](const QString &message) { log.add("over:" + message); });
    }
    // Moves both clocks to the wake and lets it fire.
    void sleepUntilWoken()
    {
        ticks.advance(std::int64_t(std::uint32_t(wake.dueTick()) - std::uint32_t(ticks.now)));
        QVERIFY(wake.fireIfDue());
    }
};

class tst_Pinger : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void oneWakePerPing_data();
    void oneWakePerPing();
    void suspendPastTheDueTimePingsAtResume();
    void quietRuleBelongsToOneRun();
    void unattendedStartWaitsAndStartsOnce();
    void backOnlyOnceAByteHasLeft();
};

void tst_Pinger::oneWakePerPing_data()
{
    QTest::addColumn<Long>("interval");
    QTest::addColumn<int>("pings");
    QTest::newRow("5 min for an hour") << Long(300000) << 12;
    QTest::newRow("1 s for a minute") << Long(1000) << 60;
    QTest::newRow("24:59:59 for two days") << Long(89999000) << 2;
}

// Nothing on screen: the pinger asks to be woken once at the start and once
// per ping, and each ping comes one interval after the last.
void tst_Pinger::oneWakePerPing()
{
    QFETCH(Long, interval);
    QFETCH(int, pings);
    ServiceRig rig;
    rig.ticks.now = 2147483647 - 1000000; // across the tick count's change of sign
    rig.run.startUnattended(interval);
    QCOMPARE(rig.serial.sent, QByteArray(1, '\r'));
    Long last = rig.run.count().LastPingTick;
    for (int ping = 1; ping <= pings; ++ping) {
        rig.sleepUntilWoken();
        QCOMPARE(rig.serial.sent.size(), ping + 1);
        QCOMPARE(elapsedTicks(last, rig.run.count().LastPingTick), interval);
        last = rig.run.count().LastPingTick;
    }
    QCOMPARE(rig.wake.starts, pings + 1);
    QVERIFY(rig.wake.isActive());
}

// The boot-time clock runs on in a suspend, the timers' clock does not: the
// wake is due at resume, and the ping goes out at once, then at the interval.
void tst_Pinger::suspendPastTheDueTimePingsAtResume()
{
    ServiceRig rig;
    rig.run.startUnattended(300000);
    rig.ticks.advance(120000);
    QVERIFY(!rig.wake.isDue());
    rig.ticks.now += 3600000; // an hour asleep
    QVERIFY(rig.wake.fireIfDue());
    QCOMPARE(rig.serial.sent.size(), 2);
    QCOMPARE(rig.run.count().LastPingTick, rig.ticks.now);
    rig.sleepUntilWoken();
    QCOMPARE(rig.serial.sent.size(), 3);
    QCOMPARE(rig.run.count().ElapsedMs, 300000);
    QCOMPARE(rig.wake.starts, 3);
}

// A loose plug comes and goes: lost again within a minute of its return, the
// device is not told of unless it stays away a minute. A new run starts with
// nothing remembered.
void tst_Pinger::quietRuleBelongsToOneRun()
{
    ServiceRig rig;
    rig.run.startUnattended(5000);
    rig.serial.loseDevice();
    QCOMPARE(rig.log.only("trouble:").size(), 1); // the first loss is told
    rig.run.retry();
    QCOMPARE(rig.log.only("over:"), QStringList{ "over:" + portBackMessage("/dev/fake1") });

    rig.log.entries.clear();
    rig.ticks.advance(30000);
    rig.serial.loseDevice(); // half a minute after the return: quiet
    rig.serial.failOpenWith = SerialErrors::InvalidPortNumber;
    for (int retry = 1; retry < Pinger::QuietAfterReturnMs / Pinger::ReconnectPeriodMs; ++retry)
        rig.run.retry();
    QVERIFY(rig.log.only("trouble:").isEmpty());
    rig.run.retry(); // away a minute now
    QCOMPARE(rig.log.only("trouble:").size(), 1);

    rig.serial.failOpenWith.reset();
    rig.run.retry();
    rig.run.stop();
    rig.log.entries.clear();
    rig.run.startUnattended(5000);
    rig.serial.loseDevice(); // a new run's first loss, within a minute of the last return
    QCOMPARE(rig.log.only("trouble:").size(), 1);
}

// A device missing at an unattended start is waited for without a word, told
// after a minute, and its first open is the start: no "back", and a loss
// right after it is told.
void tst_Pinger::unattendedStartWaitsAndStartsOnce()
{
    ServiceRig rig;
    rig.serial.failOpenWith = SerialErrors::InvalidPortNumber;
    rig.run.startUnattended(1000);
    QVERIFY(rig.run.isWaiting());
    QVERIFY(rig.serial.sent.isEmpty());
    QCOMPARE(rig.run.status(), "Waiting for /dev/fake1: refused by the test");
    for (int retry = 0; retry < 59; ++retry)
        rig.run.retry();
    QVERIFY(rig.log.only("trouble:").isEmpty());
    rig.run.retry();
    QCOMPARE(rig.log.only("trouble:").size(), 1);

    rig.serial.failOpenWith.reset();
    rig.run.retry();
    QCOMPARE(rig.serial.sent, QByteArray(1, '\r'));
    QCOMPARE(rig.run.status(), "Pinging /dev/fake1 every 1 s");
    QCOMPARE(rig.log.only("over:"), QStringList{ "over:" + portFoundMessage("/dev/fake1") });
    rig.serial.loseDevice();
    QCOMPARE(rig.log.only("trouble:").size(), 2);
}

// A device that opens again but takes nothing is not back yet.
void tst_Pinger::backOnlyOnceAByteHasLeft()
{
    ServiceRig rig;
    rig.run.startUnattended(5000);
    rig.serial.loseDevice();
    rig.serial.holdOutput = true;
    rig.run.retry();
    QVERIFY(!rig.run.isWaiting());
    QVERIFY(rig.log.only("over:").isEmpty());
    rig.serial.releaseOutput();
    QCOMPARE(rig.log.only("over:"), QStringList{ "over:" + portBackMessage("/dev/fake1") });
}

QTEST_GUILESS_MAIN(tst_Pinger)
#include "tst_pinger.moc"
