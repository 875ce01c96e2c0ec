// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Standard error that never holds up the pinging. A log reader that stops
// reading (a stalled pipeline, a journal that falls behind) fills the pipe,
// and a write to a full pipe waits until somebody reads it: so lines go into
// a bounded queue that a writer thread of its own empties. Lines that do not
// fit are dropped and counted, and the count is written once writing works
// again ("3 log lines dropped").
//
// Each message is one line: a line break inside it is folded. Where standard
// error is the journal's stream (systemd names it in JOURNAL_STREAM), each
// line starts with sd-daemon's priority prefix, so that a loss reads as a
// warning there: <3> an error that ends the program, <4> a warning, <6> news,
// <7> debug. Anywhere else the lines stay plain.
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace StandardError {

// Sends Qt's messages (the program's log among them) here, in Qt's format, and
// gives what is still queued at the end a moment to be written.
void install();

// The prefix for the message's priority where standard error is the journal,
// and nothing elsewhere.
QByteArray priorityPrefix(QtMsgType type);

// Writes at once, past the queue, waiting as long as the reader makes it: for
// a program's last words before its log is set up.
void writeNow(const QByteArray &bytes);

// How much the queue holds before it drops.
constexpr int QueueBytes = 64 * 1024;

} // namespace StandardError
