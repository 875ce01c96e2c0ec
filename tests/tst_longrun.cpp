// A million countdown ticks on a fake clock: about three days of pinging,
// across the tick count's change of sign, a suspend of three weeks and its wrap
// to zero. Every ping comes exactly one interval after the last, and the
// process does not grow while it runs.

#include "fakes.h"

#include "window/countdown.h"
#include "window/reversedscrollbar.h"

#include <QCheckBox>
#include <QFile>
#include <QTest>

static qint64 residentKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = status.readAll().split('\n');
    const auto rss = std::find_if(lines.begin(), lines.end(),
                                  [](const QByteArray &line) { return line.startsWith("VmRSS:"); });
    return rss == lines.end() ? -1 : rss->mid(6).trimmed().split(' ').value(0).toLongLong();
}

class tst_LongRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void millionTicksAcrossSignChangeSuspendAndWrap();
};

void tst_LongRun::millionTicksAcrossSignChangeSuspendAndWrap()
{
    Rig rig;
    rig.log.entries.reserve(8);
    constexpr std::int64_t Day = 86400000;
    constexpr std::int64_t Interval = 7000;
    constexpr int TicksPerSegment = 500000; // 250 ms apart: 34.7 hours each
    rig.ticks.now = Long(std::uint32_t((std::int64_t(1) << 31) - Day)); // a day before the sign change
    rig.c().VScroll3->setSetting(7);
    rig.c().chkSound->setChecked(true);
    rig.form().Command2_Click();
    QCOMPARE(rig.s().Running, Integer(1));

    std::vector<Long> pings{ rig.s().LastPingTick };
    std::int64_t spacingsChecked = 0;
    qint64 rssAfterWarmUp = 0;
    const auto runSegment = [&](int ticks) {
        for (int i = 0; i < ticks; ++i) {
            rig.ticks.advance(250);
            rig.form().Timer1_Timer();
            rig.form().Timer2_Timer();
            rig.form().Timer2_Timer();
            if (i % 2 == 0)
                rig.form().Timer2_Timer(); // two and a half chaser ticks per countdown tick
            if (rig.s().LastPingTick != pings.back()) {
                if (pings.size() > 1 || spacingsChecked == 0) {
                    QCOMPARE(elapsedTicks(pings.back(), rig.s().LastPingTick), Long(Interval));
                    ++spacingsChecked;
                }
                pings.push_back(rig.s().LastPingTick);
            }
            if (i % 4096 == 0)
                rig.log.entries.clear(); // the fakes' own record is not the program's memory
            if (i == 20000 && rssAfterWarmUp == 0)
                rssAfterWarmUp = residentKiB();
        }
    };

    runSegment(TicksPerSegment);
    QVERIFY(std::uint32_t(pings.front()) < 0x80000000u);
    QVERIFY(std::uint32_t(pings.back()) >= 0x80000000u); // went through the sign change
    const std::size_t beforeSuspend = pings.size();

    // Three weeks asleep: the first tick after waking pings at once.
    rig.ticks.now = Long(std::uint32_t(std::uint64_t(1) << 32) - std::uint32_t(Day / 2));
    rig.form().Timer1_Timer();
    QCOMPARE(rig.serial.sent.size(), qsizetype(beforeSuspend + 1));
    QCOMPARE(rig.s().LastPingTick, rig.s().NowTick);
    pings.push_back(rig.s().LastPingTick);

    runSegment(TicksPerSegment);
    QVERIFY(std::uint32_t(pings.back()) < 0x80000000u); // went through the wrap to zero
    QVERIFY(!rig.form().hasEnded());

    // 7 s is 28 ticks: a ping on every 28th tick of each segment, plus the first
    // byte at Start and the one at waking.
    const std::size_t expected = 1 + TicksPerSegment / 28 + 1 + TicksPerSegment / 28;
    QCOMPARE(pings.size(), expected);
    QCOMPARE(rig.serial.sent.size(), qsizetype(expected));
    QCOMPARE(rig.beep.count, int(expected - 1));
    QCOMPARE(spacingsChecked, std::int64_t(expected - 2));

    const qint64 rssAtEnd = residentKiB();
    qInfo("resident memory: %lld KiB after warm-up, %lld KiB after %d ticks (%lld simulated hours)",
          rssAfterWarmUp, rssAtEnd, 2 * TicksPerSegment, 2LL * TicksPerSegment / 4 / 3600);
    // Under AddressSanitizer freed memory is held back on purpose; there the
    // sanitizer's own leak check speaks instead.
    if (!qEnvironmentVariableIsSet("WENDREL_SANITIZED"))
        QVERIFY2(rssAtEnd - rssAfterWarmUp < 1024, "memory grew by a MiB or more");
}

QTEST_MAIN(tst_LongRun)
#include "tst_longrun.moc"
