// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// What the outside world can do to a port, done for real where a test machine
// can: a user without permission, another program's lock file, an exclusive
// open, a second Wendrel, a device that vanishes and comes back. And an error no
// handler catches, thrown from an ordinary Qt slot.

#include "boxcatcher.h"
#include "windowrig.h"
#include "ptypair.h"

#include "desktop/application.h"
#include "engine/serialmessages.h"
#include "serialport/qtserialcomm.h"
#include "window/reversedscrollbar.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <grp.h>
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
    qint64 processId() const { return m_process.processId(); }

private:
    QProcess m_process;
    bool m_ready = false;
};

class tst_Faults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void permissionDenied_data();
    void permissionDenied();
    void heldByAnotherProcess_data();
    void heldByAnotherProcess();
    void heldByAnExclusiveOpen();
    void lockFileOfADeadProgramIsNoHindrance();
    void deviceVanishesAndComesBack();
    void learntLinkEndsWithTheRun();
    void lossesLeakNoDescriptor();
    void closingABoxWhileHiddenEndsNothing();
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
        opener.start("setpriv",
                     QStringList{ "--reuid=65534", "--regid=65534", "--clear-groups", "--",
                                  m_holderCopy }
                             + holderArguments);
    else
        opener.start(m_holderCopy, holderArguments);
    opener.closeWriteChannel();
    if (!opener.waitForFinished(10000))
        return "no answer";
    return QString::fromLocal8Bit(opener.readAll()).trimmed();
}

void tst_Faults::permissionDenied_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("group");  // given to the device; the pty's own when empty
    QTest::addColumn<bool>("joinGroup"); // the advice to join the owning group
    QTest::newRow("the group may use it") << 0660 << "dialout" << true;
    QTest::newRow("the group may not either") << 0600 << "dialout" << false;
    QTest::newRow("root's group") << 0660 << "root" << false;
}

void tst_Faults::permissionDenied()
{
    QFETCH(int, mode);
    QFETCH(QString, group);
    QFETCH(bool, joinGroup);
    Pty pty;
    const QByteArray path = QFile::encodeName(pty.slaveName());
    // Root may open anything, so the unprivileged user tries; as an ordinary
    // user the device is closed to its owner too.
    const bool root = ::geteuid() == 0;
    if (!root)
        QSKIP("only root gives a device to a group of its choice");
    const struct group *owner = ::getgrnam(group.toLatin1().constData());
    QVERIFY(owner);
    QCOMPARE(::chown(path.constData(), uid_t(-1), owner->gr_gid), 0);
    QCOMPARE(::chmod(path.constData(), mode), 0);
    const QString said = openAsUser(pty.slaveName());
    QVERIFY2(said.startsWith("cannot open: 8010"), qPrintable(said));

    // The error names the group that owns the device where joining it helps.
    const QString told = said.section("(group ", 1).chopped(1);
    QCOMPARE(told, joinGroup ? group : QString());
    SerialError denied(SerialErrors::PermissionDenied, "Permission denied", pty.slaveName(), told);
    const QString message = openFailureMessage(denied);
    QVERIFY(message.contains(pty.slaveName()));
    QCOMPARE(message.contains(QStringLiteral("the group \"%1\" that owns it").arg(group)),
             joinGroup);
    QCOMPARE(message.contains("dialout"), joinGroup);
    QCOMPARE(message.contains("Your user account may not use it"), !joinGroup);
}

void tst_Faults::heldByAnotherProcess_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("byLink"); // this one names the device by a link to it
    // minicom and friends leave a UUCP lock file with their pid in ASCII.
    QTest::newRow("its lock file") << "--lockfile" << false;
    QTest::newRow("its lock file, the device by a link") << "--lockfile" << true;
    QTest::newRow("a second Wendrel") << "--qt" << false;
    QTest::newRow("a second Wendrel, the device by a link") << "--qt" << true;
}

// Refused and told who holds it, whichever name each gave the device; the
// lock Wendrel makes is the system device's and others may read it, under
// a umask that would keep it to its owner.
void tst_Faults::heldByAnotherProcess()
{
    QFETCH(QString, how);
    QFETCH(bool, byLink);
    Pty pty;
    const mode_t umask = ::umask(077);
    Holder other(how, pty.slaveName());
    ::umask(umask);
    QVERIFY(other.ready());
    const QString lock = "/var/lock/" + lockFileName(pty.slaveName());
    if (how == "--qt") {
        QVERIFY2(QFileInfo(lock).permissions().testFlag(QFile::ReadOther), qPrintable(lock));
    }
    QTemporaryDir links;
    const QString named = byLink ? links.filePath("camera") : pty.slaveName();
    QVERIFY(!byLink || QFile::link(pty.slaveName(), named));
    QtSerialComm comm;
    comm.setDevice(1, named);
    try {
        comm.setPortOpen(true);
        QFAIL("opened a device another program holds");
    } catch (const SerialError &error) {
        QCOMPARE(error.number(), int(SerialErrors::PortInUse));
        QCOMPARE(error.device(), named);
        QCOMPARE(error.description(),
                 QStringLiteral("the program with process ID %1 holds its lock")
                         .arg(other.processId()));
    }
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
    const auto removeLock = qScopeGuard([&lockPath] { QFile::remove(lockPath); });
    lock.write("    999999\n"); // no such process
    lock.close();
    QtSerialComm comm;
    comm.setDevice(1, pty.slaveName());
    QCOMPARE(openErrorNumber(comm), 0);
    QVERIFY(comm.portOpen());
    comm.setPortOpen(false);
}

static int openDescriptors()
{
    return int(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size());
}

// The adapter is pulled (its /dev/serial/by-id link goes with it) and plugged
// in again under another kernel name: the run waits without spinning, pings
// within two seconds of the return through the stable link, and goes on at the
// interval set. Pulled again, Stop ends the wait and nothing more is sent.
void tst_Faults::deviceVanishesAndComesBack()
{
    QTemporaryDir byId;
    const QString link = byId.filePath("usb-Camera_Adapter_0001-if00-port0");
    auto first = std::make_unique<Pty>();
    auto second = std::make_unique<Pty>(); // not plugged in yet; another name
    const QString firstName = first->slaveName();
    QVERIFY(QFile::link(firstName, link));
    // The user's own name for it, not the adapter's stable one. (A pty's
    // kernel name is soon another test's pty, which would be opened as
    // another adapter under the name given.)
    QTemporaryDir home;
    const QString named = home.filePath("camera");
    QVERIFY(QFile::link(firstName, named));

    RealPortRig rig(named);
    rig.serial.setStableLinkDirectory(byId.path());
    frmWendrel &form = *rig.window;
    const auto &c = form.controls();
    c.VScroll3->setSetting(1);
    QTest::mouseClick(c.Command2, Qt::LeftButton);
    QCOMPARE(first->readUpTo(1, 1000), QByteArray(1, '\r'));

    first.reset(); // unplugged
    QFile::remove(link);
    QFile::remove(named);
    QTRY_VERIFY_WITH_TIMEOUT(form.run().isWaiting(), 2000);
    const qint64 cpuUsed = cpuMsWhileWaiting(5000);
    QVERIFY2(cpuUsed < 100, qPrintable(QStringLiteral("%1 ms of CPU in 5 s").arg(cpuUsed)));
    QCOMPARE(rig.log.only("notify:Com Port Error").size(), 1); // none per retry
    QVERIFY(form.run().isWaiting());

    QVERIFY(QFile::link(second->slaveName(), link)); // plugged in again
    QCOMPARE(second->readWhileRunning(1, 2000), QByteArray(1, '\r'));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(form.windowTitle(), "Wendrel");
    QCOMPARE(second->readWhileRunning(1, 3000), QByteArray(1, '\r'));
    QVERIFY2(clock.elapsed() >= 950, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(rig.log.only("notify:Wendrel"),
             QStringList{ "notify:Wendrel:" + named + " is back (now " + second->slaveName()
                          + "). Pinging goes on." });

    second->closeMaster(); // pulled again
    QFile::remove(link);
    QTRY_VERIFY_WITH_TIMEOUT(form.run().isWaiting(), 2000);
    QTest::mouseClick(c.Command2, Qt::LeftButton);
    QCOMPARE(form.state().Running, Integer(0));
    QCOMPARE(c.Command2->text(), "&Start");
    QVERIFY(c.Command3->isEnabled());
    Pty third;
    QVERIFY(QFile::link(third.slaveName(), link));
    QCOMPARE(third.readWhileRunning(1, 1500), QByteArray());
}

// The link learnt at the first open is followed through losses, but a close
// ends the run that learnt it: the next open goes where the user's name now
// leads, although the link still leads to a device. Each open learns its
// adapter's serial number from the kernel's record of that very device.
void tst_Faults::learntLinkEndsWithTheRun()
{
    QTemporaryDir byId;
    QTemporaryDir home;
    QTemporaryDir sysfs;
    const QString link = byId.filePath("usb-Camera_Adapter_0003-if00-port0");
    const QString named = home.filePath("camera");
    Pty first;
    Pty second;
    Pty third;
    // As the kernel lays out a USB adapter: the tty's device is the adapter's
    // interface, under the USB device that knows its serial number.
    int port = 0;
    const auto plugIn = [&sysfs, &port](const Pty &pty, const QByteArray &serial) {
        const QString usb = sysfs.filePath(QStringLiteral("devices/usb1/1-%1").arg(++port));
        QDir().mkpath(usb + "/1-1:1.0");
        QDir().mkpath(sysfs.filePath("class/tty"));
        QFile idVendor(usb + "/idVendor"), number(usb + "/serial");
        const bool written = idVendor.open(QIODevice::WriteOnly) && idVendor.write("0403\n") > 0
                && number.open(QIODevice::WriteOnly) && number.write(serial + '\n') > 0;
        const QString tty = sysfs.filePath("class/tty/" + QFileInfo(pty.slaveName()).fileName());
        return written && QDir().mkpath(tty) && QFile::link(usb + "/1-1:1.0", tty + "/device");
    };
    QVERIFY(plugIn(first, "FTA00001") && plugIn(second, "FTB00002"));
    QVERIFY(QFile::link(first.slaveName(), link) && QFile::link(first.slaveName(), named));
    QtSerialComm comm;
    comm.setSystemDirectory(sysfs.path());
    comm.setStableLinkDirectory(byId.path());
    comm.setDevice(1, named);
    QCOMPARE(openErrorNumber(comm), 0);
    QCOMPARE(comm.lastOpenedSerialNumber(), "FTA00001");
    first.closeMaster();
    QTRY_VERIFY_WITH_TIMEOUT(!comm.portOpen(), 2000);

    QVERIFY(QFile::remove(link) && QFile::link(second.slaveName(), link));
    QVERIFY(QFile::remove(named) && QFile::link(third.slaveName(), named));
    QCOMPARE(openErrorNumber(comm), 0);
    QCOMPARE(comm.lastOpenedDevice(), second.slaveName()); // lost and back: the link
    QCOMPARE(comm.lastOpenedSerialNumber(), "FTB00002");
    second.closeMaster();
    QTRY_VERIFY_WITH_TIMEOUT(!comm.portOpen(), 2000);
    QVERIFY(QFile::remove(link)); // the adapter is gone, and another has the name
    QCOMPARE(openErrorNumber(comm), 0);
    QCOMPARE(comm.lastOpenedDevice(), third.slaveName());
    comm.setPortOpen(false);
    QCOMPARE(openErrorNumber(comm), 0);
    QCOMPARE(comm.lastOpenedDevice(), third.slaveName()); // a new run: the user's name
    QCOMPARE(comm.lastOpenedSerialNumber(), QString());   // no adapter tells one
}

// Fifty times lost and back leave no descriptor behind.
void tst_Faults::lossesLeakNoDescriptor()
{
    QTemporaryDir byId;
    const QString link = byId.filePath("usb-Camera_Adapter_0002-if00-port0");
    QtSerialComm comm;
    comm.setStableLinkDirectory(byId.path());
    int losses = 0;
    comm.setLostHandler([&losses](const SerialError &) { ++losses; });
    const int before = openDescriptors();
    for (int cycle = 0; cycle < 50; ++cycle) {
        Pty pty;
        QFile::remove(link);
        QVERIFY(QFile::link(pty.slaveName(), link));
        if (cycle == 0)
            comm.setDevice(1, pty.slaveName());
        QCOMPARE(openErrorNumber(comm), 0);
        comm.setOutput(QByteArray(1, '\r'));
        QCOMPARE(pty.readUpTo(1, 1000), QByteArray(1, '\r'));
        pty.closeMaster();
        QTRY_COMPARE_WITH_TIMEOUT(losses, cycle + 1, 2000);
    }
    QCOMPARE(openDescriptors(), before);
}

// Qt ends its event loop when the last visible window closes, and a window in
// the tray is not visible: a box closed meanwhile must not end the program.
void tst_Faults::closingABoxWhileHiddenEndsNothing()
{
    RealPortRig rig("/dev/wendrel-no-such-port", RealPortRig::Dialogs::Real);
    BoxCatcher boxes;
    QTimer::singleShot(0, rig.window.get(), [&rig] { rig.window->Command2_Click(); });
    QTimer::singleShot(1000, qApp, [] { QCoreApplication::exit(42); });
    QCOMPARE(QCoreApplication::exec(), 42);
    QCOMPARE(boxes.texts, QStringList{ "Please Set Time." });
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
