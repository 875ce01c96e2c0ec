// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Standard error that never holds up the pinging. A log reader that stops
// reading (a stalled pipeline, a journal that falls behind) fills the pipe,
// and a write to a full pipe waits until somebody reads it: so lines go into
// a bounded queue that a writer thread of its own empties. Lines that do not
// fit are dropped and counted, and the count is written once writing works
// again ("3 log lines dropped").
#pragma once

#include <QByteArray>

namespace StandardError {

// Sends Qt's messages (the program's log among them) here, in Qt's format, and
// gives what is still queued at the end a moment to be written.
void install();

// One line, without its line break. Returns at once.
void writeLine(const QByteArray &line);

// How much the queue holds before it drops.
constexpr int QueueBytes = 64 * 1024;

} // namespace StandardError
