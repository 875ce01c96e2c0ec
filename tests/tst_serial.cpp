// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The serial component against real pseudo-terminals: what is written arrives
// at the other end, a held port gives 8005, a missing one 8002, and a hang-up
// is reported once with the port already closed.

#include "ptypair.h"

#include "serialport/qtserialcomm.h"

#include <QCoreApplication>
#include <QTest>

class tst_Serial : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void openWriteClose();
    void opensAt9600EightNoneOne();
    void secondOpenOfTheSameDeviceIsInUse();
    void missingDeviceIsInvalidPort_data();
    void missingDeviceIsInvalidPort();
    void portNumberWithNoDevice();
    void portChangeWhileOpenIsRefused();
    void outputNeedsAnOpenPort();
    void hangUpIsReportedOnceAndClosesThePort();
    void portCanBeOpenedAgainAfterItCameBack();
};

void tst_Serial::openWriteClose()
{
    Pty pty;
    QVERIFY(pty.isValid());
    QtSerialComm comm;
    comm.setDevice(1, pty.slaveName());
    comm.setCommPort(1);
    QVERIFY(!comm.portOpen());
    comm.setPortOpen(true);
    QVERIFY(comm.portOpen());
    comm.setOutput(QByteArray(1, '\r'));
    QCOMPARE(pty.readUpTo(1, 2000), QByteArray(1, '\r'));
    comm.setPortOpen(false);
    QVERIFY(!comm.portOpen());
    QCOMPARE(pty.readFor(100), QByteArray()); // exactly one byte, nothing else
}

void tst_Serial::opensAt9600EightNoneOne()
{
    Pty pty;
    QtSerialComm comm;
    comm.setDevice(2, pty.slaveName());
    comm.setCommPort(2);
    comm.setPortOpen(true);
    termios settings{};
    QCOMPARE(::tcgetattr(pty.slaveFd(), &settings), 0);
    QCOMPARE(::cfgetospeed(&settings), speed_t(B9600));
    QCOMPARE(settings.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(settings.c_cflag & PARENB, tcflag_t(0));
    QCOMPARE(settings.c_cflag & CSTOPB, tcflag_t(0));
}

void tst_Serial::secondOpenOfTheSameDeviceIsInUse()
{
    Pty pty;
    QtSerialComm first;
    QtSerialComm second;
    first.setDevice(1, pty.slaveName());
    second.setDevice(1, pty.slaveName());
    first.setPortOpen(true);
    QCOMPARE(openErrorNumber(second), int(SerialErrors::PortInUse));
    QVERIFY(!second.portOpen());
    QCOMPARE(openErrorNumber(first), int(SerialErrors::PortInUse)); // already open here too
    first.setPortOpen(false);
    second.setPortOpen(true); // free again once the first lets go
    QVERIFY(second.portOpen());
}

// A pseudo-terminal whose master never unlocked it: opening the slave fails
// with an I/O error, as a serial port node with no UART behind it does.
static QString lockedPtySlave()
{
    static const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0)
        return {};
    return QString::fromLocal8Bit(::ptsname(master));
}

void tst_Serial::missingDeviceIsInvalidPort_data()
{
    QTest::addColumn<QString>("device");
    QTest::newRow("no such file") << "/dev/wendrel-no-such-port";
    QTest::newRow("not a serial port") << "/dev/null";
    QTest::newRow("no hardware behind the node") << lockedPtySlave();
    // Too long for the lock file's name, and missing: missing, not "in use".
    QTest::newRow("a long name") << "/tmp/" + QString(250, 'b');
    QTest::newRow("a name longer than a path may be") << "/tmp/" + QString(5000, 'b');
}

void tst_Serial::missingDeviceIsInvalidPort()
{
    QFETCH(QString, device);
    QtSerialComm comm;
    comm.setDevice(1, device);
    QCOMPARE(openErrorNumber(comm), int(SerialErrors::InvalidPortNumber));
    QVERIFY(!comm.portOpen());
}

void tst_Serial::portNumberWithNoDevice()
{
    QtSerialComm comm;
    comm.setCommPort(3);
    QCOMPARE(openErrorNumber(comm), int(SerialErrors::InvalidPortNumber));
}

void tst_Serial::portChangeWhileOpenIsRefused()
{
    Pty pty;
    QtSerialComm comm;
    comm.setDevice(1, pty.slaveName());
    comm.setPortOpen(true);
    QVERIFY_THROWS_EXCEPTION(SerialError, comm.setCommPort(2));
    QCOMPARE(comm.commPort(), Integer(1));
}

void tst_Serial::outputNeedsAnOpenPort()
{
    QtSerialComm comm;
    try {
        comm.setOutput(QByteArray(1, '\r'));
        QFAIL("output on a closed port must fail");
    } catch (const SerialError &error) {
        QCOMPARE(error.number(), int(SerialErrors::PortNotOpen));
    }
}

void tst_Serial::hangUpIsReportedOnceAndClosesThePort()
{
    Pty pty;
    QtSerialComm comm;
    comm.setDevice(1, pty.slaveName());
    QList<SerialError> reports;
    comm.setLostHandler([&](const SerialError &error) { reports << error; });
    comm.setPortOpen(true);

    pty.closeMaster();
    QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 1, 2000);
    QVERIFY(!comm.portOpen());
    QCOMPARE(reports.first().number(), int(SerialErrors::PortLost));
    QCOMPARE(reports.first().device(), pty.slaveName());

    // Nothing more comes, and nothing spins while we wait.
    const qint64 cpuUsed = cpuMsWhileWaiting(1000);
    QCOMPARE(reports.size(), 1);
    QVERIFY2(cpuUsed < 200,
             qPrintable(QStringLiteral("%1 ms of CPU in 1 s after the hang-up").arg(cpuUsed)));
}

void tst_Serial::portCanBeOpenedAgainAfterItCameBack()
{
    Pty pty;
    QtSerialComm comm;
    comm.setDevice(1, pty.slaveName());
    comm.setPortOpen(true);
    comm.setPortOpen(false);
    comm.setPortOpen(true);
    comm.setOutput(QByteArray(1, '\r'));
    QCOMPARE(pty.readUpTo(1, 2000), QByteArray(1, '\r'));
}

QTEST_GUILESS_MAIN(tst_Serial)
#include "tst_serial.moc"
