// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The login's autostart entry, which starts Wendrel hidden and pinging:
// $XDG_CONFIG_HOME/autostart on Linux, the user's Run key on Windows. Written
// by --autostart and by the window's background menu, from here alone.
#pragma once

#include <QString>
#include <QStringList>

struct CommandLine;
struct StartOptions;

// --autostart and --no-autostart: writes or removes the entry, says where,
// and returns the exit status; -1 for any other command line.
int answerAutostart(const CommandLine &commandLine);

// The command that starts this program hidden and pinging with the settings;
// the devices by their full paths, as the program opens them.
QStringList autostartCommand(const QString &program, const StartOptions &start,
                             const QString &port1Device, const QString &port2Device);
// Empty where there is no home folder to put it in.
QString autostartPath();
// True when there is an entry and the desktop will start it: one the user
// switched off (Hidden=true, X-GNOME-Autostart-enabled=false) will not.
bool autostartEntryEnabled();

// Writes the entry, or rewrites the keys Wendrel owns in an entry there is
// (Type, Name, Comment, Icon, Exec, Terminal), keeping every other one the
// user or the desktop put there, except what would keep it from starting:
// Hidden=true goes, and X-GNOME-Autostart-enabled, where it is, becomes
// true. The user's lines keep their bytes. False and a reason on failure;
// notAnEntry is set when the file there is not a desktop entry, which is
// left as it is.
bool writeAutostartEntry(const QStringList &command, QString *error, bool *notAnEntry);

enum class Removal { Removed, NothingThere, NotOurs, Failed };
// Removes the entry, or a link that leads nowhere in its place. Anything else
// in its place that does not start Wendrel (another program's entry, a file
// of another kind, a folder) is left as it is: NotOurs, and the reason.
Removal removeAutostartEntry(QString *error);

// This program's own file, for the entry's Exec line.
QString runningProgram();
