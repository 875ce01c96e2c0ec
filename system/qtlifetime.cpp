// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "system/qtlifetime.h"

#include <QCoreApplication>

void QtLifetime::endProgram(int status)
{
    QCoreApplication::exit(status);
}
