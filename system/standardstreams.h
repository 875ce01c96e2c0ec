// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// What every long-running program does first, whoever started it. A launcher
// or a cron job may leave standard input, output or error closed, and the
// next file the program opens takes the number: log lines would then land in
// the display's connection or in an event descriptor. A log reader that goes
// away (a pipeline's `head`, a terminal that closes) would end the program
// with SIGPIPE at its next line.
#pragma once

// Opens each of descriptors 0, 1 and 2 that is closed on /dev/null, and
// ignores SIGPIPE, so that a write to a reader that left fails with EPIPE
// instead. Called before anything else opens a descriptor.
void guardStandardStreams();
