// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The service: a run with no display at all, for a rig nobody sits at. It
// pings from the start, waits for a device that is late or lost, says on
// standard error what a window would show, and ends with status 0 on SIGTERM,
// SIGINT or SIGHUP. wendreld is this and nothing else; wendrel --headless
// runs it too.
#pragma once

struct CommandLine;

// Runs the service over the event loop of a QCoreApplication it makes, and
// returns the program's exit status.
int runService(int &argc, char **argv, const CommandLine &commandLine);
