// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The serial component on Windows' own COM ports, run under Wine by
// check_windows.py with COM1 on a pseudo-terminal (whose other end reads the
// carriage returns) and no COM9.
#include "openerror.h"

#include "serialport/serialports.h"

#include <QTest>

class tst_SerialWin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void openErrors_data();
    void openErrors();
    void heldPortIsInUseUntilClosed();
};

void tst_SerialWin::openErrors_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("number");
    QTest::newRow("COM1, there") << "COM1" << 0;
    QTest::newRow("COM1 by its device name") << "\\\\.\\COM1" << 0;
    QTest::newRow("COM9, not there") << "COM9" << int(SerialErrors::InvalidPortNumber);
    QTest::newRow("a device that is no port") << "NUL" << int(SerialErrors::InvalidPortNumber);
}

void tst_SerialWin::openErrors()
{
    QFETCH(QString, device);
    QFETCH(int, number);
    SystemSerialComm comm;
    comm.setDevice(1, device);
    QCOMPARE(openErrorNumber(comm), number);
    QCOMPARE(comm.portOpen(), number == 0);
}

// One program at a time has a COM port: a second open is "in use" until the
// first closes, and a carriage return written in between reaches the device.
void tst_SerialWin::heldPortIsInUseUntilClosed()
{
    SystemSerialComm first;
    SystemSerialComm second;
    QCOMPARE(first.device(1), "COM1");
    QCOMPARE(openErrorNumber(first), 0);
    QCOMPARE(openErrorNumber(second), int(SerialErrors::PortInUse));
    first.setOutput(QByteArray(1, '\r'));
    QTRY_VERIFY(!first.outputPending());
    first.setPortOpen(false);
    QCOMPARE(openErrorNumber(second), 0);
    const QList<SerialDevice> devices = second.availableDevices();
    QVERIFY2(std::any_of(devices.begin(), devices.end(),
                         [](const SerialDevice &d) { return d.path == "COM1"; }),
             qPrintable(QString::number(devices.size())));
}

QTEST_GUILESS_MAIN(tst_SerialWin)
#include "tst_serialwin.moc"
