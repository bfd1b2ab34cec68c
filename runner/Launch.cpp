// Detached launch and message pump.
#include "runner/Launch.h"

#include <windows.h>

#include <vector>

namespace
{
DWORD g_dwLastPumpTick = 0;
}

bool LaunchDetached(const std::wstring& program, const std::wstring& arguments)
{
    // A double quote cannot be part of a Windows path; one inside the program text would end our
    // quoting early and let the rest of the path be read as another program and its arguments.
    if (program.find(L'"') != std::wstring::npos)
    {
        ::SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    std::wstring line;
    line.reserve(program.size() + arguments.size() + 3);
    line += L'"';
    line += program;
    line += L"\" ";
    line += arguments;
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');

    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    const BOOL started = ::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                          &si, &pi);
    if (started)
    {
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    return started != FALSE;
}

void PumpMessages()
{
    const DWORD now = ::GetTickCount();
    if (now == g_dwLastPumpTick)
        return;
    g_dwLastPumpTick = now;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}
