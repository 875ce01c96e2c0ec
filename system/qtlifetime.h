// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The end of the program as Qt's event loop takes it.
#pragma once

#include "engine/lifetime.h"

class QtLifetime : public Lifetime
{
public:
    void endProgram(int status) override;
};
