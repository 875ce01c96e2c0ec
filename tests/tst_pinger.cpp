// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The pinger's own rules, on the fakes and the fake clock, with no display:
// one wake per ping with nothing on screen, a suspend that passes the due
// time, and one message per outage however the device comes and goes. (The
// real service meets a device that takes no data in tst_service.)

#include "fakes.h"

#include "engine/outage.h"
#include "engine/serialmessages.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#include <optional>

// What the run writes in the log, one entry a message.
static QStringList logged;
static void keepLogged(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    logged << qFormatLogMessage(type, context, text);
}

// The pinger over fakes, driven as the service drives it: each wake is a
// countdown tick that pings when due. What it says is written into the log,
// and what it claims is held against what the port did: a tick that says it
// pinged sent a byte that left, a return is said once a byte has left, and
// no carriage return leaves within an interval of the last one but at a
// device's return.
struct ServiceRig : PingerRig
{
    ServiceRig()
    {
        run.selectPort(1);
        QObject::connect(&run, &Pinger::countdownDue, &run, [this] {
            const qsizetype before = serial.sent.size();
            const bool pinged = run.tick();
            const bool left = serial.sent.size() > before;
            if (pinged != left)
                log.add("untrue:a tick said it pinged, and none left, or the reverse");
            if (left && elapsedTicks(leftAt, ticks.now) < run.intervalMs())
                log.add("untrue:a ping within an interval of the last carriage return");
            if (left)
                leftAt = ticks.now;
        });
        QObject::connect(&run, &Pinger::resumed, &run, [this] {
            if (serial.outputPending())
                log.add("untrue:resumed with the carriage return still waiting");
        });
        QObject::connect(&run, &Pinger::trouble, &run,
                         [this](const QString &message) { log.add("trouble:" + message); });
        QObject::connect(&run, &Pinger::troubleOver, &run,
                         [this](const QString &message) { log.add("over:" + message); });
    }
    // What waited leaves now: the next carriage return is a full interval
    // after it.
    void release()
    {
        serial.releaseOutput();
        leftAt = ticks.now;
    }
    // Tries the device as the reconnect timer does.
    void retry()
    {
        const qsizetype before = serial.sent.size();
        run.retry();
        if (serial.sent.size() > before)
            leftAt = ticks.now;
    }
    Long leftAt = 0; // when the last carriage return left
    // Moves both clocks to the wake and lets it fire.
    void sleepUntilWoken()
    {
        ticks.advance(std::int64_t(std::uint32_t(wake.dueTick()) - std::uint32_t(ticks.now)));
        QVERIFY(wake.fireIfDue());
    }
};

Q_DECLARE_METATYPE(Outage::Kind)

class tst_Pinger : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void oneWakePerPing_data();
    void oneWakePerPing();
    void suspendPastTheDueTimePingsAtResume();
    void outageIsToldOnce_data();
    void outageIsToldOnce();
    void aChangeIsSaidOnceAMinute_data();
    void aChangeIsSaidOnceAMinute();
    void oneOutageOneMessage_data();
    void oneOutageOneMessage();
    void anotherAdapterIsSaidToBeAnother();
    void startIsAllOrNothing_data();
    void startIsAllOrNothing();
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

void tst_Pinger::outageIsToldOnce_data()
{
    QTest::addColumn<Outage::Kind>("kind");
    QTest::addColumn<Long>("sinceLastReturn"); // -1: no return yet
    QTest::addColumn<bool>("toldAtOnce");
    QTest::newRow("a loss") << Outage::Kind::Loss << Long(-1) << true;
    QTest::newRow("a loss 59 s after a return") << Outage::Kind::Loss << Long(59999) << false;
    QTest::newRow("a loss a minute after a return") << Outage::Kind::Loss << Long(60000) << true;
    QTest::newRow("an unattended start") << Outage::Kind::StartWait << Long(-1) << false;
}

// The bookkeeping alone: told at once, or after a minute away in a quiet
// spell, never twice; its end told exactly when its start was.
void tst_Pinger::outageIsToldOnce()
{
    QFETCH(Outage::Kind, kind);
    QFETCH(Long, sinceLastReturn);
    QFETCH(bool, toldAtOnce);
    Outage outage;
    if (sinceLastReturn >= 0) {
        outage.begin(Outage::Kind::Loss, 0);
        outage.end(1000);
    }
    const Long start = 1000 + std::max<Long>(0, sinceLastReturn);
    QCOMPARE(outage.begin(kind, start), toldAtOnce);
    int toldLater = 0;
    for (Long now = start; now <= start + 120000; now += 1000)
        toldLater += outage.dueToTell(now) ? 1 : 0;
    QCOMPARE(toldLater, toldAtOnce ? 0 : 1);
    QVERIFY(outage.end(start + 120000));
    QVERIFY(!outage.end(start + 121000) && !outage.isOn());
}

void tst_Pinger::aChangeIsSaidOnceAMinute_data()
{
    QTest::addColumn<QList<Long>>("asked"); // ticks at which a change would be said
    QTest::addColumn<QList<bool>>("said");
    QTest::newRow("the first at once, then not within the minute")
            << QList<Long>{ 5000, 6000, 64999 } << QList<bool>{ true, false, false };
    QTest::newRow("again a minute after the last said")
            << QList<Long>{ 5000, 65000, 66000, 125000 } << QList<bool>{ true, true, false, true };
    QTest::newRow("across the tick count's change of sign")
            << QList<Long>{ 2147480000, -2147480000, -2147420000 }
            << QList<bool>{ true, false, true };
}

// The once-a-minute rule for a change of an outage's reason, on its own.
void tst_Pinger::aChangeIsSaidOnceAMinute()
{
    QFETCH(QList<Long>, asked);
    QFETCH(QList<bool>, said);
    OncePerMinute changes;
    QList<bool> answers;
    for (const Long now : asked)
        answers << changes.mayTell(now);
    QCOMPARE(answers, said);
}

// One outage, one message: a script of what the device does, on the fake
// clock, against what the user is told and what the log says.
//   every:N                 later starts ping every N ms (5000 before)
//   clock:N                 the tick count reads N
//   start / start-missing   an unattended start, the device there or not
//   lose                    the device fails during the run
//   race                    it fails, and a ping falls due before the loss is told
//   away:N                  N retries a second apart, the device missing
//   denied:N                N retries a second apart, the open refused
//   nowrite:N               N retries a second apart: it opens, the write fails
//   flap:N                  N retries a second apart, missing and failing by turns
//   held                    a retry a second later: it opens, the byte waits
//   hold / release          the device takes nothing from now / what waits leaves
//   back                    a retry a second later that works
//   ping:N                  N wakes, each a countdown tick that pings when due
//   wait:N                  N ms pass
//   stop                    Stop, and a new unattended start
// The log's "trying it once a second" lines are an outage's first and each
// change of its reason; the status and the last thing told are the latest
// try's.
void tst_Pinger::oneOutageOneMessage_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("troubles");
    QTest::addColumn<int>("overs");
    QTest::addColumn<int>("lossLines");
    QTest::addColumn<int>("awayLines");
    QTest::addColumn<QString>("status");   // at the end, where given
    QTest::addColumn<QString>("lastTold"); // part of it, where given
    QTest::newRow("a loss, told at once") << "start lose away:3 back" << 1 << 1 << 1 << 2 << ""
                                          << "";
    QTest::newRow("opens but takes no write for 75 s")
            << "start lose nowrite:75 back" << 1 << 1 << 1 << 2 << ""
            << "";
    QTest::newRow("unattended start, no write for 10 s")
            << "start-missing nowrite:10 back" << 0 << 0 << 0 << 2 << ""
            << "";
    QTest::newRow("unattended start, away a minute")
            << "start-missing away:59 wait:1 away:1 back" << 1 << 1 << 0 << 1 << ""
            << "";
    QTest::newRow("reopened with its return waiting, lost again, back")
            << "start lose held lose away:2 back" << 1 << 1 << 1 << 2 << ""
            << "";
    QTest::newRow("reopened, its return leaves at last")
            << "start lose held release" << 1 << 1 << 1 << 1 << "Pinging /dev/fake1 every 5 s"
            << "";
    QTest::newRow("lost again half a minute after a return")
            << "start lose back wait:30000 lose away:58" << 1 << 1 << 2 << 3 << ""
            << "";
    QTest::newRow("... and away a minute")
            << "start lose back wait:30000 lose away:60" << 2 << 1 << 2 << 3 << ""
            << "";
    QTest::newRow("a new run remembers nothing")
            << "start lose back stop lose" << 2 << 1 << 2 << 2 << ""
            << "";
    QTest::newRow("missing, then it opens and every write fails")
            << "start-missing away:3 nowrite:80" << 1 << 0 << 0 << 2
            << "Waiting for /dev/fake1: it opens, but a write fails (Input/output error)"
            << "but a write to it failed: Input/output error";
    QTest::newRow("a ping's write fails, and every write after: one line")
            << "start writefails nowrite:30" << 1 << 0 << 1 << 1
            << "Waiting for /dev/fake1: it opens, but a write fails (Input/output error)"
            << "";
    QTest::newRow("missing, then not permitted: told with the advice")
            << "start-missing away:3 denied:70" << 1 << 0 << 0 << 2
            << "Waiting for /dev/fake1: Permission denied"
            << "the group \"dialout\"";
    QTest::newRow("a flapping cable: a change a minute at the most")
            << "start lose flap:120" << 1 << 0 << 1 << 3
            << "Waiting for /dev/fake1: it opens, but a write fails (Input/output error)"
            << "";
    QTest::newRow("lost as a ping falls due: the loss's own reason")
            << "start race away:1 back" << 1 << 1 << 1 << 2 << ""
            << "(gone)";
    QTest::newRow("output held: no beep, and a full interval after it leaves")
            << "start hold ping:4 wait:2500 release ping:2" << 1 << 1 << 0 << 0
            << "Pinging /dev/fake1 every 5 s"
            << "";
    QTest::newRow("takes no data while it comes back, then takes it")
            << "start lose held ping:4 release ping:1" << 1 << 1 << 1 << 1
            << "Pinging /dev/fake1 every 5 s"
            << "";
    QTest::newRow("no quiet minute 2^32 ms after a return")
            << "every:89999000 start lose back ping:47 wait:65044296 lose" << 2 << 1 << 2 << 2 << ""
            << "";
    QTest::newRow("the quiet minute across the tick count's change of sign")
            << "clock:2147460000 start lose back wait:30000 lose away:58" << 1 << 1 << 2 << 3 << ""
            << "";
}

void tst_Pinger::oneOutageOneMessage()
{
    QFETCH(QString, script);
    QFETCH(int, troubles);
    QFETCH(int, overs);
    QFETCH(int, lossLines);
    QFETCH(int, awayLines);
    QFETCH(QString, status);
    QFETCH(QString, lastTold);
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepLogged);
    const auto restore = qScopeGuard([previous] { qInstallMessageHandler(previous); });
    ServiceRig rig;
    rig.serial.owningGroup = "dialout";
    Long interval = 5000;
    const auto retries = [&rig](int count, std::optional<int> open, std::optional<int> write,
                                bool flap = false) {
        for (int retry = 0; retry < count; ++retry) {
            rig.ticks.advance(Pinger::ReconnectPeriodMs);
            const bool missing = flap && retry % 2 == 0;
            rig.serial.failOpenWith = missing ? SerialErrors::InvalidPortNumber : open;
            rig.serial.failOutputWith = flap && !missing ? SerialErrors::PortLost : write;
            rig.retry();
        }
        rig.serial.failOpenWith.reset();
        rig.serial.failOutputWith.reset();
    };
    for (const QString &step : script.split(' ')) {
        const QString verb = step.section(':', 0, 0);
        const qint64 count = step.section(':', 1).toLongLong();
        if (verb == "every") {
            interval = Long(count);
        } else if (verb == "clock") {
            rig.ticks.now = Long(count);
        } else if (verb == "start" || verb == "start-missing" || verb == "stop") {
            rig.run.stop();
            if (verb == "start-missing")
                rig.serial.failOpenWith = SerialErrors::InvalidPortNumber;
            rig.run.startUnattended(interval);
            rig.leftAt = rig.ticks.now;
            rig.serial.failOpenWith.reset();
        } else if (verb == "lose") {
            rig.serial.loseDevice();
        } else if (verb == "writefails") {
            rig.serial.failOutputWith = SerialErrors::PortLost;
            rig.sleepUntilWoken();
            rig.serial.failOutputWith.reset();
        } else if (verb == "race") {
            rig.serial.loseDeviceLater();
            rig.sleepUntilWoken();
            QCoreApplication::sendPostedEvents();
        } else if (verb == "away") {
            retries(int(count), SerialErrors::InvalidPortNumber, {});
        } else if (verb == "denied") {
            retries(int(count), SerialErrors::PermissionDenied, {});
        } else if (verb == "nowrite") {
            retries(int(count), {}, SerialErrors::PortLost);
        } else if (verb == "flap") {
            retries(int(count), {}, {}, true);
        } else if (verb == "held") {
            rig.serial.holdOutput = true;
            retries(1, {}, {});
        } else if (verb == "hold") {
            rig.serial.holdOutput = true;
        } else if (verb == "release") {
            rig.release();
        } else if (verb == "back") {
            rig.serial.holdOutput = false;
            retries(1, {}, {});
        } else if (verb == "ping") {
            for (int wake = 0; wake < count; ++wake)
                rig.sleepUntilWoken();
        } else if (verb == "wait") {
            rig.ticks.advance(count);
        }
    }
    QCOMPARE(rig.log.only("untrue:"), QStringList());
    QCOMPARE(rig.log.only("trouble:").size(), troubles);
    QCOMPARE(rig.log.only("over:").size(), overs);
    QCOMPARE(logged.filter(QRegularExpression("^wendrel: Lost ")).size(), lossLines);
    QCOMPARE(logged.filter(QRegularExpression(" is back")).size(),
             std::max(0, lossLines - (rig.run.isWaiting() ? 1 : 0)));
    QCOMPARE(logged.filter(QRegularExpression(": trying it once a second$")).size(), awayLines);
    QCOMPARE(logged.filter(QRegularExpression("^\\s*$|not open")), QStringList());
    if (!status.isEmpty())
        QCOMPARE(rig.run.status(), status);
    if (!lastTold.isEmpty())
        QVERIFY2(rig.log.only("trouble:").value(troubles - 1).contains(lastTold),
                 qPrintable(rig.log.only("trouble:").value(troubles - 1)));
    // A device said to take no data is said to take it again, or lost, before
    // it is back.
    bool noData = false;
    for (const QString &line : std::as_const(logged)) {
        if (line.contains(" takes no data"))
            noData = true;
        else if (line.contains(" takes data again") || line.contains(": Lost "))
            noData = false;
        else if (line.contains(" is back"))
            QVERIFY2(!noData, qPrintable(logged.join('\n')));
    }
}

// Where the system tells an adapter's serial number, another adapter under
// the old name is said to be another, and pinged as the port's own.
void tst_Pinger::anotherAdapterIsSaidToBeAnother()
{
    ServiceRig rig;
    rig.serial.serialNumber = "FTB00001";
    rig.run.startUnattended(5000);
    rig.serial.loseDevice();
    rig.serial.serialNumber = "FTB00002";
    rig.run.retry();
    QCOMPARE(rig.log.only("over:"),
             QStringList{ "over:/dev/fake1 is back, but it is another adapter (serial FTB00002). "
                          "Pinging goes on." });
    QCOMPARE(rig.serial.sent, QByteArray(2, '\r'));
    QCOMPARE(rig.run.state(), Pinger::State::Pinging);
}

void tst_Pinger::startIsAllOrNothing_data()
{
    QTest::addColumn<bool>("openFails");
    QTest::newRow("the open fails") << true;
    QTest::newRow("the first carriage return fails") << false;
}

// A Start that fails throws and leaves nothing to undo: idle, the port
// closed, nothing planned, no wait begun.
void tst_Pinger::startIsAllOrNothing()
{
    QFETCH(bool, openFails);
    ServiceRig rig;
    (openFails ? rig.serial.failOpenWith : rig.serial.failOutputWith) = SerialErrors::PortInUse;
    QVERIFY_THROWS_EXCEPTION(SerialError, rig.run.start(5000));
    QCOMPARE(rig.run.state(), Pinger::State::Idle);
    QVERIFY(!rig.run.isRunning() && !rig.serial.portOpen() && !rig.wake.isActive());
    rig.serial.failOpenWith.reset();
    rig.serial.failOutputWith.reset();
    rig.run.start(5000);
    QCOMPARE(rig.run.state(), Pinger::State::Pinging);
    QCOMPARE(rig.serial.sent, QByteArray(1, '\r'));
}

QTEST_GUILESS_MAIN(tst_Pinger)
#include "tst_pinger.moc"
