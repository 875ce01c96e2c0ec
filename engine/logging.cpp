// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "engine/logging.h"

Q_LOGGING_CATEGORY(lcWendrel, "wendrel", QtInfoMsg)
