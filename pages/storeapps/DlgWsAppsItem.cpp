// Installed store package row: label, columns and the column sort order.
#include "pages/storeapps/DlgWsAppsItem.h"
#include "framework/Controls.h"

#include <windows.h>

namespace {

// Case-blind, locale-free order: the same names sort the same on every system.
int CompareNoCase(const std::wstring& a, const std::wstring& b)
{
    const int r = ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE);
    return r == 0 ? 0 : r - CSTR_EQUAL;
}

// A flag that is clear sorts before one that is set.
int CompareFlag(uint32_t a, uint32_t b, uint32_t bit)
{
    return ((a & bit) ? 1 : 0) - ((b & bit) ? 1 : 0);
}

} // namespace

CDlgWsAppsItem::CDlgWsAppsItem(CDlgListItem** ppHead) : CDlgListItem(ppHead), m_nFlags(0)
{
}

CDlgWsAppsItem::~CDlgWsAppsItem() = default;

int CDlgWsAppsItem::Compare(int column, CDlgListItem* other)
{
    const CDlgWsAppsItem* o = static_cast<const CDlgWsAppsItem*>(other);
    if (o == nullptr)
        return 0;
    switch (column)
    {
    case 0:
    {
        int r = CompareNoCase(m_strName, o->m_strName);
        if (r == 0)
            r = CompareNoCase(m_strVersion, o->m_strVersion);
        if (r == 0)
            r = CompareNoCase(m_strArchitecture, o->m_strArchitecture);
        return r;
    }
    case 1:
        return CompareNoCase(m_strVersion, o->m_strVersion);   // as text: "10.x" before "9.x"
    case 2:
        return CompareNoCase(m_strArchitecture, o->m_strArchitecture);
    case 3:
        return CompareFlag(m_nFlags, o->m_nFlags, APP_USED);
    case 4:
        return CompareNoCase(m_strStatus, o->m_strStatus);
    case 5:
        return CompareFlag(m_nFlags, o->m_nFlags, APP_BUNDLE);
    case 6:
        return CompareNoCase(m_strSignatureKind, o->m_strSignatureKind);
    case 7:
        return CompareNoCase(m_strPackageFamilyName, o->m_strPackageFamilyName);
    default:
        return 0;
    }
}

void CDlgWsAppsItem::GetLabel(std::wstring& out)
{
    out = m_strName;
    // The mark lets the filter pick out the used packages: a filter of "*" keeps only them.
    if (m_nFlags & APP_USED)
        out += L" *";
}

void CDlgWsAppsItem::FillRow(CListCtrl* list, int row)
{
    list->SetItemText(row, 1, m_strVersion.c_str());
    list->SetItemText(row, 2, m_strArchitecture.c_str());
    list->SetItemText(row, 3, (m_nFlags & APP_USED) ? L"Used" : L"");
    list->SetItemText(row, 4, m_strStatus.c_str());
    list->SetItemText(row, 5, (m_nFlags & APP_BUNDLE) ? L"Yes" : L"");
    list->SetItemText(row, 6, m_strSignatureKind.c_str());
    list->SetItemText(row, 7, m_strPackageFamilyName.c_str());
}
