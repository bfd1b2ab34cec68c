// Provisioned store package row: label, columns and the column sort order.
#include "pages/storeapps/DlgWsPrvAppsItem.h"
#include "framework/Controls.h"

#include <windows.h>

namespace {

// Case-blind, locale-free order: the same names sort the same on every system.
int CompareNoCase(const std::wstring& a, const std::wstring& b)
{
    const int r = ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE);
    return r == 0 ? 0 : r - CSTR_EQUAL;
}

} // namespace

CDlgWsPrvAppsItem::CDlgWsPrvAppsItem(CDlgListItem** ppHead) : CDlgListItem(ppHead), m_nFlags(0)
{
}

CDlgWsPrvAppsItem::~CDlgWsPrvAppsItem() = default;

int CDlgWsPrvAppsItem::Compare(int column, CDlgListItem* other)
{
    const CDlgWsPrvAppsItem* o = static_cast<const CDlgWsPrvAppsItem*>(other);
    if (o == nullptr)
        return 0;
    switch (column)
    {
    case 0:
        return CompareNoCase(m_strDisplayName, o->m_strDisplayName);
    case 1:
        return CompareNoCase(m_strVersion, o->m_strVersion);   // as text: "10.x" before "9.x"
    case 2:
        return CompareNoCase(m_strArchitecture, o->m_strArchitecture);
    default:
        return 0;
    }
}

void CDlgWsPrvAppsItem::GetLabel(std::wstring& out)
{
    out = m_strDisplayName;
}

void CDlgWsPrvAppsItem::FillRow(CListCtrl* list, int row)
{
    list->SetItemText(row, 1, m_strVersion.c_str());
    list->SetItemText(row, 2, m_strArchitecture.c_str());
}
