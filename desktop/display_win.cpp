// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Windows always has its desktop to show a window on.
#include "desktop/display.h"

QString unreachableDisplay(const QStringList &)
{
    return {};
}
