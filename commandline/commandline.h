// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The command line, read and nothing more: no file is touched and no device
// opened here. --port1 DEVICE and --port2 DEVICE name other devices for the
// two ports; --list-ports, --help and --version answer and end. For a rig
// nobody sits at: --interval, --use-port, --audible, --start, --hidden,
// --headless, and --autostart / --no-autostart for the login's autostart
// entry. The service program takes the ports, the interval and --audible. The
// options every Qt program takes (-platform, -display, -style, ...) are left
// to QApplication.
#pragma once

#include <QString>
#include <QStringList>

class SerialComm;

// What an unattended rig asks for at start.
struct StartOptions
{
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int port = 0; // 1 or 2; 0 keeps port 1 as the load selects it
    bool audible = false;
    bool start = false;
    bool hidden = false;
    bool headless = false;            // no display: the service, pinging from the start
    bool underServiceManager = false; // Windows' service manager started it

    // The interval as the scroll bars would make it, in milliseconds.
    long intervalMs() const;
};

struct CommandLine
{
    // The window program takes every option; the service only those a run
    // with no display can use.
    enum class Program { Window, Service };

    enum class Action {
        Run,
        ShowHelp,
        ShowVersion,
        ListPorts,
        WriteAutostart,
        RemoveAutostart,
        Fail
    };

    Action action = Action::Run;
    QString port1Device; // empty: the machine's first serial port
    QString port2Device; // empty: the machine's second serial port
    StartOptions start;
    QString helpText;
    QString versionText;
    QString errorText;

    static CommandLine parse(const QStringList &arguments, Program program = Program::Window);
};

// Gives the devices named on the command line to port 1 and port 2.
void applyPortDevices(const CommandLine &commandLine, SerialComm &serial);
