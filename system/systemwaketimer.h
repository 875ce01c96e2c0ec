// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The wake for the next ping, on the clock that runs on in a suspend.
#pragma once

#include "engine/waketimer.h"

#include <memory>

// On Linux a timerfd on the boot-time clock, which runs on in a suspend.
// Elsewhere Qt's precise timer, which stands still in one: it wakes at least
// every two seconds, and whoever it wakes looks at the tick count.
std::unique_ptr<WakeTimer> makeSystemWakeTimer();
