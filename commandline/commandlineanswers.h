// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// What the command line asks to be answered rather than run: the help, the
// version and the serial devices there are. (The login's autostart entry is
// answered by the desktop, whose entry it is.)
#pragma once

struct CommandLine;

// Prints the answer and returns the exit status, or -1 when the program
// should go on and run.
int answerCommandLine(const CommandLine &commandLine);
