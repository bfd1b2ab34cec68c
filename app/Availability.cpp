// Whether a task's tool is on this system, and the launches of the interactive system tools.
#include "app/Tasks.h"
#include "app/App.h"
#include "runner/Launch.h"

#include <windows.h>

bool IsFilePresent(const std::wstring& path)
{
    // No "insert a disk" or "file not found" boxes from the system while we look.
    UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW(path.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
    {
        ::SetErrorMode(oldMode);
        return false;
    }
    ::FindClose(find);
    ::SetErrorMode(oldMode);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsWindowsVersionOrGreater(unsigned short major, unsigned short minor)
{
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    info.wServicePackMajor = 0;
    ULONGLONG mask = ::VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = ::VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = ::VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return ::VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask) != FALSE;
}

static bool IsSystemToolPresent(const wchar_t* fileName)
{
    return IsFilePresent(theApp.m_strSysDir + fileName);
}

bool IsBcdeditPresent() { return IsSystemToolPresent(L"bcdedit.exe"); }
bool IsCleanmgrPresent() { return IsSystemToolPresent(L"cleanmgr.exe"); }
bool IsMdschedPresent() { return IsSystemToolPresent(L"mdsched.exe"); }
bool IsCmdPresent() { return IsSystemToolPresent(L"cmd.exe"); }
bool IsNetplwizPresent() { return IsSystemToolPresent(L"netplwiz.exe"); }
bool IsDismPresent() { return IsFilePresent(theApp.m_strDismPath); }
bool IsPowerShellPresent() { return IsFilePresent(theApp.m_strPowerShellPath); }

bool IsDismPresentWin81()
{
    if (!IsWindowsVersionOrGreater(6, 3))
        return false;
    return IsFilePresent(theApp.m_strDismPath);
}

static bool LaunchSystemTool(const wchar_t* fileName)
{
    const std::wstring arguments;
    return LaunchDetached(theApp.m_strSysDir + fileName, arguments);
}

bool TaskDiskCleanup() { return LaunchSystemTool(L"cleanmgr.exe"); }
bool TaskMemoryTest() { return LaunchSystemTool(L"mdsched.exe"); }
bool TaskCommandPrompt() { return LaunchSystemTool(L"cmd.exe"); }
bool TaskUserAccounts() { return LaunchSystemTool(L"netplwiz.exe"); }

bool TaskPowerShellPrompt()
{
    const std::wstring arguments;
    return LaunchDetached(theApp.m_strPowerShellPath, arguments);
}
