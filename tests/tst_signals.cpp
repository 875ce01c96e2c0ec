// The real program under a real X server: a user starts pinging with the mouse,
// then a logout (SIGTERM), Ctrl+C (SIGINT) or a closed terminal (SIGHUP) ends
// it as closing its window would, and Exit ends it at once: status 0, nothing
// more sent, the port free.

#include "ptypair.h"
#include "xdesktop.h"

#include "platform/qtserialcomm.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

class tst_Signals : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void endsLikeAClosedWindow_data();
    void endsLikeAClosedWindow();
    void hiddenRunOutlivesALostDevice();

private:
    TrayHost m_tray;
};

void tst_Signals::initTestCase()
{
    if (qgetenv("DISPLAY").isEmpty())
        QSKIP("needs an X display (run under xvfb-run)");
    QVERIFY2(m_tray.start(), "trayer is needed: apt-get install trayer");
}

void tst_Signals::endsLikeAClosedWindow_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("hiddenInTray");
    QTest::newRow("SIGTERM, window shown") << int(SIGTERM) << false;
    QTest::newRow("SIGTERM, hidden in the tray") << int(SIGTERM) << true;
    QTest::newRow("SIGINT") << int(SIGINT) << false;
    QTest::newRow("SIGHUP") << int(SIGHUP) << false;
    QTest::newRow("the Exit button") << 0 << false;
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
static QString startPinging(QProcess &wendrel, const QString &device)
{
    wendrel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
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
    Pty pty;
    QProcess wendrel;
    const QString window = startPinging(wendrel, pty.slaveName());
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

    QtSerialComm next;
    next.setDevice(1, pty.slaveName());
    next.setPortOpen(true); // throws if the port were still held
    QVERIFY(next.portOpen());
}

// Hidden in the tray, nobody watching: the adapter drops out and comes back.
// The program stays, with its icon, and pings again by itself.
void tst_Signals::hiddenRunOutlivesALostDevice()
{
    QTemporaryDir links;
    const QString camera = links.filePath("camera");
    auto first = std::make_unique<Pty>();
    QVERIFY(QFile::link(first->slaveName(), camera));
    QProcess wendrel;
    const QString window = startPinging(wendrel, camera);
    QVERIFY2(!window.isEmpty(), "the window did not appear, or a click failed");
    QCOMPARE(first->readUpTo(1, 3000), QByteArray(1, '\r'));
    QVERIFY(clickHide(window));
    QTRY_VERIFY_WITH_TIMEOUT(visibleWindows(wendrel.processId(), false).isEmpty(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(iconsInTray(wendrel.processId()), 1, 5000);

    first.reset(); // unplugged
    QFile::remove(camera);
    // The notification comes; a click closes it, as a user passing by would.
    QTRY_VERIFY_WITH_TIMEOUT(!visibleWindows(wendrel.processId(), false).isEmpty(), 3000);
    for (const QString &notice : visibleWindows(wendrel.processId(), false))
        xdotool({ "mousemove", "--window", notice, "20", "20", "click", "1" });
    QTRY_VERIFY(visibleWindows(wendrel.processId(), false).isEmpty());
    QTest::qWait(3000);
    QCOMPARE(wendrel.state(), QProcess::Running);
    QCOMPARE(iconsInTray(wendrel.processId()), 1);

    Pty second; // plugged in again
    QVERIFY(QFile::link(second.slaveName(), camera));
    QCOMPARE(second.readUpTo(1, 2000), QByteArray(1, '\r'));
    QCOMPARE(second.readUpTo(1, 2000), QByteArray(1, '\r')); // and at the interval

    ::kill(pid_t(wendrel.processId()), SIGTERM);
    QVERIFY(wendrel.waitForFinished(5000));
    QCOMPARE(wendrel.exitCode(), 0);
}

QTEST_MAIN(tst_Signals)
#include "tst_signals.moc"
