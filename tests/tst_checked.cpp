// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Arithmetic that raises instead of wrapping, rounding halves to even, the "00"
// display rule, the countdown split and the tick-count difference.

#include "engine/checked.h"
#include "engine/countdown.h"
#include "engine/runtimeerror.h"

#include <QTest>

class tst_Checked : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void limitsOfEachWidth();
    void roundingHalvesToEven_data();
    void roundingHalvesToEven();
    void twoDigitRule_data();
    void twoDigitRule();
    void countdownMatchesIntegerFormulas();
    void elapsedAcrossWrap_data();
    void elapsedAcrossWrap();
};

void tst_Checked::limitsOfEachWidth()
{
    QCOMPARE(Checked::addInteger(32766, 1), Integer(32767));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, Checked::addInteger(32767, 1));
    QCOMPARE(Checked::subInteger(-32767, 1), Integer(-32768));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, Checked::subInteger(-32768, 1));
    QCOMPARE(Checked::addLong(2147483646, 1), 2147483647);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, Checked::addLong(2147483647, 1));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, Checked::subLong(-2147483647 - 1, 1));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, Checked::mulLong(65536, 32768));
    // The interval's products: hours and minutes in 32 bits, seconds in 16, so
    // 597 hours and 328 seconds overflow although their widened results fit.
    QCOMPARE(Checked::mulLong(596, 3600000), 2145600000);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, Checked::mulLong(597, 3600000));
    QCOMPARE(Checked::mulInteger(327, 100), Integer(32700));
    try {
        Checked::mulInteger(328, 100);
        QFAIL("328 seconds must overflow in 16 bits");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), 6);
        QCOMPARE(error.description(), "Overflow");
    }
}

void tst_Checked::roundingHalvesToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("0.5") << 0.5 << 0;
    QTest::newRow("1.5") << 1.5 << 2;
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("514.5") << 514.5 << 514;
    QTest::newRow("515.5") << 515.5 << 516;
    QTest::newRow("40.71") << 2565.0 / 63 << 41;
    QTest::newRow("32767.4") << 32767.4 << 32767;
}

void tst_Checked::roundingHalvesToEven()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(int(Checked::toInteger(value)), expected);
    QCOMPARE(int(Checked::toLong(value)), expected);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, Checked::toInteger(32767.5));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, Checked::toLong(2147483647.5));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, Checked::toLong(qQNaN()));
}

void tst_Checked::twoDigitRule_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << qint64(0) << "00";
    QTest::newRow("7") << qint64(7) << "07";
    QTest::newRow("59") << qint64(59) << "59";
    QTest::newRow("123") << qint64(123) << "123";
    QTest::newRow("-5") << qint64(-5) << "-05";
}

void tst_Checked::twoDigitRule()
{
    QFETCH(qint64, value);
    QFETCH(QString, text);
    QCOMPARE(Checked::format00(value), text);
}

// The floating-point split must agree with plain integer arithmetic for every
// remainder; sample a spread of them, negative ones and the Long's ends included.
void tst_Checked::countdownMatchesIntegerFormulas()
{
    QList<qint64> samples{
        -2147483647LL - 1, -3600001, -60001,   -1001,     -1000, -1, 0, 1, 999, 1000, 59999, 60000,
        3599999,           3600000,  89999000, 2147483647
    };
    for (qint64 r = -200000000; r <= 200000000; r += 999983)
        samples << r;
    const auto floorDiv = [](qint64 a, qint64 b) { return a / b - ((a % b != 0) && (a < 0)); };
    const auto mod60 = [](qint64 a) { return ((a % 60) + 60) % 60; };
    for (qint64 r : samples) {
        const CountdownTexts texts = splitRemaining(Long(r));
        QCOMPARE(texts.hours, Checked::format00(std::abs(floorDiv(r, 3600000))));
        QCOMPARE(texts.minutes, Checked::format00(mod60(floorDiv(r, 60000))));
        QCOMPARE(texts.seconds, Checked::format00(mod60(floorDiv(r, 1000))));
    }
}

void tst_Checked::elapsedAcrossWrap_data()
{
    QTest::addColumn<Long>("from");
    QTest::addColumn<Long>("to");
    QTest::addColumn<Long>("elapsed");
    QTest::newRow("plain") << Long(1000) << Long(1250) << Long(250);
    QTest::newRow("-1 to 0") << Long(-100) << Long(150) << Long(250);
    QTest::newRow("sign change") << Long(2147483547) << Long(-2147483548) << Long(201);
    QTest::newRow("half the range") << Long(0) << Long(2147483647) << Long(2147483647);
    QTest::newRow("longer: the longest") << Long(0) << Long(-2147483647 - 1) << Long(2147483647);
    QTest::newRow("clock went back") << Long(1000) << Long(999) << Long(2147483647);
}

void tst_Checked::elapsedAcrossWrap()
{
    QFETCH(Long, from);
    QFETCH(Long, to);
    QFETCH(Long, elapsed);
    QCOMPARE(elapsedTicks(from, to), elapsed);
}

QTEST_APPLESS_MAIN(tst_Checked)
#include "tst_checked.moc"
