// The "MS Store Provisioned Applications" page: packages provisioned in the running image, and
// their removal.
#pragma once

#include "dialogs/DlgList.h"
#include "pages/storeapps/DlgWsPrvAppsItem.h"
#include "textutil/LineReader.h"

class CDlgWsPrvApps : public CDlgList
{
public:
    explicit CDlgWsPrvApps(CWnd* parent);
    ~CDlgWsPrvApps() override;

    bool Collect() override;
    bool PrepareCommit(int mode, int* pParam) override;
    bool IsItemShown(int mode, CDlgListItem* item) override;
    bool CommitItem(int mode, CDlgListItem* item, int param) override;

    // Reads one "Get-AppxProvisionedPackage" record from the reader's position; true when it
    // created a row (pushed at the front of *ppHead). The store's own packages, and a record whose
    // package name is missing, give no row; a name the removal would refuse is listed all the same.
    static bool ParseRecord(CDlgListItem** ppHead, TLineReader& reader);
    // Reads every record of a rewound inventory text into rows; gives the number created.
    static int ParseInventory(CDlgListItem** ppHead, TLineReader& reader);
};

// Run function of "Provisioned Apps" (its availability is IsPowerShellPresentWin10): shows the
// page modally; always true.
bool TaskProvisionedApps();
