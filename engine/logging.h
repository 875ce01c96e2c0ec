// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// What the program says happened (a run started or stopped, a device lost or
// back), through Qt's logging, so QT_LOGGING_RULES and the journal take it as
// they take any Qt program's. "wendrel" at info level is on by default.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcWendrel)
