// The application object and the program's entry into it.
#pragma once

#include "framework/Wnd.h"
#include <exception>
#include <string>

class CWinApp
{
public:
    // A null name makes the application take the program file's name without extension.
    explicit CWinApp(const wchar_t* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    void SetRegistryKey(const wchar_t* key) { m_strRegistryKey = key ? key : L""; }
    const std::wstring& GetAppName();
    // The name when it is already known, else null; never allocates.
    const wchar_t* KnownAppName() const noexcept { return m_strAppName.empty() ? nullptr : m_strAppName.c_str(); }

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    // 1: register with the restart manager (restart only, no recovery).
    DWORD m_dwRestartManagerSupportFlags = 0;
    std::wstring m_strRegistryKey;

private:
    std::wstring m_strAppName;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetResourceHandle();
// A message box owned by the active window, captioned with the application's name.
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK, UINT helpId = 0);
// The library's main routine: InitInstance, then ExitInstance when it declines a message loop.
int AfxWinMain(HINSTANCE instance);
// Tells the user that the action under way failed with an exception and was given up, and that the
// program goes on. For the catch blocks of the dialog procedure and the entry point only: those
// stop every exception, so that none ends the program and none passes unseen. `e` is null for an
// exception that is not a standard one. Allocates nothing, so it works when memory has run out.
void AfxReportException(const std::exception* e) noexcept;
