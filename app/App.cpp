// Start-up: common controls, application state, the WOW64 refusal and the main dialog.
#include "app/App.h"
#include "app/DlgMain.h"
#include "resources/resource.h"

#include <commctrl.h>
#include <shlobj.h>
#include <stdlib.h>

Csys_vantrelApp theApp;

Csys_vantrelApp::Csys_vantrelApp()
    : CWinApp(nullptr), m_pszTitle(L"Sys_Vantrel32"), m_nClusterSize(0), m_pMainDlg(nullptr)
{
    m_dwRestartManagerSupportFlags = 1;
}

Csys_vantrelApp::~Csys_vantrelApp()
{
    m_strPowerShellPath.clear();
    m_strDismPath.clear();
    m_strSysDir.clear();
    m_font.DeleteObject();
}

// A library call given a bad argument then returns its error instead of ending the process.
static void IgnoreInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int, uintptr_t)
{
}

UINT Csys_vantrelApp::ClusterSizeOf(const std::wstring& folder)
{
    if (folder.size() < 2 || folder[1] != L':')
        return 0;
    std::wstring root = folder.substr(0, 3);
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!::GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        return 0;
    return static_cast<UINT>(sectorsPerCluster * bytesPerSector);
}

void Csys_vantrelApp::InitSystemState()
{
    wchar_t path[MAX_PATH + 1] = {};
    m_strSysDir.clear();
    if (::SHGetFolderPathW(nullptr, CSIDL_SYSTEM | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path) >= 0)
        m_strSysDir = path;
    m_strSysDir += L'\\';

    m_strDismPath = m_strSysDir + L"dism.exe";
    m_strPowerShellPath = m_strSysDir + L"WindowsPowerShell\\v1.0\\powershell.exe";
    m_nClusterSize = ClusterSizeOf(m_strSysDir);
}

bool Csys_vantrelApp::IsRunningUnderWow64()
{
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

BOOL Csys_vantrelApp::InitInstance()
{
    INITCOMMONCONTROLSEX icc = {};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&icc);

    CWinApp::InitInstance();

    // Control containment, the shell manager and the themed visual manager are class-library
    // machinery; plain dialogs with Common Controls 6 draw themed without them.
    SetRegistryKey(L"Local AppWizard-Generated Applications");

    _set_invalid_parameter_handler(IgnoreInvalidParameter);

    InitSystemState();

    if (IsRunningUnderWow64())
    {
        ::MessageBeep(MB_ICONHAND);
        ::MessageBoxW(nullptr, L"You need the 64 bits version of this program.", L"SysVantrel32", MB_OK | MB_ICONHAND);
    }
    else
    {
        CDlgMain dlg(nullptr);
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
        m_pMainDlg = nullptr;
    }
    return FALSE;
}

int Csys_vantrelApp::ExitInstance()
{
    return CWinApp::ExitInstance();
}
