// The real program under a real X server: a user starts pinging with the mouse,
// then a logout (SIGTERM), Ctrl+C (SIGINT) or a closed terminal (SIGHUP) ends
// it as closing its window would, and Exit ends it at once: status 0, nothing
// more sent, the port free.

#include "ptypair.h"
#include "xdesktop.h"

#include "platform/qtserialcomm.h"

#include <QProcess>
#include <QTest>

#include <csignal>

class tst_Signals : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void endsLikeAClosedWindow_data();
    void endsLikeAClosedWindow();

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

void tst_Signals::endsLikeAClosedWindow()
{
    QFETCH(int, signal);
    QFETCH(bool, hiddenInTray);
    Pty pty;
    QProcess wendrel;
    wendrel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    wendrel.start(WENDREL_BINARY, { "--port1", pty.slaveName() });
    QVERIFY(wendrel.waitForStarted(5000));
    const QString window =
            xdotool({ "search", "--sync", "--onlyvisible", "--pid",
                      QString::number(wendrel.processId()), "--name", "^Wendrel$" })
                    .section('\n', 0, 0);
    QVERIFY2(!window.isEmpty(), "the window did not appear");
    QTest::qWait(300);

    // The seconds bar's up arrow, then Start (positions in pixels at 96 dpi).
    xdotool({ "mousemove", "--window", window, "184", "90", "click", "1" });
    xdotool({ "mousemove", "--window", window, "247", "19", "click", "1" });
    QCOMPARE(pty.readUpTo(1, 3000), QByteArray(1, '\r'));
    if (hiddenInTray)
        xdotool({ "mousemove", "--window", window, "247", "44", "click", "1" }); // Hide
    QCOMPARE(pty.readUpTo(1, 2000), QByteArray(1, '\r')); // still pinging

    if (signal == 0)
        xdotool({ "mousemove", "--window", window, "247", "69", "click", "1" }); // Exit
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

QTEST_MAIN(tst_Signals)
#include "tst_signals.moc"
