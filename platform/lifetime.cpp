// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "lifetime.h"

#include "logging.h"

#include <QCoreApplication>

#include <cstdlib>

void QtLifetime::endProgram(int status)
{
    QCoreApplication::exit(status);
}

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
