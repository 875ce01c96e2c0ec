// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Whether the window can be shown at all, asked before Qt is: Qt ends with an
// abort, a core file and a hint to reinstall where it finds no display, or
// cannot reach the one it was given.
#pragma once

#include <QString>
#include <QStringList>

// Why no window can be shown here, naming the display; empty where one can
// (or where this system always has one). The arguments are the program's, Qt's
// own -platform and -display among them.
QString unreachableDisplay(const QStringList &arguments);
