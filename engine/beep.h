// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The beep at each ping, as the run's front ends ask for it.
#pragma once

class Beep
{
public:
    virtual ~Beep() = default;
    virtual void beep() = 0;
};
