// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The QApplication of the program: every event goes through notify(), so a
// run-time error thrown by an event handler ends here rather than in Qt's frames.
#pragma once

#include <QApplication>

class Application : public QApplication
{
public:
    Application(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};
