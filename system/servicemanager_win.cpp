// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "system/servicemanager.h"

#include "system/terminationsignals.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

static SERVICE_STATUS_HANDLE s_status = nullptr;
static const std::function<int()> *s_run = nullptr;
static int s_exitStatus = 0;

static void report(DWORD state, int exitStatus = 0)
{
    if (!s_status)
        return;
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted
            = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    if (exitStatus != 0) {
        status.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
        status.dwServiceSpecificExitCode = DWORD(exitStatus);
    }
    status.dwWaitHint = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ? 5000 : 0;
    ::SetServiceStatus(s_status, &status);
}

void WindowsServiceStatus::ready()
{
    report(SERVICE_RUNNING);
}

void WindowsServiceStatus::stopping()
{
    report(SERVICE_STOP_PENDING);
}

// The manager's Stop, or the machine shutting down: the run ends as it does
// on Ctrl+C, on its own thread.
static DWORD WINAPI onControl(DWORD control, DWORD, void *, void *)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        report(SERVICE_STOP_PENDING);
        TerminationSignals::deliver(15);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

// A service has no console: what it would write on standard error goes to
// %ProgramData%\Wendrel\NAME.log, one line per event, kept across runs.
static void logToFile(const wchar_t *serviceName)
{
    // The known folder, not %ProgramData%: the environment a service gets
    // need not have it right (Wine's names C:\users\Public).
    QString data = QStringLiteral("C:\\ProgramData");
    wchar_t *known = nullptr;
    if (::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &known) == S_OK)
        data = QString::fromWCharArray(known);
    ::CoTaskMemFree(known);
    const std::wstring folder = (data + QStringLiteral("\\Wendrel")).toStdWString();
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\" + serviceName + L".log";
    const HANDLE log
            = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE)
        return;
    // The C runtime's standard error is descriptor 2, whatever it was.
    const int fd = _open_osfhandle(intptr_t(log), _O_APPEND | _O_WRONLY);
    if (fd < 0 || _dup2(fd, 2) != 0)
        return;
    ::SetStdHandle(STD_ERROR_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(2)));
    _close(fd);
}

static void WINAPI serviceMain(DWORD count, LPWSTR *arguments)
{
    const wchar_t *name = count > 0 ? arguments[0] : L"wendreld";
    s_status = ::RegisterServiceCtrlHandlerExW(name, onControl, nullptr);
    report(SERVICE_START_PENDING);
    logToFile(name);
    s_exitStatus = (*s_run)();
    std::fflush(stderr);
    report(SERVICE_STOPPED, s_exitStatus);
}

int runUnderServiceManager(const std::function<int()> &run)
{
    s_run = &run;
    wchar_t ownProcess[] = L"";
    SERVICE_TABLE_ENTRYW services[] = { { ownProcess, serviceMain }, { nullptr, nullptr } };
    if (!::StartServiceCtrlDispatcherW(services)) {
        std::fprintf(stderr,
                     "wendreld: --service is for Windows' service manager to start "
                     "(StartServiceCtrlDispatcher: %s)\n",
                     qPrintable(qt_error_string(int(::GetLastError())).trimmed()));
        return 2;
    }
    return s_exitStatus;
}
