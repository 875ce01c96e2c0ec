// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "engine/lifetime.h"

#include "engine/logging.h"

#include <cstdlib>

QString runtimeErrorText(const RuntimeError &error)
{
    return QStringLiteral("Run-time error '%1':\n\n%2")
            .arg(error.number())
            .arg(error.description());
}

QString runtimeErrorTitle()
{
    return QStringLiteral("Wendrel");
}

static UncaughtErrorReporter &uncaughtReporter()
{
    static UncaughtErrorReporter reporter;
    return reporter;
}

void setUncaughtErrorReporter(UncaughtErrorReporter reporter)
{
    uncaughtReporter() = std::move(reporter);
}

void reportUncaughtError(const RuntimeError &error)
{
    if (uncaughtReporter()) {
        uncaughtReporter()(error);
        return;
    }
    // No window to report through: one line in the log, at the priority of
    // an error that ends the program, and the end.
    qCCritical(lcWendrel).noquote() << runtimeErrorText(error);
    std::exit(1);
}
