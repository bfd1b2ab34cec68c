// One installed store package of the "MS Store Applications" page.
#pragma once

#include "dialogs/DlgListItem.h"
#include <cstdint>
#include <string>

// Bits of CDlgWsAppsItem::m_nFlags. Nothing clears a bit once set.
enum StoreAppFlags : uint32_t
{
    APP_BUNDLE = 0x02,
    APP_DEVELOPMENT_MODE = 0x04,
    APP_FRAMEWORK = 0x08,
    APP_HIDDEN = 0x10,                // never offered: non-removable, protected, or already removed
    APP_NO_NONREMOVABLE_KEY = 0x20,
    APP_HAS_DEPENDENCIES = 0x40,
    APP_USED = 0x80,                  // another package depends on it: listed, never removed
};

// The row's key (m_strKey) is the package's full name.
class CDlgWsAppsItem : public CDlgListItem
{
public:
    // An empty row, pushed at the front of the list whose head is *ppHead.
    explicit CDlgWsAppsItem(CDlgListItem** ppHead);
    ~CDlgWsAppsItem() override;

    int Compare(int column, CDlgListItem* other) override;
    void GetLabel(std::wstring& out) override;
    void FillRow(CListCtrl* list, int row) override;

    uint32_t m_nFlags;
    std::wstring m_strArchitecture;
    std::wstring m_strPackageFamilyName;
    std::wstring m_strName;
    std::wstring m_strStatus;
    std::wstring m_strDependencies;
    std::wstring m_strPublisherId;
    std::wstring m_strSignatureKind;
    std::wstring m_strVersion;
};
