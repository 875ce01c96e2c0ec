// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Ending the program: at once, from Exit, or after a run-time error nobody caught.
#pragma once

#include "engine/runtimeerror.h"

#include <QString>

#include <functional>

class Lifetime
{
public:
    virtual ~Lifetime() = default;
    // Leaves the event loop; the caller makes sure no handler runs after this.
    virtual void endProgram(int status) = 0;
};

// The text of the runtime's standard error box: "Run-time error '6':" and "Overflow".
QString runtimeErrorText(const RuntimeError &error);
QString runtimeErrorTitle();

// Last line of defence for errors thrown where no handler catches them (inside
// a Qt event handler or slot): the window installs its reporter here.
using UncaughtErrorReporter = std::function<void(const RuntimeError &)>;
void setUncaughtErrorReporter(UncaughtErrorReporter reporter);
void reportUncaughtError(const RuntimeError &error);
