// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Numbered run-time errors, the way every failure in the program travels.
// Checked arithmetic, the serial component and the window all throw RuntimeError.
// Start/Stop catches the serial component's errors, and so do the ping tick and
// the lost-device retries (a device that fails makes the run wait for it);
// anything else reaches frmWendrel::dispatch or Application::notify, which show
// the standard error box and end the program.
#pragma once

#include <QString>

#include <exception>

namespace RunTime {
enum ErrorNumber : int {
    Overflow = 6,
    InternalError = 51, // a failure inside Qt or the standard library
};
}

class RuntimeError : public std::exception
{
public:
    RuntimeError(int number, QString description)
        : m_number(number), m_description(std::move(description)), m_what(m_description.toUtf8())
    {
    }

    int number() const { return m_number; }
    const QString &description() const { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    int m_number = 0;
    QString m_description;
    QByteArray m_what;
};

inline RuntimeError overflowError()
{
    return { RunTime::Overflow, QStringLiteral("Overflow") };
}
