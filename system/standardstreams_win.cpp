// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// On Windows a window program started from a console has no standard streams
// of its own: --help, --version and a mistake on the command line would go
// nowhere. It writes to the console it was started from, where there is one;
// streams a caller redirected stay as they are.
#include "system/standardstreams.h"

#include <cstdio>

#include <windows.h>

void guardStandardStreams()
{
    if (::GetStdHandle(STD_ERROR_HANDLE) != nullptr || !::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!std::freopen("CONOUT$", "w", stdout) || !std::freopen("CONOUT$", "w", stderr))
        ::FreeConsole();
}
