// The one application object, the library's main routine and its message box.
#include "framework/WinApp.h"

static CWinApp* g_pApp = nullptr;

CWinApp::CWinApp(const wchar_t* appName)
{
    if (appName != nullptr)
        m_strAppName = appName;
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance()
{
    if (m_dwRestartManagerSupportFlags & 1)
    {
        // Restart after an update or a crash, with no command line (the program takes none).
        ::RegisterApplicationRestart(nullptr, 0);
    }
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return 0;
}

const std::wstring& CWinApp::GetAppName()
{
    if (m_strAppName.empty())
    {
        wchar_t path[MAX_PATH + 1] = {};
        DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring name(path, n < MAX_PATH ? n : MAX_PATH);
        size_t slash = name.find_last_of(L"\\/");
        if (slash != std::wstring::npos)
            name.erase(0, slash + 1);
        size_t dot = name.find_last_of(L'.');
        if (dot != std::wstring::npos)
            name.erase(dot);
        m_strAppName = name;
    }
    return m_strAppName;
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

HINSTANCE AfxGetResourceHandle()
{
    return ::GetModuleHandleW(nullptr);
}

int AfxMessageBox(const wchar_t* text, UINT type, UINT)
{
    HWND owner = ::GetActiveWindow();
    std::wstring caption;
    if (CWinApp* app = AfxGetApp())
    {
        caption = app->GetAppName();
        if (owner == nullptr && app->m_pMainWnd != nullptr)
            owner = app->m_pMainWnd->m_hWnd;
    }
    return ::MessageBoxW(owner, text ? text : L"", caption.c_str(), type);
}

int AfxWinMain(HINSTANCE instance)
{
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return -1;
    app->m_hInstance = instance;
    if (!app->InitInstance())
        return app->ExitInstance();
    // Every window of this program is a dialog with a modal loop of its own; an application
    // that asks for a loop of ours gets a plain one until its main window goes.
    MSG msg;
    while (app->m_pMainWnd != nullptr && ::GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return app->ExitInstance();
}
