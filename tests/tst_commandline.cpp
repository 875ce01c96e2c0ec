// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The command line: the port options reach the serial component, --version and
// --help answer without a display, and a bad option ends with status 2.

#include "commandline/commandline.h"
#include "serialport/serialports.h"
#include "version.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#if defined(Q_OS_UNIX)
#include "ptypair.h"

#include <unistd.h>
#else
// The Windows programs have no display to go without: Windows always has one.
static QProcessEnvironment withoutDisplay()
{
    return QProcessEnvironment::systemEnvironment();
}
#endif

#include <memory>

class tst_CommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void noOptionsKeepsTheMachinesPorts();
    void portOptionsReachTheSerialComponent();
    void refusals_data();
    void refusals();
    void versionAndHelpFromTheProgram();
    void toolkitOptionsAreLeftToQt_data();
    void toolkitOptionsAreLeftToQt();
    void badOptionEndsWithStatusTwo_data();
    void badOptionEndsWithStatusTwo();
    void startOptions_data();
    void startOptions();
#if defined(Q_OS_WIN)
    void autostartRunValueIsOnlyWendrels();
#else
    void autostartEntryKeepsWhatItDoesNotOwn();
#endif
};

void tst_CommandLine::noOptionsKeepsTheMachinesPorts()
{
    const CommandLine line = CommandLine::parse({ "wendrel" });
    QCOMPARE(line.action, CommandLine::Action::Run);
    SystemSerialComm serial;
    applyPortDevices(line, serial);
#if defined(Q_OS_WIN)
    QCOMPARE(serial.device(1), "COM1");
    QCOMPARE(serial.device(2), "COM2");
#else
    QCOMPARE(serial.device(1), "/dev/ttyS0");
    QCOMPARE(serial.device(2), "/dev/ttyS1");
#endif
}

void tst_CommandLine::portOptionsReachTheSerialComponent()
{
#if defined(Q_OS_WIN)
    // Windows' names stay as given: COM10 and on need the device form.
    const CommandLine line
            = CommandLine::parse({ "wendrel", "--port1", "COM7", "--port2=\\\\.\\COM12" });
    QCOMPARE(line.action, CommandLine::Action::Run);
    SystemSerialComm serial;
    applyPortDevices(line, serial);
    QCOMPARE(serial.device(1), "COM7");
    QCOMPARE(serial.device(2), "\\\\.\\COM12");
    QCOMPARE(win32DevicePath("COM7"), "\\\\.\\COM7");
    QCOMPARE(win32DevicePath("\\\\.\\COM12"), "\\\\.\\COM12");
#else
    Pty pty;
    const CommandLine line = CommandLine::parse(
            { "wendrel", "--port1", pty.slaveName(), "--port2=/dev/serial/by-id/usb-cam" });
    QCOMPARE(line.action, CommandLine::Action::Run);
    SystemSerialComm serial;
    applyPortDevices(line, serial);
    QCOMPARE(serial.device(2), "/dev/serial/by-id/usb-cam");
    applyPortDevices(CommandLine::parse({ "wendrel", "--port2", "ttyUSB0" }), serial);
    QCOMPARE(serial.device(2), "/dev/ttyUSB0"); // as Qt opens a bare name
    serial.setCommPort(1);
    serial.setPortOpen(true);
    serial.setOutput(QByteArray(1, '\r'));
    QCOMPARE(pty.readUpTo(1, 2000), QByteArray(1, '\r'));
#endif
}

void tst_CommandLine::refusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("said");
    QTest::newRow("unknown option") << QStringList{ "wendrel", "--bogus" } << "bogus";
    QTest::newRow("missing value") << QStringList{ "wendrel", "--port1" } << "port1";
    QTest::newRow("empty value") << QStringList{ "wendrel", "--port2=" } << "--port2 needs";
    QTest::newRow("empty value, listing")
            << QStringList{ "wendrel", "--list-ports", "--port1", "" } << "--port1 needs";
    QTest::newRow("interval: hours past 24")
            << QStringList{ "wendrel", "--interval", "25:00:00" } << "--interval takes";
    QTest::newRow("interval: minutes past 59")
            << QStringList{ "wendrel", "--interval", "1:60" } << "not '1:60'";
    QTest::newRow("interval: words") << QStringList{ "wendrel", "--interval", "abc" } << "'abc'";
    QTest::newRow("interval: negative") << QStringList{ "wendrel", "--interval=-5" } << "'-5'";
    QTest::newRow("port 3") << QStringList{ "wendrel", "--use-port", "3" } << "1 or 2, not '3'";
    QTest::newRow("start with no interval")
            << QStringList{ "wendrel", "--start", "--interval", "0:00" } << "above 0";
    QTest::newRow("headless with no interval")
            << QStringList{ "wendrel", "--headless" } << "above 0";
    QTest::newRow("repeated port")
            << QStringList{ "wendrel", "--port1", "/dev/a", "--port1=/dev/b" }
            << "--port1 is given";
    QTest::newRow("stray argument") << QStringList{ "wendrel", "COM1" } << "COM1";
    QTest::newRow("interval: Arabic-Indic digits")
            << QStringList{ "wendrel", "--interval", QString::fromUtf8("5:\u0663\u0660") }
            << "--interval takes";
    QTest::newRow("an empty device before the interval")
            << QStringList{ "wendrel", "--port1", "", "--start" } << "--port1 needs";
    QTest::newRow("a device with a line break") << QStringList{
        "wendrel", "--port1", "/dev/x\nEvil=1", "--autostart", "--interval", "5"
    } << "--port1 takes a device path";
    QTest::newRow("a device with a tab")
            << QStringList{ "wendrel", "--port2", "/dev/a\tb" } << "--port2 takes a device path";
#if !defined(Q_OS_WIN) // Windows hands a program its arguments in UTF-16
    QTest::newRow("a device not in UTF-8")
            << QStringList{ "wendrel", "--port1", QString::fromLocal8Bit("/dev/\xff") }
            << "--port1 takes a device path";
#endif
    QTest::newRow("autostart and no autostart")
            << QStringList{ "wendrel", "--autostart", "--no-autostart" } << "opposite";
    QTest::newRow("service: no window options")
            << QStringList{ "wendreld", "--hidden", "--interval", "5" } << "hidden";
    // --help and --version answer whatever else is given.
    QTest::newRow("help with a bad interval")
            << QStringList{ "wendrel", "--help", "--interval", "99" } << "";
    QTest::newRow("version with an unknown option")
            << QStringList{ "wendrel", "--bogus", "-v" } << "";
}

void tst_CommandLine::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, said);
    const CommandLine line = CommandLine::parse(arguments,
                                                arguments.constFirst() == "wendreld"
                                                        ? CommandLine::Program::Service
                                                        : CommandLine::Program::Window);
    if (said.isEmpty()) {
        QCOMPARE(line.action,
                 arguments.contains("--help") ? CommandLine::Action::ShowHelp
                                              : CommandLine::Action::ShowVersion);
        return;
    }
    QCOMPARE(line.action, CommandLine::Action::Fail);
    QVERIFY2(line.errorText.contains(said), qPrintable(line.errorText));
}

void tst_CommandLine::versionAndHelpFromTheProgram()
{
    QProcess program;
    program.start(WENDREL_BINARY, { "--version" });
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(program.readAllStandardOutput().trimmed(),
             QByteArray(WENDREL_NAME " " WENDREL_VERSION));

    program.start(WENDREL_BINARY, { "--help" });
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 0);
    const QByteArray help = program.readAllStandardOutput();
    QVERIFY(help.contains("--port1 DEVICE"));
    QVERIFY(help.contains("--port2 DEVICE"));
    QVERIFY(help.contains("--version"));

    // The devices there are, one a line (perhaps none), with no display at all.
    program.setProcessEnvironment(withoutDisplay());
    program.start(WENDREL_BINARY, { "--list-ports" });
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 0);
#if defined(Q_OS_WIN)
    const QByteArray portPrefix = "COM";
#else
    const QByteArray portPrefix = "/dev/";
#endif
    for (const QByteArray &line : program.readAllStandardOutput().split('\n'))
        QVERIFY2(line.trimmed().isEmpty() || line.startsWith(portPrefix), line.constData());
}

void tst_CommandLine::toolkitOptionsAreLeftToQt_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("-platform") << QStringList{ "-platform", "offscreen" };
    QTest::newRow("--platform") << QStringList{ "--platform", "offscreen" };
    QTest::newRow("-display") << QStringList{ "-display", ":7" };
    QTest::newRow("-style, then ours") << QStringList{ "-style", "Fusion", "--port1", "/dev/x" };
    QTest::newRow("-qmljsdebugger=") << QStringList{ "-qmljsdebugger=port:1234" };
    QTest::newRow("-reverse") << QStringList{ "-reverse" };
    QTest::newRow("-icon") << QStringList{ "-icon", "camera.png", "-platform", "offscreen" };
}

// Qt's own options pass our parser; the program started with one (and no
// display at all) runs until it is told to end.
void tst_CommandLine::toolkitOptionsAreLeftToQt()
{
    QFETCH(QStringList, arguments);
    const CommandLine line = CommandLine::parse(QStringList{ "wendrel" } + arguments);
    QCOMPARE(line.action, CommandLine::Action::Run);
    QCOMPARE(line.port1Device, arguments.contains("--port1") ? "/dev/x" : "");
    // Windows' Qt has the windows platform alone.
    if (!arguments.contains("offscreen") || QSysInfo::productType() == "windows")
        return;

    QProcess program;
    program.setProcessEnvironment(withoutDisplay());
    program.start(WENDREL_BINARY, arguments);
    QVERIFY(program.waitForStarted(5000));
    QVERIFY2(!program.waitForFinished(1500), program.readAllStandardError().constData());
    program.terminate();
    QVERIFY(program.waitForFinished(5000));
    QCOMPARE(program.exitCode(), 0);
}

void tst_CommandLine::badOptionEndsWithStatusTwo_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said"); // the last line on standard error
    QTest::newRow("unknown option") << QStringList{ "--frobnicate" } << 2 << "--help";
    QTest::newRow("missing value") << QStringList{ "--port2" } << 2 << "--help";
    QTest::newRow("an escape sequence") << QStringList{ "--port1", "/dev/x\x1b[2J" } << 2 << "";
    // Nothing to show the window on: the cause, not an abort and a hint to
    // reinstall.
#if !defined(Q_OS_WIN)
    QTest::newRow("no display") << QStringList{ "--port1", "/dev/null" } << 1
                                << "there is no display";
    QTest::newRow("X11 asked for, no DISPLAY")
            << QStringList{ "-platform", "xcb" } << 1 << "there is no display";
    QTest::newRow("an X display nobody serves")
            << QStringList{ "-platform", "xcb", "-display", ":79" } << 1
            << "cannot reach the X display :79";
    QTest::newRow("a Wayland display nobody serves")
            << QStringList{ "-platform", "wayland" } << 1 << "cannot reach the Wayland display";
#endif
}

void tst_CommandLine::badOptionEndsWithStatusTwo()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, said);
    QProcess program;
    // With no display at all: the window must not even be tried.
    QProcessEnvironment environment = withoutDisplay();
    environment.remove("XDG_SESSION_TYPE");
    program.setProcessEnvironment(environment);
    program.start(WENDREL_BINARY, arguments);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
    const QString told = QString::fromLocal8Bit(program.readAllStandardError()).trimmed();
    QVERIFY2(told.section('\n', -1).contains(said), qPrintable(told));
    QVERIFY2(!told.contains('\x1b'), qPrintable(told)); // shown as \x1b, not obeyed
    QVERIFY(program.readAllStandardOutput().isEmpty());
}

void tst_CommandLine::startOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<int>>("hoursMinutesSecondsPort");
    QTest::addColumn<bool>("starts");
    QTest::newRow("seconds") << QStringList{ "--interval", "45" } << QList<int>{ 0, 0, 45, 0 }
                             << false;
    QTest::newRow("minutes, port 2, started hidden")
            << QStringList{ "--interval", "5:00", "--use-port", "2", "--start", "--hidden" }
            << QList<int>{ 0, 5, 0, 2 } << true;
    QTest::newRow("hours, headless") << QStringList{ "--interval", "1:30:00", "--headless" }
                                     << QList<int>{ 1, 30, 0, 0 } << true;
}

void tst_CommandLine::startOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<int>, hoursMinutesSecondsPort);
    QFETCH(bool, starts);
    const CommandLine line = CommandLine::parse(QStringList{ "wendrel" } + arguments);
    QCOMPARE(line.action, CommandLine::Action::Run);
    const StartOptions &start = line.start;
    QCOMPARE((QList<int>{ start.hours, start.minutes, start.seconds, start.port }),
             hoursMinutesSecondsPort);
    QCOMPARE(start.start, starts);
    QCOMPARE(start.hidden, arguments.contains("--hidden"));
}

#if defined(Q_OS_WIN)
// At login on Windows: the value "Wendrel" of the user's Run key, written,
// read back and removed; another program's value, under that name or
// another, is never touched.
void tst_CommandLine::autostartRunValueIsOnlyWendrels()
{
    QSettings run("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                  QSettings::NativeFormat);
    run.setValue("Other", "C:\\other\\other.exe --quiet");
    run.remove("Wendrel");
    run.sync();
    const auto wendrel = [](const QStringList &arguments) {
        QProcess option;
        option.setProcessChannelMode(QProcess::MergedChannels);
        option.start(WENDREL_BINARY, arguments);
        option.waitForFinished(20000);
        return std::pair{ option.exitCode(), QString::fromLocal8Bit(option.readAll()) };
    };
    QCOMPARE(wendrel({ "--no-autostart" }).first, 0);
    const auto [wrote, saidWrote]
            = wendrel({ "--autostart", "--port1", "COM7", "--interval", "5" });
    QCOMPARE(wrote, 0);
    QVERIFY2(saidWrote.contains("CurrentVersion\\Run\\Wendrel"), qPrintable(saidWrote));
    run.sync();
    const QString command = run.value("Wendrel").toString();
    QVERIFY2(command.contains("wendrel.exe") && command.endsWith("--interval 0:00:05 --port1 COM7"),
             qPrintable(command));
    QCOMPARE(wendrel({ "--no-autostart" }).first, 0);
    run.sync();
    QVERIFY(!run.contains("Wendrel"));

    run.setValue("Wendrel", "C:\\elsewhere\\camera-tool.exe");
    run.sync();
    QCOMPARE(wendrel({ "--autostart", "--interval", "5" }).first, 2);
    const auto [kept, saidKept] = wendrel({ "--no-autostart" });
    QCOMPARE(kept, 2);
    QVERIFY2(saidKept.contains("starts another program"), qPrintable(saidKept));
    run.sync();
    QCOMPARE(run.value("Wendrel").toString(), "C:\\elsewhere\\camera-tool.exe");
    QCOMPARE(run.value("Other").toString(), "C:\\other\\other.exe --quiet");
    run.remove("Wendrel");
    run.remove("Other");
}
#else
// The entry is the user's file too: --no-autostart says when there is none and
// takes a link that leads nowhere away; --autostart rewrites only the keys
// Wendrel owns, keeps the user's, switches a switched-off entry on, and writes
// a relative device absolute.
void tst_CommandLine::autostartEntryKeepsWhatItDoesNotOwn()
{
    QTemporaryDir config;
    QProcessEnvironment environment = withoutDisplay();
    environment.insert("XDG_CONFIG_HOME", config.path());
    const QString entry = config.filePath("autostart/org.wendrel.Wendrel.desktop");
    const auto run = [&](const QStringList &arguments) {
        QProcess option;
        option.setProcessChannelMode(QProcess::MergedChannels);
        option.setProcessEnvironment(environment);
        option.setWorkingDirectory(config.path());
        option.start(WENDREL_BINARY, arguments);
        option.waitForFinished(10000);
        return std::pair{ option.exitCode(),
                          QString::fromLocal8Bit(option.readAllStandardOutput()) };
    };
    QVERIFY(QDir(config.path()).mkdir("autostart"));
    const auto [nothing, saidNothing] = run({ "--no-autostart" });
    QCOMPARE(nothing, 0);
    QVERIFY2(saidNothing.contains("did not start at login: there is no " + entry),
             qPrintable(saidNothing));
    QVERIFY(QFile::link(config.filePath("nowhere"), entry));
    const auto [dangling, saidDangling] = run({ "--no-autostart" });
    QCOMPARE(dangling, 0);
    QVERIFY2(saidDangling.contains("removed " + entry), qPrintable(saidDangling));
    QVERIFY(!QFileInfo(entry).isSymLink());

    QFile edited(entry);
    QVERIFY(edited.open(QIODevice::WriteOnly));
    // The user's own lines keep their bytes, in Latin-1 or with a carriage return.
    const QByteArray own = "X-Mine=caf\xe9\nX-Crlf=a\r\n";
    edited.write("[Desktop Entry]\nType=Application\nName=Old name\nExec=old --start\n"
                 "Hidden=true\nX-GNOME-Autostart-enabled=false\nX-GNOME-Autostart-Delay=30\n"
                 + own + "\n[Desktop Action quiet]\nName=Quiet\n");
    edited.close();
    QCOMPARE(run({ "--autostart", "--port1", "cams/cam", "--interval", "5" }).first, 0);
    QVERIFY(edited.open(QIODevice::ReadOnly));
    const QByteArray bytes = edited.readAll();
    QVERIFY2(bytes.contains(own), bytes.constData());
    const QStringList lines = QString::fromUtf8(bytes).split('\n');
    QVERIFY2(lines.contains("X-GNOME-Autostart-Delay=30"), qPrintable(lines.join('\n')));
    // An entry switched off is switched on: it is to start at login.
    QVERIFY2(lines.contains("X-GNOME-Autostart-enabled=true") && !lines.contains("Hidden=true"),
             qPrintable(lines.join('\n')));
    QVERIFY(lines.contains("Name=Wendrel") && lines.contains("[Desktop Action quiet]"));
    QCOMPARE(lines.filter(QRegularExpression("^Exec=")).size(), 1);
    QVERIFY2(lines.filter(QRegularExpression("^Exec="))
                     .value(0)
                     .endsWith("--port1 " + config.filePath("cams/cam")),
             qPrintable(lines.filter(QRegularExpression("^Exec=")).value(0)));
    edited.close();

    // Another program's file is not written over, and status 2 says why.
    QVERIFY(edited.open(QIODevice::WriteOnly));
    const QByteArray foreign("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    edited.write(foreign);
    edited.close();
    const auto [refused, saidRefused] = run({ "--autostart", "--interval", "5" });
    QCOMPARE(refused, 2);
    QVERIFY2(saidRefused.contains(entry + " is there and is not a desktop entry"),
             qPrintable(saidRefused));
    QVERIFY(edited.open(QIODevice::ReadOnly));
    QCOMPARE(edited.readAll(), foreign);
    edited.close();

    // --no-autostart takes away Wendrel's entry only: what is not a desktop
    // entry, another program's entry, a link to either and a folder stay, and
    // status 2 names what is in the entry's place, a link as the link.
    const QString other = config.filePath("other.desktop");
    QFile otherEntry(other);
    QVERIFY(otherEntry.open(QIODevice::WriteOnly));
    otherEntry.write("[Desktop Entry]\nType=Application\nName=Other\nExec=/usr/bin/xeyes\n");
    otherEntry.close();
    for (const QString kind : { "not an entry", "another's entry", "link", "folder" }) {
        QFile::remove(entry);
        if (kind == "not an entry")
            QVERIFY(QFile::copy(other, entry) && QFile::resize(entry, 4));
        else if (kind == "another's entry")
            QVERIFY(QFile::copy(other, entry));
        else if (kind == "link")
            QVERIFY(QFile::link("/etc/passwd", entry));
        else
            QVERIFY(QDir().mkdir(entry));
        const auto [kept, saidKept] = run({ "--no-autostart" });
        QCOMPARE(kept, 2);
        QVERIFY2(saidKept.startsWith(entry + " is there"), qPrintable(kind + ": " + saidKept));
        QVERIFY2(QFileInfo(entry).exists(), qPrintable(kind));
        if (kind != "another's entry")
            QCOMPARE(run({ "--autostart", "--interval", "5" }).first, 2);
    }
    QVERIFY(QDir().rmdir(entry));

    // With no home at all, nothing is written at the root of the file system.
    if (::geteuid() != 0)
        return; // only root runs it as an account with no home
    environment.remove("HOME");
    environment.insert("XDG_CONFIG_HOME", "");
    QProcess homeless;
    homeless.setProcessEnvironment(environment);
    homeless.start("setpriv",
                   { "--reuid=65534", "--regid=65534", "--clear-groups", "--", WENDREL_BINARY,
                     "--autostart", "--interval", "5" });
    QVERIFY(homeless.waitForFinished(10000));
    QCOMPARE(homeless.exitCode(), 1);
    const QString saidHomeless = QString::fromLocal8Bit(homeless.readAllStandardError());
    QVERIFY2(!saidHomeless.contains("//") && !QFile::exists("/.config/autostart"),
             qPrintable(saidHomeless));
}

#endif

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
