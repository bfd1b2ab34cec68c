// The "MS Store Applications" page: installed store packages of all users, and their removal.
#pragma once

#include "dialogs/DlgList.h"
#include "pages/storeapps/DlgWsAppsItem.h"
#include "textutil/LineReader.h"
#include <string>

class CDlgWsApps : public CDlgList
{
public:
    explicit CDlgWsApps(CWnd* parent);
    ~CDlgWsApps() override;

    bool Collect() override;
    bool PrepareCommit(int mode, int* pParam) override;
    bool IsItemShown(int mode, CDlgListItem* item) override;
    bool CommitItem(int mode, CDlgListItem* item, int param) override;

    // Reads one "Get-AppxPackage" record from the reader's position; true when it created a row
    // (pushed at the front of *ppHead). Only a record whose full name is missing gives no row.
    static bool ParseRecord(CDlgListItem** ppHead, TLineReader& reader);
    // Reads every record of a rewound inventory text into rows, then marks the used ones;
    // gives the number of rows created.
    static int ParseInventory(CDlgListItem** ppHead, TLineReader& reader);
    // Marks APP_USED on the rows other packages depend on, then on their copies of the same name
    // and version. Hidden rows are never marked; their dependencies count all the same.
    static void MarkUsedPackages(CDlgListItem* head);

    // Whether a parsed name may be put on a PowerShell command line as it is: letters, digits and
    // ". _ ~ -" only, not starting with "-". Anything else could be read as script by PowerShell,
    // so the page lists such a package but refuses to remove it.
    static bool IsPlainPackageName(const std::wstring& name);
    // Runs one removal command line with PowerShell in a command window owned by `parent`;
    // true when it ended with launch error and exit code 0.
    static bool RunRemoval(CWnd* parent, const std::wstring& commandLine);
};

// Availability of "Installed Apps" and "Provisioned Apps": Windows 10 or later with the
// PowerShell program file present.
bool IsPowerShellPresentWin10();
// Run function of "Installed Apps": shows the page modally; always true.
bool TaskStoreApps();
