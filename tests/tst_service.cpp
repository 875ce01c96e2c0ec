// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// wendreld, the real program with no display, against real pseudo-terminals:
// a device that comes late, goes and comes back; a log reader that stops
// reading; a device that takes no data for a while; systemd's notify socket.

#include "ptypair.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <memory>

class tst_Service : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void serviceWaitsForALateDevice_data();
    void serviceWaitsForALateDevice();
    void aFullStandardErrorHoldsNothingUp();
    void aDeviceThatTakesNoDataIsNotLost();
    void tellsSystemdHowItIs();
};

void tst_Service::serviceWaitsForALateDevice_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("wendreld") << WENDRELD_BINARY << QStringList{};
    QTest::newRow("wendrel --headless") << WENDREL_BINARY << QStringList{ "--headless" };
    // as a system service: no sound server, said once and not at every ping
    QTest::newRow("wendreld --audible") << WENDRELD_BINARY << QStringList{ "--audible" };
}

// The shared objects a process has mapped.
static QStringList mappedObjects(qint64 pid)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return { "unreadable" };
    QStringList objects;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const QString path = QString::fromLocal8Bit(line.mid(line.lastIndexOf(' ') + 1));
        if (path.contains(".so") && !objects.contains(path.section('/', -1)))
            objects << path.section('/', -1);
    }
    return objects;
}

// A service at boot: no display at all, and the adapter shows up only three
// seconds after the program. It is waited for without a box, pinged within two
// seconds of appearing and at the interval after; pulled, it is waited for
// again, and pinged again when it is back; every step is a line on standard
// error; SIGTERM ends it with 0. wendreld maps no display library at all,
// and no sound library where it plays no sound.
void tst_Service::serviceWaitsForALateDevice()
{
    QFETCH(QString, program);
    QFETCH(QStringList, options);
    QTemporaryDir links;
    const QString camera = links.filePath("camera");
    QProcess service;
    QProcessEnvironment environment = withoutDisplay();
    environment.remove("XDG_RUNTIME_DIR");
    environment.remove("PULSE_SERVER");
    service.setProcessEnvironment(environment);
    service.start(program, options + QStringList{ "--interval", "1", "--port1", camera });
    QVERIFY(service.waitForStarted(5000));
    QVERIFY(!service.waitForFinished(3000)); // waiting, not refused

    auto device = std::make_unique<Pty>();
    QVERIFY(QFile::link(device->slaveName(), camera));
    QCOMPARE(device->readWhileRunning(1, 2000), QByteArray(1, '\r'));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(device->readWhileRunning(1, 2000), QByteArray(1, '\r'));
    QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));
    device.reset(); // pulled
    QFile::remove(camera);
    QTest::qWait(1500);
    QCOMPARE(service.state(), QProcess::Running);
    device = std::make_unique<Pty>(); // and back
    QVERIFY(QFile::link(device->slaveName(), camera));
    QCOMPARE(device->readWhileRunning(1, 2000), QByteArray(1, '\r'));
    if (program == WENDRELD_BINARY) {
        const QStringList display
                = mappedObjects(service.processId())
                          .filter(QRegularExpression("^lib(Qt6Gui|Qt6Widgets|GL|EGL|xcb|fontconfig"
                                                     "|canberra|vorbis|ogg|tdb|ltdl)\\b"));
        QVERIFY2(display.isEmpty(), qPrintable(display.join(' ')));
    }

    service.terminate();
    QVERIFY(service.waitForFinished(5000));
    QCOMPARE(service.exitStatus(), QProcess::NormalExit);
    QCOMPARE(service.exitCode(), 0);
    const QString said = QString::fromLocal8Bit(service.readAllStandardError());
    // One line an event, in a journal reader's words: none speaks of a
    // button or a box, none is empty, each is the program's own (a loss
    // leaves no warning of Qt's).
    const QString cam = QRegularExpression::escape(camera);
    QStringList expected{
        "Waiting for " + cam + " \\(No such file or directory\\): trying it once a second",
        // the device the start waited for makes a start, not a return
        "Pinging " + cam + " every 1 s", "Lost " + cam + " \\(.+\\): trying it once a second",
        // the link leads nowhere now: the latest try's reason
        "Still waiting for " + cam + " \\(No such file or directory\\): trying it once a second",
        // or "cam is back (now /dev/pts/4)", where the link leads
        // elsewhere now
        "\\S+ is back.*: pinging every 1 s", "Stopped pinging " + cam, ""
    };
    if (options.contains("--audible"))
        expected.insert(2,
                        "No sound can play here \\(no sound server: XDG_RUNTIME_DIR is not set\\): "
                        "the pings go on without a beep");
    const QStringList lines = said.split('\n');
    QCOMPARE(lines.size(), expected.size());
    for (int i = 0; i < lines.size(); ++i) {
        const QString pattern
                = expected.at(i).isEmpty() ? "^$" : "^wendrel: " + expected.at(i) + "$";
        QVERIFY2(QRegularExpression(pattern).match(lines.at(i)).hasMatch(), qPrintable(said));
    }
}

// Standard error into a pipe that already holds 64 KiB and that nobody reads,
// with a line logged at every ping: the pings keep their interval, and SIGTERM
// ends the program at once.
void tst_Service::aFullStandardErrorHoldsNothingUp()
{
    Pty device;
    int ends[2];
    QCOMPARE(::pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
    const QByteArray block(4096, 'x');
    qint64 held = 0;
    while (::write(ends[1], block.constData(), size_t(block.size())) > 0)
        held += block.size();
    QCOMPARE(held, qint64(64 * 1024));
    QProcess service;
    QProcessEnvironment environment = withoutDisplay();
    environment.insert("QT_LOGGING_RULES", "wendrel.debug=true");
    service.setProcessEnvironment(environment);
    const int full = ends[1];
    service.setChildProcessModifier([full] { ::dup2(full, STDERR_FILENO); });
    service.setStandardOutputFile(QProcess::nullDevice());
    service.start(WENDRELD_BINARY, { "--interval", "1", "--port1", device.slaveName() });
    QVERIFY(service.waitForStarted(5000));
    QElapsedTimer clock;
    clock.start();
    // At once, then every second: a ping comes on the first tick at or after
    // the interval and its lateness is never made up, so each of the ten gaps
    // may be a tick longer on a busy machine. A program held up by the pipe
    // would send one.
    QCOMPARE(device.readUpTo(11, 10 * (1000 + 250) + 500).size(), 11);
    QVERIFY2(clock.elapsed() >= 9900, qPrintable(QString::number(clock.elapsed())));
    clock.restart();
    service.terminate();
    QVERIFY(service.waitForFinished(5000));
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(service.exitStatus(), QProcess::NormalExit);
    QCOMPARE(service.exitCode(), 0);
    ::close(ends[0]);
    ::close(ends[1]);
}

// The device's output held back (as a flow-controlled adapter does) for
// twelve seconds: no loss is told, "takes no data" comes only once it has
// taken nothing for ten, and when it takes data again one carriage return
// arrives, not a burst.
void tst_Service::aDeviceThatTakesNoDataIsNotLost()
{
    Pty device;
    QProcess service;
    service.setProcessEnvironment(withoutDisplay());
    service.start(WENDRELD_BINARY, { "--interval", "1", "--port1", device.slaveName() });
    QVERIFY(service.waitForStarted(5000));
    QCOMPARE(device.readUpTo(1, 2000), QByteArray(1, '\r'));
    QCOMPARE(::tcflow(device.slaveFd(), TCOOFF), 0);
    QElapsedTimer held;
    held.start();
    QString said;
    const auto listen = [&service, &said](int milliseconds) {
        service.waitForReadyRead(milliseconds);
        said += QString::fromLocal8Bit(service.readAllStandardError());
    };
    while (held.elapsed() < 9000)
        listen(int(9000 - held.elapsed()));
    QVERIFY2(!said.contains("takes no data") && !said.contains("Lost"), qPrintable(said));
    while (held.elapsed() < 12500 && !said.contains("takes no data"))
        listen(200);
    QVERIFY2(said.contains("takes no data"), qPrintable(said));
    QVERIFY2(held.elapsed() >= 9900, qPrintable(QString::number(held.elapsed())));
    QCOMPARE(device.readFor(0), QByteArray());

    QCOMPARE(::tcflow(device.slaveFd(), TCOON), 0);
    QCOMPARE(device.readFor(700), QByteArray(1, '\r'));
    listen(300);
    QVERIFY2(said.contains(device.slaveName() + " takes data again"), qPrintable(said));
    QVERIFY2(!said.contains("Lost") && !said.contains("is back"), qPrintable(said));
    QVERIFY2(!said.contains("QSerialPort"), qPrintable(said));

    // Then pulled: the reason is this loss's own, not the would-block of
    // the writes that waited.
    device.closeMaster();
    while (held.elapsed() < 16000 && !said.contains("Lost"))
        listen(200);
    QVERIFY2(said.contains("Lost " + device.slaveName() + " (the device hung up)"),
             qPrintable(said));
    service.terminate();
    QVERIFY(service.waitForFinished(5000));
    QCOMPARE(service.exitCode(), 0);
}

// What came on the socket, one datagram a message, until the time is up.
static QStringList receive(int socket, int milliseconds)
{
    QStringList messages;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) {
        pollfd waiting{ socket, POLLIN, 0 };
        if (::poll(&waiting, 1, int(milliseconds - clock.elapsed())) <= 0)
            continue;
        char message[1024];
        const ssize_t size = ::recv(socket, message, sizeof message, 0);
        if (size > 0)
            messages << QString::fromUtf8(message, int(size));
    }
    return messages;
}

// Started as systemd starts a Type=notify unit with WatchdogSec=: READY=1 once
// the run waits or pings, a STATUS= line at each change, WATCHDOG=1 at least
// every half of WATCHDOG_USEC, and STOPPING=1 at the end. Standard error is
// the journal's stream, named in JOURNAL_STREAM: each line has its priority.
void tst_Service::tellsSystemdHowItIs()
{
    QTemporaryDir folder;
    const QString camera = folder.filePath("camera");
    const QByteArray address = QFile::encodeName(folder.filePath("notify"));
    const int socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un name{};
    name.sun_family = AF_UNIX;
    qstrncpy(name.sun_path, address.constData(), sizeof name.sun_path);
    QCOMPARE(::bind(socket, reinterpret_cast<const sockaddr *>(&name), sizeof name), 0);
    int journal[2];
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, journal), 0);
    struct stat stream
    {
    };
    QCOMPARE(::fstat(journal[1], &stream), 0);
    QProcess service;
    QProcessEnvironment environment = withoutDisplay();
    environment.insert("NOTIFY_SOCKET", QString::fromLocal8Bit(address));
    environment.insert("WATCHDOG_USEC", "400000");
    environment.insert("JOURNAL_STREAM",
                       QStringLiteral("%1:%2").arg(stream.st_dev).arg(stream.st_ino));
    service.setProcessEnvironment(environment);
    const int journalEnd = journal[1];
    service.setChildProcessModifier([journalEnd] { ::dup2(journalEnd, STDERR_FILENO); });
    service.start(WENDRELD_BINARY, { "--interval", "5:00", "--port1", camera });
    ::close(journal[1]);
    QVERIFY(service.waitForStarted(5000));

    QStringList told = receive(socket, 1500);
    QCOMPARE(told.mid(0, 2),
             (QStringList{ "STATUS=Waiting for " + camera + ": No such file or directory",
                           "READY=1" }));
    QVERIFY2(told.count("WATCHDOG=1") >= 5, qPrintable(told.join(' ')));
    Pty device;
    QVERIFY(QFile::link(device.slaveName(), camera));
    told = receive(socket, 1500);
    QVERIFY2(told.contains("STATUS=Pinging " + camera + " every 5 min"),
             qPrintable(told.join(' ')));
    device.closeMaster();
    QTest::qWait(500);
    service.terminate();
    QVERIFY(service.waitForFinished(5000));
    QCOMPARE(service.exitCode(), 0);
    QVERIFY2(receive(socket, 200).contains("STOPPING=1"), "no STOPPING=1");
    ::close(socket);
    QByteArray logged;
    char buffer[4096];
    for (ssize_t n; (n = ::read(journal[0], buffer, sizeof buffer)) > 0;)
        logged.append(buffer, int(n));
    ::close(journal[0]);
    const QStringList lines = QString::fromLocal8Bit(logged).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QVERIFY2(lines.at(0).startsWith("<4>wendrel: Waiting for " + camera), qPrintable(lines.at(0)));
    QCOMPARE(lines.at(1), "<6>wendrel: Pinging " + camera + " every 5 min");
    QVERIFY2(lines.at(2).startsWith("<4>wendrel: Lost " + camera), qPrintable(lines.at(2)));
    QCOMPARE(lines.at(3), "<6>wendrel: Stopped pinging " + camera);
}

QTEST_GUILESS_MAIN(tst_Service)
#include "tst_service.moc"
