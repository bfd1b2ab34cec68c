// The one application object, the library's main routine and its message box.
#include "framework/WinApp.h"

#include <cwchar>
#include <new>

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

namespace
{
// The caption of the report: the application's name, worked out in place when it is not known yet.
void ReportCaption(wchar_t* caption, size_t size)
{
    caption[0] = L'\0';
    const CWinApp* app = AfxGetApp();
    if (const wchar_t* known = app != nullptr ? app->KnownAppName() : nullptr)
    {
        std::swprintf(caption, size, L"%ls", known);
        return;
    }
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    path[n < MAX_PATH ? n : MAX_PATH] = L'\0';
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p)
    {
        if (*p == L'\\' || *p == L'/')
            name = p + 1;
    }
    std::swprintf(caption, size, L"%ls", name);
    if (wchar_t* dot = std::wcsrchr(caption, L'.'))
        *dot = L'\0';
}

// Reports shown at the moment, and exceptions that came while one was shown.
int g_nReportsShown = 0;
int g_nReportsPending = 0;
}

void AfxReportException(const std::exception* e) noexcept
{
    // A report box runs a message loop of its own, in which a timer or a paint can fail again.
    // Stacking a box per failure would bury the user; the later ones are counted and told after.
    if (g_nReportsShown > 0)
    {
        ++g_nReportsPending;
        return;
    }
    ++g_nReportsShown;

    wchar_t detail[512];
    if (e == nullptr)
        std::swprintf(detail, 512, L"An unexpected error occurred.");
    else if (dynamic_cast<const std::bad_alloc*>(e) != nullptr)
        std::swprintf(detail, 512, L"There is not enough memory to complete it.");
    else if (::MultiByteToWideChar(CP_ACP, 0, e->what(), -1, detail, 512) == 0)
        std::swprintf(detail, 512, L"An unexpected error occurred.");
    detail[511] = L'\0';

    wchar_t caption[MAX_PATH + 1];
    ReportCaption(caption, MAX_PATH + 1);
    wchar_t text[1024];
    std::swprintf(text, 1024,
                  L"The last action could not be completed and was abandoned:\n\n%ls\n\n"
                  L"The program goes on running. What that action was doing may be incomplete.",
                  detail);
    HWND owner = ::GetActiveWindow();
    ::MessageBoxW(owner, text, caption, MB_OK | MB_ICONERROR);
    while (g_nReportsPending > 0)
    {
        const int more = g_nReportsPending;
        g_nReportsPending = 0;
        std::swprintf(text, 1024, L"%d more action(s) could not be completed and were abandoned while the "
                                  L"message before was shown. The program goes on running.", more);
        ::MessageBoxW(::GetActiveWindow(), text, caption, MB_OK | MB_ICONERROR);
    }
    --g_nReportsShown;
}

int AfxWinMain(HINSTANCE instance)
{
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return -1;
    app->m_hInstance = instance;
    BOOL loop = FALSE;
    try
    {
        loop = app->InitInstance();
    }
    catch (const std::exception& e)
    {
        AfxReportException(&e);
    }
    catch (...)
    {
        AfxReportException(nullptr);
    }
    // Every window of this program is a dialog with a modal loop of its own; an application
    // that asks for a loop of ours gets a plain one until its main window goes.
    MSG msg;
    while (loop && app->m_pMainWnd != nullptr && ::GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        try
        {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        catch (const std::exception& e)
        {
            AfxReportException(&e);
        }
        catch (...)
        {
            AfxReportException(nullptr);
        }
    }
    return app->ExitInstance();
}
