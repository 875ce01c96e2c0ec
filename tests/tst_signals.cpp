// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The real program under a real X server: a user starts pinging with the mouse,
// then a logout (SIGTERM), Ctrl+C (SIGINT) or a closed terminal (SIGHUP) ends
// it as closing its window would, and Exit ends it at once: status 0, the
// run's end in the log, nothing more sent, the port free.

#include "ptypair.h"
#include "sessionbus.h"
#include "xdesktop.h"

#include "serialport/qtserialcomm.h"

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

#include <unistd.h>

class tst_Signals : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void endsLikeAClosedWindow_data();
    void endsLikeAClosedWindow();
    void hiddenRunOutlivesALostDevice_data();
    void hiddenRunOutlivesALostDevice();
    void flappingCableShowsOneBoxAtTheMost();
    void autostartEntryStartsHiddenAndPinging();
    void forcedSizeKeepsPinging_data();
    void forcedSizeKeepsPinging();

private:
    TrayHost m_tray;
};

void tst_Signals::initTestCase()
{
    if (qgetenv("DISPLAY").isEmpty())
        QSKIP("needs an X display (run under xvfb-run)");
    QVERIFY2(m_tray.start(), "trayer is needed: apt-get install trayer");
}

// What the program's standard error is: read by the test, closed, or a pipe
// whose reader has gone.
enum class StandardError { Read, Closed, ReaderGone };
Q_DECLARE_METATYPE(StandardError)

void tst_Signals::endsLikeAClosedWindow_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("hiddenInTray");
    QTest::addColumn<StandardError>("standardError");
    const auto read = StandardError::Read;
    QTest::newRow("SIGTERM, window shown") << int(SIGTERM) << false << read;
    QTest::newRow("SIGTERM, hidden in the tray") << int(SIGTERM) << true << read;
    QTest::newRow("SIGINT") << int(SIGINT) << false << read;
    QTest::newRow("SIGHUP") << int(SIGHUP) << false << read;
    QTest::newRow("SIGUSR1") << int(SIGUSR1) << false << read;
    QTest::newRow("the Exit button") << 0 << false << read;
    // As a launcher or cron may start it: the window shows and pings all the same.
    QTest::newRow("standard error closed") << int(SIGTERM) << false << StandardError::Closed;
    QTest::newRow("a log reader that left") << int(SIGTERM) << true << StandardError::ReaderGone;
}

// Clicks at a point of the window (pixels at 96 dpi); false if xdotool failed.
static bool click(const QString &window, int x, int y)
{
    bool ok = false;
    xdotool({ "mousemove", "--window", window, QString::number(x), QString::number(y), "click",
              "1" },
            &ok);
    return ok;
}

// Starts the real program on the device, finds its window and starts pinging
// at a one-second interval with the mouse; returns the window's id, or an
// empty string when any step failed.
static QString startPinging(QProcess &wendrel, const QString &device, bool keepErrors = false,
                            StandardError standardError = StandardError::Read)
{
    wendrel.setProcessChannelMode(keepErrors ? QProcess::SeparateChannels
                                             : QProcess::ForwardedErrorChannel);
    if (standardError != StandardError::Read) {
        wendrel.setChildProcessModifier([standardError] {
            int ends[2];
            if (standardError == StandardError::ReaderGone && ::pipe(ends) == 0) {
                ::signal(SIGPIPE, SIG_DFL); // as a shell leaves it
                ::dup2(ends[1], STDERR_FILENO);
                ::close(ends[0]);
                ::close(ends[1]);
            } else {
                ::close(STDERR_FILENO);
            }
        });
    }
    wendrel.start(WENDREL_BINARY, { "--port1", device });
    if (!wendrel.waitForStarted(5000))
        return {};
    QString window = xdotool({ "search", "--sync", "--onlyvisible", "--pid",
                               QString::number(wendrel.processId()), "--name", "^Wendrel$" })
                             .section('\n', 0, 0);
    if (window.isEmpty() || !QTest::qWaitFor([&window] { return painted(window); }, 5000))
        return {};
    // The seconds bar's up arrow, then Start.
    if (!click(window, 184, 90) || !click(window, 247, 19))
        return {};
    return window;
}

static bool clickHide(const QString &window)
{
    return click(window, 247, 44);
}

void tst_Signals::endsLikeAClosedWindow()
{
    QFETCH(int, signal);
    QFETCH(bool, hiddenInTray);
    QFETCH(StandardError, standardError);
    Pty pty;
    QProcess wendrel;
    const QString window = startPinging(wendrel, pty.slaveName(), true, standardError);
    QVERIFY2(!window.isEmpty(), "the window did not appear, or a click failed");
    QCOMPARE(pty.readUpTo(1, 3000), QByteArray(1, '\r'));
    if (hiddenInTray) {
        QVERIFY(clickHide(window));
        QTRY_VERIFY_WITH_TIMEOUT(visibleWindows(wendrel.processId(), false).isEmpty(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(iconsInTray(wendrel.processId()), 1, 5000);
    }
    QCOMPARE(pty.readUpTo(1, 2000), QByteArray(1, '\r')); // still pinging

    if (signal == 0)
        QVERIFY(click(window, 247, 69)); // Exit
    else
        ::kill(pid_t(wendrel.processId()), signal);
    QVERIFY(wendrel.waitForFinished(5000));
    QCOMPARE(wendrel.exitStatus(), QProcess::NormalExit);
    QCOMPARE(wendrel.exitCode(), 0);
    QCOMPARE(pty.readFor(1500), QByteArray());
    const QString said = QString::fromLocal8Bit(wendrel.readAllStandardError());
    QVERIFY2(said.contains("wendrel: Stopped pinging " + pty.slaveName())
                     || standardError != StandardError::Read,
             qPrintable(said));

    QtSerialComm next;
    next.setDevice(1, pty.slaveName());
    next.setPortOpen(true); // throws if the port were still held
    QVERIFY(next.portOpen());
}

enum class Bus { WithNotifications, Empty, None };
Q_DECLARE_METATYPE(Bus)

void tst_Signals::hiddenRunOutlivesALostDevice_data()
{
    QTest::addColumn<Bus>("bus");
    QTest::newRow("a notification service answers") << Bus::WithNotifications;
    QTest::newRow("a bus with no service") << Bus::Empty;
    QTest::newRow("no bus at all") << Bus::None;
}

// Hidden in the tray, nobody watching: the adapter drops out and comes back.
// The loss is told on screen by the desktop's notification service where one
// answers, else by Qt's own balloon; the program stays, with its icon, and
// pings again by itself.
void tst_Signals::hiddenRunOutlivesALostDevice()
{
    QFETCH(Bus, bus);
    PrivateSessionBus privateBus;
    NotificationService notifications;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", NoSessionBus);
    if (bus != Bus::None) {
        QVERIFY2(privateBus.start(), "dbus-daemon is needed: apt-get install dbus-daemon");
        environment.insert("DBUS_SESSION_BUS_ADDRESS", privateBus.address());
    }
    if (bus == Bus::WithNotifications)
        QVERIFY(notifications.serveOn(privateBus.connection()));
    QTemporaryDir links;
    const QString camera = links.filePath("camera");
    auto first = std::make_unique<Pty>();
    QVERIFY(QFile::link(first->slaveName(), camera));
    QProcess wendrel;
    wendrel.setProcessEnvironment(environment);
    const QString window = startPinging(wendrel, camera);
    QVERIFY2(!window.isEmpty(), "the window did not appear, or a click failed");
    QCOMPARE(first->readUpTo(1, 3000), QByteArray(1, '\r'));
    QVERIFY(clickHide(window));
    QTRY_VERIFY_WITH_TIMEOUT(visibleWindows(wendrel.processId(), false).isEmpty(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(iconsInTray(wendrel.processId()), 1, 5000);

    first.reset(); // unplugged
    QFile::remove(camera);
    if (bus == Bus::WithNotifications) {
        QTRY_COMPARE_WITH_TIMEOUT(notifications.shown.filter("Com Port Error: ").size(), 1, 3000);
        QVERIFY(notifications.shown.constFirst().contains(camera + " was lost"));
    } else {
        // Qt's balloon comes; a click closes it, as a user passing by would.
        QTRY_VERIFY_WITH_TIMEOUT(!visibleWindows(wendrel.processId(), false).isEmpty(), 3000);
        for (const QString &notice : visibleWindows(wendrel.processId(), false))
            xdotool({ "mousemove", "--window", notice, "20", "20", "click", "1" });
    }
    QTRY_VERIFY(visibleWindows(wendrel.processId(), false).isEmpty());
    QTest::qWait(3000);
    QCOMPARE(wendrel.state(), QProcess::Running);
    QCOMPARE(iconsInTray(wendrel.processId()), 1);

    Pty second; // plugged in again
    QVERIFY(QFile::link(second.slaveName(), camera));
    QCOMPARE(second.readUpTo(1, 2000), QByteArray(1, '\r'));
    QCOMPARE(second.readUpTo(1, 2000), QByteArray(1, '\r')); // and at the interval
    if (bus == Bus::WithNotifications) {
        QTRY_COMPARE_WITH_TIMEOUT(notifications.shown.size(), 2, 2000);
        // ("cam is back (now /dev/pts/4)" where the link leads elsewhere now)
        QVERIFY2(notifications.shown.at(1).contains(QRegularExpression("^Wendrel: \\S+ is back")),
                 qPrintable(notifications.shown.at(1)));
    }

    ::kill(pid_t(wendrel.processId()), SIGTERM);
    QVERIFY(wendrel.waitForFinished(5000));
    QCOMPARE(wendrel.exitCode(), 0);
}

// A loose plug, window on screen: six times the device goes for 1 to 3 s
// and comes back for 1 to 3 s. One box at the most stands at any moment, every
// return is pinged within two seconds, the user is told at most once a minute
// each way, and the program lives on.
void tst_Signals::flappingCableShowsOneBoxAtTheMost()
{
    QTemporaryDir links;
    const QString camera = links.filePath("camera");
    auto device = std::make_unique<Pty>();
    QVERIFY(QFile::link(device->slaveName(), camera));
    QProcess wendrel;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_LOGGING_RULES", "wendrel.debug=true");
    wendrel.setProcessEnvironment(environment);
    const QString window = startPinging(wendrel, camera, true);
    QVERIFY2(!window.isEmpty(), "the window did not appear, or a click failed");
    QCOMPARE(device->readUpTo(1, 3000), QByteArray(1, '\r'));

    int mostBoxes = 0;
    QSet<QString> boxesSeen;
    const auto watch = [&](int milliseconds) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < milliseconds) {
            const QStringList boxes = xdotool({ "search", "--all", "--onlyvisible", "--pid",
                                                QString::number(wendrel.processId()), "--name",
                                                "^Com Port Error$" })
                                              .split('\n', Qt::SkipEmptyParts);
            mostBoxes = std::max(mostBoxes, int(boxes.size()));
            boxesSeen.unite(QSet<QString>(boxes.begin(), boxes.end()));
            QTest::qWait(200);
        }
    };
    QRandomGenerator random(15);
    QElapsedTimer run;
    run.start();
    QStringList lateReturns;
    // Six cycles take every path of the window's; the rules of a night of
    // flapping are the pinger's, on its fake clock.
    const int cycles = 6;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        device.reset(); // pulled
        QFile::remove(camera);
        watch(1000 + int(random.bounded(2000)));
        device = std::make_unique<Pty>();
        QVERIFY(QFile::link(device->slaveName(), camera));
        QElapsedTimer back;
        back.start();
        if (device->readUpTo(1, 3000) != QByteArray(1, '\r') || back.elapsed() > 2000)
            lateReturns << QStringLiteral("return %1 after %2 ms").arg(cycle).arg(back.elapsed());
        watch(1000 + int(random.bounded(2000)));
    }
    QCOMPARE(wendrel.state(), QProcess::Running);
    QVERIFY2(lateReturns.isEmpty(), qPrintable(lateReturns.join(", ")));
    QCOMPARE(mostBoxes, 1);
    const int minutes = 1 + int(run.elapsed() / 60000);
    QVERIFY2(boxesSeen.size() <= minutes, qPrintable(QString::number(boxesSeen.size())));

    ::kill(pid_t(wendrel.processId()), SIGTERM);
    QVERIFY(wendrel.waitForFinished(5000));
    QCOMPARE(wendrel.exitCode(), 0);
    const QStringList told = QString::fromLocal8Bit(wendrel.readAllStandardError())
                                     .split('\n')
                                     .filter("Telling the user:");
    QVERIFY2(told.filter("was lost").size() <= minutes, qPrintable(told.join('\n')));
    // (the loss says "as soon as the device is back" too, now on its one line)
    QVERIFY2(told.filter("is back. Pinging goes on.").size() <= minutes,
             qPrintable(told.join(QLatin1Char('\n'))));
}

// The process whose command line holds the word, and that command line.
static std::pair<qint64, QStringList> processWith(const QString &word)
{
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile file("/proc/" + pid + "/cmdline");
        if (!pid.toLongLong() || !file.open(QIODevice::ReadOnly))
            continue;
        QStringList argv = QString::fromLocal8Bit(file.readAll()).split(QChar(0));
        if (!argv.isEmpty() && argv.constLast().isEmpty())
            argv.removeLast();
        if (argv.contains(word))
            return { pid.toLongLong(), argv };
    }
    return { 0, {} };
}

// Start at login: the option writes a valid autostart entry whose Exec line
// carries the settings, a device whose name holds a space, quotes, a
// backslash, $, % and a backtick among them; launched as a desktop launches it
// at login, the program gets exactly that device, starts hidden in the tray
// and pings; the other option removes the entry.
void tst_Signals::autostartEntryStartsHiddenAndPinging()
{
    QTemporaryDir config;
    Pty pty;
    const QString device = config.filePath(R"(cam era "q" 'x' \ $HOME %d `id`)");
    QVERIFY(QFile::link(pty.slaveName(), device));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", config.path());
    const auto run = [&environment](const QStringList &arguments) {
        QProcess option;
        option.setProcessEnvironment(environment);
        option.start(WENDREL_BINARY, arguments);
        option.waitForFinished(10000);
        return std::pair{ option.exitCode(),
                          QString::fromLocal8Bit(option.readAllStandardOutput()) };
    };
    const auto [status, said]
            = run({ "--autostart", "--port1", device, "--interval", "0:01", "--audible" });
    QCOMPARE(status, 0);
    const QString entry = config.filePath("autostart/org.wendrel.Wendrel.desktop");
    QVERIFY2(said.contains(entry), qPrintable(said));
    QProcess validate;
    validate.start("desktop-file-validate", { entry });
    QVERIFY(validate.waitForFinished(10000));
    QCOMPARE(validate.exitCode(), 0);
    QCOMPARE(validate.readAllStandardOutput(), QByteArray());

    QProcess launcher;
    launcher.setProcessChannelMode(QProcess::ForwardedChannels);
    launcher.start("gio", { "launch", entry });
    QVERIFY(launcher.waitForFinished(10000));
    QCOMPARE(launcher.exitCode(), 0);
    QCOMPARE(pty.readUpTo(1, 5000), QByteArray(1, '\r'));
    const auto [pid, argv] = processWith(device);
    QVERIFY(pid > 0);
    QCOMPARE(argv,
             (QStringList{ QFileInfo(WENDREL_BINARY).canonicalFilePath(), "--hidden", "--start",
                           "--interval", "0:00:01", "--port1", device, "--audible" }));
    QCOMPARE(pty.readUpTo(1, 2000), QByteArray(1, '\r'));
    QTRY_COMPARE_WITH_TIMEOUT(iconsInTray(pid), 1, 5000);
    QVERIFY(visibleWindows(pid, false).isEmpty());
    ::kill(pid_t(pid), SIGTERM);
    QTRY_VERIFY_WITH_TIMEOUT(processWith(device).first == 0, 5000);

    QCOMPARE(run({ "--no-autostart" }).first, 0);
    QVERIFY(!QFile::exists(entry));
}

void tst_Signals::forcedSizeKeepsPinging_data()
{
    QTest::addColumn<QSize>("forced");
    QTest::newRow("wide and low") << QSize(2300, 200);
    QTest::newRow("X11's largest") << QSize(32767, 32767);
}

// With no window manager any program may resize the fixed-size window. It goes
// on pinging whatever the size, and repaints the gradient over the new area.
// (At 32767 x 32767 Qt spends seconds on a 4 GiB backing store, and its plain X
// upload needs a server pixmap as large, which the X server refuses; the
// window's own painting at that size is checked offscreen.)
void tst_Signals::forcedSizeKeepsPinging()
{
    QFETCH(QSize, forced);
    Pty pty;
    QProcess wendrel;
    const QString window = startPinging(wendrel, pty.slaveName());
    QVERIFY2(!window.isEmpty(), "the window did not appear, or a click failed");
    QCOMPARE(pty.readUpTo(1, 3000), QByteArray(1, '\r'));
    bool resized = false;
    xdotool({ "windowsize", window, QString::number(forced.width()),
              QString::number(forced.height()) },
            &resized);
    QVERIFY(resized);
    pty.readFor(300);
    // Qt gives a 4 GiB window a 4 GiB backing store, once: seconds of work.
    const bool huge = qint64(forced.width()) * forced.height() > (qint64(1) << 24);
    // On a two-core machine that took 34 to 42 s alone, plain or sanitized,
    // and more beside the other tests: the next ping may come that late.
    const int hugeMs = 120000;
    QCOMPARE(pty.readUpTo(1, huge ? hugeMs : 2000), QByteArray(1, '\r'));
    QCOMPARE(pty.readUpTo(1, 2000), QByteArray(1, '\r'));
    QCOMPARE(wendrel.state(), QProcess::Running);
    if (!huge) {
        // Magenta at the top, right of where the designed window ends.
        QTRY_VERIFY_WITH_TIMEOUT(painted(window, 600), 3000);
    }
    ::kill(pid_t(wendrel.processId()), SIGTERM);
    QVERIFY(wendrel.waitForFinished(10000));
    QCOMPARE(wendrel.exitCode(), 0);
}

QTEST_MAIN(tst_Signals)
#include "tst_signals.moc"
