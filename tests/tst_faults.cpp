// What the outside world can do to a port, done for real where a test machine
// can: a user without permission, another program's lock file, an exclusive
// open, a second Wendrel, a device that vanishes and comes back. And an error no
// handler catches, thrown from an ordinary Qt slot.

#include "fakes.h"
#include "ptypair.h"

#include "platform/application.h"
#include "platform/qtserialcomm.h"
#include "platform/serialmessages.h"
#include "window/reversedscrollbar.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

// Another process holding a device, through the serialholder helper.
class Holder
{
public:
    Holder(const QString &mode, const QString &device)
    {
        m_process.start(SERIALHOLDER, { mode, device });
        m_process.waitForReadyRead(5000);
        m_ready = m_process.readLine().trimmed() == "ready";
    }
    ~Holder()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(5000);
    }
    bool ready() const { return m_ready; }

private:
    QProcess m_process;
    bool m_ready = false;
};

class tst_Faults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void permissionDenied();
    void heldByAnotherProcess_data();
    void heldByAnotherProcess();
    void heldByAnExclusiveOpen();
    void lockFileOfADeadProgramIsNoHindrance();
    void deviceVanishesAndComesBack();
    void uncaughtErrorInAQtSlot();

private:
    // Tries to open the device as an unprivileged user (nobody) when this test
    // runs as root, else as ourselves; returns what the open said.
    QString openAsUser(const QString &device);

    QTemporaryDir m_tools;
    QString m_holderCopy;
};

void tst_Faults::initTestCase()
{
    QVERIFY(QFile::exists(SERIALHOLDER));
    // A copy nobody can reach, wherever the build tree lies.
    ::chmod(QFile::encodeName(m_tools.path()).constData(), 0755);
    m_holderCopy = m_tools.filePath("serialholder");
    QVERIFY(QFile::copy(SERIALHOLDER, m_holderCopy));
    ::chmod(QFile::encodeName(m_holderCopy).constData(), 0755);
}

QString tst_Faults::openAsUser(const QString &device)
{
    QProcess opener;
    opener.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList holderArguments{ "--qt", device };
    if (::geteuid() == 0)
        opener.start("setpriv", QStringList{ "--reuid=65534", "--regid=65534", "--clear-groups",
                                             "--", m_holderCopy } + holderArguments);
    else
        opener.start(m_holderCopy, holderArguments);
    opener.closeWriteChannel();
    if (!opener.waitForFinished(10000))
        return "no answer";
    return QString::fromLocal8Bit(opener.readAll()).trimmed();
}

void tst_Faults::permissionDenied()
{
    Pty pty;
    const QByteArray path = QFile::encodeName(pty.slaveName());
    // Root may open anything, so the unprivileged user tries; as an ordinary
    // user the device is closed to its owner too.
    QCOMPARE(::chmod(path.constData(), ::geteuid() == 0 ? 0600 : 0000), 0);
    const QString said = openAsUser(pty.slaveName());
    QVERIFY2(said.startsWith("cannot open: 8010"), qPrintable(said));

    SerialError denied(SerialErrors::PermissionDenied, "Permission denied", pty.slaveName());
    const QString message = openFailureMessage(denied);
    QVERIFY(message.contains(pty.slaveName()));
    const QString group = deviceGroup(pty.slaveName()); // "tty" on most systems
    QVERIFY(!group.isEmpty());
    QVERIFY(message.contains(QStringLiteral("the group \"%1\" that owns it").arg(group)));
    QVERIFY(message.contains("dialout"));
}

void tst_Faults::heldByAnotherProcess_data()
{
    QTest::addColumn<QString>("how");
    // minicom and friends leave a UUCP lock file with their pid in ASCII.
    QTest::newRow("its lock file") << "--lockfile";
    QTest::newRow("a second Wendrel") << "--qt";
}

void tst_Faults::heldByAnotherProcess()
{
    QFETCH(QString, how);
    Pty pty;
    Holder other(how, pty.slaveName());
    QVERIFY(other.ready());
    QtSerialComm comm;
    comm.setDevice(1, pty.slaveName());
    QCOMPARE(openErrorNumber(comm), int(SerialErrors::PortInUse));
    QVERIFY(!comm.portOpen());
}

void tst_Faults::heldByAnExclusiveOpen()
{
    Pty pty;
    QCOMPARE(::chmod(QFile::encodeName(pty.slaveName()).constData(), 0666), 0);
    Holder terminal("--exclusive", pty.slaveName());
    QVERIFY(terminal.ready());
    const QString said = openAsUser(pty.slaveName());
    QVERIFY2(said.startsWith("cannot open: 8005"), qPrintable(said));
}

void tst_Faults::lockFileOfADeadProgramIsNoHindrance()
{
    Pty pty;
    QString name = pty.slaveName().mid(5);
    const QString lockPath = "/var/lock/LCK.." + name.replace('/', '_');
    QFile lock(lockPath);
    if (!lock.open(QIODevice::NewOnly | QIODevice::WriteOnly))
        QSKIP("cannot write in /var/lock here");
    lock.write("    999999\n"); // no such process
    lock.close();
    QtSerialComm comm;
    comm.setDevice(1, pty.slaveName());
    QCOMPARE(openErrorNumber(comm), 0);
    QVERIFY(comm.portOpen());
    comm.setPortOpen(false);
    QFile::remove(lockPath);
}

// The adapter is pulled (its /dev/serial/by-id link goes with it) and plugged
// in again: the run stops with a message and the user can start again at once.
void tst_Faults::deviceVanishesAndComesBack()
{
    QTemporaryDir links;
    const QString camera = links.filePath("camera");
    auto first = std::make_unique<Pty>();
    QVERIFY(QFile::link(first->slaveName(), camera));

    RealPortRig rig(camera);
    frmWendrel &form = *rig.window;
    const auto &c = form.controls();

    c.VScroll2->setSetting(1);
    QTest::mouseClick(c.Command2, Qt::LeftButton);
    QCOMPARE(first->readUpTo(1, 1000), QByteArray(1, '\r'));

    first.reset(); // unplugged
    QFile::remove(camera);
    QTRY_COMPARE_WITH_TIMEOUT(rig.box.titles, QStringList{ "Com Port Error" }, 2000);
    QCOMPARE(form.state().Running, Integer(0));
    QVERIFY(!rig.serial.portOpen());

    Pty second; // plugged in again
    QVERIFY(QFile::link(second.slaveName(), camera));
    c.VScroll2->setSetting(1);
    QTest::mouseClick(c.Command2, Qt::LeftButton);
    QCOMPARE(form.state().Running, Integer(1));
    QCOMPARE(second.readUpTo(1, 1000), QByteArray(1, '\r'));
    QCOMPARE(rig.box.texts.size(), 1);
}

// An error thrown by a slot that no handler wraps still ends in the run-time
// error box and the end of the program, with the port let go first.
void tst_Faults::uncaughtErrorInAQtSlot()
{
    Pty pty;
    RealPortRig rig(pty.slaveName());
    frmWendrel &form = *rig.window;
    form.controls().VScroll2->setSetting(1);
    form.Command2_Click();
    QCOMPARE(pty.readUpTo(1, 1000), QByteArray(1, '\r'));

    QTimer::singleShot(0, &form, [] { throw overflowError(); });
    QTRY_COMPARE(rig.lifetime.statuses, QList<int>{ 1 });
    QCOMPARE(rig.box.titles, QStringList{ "Wendrel" });
    QCOMPARE(rig.box.texts, QStringList{ "Run-time error '6':\n\nOverflow" });
    QVERIFY(!rig.serial.portOpen());
    QVERIFY(form.hasEnded());
    QCOMPARE(rig.log.only("shell:2").size(), 1); // no icon left behind

    // The port is free for anyone now, and the dead program sends nothing more.
    QtSerialComm other;
    other.setDevice(1, pty.slaveName());
    QCOMPARE(openErrorNumber(other), 0);
    QCOMPARE(pty.readFor(300), QByteArray());
}

int main(int argc, char *argv[])
{
    // The program's own application object, whose notify() is under test.
    // cppcheck-suppress unreadVariable ; it works by being there
    Application app(argc, argv);
    tst_Faults test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_faults.moc"
