// The application object: start-up, the paths every task derives from, the shared font.
#pragma once

#include "framework/WinApp.h"
#include "framework/Font.h"
#include <string>

class CDlgMain;

class Csys_vantrelApp : public CWinApp
{
public:
    Csys_vantrelApp();
    ~Csys_vantrelApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // System folder, tool paths and cluster size; start-up fills them before the WOW64 test.
    void InitSystemState();
    // Bytes per cluster of the drive of a folder path, 0 for anything but a drive-letter path.
    static UINT ClusterSizeOf(const std::wstring& folder);
    // True when this is a 32-bit process on 64-bit Windows, which the program refuses.
    static bool IsRunningUnderWow64();

    const wchar_t* m_pszTitle;
    UINT m_nClusterSize;
    CFont m_font;
    std::wstring m_strSysDir;
    std::wstring m_strDismPath;
    std::wstring m_strPowerShellPath;
    CDlgMain* m_pMainDlg;
};

extern Csys_vantrelApp theApp;
