// One provisioned store package of the "MS Store Provisioned Applications" page.
#pragma once

#include "dialogs/DlgListItem.h"
#include <cstdint>
#include <string>

enum : uint32_t
{
    PRVAPP_REMOVED = 0x01,   // set by a successful removal; the row then leaves the list
};

// The row's key (m_strKey) is the package name.
class CDlgWsPrvAppsItem : public CDlgListItem
{
public:
    // An empty row, pushed at the front of the list whose head is *ppHead.
    explicit CDlgWsPrvAppsItem(CDlgListItem** ppHead);
    ~CDlgWsPrvAppsItem() override;

    int Compare(int column, CDlgListItem* other) override;
    void GetLabel(std::wstring& out) override;
    void FillRow(CListCtrl* list, int row) override;

    uint32_t m_nFlags;
    std::wstring m_strDisplayName;
    std::wstring m_strArchitecture;
    std::wstring m_strVersion;
};
