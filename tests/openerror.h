// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The number a real open fails with, for the serial component of either
// system.
#pragma once

#include "engine/serialcomm.h"

// 0 when the port opened.
inline int openErrorNumber(SerialComm &comm)
{
    try {
        comm.setPortOpen(true);
    } catch (const SerialError &error) {
        return error.number();
    }
    return 0;
}
